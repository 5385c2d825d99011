#!/usr/bin/env python3
"""Soak: dravel against krvbsim for a long time, with faults and pulled devices.

dravel runs on a pty of its own (so it has a terminal) with -d on a stable name that points
at krvbsim's pty, and loops an auto script (local auto-again) through a seeded stream of
monitor output, dload/dsave of seeded images with krvbsim rejecting and spoiling a share of
packets, an S-record and an executable load, and log writes. From outside, krvbsim is ended
and started again under the same name every few minutes (its memory kept, as a board's is
when only its adapter is pulled).

Checked all along: every stream byte on the screen and in the log, in order; every memory
checksum after a load; every dsave file against its image; every loss said once and every
return reconnected within 2 s; no stall; RSS, fds and threads flat after the warm-up.
Exit status 0 only when every check held.

The device is one class (KrvbsimDevice): --transport/--restart pick another, such as
ser2net in front of krvbsim, dravel on -d rfc2217:// or socket://, ser2net restarted
(Ser2netDevice).
"""
import argparse
import os
import pty
import random
import re
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import zlib

ALPHABET = b"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"
STREAM_LINE = 72
MASK = (1 << 64) - 1
BASE = 0x80010000
STREAM_LENGTH = 0x10000
RECONNECT_LIMIT = 2.0  # seconds from the device's return to dravel's "back"
STALL_LIMIT = 30.0  # seconds without a byte on the screen while the loop runs
NEAR_PULL = 15.0  # seconds after a pull in which its side effects are expected
F3, F10, F2 = b"\x1b[13~", b"\x1b[21~", b"\x1b[12~"
WINE_F3, WINE_F2 = b"\x1bOR", b"\x1bOQ"  # Wine's console knows F1-F4 in SS3 form only
CSI = re.compile(rb"\x1b\[[0-9;?]*[A-Za-z@]")


def seeded_stream(seed, length):
    """What krvbsim's "stream" prints (src/sim/stream.h), without the CRs."""
    out = bytearray()
    state = seed
    for i in range(length):
        column = i % (STREAM_LINE + 2)
        if column == STREAM_LINE:
            continue
        if column == STREAM_LINE + 1:
            out += b"\n"
            continue
        state = (state + 0x9E3779B97F4A7C15) & MASK
        z = state
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & MASK
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & MASK
        out.append(ALPHABET[(z ^ (z >> 31)) % 64])
    return bytes(out)


def srec_image(path):
    """The bytes an S-record file puts in memory, as (address, data); one contiguous run."""
    start, data = None, bytearray()
    for line in open(path):
        line = line.strip()
        if len(line) < 4 or line[1] not in "123":
            continue
        width = {"1": 4, "2": 6, "3": 8}[line[1]]
        count = int(line[2:4], 16)
        address = int(line[4:4 + width], 16)
        payload = bytes.fromhex(line[4 + width:2 + 2 * (count + 1) - 2])
        if start is None:
            start = address
        if address != start + len(data):
            raise SystemExit(f"{path}: not one contiguous run")
        data += payload
    return start, bytes(data)


class Failures:
    def __init__(self):
        self.items = []

    def add(self, what, context=b""):
        stamp = time.strftime("%H:%M:%S")
        self.items.append(f"{stamp} {what}" + (f"\n    context: {context!r}" if context else ""))
        print(f"FAIL {self.items[-1]}", flush=True)


class StreamCheck:
    """Follows a byte stream (the screen or the log) and checks every "stream" in it."""

    HEADER = re.compile(rb"stream ([0-9a-f]+) ([0-9a-f]+)\n")

    def __init__(self, name, soak):
        self.name, self.soak = name, soak
        self.buf = b""
        self.expect = None
        self.pos = 0
        self.last_seed = None
        self.started = 0.0  # the stream in flight began to arrive no earlier than this
        self.read_at = 0.0  # the last read: what the next read brings is newer
        self.cut_run = None
        self.complete = self.cut = 0
        self.bytes = 0

    def feed(self, data):
        since, self.read_at = self.read_at, time.monotonic()
        self.buf += data.replace(b"\r", b"")
        while True:
            if self.expect is None:
                m = self.HEADER.search(self.buf)
                if not m:
                    self.buf = self.buf[-64:]
                    return
                self.begin(int(m[1], 16), int(m[2], 16), since)
                self.buf = self.buf[m.end():]
                continue
            n = min(len(self.buf), len(self.expect) - self.pos)
            if n == 0:
                return
            got, want = self.buf[:n], self.expect[self.pos:self.pos + n]
            if got == want:
                self.pos += n
                self.buf = self.buf[n:]
                if self.pos == len(self.expect):
                    self.complete += 1
                    self.bytes += self.length
                    self.expect = None
                continue
            i = next(k for k in range(n) if got[k] != want[k])
            self.broken(f"differs at byte {self.pos + i}", self.buf[max(0, i - 80):i + 80])
            self.buf = self.buf[i:]

    def begin(self, seed, length, since):
        device = self.soak.device
        if self.cut_run is not None and device.run_of(seed) == self.cut_run:
            self.soak.failures.add(f"{self.name}: stream {seed:x} after a cut one from its monitor")
        ok = (self.last_seed is None and seed == device.bases[0]) or (
            self.last_seed is not None and (seed == self.last_seed + 1 or (
                seed in device.bases and seed > self.last_seed)
                or device.may_skip(self.last_seed, seed, self.started)))
        if not ok:
            self.soak.failures.add(f"{self.name}: stream {seed:x} after {self.last_seed}: one lost")
        self.last_seed = seed
        self.started = since
        self.length = length
        self.expect = self.soak.stream_text(seed, length) + b"\nstream end %x" % seed
        self.pos = 0

    def broken(self, why, context):
        self.expect = None
        if self.soak.device.may_cut(self.last_seed, self.started):
            self.cut += 1
            self.cut_run = self.soak.device.cut_run(self.last_seed)
        else:
            self.soak.failures.add(f"{self.name}: stream {self.last_seed:x} {why}", context)


class Counter:
    """Counts needles in a stream read in pieces (a needle may span two pieces)."""

    def __init__(self, needles):
        self.counts = {n: 0 for n in needles}
        self.times = {n: [] for n in needles}
        self.tail = b""

    def feed(self, data):
        text = self.tail + data
        for n in self.counts:
            at = text.find(n)
            while at != -1:
                if at + len(n) > len(self.tail):
                    self.counts[n] += 1
                    self.times[n].append(time.monotonic())
                at = text.find(n, at + 1)
        longest = max(len(n) for n in self.counts)
        self.tail = text[-(longest - 1):]


class KrvbsimDevice:
    """krvbsim serving alone on a pty; `port` (a symlink) names it, as a udev name would."""

    def __init__(self, args, work):
        self.args, self.work = args, work
        # Under Wine, COM5 is a link in the prefix's dosdevices folder.
        self.port = (os.path.join(args.wineprefix, "dosdevices", "com5") if args.wine
                     else os.path.join(work, "port"))
        self.proc = None
        self.runs = 0
        self.ended = 0  # monitors before this one have been ended
        self.bases = []
        self.stats = {}

    def run_of(self, seed):
        """Which monitor printed a stream: each counts its seeds up from its own base."""
        return (seed - 1) // 1_000_000

    def may_cut(self, seed, started):
        """Only a monitor that was ended may leave its last stream cut."""
        return self.run_of(seed) < self.ended

    def cut_run(self, seed):
        """After a cut stream, no later one may come from its monitor (None: no such rule)."""
        return self.run_of(seed)

    def may_skip(self, last, seed, started):
        """Whether streams between last and seed may be missing (a new monitor's come whole)."""
        return False

    def fd_kind(self):
        """What dravel's device fd links to in /proc (None: not checked)."""
        return None

    def dravel_device(self):
        return "COM5" if self.args.wine else self.port

    def start(self):
        base = self.runs * 1_000_000 + 1
        self.bases.append(base)
        dump = os.path.join(self.work, "memory.bin")
        cmd = [self.args.krvbsim, "--stream-seed", str(base), "--fault-seed",
               str(self.args.seed * 1000 + self.runs), "--nak-rate", str(self.args.fault_rate),
               "--corrupt-rate", str(self.args.fault_rate), "--stats",
               os.path.join(self.work, f"stats-{self.runs}.txt"),
               "--dump", f"{BASE:x}:40000:{dump}"]
        if self.args.baud:
            cmd += ["--baud", str(self.args.baud), "--pace-host"]
        if os.path.exists(dump):
            cmd += ["--load", f"{dump}@{BASE:x}"]
        self.runs += 1
        self.proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        line = b""
        deadline = time.monotonic() + 10
        while not line.endswith(b"\n") and time.monotonic() < deadline:
            if select.select([self.proc.stdout], [], [], 1)[0]:
                line += os.read(self.proc.stdout.fileno(), 1)
        m = re.search(rb"serving on (\S+)", line)
        if not m:
            raise SystemExit(f"krvbsim did not start: {line!r}")
        # Renamed over the old name, so dravel never sees half a link.
        os.symlink(m[1].decode(), self.port + ".new")
        os.replace(self.port + ".new", self.port)

    def pull(self):
        """The adapter goes: its name first, then the line."""
        if os.path.lexists(self.port):
            os.remove(self.port)
        self.proc.send_signal(signal.SIGTERM)  # it writes its memory and counts on the way out
        self.proc.wait(timeout=10)
        self.ended = self.runs
        self.read_stats(self.runs - 1)

    def read_stats(self, run):
        try:
            for line in open(os.path.join(self.work, f"stats-{run}.txt")):
                key, value = line.split()
                self.stats[key] = self.stats.get(key, 0) + int(value)
        except OSError:
            pass

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.pull()


class Ser2netDevice(KrvbsimDevice):
    """The same loop through ser2net, restarted instead of krvbsim (--restart ser2net).

    krvbsim (the board) starts once and lives on; ser2net serves its pty on a loopback port
    with telnet(rfc2217), or as a raw TCP socket (--transport socket), and dravel connects by
    URL. A pull ends ser2net, and the return
    starts it again on the same port. The monitor goes on, so a stream in flight at a pull
    may be cut or lose its head on dravel's side; every other stream comes whole, in order.
    """

    def __init__(self, args, work):
        super().__init__(args, work)
        probe = socket.socket()
        probe.bind(("127.0.0.1", 0))
        self.tcp_port = probe.getsockname()[1]
        probe.close()
        self.ser2net = None
        self.pulled = []  # when ser2net was ended

    def dravel_device(self):
        return f"{self.args.transport}://127.0.0.1:{self.tcp_port}"

    def start(self):
        if self.proc is None:
            super().start()
        log = open(os.path.join(self.work, "ser2net.log"), "ab")
        self.ser2net = subprocess.Popen(
            [self.args.export, self.port, str(self.tcp_port), self.args.transport,
             os.path.join(self.work, "ser2net")], stdout=log, stderr=subprocess.STDOUT)
        log.close()
        # Listening, seen without connecting: a trial connection would be a client of its own.
        needle = re.compile(rf"^\s*\d+: 0100007F:{self.tcp_port:04X} 00000000:0000 0A ", re.M)
        deadline = time.monotonic() + 10
        while not needle.search(open("/proc/net/tcp").read()):
            if self.ser2net.poll() is not None or time.monotonic() > deadline:
                raise SystemExit(f"ser2net did not listen on {self.tcp_port} "
                                 f"(see {self.work}/ser2net.log)")
            time.sleep(0.01)

    def pull(self):
        """The network goes: ser2net ends, the board behind it does not."""
        self.pulled.append(time.monotonic())
        self.ser2net.send_signal(signal.SIGTERM)
        self.ser2net.wait(timeout=10)

    def stop(self):
        if self.ser2net and self.ser2net.poll() is None:
            self.pull()
        if self.proc and self.proc.poll() is None:
            super().pull()

    def pulls_since(self, started):
        # What the screen shows may have left the board up to a moment before it was read.
        return sum(1 for t in self.pulled if t >= started - 2.0)

    def may_cut(self, seed, started):
        return self.pulls_since(started) > 0

    def cut_run(self, seed):
        return None

    def may_skip(self, last, seed, started):
        # A stream whose head was on its way at a pull may be missing: one for each pull.
        return last < seed <= last + 1 + self.pulls_since(started)

    def fd_kind(self):
        return "socket:"


DEVICES = {"krvbsim": KrvbsimDevice, "ser2net": Ser2netDevice}


class Soak:
    def __init__(self, args):
        self.args = args
        self.work = os.path.abspath(args.work or tempfile.mkdtemp(prefix="dravel-soak-"))
        os.makedirs(self.work, exist_ok=True)
        self.failures = Failures()
        self.device = DEVICES[args.restart](args, self.work)
        self.pulls = []  # when each pull happened
        self.backs = []  # when each device came back
        self.stream_cache = {}
        self.samples = []  # (time, rss KiB, fds, threads)
        self.expected = {}
        self.sums = {}
        self.cycles = 0
        self.after_b = 0
        self.restarts = 0
        self.stops_seen = 0  # loop stops already answered by starting it again
        self.screen_bytes = 0
        self.log_offset = 0
        self.screen = StreamCheck("screen", self)
        self.log = StreamCheck("log", self)
        self.events = Counter([b"serial device lost", b"serial device back",
                               b"auto commands all stop", b"transfer stopped", b"unknown command",
                               b"not ready", b"incomplete", b"Can't", b"stopped: the serial"])
        self.log_sums = re.compile(rb"sum ([0-9a-f]{8}) ([0-9a-f]+) crc32 ([0-9a-f]{8})")
        self.log_tail = b""
        self.recent_screen = b""
        self.quitting = False

    def stream_text(self, seed, length):
        if (seed, length) not in self.stream_cache:
            if len(self.stream_cache) > 8:
                self.stream_cache.clear()
            self.stream_cache[(seed, length)] = seeded_stream(seed, length)
        return self.stream_cache[(seed, length)]

    def near_pull(self, t):
        return any(p - 2.0 <= t <= p + NEAR_PULL for p in self.pulls)

    # --- the files the loop uses -------------------------------------------------------
    def prepare(self):
        rng = random.Random(self.args.seed)
        # b.bin covers the program and the head of a.bin, so each load below changes what
        # its checksum then reads.
        a_at, b_at = 0x8002C000, BASE
        images = {"a.bin": (a_at, 0x6001), "b.bin": (b_at, 0x20000)}
        for name, (address, size) in images.items():
            data = rng.randbytes(size)
            open(os.path.join(self.work, name), "wb").write(data)
            self.expected[(address, size)] = zlib.crc32(data)
        self.b_key = (b_at, 0x20000)
        # Copied next to the script: short relative names serve Wine's paths too.
        for name in ("hello.mot", "hello.coff"):
            with open(os.path.join(self.args.fixtures, "loader", name), "rb") as f:
                open(os.path.join(self.work, name), "wb").write(f.read())
        mot, coff = "hello.mot", "hello.coff"
        start, program = srec_image(os.path.join(self.work, mot))
        if start != BASE:
            raise SystemExit(f"{mot} starts at {start:x}, not {BASE:x}")
        self.program_key = (BASE, len(program))
        self.expected[self.program_key] = zlib.crc32(program)
        p = len(program)
        # A local transfer must start with the monitor quiet: what it says while dravel waits
        # for "binary" is not shown. So each follows "local wait-prompt" after one target line,
        # or another local command. dsave and the COFF load leave the prompt flag set, so the
        # line after them is a dload (which clears it) or local.
        script = f"""local log dravel.log
local dload b.bin {b_at:x}
sum {b_at:x} 20000
local wait-prompt
local dsave b.out {b_at:x} 20000
{self.compare("b")}
local load {mot}
local dload a.bin {a_at:x}
sum {BASE:x} {p:x}
sum {a_at:x} 6001
stream {STREAM_LENGTH:x}
local wait-prompt
local dsave a.out {a_at:x} 6001
{self.compare("a")}
local dload b.bin {b_at:x}
sum {b_at:x} 20000
local wait-prompt
local load {coff}
local dload a.bin {a_at:x}
sum {BASE:x} {p:x}
sum {a_at:x} 6001
local wait-prompt
local auto-again
"""
        script = "\n".join(line for line in script.split("\n") if line != "#") + "\n"
        for line in script.splitlines():
            if len(line) > 250:
                raise SystemExit(f"script line too long (use a shorter path): {line}")
        open(os.path.join(self.work, "soak.scr"), "w").write(script)

    def compare(self, name):
        """The script's check of a dsave file; under Wine (no cmp) the end checks them."""
        if self.args.wine:
            return "#"
        return (f"local sh cmp -s {name}.out {name}.bin && echo same {name} >> cmp.txt"
                f" || echo DIFFER {name} >> cmp.txt")

    # --- dravel on a terminal of its own ----------------------------------------------
    def start_dravel(self):
        env = dict(os.environ, DRAVELHIS="dravel.his", TERM="xterm")
        env.pop("DRAVELPORT", None)
        argv = [self.args.dravel, "-d", self.device.dravel_device(), "soak.scr"]
        if self.args.wine:
            env.update(WINEPREFIX=self.args.wineprefix, WINEDEBUG="-all")
            env.pop("DISPLAY", None)
            argv.insert(0, self.args.wine)
        pid, fd = pty.fork()
        if pid == 0:
            os.chdir(self.work)
            os.execve(argv[0], argv, env)
        self.dravel_pid, self.dravel_fd = pid, fd
        if self.args.screen_file:
            self.screen_file = open(os.path.join(self.work, "screen.txt"), "wb", buffering=0)

    def type(self, data):
        os.write(self.dravel_fd, data)

    def read_screen(self, timeout):
        if not select.select([self.dravel_fd], [], [], timeout)[0]:
            return False
        try:
            data = os.read(self.dravel_fd, 65536)
        except OSError:
            data = b""
        if not data:
            if not self.quitting:
                self.failures.add("dravel's terminal closed", self.recent_screen)
            raise StopIteration
        self.last_screen = time.monotonic()
        self.screen_bytes += len(data)
        self.recent_screen = (self.recent_screen + data)[-600:]
        if self.args.screen_file:
            self.screen_file.write(data)
        clean = data.replace(b"\r", b"")
        if self.args.wine:
            # Wine's console redraws with cursor moves: its screen is not checked byte for byte.
            clean = CSI.sub(b"", clean)
        else:
            self.screen.feed(clean)
        self.events.feed(clean)
        return True

    def read_log(self):
        try:
            with open(os.path.join(self.work, "dravel.log"), "rb") as f:
                f.seek(self.log_offset)
                data = f.read()
        except OSError:
            return
        self.log_offset += len(data)
        self.log.feed(data)
        text = self.log_tail + data.replace(b"\r", b"")
        last = 0
        for m in self.log_sums.finditer(text):
            self.check_sum(int(m[1], 16), int(m[2], 16), int(m[3], 16))
            last = m.end()
        self.log_tail = text[max(last, len(text) - 80):]

    def check_sum(self, address, size, crc):
        key = (address, size)
        if self.expected.get(key) != crc:
            self.failures.add(f"memory {address:08x}+{size:x} crc32 {crc:08x}, want "
                              f"{self.expected.get(key, 0):08x}")
        self.sums[key] = self.sums.get(key, 0) + 1
        # A cycle: b, program (S-records), b, program (COFF).
        if key == self.b_key:
            self.after_b += 1
        elif key == self.program_key and self.after_b >= 2:
            self.after_b = 0
            self.cycles += 1

    def sample(self):
        base = f"/proc/{self.dravel_pid}"
        try:
            status = open(base + "/status").read()
            # Anonymous memory only: code and data pages of the binary and its libraries
            # come in (RssFile) as paths such as the first reconnect first run.
            rss = int(re.search(r"RssAnon:\s+(\d+)", status)[1])
            self.rss_file = int(re.search(r"RssFile:\s+(\d+)", status)[1])
            threads = int(re.search(r"Threads:\s+(\d+)", status)[1])
            # A Win32 handle to a file or device is an fd in the wineserver.
            fds = self.count_fds(f"/proc/{self.wineserver_pid()}" if self.args.wine else base)
            links = self.device_links(base)
        except (OSError, TypeError):
            return
        self.samples.append((time.monotonic(), rss, fds, threads, links))
        if self.args.samples_file:
            print(f"{time.monotonic() - self.started:.1f} {rss} {self.rss_file} {fds} {threads}",
                  file=self.samples_file, flush=True)

    def count_fds(self, proc):
        """Open fds, a file being transferred counted once: a transfer open at the moment is
        no leak, but the same file open twice is."""
        names = os.listdir(proc + "/fd")
        transferring = set()
        for name in names:
            try:
                target = os.readlink(f"{proc}/fd/{name}")
            except OSError:
                continue
            if os.path.dirname(target) == self.work and not target.endswith("dravel.log"):
                transferring.add(target)
        return len(names) - len(transferring)

    def device_links(self, proc):
        """How many of dravel's fds are of the device's kind (a socket for a network port)."""
        kind = self.device.fd_kind()
        if kind is None:
            return 0
        count = 0
        for name in os.listdir(proc + "/fd"):
            try:
                count += os.readlink(f"{proc}/fd/{name}").startswith(kind)
            except OSError:
                pass
        return count

    def wineserver_pid(self):
        for pid in os.listdir("/proc"):
            try:
                if pid.isdigit() and b"wineserver" in open(f"/proc/{pid}/cmdline", "rb").read():
                    env = open(f"/proc/{pid}/environ", "rb").read()
                    if self.args.wineprefix.encode() in env:
                        return pid
            except OSError:
                pass
        raise OSError("no wineserver")

    # --- the run ------------------------------------------------------------------------
    def pull_and_put_back(self):
        self.device.pull()
        self.pulls.append(time.monotonic())
        lost_before = self.events.counts[b"serial device lost"]  # the screen is not read yet
        stops_before = self.events.counts[b"auto commands all stop"]
        down_until = time.monotonic() + self.rng.uniform(0.5, 3.0)
        while time.monotonic() < down_until:
            self.read_screen(0.1)
        back_before = self.events.counts[b"serial device back"]
        self.device.start()
        returned = time.monotonic()
        self.backs.append(returned)
        while (self.events.counts[b"serial device back"] == back_before
               and time.monotonic() - returned < 10):
            self.read_screen(0.05)
        took = self.events.times[b"serial device back"][-1] - returned if (
            self.events.counts[b"serial device back"] > back_before) else None
        self.reconnect_times.append(took)
        if took is None or took > RECONNECT_LIMIT:
            self.failures.add(f"reconnect {took if took is None else round(took, 2)} s after "
                              f"the device's return", self.recent_screen)
        lost = self.events.counts[b"serial device lost"] - lost_before
        if lost != 1:
            self.failures.add(f"loss said {lost} times for one pull", self.recent_screen)
        # A loss that stopped a command stops the scripts; start the loop again.
        settle = time.monotonic() + 2
        while time.monotonic() < settle:
            self.read_screen(0.1)
        if self.events.counts[b"auto commands all stop"] > stops_before:
            self.restart_loop()
        self.stops_seen = self.events.counts[b"auto commands all stop"]

    def restart_loop(self):
        self.type(WINE_F3 if self.args.wine else F3)
        time.sleep(0.3)
        self.type(b"soak.scr\r")
        self.restarts += 1

    def run(self):
        args = self.args
        self.rng = random.Random(args.seed)
        self.reconnect_times = []
        self.prepare()
        if self.args.samples_file:
            self.samples_file = open(os.path.join(self.work, "samples.txt"), "w")
        self.device.start()
        self.start_dravel()
        start = self.last_screen = time.monotonic()
        self.started = start
        end = start + args.seconds
        next_pull = start + args.pull_every * self.rng.uniform(0.5, 1.5)
        next_sample = start
        next_report = start + args.report_every
        try:
            while time.monotonic() < end:
                self.read_screen(0.2)
                now = time.monotonic()
                if now >= next_sample:
                    self.read_log()
                    self.sample()
                    self.check_events()
                    next_sample = now + 1
                if now - self.last_screen > STALL_LIMIT:
                    self.failures.add(f"nothing on the screen for {STALL_LIMIT:.0f} s: a wait "
                                      "without end", self.recent_screen)
                    break
                if args.pull_every > 0 and now >= next_pull and end - now > 15:
                    self.pull_and_put_back()
                    next_pull = time.monotonic() + args.pull_every * self.rng.uniform(0.5, 1.5)
                if now >= next_report:
                    self.report("report")
                    next_report = now + args.report_every
            self.finish()
        except StopIteration:
            pass
        finally:
            self.device.stop()
            if self.dravel_pid is not None:
                os.kill(self.dravel_pid, signal.SIGKILL)
                os.waitpid(self.dravel_pid, 0)
        self.read_log()
        self.check_events()
        self.check_files()
        self.check_resources()
        self.report("final")
        return 0 if not self.failures.items else 1

    def finish(self):
        """Quits between streams, with everything drained, and expects a clean exit."""
        wait_until = time.monotonic() + 20
        while self.screen.expect is not None and time.monotonic() < wait_until:
            self.read_screen(0.1)
        self.quitting = True
        self.type(F10 + (WINE_F2 if self.args.wine else F2))
        deadline = time.monotonic() + 30
        status = None
        while status is None and time.monotonic() < deadline:
            try:
                self.read_screen(0.1)
            except StopIteration:
                time.sleep(0.1)
            pid, code = os.waitpid(self.dravel_pid, os.WNOHANG)
            if pid:
                status = os.waitstatus_to_exitcode(code)
                self.dravel_pid = None
        if status is None:
            self.failures.add("dravel did not quit on F10 F2", self.recent_screen)
        elif status != 0:
            self.failures.add(f"dravel quit with status {status}", self.recent_screen)

    def check_events(self):
        c = self.events
        for needle in (b"transfer stopped", b"not ready", b"Can't"):
            if c.counts[needle] > getattr(self, "_seen_" + needle.decode(), 0):
                setattr(self, "_seen_" + needle.decode(), c.counts[needle])
                self.failures.add(f"dravel said {needle.decode()!r}", self.recent_screen)
        # These follow a pull, and only a pull.
        for needle in (b"auto commands all stop", b"unknown command", b"incomplete",
                       b"stopped: the serial"):
            for t in c.times[needle][getattr(self, "_done_" + needle.decode(), 0):]:
                if not self.near_pull(t):
                    self.failures.add(f"{needle.decode()!r} with no pull near it", self.recent_screen)
            setattr(self, "_done_" + needle.decode(), len(c.times[needle]))
        # A stopped loop starts again (the rest of the run still counts for memory and fds).
        if c.counts[b"auto commands all stop"] > self.stops_seen:
            self.stops_seen = c.counts[b"auto commands all stop"]
            self.restart_loop()

    def check_files(self):
        try:
            lines = open(os.path.join(self.work, "cmp.txt")).read().split("\n")
        except OSError:
            lines = []
        if self.args.wine:
            for name in ("a", "b"):
                try:
                    same = open(os.path.join(self.work, f"{name}.out"), "rb").read() == open(
                        os.path.join(self.work, f"{name}.bin"), "rb").read()
                except OSError:
                    continue
                lines.append(f"same {name}" if same else f"DIFFER {name}")
        self.dsaves = sum(1 for line in lines if line.startswith("same"))
        for line in lines:
            if line.startswith("DIFFER"):
                self.failures.add(f"dsave file differs from its image ({line})")
        if self.dsaves == 0:
            self.failures.add("no dsave was checked")
        if self.cycles == 0:
            self.failures.add("no cycle completed")
        c = self.events.counts
        if c[b"serial device lost"] != len(self.pulls) or c[b"serial device back"] != len(self.pulls):
            self.failures.add(f"{len(self.pulls)} pulls, {c[b'serial device lost']} losses said, "
                              f"{c[b'serial device back']} returns said")
        if self.log.complete == 0 or (self.screen.complete == 0 and not self.args.wine):
            self.failures.add("no stream checked")

    def warm(self):
        return self.started + min(self.args.warmup, self.args.seconds / 4)

    def check_resources(self):
        # The device's fd is closed while it is away: samples near a pull do not count.
        steady = [s for s in self.samples
                  if s[0] > self.started + 10 and not self.near_pull(s[0])]
        before = [s for s in steady if s[0] <= self.warm()]
        after = [s for s in steady if s[0] > self.warm()]
        if not before or not after:
            self.failures.add("too few resource samples")
            return
        growth = max(s[1] for s in after) - max(s[1] for s in before)
        self.rss_growth = growth
        if growth * 1024 > self.args.rss_limit:
            self.failures.add(f"RSS grew {growth} KiB after the warm-up")
        # A leak raises the floor: the fewest fds and threads seen late must match early.
        tail = [s for s in after if s[0] >= min(after[-1][0] - 60, after[len(after) * 3 // 4][0])]
        kind = self.device.fd_kind()
        if kind and any(s[4] != 1 for s in steady):
            self.failures.add(f"the device's {kind} fds away from pulls: "
                              f"{sorted(set(s[4] for s in steady))}, want 1")
        for index, what in ((2, "fds"), (3, "threads")):
            if min(s[index] for s in tail) > min(s[index] for s in before):
                self.failures.add(f"{what} grew: {min(s[index] for s in before)} early, "
                                  f"{min(s[index] for s in tail)} at the end")

    def slope(self):
        """RSS growth after the warm-up, least squares, in KiB per hour."""
        pts = [(s[0], s[1]) for s in self.samples if s[0] > self.warm()]
        if len(pts) < 2:
            return 0.0
        mt = sum(p[0] for p in pts) / len(pts)
        mr = sum(p[1] for p in pts) / len(pts)
        den = sum((p[0] - mt) ** 2 for p in pts)
        return 0.0 if den == 0 else sum((p[0] - mt) * (p[1] - mr) for p in pts) / den * 3600

    def report(self, kind):
        elapsed = time.monotonic() - self.started
        self.read_log()
        st = self.device.stats
        moved = (st.get("host_packets", 0) + st.get("sent_packets", 0)) * 2048 + self.log.bytes
        rss = [s[1] for s in self.samples] or [0]
        fds = [s[2] for s in self.samples] or [0]
        threads = [s[3] for s in self.samples] or [0]
        transfers = sum(self.sums.values())
        print(f"--- soak {kind} at {elapsed / 60:.1f} min ({self.work})\n"
              f"cycles {self.cycles} ({self.cycles * 3600 / max(elapsed, 1):.0f}/hour), "
              f"restarts of the loop {self.restarts}\n"
              f"streams checked: screen {self.screen.complete} ({self.screen.bytes} bytes), "
              f"log {self.log.complete} ({self.log.bytes} bytes); cut by pulls: screen "
              f"{self.screen.cut}, log {self.log.cut}; screen bytes {self.screen_bytes}\n"
              f"loads checked by checksum {transfers}, packets (ended monitors only) host "
              f"{st.get('host_packets', 0)} sent {st.get('sent_packets', 0)} spoilt and resent "
              f"{st.get('faulted_packets', 0)}, moved {moved / 2**20:.1f} MiB\n"
              f"pulls {len(self.pulls)}, reconnects "
              f"{[round(t, 2) if t is not None else None for t in self.reconnect_times]}\n"
              f"RSS KiB first {rss[0]} min {min(rss)} max {max(rss)} last {rss[-1]}, slope after "
              f"warm-up {self.slope():.1f} KiB/h; fds {min(fds)}..{max(fds)} last {fds[-1]}; "
              f"threads {min(threads)}..{max(threads)}"
              + (f"; {self.device.fd_kind()} fds {sorted(set(s[4] for s in self.samples))}"
                 if self.device.fd_kind() else "") + "\n"
              f"failures {len(self.failures.items)}"
              + (f", first: {self.failures.items[0]}" if self.failures.items else ""),
              flush=True)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--build", default=os.path.join(here, "../../build/release"))
    p.add_argument("--seconds", type=float,
                   default=float(os.environ.get("SOAK_SECONDS", 3600)))
    p.add_argument("--pull-every", type=float, default=180, help="mean seconds between pulls")
    p.add_argument("--report-every", type=float, default=600)
    p.add_argument("--warmup", type=float, default=300, help="seconds before RSS must be flat")
    p.add_argument("--rss-limit", type=int, default=64 * 1024, help="bytes of growth allowed")
    p.add_argument("--fault-rate", type=int, default=50, help="spoilt packets per 1000")
    p.add_argument("--baud", type=int, default=921600,
                   help="the line's pace both ways (0: as fast as the pty goes)")
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--screen-file", action="store_true", help="keep the screen in screen.txt")
    p.add_argument("--samples-file", action="store_true",
                   help="keep time, RssAnon, RssFile (KiB), fds, threads in samples.txt")
    p.add_argument("--work", help="directory for the run's files (default: a new temporary one)")
    p.add_argument("--transport", default="pty", choices=["pty", "rfc2217", "socket"],
                   help="how dravel reaches the device (rfc2217 and socket go with --restart "
                   "ser2net)")
    p.add_argument("--restart", default="krvbsim", choices=sorted(DEVICES),
                   help="what is ended and started again for a pull")
    p.add_argument("--fixtures", default=os.path.join(here, "../fixtures"))
    p.add_argument("--wine", help="run dravel.exe (--dravel) under this wine, on COM5")
    p.add_argument("--wineprefix", help="the Wine prefix whose dosdevices/com5 is linked")
    p.add_argument("--dravel", help="the dravel to run (default: in --build)")
    args = p.parse_args()
    if (args.transport != "pty") != (args.restart == "ser2net"):
        p.error("--transport rfc2217 or socket and --restart ser2net go together")
    args.dravel = os.path.abspath(args.dravel or os.path.join(args.build, "dravel"))
    if args.wine and not args.wineprefix:
        p.error("--wine needs --wineprefix")
    if args.wineprefix:
        args.wineprefix = os.path.abspath(args.wineprefix)
    args.krvbsim = os.path.abspath(os.path.join(args.build, "krvbsim"))
    args.export = os.path.join(here, "../../tools/ser2net/export.sh")
    args.fixtures = os.path.abspath(args.fixtures)
    soak = Soak(args)
    status = soak.run()
    # A temporary work directory stays only when there is something to look at.
    if status == 0 and not args.work:
        shutil.rmtree(soak.work, ignore_errors=True)
    sys.exit(status)


if __name__ == "__main__":
    main()
