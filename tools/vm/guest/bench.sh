# Paced transfers through each driver, timed from /proc/uptime (busybox's date has no
# fractions); the host times the same transfers on its own pty and reports the ratios.
. /vm/lib.sh
now() { cut -d' ' -f1 /proc/uptime; }
timed() { # NAME DEVICE SCRIPT-TEXT
  t0=$(now)
  batch "$1" "$2" "$3"
  t1=$(now)
  say "TIME $1 $t0 $t1 $status"
}
for d in usb:$USB uart:$UART; do
  tag=${d%%:*} dev=${d#*:}
  timed "$tag start" "$dev" "local exit 0\n"
  timed "$tag dload" "$dev" "local dload /data/r64k.bin $ADDR\n"
  timed "$tag dsave" "$dev" "local dsave /tmp/b.out $ADDR 10000\n"
  check "$tag dsave exact" cmp -s /tmp/b.out /data/r64k.bin
  rm -f /tmp/b.out
  timed "$tag srec" "$dev" "local load /data/r16k.mot\nlocal wait-prompt\n"
done
