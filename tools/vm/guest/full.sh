# Every check, through both drivers.
. /vm/lib.sh
list_devices
latency
modem_lines
modem_follow
rates
for d in usb:$USB uart:$UART; do
  tag=${d%%:*} dev=${d#*:}
  dload_dsave "$tag" "$dev"
  loads "$tag" "$dev"
  expects "$tag" "$dev"
  second_refused "$tag" "$dev"
done
pull_during pull-dload "$USB" "local dload /data/r64k.bin $ADDR"
mkdir -p /dev/serial/by-id
pull_during pull-by-id /dev/serial/by-id/usb-QEMU_QEMU_USB_SERIAL_1-0000:00:04.0-if00-port0 "local dload /data/r64k.bin $ADDR"
pull_during pull-dsave "$USB" "local dsave /tmp/partial.out $ADDR 10000" /tmp/partial.out
# The last transfer through each device leaves the source in the board's memory.
dload_dsave usb "$USB"
dload_dsave uart "$UART"
