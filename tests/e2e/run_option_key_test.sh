#!/usr/bin/env bash
# Starts the real program on a virtual X server with Alt held (pressed through XTest before the
# start, released once the window has opened) over a stored table that is not the default one,
# and checks the reset: once the window has opened the settings file is empty, and closing the
# window then saves the default table.
# Usage: run_option_key_test.sh <program> <folder of the X helpers> <default settings file>
set -u
program=$1 tools=$2 defaults=$3
source "$(dirname "$0")/x_session.sh"
require_tools Xvfb xdotool

start_x_server

# A stored table that is not the default one (Key1 "Z" with SHIFT), and an entry of another name:
# a reset loses both.
mkdir -p "$XDG_CONFIG_HOME"
sed -e '2s/.*/Z/' -e '4s/.*/true/' "$defaults" >"$settings"
printf 'Other\nkept\n' >>"$settings"
cmp -s "$settings" "$defaults" && fail "the stored table is the default one"

coproc holder { exec "$tools/x_hold_key" Alt_L 2>"$work/hold.log"; }
# shellcheck disable=SC2154 # holder_PID is set by coproc
end_at_exit "$holder_PID"
read -r -t 30 state <&"${holder[0]}"
[ "${state:-}" = down ] || fail "cannot hold Alt: $(cat "$work/hold.log")"
start_program

# The window has opened once it carries its versioned title, which is set after the table is
# loaded. The message box before it (no receiver on this machine) is closed as its close box
# would: a key to dismiss it would arrive with Alt held.
open_main_window app close
if [ ! -f "$settings" ] || [ -s "$settings" ]; then
  fail "with Alt held the settings file was not reset at the start; it begins:$(echo; head -n 6 "$settings")"
fi

echo >&"${holder[1]}"
read -r -t 30 state <&"${holder[0]}"
[ "${state:-}" = up ] || fail "cannot release Alt: $(cat "$work/hold.log")"
"$tools/x_close_window" "$main"
wait_exit "its window was closed"
cmp -s "$settings" "$defaults" || {
  diff <(cat -A "$settings") <(cat -A "$defaults") | head -20
  fail "the table saved after the reset is not the default one"
}
check_no_key_down "at the end"
echo "ok: Alt held at the start reset the stored table to the defaults"
