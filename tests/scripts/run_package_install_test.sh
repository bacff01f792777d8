#!/usr/bin/env bash
# What ensure_packages does about a missing package as root, through sudo, and as a user who
# has neither: it announces an install only when it will really try one, and otherwise prints
# the one line that would install the package.
# Usage: run_package_install_test.sh PACKAGES_SH
# The stand-ins and the sourcing shell expand their own variables, not this script's.
# Indenting a text of many lines reads more plainly with sed.
# shellcheck disable=SC2016,SC2001
set -euo pipefail

packages_sh=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# Stand-ins on a PATH of their own, so that neither a real sudo nor a real apt-get is reached.
# `id -u` says $FAKE_UID; dpkg-query knows no package; apt-get and sudo log how they were called.
make_bin() {
  local bin=$1 with_sudo=$2 sudo_needs_password=$3 tool
  mkdir -p "$bin"
  for tool in bash env grep cat true; do ln -s "$(type -P "$tool")" "$bin/$tool"; done
  printf '#!/bin/sh\necho "$FAKE_UID"\n' >"$bin/id"
  printf '#!/bin/sh\nexit 1\n' >"$bin/dpkg-query"
  printf '#!/bin/sh\necho "apt-get $*" >>"$CALLS"\nexit 1\n' >"$bin/apt-get"
  if [ "$with_sudo" = yes ]; then
    cat >"$bin/sudo" <<SUDO
#!/bin/sh
[ "\$1" = -n ] && shift
[ "$sudo_needs_password" = yes ] && exit 1
echo "sudo \$*" >>"\$CALLS"
exec "\$@"
SUDO
  fi
  chmod +x "$bin/id" "$bin/dpkg-query" "$bin/apt-get"
  [ "$with_sudo" = no ] || chmod +x "$bin/sudo"
}

# Case: name, uid, sudo there, sudo wants a password; then what must and must not be printed
# and whether apt-get must be called.
check() {
  local name=$1 uid=$2 with_sudo=$3 password=$4 must=$5 must_not=$6 apt_called=$7
  local dir=$work/$name out rc=0
  make_bin "$dir/bin" "$with_sudo" "$password"
  out=$(cd "$dir" && env -i PATH="$dir/bin" FAKE_UID="$uid" CALLS="$dir/calls" \
    bash -c 'source "$1" && ensure_packages zz-missing' _ "$packages_sh" 2>&1 </dev/null) || rc=$?
  local why=()
  [ $rc -eq 1 ] || why+=("exit status $rc, not 1")
  grep -qF -- "$must" <<<"$out" || why+=("no \"$must\"")
  [ -z "$must_not" ] || ! grep -qF -- "$must_not" <<<"$out" || why+=("printed \"$must_not\"")
  if [ "$apt_called" = yes ]; then
    grep -q '^apt-get .*update' "$dir/calls" 2>/dev/null || why+=("apt-get was not called")
  elif [ -s "$dir/calls" ]; then
    why+=("called: $(cat "$dir/calls")")
  fi
  if [ ${#why[@]} -eq 0 ]; then
    echo "ok: $name"
  else
    failures=$((failures + 1))
    echo "FAIL: $name: ${why[*]}"
    sed 's/^/    /' <<<"$out"
  fi
}

check user-without-sudo 1000 no no \
  "  apt-get update && apt-get install -y --no-install-recommends zz-missing" Installing no
check user-without-sudo-says-why 1000 no no \
  "Could not install the packages this project needs: zz-missing" sudo no
check user-whose-sudo-wants-a-password 1000 yes yes \
  "  sudo apt-get update && sudo apt-get install -y --no-install-recommends zz-missing" \
  Installing no
check user-with-sudo 1000 yes no "Installing missing packages: zz-missing" "" yes
check root 0 no no "Installing missing packages: zz-missing" sudo yes

# Nothing missing: nothing said, nothing called.
dir=$work/nothing-missing
make_bin "$dir/bin" no no
printf '#!/bin/sh\necho "install ok installed"\n' >"$dir/bin/dpkg-query"
out=$(env -i PATH="$dir/bin" FAKE_UID=1000 CALLS="$dir/calls" \
  bash -c 'source "$1" && ensure_packages cmake' _ "$packages_sh" 2>&1) || failures=$((failures + 1))
if [ -n "$out" ] || [ -s "$dir/calls" ]; then
  failures=$((failures + 1))
  echo "FAIL: nothing-missing: said \"$out\""
else
  echo "ok: nothing-missing"
fi

[ $failures -eq 0 ]
