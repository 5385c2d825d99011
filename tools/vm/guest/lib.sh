# What the guest's tests share. Every line the host reads starts with @@ on the console:
# PASS/FAIL NAME, PULL/PLUG (the host's monitor removes or adds the FTDI adapter), END.
USB=/dev/ttyUSB0
UART=/dev/ttyS1
ADDR=80100000
say() { echo "@@$*"; }
check() { # NAME COMMAND...: PASS when the command succeeds
  _check=$1
  shift
  if "$@"; then say "PASS $_check"; else say "FAIL $_check"; fi
}
# The rate each device runs at; the UART's clock tops at 115200.
rate() { echo 115200; }
# batch NAME DEVICE SCRIPT-TEXT: runs dravel --batch on DEVICE; its status in $status, its
# output in /tmp/NAME.log.
batch() {
  printf '%b' "$3" >"/tmp/$1.scr"
  dravel --batch --timeout 90 -d "$2" -B"$(rate)" "/tmp/$1.scr" >"/tmp/$1.log" 2>&1 </dev/null
  status=$?
  [ "$status" = 0 ] || { echo "--- $1 ended $status:"; tail -c 600 "/tmp/$1.log"; echo; }
}
status_is() { [ "$status" = "$1" ]; }
wait_for() { # SECONDS COMMAND...: polls COMMAND every 0.2 s
  n=$(($1 * 5))
  shift
  while [ "$n" -gt 0 ]; do
    "$@" && return 0
    sleep 0.2
    n=$((n - 1))
  done
  return 1
}
gone() { [ ! -e "$1" ]; }
there() { [ -e "$1" ]; }
count_in() { grep -o "$1" "$2" | wc -l; }

# dload and dsave of 64 KiB: status 0 and the saved file the same as the source (the host
# compares the board's memory with it after the run).
dload_dsave() { # TAG DEVICE
  batch "dd-$1" "$2" "local dload /data/r64k.bin $ADDR\nlocal dsave /tmp/$1.out $ADDR 10000\n"
  check "$1 dload+dsave status" status_is 0
  check "$1 dsave exact" cmp -s "/tmp/$1.out" /data/r64k.bin
  rm -f "/tmp/$1.out"
}

# The FTDI adapter pulled during a transfer and put back, on NAME (the device or a by-id
# link the test makes and removes as udev would). An interactive dravel says the loss once
# and the return; a batch run afterwards dloads whole.
pull_during() { # TAG NAME TRANSFER-LINE [PARTIAL-FILE]
  tag=$1 name=$2 # sh has no locals: check and batch use other names
  [ "$name" = "$USB" ] || ln -sf "$USB" "$name"
  printf '%b' "$3\n" >"/tmp/$tag.scr"
  rm -f "/tmp/$tag.keys"
  mkfifo "/tmp/$tag.keys"
  dravel -d "$name" -B"$(rate)" "/tmp/$tag.scr" <"/tmp/$tag.keys" >"/tmp/$tag.log" 2>&1 &
  pid=$!
  exec 3>"/tmp/$tag.keys"
  sleep 2
  say PULL
  wait_for 20 gone "$USB" || say "FAIL $tag adapter not removed"
  [ "$name" = "$USB" ] || rm -f "$name"
  check "$tag lost reported" wait_for 15 grep -q "serial device lost" "/tmp/$tag.log"
  if [ -n "$4" ]; then check "$tag partial file removed" wait_for 5 gone "$4"; fi
  say PLUG
  wait_for 20 there "$USB" || say "FAIL $tag adapter not back"
  [ "$name" = "$USB" ] || ln -sf "$USB" "$name"
  check "$tag back reported" wait_for 15 grep -q "serial device back" "/tmp/$tag.log"
  check "$tag lost once" [ "$(count_in 'serial device lost' "/tmp/$tag.log")" = 1 ]
  printf '\033[21~\033[12~' >&3 # F10 F2: quit
  exec 3>&-
  wait_for 10 gone "/proc/$pid" || { kill "$pid"; say "FAIL $tag dravel did not quit"; }
  batch "$tag-next" "$name" "local dload /data/r64k.bin $ADDR\n"
  check "$tag next dload" status_is 0
  [ "$name" = "$USB" ] || rm -f "$name"
}
