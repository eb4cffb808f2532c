#!/usr/bin/env bash
# window_topmost_wm.sh BINARY: runs window_state.vx in a real X server
# (Xvfb) under a window manager (openbox). TopWindow and ShowWindow ask
# the manager to keep the window above the others and to stop: the manager's
# _NET_WM_STATE on the window follows, while the window stays the one X
# window the script reports and keys keep reaching it.
set -u
binary=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
require_tools Xvfb xdotool xprop openbox

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/prog" "$tmp/work" "$tmp/config"
cp "$(dirname "$binary")/default.vx" "$tmp/prog/"
cp "$here/window_state.vx" "$tmp/work/"

cat > "$tmp/drive.sh" <<DRIVE
#!/usr/bin/env bash
source "$here/common.sh"
export XDG_CONFIG_HOME="$tmp/config"
start_window_manager
cd "$tmp/work"
env -u QT_QPA_PLATFORM VEXMORA_PROGRAM_DIR="$tmp/prog" "$binary" window_state.vx 2>"$tmp/stderr" &
pid=\$!
finish() { kill \$pid 2>/dev/null; wait \$pid 2>/dev/null; kill \$wm; exit \$1; }
wait_for() {  # wait_for TEXT: polls the script's output for up to twenty seconds
  for _ in \$(seq 200); do
    grep -q "\$1" state.txt 2>/dev/null && return 0
    kill -0 \$pid 2>/dev/null || break
    sleep 0.1
  done
  echo "never saw: \$1"; cat state.txt 2>/dev/null; return 1
}
above() {
  xprop -id "\$win" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_ABOVE && echo yes || echo no
}
# state NAME WANT: gives the manager up to five seconds to reach WANT, then
# notes the window's id and whether it is kept above.
state() {
  for _ in \$(seq 50); do [ "\$(above)" = "\$2" ] && break; sleep 0.1; done
  echo "\$1 \$(xdotool search --onlyvisible --name Vexmora | tr '\n' ' ')above \$(above)" >> "$tmp/states"
}
key() {  # key NAME TEXT: types a key into the window and waits for its line
  xdotool windowactivate --sync "\$win" 2>/dev/null || xdotool windowfocus --sync "\$win" 2>/dev/null
  xdotool key "\$1"
  wait_for "\$2"
}
win=\$(wait_for_window state.txt start) || finish 1
echo "\$win" > "$tmp/win"
xprop -root _NET_SUPPORTING_WM_CHECK > "$tmp/manager"
state initial yes
key F1 show || finish 1
sleep 0.3  # ShowWindow keeps it topmost for three ticks
state shown no
key F2 "^top" || finish 1
state top yes
key F3 "not top" || finish 1
state "not top" no
finish 0
DRIVE
chmod +x "$tmp/drive.sh"
"$here/with_x_server.sh" 1600x1000x24 "$tmp/drive.sh" || { cat "$tmp/stderr" 2>/dev/null; exit 1; }

status=0
check() {  # check WHAT EXPECTED ACTUAL
  if [ "$3" != "$2" ]; then
    echo "$1 differs:"; printf '%s\n' "$3" | cat -A; status=1
  fi
}
grep -q "window id" "$tmp/manager" || { echo "no window manager ran"; status=1; }
win=$(cat "$tmp/win")
hex=$(printf '%#x' "$win")
check state.txt "start hMainWnd=$hex"$'\r\n'"show hMainWnd=$hex"$'\r\ntop\r\nnot top\r' \
  "$(cat "$tmp/work/state.txt" 2>/dev/null)"
check states "initial $win above yes
shown $win above no
top $win above yes
not top $win above no" "$(cat "$tmp/states" 2>/dev/null)"
exit $status
