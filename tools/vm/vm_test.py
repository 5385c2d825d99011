#!/usr/bin/env python3
"""dravel on real serial drivers: a QEMU guest (TCG) with a 16550 (ttyS1) and an FTDI adapter
on xHCI (ttyUSB0), each wired to its own krvbsim on this host.

Each device's chardev is a unix socket that a relay here joins to krvbsim's pty, set raw, so
bytes pass untouched (QEMU opening the pty itself would put its own termios on it). The guest
runs /vm/TEST.sh (tools/vm/guest/) and reports on its console in lines starting with @@: PASS
and FAIL lines, PULL and PLUG (this side removes or adds the adapter through QEMU's monitor),
END. Afterwards each krvbsim's memory is compared with the file the guest loaded.

Every boot has a time limit; QEMU and both krvbsims are ended by their own ids, pass or fail.
"""
import argparse
import errno
import fcntl
import os
import random
import re
import select
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import termios
import time
import traceback
import tty

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.normpath(os.path.join(HERE, "../.."))
FIXTURES = os.path.join(TOP, "tests/fixtures/loader")
ADDR = 0x80100000
WINDOW, WINDOW_SIZE, FILL = 0x8000FF00, 0x500, 0xA5
DEVICES = ("usb", "uart")
GO_TEXT = r"\r\nhello: PASS\r\n"


class Stop(Exception):
    pass


def on_signal(signum, frame):
    raise Stop(f"signal {signum}")


def srec_image(path):
    """address -> byte of every S1/S2/S3 data record."""
    image = {}
    for line in open(path, "rb").read().decode("ascii").split():
        kind = line[:2]
        if kind not in ("S1", "S2", "S3"):
            continue
        raw = bytes.fromhex(line[2:])
        width = {"S1": 2, "S2": 3, "S3": 4}[kind]
        address = int.from_bytes(raw[1:1 + width], "big")
        for i, b in enumerate(raw[1 + width:-1]):
            image[address + i] = b
    return image


def srec_text(data, address):
    """S3 lines of 32 bytes and an S7 end, as a board's build would write them."""
    def record(kind, body):
        body = bytes([len(body) + 1]) + body
        return f"{kind}{body.hex().upper()}{(~sum(body)) & 0xFF:02X}\n"
    lines = [record("S3", (address + i).to_bytes(4, "big") + data[i:i + 32])
             for i in range(0, len(data), 32)]
    return "".join(lines) + record("S7", address.to_bytes(4, "big"))


def make_data(data):
    """The files the guest loads and the windows the loads must leave."""
    os.makedirs(data, exist_ok=True)
    rng = random.Random(21)
    open(os.path.join(data, "r64k.bin"), "wb").write(rng.randbytes(0x10000))
    open(os.path.join(data, "fill.bin"), "wb").write(bytes([FILL]) * WINDOW_SIZE)
    open(os.path.join(data, "r16k.mot"), "w").write(srec_text(rng.randbytes(0x4000), ADDR + 0x10000))
    image = srec_image(os.path.join(FIXTURES, "hello.mot"))
    window = bytearray([FILL]) * WINDOW_SIZE
    for a, b in image.items():
        window[a - WINDOW] = b
    open(os.path.join(data, "window.bin"), "wb").write(window)
    for name in ("hello.mot", "hello.coff", "hello.elf"):
        shutil.copyfile(os.path.join(FIXTURES, name), os.path.join(data, name))
    # A KV-R EXE of the same program: the header, then the image with the fill in its holes.
    first, last = min(image), max(image)
    entry = int(re.search(r"entry (\w+)", open(os.path.join(FIXTURES, "hello.expect")).read())[1], 16)
    header = bytearray(2048)
    header[0:8] = b"KV-R EXE"
    for offset, value in ((16, entry), (20, 0), (24, first), (28, last - first + 1)):
        header[offset:offset + 4] = value.to_bytes(4, "little")
    body = bytes(window[first - WINDOW:last - WINDOW + 1])
    open(os.path.join(data, "hello.exe"), "wb").write(bytes(header) + body)


class Relay:
    """Joins a unix socket (QEMU connects to it) to a pty, both ways, with nothing changed.

    Never blocks on either side: a pty that krvbsim reads at the line's pace fills, and then
    only that direction waits."""

    ROOM = 1 << 16

    def __init__(self, sock_path, pty_path):
        self.listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.listener.bind(sock_path)
        self.listener.listen(1)
        self.listener.setblocking(False)
        self.pty = os.open(pty_path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        tty.setraw(self.pty)
        self.conn = None
        self.to_pty = bytearray()
        self.to_sock = bytearray()
        # While the adapter is pulled the wire is cut: what either side sends is lost, as on
        # a real unplug.
        self.cut = False

    def fds(self):
        r, w = [], []
        if self.conn is None:
            r.append(self.listener)
            return r, w
        if len(self.to_pty) < self.ROOM:
            r.append(self.conn)
        if len(self.to_sock) < self.ROOM:
            r.append(self.pty)
        if self.to_pty:
            w.append(self.pty)
        if self.to_sock:
            w.append(self.conn)
        return r, w

    def pump(self, readable, writable):
        if self.listener in readable:
            self.conn, _ = self.listener.accept()
            self.conn.setblocking(False)
            return
        if self.conn is None:
            return
        if self.conn in readable:
            try:
                data = self.conn.recv(4096)
            except BlockingIOError:
                data = None
            except ConnectionError:
                data = b""  # QEMU dropped the chardev's connection: it connects again
            if data == b"":
                self.conn.close()
                self.conn = None
                return
            if data:
                self.to_pty += data
        if self.pty in readable:
            try:
                self.to_sock += os.read(self.pty, 4096)
            except OSError as e:
                if e.errno not in (errno.EAGAIN, errno.EIO):
                    raise
        if self.cut:
            self.to_sock.clear()
            self.to_pty.clear()
        if self.pty in writable and self.to_pty:
            try:
                n = os.write(self.pty, self.to_pty)
                del self.to_pty[:n]
            except BlockingIOError:
                pass
        if self.conn in writable and self.to_sock:
            try:
                n = self.conn.send(self.to_sock)
                del self.to_sock[:n]
            except BlockingIOError:
                pass
            except ConnectionError:
                self.conn.close()
                self.conn = None

    def unsent(self):
        """Bytes in the socket that QEMU has not read yet."""
        if self.conn is None:
            return 0
        return struct.unpack("i", fcntl.ioctl(self.conn, termios.TIOCOUTQ, b"\0\0\0\0"))[0]

    def close(self):
        for s in (self.conn, self.listener):
            if s is not None:
                s.close()
        os.close(self.pty)


class Bed:
    def __init__(self, args, work):
        self.args, self.work = args, work
        self.sims = {}
        self.relays = []
        self.qemu = None
        self.monitor = None
        self.passed, self.failed = [], []
        self.times = {}
        self.console = open(os.path.join(work, "console.log"), "wb")

    def start_sim(self, tag):
        cmd = [os.path.join(self.args.build, "krvbsim"), "--baud", "115200", "--pace-host",
               "--wire-log", os.path.join(self.work, f"wire-{tag}.log"), "--go-text", GO_TEXT,
               "--dump", f"{ADDR:x}:10000:{os.path.join(self.work, f'mem-{tag}.bin')}"]
        p = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                             stdin=subprocess.DEVNULL)
        self.sims[tag] = p
        line = b""
        deadline = time.monotonic() + 10
        while not line.endswith(b"\n") and time.monotonic() < deadline:
            if select.select([p.stdout], [], [], 1)[0]:
                line += os.read(p.stdout.fileno(), 1)
        m = re.search(rb"serving on (\S+)", line)
        if not m:
            raise Stop(f"krvbsim did not start: {line!r}")
        sock = os.path.join(self.work, f"{tag}.sock")
        self.relays.append(Relay(sock, m[1].decode()))
        return sock

    def start_qemu(self):
        usb, uart = self.start_sim("usb"), self.start_sim("uart")
        out = os.path.join(TOP, "build/vm")
        mon = os.path.join(self.work, "monitor.sock")
        cmd = ["qemu-system-x86_64", "-accel", "tcg", "-cpu", "max", "-m", "256", "-smp", "1",
               "-nodefaults", "-display", "none", "-no-reboot",
               "-kernel", os.path.join(out, "vmlinuz"), "-initrd", os.path.join(out, "initrd.gz"),
               "-append", f"console=ttyS0 panic=-1 quiet dravel.test={self.args.test}",
               "-chardev", "stdio,id=con,signal=off", "-serial", "chardev:con",
               "-chardev", f"socket,id=c1,path={uart}", "-serial", "chardev:c1",
               "-device", "qemu-xhci,id=xhci",
               "-chardev", f"socket,id=c0,path={usb}", "-device", "usb-serial,chardev=c0,id=ftdi",
               "-monitor", f"unix:{mon},server=on,wait=off"]
        self.qemu = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT, start_new_session=True)
        deadline = time.monotonic() + 10
        while self.monitor is None:
            try:
                s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
                s.connect(mon)
                self.monitor = s
            except OSError:
                s.close()
                if time.monotonic() > deadline or self.qemu.poll() is not None:
                    raise Stop("QEMU's monitor did not come up")
                time.sleep(0.1)

    def monitor_command(self, line):
        self.monitor.sendall(line.encode() + b"\n")
        self.note(f"monitor: {line}")

    def pull(self):
        """The adapter out: the wire is cut first, and what QEMU still has to read from it is
        given a moment. QEMU 7.2 crashes (SIGSEGV, 1 pull in 5 during a dsave) when bytes reach
        its chardev after the usb-serial device is gone and before it is freed."""
        relay = self.relays[DEVICES.index("usb")]
        relay.cut = True
        relay.to_sock.clear()
        end = time.monotonic() + 2
        while relay.unsent() > 0 and time.monotonic() < end:
            time.sleep(0.01)
        self.monitor_command("device_del ftdi")

    def note(self, text):
        self.console.write(f"[host {time.monotonic():.1f}] {text}\n".encode())
        self.console.flush()

    def run(self):
        self.start_qemu()
        deadline = time.monotonic() + self.args.timeout
        pending = b""
        ended = False
        while not ended:
            left = deadline - time.monotonic()
            if left <= 0:
                self.failed.append(f"boot time limit ({self.args.timeout} s) passed")
                break
            r, w = [self.qemu.stdout, self.monitor], []
            for relay in self.relays:
                rr, ww = relay.fds()
                r += rr
                w += ww
            readable, writable, _ = select.select(r, w, [], min(left, 1.0))
            for relay in self.relays:
                relay.pump(readable, writable)
            if self.monitor in readable:
                self.monitor.recv(4096)  # the monitor's echo and prompt: not needed
            if self.qemu.stdout in readable:
                data = os.read(self.qemu.stdout.fileno(), 4096)
                if not data:
                    if not ended:
                        status = self.qemu.wait()
                        self.failed.append(f"QEMU ended (status {status}) before the guest's "
                                           "END line")
                    break
                self.console.write(data)
                self.console.flush()
                if self.args.verbose:
                    sys.stdout.buffer.write(data)
                    sys.stdout.flush()
                pending += data
                while b"\n" in pending:
                    line, pending = pending.split(b"\n", 1)
                    ended = self.guest_line(line.decode("utf-8", "replace").strip("\r"))

    def guest_line(self, line):
        at = line.find("@@")
        if at < 0:
            return False
        word, _, rest = line[at + 2:].partition(" ")
        if word == "PASS":
            self.passed.append(rest)
        elif word == "FAIL":
            self.failed.append(rest)
            print(f"FAIL (guest) {rest}", flush=True)
        elif word == "PULL":
            self.pull()
        elif word == "PLUG":
            self.monitor_command("device_add usb-serial,chardev=c0,id=ftdi")
            self.relays[DEVICES.index("usb")].cut = False
        elif word == "TIME":
            tag, op, t0, t1, status = rest.split()
            self.times[f"{tag} {op}"] = (float(t1) - float(t0), status)
        elif word == "END":
            return True
        return False

    def stop(self):
        """QEMU and the krvbsims by their own ids; krvbsim writes its memory on SIGTERM."""
        if self.qemu is not None:
            if self.qemu.poll() is None:
                self.qemu.kill()
            self.qemu.wait()
        for p in self.sims.values():
            if p.poll() is None:
                p.send_signal(signal.SIGTERM)
            try:
                p.wait(timeout=10)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
        for relay in self.relays:
            relay.close()
        if self.monitor is not None:
            self.monitor.close()

    def check_no_echo(self):
        """The monitor's banner must not spoil dravel's first command. The kernel may echo what
        it took before open() returned (the tty is cooked until its first tcsetattr, and QEMU
        hands over the banner a real wire would have lost as the UART starts): any such echo
        must be followed by a Ctrl-C before dravel's first command line."""
        for tag in DEVICES:
            sent = bytearray()
            try:
                for line in open(os.path.join(self.work, f"wire-{tag}.log"), "rb"):
                    if line.startswith(b"H>M "):
                        sent += bytes.fromhex(line[4:52].decode())
            except OSError:
                continue
            echo = sent.find(b"debug monitor")
            first = sent.find(b"bwr\r")
            clean = echo < 0 or -1 < sent.find(b"\x03", echo) < first
            if echo >= 0:
                self.note(f"{tag}: the banner echoed at the first open, then cleared: {clean}")
            name = f"{tag} board's line clean for the first command"
            (self.passed if clean else self.failed).append(name)

    def check_memory(self, data):
        want = open(os.path.join(data, "r64k.bin"), "rb").read()
        for tag in DEVICES:
            path = os.path.join(self.work, f"mem-{tag}.bin")
            got = open(path, "rb").read() if os.path.exists(path) else b""
            name = f"{tag} board memory is the dloaded file"
            (self.passed if got == want else self.failed).append(name)


def host_times(args, data):
    """The bench's transfers on a pty of this host, against a krvbsim paced as the guest's."""
    scripts = {"start": "local exit 0\n",
               "dload": f"local dload {data}/r64k.bin {ADDR:x}\n",
               "dsave": f"local dsave {{out}} {ADDR:x} 10000\n",
               "srec": f"local load {data}/r16k.mot\nlocal wait-prompt\n"}
    work = tempfile.mkdtemp(prefix="dravel-vm-host-")
    sim = subprocess.Popen([os.path.join(args.build, "krvbsim"), "--baud", "115200", "--pace-host"],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                           stdin=subprocess.DEVNULL)
    times = {}
    try:
        line = b""
        while not line.endswith(b"\n") and select.select([sim.stdout], [], [], 10)[0]:
            line += os.read(sim.stdout.fileno(), 1)
        device = re.search(rb"serving on (\S+)", line)[1].decode()
        for op, text in scripts.items():
            script = os.path.join(work, f"{op}.scr")
            open(script, "w").write(text.format(out=os.path.join(work, "b.out")))
            started = time.monotonic()
            run = subprocess.run([os.path.join(args.build, "dravel"), "--batch", "--timeout", "90",
                                  "-d", device, "-B115200", script], stdin=subprocess.DEVNULL,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.STDOUT, timeout=120)
            times[op] = (time.monotonic() - started, str(run.returncode))
    finally:
        sim.kill()
        sim.wait()
        shutil.rmtree(work, ignore_errors=True)
    return times


def report_ratios(guest, host):
    """Guest time over host time for each driver and transfer: what the driver adds."""
    print("transfer  host pty s   " + "   ".join(f"{tag:>5} s  ratio" for tag in DEVICES))
    ok = True
    for op, (base, status) in host.items():
        cells = []
        for tag in DEVICES:
            took, st = guest.get(f"{tag} {op}", (0.0, "missing"))
            ok = ok and st == "0" and status == "0"
            cells.append(f"{took:7.2f}  {took / base:5.2f}")
        print(f"{op:8}  {base:10.2f}   " + "   ".join(cells))
    return ok


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--build", default=os.path.join(TOP, "build/release"))
    p.add_argument("--test", default="smoke", help="the guest's script: tools/vm/guest/TEST.sh")
    p.add_argument("--timeout", type=float, default=240, help="seconds the boot may take")
    p.add_argument("--keep", action="store_true", help="keep the work directory")
    p.add_argument("--verbose", action="store_true", help="show the guest's console")
    args = p.parse_args()
    args.build = os.path.abspath(args.build)
    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGINT, on_signal)
    signal.signal(signal.SIGHUP, on_signal)

    data = os.path.join(TOP, "build/vm/data")
    make_data(data)
    subprocess.run([os.path.join(HERE, "build_guest.sh"), args.build, data], check=True)

    work = tempfile.mkdtemp(prefix="dravel-vm-")
    bed = Bed(args, work)
    started = time.monotonic()
    try:
        bed.run()
    except Stop as e:
        bed.failed.append(str(e))
    except Exception:  # a fault of this side: reported with the rest, never a bare traceback
        traceback.print_exc()
        bed.failed.append("the host side failed: " + traceback.format_exc().splitlines()[-1])
    finally:
        bed.stop()
    bed.check_memory(data)
    bed.check_no_echo()
    took = time.monotonic() - started
    for name in bed.passed:
        print(f"PASS {name}")
    for name in bed.failed:
        print(f"FAIL {name}")
    ok = not bed.failed and bed.passed
    if args.test == "bench":
        ok = report_ratios(bed.times, host_times(args, data)) and ok
    print(f"vm {args.test}: {len(bed.passed)} passed, {len(bed.failed)} failed in {took:.0f} s"
          f" ({work})")
    if ok and not args.keep:
        shutil.rmtree(work, ignore_errors=True)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
