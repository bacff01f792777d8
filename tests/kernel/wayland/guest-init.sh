#!/bin/busybox sh
# shellcheck shell=dash
# /init of the Wayland session guest: udevd tells libinput which devices are keyboards, seatd
# hands their nodes to the compositor, sway runs as an ordinary user, and the check program
# types into it. The machine powers off when the check ends.
export PATH=/usr/bin:/usr/sbin:/bin
busybox mkdir -p /proc /sys /dev /run
busybox mount -t devtmpfs devtmpfs /dev
busybox mount -t proc proc /proc
busybox mount -t sysfs sysfs /sys
busybox mount -t tmpfs -o mode=755 tmpfs /run
busybox mkdir -p /dev/pts /dev/shm
busybox mount -t devpts devpts /dev/pts
busybox mount -t tmpfs -o mode=1777 tmpfs /dev/shm
for m in evdev uinput; do
  busybox insmod /modules/$m.ko || echo "ZIBK: FAIL insmod: $m.ko would not load"
done
# What a udev rule gives the session's user on a desktop.
busybox chgrp input /dev/uinput && busybox chmod 660 /dev/uinput

say() { echo "zibk-init: $*"; }
log_tails() {
  for f in /tmp/udevd.log /tmp/seatd.log /tmp/sway.log; do
    echo "--- $f"
    busybox grep -v "sway/config\|sway/commands\|Config stored" "$f" | busybox tail -n 80
  done
  echo "--- input devices"
  busybox cat /proc/bus/input/devices
  SYSTEMD_COLORS=0 udevadm info /dev/input/event*
  as_user SWAYSOCK="$ipc" swaymsg -t get_inputs
  as_user SWAYSOCK="$ipc" swaymsg -t get_tree | busybox grep -E '"(name|app_id|focused|type)"'
  busybox dmesg | busybox tail -n 30
}

/lib/systemd/systemd-udevd --daemon >/tmp/udevd.log 2>&1 || say "udevd did not start"
if ! udevadm trigger --action=add || ! udevadm settle --timeout=60; then
  say "udev did not settle"
fi
seatd -g video >/tmp/seatd.log 2>&1 &

runtime=/run/user/1000
busybox mkdir -p $runtime
busybox chown 1000:1000 $runtime /home/zib
busybox chmod 700 $runtime
busybox mkdir -p -m 1777 /tmp/.X11-unix
as_user() {
  su -s /bin/sh zib -c "env XDG_RUNTIME_DIR=$runtime LIBSEAT_BACKEND=seatd $*"
}
# Not WLR_LIBINPUT_NO_DEVICES: with it, wlroots 0.15 leaves the devices there at the start unread
# until the next input event, and the seat has no keyboard for wev to be given.
as_user WLR_BACKENDS=headless,libinput WLR_RENDERER=pixman \
  sway -d -c /etc/zibk/sway.config >/tmp/sway.log 2>&1 &

# sway is ready once its sockets are there, XWayland's among them.
wayland=
ipc=
x=
tries=0
while [ -z "$wayland" ] || [ -z "$ipc" ] || [ -z "$x" ]; do
  tries=$((tries + 1))
  if [ $tries -gt 240 ]; then
    echo "ZIBK: FAIL uinput-keyboard-in-wayland-session: sway or its XWayland did not start within 120 s"
    log_tails
    echo "ZIBK: EXIT 1"
    busybox poweroff -f
  fi
  busybox sleep 0.5
  for s in "$runtime"/wayland-*; do
    case $s in *.lock | *'*'*) ;; *) wayland=${s##*/} ;; esac
  done
  for s in "$runtime"/sway-ipc.*.sock; do
    [ -S "$s" ] && ipc=$s
  done
  for s in /tmp/.X11-unix/X*; do
    [ -S "$s" ] && x=:${s##*/X}
  done
done
say "sway is up on $wayland and XWayland on $x after $((tries / 2)) s"

# The keymap from the compositor, with no X server in the environment (sway starts on de); then
# from XWayland, which mirrors the compositor's (the first pass left it on fr). Each pass prints
# its own ZIBK line.
rc=0
as_user WAYLAND_DISPLAY="$wayland" SWAYSOCK="$ipc" /bin/zibk-wayland-keys \
  uinput-keyboard-in-wayland-session wayland de fr || rc=1
as_user DISPLAY="$x" WAYLAND_DISPLAY="$wayland" SWAYSOCK="$ipc" /bin/zibk-wayland-keys \
  uinput-keyboard-in-wayland-session-through-xwayland x fr de || rc=1
# The XTest output into an X client (xev, then the only window) on XWayland, the session on de
# again after the second pass, then switched to fr in the compositor.
as_user DISPLAY="$x" WAYLAND_DISPLAY="$wayland" SWAYSOCK="$ipc" /bin/zibk-wayland-keys \
  xtest-keys-into-xwayland xtest de fr || rc=1
[ $rc -eq 0 ] || log_tails
echo "ZIBK: EXIT $rc"
busybox sync
busybox poweroff -f
