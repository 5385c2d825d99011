#!/usr/bin/env bash
# The Windows build: cross-compile with MinGW-w64, run the unit tests under Wine, then drive
# dravel.exe through Wine's COM port against krvbsim on a pty.
#   WINDOWS_BUILD  cross build directory (default build/windows)
#   NATIVE_BUILD   where krvbsim is built (default build/release, the release preset)
# With --soak SECONDS, dravel.exe runs the soak (tests/soak/soak.py) that long instead.
set -euo pipefail
cd "$(dirname "$0")/../.."
SOAK_SECONDS=
if [ "${1:-}" = --soak ]; then SOAK_SECONDS=${2:?--soak needs a number of seconds}; fi

WINDOWS_BUILD=${WINDOWS_BUILD:-build/windows}
NATIVE_BUILD=${NATIVE_BUILD:-build/release}
# What the cross build and Wine need, installed once (the list is in tools/install-prereqs.sh).
${PREREQS:-tools/install-prereqs.sh} windows
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
[ -x "$WINE" ] || WINE=$(command -v wine64)
[ -x "$WINESERVER" ] || WINESERVER=$(command -v wineserver)

cmake --preset windows -B "$WINDOWS_BUILD" >/dev/null
cmake --build "$WINDOWS_BUILD" -j2 ${SOAK_SECONDS:+--target dravel}

# A private Wine prefix; console programs need no display.
export WINEPREFIX="$PWD/$WINDOWS_BUILD/wineprefix" WINEDEBUG=-all
unset DISPLAY
trap '"$WINESERVER" -k >/dev/null 2>&1 || true' EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  "$WINE" wineboot -i >/dev/null 2>&1 || true
  "$WINESERVER" -w
fi

[ -n "$SOAK_SECONDS" ] || ctest --test-dir "$WINDOWS_BUILD" --output-on-failure -j2 --timeout 600

if [ "$NATIVE_BUILD" = build/release ]; then
  cmake --preset release >/dev/null
else
  cmake -S . -B "$NATIVE_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$NATIVE_BUILD" -j2 --target krvbsim
if [ -n "$SOAK_SECONDS" ]; then
  # No pulls here: memory and Win32 handles (the wineserver's fds) must stay flat.
  python3 tests/soak/soak.py --build "$NATIVE_BUILD" --dravel "$WINDOWS_BUILD/dravel.exe" \
    --wine "$WINE" --wineprefix "$WINEPREFIX" --seconds "$SOAK_SECONDS" --pull-every 0 \
    --warmup 120 --report-every 120
  exit
fi
# Modem lines for the pty behind COM5, preloaded into Wine (this machine has no serial port).
cc -Wall -Wextra -Werror -shared -fPIC -o "$WINDOWS_BUILD/pty_modem_lines.so" \
  tests/windows/pty_modem_lines.c -ldl
python3 tests/windows/wine_serial_check.py --dravel "$WINDOWS_BUILD/dravel.exe" \
  --krvbsim "$NATIVE_BUILD/krvbsim" --wineprefix "$WINEPREFIX" --wine "$WINE" \
  --ser2net-export tools/ser2net/export.sh --modem-shim "$WINDOWS_BUILD/pty_modem_lines.so"
