#!/usr/bin/env bash
# Checks the .deb that make package built with lintian (any error or warning fails; info
# tags do not), installs it with apt, checks what it put in place, and removes it again.
# Needs root or sudo; refuses when a dravel package is installed already.
set -euo pipefail
cd "$(dirname "$0")/.."

debs=(build/package/packages/dravel_*.deb)
[ -f "${debs[0]}" ] || { echo "check-deb: no package; run make package first" >&2; exit 1; }
deb="$PWD/${debs[-1]}"
if dpkg -s dravel >/dev/null 2>&1; then
  echo "check-deb: a dravel package is installed already; not touching it" >&2
  exit 1
fi
command -v lintian >/dev/null || { echo "check-deb: lintian is not installed" >&2; exit 1; }
# Lintian's own notice about running as root is not a finding.
lintian --fail-on error,warning "$deb" 2> >(grep -v 'running with root privileges' >&2) ||
  { echo "check-deb: lintian finds errors or warnings in $(basename "$deb")" >&2; exit 1; }

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
apt_get() { "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -y -qq "$@"; }

fail() { echo "check-deb: $*" >&2; apt_get remove dravel >/dev/null || true; exit 1; }

apt_get install "$deb" >/dev/null
hash -r
version=$(dravel --version </dev/null) || fail "dravel --version failed"
[[ $version == "dravel "* ]] || fail "dravel --version said: $version"
krvbsim --help </dev/null >/dev/null 2>&1 || fail "krvbsim does not run"
man -w dravel >/dev/null || fail "man -w dravel finds no page"
man -w krvbsim >/dev/null || fail "man -w krvbsim finds no page"
completion=/usr/share/bash-completion/completions/dravel
bash -c "source $completion && complete -p dravel" >/dev/null || fail "no completion in $completion"
for doc in README.md copyright changelog.gz; do
  [ -f /usr/share/doc/dravel/$doc ] || fail "no /usr/share/doc/dravel/$doc"
done
apt_get remove dravel >/dev/null
hash -r
! command -v dravel >/dev/null || fail "dravel still on the PATH after removal"
[ ! -e "$completion" ] || fail "$completion left behind"
echo "check-deb: $(basename "$deb") installs, runs and removes cleanly"
