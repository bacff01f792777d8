# What the qemu checks share: the stock kernel fetched into a cache, and one boot of it under
# software emulation. Sourced; the caller sets $work and $boot_timeout, and $name where its
# messages should name its check.
# shellcheck shell=bash
# shellcheck disable=SC2154 # work, qemu, boot_timeout and kernel come from the caller

guest_lib_folder=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

skip() {
  echo "SKIPPED: ${name:+$name: }$*"
  exit 77
}
fail() {
  echo "FAILED: ${name:+$name: }$*"
  exit 1
}

# require_qemu: sets $qemu, or skips naming what is missing; makes $work.
require_qemu() {
  qemu=$(command -v qemu-system-x86_64 || true)
  [ -n "$qemu" ] || skip "qemu-system-x86_64 is not installed (Debian package qemu-system-x86)"
  command -v cpio >/dev/null || skip "cpio is not installed"
  mkdir -p "$work"
}

# fetch_kernel CACHE: sets $kernel to the folder of the unpacked kernel package.
fetch_kernel() {
  local rc
  set +e
  kernel=$("$guest_lib_folder/fetch-kernel.sh" "$1" 2>"$work/fetch.log")
  rc=$?
  set -e
  [ $rc -eq 0 ] && return 0
  cat "$work/fetch.log"
  [ $rc -eq 77 ] && skip "$(tail -n 1 "$work/fetch.log")"
  fail "fetching the kernel failed"
}

# boot_guest MEMORY_MB: boots $kernel with $work/initramfs.gz, its console in $log and, without
# carriage returns, in $log.txt; sets $rc to qemu's status (124 or 137: out of time).
# Software emulation only: stock kernels hang on the nested /dev/kvm of CI machines.
boot_guest() {
  log=$work/guest.log
  set +e
  timeout --kill-after=10 "$boot_timeout" "$qemu" \
    -accel tcg -machine pc -m "$1" -smp 2 \
    -nodefaults -display none -serial stdio -no-reboot \
    -kernel "$kernel/vmlinuz" -initrd "$work/initramfs.gz" \
    -append "console=ttyS0 quiet panic=-1" </dev/null >"$log" 2>&1
  rc=$?
  set -e
  tr -d '\r' <"$log" >"$log.txt"
}

# make_initramfs SCRIPT ARG...: builds $work/initramfs.gz with SCRIPT ARG... OUTPUT; skips when
# the script says something is missing (status 77). Sets $started and $built for the report.
make_initramfs() {
  local status
  started=$(date +%s.%N)
  set +e
  "$@" "$work/initramfs.gz" 2>"$work/initramfs.log"
  status=$?
  set -e
  if [ $status -ne 0 ]; then
    cat "$work/initramfs.log"
    [ $status -eq 77 ] && skip "$(tail -n 1 "$work/initramfs.log")"
    fail "the initramfs was not built"
  fi
  built=$(date +%s.%N)
}

# report_checks NAME...: after boot_guest, the timings and the guest's verdict on the checks
# NAME...; fails, with the guest's output after the first failure, unless every one passed.
report_checks() {
  local booted check missing=()
  booted=$(date +%s.%N)
  echo "Guest kernel: $(cat "$kernel/complete") under qemu (tcg); initramfs $(
    awk -v a="$started" -v b="$built" 'BEGIN { printf "%.1f", b - a }') s, guest run $(
    awk -v a="$built" -v b="$booted" 'BEGIN { printf "%.1f", b - a }') s"
  grep '^zibk-init: \|^ZIBK: \(PASS\|FAIL\)' "$log.txt" | sed 's/^ZIBK: /  /' || true

  if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
    tail -n 40 "$log.txt"
    fail "the guest did not finish within $boot_timeout s (its last output is above)"
  fi
  if ! grep -q '^ZIBK: EXIT ' "$log.txt"; then
    tail -n 60 "$log.txt"
    fail "the guest ended before the check finished (qemu exit $rc)"
  fi
  for check in "$@"; do
    grep -q "^ZIBK: PASS $check " "$log.txt" || missing+=("$check")
  done
  if [ ${#missing[@]} -gt 0 ] || ! grep -q '^ZIBK: EXIT 0$' "$log.txt"; then
    # What the check and the programs said after it failed; the kernel's boot messages left out.
    sed -n '/^ZIBK: FAIL /,$p' "$log.txt" | grep -v '^\[ *[0-9.]*\] ' | head -n 250
    fail "${missing[*]:-the guest} did not pass; see the guest's output above"
  fi
}
