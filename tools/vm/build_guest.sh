#!/usr/bin/env bash
# Builds the test guest from Debian packages: the kernel and the USB serial modules out of the
# linux-image .deb (never installed on this host), busybox, dravel and its shared libraries,
# and the guest's test scripts and data, as build/vm/vmlinuz and build/vm/initrd.gz.
#   tools/vm/build_guest.sh BUILD_DIR DATA_DIR
# BUILD_DIR holds the dravel to put in; DATA_DIR the files the tests load (made by the host
# side, vm_test.py). Rebuilt only when one of them, or this directory, changed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
data=$(cd "$2" && pwd)
out=$(cd "$here/../.." && pwd)/build/vm
mkdir -p "$out/deb"

dravel="$build/dravel"
[ -x "$dravel" ] || { echo "build_guest: no $dravel" >&2; exit 1; }

stamp=$( (sha256sum "$dravel" "$0" "$here"/guest/* "$data"/* | sed "s|$out||") | sha256sum | cut -c1-64)
if [ -f "$out/initrd.gz" ] && [ -f "$out/vmlinuz" ] && [ "$(cat "$out/stamp" 2>/dev/null)" = "$stamp" ]; then
  exit 0
fi

# The one kernel version the meta-package points at (a glob would fetch every version).
image=$(apt-cache depends linux-image-amd64 | awk '$1 == "Depends:" && $2 ~ /^linux-image-[0-9]/ {print $2; exit}')
[ -n "$image" ] || { echo "build_guest: linux-image-amd64 names no kernel" >&2; exit 1; }
deb=$(ls "$out/deb/${image}_"*.deb 2>/dev/null | head -1 || true)
if [ -z "$deb" ]; then
  (cd "$out/deb" && apt-get download "$image" 2>&1 | grep -v '^W: Download is performed unsandboxed' >&2 || true)
  deb=$(ls "$out/deb/${image}_"*.deb 2>/dev/null | head -1 || true)
  [ -n "$deb" ] || { echo "build_guest: could not download $image" >&2; exit 1; }
fi
kernel="$out/kernel"
if [ ! -f "$kernel/.from" ] || [ "$(cat "$kernel/.from")" != "$deb" ]; then
  rm -rf "$kernel"
  mkdir -p "$kernel"
  dpkg-deb -x "$deb" "$kernel"
  echo "$deb" >"$kernel/.from"
fi
cp "$(ls "$kernel"/boot/vmlinuz-* | head -1)" "$out/vmlinuz"

root="$out/root"
rm -rf "$root"
mkdir -p "$root"/{bin,dev,proc,sys,tmp,lib/modules,vm,mnt}
busybox=$(command -v busybox || true)
[ -n "$busybox" ] || busybox=/bin/busybox
file -L "$busybox" 2>/dev/null | grep -q 'statically linked' ||
  ldd "$busybox" 2>&1 | grep -q 'not a dynamic' ||
  { echo "build_guest: $busybox is not static (install busybox-static)" >&2; exit 1; }
cp "$busybox" "$root/bin/busybox"

# The modules of the FTDI adapter on xHCI, in the order they load.
for m in usb-common usbcore xhci-hcd xhci-pci usbserial ftdi_sio; do
  ko=$(find "$kernel/lib/modules" -name "$m.ko*" -o -name "${m//-/_}.ko*" | head -1)
  [ -n "$ko" ] || { echo "build_guest: no module $m" >&2; exit 1; }
  case "$ko" in
    *.xz) xz -dc "$ko" >"$root/lib/modules/$m.ko" ;;
    *.zst) zstd -qdc "$ko" >"$root/lib/modules/$m.ko" ;;
    *) cp "$ko" "$root/lib/modules/$m.ko" ;;
  esac
done
echo "usb-common usbcore xhci-hcd xhci-pci usbserial ftdi_sio" >"$root/lib/modules/order"

# dravel and every shared library it loads, at the paths the loader looks for them.
cp "$dravel" "$root/bin/dravel"
ldd "$dravel" | awk '/=>/ {print $3} /^\t\// {print $1}' | while read -r lib; do
  [ -f "$lib" ] || continue
  mkdir -p "$root$(dirname "$lib")"
  cp -L "$lib" "$root$lib"
done
# Ubuntu and Debian's merged /usr: the loader's path in the binary may be either.
interp=$(readelf -l "$dravel" | sed -n 's/.*interpreter: \(.*\)]/\1/p')
if [ -n "$interp" ] && [ ! -e "$root$interp" ]; then
  mkdir -p "$root$(dirname "$interp")"
  cp -L "$interp" "$root$interp"
fi

cp "$here"/guest/* "$root/vm/"
mv "$root/vm/init" "$root/init"
chmod +x "$root/init" "$root"/vm/*.sh
mkdir -p "$root/data"
cp "$data"/* "$root/data/"

(cd "$root" && find . | LC_ALL=C sort | cpio -o -H newc --quiet | gzip -1) >"$out/initrd.gz.new"
mv "$out/initrd.gz.new" "$out/initrd.gz"
echo "$stamp" >"$out/stamp"
