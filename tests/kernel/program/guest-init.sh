#!/bin/busybox sh
# shellcheck shell=dash
# /init of the real program's guest: device nodes from devtmpfs, the receiver's modules in
# dependency order (there is no modules.dep), then the check, which starts the X server and the
# program itself. The machine powers off when it ends.
export PATH=/usr/bin:/bin
busybox mkdir -p /proc /sys /dev /run
busybox mount -t devtmpfs devtmpfs /dev
busybox mount -t proc proc /proc
busybox mount -t sysfs sysfs /sys
busybox mount -t tmpfs -o mode=755 tmpfs /run
busybox mkdir -p /dev/shm
busybox mount -t tmpfs -o mode=1777 tmpfs /dev/shm
for m in evdev uinput hid uhid hid-appleir; do
  busybox insmod /modules/$m.ko || echo "ZIBK: FAIL insmod: $m.ko would not load"
done
busybox mkdir -p -m 1777 /tmp/.X11-unix
# Where this image keeps the platform plug-in: the host's own folder.
QT_PLUGIN_PATH=$(busybox cat /etc/zibk/qt-plugins)
export QT_PLUGIN_PATH
# The suppressions are those of the host's end-to-end runs; the program's own leaks still count.
HOME=/tmp LSAN_OPTIONS=suppressions=/etc/zibk/lsan.supp:print_suppressions=0 \
  /bin/zibk-real-program /bin/zibtvremote
rc=$?
[ $rc -eq 0 ] || busybox dmesg | busybox tail -n 30
echo "ZIBK: EXIT $rc"
busybox sync
busybox poweroff -f
