# What the qemu checks share: the stock kernel fetched into a cache, and one boot of it under
# software emulation. Sourced; the caller defines skip and fail (each prints and exits) and sets
# $work, $qemu and $boot_timeout.
# shellcheck shell=bash
# shellcheck disable=SC2154 # work, qemu, boot_timeout and kernel come from the caller

guest_lib_folder=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

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
