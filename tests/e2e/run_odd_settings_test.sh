#!/usr/bin/env bash
# Starts the real program on settings files in odd shapes, quits it by Ctrl+Q, and checks what is
# on disk: the quit succeeds, a regular file holding the table takes the settings file's place,
# and nothing the odd file pointed at is touched.
# Usage: run_odd_settings_test.sh <program> <folder of the X helpers> <expected settings file>
set -u
program=$1 tools=$2 expected=$3
source "$(dirname "$0")/x_session.sh"
require_tools Xvfb xdotool xprop

start_x_server

# Runs the program once on the settings file as it now is, and checks the file it leaves.
run_once() {
  start_program
  open_main_window
  focus_window "$main"
  xdotool key ctrl+q
  wait_exit "$1"
  if [ ! -f "$settings" ] || [ -L "$settings" ]; then
    fail "$1: the settings file is not a regular file"
  fi
  cmp "$settings" "$expected" || {
    diff <(cat -A "$settings") <(cat -A "$expected") | head -20
    fail "$1: the settings file differs from the expected table"
  }
  [ "$(ls -A "$XDG_CONFIG_HOME")" = "ZibRemote.ini" ] ||
    fail "$1: the config folder holds more: $(ls -A "$XDG_CONFIG_HOME")"
  echo "ok: $1"
}

fresh_config() {
  rm -rf "$XDG_CONFIG_HOME"
  mkdir -p "$XDG_CONFIG_HOME"
}

fresh_config
mkfifo "$work/fifo"
ln -s "$work/fifo" "$settings"
run_once "a link to a FIFO"
[ -p "$work/fifo" ] || fail "the FIFO the link pointed at is gone"

fresh_config
ln -s "$work/no such folder/ZibRemote.ini" "$settings"
run_once "a dangling link into a missing folder"
[ ! -e "$work/no such folder" ] || fail "the missing folder was made"

fresh_config
ln -s ZibRemote.ini "$settings"
run_once "a link to itself"

# The table read from a file with lone CRs, or with a byte order mark, is the table saved: no
# entry is cut short or kept apart from its row.
fresh_config
tr '\n' '\r' <"$expected" >"$settings"
run_once "a file with lone CR line ends"

fresh_config
{ printf '\xEF\xBB\xBF'; cat "$expected"; } >"$settings"
run_once "a file starting with a byte order mark"
check_no_key_down "at the end"
echo "5 passed, 0 failed"
