#!/usr/bin/env bash
# Every include in the source tree points the way its folder may look (see
# platform/CMakeLists.txt): prints each one that does not and fails.
# Usage: check_include_directions.sh SOURCE_ROOT
set -uo pipefail
cd "$1" || exit 2
faults=0

# forbid FOLDER_OR_FILES... -- PATTERN WHY: lines of the files that match PATTERN are faults.
forbid() {
  local places=() pattern why found line
  while [ "$1" != -- ]; do places+=("$1"); shift; done
  pattern=$2 why=$3
  found=$(grep -rHnE --include='*.h' --include='*.cpp' "^[[:space:]]*#[[:space:]]*include[[:space:]]*$pattern" \
    "${places[@]}" 2>/dev/null)
  if [ -n "$found" ]; then
    echo "$why:"
    while IFS= read -r line; do echo "  $line"; done <<<"$found"
    faults=1
  fi
}

window_system='<(Q|X11/|xcb/|wayland-|xkbcommon/|linux/)'
forbid platform/*.h -- '"platform/[a-z]+/' "the interfaces include only interfaces"
forbid platform/common -- '"platform/(qt|linux|system|testing)/' \
  "common uses the interfaces alone"
forbid platform/common -- "$window_system" "common is free of Qt, X, Wayland and Linux's own headers"
forbid platform/qt -- '"platform/(linux|system|testing)/' "the window backend does not know linux/"
forbid platform/linux -- '"platform/(qt|system|testing)/' "linux/ does not know the window backend"
forbid settings core shell -- '"platform/[a-z]+/' "the program sees the platform's interfaces only"
forbid settings core shell -- "$window_system" "only platform/ includes Qt, X, Wayland or Linux headers"

if [ ! -f platform/system/SystemAssembly.cpp ]; then
  echo "no platform/ tree at $PWD"
  faults=1
fi
exit "$faults"
