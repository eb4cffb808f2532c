#!/usr/bin/env bash
# controls.sh BINARY: runs controls.vx in a real X server (Xvfb), clicks
# its push button, types into its text box and clicks the button again with
# xdotool, then checks what the script wrote and the exit code.
set -u
binary=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
require_tools Xvfb xdotool

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/prog" "$tmp/work"
cp "$(dirname "$binary")/default.vx" "$tmp/prog/"
cp "$here/controls.vx" "$tmp/work/"

cat > "$tmp/drive.sh" <<DRIVE
#!/usr/bin/env bash
source "$here/common.sh"
cd "$tmp/work"
env -u QT_QPA_PLATFORM VEXMORA_PROGRAM_DIR="$tmp/prog" "$binary" controls.vx 2>"$tmp/stderr" &
pid=\$!
# wait_for TEXT: polls the script's output for a line for up to twenty seconds.
wait_for() {
  for _ in \$(seq 200); do
    grep -q "\$1" controls.txt 2>/dev/null && return 0
    kill -0 \$pid 2>/dev/null || break
    sleep 0.1
  done
  echo "never saw: \$1"; cat controls.txt 2>/dev/null; return 1
}
win=\$(wait_for_window controls.txt start) || { kill \$pid; exit 1; }
xdotool windowfocus --sync "\$win" 2>/dev/null
xdotool mousemove --window "\$win" 80 40 click 1
wait_for "button 1" || { kill \$pid; exit 1; }
xdotool mousemove --window "\$win" 120 115 click 1
xdotool type --delay 20 "Hi there"
xdotool mousemove --window "\$win" 80 40 click 1
wait_for "button 2" || { kill \$pid; exit 1; }
for _ in \$(seq 50); do kill -0 \$pid 2>/dev/null || break; sleep 0.1; done
if kill -0 \$pid 2>/dev/null; then echo "still running"; cat controls.txt; kill \$pid; exit 1; fi
wait \$pid
echo "exit \$?" > "$tmp/exit"
DRIVE
chmod +x "$tmp/drive.sh"
"$here/with_x_server.sh" 1600x1000x24 "$tmp/drive.sh" || { cat "$tmp/stderr" 2>/dev/null; exit 1; }

# The button gets no notification details, so G_INFO keeps what the script
# put there; the second click sees what was typed.
expected=$'start\r\nbutton 1 info 42 text []\r\nbutton 2 info 42 text [Hi there]\r\n'
actual=$(cat "$tmp/work/controls.txt" 2>/dev/null)
status=0
if [ "$actual" != "${expected%$'\n'}" ]; then
  echo "controls.txt differs:"; printf '%s\n' "$actual" | cat -A; status=1
fi
if [ "$(cat "$tmp/exit" 2>/dev/null)" != "exit 7" ]; then
  echo "exit code: $(cat "$tmp/exit" 2>/dev/null)"; status=1
fi
exit $status
