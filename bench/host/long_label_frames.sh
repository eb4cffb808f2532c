#!/usr/bin/env bash
# long_label_frames.sh BINARY WINDOW_PIXELS: in a real X server (Xvfb, under
# openbox), runs a script whose Initial label loops for five seconds moving
# a progress bar, and counts the frames seen meanwhile: WINDOW_PIXELS
# (build/tests/window_pixels) reads the window's pixels as fast as it can
# and counts the changes for four seconds, and VEXMORA_TIMING's lines count the keep-alives
# and paints. Also prints how many rounds the loop made (its speed).
set -eu
binary=$(realpath "$1")
window_pixels=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
tests=$(cd "$here/../../tests/e2e" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/prog" "$tmp/work"
cp "$(dirname "$binary")/default.vx" "$tmp/prog/"
cp "$here/long_label_frames.vx" "$tmp/work/"
cat > "$tmp/drive.sh" <<DRIVE
#!/usr/bin/env bash
openbox >/dev/null 2>&1 &
wm=\$!
trap 'kill \$wm 2>/dev/null' EXIT
sleep 0.5
cd "$tmp/work"
env -u QT_QPA_PLATFORM VEXMORA_TIMING=1 VEXMORA_PROGRAM_DIR="$tmp/prog" "$binary" long_label_frames.vx 2>"$tmp/timing" &
pid=\$!
for _ in \$(seq 200); do grep -q start frames.txt 2>/dev/null && break; sleep 0.02; done
win=""
for _ in \$(seq 100); do
  win=\$(xdotool search --onlyvisible --name Vexmora 2>/dev/null | head -1)
  [ -n "\$win" ] && break
  sleep 0.02
done
[ -n "\$win" ] && "$window_pixels" "\$win" 30 80 4 > "$tmp/frames"
for _ in \$(seq 100); do kill -0 \$pid 2>/dev/null || break; sleep 0.1; done
kill \$pid 2>/dev/null || true
wait \$pid 2>/dev/null || true
DRIVE
chmod +x "$tmp/drive.sh"
"$tests/with_x_server.sh" 1600x1000x24 "$tmp/drive.sh" >/dev/null
echo "window-changes-seen-in-4s $(awk '{print $2}' "$tmp/frames" 2>/dev/null) (pixel reads $(awk '{print $4}' "$tmp/frames" 2>/dev/null))"
echo "keep-alives $(grep -c 'keep-alive' "$tmp/timing" || true)"
echo "paints $(grep -c '\] paint' "$tmp/timing" || true)"
echo "loop-rounds $(awk '/^end/ {print $2}' "$tmp/work/frames.txt" | tr -d '\r')"
