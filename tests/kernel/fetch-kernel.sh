#!/usr/bin/env bash
# Fetches the stock Debian kernel that linux-image-amd64 depends on, once, into a cache folder,
# and keeps only what the guest needs: the kernel image and the input modules.
# Usage: fetch-kernel.sh CACHE_DIR
# Prints the folder that holds vmlinuz and modules/. Exits 77 (and says why on standard error)
# when the kernel cannot be had.
set -euo pipefail

cache=$1
modules=(evdev uinput hid uhid hid-appleir)
mkdir -p "$cache"

skip() {
  echo "kernel package unavailable: $*" >&2
  exit 77
}

# The newest fetched kernel, for when apt cannot answer now.
cached_kernel() {
  local dir
  dir=$(find "$cache" -mindepth 2 -maxdepth 2 -name complete -printf '%h\n' 2>/dev/null |
    sort -V | tail -n 1) || true
  [ -n "$dir" ] && echo "$dir"
}

# The stock kernel package that linux-image-amd64 names, from the lists apt is given.
kernel_package() {
  apt-cache "${apt_options[@]}" depends linux-image-amd64 2>/dev/null |
    awk '$1 == "Depends:" && $2 ~ /^linux-image-[0-9]/ { print $2; exit }' || true
}

apt_options=()
package=$(kernel_package)
if [ -z "$package" ] && [ "$(id -u)" -ne 0 ]; then
  # The machine's package lists were never fetched, and only root may fetch them; apt fetches
  # lists of its own into a folder of ours for anyone.
  lists=$cache/apt
  mkdir -p "$lists/lists/partial" "$lists/cache/archives/partial"
  apt_options=(-o "Dir::State::Lists=$lists/lists" -o "Dir::Cache=$lists/cache")
  apt-get -qq "${apt_options[@]}" update >"$cache/apt-update.log" 2>&1 || tail -n 5 "$cache/apt-update.log" >&2
  package=$(kernel_package)
fi
if [ -z "$package" ]; then
  if dir=$(cached_kernel); then
    echo "$dir"
    exit 0
  fi
  skip "apt does not know linux-image-amd64 (apt-get update not run?)"
fi

dir=$cache/$package
if [ -f "$dir/complete" ]; then
  echo "$dir"
  exit 0
fi

# Another run from the same build folder may be fetching right now.
exec 9>"$cache/lock"
flock 9
if [ -f "$dir/complete" ]; then
  echo "$dir"
  exit 0
fi

work=$(mktemp -d "$cache/fetch.XXXXXX")
trap 'rm -rf "$work"' EXIT
if ! (cd "$work" && apt-get "${apt_options[@]}" download "$package") >"$work/apt.log" 2>&1; then
  tail -n 5 "$work/apt.log" >&2
  if dir=$(cached_kernel); then
    echo "$dir"
    exit 0
  fi
  skip "apt-get download $package failed"
fi
dpkg -x "$work"/*.deb "$work/root" || skip "dpkg -x of $package failed"

rm -rf "$dir"
mkdir -p "$dir/modules"
image=$(find "$work/root/boot" -name 'vmlinuz-*' 2>/dev/null | head -n 1) || true
[ -n "$image" ] || skip "$package holds no kernel image"
cp "$image" "$dir/vmlinuz"
for m in "${modules[@]}"; do
  file=$(find "$work/root/lib/modules" "$work/root/usr/lib/modules" -name "$m.ko*" 2>/dev/null |
    head -n 1) || true
  [ -n "$file" ] || skip "$package has no module $m"
  # Modules may come compressed; busybox insmod is not sure to read every kind, so unpack here.
  case $file in
    *.ko) cp "$file" "$dir/modules/$m.ko" ;;
    *.ko.xz) /bin/busybox xzcat "$file" >"$dir/modules/$m.ko" ;;
    *.ko.gz) gzip -dc "$file" >"$dir/modules/$m.ko" ;;
    *.ko.zst) zstd -qdc "$file" >"$dir/modules/$m.ko" || skip "cannot unpack $file (zstd missing?)" ;;
    *) skip "module $file has an unknown compression" ;;
  esac
done
echo "$package" >"$dir/complete"
echo "$dir"
