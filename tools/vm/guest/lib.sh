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
  sleep 1 # QEMU frees the pulled device's id a moment after the guest sees it go
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

# Each load format lands exactly: the window is filled first, then loaded, then saved and
# compared with the fill and the program's bytes (made on the host from hello.mot).
loads() { # TAG DEVICE
  for f in hello.mot hello.coff hello.exe hello.elf; do
    batch "load-$1-$f" "$2" "local dload /data/fill.bin 8000ff00\nlocal load /data/$f\nlocal wait-prompt\nlocal dsave /tmp/w.out 8000ff00 500\n"
    check "$1 load $f status" status_is 0
    check "$1 load $f exact" cmp -s /tmp/w.out /data/window.bin
    rm -f /tmp/w.out
  done
}

# expect: 0 when the text comes, 3 when it does not. A target line waits for a prompt, and a
# board left at its prompt by the last run prints none: a local transfer goes first.
expects() { # TAG DEVICE
  batch "expect-$1" "$2" "local dload /data/fill.bin 8000ff00\ngo\nlocal expect -t 20 hello: PASS\n"
  check "$1 expect met ends 0" status_is 0
  batch "expect-fail-$1" "$2" "local dload /data/fill.bin 8000ff00\ngo\nlocal expect -t 2 hello: FAIL\n"
  check "$1 expect failed ends 3" status_is 3
}

# A second dravel on a device in use is refused, saying so, while the first runs on.
second_refused() { # TAG DEVICE
  printf 'local dload /data/r64k.bin %s\n' "$ADDR" >/tmp/first.scr
  dravel --batch --timeout 90 -d "$2" -B"$(rate)" /tmp/first.scr >"/tmp/first-$1.log" 2>&1 </dev/null &
  first=$!
  sleep 1.5
  batch "second-$1" "$2" "local dload /data/fill.bin 8000ff00\n"
  check "$1 second dravel refused" grep -q "busy (in use by another program)" "/tmp/second-$1.log"
  check "$1 second dravel fails" [ "$status" != 0 ]
  wait "$first"
  check "$1 first dravel unharmed" [ $? = 0 ]
}

list_devices() {
  dravel --list >/tmp/list.log 2>&1
  cat /tmp/list.log
  check "list names the FTDI adapter and its driver" grep -q "^/dev/ttyUSB0 (ftdi_sio, 0403:6001" /tmp/list.log
  check "list names the UART" grep -q "^/dev/ttyS1" /tmp/list.log
}

# The low-latency flag while dravel holds the adapter, put back after.
latency() {
  timer=/sys/bus/usb-serial/devices/ttyUSB0/latency_timer
  before=$(cat $timer)
  # The script reads the timer itself, so no guess at dravel's start time under TCG.
  printf 'local ! cat %s >/tmp/during\n' "$timer" >/tmp/hold.scr
  dravel --batch --timeout 60 -d "$USB" -B"$(rate)" /tmp/hold.scr >/tmp/hold.log 2>&1 </dev/null
  during=$(cat /tmp/during)
  after=$(cat $timer)
  echo "latency_timer before $before, while held $during, after $after"
  check "latency timer 1 while dravel holds the adapter" [ "$during" = 1 ]
  check "latency timer back after" [ "$after" = "$before" ]
}

# The UART's line in the driver's own table.
uart_lines() { grep '^1:' /proc/tty/driver/serial; }

# DTR and RTS on the UART: up while dravel holds the port, down after it closes (HUPCL).
modem_lines() {
  printf 'local ! grep "^1:" /proc/tty/driver/serial >/tmp/during\n' >/tmp/hold.scr
  dravel --batch --timeout 60 -d "$UART" -B"$(rate)" /tmp/hold.scr >/tmp/hold.log 2>&1 </dev/null
  during=$(cat /tmp/during)
  after=$(uart_lines)
  echo "ttyS1 while held: $during"
  echo "ttyS1 after: $after"
  check "DTR and RTS up while held" sh -c "echo '$during' | grep -q 'RTS|' && echo '$during' | grep -q 'DTR'"
  check "DTR and RTS down after close (HUPCL)" sh -c "! echo '$after' | grep -q 'DTR'"
}

# DTR and RTS following `local dtr` and `local rts` in a script: the script reads the driver's
# table after each step, so each reading comes after its command has run.
modem_follow() {
  read_to() { printf 'local ! grep "^1:" /proc/tty/driver/serial >%s\n' "$1"; }
  { echo 'local dtr off'; read_to /tmp/a; echo 'local rts off'; read_to /tmp/b
    echo 'local dtr on'; read_to /tmp/c; } >/tmp/lines.scr
  dravel --batch --timeout 60 -d "$UART" -B"$(rate)" /tmp/lines.scr >/tmp/lines.log 2>&1 </dev/null
  check "local dtr and rts ran" [ $? = 0 ]
  a=$(cat /tmp/a) b=$(cat /tmp/b) c=$(cat /tmp/c)
  echo "ttyS1 after dtr off: $a"
  echo "ttyS1 after rts off: $b"
  echo "ttyS1 after dtr on: $c"
  check "local dtr off drops DTR, RTS stays" sh -c "echo '$a' | grep -q 'RTS' && ! echo '$a' | grep -q 'DTR'"
  check "local rts off drops RTS" sh -c "! echo '$b' | grep -q 'RTS' && ! echo '$b' | grep -q 'DTR'"
  check "local dtr on raises DTR" sh -c "echo '$c' | grep -q 'DTR' && ! echo '$c' | grep -q 'RTS'"
}

# Rates: the UART's clock tops at 115200, so 921600 is refused and the warning names the rate
# the line runs at; the FTDI driver takes 921600, 1500000 and 3000000.
rates() {
  printf 'local exit 0\n' >/tmp/rate.scr
  dravel --batch -d "$UART" -B921600 /tmp/rate.scr >/tmp/rate-uart.log 2>&1 </dev/null
  status=$?
  grep refused /tmp/rate-uart.log
  check "uart 921600 ends a batch run with 1" status_is 1
  check "uart 921600 refused, naming the rate the line runs at" grep -q "baud rate 921600 refused by /dev/ttyS1 (.*); the line runs at 115200" /tmp/rate-uart.log
  for r in 921600 1500000 3000000; do
    dravel --batch -d "$USB" -B$r /tmp/rate.scr >"/tmp/rate-$r.log" 2>&1 </dev/null
    check "usb takes $r" sh -c "! grep -q warning /tmp/rate-$r.log"
  done
}
