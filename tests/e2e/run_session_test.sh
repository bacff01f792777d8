#!/usr/bin/env bash
# The real program at the edges of a desktop session, on a virtual X server with a window
# manager (openbox). Usage: run_session_test.sh <case> <program>, with <case> one of:
#   second_start  a second start hands over to the running copy and exits 0; the first shows its
#                 main window again and saves its own edits at quit; a copy that was killed does
#                 not keep the next start out
#   signals       SIGTERM, SIGHUP and SIGINT quit as File > Quit does: status 0, the edits saved
#   display_lost  the X server killed under the program: a status that is not a signal, one line
#                 of ours on standard error, the edits saved
#   no_display    no display at all: status 1 and one line of ours on standard error
set -u
case_name=$1 program=$2

for tool in Xvfb xdotool xprop openbox; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
pids=()                # every process started here, ended at exit
declare -A pid=()      # the program's runs by name
cleanup() {
  local p
  for p in "${pids[@]}"; do
    kill -KILL "$p" 2>/dev/null && wait "$p" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT
unset QT_QPA_PLATFORM WAYLAND_DISPLAY DISPLAY
export XDG_CONFIG_HOME="$work/config" HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_CONFIG_HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"
settings="$XDG_CONFIG_HOME/ZibRemote.ini"
passed=0

fail() {
  echo "FAIL: $*" >&2
  for log in "$work"/*.out "$work"/*.err; do
    [ -s "$log" ] && { echo "--- $log"; cat "$log"; }
  done >&2
  exit 1
}
ok() {
  echo "ok: $*"
  passed=$((passed + 1))
}

# Polls `$@` every 0.1 s for up to $wait_limit seconds.
wait_limit=30
wait_for() {
  local i
  for ((i = 0; i < wait_limit * 10; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

has_wm() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

# A fresh X server on a free display, with openbox managing its windows.
start_display() {
  exec 3>"$work/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  pids+=("$xvfb_pid")
  wait_for test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  DISPLAY=":$(cat "$work/display")"
  export DISPLAY
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  pids+=($!)
  wait_for has_wm || fail "openbox did not start: $(cat "$work/openbox.log")"
}

# start_program NAME: runs the program in the background, its output in NAME.out and NAME.err;
# its process id lands in pid[NAME]. SIGINT gets its default action back (bash leaves it ignored
# in background jobs), so that the program can catch it.
start_program() {
  env --default-signal=INT "$program" >"$work/$1.out" 2>"$work/$1.err" &
  pid[$1]=$!
  pids+=($!)
}

# wait_exit NAME: waits for the program to end and sets `status` to its exit status (in this
# shell: only the shell that started it can wait for it).
gone() { ! kill -0 "$1" 2>/dev/null; }
wait_exit() {
  wait_for gone "${pid[$1]}" || fail "$1 did not end"
  wait "${pid[$1]}"
  status=$?
}

main_title='^ZibTVRemote v\.1\.0\.0$'

# wait_for_message_box NAME: waits until the program shows its start-up message (this machine
# has no receiver) and checks the box's title.
message_box_of() { xdotool search --all --onlyvisible --pid "$1" --name '^ZibTVRemote$' >/dev/null 2>&1; }
wait_for_message_box() {
  wait_for message_box_of "${pid[$1]}" || fail "no message box titled ZibTVRemote from $1"
}

# A settings file as a user's earlier run left it: Key1 is Z.
seed_settings() { printf 'Key1\nZ\n' >"$settings"; }

main_windows() { xdotool search --onlyvisible --name "$main_title" 2>/dev/null; }
only_main_window_is() { [ "$(main_windows)" = "$1" ]; }

# find_main_window NAME: dismisses the no-receiver message (this machine has no receiver) and
# prints the main window's id once it is shown.
find_main_window() {
  local win box i
  for ((i = 0; i < 150; i++)); do
    win=$(xdotool search --all --onlyvisible --pid "${pid[$1]}" --name "$main_title" 2>/dev/null |
      head -n 1)
    if [ -n "$win" ]; then
      echo "$win"
      return 0
    fi
    box=$(xdotool search --onlyvisible --pid "${pid[$1]}" 2>/dev/null | head -n 1)
    if [ -n "$box" ]; then
      xdotool windowactivate --sync "$box" 2>/dev/null
      xdotool key --window "$box" Return 2>/dev/null
    fi
    sleep 0.2
  done
  fail "the main window of $1 did not appear"
}

# bar_height WINDOW CONTENT_HEIGHT: the main window's menu bar height, from its whole height
# and its content's (50 pixels collapsed, 315 expanded).
bar_height() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  echo $((HEIGHT - $2))
}

window_height() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  [ "$HEIGHT" -eq "$2" ]
}

# expand WINDOW: opens the table with the disclosure triangle.
expand() {
  local bar
  bar=$(bar_height "$1" 50)
  xdotool windowactivate --sync "$1" 2>/dev/null
  xdotool mousemove --window "$1" 180 $((bar + 23)) click 1
  wait_for window_height "$1" $((bar + 315)) || fail "the table did not open"
}

# type_key WINDOW ROW TEXT [Return]: double-clicks the row's Key cell (rows from 1), which opens
# its editor, and types TEXT over the old key; with Return the editor closes, without it the
# editor stays open.
type_key() {
  local bar y
  bar=$(bar_height "$1" 315)
  # The list's top, its heading, then 16-pixel rows; the Key column follows the 150-pixel one.
  y=$((bar + 48 + 18 + ($2 - 1) * 16 + 8))
  xdotool mousemove --window "$1" 197 "$y" click --repeat 2 --delay 80 1
  sleep 1
  xdotool type --delay 40 "$3"
  [ $# -lt 4 ] || xdotool key "$4"
  sleep 0.3
}

# quit_by_ctrl_q NAME WINDOW: File > Quit by its shortcut, typed on the keyboard (pressed and
# released through XTEST) into the activated window, then waits for the end as wait_exit does.
# The shortcut goes nowhere until the program counts the window as active, so it is tried again
# while the program runs.
quit_by_ctrl_q() {
  local i
  for ((i = 0; i < 5; i++)); do
    xdotool windowactivate --sync "$2" 2>/dev/null
    xdotool key ctrl+q
    wait_limit=5 wait_for gone "${pid[$1]}" && break
  done
  wait_exit "$1"
}

# setting NAME: the value line after NAME in the settings file.
setting() { awk -v name="$1" 'found { print; exit } $0 == name { found = 1 }' "$settings"; }

expect_setting() {
  local value
  value=$(setting "$1")
  [ "$value" = "$2" ] || fail "$3: $1 is \"$value\" in the settings file, not \"$2\""
}

case_second_start() {
  start_display
  start_program first
  local win status before
  wait_for_message_box first
  ok "the message box is titled ZibTVRemote"
  win=$(find_main_window first) || exit 1
  expand "$win"
  type_key "$win" 1 Q Return
  xdotool windowminimize --sync "$win"
  [ -z "$(main_windows)" ] || fail "the main window did not minimise"
  before=$(md5sum <"$settings")

  start_program second
  wait_exit second
  [ "$status" -eq 0 ] || fail "the second start ended with status $status"
  ok "the second start handed over and exited 0"
  kill -0 "${pid[first]}" 2>/dev/null || fail "the first copy ended"
  wait_for only_main_window_is "$win" ||
    fail "not just the first copy's main window is shown: $(main_windows | tr '\n' ' ')"
  [ "$(xdotool search --name "$main_title" | wc -l)" -eq 1 ] || fail "more than one main window"
  ok "one main window, the first copy's, shown again"
  [ "$(md5sum <"$settings")" = "$before" ] || fail "the second start changed the settings file"
  [ ! -s "$work/second.err" ] || fail "the second start wrote to standard error"

  # A copy that holds the session but cannot answer (stopped here) is waited for, then reported.
  kill -STOP "${pid[first]}"
  start_program third
  wait_exit third
  kill -CONT "${pid[first]}"
  if [ "$status" -ne 1 ] ||
    ! grep -q '^ZibTVRemote is running already but does not answer' "$work/third.err"; then
    fail "a start beside a stopped copy: status $status"
  fi
  ok "a start beside a copy that does not answer gave up with status 1 and our line"
  : >"$work/third.err"

  quit_by_ctrl_q first "$win"
  [ "$status" -eq 0 ] || fail "the first copy ended with status $status"
  expect_setting Key1 Q "after the first copy quit"
  ok "the first copy ran on and saved its own edit at quit"

  # A copy killed outright leaves its lock behind; the next start takes it over.
  start_program killed
  find_main_window killed >/dev/null || exit 1
  kill -KILL "${pid[killed]}"
  wait_exit killed
  ls "$XDG_RUNTIME_DIR"/*.lock >/dev/null 2>&1 || fail "the killed copy left no lock to test with"
  start_program next
  win=$(find_main_window next) || exit 1
  quit_by_ctrl_q next "$win"
  [ "$status" -eq 0 ] || fail "the start after a killed copy ended with status $status"
  ok "the lock of a killed copy did not keep the next start out"
}

case_signals() {
  start_display
  local signal status win row=0 letters=(T H I)
  for signal in TERM HUP INT; do
    rm -f "$settings"
    start_program "$signal"
    win=$(find_main_window "$signal") || exit 1
    expand "$win"
    # One edit finished with Return, one still in its open editor.
    type_key "$win" 1 "${letters[row]}" Return
    type_key "$win" 2 "${letters[row]}2"
    kill -"$signal" "${pid[$signal]}"
    wait_exit "$signal"
    [ "$status" -eq 0 ] || fail "SIG$signal: exit status $status"
    expect_setting Key1 "${letters[row]}" "after SIG$signal"
    expect_setting Key2 "${letters[row]}2" "after SIG$signal"
    [ -z "$(ls -A "$XDG_RUNTIME_DIR")" ] || fail "SIG$signal left $(ls "$XDG_RUNTIME_DIR")"
    ok "SIG$signal quit with status 0 and saved both edits"
    row=$((row + 1))
  done

  # While the start-up message still waits for an answer, the table has not been read yet:
  # the quit closes the message, lets the start-up finish and saves the table it read.
  seed_settings
  start_program starting
  wait_for_message_box starting
  kill -TERM "${pid[starting]}"
  wait_exit starting
  [ "$status" -eq 0 ] || fail "SIGTERM during the start-up message: exit status $status"
  expect_setting Key1 Z "after SIGTERM during the start-up message"
  ok "SIGTERM during the start-up message quit with status 0 and kept the stored table"
}

case_display_lost() {
  start_display
  local status win lines
  start_program lost
  win=$(find_main_window lost) || exit 1
  expand "$win"
  type_key "$win" 1 Q Return
  type_key "$win" 3 R
  kill -KILL "$xvfb_pid"
  wait_exit lost
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
  kill -KILL "$xvfb_pid"
  wait_exit starting
  { [ "$status" -eq 1 ] && [ "$(wc -l <"$work/starting.err")" -eq 1 ]; } ||
    fail "lost during the start-up: exit status $status"
  expect_setting Key1 Z "after the X server went away during the start-up"
  ok "lost during the start-up: status 1, one line, the stored table kept"
}

case_no_display() {
  local display status expected
  for display in "" ":65000"; do
    if [ -z "$display" ]; then
      expected='(DISPLAY is not set, and WAYLAND_DISPLAY is not set)'
      start_program none
    else
      expected="(no X server answers at DISPLAY=$display, and WAYLAND_DISPLAY is not set)"
      DISPLAY=$display start_program none
    fi
    wait_exit none
    [ "$status" -eq 1 ] || fail "DISPLAY=\"$display\": exit status $status"
    [ "$(cat "$work/none.err")" = \
      "ZibTVRemote needs a graphical session and found no X11 or Wayland display $expected." ] ||
      fail "DISPLAY=\"$display\": standard error is not our one line"
    [ -z "$(find "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" -mindepth 1)" ] || fail "files were left behind"
    ok "DISPLAY=\"$display\": status 1 and our line"
  done
}

case "$case_name" in
  second_start | signals | display_lost | no_display) "case_$case_name" ;;
  *) fail "no case $case_name" ;;
esac
echo "$passed passed, 0 failed"
