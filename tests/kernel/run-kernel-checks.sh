#!/usr/bin/env bash
# Boots a stock Debian kernel under qemu with the receiver and keyboard checks as its init
# program, and reports what the guest found.
# Usage: run-kernel-checks.sh WORK_DIR GUEST_PROGRAM [SESSION_PROGRAM]
# Exits 0 when every check passed, 1 when one failed or the guest did not finish, 77 when qemu,
# busybox or the kernel package cannot be had (it says which).
set -euo pipefail

work=$1
guest=$2
session=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
boot_timeout=${ZIBK_QEMU_TIMEOUT:-300}

# shellcheck source=guest-lib.sh
source "$here/guest-lib.sh"

require_qemu

fetch_started=$(date +%s.%N)
fetch_kernel "$work/cache"
make_initramfs "$here/make-initramfs.sh" "$kernel" "$guest" "$session"

boot_guest 256
booted=$(date +%s.%N)

passes=$(grep -c '^ZIBK: PASS ' "$log.txt" || true)
fails=$(grep -c '^ZIBK: FAIL ' "$log.txt" || true)
echo "Guest kernel: $(cat "$kernel/complete") under qemu (tcg); kernel fetch $(
  awk -v a="$fetch_started" -v b="$started" 'BEGIN { printf "%.1f", b - a }') s, initramfs $(
  awk -v a="$started" -v b="$built" 'BEGIN { printf "%.1f", b - a }') s, guest run $(
  awk -v a="$built" -v b="$booted" 'BEGIN { printf "%.1f", b - a }') s"
grep '^ZIBK: \(PASS\|FAIL\)' "$log.txt" | sed 's/^ZIBK: /  /' || true

if [ $rc -eq 124 ] || [ $rc -eq 137 ]; then
  echo "The guest did not finish within $boot_timeout s. Its last output:"
  tail -n 30 "$log.txt"
  exit 1
fi
if ! grep -q '^ZIBK: EXIT ' "$log.txt"; then
  echo "The guest ended before the checks finished (qemu exit $rc). Its output:"
  tail -n 40 "$log.txt"
  exit 1
fi
if [ "$fails" -ne 0 ] || [ "$passes" -eq 0 ] || ! grep -q '^ZIBK: EXIT 0$' "$log.txt"; then
  echo "FAILED: $fails of $((passes + fails)) kernel checks. Guest kernel messages:"
  grep -v "^ZIBK: " "$log.txt" | tail -n 60
  exit 1
fi
echo "All $passes kernel checks passed."
