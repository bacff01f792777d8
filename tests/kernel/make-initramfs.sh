#!/usr/bin/env bash
# Builds the guest's initramfs (newc cpio, gzip): static busybox, the input modules, /init and
# the static check program.
# Usage: make-initramfs.sh KERNEL_DIR GUEST_PROGRAM OUTPUT
set -euo pipefail

kernel=$1
guest=$2
out=$3
here=$(cd "$(dirname "$0")" && pwd)

# Both must be static: the guest has no C library of its own.
is_static() { [ -x "$1" ] && ! LC_ALL=C ldd "$1" >/dev/null 2>&1; }
busybox=/bin/busybox
is_static "$busybox" || { echo "no static busybox at $busybox (install busybox-static)" >&2; exit 77; }
is_static "$guest" || { echo "$guest is not a static program" >&2; exit 1; }

root=$(mktemp -d "${out}.root.XXXXXX")
trap 'rm -rf "$root"' EXIT
# mktemp makes the folder private; as the guest's / it must let ordinary users through.
chmod 755 "$root"
mkdir -p "$root"/{bin,dev,proc,sys,modules}
cp "$busybox" "$root/bin/busybox"
cp "$kernel"/modules/*.ko "$root/modules/"
cp "$guest" "$root/bin/zibk-guest"
cp "$here/guest-init.sh" "$root/init"
chmod 755 "$root/init" "$root/bin/zibk-guest"
(cd "$root" && find . -print0 | LC_ALL=C sort -z | cpio --null -o -H newc --quiet) | gzip -1 >"$out.tmp"
mv "$out.tmp" "$out"
