#!/usr/bin/env bash
# window_latency.sh BINARY CLOSE_WINDOW: in a real X server, measures the
# time from process start to the first painted frame, and from a mouse
# press reaching the window to the end of the repaint its label caused
# (VEXMORA_TIMING prints wall-clock microseconds of both).
set -eu
binary=$(realpath "$1")
close_window=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/prog" "$tmp/work"
cp "$(dirname "$binary")/default.vx" "$tmp/prog/"
cp "$here/window_latency.vx" "$tmp/work/"
cat > "$tmp/drive.sh" <<DRIVE
#!/usr/bin/env bash
cd "$tmp/work"
for run in 1 2 3 4 5; do
  start=\$(date +%s%6N)
  VEXMORA_TIMING=1 VEXMORA_PROGRAM_DIR="$tmp/prog" "$binary" window_latency.vx 2>"$tmp/timing" &
  pid=\$!
  win=""
  for _ in \$(seq 100); do
    win=\$(xdotool search --onlyvisible --name Vexmora 2>/dev/null | head -1)
    [ -n "\$win" ] && grep -q first-paint "$tmp/timing" && break
    sleep 0.05
  done
  sleep 0.3
  for click in 1 2 3 4 5; do xdotool mousemove --window "\$win" 50 50 click 1; sleep 0.2; done
  "$close_window" "\$win"
  for _ in \$(seq 50); do kill -0 \$pid 2>/dev/null || break; sleep 0.1; done
  kill \$pid 2>/dev/null || true
  wait \$pid || true
  first=\$(awk '/first-paint/ {print \$3; exit}' "$tmp/timing")
  if [ -n "\$first" ]; then
    echo "start-to-first-paint-ms \$(( (first - start) / 1000 ))"
  else
    echo "start-to-first-paint-ms - (run \$run painted nothing)"
  fi
  awk '/mouse/ {m=\$3} /\] paint/ && m {printf "mouse-to-repaint-us %d\n", \$3 - m; m=0}' "$tmp/timing"
done
DRIVE
chmod +x "$tmp/drive.sh"
xvfb-run -a -n 141 -s "-screen 0 1600x1000x24" "$tmp/drive.sh"
