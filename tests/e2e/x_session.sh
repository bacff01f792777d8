# shellcheck shell=bash
# What the end-to-end scripts share: a virtual X server of their own (with a window manager where
# the test needs one), a fresh config folder, and the real program started, found, worked and
# ended. Sourced by the scripts, which set `program` (the program to run), `tools` (the folder of
# the small X helpers built with them) and, once the main window is there, `main` (its id) and
# `bar` (its menu bar's height).
# shellcheck disable=SC2154

# Skips the test (ctest's skip status) when a tool it needs is not installed.
require_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
  done
}

fail() {
  echo "FAIL: $*" >&2
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

stop_session() {
  [ -n "${app_pid:-}" ] && kill "$app_pid" 2>/dev/null
  [ -n "${wm_pid:-}" ] && kill "$wm_pid" 2>/dev/null
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}

# A virtual X server on a free display, and a fresh home, config and runtime folder for the
# program.
start_x_server() {
  work=$(mktemp -d)
  trap stop_session EXIT
  exec 3>"$work/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  exec 3>&-
  wait_for 10 test -s "$work/display" || fail "Xvfb did not start:$(echo; cat "$work/xvfb.log")"
  DISPLAY=":$(cat "$work/display")"
  export DISPLAY
  unset QT_QPA_PLATFORM WAYLAND_DISPLAY
  # A runtime folder of its own too: the program keeps its one-copy lock there.
  export XDG_CONFIG_HOME="$work/config" HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime"
  mkdir -p "$HOME"
  mkdir -m 700 "$XDG_RUNTIME_DIR"
}

wm_is_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

# openbox with its stock configuration, ready once it has announced itself on the root window.
start_window_manager() {
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  wm_pid=$!
  wait_for 30 wm_is_running || fail "openbox did not start:$(echo; cat "$work/openbox.log")"
}

start_program() {
  "$program" >"$work/app.log" 2>&1 &
  app_pid=$!
}

program_is_running() { kill -0 "$app_pid" 2>/dev/null; }

program_output() {
  echo
  cat "$work/app.log"
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

# Dismisses the no-receiver message (this machine has no receiver) and prints the main window's
# id once it is shown.
find_main_window() {
  local win box
  for _ in $(seq 300); do
    win=$(xdotool search --onlyvisible --name '^ZibTVRemote v\.1\.0\.0$' 2>/dev/null | head -n 1)
    if [ -n "$win" ]; then
      check_no_key_down "after the message was dismissed"
      echo "$win"
      return 0
    fi
    # Before the main window shows, a visible window of ours is the message box: give it the
    # focus and press Return. Without --window xdotool presses and releases through XTest, at the
    # focus; aimed at a window, it would send the release to the box that the press had closed,
    # and the server would keep Return down.
    box=$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | head -n 1)
    if [ -n "$box" ] && focus_window "$box"; then
      xdotool key Return
    fi
    sleep 0.2
  done
  fail "the main window did not appear; program output:$(program_output)"
}

# Waits for the program to end and checks that it ended with status 0.
wait_exit() {
  local status
  wait_for 30 not program_is_running || fail "the program did not end after $1"
  wait "$app_pid"
  status=$?
  app_pid=""
  [ "$status" -eq 0 ] || fail "exit status $status after $1; output:$(program_output)"
}

# The main window's menu bar height: the window is its content (50 high while collapsed, as the
# program starts) plus the bar.
window_height() {
  xdotool getwindowgeometry "$1" | sed -n 's/.*Geometry: [0-9]*x\([0-9]*\).*/\1/p'
}

height_is() { [ "$(window_height "$1")" -eq "$2" ]; }

# The main window's menu bar height: the window is its content (50 high while collapsed, as the
# program starts) plus the bar.
menu_bar_height() { echo $(($(window_height "$1") - 50)); }

# Clicks at a point of the main window's content area, in the program's own layout coordinates
# (below the menu bar, whose height is in `bar`).
click_content() {
  xdotool mousemove --window "$main" "$1" $(($2 + bar)) click 1
}

has_focus() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }

is_viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }

# A menu shown by the program: a window of its own that the window manager leaves alone.
menu_is_open() {
  local win
  for win in $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null); do
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
help_windows() { xdotool search --all --onlyvisible --pid "$app_pid" --name '^ZibTVRemote$' 2>/dev/null; }
help_is_shown() { [ -n "$(help_windows)" ]; }
