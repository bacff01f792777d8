#!/usr/bin/env bash
# Builds the initramfs of the Wayland session check (newc cpio, gzip): static busybox, the input
# modules, /init, the check program, and a Wayland session from this machine's packages: udevd
# and its input rules, seatd, sway with its keymap data and a font, XWayland with xkbcomp,
# swaymsg, wev and xev, with every shared library they load. Rebuilt only when one of them changed.
# Usage: make-initramfs.sh KERNEL_DIR PROGRAM OUTPUT
# Exits 77 (and says why on standard error) when a program of the session is not installed.
set -euo pipefail

kernel=$1
program=$2
out=$3
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source-path=SCRIPTDIR source=../initramfs-lib.sh
. "$here/../initramfs-lib.sh"

busybox=/bin/busybox
# Each program with the Debian package that has it.
needed=(/usr/bin/sway=sway /usr/bin/swaymsg=sway /usr/sbin/seatd=seatd /usr/bin/wev=wev
  /lib/systemd/systemd-udevd=udev /usr/bin/udevadm=udev /usr/bin/Xwayland=xwayland
  /usr/bin/xkbcomp=x11-xkb-utils /usr/bin/xev=x11-utils)
require_programs "${needed[@]}"
programs=("${needed[@]%%=*}")
font=/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf
[ -f "$font" ] || { echo "$font is not installed (Debian package fonts-dejavu-core)" >&2; exit 77; }
rules=(50-udev-default.rules 60-input-id.rules 60-evdev.rules)

# What the image is made of; the same list gives the same image.
stamp=$(
  {
    sha256sum "$0" "$here/../initramfs-lib.sh" "$here/guest-init.sh" "$here/sway.config" \
      "$program" "$kernel/complete" "$kernel"/modules/*.ko "$busybox" "$font"
    dpkg-query -W sway seatd wev x11-utils udev xwayland libinput10 libxkbcommon0 xkb-data 2>/dev/null
  } | sha256sum | cut -d' ' -f1
)
if [ -f "$out" ] && [ "$(cat "$out.stamp" 2>/dev/null)" = "$stamp" ]; then
  exit 0
fi

root=$(mktemp -d "${out}.root.XXXXXX")
trap 'rm -rf "$root"' EXIT
chmod 755 "$root"
mkdir -p "$root"/{bin,dev,proc,sys,run,modules,etc/udev/rules.d,etc/zibk,home/zib}
cp "$busybox" "$root/bin/busybox"
for applet in sh su env; do ln -s busybox "$root/bin/$applet"; done
cp "$kernel"/modules/evdev.ko "$kernel"/modules/uinput.ko "$root/modules/"
cp "$here/guest-init.sh" "$root/init"
cp "$here/sway.config" "$root/etc/zibk/sway.config"
copy_with_libraries "${programs[@]}" "$program"
mv "$root$program" "$root/bin/zibk-wayland-keys"

# The session's user, in the groups that seatd and the uinput device let in.
cat >"$root/etc/passwd" <<'USERS'
root:x:0:0:root:/root:/bin/sh
zib:x:1000:1000:zib:/home/zib:/bin/sh
USERS
cat >"$root/etc/group" <<'GROUPS'
root:x:0:
video:x:44:zib
input:x:105:zib
zib:x:1000:
GROUPS

# udev's rules that mark input devices as keyboards, which libinput goes by.
for r in "${rules[@]}"; do cp "/usr/lib/udev/rules.d/$r" "$root/etc/udev/rules.d/"; done
mkdir -p "$root/usr/share/X11" "$root/usr/share/libinput" "$root$(dirname "$font")" "$root/tmp"
cp -r /usr/share/X11/xkb "$root/usr/share/X11/xkb"
cp -r /usr/share/libinput/. "$root/usr/share/libinput/"
cp -r /etc/fonts "$root/etc/fonts"
cp "$font" "$root$font"
chmod 1777 "$root/tmp"
chmod 755 "$root/init" "$root/bin/zibk-wayland-keys"
(cd "$root" && find . -print0 | LC_ALL=C sort -z | cpio --null -o -H newc --quiet) | gzip -1 >"$out.tmp"
mv "$out.tmp" "$out"
echo "$stamp" >"$out.stamp"
