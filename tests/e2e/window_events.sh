#!/usr/bin/env bash
# window_events.sh BINARY CLOSE_WINDOW: runs window_events.vx in a real X server (Xvfb),
# clicks, types and closes the window with xdotool, then checks what the
# script wrote and the exit code.
set -u
binary=$1
close_window=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
require_tools Xvfb xdotool

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/prog" "$tmp/work"
cp "$(dirname "$binary")/default.vx" "$tmp/prog/"
cp "$here/window_events.vx" "$tmp/work/"

cat > "$tmp/drive.sh" <<DRIVE
#!/usr/bin/env bash
source "$here/common.sh"
cd "$tmp/work"
env -u QT_QPA_PLATFORM VEXMORA_PROGRAM_DIR="$tmp/prog" "$binary" window_events.vx 2>"$tmp/stderr" &
pid=\$!
win=\$(wait_for_window events.txt start) || { kill \$pid; exit 1; }
xdotool mousemove --window "\$win" 40 30 click 1
sleep 0.3
xdotool windowfocus --sync "\$win" 2>/dev/null
xdotool key a Right
sleep 0.3
"$close_window" "\$win"
for _ in \$(seq 50); do kill -0 \$pid 2>/dev/null || break; sleep 0.1; done
if kill -0 \$pid 2>/dev/null; then echo "still running"; cat events.txt; kill \$pid; exit 1; fi
wait \$pid
echo "exit \$?" > "$tmp/exit"
DRIVE
chmod +x "$tmp/drive.sh"
"$here/with_x_server.sh" 1600x1000x24 "$tmp/drive.sh" || { cat "$tmp/stderr" 2>/dev/null; exit 1; }

expected=$'start\r\nclick 40 30\r\nchar 97\r\nkey 39\r\nclose 1\r\n'
actual=$(cat "$tmp/work/events.txt" 2>/dev/null)
status=0
if [ "$actual" != "${expected%$'\n'}" ]; then
  echo "events.txt differs:"; printf '%s\n' "$actual" | cat -A; status=1
fi
if [ "$(cat "$tmp/exit" 2>/dev/null)" != "exit 5" ]; then
  echo "exit code: $(cat "$tmp/exit" 2>/dev/null)"; status=1
fi
exit $status
