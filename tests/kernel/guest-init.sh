#!/bin/busybox sh
# shellcheck shell=dash
# /init of the test guest: device nodes from devtmpfs, the input modules in dependency order
# (there is no modules.dep), then the checks; the machine powers off when they end.
export PATH=/bin
busybox mkdir -p /proc /sys /dev
busybox mount -t devtmpfs devtmpfs /dev
busybox mount -t proc proc /proc
busybox mount -t sysfs sysfs /sys
for m in evdev uinput hid uhid hid-appleir; do
  if ! busybox insmod /modules/$m.ko; then
    echo "ZIBK: FAIL insmod: $m.ko would not load"
  fi
done
/bin/zibk-guest
rc=$?
# The uinput keyboard with an X server of the guest's own, where the image carries one.
if [ -x /bin/zibk-session-keys ]; then
  PATH=/usr/bin:/bin HOME=/tmp /bin/zibk-session-keys || rc=1
fi
# What the kernel said, for finding out why a check failed.
[ $rc -eq 0 ] || busybox dmesg | busybox tail -n 40
echo "ZIBK: EXIT $rc"
busybox sync
busybox poweroff -f
