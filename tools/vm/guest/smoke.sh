# One boot, both drivers: a dload and dsave through each, and the adapter pulled once.
. /vm/lib.sh
dload_dsave usb "$USB"
dload_dsave uart "$UART"
pull_during pull-dload "$USB" "local dload /data/r64k.bin $ADDR"
