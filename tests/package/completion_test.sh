#!/usr/bin/env bash
# The bash completion: options (with dravel's path as $1, every one its --help names), baud
# rates, serial devices after -d (and glued to it), files for the script argument.
set -uo pipefail
dravel_bin=${1:+$(realpath "$1")}
source "$(dirname "$0")/../../tools/bash-completion/dravel"

failures=0
# complete WORD...: runs the completion with the cursor at the end of the last word.
complete_words() {
  COMP_WORDS=(dravel "$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _dravel
  printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | tr '\n' ' '
}
expect() {
  local want=$1
  shift
  local got
  got=$(complete_words "$@")
  if [ "$got" != "$want" ]; then
    echo "FAIL: dravel $*<TAB>: got '$got', want '$want'"
    failures=$((failures + 1))
  fi
}

expect "--batch --board --config --dtr --help --junit --list --load-dir --rts --timeout --timestamps --timestamps-screen --version " --
expect "--timestamps --timestamps-screen " --times
expect "delta " --timestamps d
expect "off on " --dtr o
expect "-B115200 " -B11
expect "-B115200 -B19200 -B38400 -B57600 -B9600 " -B
# Devices come from the machine; here a known set stands in for it.
# shellcheck disable=SC2317  # called by _dravel
real_devices=$(_dravel_devices)
_dravel_devices() { printf '%s\n' /dev/serial/by-id/usb-FTDI_A50285BI-if00-port0 /dev/ttyUSB0 /dev/ttyS0; }
expect "/dev/ttyS0 /dev/ttyUSB0 " -d /dev/tty
expect "/dev/serial/by-id/usb-FTDI_A50285BI-if00-port0 " -B9600 -d /dev/serial/
expect "-d/dev/ttyUSB0 " -d/dev/ttyU
# Board names come from dravel --list; here a known list stands in for it.
# shellcheck disable=SC2317  # called by _dravel
_dravel_boards() { printf '%s\n' lab7 lab9 desk; }
expect "lab7 lab9 " -b lab
expect "desk " --board d
# Whatever the real lookup found exists.
while read -r d; do
  [ -z "$d" ] || [ -e "$d" ] || { echo "FAIL: listed $d, which does not exist"; failures=$((failures + 1)); }
done <<<"$real_devices"

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
touch "$dir/boot.scr" "$dir/prog.srec" "$dir/other"
cd "$dir" || exit 1
expect "boot.scr " boot
expect "boot.scr other prog.srec " ""

# With the program given: every option its --help names is completed.
if [ -n "$dravel_bin" ]; then
  for o in $("$dravel_bin" --help | grep -oE '(^|[ ,])--?[a-zA-Z][a-zA-Z-]*' | tr -d ' ,' | sort -u); do
    grep -qx -- "$o" <<<"$_dravel_options" || { echo "FAIL: --help names $o, which is not completed"; failures=$((failures + 1)); }
  done
fi

[ "$failures" -eq 0 ] && echo "completion: all passed"
exit "$((failures > 0))"
