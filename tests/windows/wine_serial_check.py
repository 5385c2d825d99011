#!/usr/bin/env python3
"""dravel.exe under Wine against krvbsim, through Wine's own COM port and through ser2net.

Wine maps COM5 to krvbsim's pty by a link in its dosdevices folder, so the Win32 serial code
(CreateFileA, SetCommState, reads that return at once, WriteFile) is what carries the bytes.
Checks that the banner shows, that a typed line reaches the monitor, that the shell escape runs
cmd.exe, that a dload lands in the monitor's memory, and that --list shows the COM ports Wine
registers; then --batch runs with no console (standard input from NUL, output to a file)
load, run and judge a program by its exit status, send a BREAK on the port, and a board
named in %APPDATA% opens its COM port with --junit writing its report. Then the same monitor
exported by a real ser2net on loopback, reached by rfc2217:// through Winsock: banner, a
command, a dload.
Every wait has a deadline; every process started here is ended here.
"""
import argparse
import contextlib
import os
import pty
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

WAIT_S = 60
# Wine's console on a terminal knows F1-F4 only in their SS3 form.
F2, F4, F9, F10 = b"\x1bOQ", b"\x1bOS", b"\x1b[20~", b"\x1b[21~"
CSI = re.compile(rb"\x1b\[([0-9;?]*)([A-Za-z@])")


def plain(screen: bytes) -> str:
    """Wine redraws the console with cursor moves; keep the text, moves right as spaces."""

    def one(m):
        if m.group(2) == b"C":
            return b" " * int(m.group(1) or b"1")
        return b""

    return CSI.sub(one, screen).replace(b"\r", b"").decode("latin-1")


class Console:
    """dravel.exe on a pty, as a user's terminal."""

    def __init__(self, argv, env, cwd):
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            os.chdir(cwd)
            os.execvpe(argv[0], argv, env)
        self.screen = b""
        self.status = None

    def read(self, seconds):
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            ready, _, _ = select.select([self.fd], [], [], max(0.0, min(0.2, end - time.monotonic())))
            if not ready:
                continue
            try:
                data = os.read(self.fd, 65536)
            except OSError:
                return
            if not data:
                return
            self.screen += data

    def wait_for(self, text, what):
        end = time.monotonic() + WAIT_S
        while time.monotonic() < end:
            if text.lower() in plain(self.screen).lower():
                return
            self.read(0.2)
            if self.exited():
                self.read(0.5)
                if text.lower() in plain(self.screen).lower():
                    return
                break
        raise AssertionError(f"{what}: {text!r} did not show; the screen was:\n{plain(self.screen)}")

    def type(self, data):
        os.write(self.fd, data)

    def exited(self):
        if self.status is None:
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid == self.pid:
                self.status = os.waitstatus_to_exitcode(status)
        return self.status is not None

    def wait_exit(self):
        end = time.monotonic() + WAIT_S
        while time.monotonic() < end and not self.exited():
            self.read(0.2)
        return self.status

    def stop(self):
        if not self.exited():
            os.kill(self.pid, signal.SIGKILL)
            os.waitpid(self.pid, 0)
        os.close(self.fd)


def wine_run(argv, env, cwd=None, timeout=WAIT_S):
    """Runs a Wine program to its end: its status and what it printed. The output goes to a
    file and the wait is for the program itself: a wineserver and the Wine services a call
    starts inherit its standard output, so the end of a pipe would wait on them as well. A
    program still running at `timeout` is killed, and what it printed is in the failure."""
    with tempfile.TemporaryFile() as out:
        proc = subprocess.Popen(argv, env=env, cwd=cwd, stdin=subprocess.DEVNULL, stdout=out,
                                stderr=subprocess.STDOUT)
        try:
            status = proc.wait(timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
            out.seek(0)
            raise AssertionError(f"{' '.join(argv)} did not end within {timeout} s; it printed:\n"
                                 + out.read().decode("latin-1"))
        out.seek(0)
        return status, out.read().decode("latin-1")


def batch(args, env, work, *argv):
    """dravel.exe --batch with `argv` in `work`: its status and what it printed. Unless `argv`
    sets its own, a run limit ends a hang before the check's wait does, with what it printed."""
    limit = () if "--timeout" in argv else ("--timeout", str(WAIT_S))
    return wine_run([args.wine, args.dravel, "--batch", *limit, *argv], env, work, WAIT_S * 2)


def image(n, seed):
    out = bytearray(n)
    x = seed
    for i in range(n):
        x = (x * 1103515245 + 12345) & 0xFFFFFFFF
        out[i] = (x >> 16) & 0xFF
    return bytes(out)


def start_krvbsim(krvbsim, options):
    sim = subprocess.Popen([krvbsim] + options, stdout=subprocess.PIPE, stdin=subprocess.DEVNULL)
    end = time.monotonic() + WAIT_S
    line = b""
    while time.monotonic() < end and not line.endswith(b"\n"):
        ready, _, _ = select.select([sim.stdout], [], [], 0.2)
        if ready:
            byte = os.read(sim.stdout.fileno(), 1)
            if not byte:
                break
            line += byte
    m = re.match(rb"krvbsim: serving on (\S+)", line)
    if not m:
        sim.kill()
        sim.wait()
        raise AssertionError(f"krvbsim did not say where it serves: {line!r}")
    return sim, m.group(1).decode()


def dload_then_esc(console, progress):
    """F9 F4 loads image.bin, then ESC (Ctrl-C to the monitor) ends dravel.exe; its status."""
    console.type(F9 + F4)
    console.wait_for("Dload", "dload prompt")
    console.type(b"image.bin 80010000\r")
    console.wait_for(progress, "dload progress")
    console.type(b"\r")
    console.wait_for(">>", "monitor prompt after the dload")
    console.type(b"\x1b")
    console.wait_for("Terminate by user!", "end by ESC")
    return console.wait_exit()


def free_port():
    import socket
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def listening(port):
    want = f":{port:04X} "
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        try:
            with open(table) as f:
                if any(want in line and " 0A " in line for line in f):
                    return True
        except OSError:
            pass
    return False


def end(proc):
    if proc.poll() is None:
        proc.send_signal(signal.SIGTERM)
    try:
        proc.wait(timeout=WAIT_S)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


def start_rfc2217(args, pty_path, port, work):
    """A real ser2net exporting the pty as RFC 2217 on `port`, listening when this returns."""
    proc = subprocess.Popen([args.ser2net_export, pty_path, str(port), "rfc2217", work],
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    end_at = time.monotonic() + WAIT_S
    while not listening(port) and time.monotonic() < end_at:
        time.sleep(0.05)
    return proc


def run_network(args):
    env = dict(os.environ, WINEPREFIX=args.wineprefix, WINEDEBUG="-all", TERM="xterm")
    env.pop("DISPLAY", None)
    with tempfile.TemporaryDirectory(prefix="dravel-wine-net-") as work:
        data = image(0x2001, 9)
        with open(os.path.join(work, "image.bin"), "wb") as f:
            f.write(data)
        sim, pty_path = start_krvbsim(
            args.krvbsim,
            ["--dump", f"80010000:{len(data):x}:{work}/memory", "--regs", f"{work}/regs"])
        port = free_port()

        def start_ser2net():
            return start_rfc2217(args, pty_path, port, work)

        ser2net = start_ser2net()
        url = f"rfc2217://127.0.0.1:{port}"
        console = None
        try:
            env["DRAVELHIS"] = "dravel.his"
            console = Console([args.wine, args.dravel, "-B115200", "-d", url], env, work)
            console.wait_for(f"PORT = {url}", "the port line")
            console.wait_for(">>", "monitor prompt through ser2net")
            if "cannot open" in plain(console.screen) or "warning" in plain(console.screen):
                raise AssertionError(f"{url} did not open cleanly:\n" + plain(console.screen))
            console.type(b"sr gp 80001234\r")
            console.wait_for("sr gp 80001234", "echo of the typed line through ser2net")
            # The server goes away and comes back: a lost device, then the same link again.
            end(ser2net)
            console.wait_for("serial device lost", "the loss of the server")
            ser2net = start_ser2net()
            console.wait_for(f"serial device back: {url}", "the server back")
            dload_then_esc(console, "002001:")
        finally:
            if console is not None:
                console.stop()
            end(ser2net)
            end(sim)
        with open(os.path.join(work, "regs")) as f:
            if not re.search(r"^gp 0*80001234$", f.read(), re.M):
                raise AssertionError("the typed line did not reach the monitor through ser2net")
        with open(os.path.join(work, "memory"), "rb") as f:
            if f.read() != data:
                raise AssertionError("dload through ser2net did not land whole")
        print("wine: rfc2217 through ser2net: banner, a command, the server lost and back, "
              "and a dload")


def wineserver(wine):
    beside = os.path.join(os.path.dirname(wine), "wineserver")
    return beside if os.access(beside, os.X_OK) else shutil.which("wineserver")


def check_list(args, env):
    """dravel.exe --list shows the COM ports Wine's registry holds. Wine registers the ports
    named under HKLM\\Software\\Wine\\Ports when its device manager starts, so the server is
    restarted around the change."""
    wine, ports = args.wine, r"HKLM\Software\Wine\Ports"
    master, slave = pty.openpty()
    try:
        status, out = wine_run([wine, "reg", "add", ports, "/v", "COM7", "/d", os.ttyname(slave),
                                "/f"], env)
        if status != 0:
            raise AssertionError(f"reg add ended with {status}:\n{out}")
        subprocess.run([wineserver(wine), "-k"], env=env, timeout=WAIT_S)
        status, listed = wine_run([wine, args.dravel, "--list"], env)
        listed = listed.replace("\r", "")
        if status != 0 or not re.search(r"^COM7 \(\\Device\\Serial\d+\)$", listed, re.M):
            raise AssertionError(f"--list ended with {status} and printed:\n{listed}")
    finally:
        wine_run([wine, "reg", "delete", ports, "/v", "COM7", "/f"], env)
        subprocess.run([wineserver(wine), "-k"], env=env, timeout=WAIT_S)
        link = os.path.join(args.wineprefix, "dosdevices", "com7")
        if os.path.lexists(link):
            os.unlink(link)
        os.close(master)
        os.close(slave)
    print("wine: --list shows the COM port in Wine's registry")


def stop_krvbsim(sim, link):
    end(sim)
    if os.path.lexists(link):
        os.unlink(link)


def batch_run(args, env, work, script, want_status, want_text, options=(), port=("-d", "COM5")):
    """dravel.exe --batch on COM5 (or what `port` chooses) with no console: NUL for input, a
    file for output. A run that hangs ends by --timeout, with what it printed."""
    sim, pty_path = start_krvbsim(args.krvbsim, ["--go-text", "\\r\\nhello: PASS\\r\\n"])
    link = os.path.join(args.wineprefix, "dosdevices", "com5")
    if os.path.lexists(link):
        os.unlink(link)
    os.symlink(pty_path, link)
    with open(os.path.join(work, "test.scr"), "w") as f:
        f.write(script)
    try:
        status, out = batch(args, env, work, *options, *port, "test.scr")
    finally:
        stop_krvbsim(sim, link)
    if status != want_status or want_text not in out:
        raise AssertionError(f"batch run ended with {status}, not {want_status}, or "
                             f"{want_text!r} did not show:\n{out}")
    if "\x1b[" in out:
        raise AssertionError("colour sequences in a batch run's output file:\n" + repr(out))
    return out


# Batch runs on COM5: the script, the status and a text it must show, what passing means.
BATCH_CHECKS = (
    ("local load hello.mot\ngo\nlocal expect hello: PASS\nlocal exit 0\n", 0,
     "loaded 292 bytes, 0 errors", "--batch loaded, ran and matched the program's pass line"),
    ("go\nlocal expect -t 1 hello: FAIL\n", 3, 'expect: "hello: FAIL" not seen within 1 s',
     "--batch ended on a text that never came"),
    # Wine sends BREAK as TIOCSBRK, which the pty takes, and the overlapped writes of the dload
    # go on after it. (A target line would wait for a prompt of its own: the banner's comes
    # during the BREAK.)
    ("local break\nlocal break 50\nlocal dload break.bin 80010000\nlocal exit 0\n", 0,
     "size:001000", "local break on COM5, then a dload through it"),
    # Wine moves DTR by TIOCMGET/TIOCMSET, which a bare pty refuses: one message in Windows'
    # words.
    ("local dtr pulse 100\nlocal echo not reached\n", 1, "cannot set DTR off: ",
     "local dtr on a COM5 with no modem lines (a pty): one message"),
)


def run_batch_checks(args, env, work):
    shutil.copy(args.fixture, os.path.join(work, "hello.mot"))
    with open(os.path.join(work, "break.bin"), "wb") as f:
        f.write(bytes(range(256)) * 16)
    for script, status, text, meaning in BATCH_CHECKS:
        batch_run(args, env, work, script, status, text)
        print(f"wine: {meaning}, status {status}")
    # ping waits a second between its 60 echoes: a shell command that would outlast the run.
    started = time.monotonic()
    batch_run(args, env, work, "local dos ping -n 60 127.0.0.1\nlocal exit 5\n", 124,
              "the run took longer than 3 s", ("--timeout", "3"))
    if time.monotonic() - started > 30:
        raise AssertionError("--timeout did not end the shell command in time")
    print("wine: --timeout ended a batch run inside a shell command, status 124")
    run_named_board(args, env, work)
    run_reset_over_rfc2217(args, env, work)


def windows_path_of(args, env, variable):
    """Where %variable% leads under this Wine prefix, as a Unix path."""
    status, path = wine_run([args.wine, "cmd", "/c", f"echo %{variable}%"], env)
    if status == 0:
        status, path = wine_run([args.wine, "winepath", "-u", path.strip()], env)
    if status != 0:
        raise AssertionError(f"%{variable}% not found under Wine: {path}")
    return path.strip()


@contextlib.contextmanager
def board_file(args, env, text):
    """%APPDATA%\\dravel\\boards.conf holding `text` (CRLF lines, as Notepad writes them) while
    the block runs."""
    conf = os.path.join(windows_path_of(args, env, "APPDATA"), "dravel", "boards.conf")
    os.makedirs(os.path.dirname(conf), exist_ok=True)
    with open(conf, "w", newline="\r\n") as f:
        f.write(text)
    try:
        yield
    finally:
        os.unlink(conf)


def check_report(path, case):
    """The JUnit report at `path` names `case` and has no failure."""
    with open(path) as f:
        report = f.read()
    if f'name="{case}"' not in report or "<failure" in report:
        raise AssertionError("the JUnit report is not the passed run's:\n" + report)


def run_named_board(args, env, work):
    """A board named in %APPDATA%\\dravel\\boards.conf (CRLF lines, as Notepad writes them)
    opens its COM port at its rate; its script, run before the command line's, resets the
    board by DTR, moves RTS and sends a BREAK; the command line's expects the banner. The pty
    under COM5 gets its modem lines from the preloaded shim (--modem-shim), which logs them."""
    with open(os.path.join(work, "board.scr"), "w") as f:
        f.write("local echo board script ran\nlocal dtr pulse 100\nlocal rts off\nlocal rts on\n"
                "local break 50\n")
    lines_log = os.path.join(work, "modem.log")
    shimmed = dict(env, LD_PRELOAD=args.modem_shim, PTY_MODEM_LOG=lines_log)
    with board_file(args, env, "# the board on Wine's COM5\n[wine5]\ndevice = COM5\n"
                    "baud = 115200\nscript = board.scr\n"):
        shown = batch_run(args, shimmed, work, "local expect KRVB7100\nlocal exit 0\n", 0,
                          "PORT = COM5", ("--junit", "report.xml"), ("-b", "wine5"))
        _, out = wine_run([args.wine, args.dravel, "--list"], env)
    if "BAUDRATE = 115200" not in shown or "board script ran" not in shown:
        raise AssertionError("the board's rate or script was not taken:\n" + shown)
    if "wine5" not in out or "COM5" not in out:
        raise AssertionError("--list did not show the named board:\n" + out)
    check_report(os.path.join(work, "report.xml"), "KRVB7100")
    # What the port's lines went through: DTR down for the pulse, then RTS down and up.
    with open(lines_log) as f:
        steps = [line.split() for line in f]
    states = [" ".join(step[1:]) for step in steps]
    if states != ["DTR=0 RTS=1", "DTR=1 RTS=1", "DTR=1 RTS=0", "DTR=1 RTS=1"]:
        raise AssertionError(f"the modem lines went {states}")
    held = int(steps[1][0]) - int(steps[0][0])
    if held < 100:
        raise AssertionError(f"DTR came back after {held} ms of a 100 ms pulse")
    print(f"wine: -b wine5 from %APPDATA% opened COM5, pulsed DTR ({held} ms), moved RTS, sent a "
          "BREAK, saw the banner and wrote a passing JUnit report")


def run_reset_over_rfc2217(args, env, work):
    """A CI job for a board that resets on DTR, under Wine: a named board on rfc2217:// (a real
    ser2net; the pty behind Wine's COM port has no modem lines) pulses DTR, sends a BREAK,
    expects the banner and writes a passing JUnit report."""
    sim, pty_path = start_krvbsim(args.krvbsim, [])
    port = free_port()
    ser2net = start_rfc2217(args, pty_path, port, work)
    with open(os.path.join(work, "reset.scr"), "w") as f:
        f.write("local dtr pulse 100\nlocal break\nlocal expect KRVB7100\nlocal exit 0\n")
    try:
        with board_file(args, env,
                        f"[wine-lab]\ndevice = rfc2217://127.0.0.1:{port}\nbaud = 115200\n"):
            status, out = batch(args, env, work, "-b", "wine-lab", "--junit", "reset.xml",
                                "reset.scr")
    finally:
        end(ser2net)
        end(sim)
    if status != 0 or "cannot" in out:
        raise AssertionError(f"the reset script ended {status}:\n{out}")
    check_report(os.path.join(work, "reset.xml"), "KRVB7100")
    print("wine: -b wine-lab over rfc2217 pulsed DTR, sent a BREAK, saw the banner, status 0")


def run(args):
    wine = args.wine
    env = dict(os.environ, WINEPREFIX=args.wineprefix, WINEDEBUG="-all", TERM="xterm")
    env.pop("DISPLAY", None)
    check_list(args, env)
    with tempfile.TemporaryDirectory(prefix="dravel-wine-") as work:
        data = image(0x4001, 7)
        with open(os.path.join(work, "image.bin"), "wb") as f:
            f.write(data)
        sim, pty_path = start_krvbsim(
            args.krvbsim,
            ["--dump", f"80010000:{len(data):x}:{work}/memory", "--regs", f"{work}/regs"])
        link = os.path.join(args.wineprefix, "dosdevices", "com5")
        if os.path.lexists(link):
            os.unlink(link)
        os.symlink(pty_path, link)
        env["DRAVELHIS"] = "dravel.his"
        console = Console([wine, args.dravel, "-d", "COM5"], env, work)
        try:
            console.wait_for("dravel -- Korvane debug system console program", "banner")
            console.wait_for("BAUDRATE = 57600", "configuration report")
            if "cannot open" in plain(console.screen):
                raise AssertionError("COM5 did not open:\n" + plain(console.screen))
            console.type(b"\r")
            console.wait_for(">>", "monitor prompt")
            console.type(b"sr gp 80001234\r")
            console.wait_for("sr gp 80001234", "echo of the typed line")
            print("wine: banner shown, typed line echoed by the monitor")

            # The shell escape, with the console modes handed over and taken back.
            console.type(F2)
            console.wait_for("Dos", "shell prompt")
            console.type(b"echo shell-ran-%COMSPEC%\r")
            console.wait_for("shell-ran-C:\\windows\\system32\\cmd.exe", "shell command output")
            print("wine: shell command ran through cmd.exe")

            status = dload_then_esc(console, "004001:")
            if status != 1:
                raise AssertionError(f"dravel.exe ended with {status}:\n{plain(console.screen)}")
        finally:
            console.stop()
            stop_krvbsim(sim, link)

        with open(os.path.join(work, "dravel.his"), "rb") as f:
            history = f.read()
        if b"image.bin 80010000\n" not in history:
            raise AssertionError(f"the history was not saved: {history!r}")
        with open(os.path.join(work, "regs")) as f:
            regs = f.read()
        if not re.search(r"^gp 0*80001234$", regs, re.M):
            raise AssertionError("the typed line did not set gp in the monitor:\n" + regs)
        with open(os.path.join(work, "memory"), "rb") as f:
            memory = f.read()
        if memory != data:
            raise AssertionError(f"dload did not land: {len(memory)} bytes, first difference at "
                                 f"{next((i for i, (a, b) in enumerate(zip(memory, data)) if a != b), None)}")
        print("wine: gp set by the typed line, 0x4001 bytes of dload in the monitor's memory")
        run_batch_checks(args, env, work)


def main():
    # A check stopped from outside still runs its finally blocks, which end krvbsim and the
    # other processes it started by their own ids.
    for signum in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, lambda n, f: sys.exit(128 + n))
    p = argparse.ArgumentParser(description=__doc__)
    p.add_argument("--dravel", required=True)
    p.add_argument("--krvbsim", required=True)
    p.add_argument("--wineprefix", required=True)
    p.add_argument("--wine", default="/usr/lib/wine/wine64")
    p.add_argument("--fixture", default=os.path.join(os.path.dirname(__file__), "..", "fixtures",
                                                     "loader", "hello.mot"))
    p.add_argument("--ser2net-export", required=True, help="tools/ser2net/export.sh")
    p.add_argument("--modem-shim", required=True,
                   help="pty_modem_lines.so, preloaded into Wine to give COM5's pty modem lines")
    args = p.parse_args()
    for name in ("dravel", "krvbsim", "wineprefix", "fixture", "ser2net_export", "modem_shim"):
        setattr(args, name, os.path.abspath(getattr(args, name)))
    failed = 0
    for check in (run, run_network):
        try:
            check(args)
        except AssertionError as e:
            print(f"FAILED: {e}", file=sys.stderr)
            failed += 1
    print(f"{2 - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
