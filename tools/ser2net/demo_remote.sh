#!/usr/bin/env bash
# The simulated board behind a real ser2net on a free loopback port, and dravel connected to
# it by URL, as to a board on another machine:  demo_remote.sh BUILD_DIR
set -euo pipefail
build=${1:-build/release}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
sim_pid='' ser2net_pid=''
cleanup() {
  [ -z "$ser2net_pid" ] || kill "$ser2net_pid" 2>/dev/null || true
  [ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for program in krvbsim dravel; do
  [ -x "$build/$program" ] || { echo "demo: no $build/$program; build it first" >&2; exit 127; }
done

"$build/krvbsim" --baud 115200 >"$work/krvbsim.out" &
sim_pid=$!
for _ in $(seq 100); do grep -q 'serving on' "$work/krvbsim.out" && break; sleep 0.05; done
device=$(sed -n 's/^krvbsim: serving on //p' "$work/krvbsim.out")
[ -n "$device" ] || { echo "krvbsim did not start" >&2; exit 1; }

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
"$here/export.sh" "$device" "$port" rfc2217 "$work" 2>"$work/ser2net.log" &
ser2net_pid=$!
# Listening, seen without connecting: a trial connection would take the monitor's banner.
hex=$(printf ':%04X ' "$port")
listening=false
for _ in $(seq 200); do
  if grep -q "$hex.* 0A " /proc/net/tcp 2>/dev/null; then listening=true; break; fi
  kill -0 "$ser2net_pid" 2>/dev/null || break
  sleep 0.05
done
if ! $listening; then
  echo "demo: ser2net did not start listening on 127.0.0.1:$port:" >&2
  cat "$work/ser2net.log" >&2
  exit 1
fi
echo "ser2net exports $device on 127.0.0.1:$port"
# Ending dravel by its keys ends the demo with status 0 (demo_run.sh).
"$here/../demo_run.sh" "$build/dravel" -B115200 -d "rfc2217://127.0.0.1:$port"
