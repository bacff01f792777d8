# Shared by the end-to-end scripts: a virtual X server on a free display, a fresh config folder,
# and starting, finding and awaiting the real program. Expects $program to be set; sets $work.

for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
trap 'kill "${app_pid:-}" "${xvfb_pid:-}" 2>/dev/null; rm -rf "$work"' EXIT
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "FAIL: Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=":$(cat "$work/display")"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
export XDG_CONFIG_HOME="$work/config" HOME="$work/home"
mkdir -p "$HOME"

fail() { echo "FAIL: $*" >&2; exit 1; }

start_program() {
  "$program" >"$work/app.log" 2>&1 &
  app_pid=$!
}

# Dismisses the no-receiver message (this machine has no receiver) and any other message shown
# before the main window, and prints the main window's id once it is shown.
find_main_window() {
  local win box
  for _ in $(seq 150); do
    win=$(xdotool search --onlyvisible --name '^ZibTVRemote v\.1\.0\.0$' 2>/dev/null | head -n 1)
    if [ -n "$win" ]; then
      echo "$win"
      return 0
    fi
    # Before the main window shows, a visible window of ours is a message box: dismiss it.
    box=$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | head -n 1)
    if [ -n "$box" ]; then
      xdotool windowfocus --sync "$box" 2>/dev/null
      xdotool key --window "$box" Return 2>/dev/null
    fi
    sleep 0.2
  done
  fail "the main window did not appear; program output:$(echo; cat "$work/app.log")"
}

wait_exit() {
  local status
  for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$app_pid" 2>/dev/null && fail "the program did not end after $1"
  wait "$app_pid"; status=$?
  app_pid=""
  [ "$status" -eq 0 ] || fail "exit status $status after $1; output:$(echo; cat "$work/app.log")"
}
