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

skip() {
  echo "SKIPPED: $name: $*"
  exit 77
}
fail() {
  echo "FAILED: $name: $*"
  exit 1
}
# shellcheck source=../guest-lib.sh
source "$here/../guest-lib.sh"

qemu=$(command -v qemu-system-x86_64 || true)
[ -n "$qemu" ] || skip "qemu-system-x86_64 is not installed (Debian package qemu-system-x86)"
command -v cpio >/dev/null || skip "cpio is not installed"
mkdir -p "$work"

fetch_kernel "$cache"

started=$(date +%s.%N)
set +e
"$here/make-initramfs.sh" "$kernel" "$check" "$program" "$work/initramfs.gz" 2>"$work/initramfs.log"
rc=$?
set -e
if [ $rc -ne 0 ]; then
  cat "$work/initramfs.log"
  [ $rc -eq 77 ] && skip "$(tail -n 1 "$work/initramfs.log")"
  fail "the initramfs was not built"
fi
built=$(date +%s.%N)

# The sanitizers' shadow memory is reserved, not used; the program and Xvfb need the rest.
boot_guest 1024
booted=$(date +%s.%N)

echo "Guest kernel: $(cat "$kernel/complete") under qemu (tcg); initramfs $(
  awk -v a="$started" -v b="$built" 'BEGIN { printf "%.1f", b - a }') s, guest run $(
  awk -v a="$built" -v b="$booted" 'BEGIN { printf "%.1f", b - a }') s"
grep '^ZIBK: \(PASS\|FAIL\)' "$log.txt" | sed 's/^ZIBK: /  /' || true

if [ $rc -eq 124 ] || [ $rc -eq 137 ]; then
  tail -n 40 "$log.txt"
  fail "the guest did not finish within $boot_timeout s (its last output is above)"
fi
if ! grep -q '^ZIBK: EXIT ' "$log.txt"; then
  tail -n 60 "$log.txt"
  fail "the guest ended before the check finished (qemu exit $rc)"
fi
if ! grep -q "^ZIBK: PASS $name " "$log.txt" || ! grep -q '^ZIBK: EXIT 0$' "$log.txt"; then
  # What the check and the program said after it failed; the kernel's boot messages left out.
  sed -n '/^ZIBK: FAIL /,$p' "$log.txt" | grep -v '^\[ *[0-9.]*\] ' | head -n 120
  fail "see the guest's output above"
fi
echo "The real program's check passed."
