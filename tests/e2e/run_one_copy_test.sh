#!/usr/bin/env bash
# One copy of the program per settings file, on virtual X servers with a window manager
# (openbox). Usage: run_one_copy_test.sh <case> <program> <folder of the X helpers>, with <case>
# one of:
#   same_display     starts on every spelling of the running copy's X server hand over and exit
#                    0: one main window, the running copy's, shown again; the settings file
#                    untouched until that copy saves its own edit at quit; a copy that does not
#                    answer is reported; a copy that was killed does not keep the next start out
#   other_display    a start on a second X server opens nothing: one line naming the running
#                    copy's display, status 1, the settings file untouched
#   left_over_locks  empty, garbled and another machine's lock files: a normal start
#   runtime_folder   with XDG_RUNTIME_DIR unset, or a folder others may enter: nothing said, and
#                    the copy is still the only one, its socket in a folder of the user's own
#   during_grab      while another client holds the X server, the running copy answers a
#                    hand-over on its socket at once; once the grab ends its window is back, not
#                    minimised, with the focus, and the copy still quits
set -u
case_name=$1 program=$2 tools=$3
source "$(dirname "$0")/x_session.sh"
require_tools Xvfb xdotool xprop openbox

start_session
mkdir -p "$XDG_CONFIG_HOME"
lock="$XDG_CONFIG_HOME/ZibTVRemote.lock"

main_windows() { xdotool search --onlyvisible --name "$main_title" 2>/dev/null; }
only_main_window_is() { [ "$(main_windows)" = "$1" ]; }
main_window_count() { xdotool search --name "$main_title" 2>/dev/null | wc -l; }

# The settings file as it stands: its content and the time it was last written.
settings_state() { stat -c '%y %s' "$settings" && md5sum <"$settings"; }

# Minimises the main window. The window manager may still be carrying out the last hand-over's
# raise when the request comes, and then puts the window back: it is asked again.
minimise_main() {
  local i
  for ((i = 0; i < 3; i++)); do
    xdotool windowminimize --sync "$main" 2>/dev/null
    wait_for 5 test -z "$(main_windows)" && return 0
  done
  fail "the main window did not minimise"
}

# hands_over NAME WHAT: runs the program as NAME (in the caller's environment), which must hand
# over to the copy `first` and leave the settings file as it was.
hands_over() {
  local before
  before=$(settings_state)
  minimise_main
  start_program "$1"
  wait_end "$1"
  [ "$status" -eq 0 ] || fail "$2: the second start ended with status $status"
  [ ! -s "$work/$1.err" ] || fail "$2: the second start wrote to standard error"
  program_is_running first || fail "$2: the first copy ended"
  wait_for 30 only_main_window_is "$main" ||
    fail "$2: not just the first copy's main window is shown: $(main_windows | tr '\n' ' ')"
  [ "$(main_window_count)" -eq 1 ] || fail "$2: more than one main window"
  [ "$(settings_state)" = "$before" ] || fail "$2: the second start wrote the settings file"
}

case_same_display() {
  start_display tcp
  local n=${DISPLAY#:} spelling
  start_program first
  wait_for 30 message_box_of first || fail "no message box titled ZibTVRemote"
  ok "the message box is titled ZibTVRemote"
  open_main_window first
  focus_window "$main"
  expand_main_window
  click_content 197 "$(key_cell_y 1)" --repeat 2 --delay 80
  sleep 1
  xdotool type --delay 40 Q
  xdotool key Return
  sleep 0.3

  for spelling in ":$n" ":$n.0" "unix:$n" "unix:$n.0" "localhost:$n" "localhost:$n.0" \
    "127.0.0.1:$n" "tcp/localhost:$n" "LocalHost:0$n.0"; do
    DISPLAY=$spelling hands_over second "DISPLAY=$spelling"
    ok "DISPLAY=$spelling handed over with status 0: one main window shown again, no write"
  done

  # A copy that holds the lock but cannot answer (stopped here) is waited for, then reported.
  kill -STOP "${pid[first]}"
  start_program third
  wait_end third
  kill -CONT "${pid[first]}"
  if [ "$status" -ne 1 ] ||
    ! grep -q '^ZibTVRemote is running already but does not answer' "$work/third.err"; then
    fail "a start beside a stopped copy: status $status"
  fi
  ok "a start beside a copy that does not answer gave up with status 1 and our line"
  : >"$work/third.err"

  quit_by_ctrl_q first
  [ "$status" -eq 0 ] || fail "the first copy ended with status $status"
  [ "$(setting Key1)" = Q ] || fail "Key1 is \"$(setting Key1)\" after the first copy quit"
  [ ! -e "$lock" ] || fail "the lock file was left after the quit"
  ok "the first copy ran on, saved its own edit at quit and removed its lock file"

  # A copy killed outright leaves its lock file behind; the next start takes it over.
  start_program killed
  find_main_window killed >/dev/null || exit 1
  kill -KILL "${pid[killed]}"
  wait_end killed
  [ -s "$lock" ] || fail "the killed copy left no lock file to test with"
  start_program next
  open_main_window next
  quit_by_ctrl_q next
  [ "$status" -eq 0 ] || fail "the start after a killed copy ended with status $status"
  ok "the lock file of a killed copy did not keep the next start out"
  check_no_key_down "at the end"
}

case_other_display() {
  start_display
  local first=$DISPLAY before line
  start_program first
  open_main_window first
  before=$(settings_state)
  start_x_server
  start_program second
  wait_end second
  [ "$status" -eq 1 ] || fail "the start on another display ended with status $status"
  line="ZibTVRemote is running already on another display (DISPLAY=$first) with the same settings file; quit it there first."
  [ "$(cat "$work/second.err")" = "$line" ] ||
    fail "standard error is not our one line naming DISPLAY=$first"
  ok "a start on DISPLAY=$DISPLAY: status 1 and one line: $line"
  [ -z "$(xdotool search --name 'ZibTVRemote' 2>/dev/null)" ] ||
    fail "the start on another display showed a window"
  [ "$(settings_state)" = "$before" ] || fail "the start on another display wrote the settings file"
  program_is_running first || fail "the first copy ended"
  ok "it showed nothing and left the settings file as it was; the first copy runs on"
}

case_left_over_locks() {
  start_display
  local kind uid
  uid=$(id -u)
  for kind in empty garbled elsewhere; do
    # Where this build keeps its lock file, and in the runtime folder where earlier builds kept
    # theirs, under the name they gave it.
    for file in "$lock" "$XDG_RUNTIME_DIR/ZibTVRemote-_${DISPLAY#:}.lock"; do
      case $kind in
        empty) : >"$file" ;;
        garbled) printf '\x01\xfe%s\n\n\x00' "not a lock" >"$file" ;;
        elsewhere)
          if [ "$file" = "$lock" ]; then
            printf 'machine=elsewhere\npid=1\nsocket=/run/user/%s/x.socket\ndisplay=x11 elsewhere:0\nshown=DISPLAY=:0\nend\n' "$uid" >"$file"
          else
            printf '1\nZibTVRemote\nelsewhere\n' >"$file"
          fi
          ;;
      esac
    done
    start_program first
    open_main_window first
    hands_over second "beside a $kind lock file"
    quit_by_ctrl_q first
    [ "$status" -eq 0 ] || fail "the start over a $kind lock file ended with status $status"
    ok "a $kind lock file: a normal start, a hand-over to it, and a quit with status 0"
  done
}

case_runtime_folder() {
  start_display
  local folder second_display first=$DISPLAY
  for folder in unset open; do
    if [ "$folder" = unset ]; then
      unset XDG_RUNTIME_DIR
    else
      export XDG_RUNTIME_DIR="$work/open-runtime"
      mkdir -m 777 "$XDG_RUNTIME_DIR"
    fi
    start_program first
    open_main_window first
    hands_over second "XDG_RUNTIME_DIR $folder"
    [ -z "$(find / -maxdepth 1 -name 'ZibTVRemote*')" ] || fail "a file of ours in /"
    [ "$folder" = unset ] || [ -z "$(ls -A "$XDG_RUNTIME_DIR")" ] ||
      fail "the socket is in a runtime folder open to others"
    compgen -G "/tmp/ZibTVRemote-$(id -u)/*.socket" >/dev/null ||
      fail "no socket in /tmp/ZibTVRemote-$(id -u)"
    ok "XDG_RUNTIME_DIR $folder: a hand-over through a socket in /tmp/ZibTVRemote-$(id -u)"
    start_x_server
    second_display=$DISPLAY
    start_program elsewhere
    wait_end elsewhere
    [ "$status" -eq 1 ] || fail "XDG_RUNTIME_DIR $folder: a second copy on $second_display"
    DISPLAY=$first
    quit_by_ctrl_q first
    [ "$status" -eq 0 ] || fail "XDG_RUNTIME_DIR $folder: the quit ended with status $status"
    [ ! -s "$work/first.err" ] || fail "XDG_RUNTIME_DIR $folder: the program wrote to standard error"
    ok "XDG_RUNTIME_DIR $folder: no second copy on another display, nothing said, status 0"
  done
}

# A later start is an X client too and would wait out the grab before it asked: the running copy's
# socket is asked here directly, as that start would ask it.
case_during_grab() {
  start_display
  start_program first
  open_main_window first
  minimise_main
  local socket answer ms request
  socket=$(sed -n 's/^socket=//p' "$lock")
  [ -S "$socket" ] || fail "the lock record names no socket: $(cat "$lock")"
  coproc grab { "$tools/x_grab_server"; }
  end_at_exit "$grab_PID"
  read -r answer <&"${grab[0]}"
  [ "$answer" = grabbed ] || fail "the helper could not grab the X server"
  SECONDS=0
  # The answer goes out before the window is shown; the second request is answered only by a
  # main loop that the showing left running.
  for request in first second; do
    read -r answer ms < <("$tools/ask_socket" "$socket" reopen 1500)
    [ "$answer" = ok ] || fail "during the grab the $request hand-over got \"$answer\" after $ms ms"
    ((ms <= 500)) || fail "during the grab the $request hand-over was answered only after $ms ms"
    ok "during a server grab the running copy answered the $request hand-over in $ms ms"
  done
  sleep $((SECONDS < 2 ? 2 - SECONDS : 0))
  echo >&"${grab[1]}"
  read -r answer <&"${grab[0]}"
  [ "$answer" = released ] || fail "the helper did not let go of the X server"
  wait_for 30 only_main_window_is "$main" || fail "the main window is not back after the grab"
  wait_for 10 has_focus "$main" || fail "the main window did not get the focus after the grab"
  ok "after the grab the main window is back, not minimised, with the focus"
  quit_by_ctrl_q first
  [ "$status" -eq 0 ] || fail "the quit after the grab ended with status $status"
  [ ! -s "$work/first.err" ] || fail "the program wrote to standard error"
  ok "the copy quit with status 0 and wrote nothing to standard error"
}

case "$case_name" in
  same_display | other_display | left_over_locks | runtime_folder | during_grab) "case_$case_name" ;;
  *) fail "no case $case_name" ;;
esac
echo "$passed passed, 0 failed"
