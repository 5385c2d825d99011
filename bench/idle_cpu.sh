#!/bin/sh
# CPU use of an idle dravel: on a pty of its own, against a quiet pty as its serial
# device, for a few seconds. Target under 0.1% of a core, at most 1%.
#   bench/idle_cpu.sh [path/to/dravel] [seconds]
# With HANGUP=1 the device's far end closes first, so a dead line is measured too.
set -eu
DRAVEL=${1:-build/release/dravel}
SECONDS_TO_RUN=${2:-5}
[ -x "$DRAVEL" ] || { echo "no dravel at $DRAVEL (build it, or give its path)" >&2; exit 2; }
command -v python3 >/dev/null || { echo "python3 is needed" >&2; exit 2; }

exec python3 - "$DRAVEL" "$SECONDS_TO_RUN" "${HANGUP:-0}" <<'PY'
import os, pty, select, signal, sys, tempfile, time

dravel, seconds, hangup = sys.argv[1], float(sys.argv[2]), sys.argv[3] == "1"
dev_master, dev_slave = pty.openpty()
device = os.ttyname(dev_slave)
his = os.path.join(tempfile.mkdtemp(), "dravel.his")

pid, console = pty.fork()
if pid == 0:
    os.environ["DRAVELHIS"] = his
    os.execv(dravel, [dravel, "-d", device])

def drain(until):
    while True:
        left = until - time.monotonic()
        if left <= 0:
            return
        r, _, _ = select.select([console], [], [], left)
        if r:
            try:
                os.read(console, 4096)
            except OSError:
                return

drain(time.monotonic() + 0.5)  # start-up
if hangup:
    os.close(dev_master)
    os.close(dev_slave)
    drain(time.monotonic() + 0.2)

tick = os.sysconf("SC_CLK_TCK")
def cpu_ticks():
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime

start_cpu, start = cpu_ticks(), time.monotonic()
drain(start + seconds)
used = (cpu_ticks() - start_cpu) / tick
elapsed = time.monotonic() - start
os.kill(pid, signal.SIGTERM)
give_up = time.monotonic() + 5  # it should end at once; never leave it behind
while os.waitpid(pid, os.WNOHANG)[0] != pid:
    if time.monotonic() > give_up:
        os.kill(pid, signal.SIGKILL)
        os.waitpid(pid, 0)
        print("dravel did not end on SIGTERM", file=sys.stderr)
        break
    drain(time.monotonic() + 0.05)
    time.sleep(0.01)
percent = 100.0 * used / elapsed
print(f"idle dravel: {percent:.3f}% of a core over {elapsed:.1f} s"
      + (" (device hung up)" if hangup else ""))
sys.exit(0 if percent <= 1.0 else 1)
PY
