#!/usr/bin/env bash
# The quit signals sent to the real program on a virtual X server with a window manager
# (openbox). Usage: run_signals_test.sh <case> <program> <folder of the X helpers>, with <case>
# one of:
#   each        SIGTERM, SIGHUP and SIGINT quit as File > Quit does: status 0, the edits saved;
#               during the start-up message the stored table is kept
#   pairs       two signals back to back (a logout's TERM and HUP, `timeout`'s TERM twice) are
#               one quit: status 0, the edit saved; Ctrl+C twice ends it at once
#   blocked     started by a parent that blocks the three signals: SIGTERM still quits and saves
#   starting    SIGTERM at a spread of moments in the first second of the start-up, and during
#               the wait for a copy that does not answer: the run always ends, and never writes
#               over the stored table
set -u
case_name=$1 program=$2 tools=$3
source "$(dirname "$0")/x_session.sh"
require_tools Xvfb xdotool xprop openbox perl

start_session
mkdir -p "$XDG_CONFIG_HOME"

# edited_run NAME LETTER: a fresh run with its main window open and Key1 set to LETTER.
edited_run() {
  rm -f "$settings"
  start_program "$1"
  open_main_window "$1"
  expand
  type_key 1 "$2" Return
}

# taken NAME SIGNAL: whether the run has taken SIGNAL, that is, no thread of it has it pending.
taken() {
  local bit=$((1 << ($(kill -l "$2") - 1))) key mask status
  for status in /proc/"${pid[$1]}"/task/*/status; do
    while read -r key mask; do
      case $key in
        SigPnd: | ShdPnd:) ((0x$mask & bit)) && return 1 ;;
      esac
    done <"$status" 2>/dev/null
  done
  return 0
}

# signal_twice NAME FIRST SECOND: sends FIRST, then SECOND as soon as the run has taken the
# first, so that the second comes while the quit is under way. Sent together, two of one kind
# would be merged into one by the kernel.
signal_twice() {
  local i
  kill -"$2" "${pid[$1]}"
  for ((i = 0; i < 500; i++)); do
    taken "$1" "$2" && break
    sleep 0.01
  done
  kill -"$3" "${pid[$1]}" 2>/dev/null || fail "the run ($1) ended before SIG$3 was sent"
}

# A launcher that passes a mask blocking the three signals on to the program it starts.
blocking_launcher() {
  cat >"$work/blocking-launcher" <<EOF
#!/bin/sh
exec perl -e 'use POSIX; sigprocmask(SIG_BLOCK, POSIX::SigSet->new(SIGTERM, SIGHUP, SIGINT)) or die; exec @ARGV' "$program"
EOF
  chmod +x "$work/blocking-launcher"
  echo "$work/blocking-launcher"
}

case_each() {
  start_display
  local signal status row=0 letters=(T H I)
  for signal in TERM HUP INT; do
    rm -f "$settings"
    start_program "$signal"
    open_main_window "$signal"
    expand
    # One edit finished with Return, one still in its open editor.
    type_key 1 "${letters[row]}" Return
    type_key 2 "${letters[row]}2"
    kill -"$signal" "${pid[$signal]}"
    wait_end "$signal"
    [ "$status" -eq 0 ] || fail "SIG$signal: exit status $status"
    expect_setting Key1 "${letters[row]}" "after SIG$signal"
    expect_setting Key2 "${letters[row]}2" "after SIG$signal"
    [ -z "$(ls -A "$XDG_RUNTIME_DIR")" ] || fail "SIG$signal left $(ls "$XDG_RUNTIME_DIR")"
    ok "SIG$signal quit with status 0 and saved both edits"
    row=$((row + 1))
  done
  check_no_key_down "after the edits"

  # While the start-up message still waits for an answer, the table has not been read yet:
  # the quit closes the message, lets the start-up finish and saves the table it read.
  seed_settings
  start_program starting
  wait_for_message_box starting
  kill -TERM "${pid[starting]}"
  wait_end starting
  [ "$status" -eq 0 ] || fail "SIGTERM during the start-up message: exit status $status"
  expect_setting Key1 Z "after SIGTERM during the start-up message"
  ok "SIGTERM during the start-up message quit with status 0 and kept the stored table"
}

case_pairs() {
  start_display
  local pair first second status letter=A
  for pair in TERM:HUP TERM:TERM HUP:TERM; do
    first=${pair%:*} second=${pair#*:}
    edited_run "$pair" "$letter"
    signal_twice "$pair" "$first" "$second"
    wait_end "$pair"
    [ "$status" -eq 0 ] || fail "SIG$first then SIG$second: exit status $status"
    expect_setting Key1 "$letter" "after SIG$first then SIG$second"
    ok "SIG$first then SIG$second: one quit, status 0, the edit saved"
    letter=B
  done

  edited_run INT C
  signal_twice INT INT INT
  wait_end INT
  [ "$status" -eq 130 ] || fail "SIGINT twice: exit status $status, not killed by SIGINT"
  ok "SIGINT twice ended the program at once (killed by SIGINT)"
  check_no_key_down "at the end"
}

case_blocked() {
  start_display
  local launcher status
  launcher=$(blocking_launcher)
  rm -f "$settings"
  program=$launcher start_program blocked
  open_main_window blocked
  expand
  type_key 1 K Return
  kill -TERM "${pid[blocked]}"
  wait_end blocked "SIGTERM"
  [ "$status" -eq 0 ] || fail "started with the signals blocked, SIGTERM: exit status $status"
  expect_setting Key1 K "after SIGTERM, started with the signals blocked"
  ok "started with the signals blocked, SIGTERM quit with status 0 and saved the edit"

  # Blocked and the start-up message up: kept until the table is read, not written over.
  seed_settings
  program=$launcher start_program blocked
  wait_for_message_box blocked
  kill -TERM "${pid[blocked]}"
  wait_end blocked "SIGTERM"
  [ "$status" -eq 0 ] || fail "blocked, SIGTERM during the start-up message: exit status $status"
  expect_setting Key1 Z "after SIGTERM during the start-up message, started blocked"
  ok "started with the signals blocked, SIGTERM during the start-up message kept the table"
}

case_starting() {
  start_display
  local delay status statuses=""
  # Before main runs a signal takes its default action (143): still an end, and nothing read
  # or written. From the session join on it is the orderly quit: status 0.
  for delay in 0 0.01 0.02 0.03 0.05 0.1 0.2 0.4 0.8; do
    seed_settings
    start_program early
    sleep "$delay"
    kill -TERM "${pid[early]}"
    wait_end early "SIGTERM after ${delay}s"
    { [ "$status" -eq 0 ] || [ "$status" -eq 143 ]; } ||
      fail "SIGTERM ${delay}s after the start: exit status $status"
    expect_setting Key1 Z "after SIGTERM ${delay}s after the start"
    statuses+=" $delay:$status"
  done
  ok "SIGTERM early in the start-up always ended the run and kept the stored table:$statuses"

  # A second start waits for the copy that holds the session; this one is stopped, so the wait
  # would run its full length. A SIGTERM ends the wait at once, with nothing opened.
  start_program first
  open_main_window first
  kill -STOP "${pid[first]}"
  local before
  before=$(md5sum <"$settings")
  start_program second
  sleep 2
  program_is_running second || fail "the second start did not wait for the stopped copy"
  kill -TERM "${pid[second]}"
  wait_for 5 not program_is_running second ||
    fail "the second start did not end within 5 seconds of SIGTERM"
  wait_end second
  kill -CONT "${pid[first]}"
  [ "$status" -eq 0 ] || fail "SIGTERM during the hand-over wait: exit status $status"
  [ ! -s "$work/second.err" ] || fail "SIGTERM during the hand-over wait wrote to standard error"
  [ "$(md5sum <"$settings")" = "$before" ] || fail "the second start changed the settings file"
  ok "SIGTERM during the wait for a copy that does not answer: status 0 at once, nothing touched"
  kill -TERM "${pid[first]}"
  wait_end first
  [ "$status" -eq 0 ] || fail "the first copy ended with status $status"
}

case "$case_name" in
  each | pairs | blocked | starting) "case_$case_name" ;;
  *) fail "no case $case_name" ;;
esac
echo "$passed passed, 0 failed"
