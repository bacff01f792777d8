#!/usr/bin/env bash
# Installs the udev rule that gives the logged-in user the remote receiver and /dev/uinput, and
# applies it to the devices that are already there. Needs root once; the program itself never.
set -euo pipefail

rule="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/70-zib-remote.rules"
target=/etc/udev/rules.d/70-zib-remote.rules

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null 2>&1 || { echo "Run this as root: $0" >&2; exit 1; }
  as_root=(sudo)
fi

"${as_root[@]}" install -m 0644 "$rule" "$target"
"${as_root[@]}" udevadm control --reload
"${as_root[@]}" udevadm trigger --action=change --subsystem-match=input --subsystem-match=misc
echo "Installed $target. A receiver plugged in now is yours to read; one already in is too."
