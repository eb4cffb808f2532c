#!/usr/bin/env bash
# launcher.sh BINARY: starts the program without a command line in a real X
# server (Xvfb): default.vx chains to the launcher of the examples. The
# second example is chosen with a click and run with the Run button;
# its window title shows that the launcher chained to it.
set -u
binary=$1
here=$(cd "$(dirname "$0")" && pwd)
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps.sh installs it)"; exit 1; }
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/prog"
cp "$(dirname "$binary")/default.vx" "$(dirname "$binary")/launcher.vx" "$tmp/prog/"
cp -R "$here/../../examples" "$tmp/prog/examples"
second=$(sed -n 2p "$tmp/prog/examples/index.txt" | cut -d' ' -f1)
[ "$second" = controls_timers.vx ] || { echo "the second example is $second"; exit 1; }

cat > "$tmp/drive.sh" <<DRIVE
#!/usr/bin/env bash
cd "$tmp"
env -u QT_QPA_PLATFORM VEXMORA_PROGRAM_DIR="$tmp/prog" "$binary" 2>"$tmp/stderr" &
pid=\$!
# find TITLE: waits up to ten seconds for a visible window with that title.
find() {
  for _ in \$(seq 100); do
    win=\$(xdotool search --onlyvisible --name "\$1" 2>/dev/null | head -1)
    [ -n "\$win" ] && { echo "\$win"; return 0; }
    sleep 0.1
  done
  return 1
}
win=\$(find "squares of 1 to 10") || { echo "no launcher window"; kill \$pid; exit 1; }
sleep 0.5
xdotool windowfocus --sync "\$win" 2>/dev/null
# The second line of the list (the list starts at y 60, lines are about
# 20 pixels high).
xdotool mousemove --window "\$win" 100 88 click 1
sleep 0.3
xdotool mousemove --window "\$win" 80 306 click 1
find "Controls and timers" > /dev/null || { echo "the example did not start"; [ -n "${LAUNCHER_SHOT:-}" ] && import -window root "${LAUNCHER_SHOT:-}"; kill \$pid; exit 1; }
kill \$pid
DRIVE
chmod +x "$tmp/drive.sh"
"$here/with_x_server.sh" 1600x1000x24 "$tmp/drive.sh" || { cat "$tmp/stderr" 2>/dev/null; exit 1; }
