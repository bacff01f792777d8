#!/usr/bin/env bash
# Builds the initramfs of the real program's check (newc cpio, gzip): static busybox, the
# receiver's modules, /init, the check program, the real program with the Qt platform plug-in it
# draws on X with, Xvfb with xkbcomp, setxkbmap and the keymap data, a font, and every shared
# library they load. Rebuilt only when one of them changed.
# Usage: make-initramfs.sh KERNEL_DIR CHECK_PROGRAM ZIBTVREMOTE OUTPUT
# Exits 77 (and says why on standard error) when a program it needs is not installed.
set -euo pipefail

kernel=$1
check=$2
program=$3
out=$4
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source-path=SCRIPTDIR source=../initramfs-lib.sh
. "$here/../initramfs-lib.sh"

busybox=/bin/busybox
# Each program with the Debian package that has it.
needed=(/usr/bin/Xvfb=xvfb /usr/bin/xkbcomp=x11-xkb-utils /usr/bin/setxkbmap=x11-xkb-utils)
require_programs "${needed[@]}"
programs=("${needed[@]%%=*}")
# The folder Qt looks in for its plug-ins, as this machine's Qt was built.
plugins=$(qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/qt6/plugins)
xcb=$plugins/platforms/libqxcb.so
[ -f "$xcb" ] || { echo "$xcb is not installed (Debian package qt6-base-dev)" >&2; exit 77; }
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
[ -f "$font" ] || { echo "$font is not installed (Debian package fonts-dejavu-core)" >&2; exit 77; }
supp=$here/../../lsan.supp

# What the image is made of; the same list gives the same image.
stamp=$(
  {
    sha256sum "$0" "$here/../initramfs-lib.sh" "$here/guest-init.sh" "$check" "$program" "$xcb" \
      "$supp" "$kernel/complete" "$kernel"/modules/*.ko "$busybox" "$font"
    dpkg-query -W xvfb x11-xkb-utils xkb-data libqt6core6 libqt6gui6 libqt6widgets6 2>/dev/null
  } | sha256sum | cut -d' ' -f1
)
if [ -f "$out" ] && [ "$(cat "$out.stamp" 2>/dev/null)" = "$stamp" ]; then
  exit 0
fi

root=$(mktemp -d "${out}.root.XXXXXX")
trap 'rm -rf "$root"' EXIT
# mktemp makes the folder private; as the guest's / it must let the X server's helpers through.
chmod 755 "$root"
mkdir -p "$root"/{bin,dev,proc,sys,run,modules,etc/zibk,tmp,var/lib/xkb}
cp "$busybox" "$root/bin/busybox"
# xkbcomp is started through /bin/sh.
ln -s busybox "$root/bin/sh"
for m in evdev uinput hid uhid hid-appleir; do cp "$kernel/modules/$m.ko" "$root/modules/"; done
cp "$here/guest-init.sh" "$root/init"
cp "$supp" "$root/etc/zibk/lsan.supp"
echo "$plugins" >"$root/etc/zibk/qt-plugins"
copy_with_libraries "${programs[@]}" "$xcb" "$check" "$program"
mv "$root$check" "$root/bin/zibk-real-program"
mv "$root$program" "$root/bin/zibtvremote"
mkdir -p "$root/usr/share/X11" "$root$(dirname "$font")"
cp -r /usr/share/X11/xkb "$root/usr/share/X11/xkb"
cp -r /etc/fonts "$root/etc/fonts"
cp "$font" "$root$font"
chmod 1777 "$root/tmp"
chmod 755 "$root/init" "$root/bin/zibk-real-program" "$root/bin/zibtvremote"
(cd "$root" && find . -print0 | LC_ALL=C sort -z | cpio --null -o -H newc --quiet) | gzip -1 >"$out.tmp"
mv "$out.tmp" "$out"
echo "$stamp" >"$out.stamp"
