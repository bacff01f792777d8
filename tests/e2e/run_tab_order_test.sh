#!/usr/bin/env bash
# The real program under a virtual X server with a window manager: Tab moves from control to
# control, passing over the table in one step. From "Turn On", one Tab reaches "?" on the
# collapsed window and three Tabs ("Exclusive mode", the table, "?") on the expanded one; Space
# there opens the help window, which no other control does.
# Usage: run_tab_order_test.sh <program> <folder of the X helpers>
set -u
program=$1 tools=$2
source "$(dirname "$0")/x_session.sh"
require_tools Xvfb openbox xdotool xprop xwininfo
start_under_window_manager

# Starts at "Turn On": two clicks leave it with the focus and the listening switched off again.
tabs_reach_help() {
  local tabs=$1 what=$2 help
  focus_window "$main" || fail "the main window did not take the focus"
  click_content 92 24
  click_content 92 24
  for _ in $(seq "$tabs"); do xdotool key Tab; done
  xdotool key space
  wait_for 30 help_is_shown || fail "$what: \"?\" did not have the focus after $tabs Tab"
  check_no_key_down "after $what"
  help=$(help_windows | head -n 1)
  "$tools/x_close_window" "$help"
  wait_for 30 not help_is_shown || fail "the help window did not close"
  echo "ok: $what"
}

tabs_reach_help 1 "collapsed window, Tab from \"Turn On\""

expand_main_window
tabs_reach_help 3 "expanded window, three Tabs from \"Turn On\""

focus_window "$main"
xdotool key ctrl+q
wait_exit "File > Quit by Ctrl+Q"
echo "2 passed, 0 failed"
