# Sourced by the end-to-end tests, and by the drivers they run inside an X
# server (with_x_server.sh).

# require_tools TOOL...: ends the test as failed, naming the first tool that
# is missing.
require_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps.sh installs it)"; exit 1; }
  done
}

# start_window_manager: starts openbox in the background (its pid in $wm)
# and waits up to ten seconds until it manages the screen.
start_window_manager() {
  openbox >/dev/null 2>&1 &
  wm=$!
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && return 0
    sleep 0.1
  done
}

# wait_for_window FILE WORD: waits up to ten seconds for a visible window
# titled Vexmora whose script has written WORD into FILE, and prints the
# window's id. Fails with "no window" on standard error.
wait_for_window() {
  local win=""
  for _ in $(seq 100); do
    win=$(xdotool search --onlyvisible --name "Vexmora" 2>/dev/null | head -1)
    if [ -n "$win" ] && grep -q "$2" "$1" 2>/dev/null; then
      echo "$win"
      return 0
    fi
    sleep 0.1
  done
  echo "no window" >&2
  return 1
}
