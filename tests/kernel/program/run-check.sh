#!/usr/bin/env bash
# Boots a stock Debian kernel under qemu with the real program under an X server of the guest's
# own, the receiver played through uhid to the real driver; reports what the guest found.
# Usage: run-check.sh WORK_DIR CHECK_PROGRAM ZIBTVREMOTE [KERNEL_CACHE_DIR]
# Exits 0 when the check passed, 1 when it failed or the guest did not finish, 77 when qemu,
# busybox, the X server's programs or the kernel package cannot be had (it says which).
set -euo pipefail

work=$1
check=$2
program=$3
# The other kernel checks' cache serves: fetch-kernel.sh takes a lock while it fetches.
cache=${4:-$work/cache}
here=$(cd "$(dirname "$0")" && pwd)
boot_timeout=${ZIBK_QEMU_TIMEOUT:-400}
name=real-program-keys

# shellcheck source=../guest-lib.sh
source "$here/../guest-lib.sh"

require_qemu

fetch_kernel "$cache"

make_initramfs "$here/make-initramfs.sh" "$kernel" "$check" "$program"
# The sanitizers' shadow memory is reserved, not used; the program and Xvfb need the rest.
boot_guest 1024
report_checks "$name"
echo "The real program's check passed."
