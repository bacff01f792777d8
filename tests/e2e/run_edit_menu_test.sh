#!/usr/bin/env bash
# The real program under a virtual X server with a window manager: the Edit menu opened with
# Alt+E acts on the Key cell being edited. The text typed into the first row's Key cell is cut
# through the menu and pasted through it into the second row's; the settings file written at quit
# shows both.
# Usage: run_edit_menu_test.sh <program> <folder of the X helpers>
set -u
program=$1 tools=$2
source "$(dirname "$0")/x_session.sh"
require_tools Xvfb openbox xdotool xprop xwininfo
start_under_window_manager
focus_window "$main" || fail "the main window did not take the focus"

expand_main_window

# Opens the Edit menu from the keyboard and chooses an item by its underlined letter. The keys
# reach the program in the order they are pressed, so the cell's editor has what came before.
edit_menu_by_keyboard() {
  xdotool key alt+e
  wait_for 30 menu_is_open || fail "Alt+E opened no menu"
  xdotool key "$1"
  wait_for 30 not menu_is_open || fail "the Edit menu's \"$2\" did nothing"
}

click_content 197 "$(key_cell_y 1)"
xdotool type q  # starts editing: the cell now holds "q"
xdotool key shift+Home
edit_menu_by_keyboard t Cut
xdotool key Return

click_content 197 "$(key_cell_y 2)"
xdotool key F2  # edits the cell, its text selected
edit_menu_by_keyboard p Paste
xdotool key Return
check_no_key_down "after the edits"

xdotool key ctrl+q
wait_exit "File > Quit by Ctrl+Q"

[ "$(setting Key1)" = "" ] || fail "Cut by the keyboard-opened menu left Key1 \"$(setting Key1)\""
[ "$(setting Key2)" = "q" ] || fail "Paste by the keyboard-opened menu left Key2 \"$(setting Key2)\""
echo "ok: Alt+E then Cut and Paste edited the Key cells"
echo "1 passed, 0 failed"
