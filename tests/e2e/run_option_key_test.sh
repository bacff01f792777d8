#!/usr/bin/env bash
# Starts the real program on a virtual X server with Alt held (pressed through XTest before the
# start, released once the window has opened) over a stored table that is not the default one,
# and checks the reset: once the window has opened the settings file is empty, and closing the
# window then saves the default table.
# Usage: run_option_key_test.sh PROGRAM CLOSE_TOOL HOLD_TOOL DEFAULT_SETTINGS
set -u
program=$1 close_tool=$2 hold_tool=$3 defaults=$4

for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
cleanup() {
  [ -n "${app_pid:-}" ] && kill "$app_pid" 2>/dev/null
  [ -n "${holder_PID:-}" ] && kill "$holder_PID" 2>/dev/null
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
# shellcheck disable=SC2154 # holder_PID is set by coproc
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  [ -s "$work/app.log" ] && { echo "program output:" >&2; cat "$work/app.log" >&2; }
  exit 1
}

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 150); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
display=$(cat "$work/display")
export DISPLAY=":$display"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
export XDG_CONFIG_HOME="$work/config" HOME="$work/home"
mkdir -p "$XDG_CONFIG_HOME" "$HOME"

# A stored table that is not the default one (Key1 "Z" with SHIFT), and an entry of another name:
# a reset loses both.
settings=$XDG_CONFIG_HOME/ZibRemote.ini
sed -e '2s/.*/Z/' -e '4s/.*/true/' "$defaults" >"$settings"
printf 'Other\nkept\n' >>"$settings"
cmp -s "$settings" "$defaults" && fail "the stored table is the default one"

coproc holder { exec "$hold_tool" Alt_L 2>"$work/hold.log"; }
read -r -t 30 state <&"${holder[0]}"
[ "${state:-}" = down ] || fail "cannot hold Alt: $(cat "$work/hold.log")"
"$program" >"$work/app.log" 2>&1 &
app_pid=$!

# The window has opened once it carries its versioned title, which is set after the table is
# loaded. A message box before it (no receiver on this machine) is closed as its close box
# would: a key to dismiss it would arrive with Alt held.
main=""
for _ in $(seq 300); do
  kill -0 "$app_pid" 2>/dev/null || fail "the program ended before its window opened"
  main=$(xdotool search --onlyvisible --name '^ZibTVRemote v\.' 2>/dev/null | head -n 1)
  [ -n "$main" ] && break
  for box in $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null); do
    [ "$(xdotool getwindowname "$box" 2>/dev/null)" = "Zibble TV Remote" ] || "$close_tool" "$box"
  done
  sleep 0.2
done
[ -n "$main" ] || fail "the main window did not open"
if [ ! -f "$settings" ] || [ -s "$settings" ]; then
  fail "with Alt held the settings file was not reset at the start; it begins:$(echo; head -n 6 "$settings")"
fi

echo >&"${holder[1]}"
read -r -t 30 state <&"${holder[0]}"
[ "${state:-}" = up ] || fail "cannot release Alt: $(cat "$work/hold.log")"
"$close_tool" "$main"
for _ in $(seq 200); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app_pid" 2>/dev/null && fail "the program did not end after its window was closed"
wait "$app_pid"
status=$?
app_pid=""
[ "$status" -eq 0 ] || fail "exit status $status"
cmp -s "$settings" "$defaults" || {
  diff <(cat -A "$settings") <(cat -A "$defaults") | head -20
  fail "the table saved after the reset is not the default one"
}
echo "ok: Alt held at the start reset the stored table to the defaults"
