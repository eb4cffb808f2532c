#!/usr/bin/env bash
# long_label.sh BINARY PING_WINDOW WINDOW_PIXELS: runs long_label.vx in a real
# X server (Xvfb) under openbox. While its Initial label loops for four
# seconds the window must keep painting (pictures of it read during the loop
# differ, and show the bank's drawing) and answer the window manager's ping,
# while a click and the timer wait: their labels run only after the loop.
set -u
binary=$1
ping_window=$2
window_pixels=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
require_tools Xvfb xdotool openbox

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/prog" "$tmp/work"
cp "$(dirname "$binary")/default.vx" "$tmp/prog/"
cp "$here/long_label.vx" "$tmp/work/"

cat > "$tmp/drive.sh" <<DRIVE
#!/usr/bin/env bash
source "$here/common.sh"
openbox >/dev/null 2>&1 &
wm=\$!
trap 'kill \$wm 2>/dev/null' EXIT
sleep 0.5
cd "$tmp/work"
env -u QT_QPA_PLATFORM VEXMORA_PROGRAM_DIR="$tmp/prog" "$binary" long_label.vx 2>"$tmp/stderr" &
pid=\$!
win=\$(wait_for_window long_label.txt start) || { kill \$pid; exit 1; }
# Pictures of the window, 0.4 s apart: the hash of its pixels and the
# colour inside the bar the label draws.
for i in 1 2 3 4; do
  sleep 0.4
  "$window_pixels" "\$win" 30 80 >> "$tmp/pictures"
  [ \$i = 1 ] && "$ping_window" "\$win" 1000 > "$tmp/ping"
  [ \$i = 2 ] && xdotool mousemove --window "\$win" 600 400 click 1
done
grep -q "loop end" long_label.txt && echo "the loop ended before the checks" >> "$tmp/problems"
sleep 0.5
touch stop
for _ in \$(seq 100); do
  grep -q "click" long_label.txt && grep -q "timer" long_label.txt && break
  sleep 0.1
done
kill \$pid 2>/dev/null
wait \$pid 2>/dev/null
exit 0
DRIVE
chmod +x "$tmp/drive.sh"
"$here/with_x_server.sh" 1600x1000x24 "$tmp/drive.sh" || { cat "$tmp/stderr" 2>/dev/null; exit 1; }

status=0
if [ -s "$tmp/problems" ]; then cat "$tmp/problems"; status=1; fi
# Painting: the pictures differ from one another, and the blue bar the
# label draws into the bank is on the screen.
distinct=$(awk '{print $1}' "$tmp/pictures" 2>/dev/null | sort -u | wc -l)
if [ "$distinct" -lt 3 ]; then
  echo "only $distinct different pictures of the window in 4 during the loop:"
  cat "$tmp/pictures" 2>/dev/null; status=1
fi
if [ "$(tail -1 "$tmp/pictures" 2>/dev/null | awk '{print $2}')" != "2040C0" ]; then
  echo "the bank's drawing is not on the screen:"; cat "$tmp/pictures" 2>/dev/null; status=1
fi
if ! grep -q "^pong" "$tmp/ping" 2>/dev/null; then
  echo "the window manager's ping was not answered during the loop: $(cat "$tmp/ping" 2>/dev/null)"; status=1
fi
# Order: the loop's end comes before the click and the timer, which ran
# after it (their lines say DONE = 1).
lines=$(tr -d '\r' < "$tmp/work/long_label.txt" 2>/dev/null)
if [ "$(printf '%s\n' "$lines" | head -2)" != $'start\nloop end' ]; then
  echo "labels ran during the loop:"; printf '%s\n' "$lines"; status=1
fi
for want in "click 1" "timer 1"; do
  printf '%s\n' "$lines" | grep -qx "$want" || { echo "missing '$want':"; printf '%s\n' "$lines"; status=1; }
done
[ $status -ne 0 ] && cat "$tmp/stderr" 2>/dev/null
exit $status
