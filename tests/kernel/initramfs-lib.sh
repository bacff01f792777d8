# Helpers for the scripts that build a guest's initramfs. Sourced; $root is the image's folder.
# shellcheck shell=bash

# True for a program that loads no shared library: the guest has no C library of its own.
is_static() { [ -x "$1" ] && ! LC_ALL=C ldd "$1" >/dev/null 2>&1; }

# A program and the libraries it loads, at their own paths, the loader among them.
copy_with_libraries() {
  local file lib
  : "${root:?}"
  for file in "$@"; do
    mkdir -p "$root$(dirname "$file")"
    cp -L "$file" "$root$file"
    for lib in $(LC_ALL=C ldd "$file" | awk '$2 == "=>" && $3 ~ /^\// { print $3 } $1 ~ /^\// { print $1 }'); do
      [ -e "$root$lib" ] && continue
      mkdir -p "$root$(dirname "$lib")"
      cp -L "$lib" "$root$lib"
    done
  done
}

# require_programs PATH=PACKAGE...: a static busybox and each program, or exits 77 naming the
# Debian package to install.
require_programs() {
  local pair
  is_static /bin/busybox || { echo "no static busybox at /bin/busybox (install busybox-static)" >&2; exit 77; }
  for pair in "$@"; do
    [ -x "${pair%%=*}" ] ||
      { echo "${pair%%=*} is not installed (Debian package ${pair#*=})" >&2; exit 77; }
  done
}
