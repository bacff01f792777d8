# shellcheck shell=bash
# What the end-to-end scripts share: a virtual X server of their own (with a window manager where
# the test needs one), fresh home, config and runtime folders, and the real program started,
# found, worked and ended. Sourced by the scripts, which set `program` (the program to run) and
# `tools` (the folder of the small X helpers built with them). The program may run more than once
# at a time: each run has a name (`app` unless the script gives one). Once a main window is
# there, `main` holds its id and `bar` its menu bar's height.
# shellcheck disable=SC2154

declare -A pid=() # the program's runs by name
helper_pids=()    # the other processes started here: X servers, window managers, ...
main_title='^ZibTVRemote v\.1\.0\.0$'

# Skips the test (ctest's skip status) when a tool it needs is not installed.
require_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
  done
}

# Fails the test, with what the program's runs wrote.
fail() {
  local log
  echo "FAIL: $*" >&2
  if [ -n "${work:-}" ]; then
    for log in "$work"/*.out "$work"/*.err; do
      [ -s "$log" ] && { echo "--- $log"; cat "$log"; }
    done >&2
  fi
  exit 1
}

# Polls a command until it succeeds, for at most the given seconds. Generous limits: the program
# runs with sanitizers and other builds may share the machine.
wait_for() {
  local seconds=$1
  shift
  local tries=$((seconds * 10))
  while ((tries-- > 0)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

not() { ! "$@"; }

# Ends a process the test started besides the program's runs, when the test ends.
end_at_exit() { helper_pids+=("$1"); }

stop_session() {
  local name p
  # The program's runs outright: a run may be stopped, and its clean-up is not under test here.
  for name in "${!pid[@]}"; do kill -KILL "${pid[$name]}" 2>/dev/null; done
  for p in "${helper_pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pid[@]}" "${helper_pids[@]}"; do wait "$p" 2>/dev/null; done
  rm -rf "$work"
}

# A work folder removed at exit, and a fresh home and runtime folder for the program; no display
# yet. `settings` is the program's settings file, in a config folder that does not exist yet.
start_session() {
  work=$(mktemp -d)
  trap stop_session EXIT
  unset DISPLAY QT_QPA_PLATFORM WAYLAND_DISPLAY
  # A runtime folder of its own too: the program keeps its hand-over socket there.
  export XDG_CONFIG_HOME="$work/config" HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime"
  mkdir -p "$HOME"
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  settings="$XDG_CONFIG_HOME/ZibRemote.ini"
}

# start_x_server [tcp] [XVFB_ARG...]: a virtual X server on a free display (in a session started
# here unless there is one already), reached through its local socket only, or also over TCP with
# `tcp`; further arguments go to Xvfb.
# -noreset: by default the server resets when its last client leaves, as the program does at
# every quit, and a program started during the reset finds no display.
start_x_server() {
  local listen=-nolisten
  if [ "${1:-}" = tcp ]; then
    listen=-listen
    shift
  fi
  [ -n "${work:-}" ] || start_session
  exec 3>"$work/display"
  Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 "$listen" tcp "$@" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  end_at_exit "$xvfb_pid"
  exec 3>&-
  wait_for 10 test -s "$work/display" || fail "Xvfb did not start:$(echo; cat "$work/xvfb.log")"
  DISPLAY=":$(cat "$work/display")"
  export DISPLAY
}

# Kills the X server outright, as when it crashes under the program.
kill_x_server() { kill -KILL "$xvfb_pid"; }

wm_is_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

# openbox with its stock configuration, ready once it has announced itself on the root window.
start_window_manager() {
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  end_at_exit $!
  wait_for 30 wm_is_running || fail "openbox did not start:$(echo; cat "$work/openbox.log")"
}

# start_program [NAME]: runs the program in the background, its standard output and error in
# NAME.out and NAME.err of the work folder. SIGINT gets its default action back (bash leaves it
# ignored in background jobs), so that the program can catch it.
start_program() {
  local name=${1:-app}
  env --default-signal=INT "$program" >"$work/$name.out" 2>"$work/$name.err" &
  pid[$name]=$!
}

program_is_running() { kill -0 "${pid[${1:-app}]:-}" 2>/dev/null; }

# wait_end [NAME [WHAT]]: waits for the run to end (after WHAT) and sets `status` to its exit
# status. Only this shell, which started the run, can wait for it.
wait_end() {
  local name=${1:-app}
  wait_for 30 not program_is_running "$name" || fail "the program ($name) did not end${2:+ after $2}"
  wait "${pid[$name]}"
  status=$?
  unset "pid[$name]"
}

# wait_exit WHAT [NAME]: waits for the run to end after WHAT and checks that it ended with
# status 0.
wait_exit() {
  wait_end "${2:-app}" "$1"
  [ "$status" -eq 0 ] || fail "exit status $status after $1"
}

# windows_of NAME [TITLE]: the visible windows of the run, those whose title matches the regular
# expression TITLE where one is given.
windows_of() {
  local filter=(--pid "${pid[$1]}")
  [ $# -lt 2 ] || filter+=(--name "$2")
  xdotool search --all --onlyvisible "${filter[@]}" 2>/dev/null
}

# Gives a window the keyboard focus: through the window manager when there is one.
focus_window() {
  if wm_is_running; then
    xdotool windowactivate --sync "$1" >/dev/null 2>&1
  else
    xdotool windowfocus --sync "$1" >/dev/null 2>&1
  fi
}

# Fails when the X server still holds a key down: a key left down repeats into every later step.
check_no_key_down() {
  local down
  down=$("$tools/x_keys_down") || fail "keys left down on the X server $1: $down"
}

# find_main_window [NAME [close]]: prints the id of the run's main window once it is shown. A
# message box before it (this machine has no receiver) is dismissed with Return, or with `close`
# as its close box would: no key is pressed, for a caller that holds one down on purpose.
find_main_window() {
  local name=${1:-app} dismiss=${2:-return} win box
  for _ in $(seq 300); do
    program_is_running "$name" || fail "the program ($name) ended before its main window appeared"
    win=$(windows_of "$name" "$main_title" | head -n 1)
    if [ -n "$win" ]; then
      [ "$dismiss" = close ] || check_no_key_down "after the message was dismissed"
      echo "$win"
      return 0
    fi
    # Before the main window shows under its versioned title, another visible window of ours is
    # the message box; the main window may already be visible under its first title.
    box=""
    for win in $(windows_of "$name"); do
      [ "$(xdotool getwindowname "$win" 2>/dev/null)" = "Zibble TV Remote" ] || { box=$win; break; }
    done
    if [ -n "$box" ] && [ "$dismiss" = close ]; then
      "$tools/x_close_window" "$box"
    elif [ -n "$box" ] && focus_window "$box"; then
      # Without --window xdotool presses and releases through XTest, at the focus; aimed at a
      # window, it would send the release to the box that the press had closed, and the server
      # would keep Return down.
      xdotool key Return
    fi
    sleep 0.2
  done
  fail "the main window of the program ($name) did not appear"
}

# open_main_window [NAME [close]]: finds the run's main window as find_main_window does and sets
# `main` and `bar`.
open_main_window() {
  main=$(find_main_window "$@") || exit 1
  bar=$(menu_bar_height "$main")
}

# The usual start of a test under a window manager: an X server with openbox, the program started
# on it and its main window found.
start_under_window_manager() {
  start_x_server
  start_window_manager
  start_program app
  open_main_window app
}

window_height() {
  xdotool getwindowgeometry "$1" | sed -n 's/.*Geometry: [0-9]*x\([0-9]*\).*/\1/p'
}

height_is() { [ "$(window_height "$1")" -eq "$2" ]; }

# The main window's menu bar height: the window is its content (50 high while collapsed, as the
# program starts) plus the bar.
menu_bar_height() { echo $(($(window_height "$1") - 50)); }

# click_content X Y [OPTIONS]: clicks at a point of the main window's content area, in the
# program's own layout coordinates (below the menu bar, whose height is in `bar`); OPTIONS go to
# xdotool's click, e.g. --repeat 2 for a double click.
click_content() {
  xdotool mousemove --window "$main" "$1" $(($2 + bar)) click "${@:3}" 1
}

# The table's row N (from 1) holds KeyN. Rows are 16 pixels high below an 18-pixel heading, from
# the list's top at 48; the Key column follows the 150-pixel Button column.
key_cell_y() { echo $((48 + 18 + 16 * ($1 - 1) + 8)); }

has_focus() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }

is_viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }

# A menu shown by the program: a window of its own that the window manager leaves alone.
menu_is_open() {
  local win
  for win in $(windows_of app); do
    xwininfo -id "$win" 2>/dev/null | grep -q 'Override Redirect State: yes' && return 0
  done
  return 1
}

# Expands the main window with its disclosure triangle.
expand_main_window() {
  click_content 180 23
  wait_for 30 height_is "$main" $((315 + bar)) || fail "the window did not expand"
}

# The help window: the program's window titled "ZibTVRemote".
help_windows() { windows_of app '^ZibTVRemote$'; }
help_is_shown() { [ -n "$(help_windows)" ]; }

# setting NAME: the value line after NAME in the settings file.
setting() { awk -v name="$1" 'found { print; exit } $0 == name { found = 1 }' "$settings"; }

# What the case scripts share. Each passed check says so with ok; the script ends by printing
# how many passed.
passed=0
ok() {
  echo "ok: $*"
  passed=$((passed + 1))
}

# start_display [tcp]: a fresh X server on a free display, with openbox managing its windows.
start_display() {
  start_x_server "$@"
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

# expect_setting NAME VALUE WHEN: the settings file holds VALUE for NAME, or the test fails.
expect_setting() {
  local value
  value=$(setting "$1")
  [ "$value" = "$2" ] || fail "$3: $1 is \"$value\" in the settings file, not \"$2\""
}
