#!/usr/bin/env python3
"""dravel against the wire's limit and the terminals users would pick instead.

Every measure runs dravel and its references in turn, several rounds, on ptys of this
machine, and prints medians, ratios (taken within the same run, the figures that count on
a busy machine) and whether each target is met.

    python3 bench/bench.py [--build build/release] [--quick] [--rounds N]
"""
import argparse
import os
import pty
import random
import re
import resource
import select
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import termios
import threading
import time
import tty

MIB = 1 << 20
RAM = 0x80100000  # 1 MiB into the board's RAM, clear of the monitor's low memory
SER2NET_EXPORT = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                              "tools", "ser2net", "export.sh")

# ---------------------------------------------------------------- processes on ptys


def cpu_seconds(pid):
    """CPU time of every thread of `pid` so far, in seconds (nanosecond accounting)."""
    total = 0
    try:
        for task in os.listdir(f"/proc/{pid}/task"):
            with open(f"/proc/{pid}/task/{task}/schedstat") as f:
                total += int(f.read().split()[0])
    except (FileNotFoundError, ProcessLookupError):
        pass
    return total / 1e9


def raw_pty():
    """A pty pair with the slave raw, as a serial line or a screen that translates nothing."""
    master, slave = os.openpty()
    tty.setraw(slave, termios.TCSANOW)
    return master, slave


class Program:
    """A program on a console pty of its own; the benchmark holds the master (the screen)."""

    def __init__(self, argv, env=None, stdin_from=None):
        self.argv = argv
        self.screen = b""
        pid, fd = pty.fork()
        if pid == 0:
            try:
                if stdin_from is not None:  # a plain filter: device in, console out
                    os.dup2(stdin_from, 0)
                os.execvpe(argv[0], argv, {**os.environ, "TERM": "xterm", **(env or {})})
            finally:
                os._exit(127)
        self.pid, self.console = pid, fd
        self.after_stop = None  # what else goes with it (a ser2net it talks through)
        self.rusage = None
        self.status = None
        self.hwm_kib = 0

    def sample_rss(self):
        """Peak resident size so far. Not from rusage: that still counts the Python
        process this one was forked from (and so does VmHWM until the exec)."""
        try:
            with open(f"/proc/{self.pid}/status") as f:
                for line in f:
                    if line.startswith("Name:") and line.split()[1].startswith("python"):
                        return
                    if line.startswith("VmHWM:"):
                        self.hwm_kib = max(self.hwm_kib, int(line.split()[1]))
        except OSError:
            pass

    def read_until(self, text, timeout):
        """Reads the screen until `text` shows; False at the time limit or end."""
        until = time.monotonic() + timeout
        while text not in self.screen:
            left = until - time.monotonic()
            if left <= 0:
                return False
            r, _, _ = select.select([self.console], [], [], left)
            if r:
                try:
                    data = os.read(self.console, 65536)
                except OSError:
                    return False
                if not data:
                    return False
                self.screen = (self.screen + data)[-65536:]
        return True

    def drain(self, seconds):
        until = time.monotonic() + seconds
        while (left := until - time.monotonic()) > 0:
            r, _, _ = select.select([self.console], [], [], left)
            if r:
                try:
                    self.screen = (self.screen + os.read(self.console, 65536))[-65536:]
                except OSError:
                    return

    def poll_exit(self):
        if self.status is None:
            pid, status, usage = os.wait4(self.pid, os.WNOHANG)
            if pid == self.pid:
                self.status, self.rusage = os.waitstatus_to_exitcode(status), usage
                os.close(self.console)
        return self.status is not None

    def wait(self, timeout):
        return wait_all([self], timeout)

    def stop(self):
        if self.status is not None:
            return
        self.sample_rss()
        try:
            os.kill(self.pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
        give_up = time.monotonic() + 5
        while True:
            pid, status, usage = os.wait4(self.pid, os.WNOHANG)
            if pid == self.pid:
                self.status, self.rusage = os.waitstatus_to_exitcode(status), usage
                break
            if time.monotonic() > give_up:
                os.kill(self.pid, signal.SIGKILL)
                _, status, usage = os.wait4(self.pid, 0)
                self.status, self.rusage = -9, usage
                break
            self.drain(0.02)
        try:
            os.close(self.console)
        except OSError:
            pass
        if self.after_stop:
            self.after_stop()

    def peak_rss_mib(self):
        return self.hwm_kib / 1024 if self.hwm_kib else float("nan")

    def cpu_total(self):
        return self.rusage.ru_utime + self.rusage.ru_stime if self.rusage else float("nan")


def wait_all(programs, timeout, kill=True):
    """Waits for all to end, reading every screen so none blocks on output; at the time
    limit returns False, having killed the rest if `kill`."""
    until = time.monotonic() + timeout
    while True:
        for p in programs:
            if p.status is None:
                p.sample_rss()
        live = [p for p in programs if not p.poll_exit()]
        if not live:
            return True
        if time.monotonic() > until:
            for p in live if kill else []:
                p.stop()
            return False
        r, _, _ = select.select([p.console for p in live], [], [], 0.02)
        for p in live:
            if p.console in r:
                try:
                    p.screen = (p.screen + os.read(p.console, 65536))[-65536:]
                except OSError:
                    pass


# ---------------------------------------------------------------- the terminals compared


class Terminal:
    """How to start one terminal program on a device and know that it is ready."""

    def __init__(self, name, argv_for, ready, filter_input=False):
        self.name, self.argv_for, self.ready, self.filter_input = name, argv_for, ready, filter_input

    def start(self, device, dev_slave, his):
        stdin_from = dev_slave if self.filter_input else None
        p = Program(self.argv_for(device), {"DRAVELHIS": his}, stdin_from)
        if self.filter_input:
            tty.setraw(p.console, termios.TCSANOW)  # cat leaves the screen as it finds it
        if not p.read_until(self.ready, 10):
            p.stop()
            raise RuntimeError(f"{self.name} did not start: {p.screen[-300:]!r}")
        p.drain(0.2)  # banners and settings out of the way
        return p


def free_port():
    import socket
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Ser2net:
    """A real ser2net exporting `device` with RFC 2217 on a free loopback port. Its default
    chardelay holds each read from the device 2 character times, at least 1 ms, before sending
    it on; `stock=False` turns that off to show what dravel itself adds."""

    def __init__(self, device, work, stock=False):
        self.port = free_port()
        self.dir = tempfile.mkdtemp(prefix="ser2net-", dir=work)
        env = dict(os.environ)
        if not stock:
            env["SER2NET_OPTIONS"] = "chardelay: false"
        self.proc = subprocess.Popen([SER2NET_EXPORT, device, str(self.port), "rfc2217", self.dir],
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL, env=env)
        self.url = f"rfc2217://127.0.0.1:{self.port}"
        want = f":{self.port:04X} "
        until = time.monotonic() + 10
        while time.monotonic() < until:
            with open("/proc/net/tcp") as f:
                if any(want in line and " 0A " in line for line in f):
                    return
            time.sleep(0.02)
        self.stop()
        raise RuntimeError("ser2net did not start")

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


class Ser2netTerminal(Terminal):
    """dravel reaching the device through ser2net on loopback."""

    def __init__(self, dravel, work, stock=False):
        super().__init__("dravel/ser2net" + (" stock" if stock else ""), None, b"dravel --")
        self.dravel, self.work, self.stock = dravel, work, stock

    def start(self, device, dev_slave, his):
        server = Ser2net(device, self.work, self.stock)
        self.argv_for = lambda d: [self.dravel, "-d", server.url]
        try:
            p = super().start(device, dev_slave, his)
        except Exception:
            server.stop()
            raise
        p.after_stop = server.stop
        return p


def terminals(dravel, relay):
    t = {
        "dravel": Terminal("dravel", lambda d: [dravel, "-d", d], b"dravel --"),
        "cat": Terminal("cat", lambda d: ["sh", "-c", "echo cat ready; exec cat"], b"cat ready", True),
        "picocom": Terminal("picocom", lambda d: ["picocom", "-b", "115200", d], b"Terminal ready"),
        "tio": Terminal("tio", lambda d: ["tio", d], b"Connected"),
    }
    if relay:
        t["relay"] = Terminal("relay", lambda d: [relay, d], b"relay ready")
    return t


# ---------------------------------------------------------------- measures


def median(values):
    values = [v for v in values if v == v]
    return statistics.median(values) if values else float("nan")


def measure_idle(terms, seconds, his):
    """All of them at once, each on its own quiet device: an idle program costs nothing."""
    running = []
    for t in terms:
        master, slave = raw_pty()
        p = t.start(os.ttyname(slave), slave, his)
        running.append((t.name, p, master, slave))
    start = {name: cpu_seconds(p.pid) for name, p, _, _ in running}
    began = time.monotonic()
    deadline = began + seconds
    while (left := deadline - time.monotonic()) > 0:
        ready, _, _ = select.select([p.console for _, p, _, _ in running], [], [], left)
        for fd in ready:
            try:
                os.read(fd, 65536)
            except OSError:
                pass
    elapsed = time.monotonic() - began
    result = {}
    for name, p, master, slave in running:
        result[name] = {"cpu_pct": 100.0 * (cpu_seconds(p.pid) - start[name]) / elapsed}
        p.stop()
        result[name]["rss"] = p.peak_rss_mib()
        os.close(master)
        os.close(slave)
    return result


def flood_text(size):
    lines, n, total = [], 0, 0
    while total < size:
        line = b"%08d the quick brown fox jumps over the lazy dog 0123456789 ABCDEF\r\n" % n
        lines.append(line)
        total += len(line)
        n += 1
    lines.append(b"FLOOD-END-MARK\r\n")
    return b"".join(lines)


def measure_throughput(term, data, his):
    """Time until the last line of `data`, written to the device, is on the screen."""
    master, slave = raw_pty()
    p = term.start(os.ttyname(slave), slave, his)
    marker = b"FLOOD-END-MARK"
    cpu0 = cpu_seconds(p.pid)
    failed = []

    def writer():
        view = memoryview(data)
        try:
            while view:
                view = view[os.write(master, view[:65536]) :]
        except OSError as e:
            failed.append(e)

    t0 = time.monotonic()
    w = threading.Thread(target=writer, daemon=True)
    w.start()
    tail, got, seen = b"", 0, False
    limit = t0 + max(120, len(data) / MIB * 15)
    while not seen and time.monotonic() < limit:
        r, _, _ = select.select([p.console], [], [], 1)
        if not r:
            continue
        try:
            chunk = os.read(p.console, 1 << 17)
        except OSError:
            break
        got += len(chunk)
        tail = tail[-32:] + chunk
        seen = marker in tail
    elapsed = time.monotonic() - t0
    cpu = cpu_seconds(p.pid) - cpu0
    p.stop()
    w.join(5)
    os.close(master)
    os.close(slave)
    if not seen:
        return {"error": f"last line not shown ({got} bytes seen)", "rss": p.peak_rss_mib()}
    mib = len(data) / MIB
    return {"mibs": mib / elapsed, "cpu_per_mib": cpu / mib, "rss": p.peak_rss_mib()}


def measure_latency(term, samples, his):
    """Medians of key-to-wire and device-to-screen for single bytes on an idle program."""
    master, slave = raw_pty()
    p = term.start(os.ttyname(slave), slave, his)
    key_wire, dev_screen = [], []

    def one(src, dst, byte):
        t0 = time.perf_counter()
        os.write(src, byte)
        while True:
            r, _, _ = select.select([dst], [], [], 2)
            if not r:
                return float("nan")
            if byte in os.read(dst, 4096):
                return (time.perf_counter() - t0) * 1e3

    for i in range(samples):
        time.sleep(random.uniform(0.002, 0.006))  # let it go idle, as between keystrokes
        key_wire.append(one(p.console, master, b"a"))
        time.sleep(random.uniform(0.002, 0.006))
        dev_screen.append(one(master, p.console, b"b"))
    p.stop()
    os.close(master)
    os.close(slave)
    return {"key_wire": median(key_wire), "dev_screen": median(dev_screen), "rss": p.peak_rss_mib()}


# ---------------------------------------------------------------- transfers with krvbsim


def srec_file(data, address, path):
    """S3 records of 120 data bytes: 254 characters and LF, the longest line sent whole."""
    with open(path, "w") as f:
        f.write("S0030000FC\n")
        for at in range(0, len(data), 120):
            chunk = data[at : at + 120]
            body = bytes([len(chunk) + 5]) + (address + at).to_bytes(4, "big") + chunk
            f.write("S3" + body.hex().upper() + "%02X\n" % (~sum(body) & 0xFF))
        body = bytes([5]) + address.to_bytes(4, "big")
        f.write("S7" + body.hex().upper() + "%02X\n" % (~sum(body) & 0xFF))


def exe_file(data, address, path):
    header = bytearray(2048)
    header[0:8] = b"KV-R EXE"
    for offset, value in ((16, address), (20, 0), (24, address), (28, len(data))):
        header[offset : offset + 4] = value.to_bytes(4, "little")
    with open(path, "wb") as f:
        f.write(bytes(header) + data)


def coff_file(data, address, path):
    """The same program as a MIPS COFF executable: one .text section."""
    head = bytearray(20 + 56 + 40)
    head[0:2] = (0x0162).to_bytes(2, "little")
    head[2:4] = (1).to_bytes(2, "little")
    head[16:18] = (56).to_bytes(2, "little")
    head[18:20] = (0x0107).to_bytes(2, "little")
    head[20 + 16 : 20 + 20] = address.to_bytes(4, "little")
    s = 76
    head[s : s + 5] = b".text"
    for offset, value in ((8, address), (12, address), (16, len(data)), (20, len(head)),
                          (36, 0x20)):
        head[s + offset : s + offset + 4] = value.to_bytes(4, "little")
    with open(path, "wb") as f:
        f.write(bytes(head) + data)


def elf_file(data, address, path):
    """The same program as a 32-bit little-endian MIPS ELF executable: one .text section in
    one PT_LOAD segment."""
    names = b"\0.text\0.shstrtab\0"
    data_at = 52 + 32
    names_at = data_at + len(data)
    sh_at = (names_at + len(names) + 3) & ~3
    le = lambda v, n=4: v.to_bytes(n, "little")
    h = b"\x7fELF" + bytes([1, 1, 1]) + bytes(9)
    h += le(2, 2) + le(8, 2) + le(1) + le(address) + le(52) + le(sh_at) + le(0)
    h += le(52, 2) + le(32, 2) + le(1, 2) + le(40, 2) + le(3, 2) + le(2, 2)
    ph = le(1) + le(data_at) + le(address) + le(address) + le(len(data)) * 2 + le(7) + le(16)
    sections = bytes(40)
    sections += le(1) + le(1) + le(6) + le(address) + le(data_at) + le(len(data)) + bytes(16)
    sections += le(7) + le(3) + le(0) + le(0) + le(names_at) + le(len(names)) + bytes(16)
    body = h + ph + data + names
    with open(path, "wb") as f:
        f.write(body + bytes(sh_at - len(body)) + sections)


def wire_counts(log_path):
    """Bytes each way in a krvbsim wire log, from the host's first byte on."""
    host = mon = 0
    with open(log_path) as f:
        for line in f:
            if not (line.startswith("H>M") or line.startswith("M>H")):
                continue
            n = 0
            for at in range(3, min(len(line), 3 + 16 * 3), 3):
                if line[at + 1 : at + 3].strip() == "" or line[at] != " ":
                    break
                n += 1
            if line[0] == "H":
                host += n
            elif host:
                mon += n
    return host, mon


class RawLine:
    """The device opened raw, as a minimal client of the monitor sees it."""

    def __init__(self, device):
        self.fd = os.open(device, os.O_RDWR | os.O_NOCTTY)
        tty.setraw(self.fd, termios.TCSANOW)
        self.got = b""

    def write(self, data):
        os.write(self.fd, data)

    def wait_for(self, text):
        while text not in self.got:
            r, _, _ = select.select([self.fd], [], [], 10)
            if not r:
                sys.exit(f"no {text!r} from the monitor")
            self.got += os.read(self.fd, 4096)
        self.got = self.got[self.got.index(text) + len(text) :]


def ref_dload(device, path, address):
    """The block protocol's dload with nothing else to do: each packet in one write, the
    next as soon as its 'Y' is in. The floor that krvbsim and this machine allow."""
    t0 = time.monotonic()  # its own start, so the interpreter's is not counted
    line = RawLine(device)
    with open(path, "rb") as f:
        data = f.read()
    line.write(b"bwr\r")
    line.wait_for(b"binary\r")
    line.write(b"\x01" + address.to_bytes(4, "big") + len(data).to_bytes(4, "big"))
    for at in range(0, len(data), 2048):
        payload = data[at : at + 2048].ljust(2048, b"\0")
        line.write(b"\x02" + payload + bytes([sum(payload) & 0xFF]))
        line.wait_for(b"Y")
    line.write(b"\r")
    line.wait_for(b"end binary\r")
    print(f"ref elapsed {time.monotonic() - t0:.6f}", flush=True)
    return 0


def ref_srec(device, path):
    """The S-record load with nothing else to do: each line in one write, the next as soon as
    its acknowledgement is in. What the per-line acknowledgements allow."""
    t0 = time.monotonic()
    line = RawLine(device)
    with open(path, "rb") as f:
        records = f.read().splitlines(keepends=True)
    line.write(b"ld2\rG\n")
    for record in records:
        line.write(record)
        line.wait_for(b"N\n")
    print(f"ref elapsed {time.monotonic() - t0:.6f}", flush=True)
    return 0


class Transfer:
    """One dravel run against its own krvbsim: a script does the transfer and quits."""

    def __init__(self, kind, build, work, size, baud):
        # "dload@ser2net": the same transfer with dravel reaching krvbsim through ser2net
        kind, _, self.via = kind.partition("@")
        self.kind, self.build, self.baud, self.size, self.work = kind, build, baud, size, work
        self.server = None
        self.dir = tempfile.mkdtemp(prefix=f"{kind}-", dir=work)
        rng = random.Random(size)
        self.data = rng.randbytes(size)
        f = os.path.join
        sim = [f(build, "krvbsim"), "--dump", f"{RAM:x}:{size:x}:{f(self.dir, 'mem')}"]
        if baud:
            sim += ["--baud", str(baud), "--pace-host", "--wire-log", f(self.dir, "wire")]
        if kind in ("dload", "ref"):
            with open(f(self.dir, "in.bin"), "wb") as out:
                out.write(self.data)
            line = f"local dload {f(self.dir, 'in.bin')} {RAM:x}"
        elif kind == "dsave":
            with open(f(self.dir, "in.bin"), "wb") as out:
                out.write(self.data)
            sim += ["--load", f"{f(self.dir, 'in.bin')}@{RAM:x}"]
            line = f"local dsave {f(self.dir, 'out.bin')} {RAM:x} {size:x}"
        elif kind == "exe":
            exe_file(self.data, RAM, f(self.dir, "prog.exe"))
            line = f"local load {f(self.dir, 'prog.exe')}"
        elif kind in ("coff", "elf"):
            (coff_file if kind == "coff" else elf_file)(self.data, RAM, f(self.dir, "prog"))
            line = f"local load {f(self.dir, 'prog')}"
        elif kind == "ref-srec":
            srec_file(self.data, RAM, f(self.dir, "prog.mot"))
            line = ""
        else:
            srec_file(self.data, RAM, f(self.dir, "prog.mot"))
            line = f"local load {f(self.dir, 'prog.mot')}"
        with open(f(self.dir, "run.scr"), "w") as out:
            out.write(line + "\nlocal quit\n")
        self.sim_argv = sim

    def start(self):
        f = os.path.join
        self.sim = subprocess.Popen(self.sim_argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                    stdin=subprocess.DEVNULL)
        first = self.sim.stdout.readline().decode()
        m = re.search(r"serving on (\S+)", first)
        if not m:
            raise RuntimeError(f"krvbsim did not serve: {first!r} {self.sim.stderr.read()!r}")
        time.sleep(0.2)  # its banner crosses the line before dravel comes
        self.t0 = time.monotonic()
        if self.kind == "ref":
            argv = [sys.executable, os.path.abspath(__file__), "--ref-dload", m.group(1),
                    f(self.dir, "in.bin"), hex(RAM)]
        elif self.kind == "ref-srec":
            argv = [sys.executable, os.path.abspath(__file__), "--ref-srec", m.group(1),
                    f(self.dir, "prog.mot")]
        else:
            device = m.group(1)
            if self.via.startswith("ser2net"):
                self.server = Ser2net(device, self.work, stock=self.via == "ser2net-stock")
                device = self.server.url
            argv = [f(self.build, "dravel"), "-d", device, f(self.dir, "run.scr")]
        self.p = Program(argv, {"DRAVELHIS": f(self.dir, "his")})

    def collect(self, done):
        elapsed = self.t1 - self.t0
        if m := re.search(rb"ref elapsed ([0-9.]+)", self.p.screen):
            elapsed = float(m.group(1))
        if self.server:
            self.server.stop()
        self.sim.send_signal(signal.SIGTERM)
        try:
            self.sim.wait(30)
        except subprocess.TimeoutExpired:
            self.sim.kill()
            self.sim.wait()
        f = os.path.join
        result = {"elapsed": elapsed, "cpu_per_mib": self.p.cpu_total() / (self.size / MIB),
                  "mibs": self.size / MIB / elapsed, "rss": self.p.peak_rss_mib()}
        problem = None
        if not done:
            problem = "did not finish"
        elif self.p.status != 0:
            problem = f"dravel exit status {self.p.status}"
        else:
            out = f(self.dir, "out.bin" if self.kind == "dsave" else "mem")
            try:
                with open(out, "rb") as got:
                    if got.read() != self.data:
                        problem = "data differ"
            except OSError as e:
                problem = str(e)
        if problem:
            result["error"] = f"{problem}: {self.p.screen[-200:]!r}"
        if self.baud and not problem:
            host, mon = wire_counts(f(self.dir, "wire"))
            result["wire_s"] = (host + mon) * 10 / self.baud
            result["ratio"] = elapsed / result["wire_s"]
        shutil.rmtree(self.dir, ignore_errors=True)
        return result


def run_transfers(kinds, build, work, size, baud, together):
    """One transfer of each kind; paced ones side by side, since they mostly sleep."""
    timeout = (size * 25 / baud if baud else 0) + 120
    groups = [kinds] if together else [[k] for k in kinds]
    results = {}
    for group in groups:
        runs = [Transfer(k, build, work, size, baud) for k in group]
        for t in runs:
            t.start()
        until = time.monotonic() + timeout
        pending = list(runs)
        while pending:
            wait_all([t.p for t in pending], 0.05, kill=False)
            for t in [t for t in pending if t.p.status is not None]:
                t.t1 = time.monotonic()
                pending.remove(t)
            if time.monotonic() > until:
                for t in pending:
                    t.p.stop()
                    t.t1 = time.monotonic()
                break
        for k, t in zip(group, runs):
            results[k] = t.collect(t not in pending)
    return results


# ---------------------------------------------------------------- set-up and report


def ensure_references():
    """picocom and tio from Debian's packages when missing; None or a note of what is not."""
    wanted = [p for p in ("picocom", "tio") if shutil.which(p) is None]
    if wanted and os.geteuid() == 0 and shutil.which("apt-get"):
        env = {**os.environ, "DEBIAN_FRONTEND": "noninteractive"}
        cmd = ["apt-get", "install", "-y", "--no-install-recommends", *wanted]
        if subprocess.run(cmd, env=env, capture_output=True).returncode != 0:
            subprocess.run(["apt-get", "update"], env=env, capture_output=True)
            subprocess.run(cmd, env=env, capture_output=True)
    missing = [p for p in ("picocom", "tio") if shutil.which(p) is None]
    return missing


def build_relay(work):
    cc = shutil.which("cc") or shutil.which("gcc") or shutil.which("clang")
    if cc is None:
        return None
    out = os.path.join(work, "relay")
    src = os.path.join(os.path.dirname(os.path.abspath(__file__)), "relay.c")
    if subprocess.run([cc, "-O2", "-o", out, src], capture_output=True).returncode != 0:
        return None
    return out


def machine():
    model = "?"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    return f"{os.cpu_count()} cores, {model}, Linux {os.uname().release}"


def fmt(v, spec):
    return "-" if v is None or v != v else format(v, spec)


class Report:
    def __init__(self):
        self.rows = []
        self.targets = []

    def row(self, *cells):
        note = str(cells[-1]).replace("\n", " ")
        self.rows.append((*cells[:-1], note if len(note) <= 70 else note[:67] + "..."))

    def target(self, what, value, goal, met):
        verdict = "n/a" if met is None else ("met" if met else "NOT MET")
        self.targets.append((what, value, goal, verdict))

    def print(self):
        def table(header, rows):
            widths = [max(len(str(r[i])) for r in [header, *rows]) for i in range(len(header))]
            line = lambda r: "| " + " | ".join(str(c).ljust(w) for c, w in zip(r, widths)) + " |"
            print(line(header))
            print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
            for r in rows:
                print(line(r))

        table(("measure", "program", "median", "unit", "note"), self.rows)
        print()
        table(("target", "value", "goal", "verdict"), self.targets)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    here = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    ap.add_argument("--build", default=os.path.join(here, "build", "release"))
    ap.add_argument("--quick", action="store_true", help="small sizes, fewer rounds")
    ap.add_argument("--rounds", type=int, default=None)
    ap.add_argument("--skip", default="", help="comma list of: idle,display,latency,paced,unpaced,ser2net")
    ap.add_argument("--ref-dload", nargs=3, metavar=("DEVICE", "FILE", "ADDR"),
                    help=argparse.SUPPRESS)
    ap.add_argument("--ref-srec", nargs=2, metavar=("DEVICE", "FILE"), help=argparse.SUPPRESS)
    args = ap.parse_args()
    if args.ref_srec:
        return ref_srec(*args.ref_srec)
    if args.ref_dload:
        return ref_dload(args.ref_dload[0], args.ref_dload[1], int(args.ref_dload[2], 16))
    quick = args.quick
    rounds = args.rounds or (2 if quick else 3)
    flood = (2 if quick else 8) * MIB
    size = (256 << 10) if quick else MIB
    idle_s = 2 if quick else 5
    samples = 100 if quick else 300
    skip = set(filter(None, args.skip.split(",")))
    dravel = os.path.join(args.build, "dravel")
    for exe in (dravel, os.path.join(args.build, "krvbsim")):
        if not os.access(exe, os.X_OK):
            sys.exit(f"no {exe}: build first (make bench does)")

    work = tempfile.mkdtemp(prefix="dravel-bench-")
    his = os.path.join(work, "dravel.his")
    missing = ensure_references()
    relay = build_relay(work)
    terms = terminals(dravel, relay)
    refs = [n for n in ("cat", "picocom", "tio") if n not in missing]
    print(f"machine: {machine()}")
    print(f"rounds: {rounds}, flood {flood // MIB} MiB, transfers {size // 1024} KiB"
          + (" (quick)" if quick else ""))
    for m in missing:
        print(f"note: {m} could not be installed; its reference is skipped")
    if relay is None:
        print("note: no C compiler for the relay; latency has no reference")
    print(flush=True)

    rep = Report()
    rss = []  # (where, MiB) of every dravel run

    def progress(what):
        print(f"  .. {what}", file=sys.stderr, flush=True)

    try:
        if "idle" not in skip:
            progress("idle")
            runs = [measure_idle([terms[n] for n in ["dravel", *refs[1:]]], idle_s, his)
                    for _ in range(rounds)]
            for name in ["dravel", *refs[1:]]:
                pct = median([r[name]["cpu_pct"] for r in runs])
                rep.row("idle CPU", name, fmt(pct, ".3f"), "% of a core", f"{idle_s} s")
            rss += [("idle", r["dravel"]["rss"]) for r in runs]
            pct = median([r["dravel"]["cpu_pct"] for r in runs])
            rep.target("idle CPU", f"{pct:.3f}%", "< 0.1%", pct < 0.1)
            rep.target("idle CPU, no wake-ups", f"{pct:.3f}%", "< 0.02%", pct < 0.02)

        if "display" not in skip:
            data = flood_text(flood)
            names = ["dravel", *refs]
            runs = {n: [] for n in names}
            for r in range(rounds):
                for n in names:
                    progress(f"display {n} round {r + 1}")
                    runs[n].append(measure_throughput(terms[n], data, his))
            med = {}
            for n in names:
                good = [x for x in runs[n] if "error" not in x]
                errors = [x["error"] for x in runs[n] if "error" in x]
                med[n] = (median([x["mibs"] for x in good]), median([x["cpu_per_mib"] for x in good]))
                note = errors[0] if errors else ""
                rep.row("display", n, fmt(med[n][0], ".2f"), "MiB/s", note)
                rep.row("display CPU", n, fmt(med[n][1], ".4f"), "CPU s/MiB", "")
            rss += [("display", x["rss"]) for x in runs["dravel"]]
            if "cat" in med:
                ratio = med["dravel"][0] / med["cat"][0]
                rep.target("display vs cat", f"{ratio:.2f}x", ">= 0.5x", ratio >= 0.5)
            if "picocom" in med:
                ratio = med["dravel"][1] / med["picocom"][1]
                rep.target("CPU/MiB vs picocom", f"{ratio:.2f}x", "< 0.5x", ratio < 0.5)
                speed = med["dravel"][0] / med["picocom"][0]
                rep.row("display", "dravel/picocom", fmt(speed, ".2f"), "x speed", "")

        if "latency" not in skip:
            names = ["dravel"] + (["relay"] if relay else [])
            runs = {n: [] for n in names}
            for r in range(rounds):
                for n in names:
                    progress(f"latency {n} round {r + 1}")
                    runs[n].append(measure_latency(terms[n], samples, his))
            for key, label in (("key_wire", "key to wire"), ("dev_screen", "device to screen")):
                vals = {n: median([x[key] for x in runs[n]]) for n in names}
                for n in names:
                    rep.row(label, n, fmt(vals[n], ".3f"), "ms", f"{samples} samples a round")
                if relay:
                    ratio = vals["dravel"] / vals["relay"]
                    rep.target(f"{label} vs relay", f"{ratio:.2f}x", "<= 1.5x", ratio <= 1.5)
            rss += [("latency", x["rss"]) for x in runs["dravel"]]

        kinds = ["dload", "dsave", "exe", "coff", "elf", "srec"]
        if "paced" not in skip:
            for baud in ([921600] if quick else [115200, 921600]):
                progress(f"paced transfers at {baud}")
                res = run_transfers([*kinds, "ref", "ref-srec"], args.build, work, size, baud,
                                    together=True)
                for r, label in (("ref", "minimal dload"), ("ref-srec", "minimal S-record")):
                    rep.row(f"ref paced {baud}", label, fmt(res[r].get("ratio"), ".4f"),
                            "x wire time",
                            res[r].get("error", "the floor of krvbsim and this machine"))
                for k in kinds:
                    x = res[k]
                    ref = res["ref-srec" if k == "srec" else "ref"].get("ratio")
                    note = x.get("error", f"wire {x.get('wire_s', 0):.2f} s; 1 round, side by side")
                    rep.row(f"{k} paced {baud}", "dravel", fmt(x.get("ratio"), ".4f"),
                            "x wire time", note)
                    if ref and x.get("ratio"):
                        rep.row(f"{k} paced {baud}", "dravel/minimal", fmt(x["ratio"] / ref, ".4f"),
                                "x", "the same, over the floor")
                    goal = 1.05 if k == "srec" else 1.02
                    ok = x.get("ratio", 99) <= goal
                    rep.target(f"{k} at {baud}", fmt(x.get("ratio"), ".4f") + "x",
                               f"<= {goal}x", ok)
                    if ref and x.get("ratio"):
                        over = x["ratio"] / ref
                        rep.target(f"{k} at {baud}, over the floor", f"{over:.4f}x",
                                   f"<= {goal}x", over <= goal)
                    rss.append((f"{k} {baud}", x["rss"]))
                # Same-run ratios: the S-record load against the minimal client, and the ELF
                # load against the same program's COFF load.
                for k, ref, label in (("srec", "ref-srec", "minimal S-record client"),
                                      ("elf", "coff", "the same program's COFF load")):
                    a, b = res[k].get("elapsed"), res[ref].get("elapsed")
                    if a and b and "error" not in res[k] and "error" not in res[ref]:
                        rep.target(f"{k} at {baud} vs {label}", f"{a / b:.4f}x", "<= 1.02x",
                                   a / b <= 1.02)

        if "unpaced" not in skip:
            unpaced = [*kinds, "ref-srec"]
            runs = {k: [] for k in unpaced}
            for r in range(rounds):
                progress(f"unpaced transfers round {r + 1}")
                res = run_transfers(unpaced, args.build, work, size, 0, together=False)
                for k in unpaced:
                    runs[k].append(res[k])
            ref_wall = [x["elapsed"] for x in runs["ref-srec"] if "error" not in x]
            rep.row("ref-srec unpaced", "minimal S-record", fmt(median(
                [x["mibs"] for x in runs["ref-srec"] if "error" not in x]), ".2f"), "MiB/s", "")
            for k in kinds:
                good = [x for x in runs[k] if "error" not in x]
                errors = [x["error"] for x in runs[k] if "error" in x]
                rep.row(f"{k} unpaced", "dravel", fmt(median([x["mibs"] for x in good]), ".2f"),
                        "MiB/s", errors[0] if errors else "")
                rep.row(f"{k} unpaced CPU", "dravel",
                        fmt(median([x["cpu_per_mib"] for x in good]), ".3f"), "CPU s/MiB", "")
                rss += [(f"{k} unpaced", x["rss"]) for x in runs[k]]
            srec_cpu = median([x["cpu_per_mib"] for x in runs["srec"] if "error" not in x])
            rep.target("srec unpaced CPU", f"{srec_cpu:.3f} s/MiB", "<= 0.3", srec_cpu <= 0.3)
            # Round by round, each against the minimal client's run beside it.
            walls = [x["elapsed"] / ref["elapsed"] for x, ref in zip(runs["srec"], runs["ref-srec"])
                     if "error" not in x and "error" not in ref]
            wall = median(walls) if ref_wall else float("nan")
            rep.target("srec unpaced wall vs minimal client", f"{wall:.3f}x", "<= 1.5x",
                       wall <= 1.5)

        has_ser2net = shutil.which("ser2net") or os.access("/usr/sbin/ser2net", os.X_OK)
        if "ser2net" not in skip and has_ser2net:
            # Direct pty, ser2net without its chardelay (what dravel adds), stock ser2net.
            remotes = [("dravel", terms["dravel"]),
                       ("dravel/ser2net", Ser2netTerminal(dravel, work)),
                       ("dravel/ser2net stock", Ser2netTerminal(dravel, work, stock=True))]
            if "display" not in skip:
                data = flood_text(flood)
                runs = {n: [] for n, _ in remotes}
                for r in range(rounds):
                    for n, t in remotes:
                        progress(f"display {n} round {r + 1}")
                        runs[n].append(measure_throughput(t, data, his))
                med = {n: median([x["mibs"] for x in v if "error" not in x]) for n, v in runs.items()}
                for n in runs:
                    errors = [x["error"] for x in runs[n] if "error" in x]
                    note = errors[0] if errors else f"{med[n] / med['dravel']:.2f}x the pty's"
                    rep.row("display", n, fmt(med[n], ".2f"), "MiB/s", note)
            if "latency" not in skip:
                runs = {n: [] for n, _ in remotes}
                for r in range(rounds):
                    for n, t in remotes:
                        progress(f"latency {n} round {r + 1}")
                        runs[n].append(measure_latency(t, samples, his))
                for key, label in (("key_wire", "key to wire"), ("dev_screen", "device to screen")):
                    vals = {n: median([x[key] for x in runs[n]]) for n in runs}
                    for n in runs:
                        rep.row(label, n, fmt(vals[n], ".3f"), "ms", f"{samples} samples a round")
                    added = vals["dravel/ser2net"] - vals["dravel"]
                    rep.target(f"{label} added by ser2net", f"{added:.3f} ms", "< 1 ms", added < 1)
            net_kinds = ["dload", "dsave", "exe"]
            for baud in (115200, 921600):
                progress(f"paced transfers at {baud}, direct and through ser2net")
                vias = ["", "@ser2net", "@ser2net-stock"]
                res = run_transfers([k + v for v in vias for k in net_kinds], args.build, work, size,
                                    baud, together=True)
                goal = 1.02 if baud == 115200 else 1.05
                for k in net_kinds:
                    direct = res[k]
                    for v in vias:
                        x = res[k + v]
                        label = "dravel/" + (v[1:] if v else "pty")
                        ratio = (x["elapsed"] / direct["elapsed"]
                                 if "error" not in x and "error" not in direct else None)
                        note = x.get("error", f"{ratio:.4f}x the pty's, side by side")
                        rep.row(f"{k} paced {baud}", label, fmt(x.get("elapsed"), ".3f"), "s", note)
                        if v == "@ser2net" and ratio:
                            rep.target(f"{k} at {baud} ser2net/pty", f"{ratio:.4f}x",
                                       f"<= {goal}x", ratio <= goal)

        if rss:
            where, peak = max(rss, key=lambda x: x[1])
            rep.row("peak RSS", "dravel", f"{peak:.2f}", "MiB", f"largest in {where}")
            rep.target("peak RSS", f"{peak:.2f} MiB", "< 4 MiB", peak < 4)
    finally:
        shutil.rmtree(work, ignore_errors=True)

    rep.print()
    return 0


if __name__ == "__main__":
    sys.exit(main())
