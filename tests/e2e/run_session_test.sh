#!/usr/bin/env bash
# The real program at the edges of a desktop session, on a virtual X server with a window
# manager (openbox). Usage: run_session_test.sh <case> <program> <folder of the X helpers>, with <case> one of:
#   display_lost  the X server killed under the program: a status that is not a signal, one line
#                 of ours on standard error, the edits saved
set -u
case_name=$1 program=$2 tools=$3
source "$(dirname "$0")/x_session.sh"
require_tools Xvfb xdotool xprop openbox

start_session
mkdir -p "$XDG_CONFIG_HOME"

case_display_lost() {
  start_display
  local status lines
  start_program lost
  open_main_window lost
  expand
  type_key 1 Q Return
  type_key 3 R
  check_no_key_down "after the edits"
  kill_x_server
  wait_end lost
  { [ "$status" -ne 0 ] && [ "$status" -lt 128 ]; } ||
    fail "exit status $status after the X server went away"
  ok "the program ended with status $status, not by a signal"
  lines=$(wc -l <"$work/lost.err")
  { [ "$lines" -eq 1 ] && grep -q '^ZibTVRemote: lost the connection to the display; ' "$work/lost.err"; } ||
    fail "standard error is not our one line"
  ok "one line on standard error: $(cat "$work/lost.err")"
  expect_setting Key1 Q "after the X server went away"
  expect_setting Key3 R "after the X server went away"
  ok "the edits were saved"

  # Lost while the start-up message is up: nothing was read, so nothing may be written.
  start_display
  seed_settings
  start_program starting
  wait_for_message_box starting
  kill_x_server
  wait_end starting
  { [ "$status" -eq 1 ] && [ "$(wc -l <"$work/starting.err")" -eq 1 ]; } ||
    fail "lost during the start-up: exit status $status"
  expect_setting Key1 Z "after the X server went away during the start-up"
  ok "lost during the start-up: status 1, one line, the stored table kept"
}

case "$case_name" in
  display_lost) "case_$case_name" ;;
  *) fail "no case $case_name" ;;
esac
echo "$passed passed, 0 failed"
