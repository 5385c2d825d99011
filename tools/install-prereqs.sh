#!/usr/bin/env bash
# Installs what building, testing and the demos need, on Debian and Ubuntu.
#   tools/install-prereqs.sh [group...]   (default: build test)
# Groups: build, test, demo, ci (the extra compiler and the package check), fuzz, package,
# windows (the cross build and Wine for make windows-test), vm (the QEMU guest of make vm-test). Nothing runs apt when every
# package is already there. Elsewhere it names the packages and stops.
set -euo pipefail

# One row per package: its Debian name, then the groups that need it.
PACKAGES='
cmake                 build
ninja-build           build
g++                   build
libgtest-dev          test
tmux                  test
python3               test vm
ser2net               test demo windows
clang                 ci fuzz
libclang-rt-14-dev    fuzz
man-db                ci
dpkg-dev              package
file                  package
lintian               package
g++-mingw-w64-x86-64  windows
wine64                windows
googletest            windows
qemu-system-x86       vm
busybox-static        vm
cpio                  vm
'
# Each group brings the groups it builds on.
declare -A INCLUDES=([test]="build" [demo]="build" [ci]="build test package" [fuzz]="build"
                     [package]="build" [windows]="build" [vm]="build")

groups=("$@")
[ "${#groups[@]}" -gt 0 ] || groups=(build test)
wanted=" "
add_group() {
  case "$wanted" in *" $1 "*) return ;; esac
  wanted+="$1 "
  local g
  for g in ${INCLUDES[$1]:-}; do add_group "$g"; done
}
for g in "${groups[@]}"; do
  case "$g" in
    build | test | demo | ci | fuzz | package | windows | vm) add_group "$g" ;;
    *) echo "install-prereqs: unknown group '$g'" >&2; exit 2 ;;
  esac
done

packages=()
while read -r name rest; do
  [ -n "$name" ] || continue
  for g in $rest; do
    case "$wanted" in *" $g "*) packages+=("$name"); break ;; esac
  done
done <<<"$PACKAGES"

if ! command -v dpkg >/dev/null || ! command -v apt-get >/dev/null; then
  echo "install-prereqs: not a Debian or Ubuntu system; install the equivalents of:" >&2
  echo "  ${packages[*]}" >&2
  echo "then run make with PREREQS=true to skip this check." >&2
  exit 1
fi

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ "${#missing[@]}" -gt 0 ] || exit 0

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null; then
  as_root=(sudo)
else
  echo "install-prereqs: missing ${missing[*]}; install them as root:" >&2
  echo "  apt-get install ${missing[*]}" >&2
  exit 1
fi
echo "install-prereqs: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
