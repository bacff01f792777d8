#!/usr/bin/env bash
# Builds the guest's initramfs (newc cpio, gzip): static busybox, the input modules, /init and
# the static check program; with a session program, that program too, with an X server (Xvfb,
# xkbcomp, setxkbmap, the keymap data) and every shared library they load, from this machine.
# Usage: make-initramfs.sh KERNEL_DIR GUEST_PROGRAM SESSION_PROGRAM OUTPUT (an empty session:
# none)
set -euo pipefail

kernel=$1
guest=$2
session=$3
out=$4
here=$(cd "$(dirname "$0")" && pwd)

# shellcheck source-path=SCRIPTDIR source=initramfs-lib.sh
. "$here/initramfs-lib.sh"

# Both must be static: the guest has no C library of its own.
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

if [ -n "$session" ]; then
  needed=(/usr/bin/Xvfb=xvfb /usr/bin/xkbcomp=x11-xkb-utils /usr/bin/setxkbmap=x11-xkb-utils)
  require_programs "${needed[@]}"
  programs=("${needed[@]%%=*}")
  copy_with_libraries "${programs[@]}"
  copy_with_libraries "$session"
  mv "$root$session" "$root/bin/zibk-session-keys"
  # The keymap data, and the folder the X server compiles its keymaps into.
  mkdir -p "$root/usr/share/X11" "$root/tmp" "$root/var/lib/xkb"
  cp -r /usr/share/X11/xkb "$root/usr/share/X11/xkb"
  chmod 1777 "$root/tmp"
  # xkbcomp is started through /bin/sh.
  ln -s busybox "$root/bin/sh"
fi
chmod 755 "$root/init" "$root/bin/zibk-guest"
(cd "$root" && find . -print0 | LC_ALL=C sort -z | cpio --null -o -H newc --quiet) | gzip -1 >"$out.tmp"
mv "$out.tmp" "$out"
