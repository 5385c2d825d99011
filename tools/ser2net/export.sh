#!/usr/bin/env bash
# Exports a serial device on loopback with ser2net, in the foreground, as a lab machine would:
#   export.sh DEVICE PORT rfc2217|socket DIR [LINE]
# Writes DIR/ser2net.yaml and becomes ser2net (so the caller's pid is ser2net's, to kill and
# start again on the same port). LINE is the connector's start setting (default 9600e71: only
# what the client sets makes the line right). SER2NET_OPTIONS adds lines to the connection's
# options (e.g. "chardelay: false"). Says "ser2net pid PID" on stderr before it starts, so a
# test can prove the port it connects to is this ser2net's. Installs nothing: a missing
# ser2net ends it with status 77 (tools/install-prereqs.sh installs it).
set -euo pipefail
[ $# -ge 4 ] || { echo "usage: $0 DEVICE PORT rfc2217|socket DIR [LINE]" >&2; exit 2; }
device=$1 port=$2 mode=$3 dir=$4 line=${5:-9600e71}

ser2net=$(command -v ser2net || true)
[ -n "$ser2net" ] || [ ! -x /usr/sbin/ser2net ] || ser2net=/usr/sbin/ser2net
if [ -z "$ser2net" ]; then
  echo "ser2net is not installed (tools/install-prereqs.sh test installs it)" >&2
  exit 77
fi

case $mode in
  rfc2217) accepter="telnet(rfc2217),tcp,127.0.0.1,$port" ;;
  socket) accepter="tcp,127.0.0.1,$port" ;;
  *) echo "$0: mode is rfc2217 or socket" >&2; exit 2 ;;
esac
mkdir -p "$dir"
cat >"$dir/ser2net.yaml" <<YAML
connection: &board
  accepter: $accepter
  connector: serialdev(nouucplock=true),$device,$line,local
  options:
    kickolduser: true
${SER2NET_OPTIONS:+    $SER2NET_OPTIONS}
YAML
echo "ser2net pid $$" >&2
exec "$ser2net" -n -d -c "$dir/ser2net.yaml" -P "$dir/ser2net.pid"
