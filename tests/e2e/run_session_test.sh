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
passed=0

ok() {
  echo "ok: $*"
  passed=$((passed + 1))
}

# A fresh X server on a free display, with openbox managing its windows.
start_display() {
  start_x_server
  start_window_manager
}

# wait_for_message_box NAME: waits until the program shows its start-up message (this machine
# has no receiver) and checks the box's title.
message_box_of() { [ -n "$(windows_of "$1" '^ZibTVRemote$')" ]; }
wait_for_message_box() {
  wait_for 30 message_box_of "$1" || fail "no message box titled ZibTVRemote from $1"
}

# A settings file as a user's earlier run left it: Key1 is Z.
seed_settings() { printf 'Key1\nZ\n' >"$settings"; }

# Opens the table of the main window (`main`) with the disclosure triangle.
expand() {
  focus_window "$main"
  expand_main_window
}

# type_key ROW TEXT [KEY]: double-clicks the row's Key cell, which opens its editor, and types
# TEXT over the old key; with KEY (Return) the editor closes, without it the editor stays open.
type_key() {
  click_content 197 "$(key_cell_y "$1")" --repeat 2 --delay 80
  sleep 1
  xdotool type --delay 40 "$2"
  [ $# -lt 3 ] || xdotool key "$3"
  sleep 0.3
}

# quit_by_ctrl_q NAME: File > Quit by its shortcut, typed on the keyboard (pressed and released
# through XTEST) into the activated main window, then waits for the end as wait_end does. The
# shortcut goes nowhere until the program counts the window as active, so it is tried again while
# the program runs.
quit_by_ctrl_q() {
  local i
  for ((i = 0; i < 5; i++)); do
    focus_window "$main"
    xdotool key ctrl+q
    wait_for 5 not program_is_running "$1" && break
  done
  wait_end "$1"
}

expect_setting() {
  local value
  value=$(setting "$1")
  [ "$value" = "$2" ] || fail "$3: $1 is \"$value\" in the settings file, not \"$2\""
}

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
