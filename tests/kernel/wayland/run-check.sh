#!/usr/bin/env bash
# Boots a stock Debian kernel under qemu into a Wayland session (sway reading the guest's input
# devices through libinput) and the uinput key output typing into it, then the XTest output into
# an X client on its XWayland; reports what arrived.
# Usage: run-check.sh WORK_DIR PROGRAM [KERNEL_CACHE_DIR]
# Exits 0 when the check passed, 1 when it failed or the guest did not finish, 77 when qemu,
# busybox, the session's programs or the kernel package cannot be had (it says which).
set -euo pipefail

work=$1
program=$2
# The other kernel checks' cache serves: fetch-kernel.sh takes a lock while it fetches.
cache=${3:-$work/cache}
here=$(cd "$(dirname "$0")" && pwd)
boot_timeout=${ZIBK_QEMU_TIMEOUT:-400}
name=uinput-keyboard-in-wayland-session

# shellcheck source=../guest-lib.sh
source "$here/../guest-lib.sh"

require_qemu

fetch_kernel "$cache"

make_initramfs "$here/make-initramfs.sh" "$kernel" "$program"
boot_guest 512
passes=("$name" "$name-through-xwayland" xtest-keys-into-xwayland)
report_checks "${passes[@]}"
echo "The Wayland session check passed: ${passes[*]}."
