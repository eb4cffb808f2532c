#!/usr/bin/env bash
# window_position_wm.sh BINARY: runs window_position.vx in a real X server
# (Xvfb) under a window manager (openbox). SetWindowPos places the frame,
# title bar included, as on Windows: 0, 0 in Initial (before the manager has
# framed the window) puts the frame's top-left corner at the screen's, and a
# later move does the same for the shown window. SetWindowSize sizes the
# client area; GetWindowSz and GetClientSz read back what was set.
set -u
binary=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
require_tools Xvfb xdotool xprop xwininfo openbox

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/prog" "$tmp/work" "$tmp/config"
cp "$(dirname "$binary")/default.vx" "$tmp/prog/"
cp "$here/window_position.vx" "$tmp/work/"

cat > "$tmp/drive.sh" <<DRIVE
#!/usr/bin/env bash
source "$here/common.sh"
export XDG_CONFIG_HOME="$tmp/config"
start_window_manager
cd "$tmp/work"
env -u QT_QPA_PLATFORM VEXMORA_PROGRAM_DIR="$tmp/prog" "$binary" window_position.vx 2>"$tmp/stderr" &
pid=\$!
finish() { kill \$pid 2>/dev/null; wait \$pid 2>/dev/null; kill \$wm; exit \$1; }
wait_for() {  # wait_for TEXT: polls the script's output for up to twenty seconds
  for _ in \$(seq 200); do
    grep -q "\$1" position.txt 2>/dev/null && return 0
    kill -0 \$pid 2>/dev/null || break
    sleep 0.1
  done
  echo "never saw: \$1"; cat position.txt 2>/dev/null; return 1
}
# frame NAME: where the frame's top-left corner is, as the X server has it
# (the client's place less its offset in the frame), once it has settled.
frame() {
  sleep 2.5
  xwininfo -id "\$win" -frame | awk -v name="\$1" '
    /Absolute upper-left X/ { ax = \$NF } /Absolute upper-left Y/ { ay = \$NF }
    /Relative upper-left X/ { rx = \$NF } /Relative upper-left Y/ { ry = \$NF }
    END { print name, ax - rx, ay - ry, (ry > 0 ? "framed" : "unframed") }' >> "$tmp/frames"
}
key() {  # key NAME TEXT: types a key into the window and waits for its line
  xdotool windowactivate --sync "\$win" 2>/dev/null || xdotool windowfocus --sync "\$win" 2>/dev/null
  xdotool key "\$1"
  wait_for "\$2"
}
win=\$(wait_for_window position.txt start) || finish 1
frame initial
key F2 "^frame" || finish 1
key F3 moved || finish 1
frame moved
key F2 "client 500" || finish 1
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
check frames "initial 0 0 framed
moved 100 50 framed" "$(cat "$tmp/frames" 2>/dev/null)"
# Read back: the frame's corners, then the client area's size.
lines=$(tr -d '\r' < "$tmp/work/position.txt" 2>/dev/null)
first=$(printf '%s\n' "$lines" | sed -n 2p)
second=$(printf '%s\n' "$lines" | sed -n 4p)
case "$first" in
  "frame 0 0 "*" client 400 300") ;;
  *) echo "read back after Initial: $first"; status=1 ;;
esac
case "$second" in
  "frame 100 50 "*" client 500 400") ;;
  *) echo "read back after the move: $second"; status=1 ;;
esac
# The frame is larger than the client area by the manager's borders.
read -r _ l t r b _ w h <<< "$first"
if [ $((r - l)) -le 400 ] || [ $((b - t)) -le 300 ]; then echo "frame not larger than the client: $first"; status=1; fi
exit $status
