#!/usr/bin/env bash
# The include check passes on the source tree, and fails on each kind of wrong-way include
# planted alone in a small tree (a check that cannot fail would pass for good).
# Usage: run_include_directions_test.sh SOURCE_ROOT
set -uo pipefail
check=$(dirname "$0")/check_include_directions.sh
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

if ! output=$("$check" "$root"); then
  echo "FAIL: the source tree has wrong-way includes:"
  echo "$output"
  failures=1
fi

# file <tab> the include planted in it
cases=$(cat <<'CASES'
platform/common/AppleRemote.cpp	#include "platform/qt/MainLoop.h"
platform/common/Plugins.cpp	#include "platform/linux/Backends.h"
platform/common/Keyboard.cpp	#include <QGuiApplication>
platform/common/FilesPosix.cpp	# include <X11/Xlib.h>
platform/qt/Session.cpp	#include "platform/linux/display/DisplayProbe.h"
platform/qt/Runtime.cpp	#include "platform/system/Anything.h"
platform/linux/remote/EvdevReceiver.cpp	#include "platform/qt/MainLoop.h"
platform/Plugins.h	#include "platform/linux/Backends.h"
shell/App.cpp	#include "platform/qt/WindowImpl.h"
core/Window1Layout.cpp	#include <QWidget>
CASES
)
while IFS=$'\t' read -r file include; do
  tree=$work/tree
  rm -rf "$tree"
  mkdir -p "$tree/platform/system" "$tree/$(dirname "$file")"
  echo '#include "platform/Runtime.h"' >"$tree/platform/system/SystemAssembly.cpp"
  printf '#include "platform/Runtime.h"\n%s\n' "$include" >"$tree/$file"
  if output=$("$check" "$tree"); then
    echo "FAIL: not caught: $include in $file"
    failures=1
  elif ! grep -qF "$file:2:" <<<"$output"; then
    echo "FAIL: $include in $file caught without naming it:"
    echo "$output"
    failures=1
  fi
done <<<"$cases"

exit "$failures"
