# Sourced by the drivers that run inside an X server (with_x_server.sh).

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
