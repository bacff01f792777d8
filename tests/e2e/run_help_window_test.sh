#!/usr/bin/env bash
# The real program under a virtual X server with a window manager: "?" brings back the one help
# window when it was minimised and when it lies behind the main window, and gives it the focus.
# Usage: run_help_window_test.sh <program> <folder of the X helpers>
set -u
program=$1 tools=$2
source "$(dirname "$0")/x_session.sh"
require_tools Xvfb openbox xdotool xprop xwininfo
start_under_window_manager

# Presses "?" with the mouse, as the user does, on the main window brought to the front.
press_help() {
  focus_window "$main" || fail "the main window did not take the focus"
  click_content 441 25
}

# Checks that the help window `help` is shown, is the only one and has the focus.
expect_help_in_front() {
  wait_for 30 is_viewable "$help" || fail "$1: the help window is not shown"
  wait_for 30 has_focus "$help" ||
    fail "$1: the focus is on window $(xdotool getwindowfocus), not on the help window $help"
  [ "$(help_windows | wc -l)" -eq 1 ] || fail "$1: more than one help window"
  echo "ok: $1"
}

press_help
wait_for 30 help_is_shown || fail "\"?\" opened no help window"
help=$(help_windows | head -n 1)
expect_help_in_front "\"?\" opens the help window"

xdotool windowminimize --sync "$help"
wait_for 30 not is_viewable "$help" || fail "the help window could not be minimised"
press_help
expect_help_in_front "\"?\" shows the minimised help window again"

# The main window moved over the help window and brought to the front hides it.
read -r x y < <(xdotool getwindowgeometry "$help" |
  sed -n 's/.*Position: \([0-9]*\),\([0-9]*\).*/\1 \2/p')
xdotool windowmove --sync "$main" "$x" "$y"
focus_window "$main"
# The window manager's stacking order lists the topmost window last.
is_on_top() { [ $(($(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*[#,] //'))) -eq "$1" ]; }
wait_for 30 is_on_top "$main" || fail "the main window did not come to the front"
press_help
wait_for 30 is_on_top "$help" || fail "\"?\" left the help window behind the main window"
expect_help_in_front "\"?\" brings the help window from behind the main window"

check_no_key_down "at the end"
focus_window "$main"
xdotool key ctrl+q
wait_exit "File > Quit by Ctrl+Q"
echo "3 passed, 0 failed"
