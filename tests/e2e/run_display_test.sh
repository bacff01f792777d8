#!/usr/bin/env bash
# The real program and the display it starts on. Usage:
#   run_display_test.sh <case> <program> <folder of the e2e helpers>, with <case> one of:
#   platforms  no display, a Wayland socket that accepts and never answers, a real compositor
#              (weston, headless) and an X server, each with QT_QPA_PLATFORM unset, xcb, wayland
#              and foo: a window on the platform the framework would choose where one answers
#              (SIGTERM then saves and exits 0), otherwise status 1 and one line of ours, soon
#   compositor_lost  the compositor killed under the program's start-up message: status 1 and
#              our one line, not the framework's
#   x_refused  an X server that wants a cookie the program does not have: status 1 and a line
#              that says the server refused, not that there is none
#   x_killed   the X server killed at moments across the program's first half second: status 1,
#              never a signal, and nothing on standard error but at most our one line
#   one_copy_across_platforms  a copy on the compositor, started where an X server is there too,
#              takes a second start that asks for X (QT_QPA_PLATFORM=xcb) as one on its display:
#              the second hands over and exits 0
set -u
case_name=$1 program=$2 tools=$3
source "$(dirname "$0")/x_session.sh"
require_tools Xvfb xdotool weston xauth mcookie

start_session
mkdir -p "$XDG_CONFIG_HOME"
no_display_line='^ZibTVRemote needs a graphical session and found no display it could use (.*)\.$'

# The run's standard error is exactly one line, matching the regular expression.
err_is_our_line() {
  [ "$(wc -l <"$work/$1.err")" -eq 1 ] && grep -Eq "$2" "$work/$1.err"
}

# Every line on the run's standard error is ours, and there is at most one.
err_has_nothing_but_ours() {
  [ "$(wc -l <"$work/$1.err")" -le 1 ] && ! grep -Evq '^ZibTVRemote[: ]' "$work/$1.err"
}

# A Wayland compositor of our own, logging the protocol requests it gets: the program's
# toplevel windows show there with their titles.
start_compositor() {
  WAYLAND_DEBUG=server weston --backend=headless-backend.so --socket=wl-real --idle-time=0 \
    >"$work/weston.log" 2>&1 &
  compositor_pid=$!
  end_at_exit "$compositor_pid"
  wait_for 10 test -S "$XDG_RUNTIME_DIR/wl-real" ||
    fail "weston did not start:$(echo; tail -n 20 "$work/weston.log")"
}
kill_compositor() { kill -KILL "$compositor_pid"; }
toplevels_titled() { grep -c "xdg_toplevel@[0-9]*\.set_title(\"$1\")" "$work/weston.log"; }
new_toplevel_shown() { [ "$(toplevels_titled ZibTVRemote)" -gt "$toplevels_before" ]; }

start_silent_socket() {
  "$tools/silent_socket" "$XDG_RUNTIME_DIR/wl-silent" &
  end_at_exit $!
  wait_for 10 test -S "$XDG_RUNTIME_DIR/wl-silent" || fail "the silent socket did not start"
}

# run_in ENVIRONMENT PLATFORM: starts the program with only the display variables of the named
# environment and QT_QPA_PLATFORM=PLATFORM ("-" for unset).
run_in() {
  local -a vars=()
  case "$1" in
    none) ;;
    no-x-server) vars=(DISPLAY=:65000) ;;
    silent) vars=(WAYLAND_DISPLAY=wl-silent) ;;
    compositor) vars=(WAYLAND_DISPLAY=wl-real) ;;
    silent+x) vars=(WAYLAND_DISPLAY=wl-silent "DISPLAY=$x_display") ;;
    compositor+x) vars=(WAYLAND_DISPLAY=wl-real "DISPLAY=$x_display") ;;
  esac
  [ "$2" = - ] || vars+=("QT_QPA_PLATFORM=$2")
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_SESSION_TYPE "${vars[@]}" \
    --default-signal=INT "$program" >"$work/app.out" 2>"$work/app.err" &
  pid[app]=$!
}

# The run has a window where expected: on the compositor (its toplevel titled as the program's
# start-up message, and no X window) or on the X server.
has_x_window() { [ -n "$(windows_of app)" ]; }
wait_for_window() {
  case "$1" in
    wayland)
      wait_for 30 new_toplevel_shown ||
        fail "$2: no window on the compositor"
      not has_x_window || fail "$2: a window on X, not on the compositor"
      ;;
    x) wait_for 30 has_x_window || fail "$2: no window on the X server" ;;
  esac
}

case_platforms() {
  start_compositor
  start_silent_socket
  start_x_server
  x_display=$DISPLAY  # for the program only where a row says so; xdotool looks there
  # What each start should do: a window on wayland or x, or "line" (status 1, our one line, with
  # the reason where the row gives one). Where both a compositor and an X server answer, the
  # framework takes Wayland first.
  local rows=(
    "none - line DISPLAY is not set, and WAYLAND_DISPLAY is not set"
    "none xcb line" "none wayland line" "none foo line"
    "no-x-server - line no X server answers at DISPLAY=:65000, and WAYLAND_DISPLAY is not set"
    "silent - line" "silent xcb line" "silent wayland line" "silent foo line"
    "compositor - wayland" "compositor xcb line" "compositor wayland wayland"
    "compositor foo line"
    "silent+x - x" "silent+x xcb x" "silent+x wayland line" "silent+x foo line"
    "compositor+x - wayland" "compositor+x xcb x"
  )
  local row environment platform expected reason what started
  for row in "${rows[@]}"; do
    read -r environment platform expected reason <<<"$row"
    what="$environment with QT_QPA_PLATFORM=$platform"
    rm -f "$settings"
    toplevels_before=$(toplevels_titled ZibTVRemote)
    started=$SECONDS
    run_in "$environment" "$platform"
    if [ "$expected" = line ]; then
      wait_end app "starting in $what"
      [ "$status" -eq 1 ] || fail "$what: exit status $status"
      err_is_our_line app "$no_display_line" || fail "$what: standard error is not our one line"
      [ -z "$reason" ] || grep -qF "($reason)." "$work/app.err" || fail "$what: not the reason \"$reason\""
      [ -z "$(find "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" -mindepth 1 -name '*ZibTVRemote*' -o \
        -mindepth 1 -path "$XDG_CONFIG_HOME/*")" ] || fail "$what: files were left behind"
      # A compositor that does not answer is given a few seconds, not forever.
      [ $((SECONDS - started)) -le 15 ] || fail "$what: took $((SECONDS - started)) s to give up"
      ok "$what: status 1 and $(cat "$work/app.err")"
    else
      wait_for_window "$expected" "$what"
      kill -TERM "${pid[app]}"
      wait_end app "SIGTERM"
      [ "$status" -eq 0 ] || fail "$what: exit status $status after SIGTERM"
      [ -s "$settings" ] || fail "$what: SIGTERM did not save the table"
      ok "$what: a window on $expected; SIGTERM saved and exited 0"
    fi
  done
}

case_compositor_lost() {
  start_compositor
  toplevels_before=0
  WAYLAND_DISPLAY=wl-real start_program app
  wait_for_window wayland "on the compositor"
  kill_compositor
  wait_end app "the compositor was killed"
  [ "$status" -eq 1 ] || fail "exit status $status after the compositor was killed"
  # This machine has neither X nor uinput for the keys, which the program says first.
  [ "$(grep -cv '^ZibTVRemote: remote buttons will press no keys: ' "$work/app.err")" -eq 1 ] &&
    grep -q '^ZibTVRemote: lost the connection to the display; ' "$work/app.err" ||
    fail "standard error is not our line"
  ok "the compositor killed: status 1 and $(tail -n 1 "$work/app.err")"
}

# An X server that admits only the holders of its cookie.
start_x_server_with_cookie() {
  xauth -q -f "$work/server-cookie" add :0 . "$(mcookie)"
  start_x_server -auth "$work/server-cookie"
}

case_x_refused() {
  start_x_server_with_cookie
  local cookie
  cookie=$(xauth -f "$work/server-cookie" list | awk '{ print $3 }')
  xauth -q -f "$work/right" add "$DISPLAY" . "$cookie"
  xauth -q -f "$work/wrong" add "$DISPLAY" . "$(mcookie)"

  local authority
  for authority in wrong missing; do
    XAUTHORITY="$work/$authority" start_program app
    wait_end app "a start with the $authority cookie"
    [ "$status" -eq 1 ] || fail "$authority cookie: exit status $status"
    { err_is_our_line app "$no_display_line" && grep -qF "refused the connection, as the \
authorization cookie is wrong or missing" "$work/app.err"; } ||
      fail "$authority cookie: standard error does not say that the server refused"
    ok "$authority cookie: status 1 and $(cat "$work/app.err")"
  done

  # The same server with the right cookie: it was the cookie.
  export XAUTHORITY="$work/right"
  start_program app
  wait_for 30 has_x_window || fail "no window with the right cookie"
  kill -TERM "${pid[app]}"
  wait_end app "SIGTERM"
  [ "$status" -eq 0 ] || fail "right cookie: exit status $status after SIGTERM"
  ok "right cookie: the program ran"
}

case_x_killed() {
  local delay status outcomes="" tries=0 n
  # Across the probe, the framework's connection and the start-up message.
  for delay in $(seq 0.01 0.02 0.51); do
    tries=$((tries + 1))
    start_x_server
    start_program app
    sleep "$delay"
    kill_x_server
    wait_end app "the X server was killed after $delay s"
    # The killed server's lock and socket, which it had no chance to remove.
    wait "$xvfb_pid" 2>/dev/null
    n=${DISPLAY#:}
    rm -f "/tmp/.X$n-lock" "/tmp/.X11-unix/X$n"
    { [ "$status" -ge 1 ] && [ "$status" -lt 128 ]; } ||
      fail "killed after $delay s: exit status $status"
    err_has_nothing_but_ours app || fail "killed after $delay s: not just our line on standard error"
    outcomes+="$(cut -c1-72 "$work/app.err")"$'\n'
  done
  outcomes=${outcomes%$'\n'}
  ok "the X server killed $tries times in the first half second: status 1 and at most our line, as:"
  sort <<<"$outcomes" | uniq -c | sed 's/^/    /'
}

case_one_copy_across_platforms() {
  start_x_server
  start_compositor
  toplevels_before=0
  WAYLAND_DISPLAY=wl-real start_program first
  wait_for_window wayland "the first copy"
  WAYLAND_DISPLAY=wl-real QT_QPA_PLATFORM=xcb start_program second
  wait_end second "a second start asking for X"
  [ "$status" -eq 0 ] || fail "the second start ended with status $status: $(cat "$work/second.err")"
  [ ! -s "$work/second.err" ] || fail "the second start wrote to standard error"
  program_is_running first || fail "the first copy ended"
  ok "a start asking for X handed over to the copy on the compositor of the same session"
  kill -TERM "${pid[first]}"
  wait_end first "SIGTERM"
  [ "$status" -eq 0 ] || fail "the first copy ended with status $status after SIGTERM"
}

case "$case_name" in
  platforms | compositor_lost | x_refused | x_killed | one_copy_across_platforms) "case_$case_name" ;;
  *) fail "no case $case_name" ;;
esac
echo "$passed passed, 0 failed"
