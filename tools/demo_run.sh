#!/usr/bin/env bash
# Runs a demo's dravel (itself, or under krvbsim) and ends with status 0 when the user ended it
# a way dravel(1) documents:  demo_run.sh PROGRAM [ARG...]
# F10 F2 and "local quit" give 0, ESC gives 1; but a failed start ("KRVB7100 not ready!", a bad
# setting, "dravel: <error>") gives 1 too, so the session is recorded through script(1) to tell
# them apart. Every other status (127: a missing program, 128+n: a signal) passes through.
set -uo pipefail
[ $# -gt 0 ] || { echo "usage: $0 PROGRAM [ARG...]" >&2; exit 2; }
command -v "$1" >/dev/null || { echo "demo: $1: no such program; build it first" >&2; exit 127; }

# A status 1 is the user's ESC unless the session printed one of these.
FAILED_START='KRVB7100 not ready!|not define !|dravel: '

if [ ! -t 0 ] || ! command -v script >/dev/null; then
  "$@"
  exit $?
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# -e: the program's status (128+n for a signal); the log holds what the screen showed.
script -q -e -c "$(printf '%q ' "$@")" "$log"
status=$?
if [ "$status" -eq 1 ] && ! tr -d '\r' <"$log" | grep -a -q -E "$FAILED_START"; then
  status=0
fi
exit "$status"
