#!/usr/bin/env bash
# End to end: the real program under a virtual X server, with its own settings folder. It is
# started and quit twice, once through File > Quit (Ctrl+Q) and once through the window's close
# box, and each time the settings file must be exactly the table's 140 default lines.
# Usage: settings_file_e2e.sh PROGRAM SOURCE_DIR
set -euo pipefail
program=$1
source_dir=$2
skip() { echo "SKIPPED: $*"; exit 77; }

if [[ -z ${ZIB_E2E_INNER:-} ]]; then
  for tool in xvfb-run xdotool python3; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
  done
  export ZIB_E2E_INNER=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

unset QT_QPA_PLATFORM  # the real X platform, not the offscreen one of the widget tests
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config
export LSAN_OPTIONS=suppressions=$source_dir/tests/lsan.supp:print_suppressions=0
expected=$source_dir/tests/core/fixtures/expected-defaults.ini

# Waits (up to 20 s) for the main window and prints its id. A message box that holds the
# open (no remote receiver on this machine) is dismissed with Return on the way.
main_window() {
  local id others
  for _ in $(seq 1 100); do
    id=$(xdotool search --onlyvisible --name '^ZibTVRemote v\.' 2>/dev/null | head -1 || true)
    [[ -n $id ]] && { echo "$id"; return 0; }
    others=$(xdotool search --onlyvisible --classname zibtvremote 2>/dev/null | head -1 || true)
    [[ -n $others ]] && xdotool windowfocus --sync "$others" key Return
    sleep 0.2
  done
  echo "the main window did not appear" >&2
  return 1
}

# Starts the program, dismisses the no-receiver message this machine always shows, waits for
# the main window, runs the given way to quit, and checks the exit status and the file.
run_once() {
  local how=$1 pid status main
  rm -rf "$XDG_CONFIG_HOME"
  "$program" >"$work/out.txt" 2>&1 &
  pid=$!
  main=$(main_window) || { kill "$pid"; cat "$work/out.txt"; exit 1; }
  sleep 0.5
  case $how in
    quit) xdotool windowfocus --sync "$main" key ctrl+q ;;
    closebox) python3 "$source_dir/tests/core/e2e/wm_close.py" "$main" ;;
  esac
  status=0
  timeout 20 tail --pid="$pid" -f /dev/null || { kill "$pid"; echo "$how: still running"; exit 1; }
  wait "$pid" || status=$?
  if [[ $status -ne 0 ]]; then
    echo "$how: exit status $status"; cat "$work/out.txt"; exit 1
  fi
  if ! cmp "$expected" "$XDG_CONFIG_HOME/ZibRemote.ini"; then
    echo "$how: settings file differs"; diff "$expected" "$XDG_CONFIG_HOME/ZibRemote.ini" || true
    exit 1
  fi
  echo "$how: exit status 0, settings file as expected"
}

run_once quit
run_once closebox
