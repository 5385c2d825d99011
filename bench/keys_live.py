#!/usr/bin/env python3
"""Keys while the line holds dravel's write: ESC during a dload, F3 during a script, at 9600.

krvbsim --baud 9600 --pace-host reads its pty at the line's pace. A pty holds about 16-20 KiB
and krvbsim 4 KiB more, so a 2 KiB packet alone never fills it; the bench fills it itself
(NULs written into the same pty, which the monitor skips between frames) once dravel is
under way: 17-25 s of backlog at 9600 stand between dravel and the board. Then it types the
key and times, from the key's arrival on dravel's console, until dravel has ended (ESC) or
says "auto commands all stop" (F3). The protocols are stop-and-wait, so by then dravel is
mostly waiting for the board's answer behind the backlog rather than inside a write; the
held write itself is shown in-process (tests/link/held_writes_test.cpp) and on a pty that
takes no more (tests/platform/tty_serial_test.cpp).

The third measure holds the write for real: dravel dloads over socket:// to a board on
loopback that answers "binary" and every packet in advance and then reads nothing, so the TCP
window shuts and a packet waits in dravel's write; ESC is typed once the bytes waiting for the
board stop growing, and timed until dravel has ended.

    python3 bench/keys_live.py [--build build/release] [--rounds 5] [--baud 9600]
                               [--kinds esc,f3,net]
"""
import argparse
import fcntl
import os
import re
import shutil
import signal
import socket
import struct
import termios
import threading
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench import Program, wait_all  # noqa: E402

RAM = 0x80100000
ESC = b"\x1b"
F3 = b"\x1bOR"
GOAL_S = 0.2


def start_sim(build, baud):
    sim = subprocess.Popen([os.path.join(build, "krvbsim"), "--baud", str(baud), "--pace-host"],
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, stdin=subprocess.DEVNULL)
    first = sim.stdout.readline().decode()
    m = re.search(r"serving on (\S+)", first)
    if not m:
        sim.kill()
        sim.wait()
        raise RuntimeError(f"krvbsim did not serve: {first!r}")
    return sim, m.group(1)


def fill(fd):
    """Writes NULs into the pty until it takes no more: the line holds what comes next."""
    total = 0
    block = b"\0" * 1024
    while True:
        try:
            total += os.write(fd, block)
        except BlockingIOError:
            return total


class StalledBoard:
    """A board behind a raw TCP port that answers a dload blindly, then stops reading."""

    def __init__(self):
        self.listener = socket.socket()
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(1)
        self.port = self.listener.getsockname()[1]
        self.peer = None
        self.answered = threading.Event()
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def serve(self):
        self.listener.settimeout(30)
        try:
            self.peer, _ = self.listener.accept()
            self.peer.settimeout(30)
            seen = b""
            while b"bwr\r" not in seen:
                data = self.peer.recv(256)
                if not data:
                    return
                seen += data
            self.peer.sendall(b"binary\r" + b"Y" * 8192)
            self.answered.set()
        except OSError:
            pass

    def stalled(self, timeout):
        """True once the bytes waiting for the board stop growing: dravel's next packet is held."""
        if not self.answered.wait(timeout):
            return False
        before = -1
        until = time.monotonic() + timeout
        while time.monotonic() < until:
            time.sleep(0.3)
            now = struct.unpack("i", fcntl.ioctl(self.peer.fileno(), termios.FIONREAD,
                                                 b"\0\0\0\0"))[0]
            if now == before:
                return True
            before = now
        return False

    def close(self):
        if self.peer is not None:
            self.peer.close()
        self.listener.close()
        self.thread.join(5)


def one_net_round(build, work):
    """ESC during a dload held by a server that stopped reading: seconds until dravel ended."""
    d = tempfile.mkdtemp(dir=work)
    board = StalledBoard()
    p = None
    try:
        data = os.path.join(d, "in.bin")
        with open(data, "wb") as out:
            out.write(b"d" * (16 << 20))
        with open(os.path.join(d, "run.scr"), "w") as out:
            out.write(f"local dload {data} {RAM:x}\n")
        p = Program([os.path.join(build, "dravel"), "-d", f"socket://127.0.0.1:{board.port}",
                     os.path.join(d, "run.scr")], {"DRAVELHIS": os.path.join(d, "his")})
        if not board.stalled(30):
            return f"never held: {p.screen[-200:]!r}"
        p.drain(0.2)
        p.screen = b""
        t0 = time.monotonic()
        os.write(p.console, ESC)
        while not p.poll_exit():
            p.drain(0.002)
            if time.monotonic() - t0 > 60:
                return "did not end"
        took = time.monotonic() - t0
        if b"Terminate by user!" not in p.screen or b"no longer drains" in p.screen:
            return f"ended otherwise: {p.screen[-200:]!r}"
        return took, 0
    finally:
        if p is not None:
            p.stop()
        board.close()
        shutil.rmtree(d, ignore_errors=True)


def one_round(build, work, baud, kind):
    """Seconds from the key to its effect, or an error text."""
    d = tempfile.mkdtemp(dir=work)
    sim, device = start_sim(build, baud)
    filler = os.open(device, os.O_RDWR | os.O_NONBLOCK | os.O_NOCTTY)
    p = None
    try:
        if kind == "esc":
            data = os.path.join(d, "in.bin")
            with open(data, "wb") as out:
                out.write(os.urandom(256 * 1024))
            script, started, key = f"local dload {data} {RAM:x}\n", b"dload [", ESC
        else:
            script, started, key = "dm 80000000 10\nlocal auto-again\n", b"80000000", F3
        with open(os.path.join(d, "run.scr"), "w") as out:
            out.write(script)
        time.sleep(0.2)  # the banner crosses first
        p = Program([os.path.join(build, "dravel"), "-d", device, os.path.join(d, "run.scr")],
                    {"DRAVELHIS": os.path.join(d, "his")})
        if not p.read_until(started, 30):
            return f"never started: {p.screen[-200:]!r}"
        p.drain(1.0)
        held = fill(filler)
        p.drain(3.0)  # the packet or line under way meets the full line
        p.screen = b""
        t0 = time.monotonic()
        os.write(p.console, key)
        if kind == "esc":
            while not p.poll_exit():
                p.drain(0.002)
                if time.monotonic() - t0 > 60:
                    return "did not end"
            took = time.monotonic() - t0
            if b"Terminate by user!" not in p.screen:
                return f"ended otherwise: {p.screen[-200:]!r}"
        else:
            if not p.read_until(b"auto commands all stop", 60):
                return f"did not stop: {p.screen[-200:]!r}"
            took = time.monotonic() - t0
        return took, held
    finally:
        if p is not None:
            p.stop()
        os.close(filler)
        sim.send_signal(signal.SIGTERM)
        try:
            sim.wait(10)
        except subprocess.TimeoutExpired:
            sim.kill()
            sim.wait()
        shutil.rmtree(d, ignore_errors=True)


def measure(build, rounds, baud, report, kinds=("esc", "f3", "net")):
    """Adds rows (what, median s, max s, note) and targets (what, value, met) to `report`."""
    work = tempfile.mkdtemp(prefix="dravel-keys-")
    try:
        for kind, what in (("esc", "ESC during a dload ends dravel"),
                           ("f3", "F3 during a script stops it"),
                           ("net", "ESC during a dload ends dravel")):
            if kind not in kinds:
                continue
            times, errors, held = [], [], 0
            for _ in range(rounds):
                r = one_net_round(build, work) if kind == "net" else one_round(build, work, baud,
                                                                               kind)
                if isinstance(r, str):
                    errors.append(r)
                else:
                    times.append(r[0])
                    held = r[1]
            label = f"{what}, {baud} paced, line full"
            if kind == "net":
                label = f"{what}, socket:// server stopped reading"
            if not times:
                report.append((label, None, None, "; ".join(errors)))
                continue
            note = f"{len(times)} rounds, " + (
                "a packet held in the write" if kind == "net" else f"{held} bytes held in the pty")
            if errors:
                note += f"; {len(errors)} failed: {errors[0]}"
            report.append((label, statistics.median(times), max(times), note))
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    here = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--build", default=os.path.join(here, "build", "release"))
    ap.add_argument("--rounds", type=int, default=5)
    ap.add_argument("--baud", type=int, default=9600)
    ap.add_argument("--kinds", default="esc,f3,net", help="which measures: esc, f3, net")
    args = ap.parse_args()
    report = []
    measure(args.build, args.rounds, args.baud, report, args.kinds.split(","))
    ok = True
    print(f"| measure | median s | max s | target | note |\n|---|---|---|---|---|")
    for label, med, worst, note in report:
        met = worst is not None and worst <= GOAL_S
        ok = ok and met
        cells = (f"{med:.3f}", f"{worst:.3f}") if med is not None else ("-", "-")
        print(f"| {label} | {cells[0]} | {cells[1]} | <= {GOAL_S} s: "
              f"{'met' if met else 'NOT MET'} | {note} |")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
