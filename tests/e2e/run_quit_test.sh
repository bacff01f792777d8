#!/usr/bin/env bash
# Runs the real program on a virtual X server with a fresh config folder, quits it through
# File > Quit and through the window's close box, and compares the settings file it leaves with
# the expected default table, byte for byte.
# Usage: run_quit_test.sh <program> <folder of the X helpers> <expected settings file>
set -u
program=$1 tools=$2 expected=$3
source "$(dirname "$0")/x_session.sh"
require_tools Xvfb xdotool xprop

start_x_server

check_settings() {
  cmp "$settings" "$expected" || {
    diff <(cat -A "$settings") <(cat -A "$expected") | head -20
    fail "settings file after $1 differs from the expected default table"
  }
  echo "ok: $1 wrote the expected 140 lines"
}

# File > Quit, chosen in the menu with the mouse, then by its shortcut.
start_program
open_main_window
focus_window "$main"
# The menu bar is at the window's top; "Quit" is the File menu's first item, below it.
xdotool mousemove --window "$main" 20 9 click 1
wait_for 30 menu_is_open || fail "the File menu did not open"
xdotool mousemove --window "$main" 40 30 click 1
wait_exit "File > Quit chosen in the menu"
check_settings "File > Quit chosen in the menu"

rm -f "$settings"
start_program
open_main_window
focus_window "$main"
xdotool key ctrl+q
wait_exit "File > Quit by Ctrl+Q"
check_settings "File > Quit by Ctrl+Q"

rm -f "$settings"
start_program
open_main_window
"$tools/x_close_window" "$main"
wait_exit "the close box"
check_settings "the close box"
check_no_key_down "at the end"
echo "3 passed, 0 failed"
