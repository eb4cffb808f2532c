#!/usr/bin/env bash
# screenshots.sh [BINARY]: takes the README's pictures, docs/screenshots/*.png.
# Each one is a run of the program (BINARY, default build/vexmora) in a
# fresh X server (Xvfb, 1280x800) under openbox, as a user starts it: the
# launcher without a command line, an example with its path. After the
# example has had time to draw, the window's client area is grabbed, cut to
# the part that shows something and written as a 256-colour PNG without
# metadata (no dates), so that a picture changes only with what it shows;
# an animated example is caught wherever it is after its time. A picture
# over 150 KB fails the script. Not run by the tests; needs Xvfb, openbox,
# xdotool and ImageMagick (scripts/install-deps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
binary=$(realpath "${1:-build/vexmora}")
out=$root/docs/screenshots
max_bytes=$((150 * 1024))
for tool in Xvfb xdpyinfo openbox xdotool xprop import convert; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps.sh installs it)"; exit 1; }
done
[ -x "$binary" ] || { echo "no program at $binary (scripts/build.sh builds it)"; exit 1; }

# NAME|SCRIPT|SECONDS|CROP: the picture's name, the example (empty: the
# launcher), how long it draws before the picture, and the client-area
# rectangle kept (WIDTHxHEIGHT+X+Y).
shots=(
  "launcher||2|1200x550+0+0"
  "drawing|drawing.vx|3|1200x720+0+0"
  "images|images.vx|4|740x370+0+0"
  "waves|waves.vx|5|1200x660+0+0"
  "geometry3d|geometry3d.vx|4|1200x720+0+0"
  "controls|controls_timers.vx|3|440x200+0+0"
)

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/prog" "$tmp/work" "$tmp/cache" "$tmp/config" "$tmp/home" "$out"
# A copy runs, so that nothing an example writes lands in the source tree.
cp "$root/default.vx" "$root/launcher.vx" "$tmp/prog/"
cp -R "$root/examples" "$tmp/prog/examples"

cat > "$tmp/drive.sh" <<'DRIVE'
#!/usr/bin/env bash
# Inside the X server: one run per picture, each grabbed to $tmp/NAME.png.
set -u
mapfile -t SHOTS <<< "$SHOTS_TEXT"
openbox >/dev/null 2>&1 &
wm=$!
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
  sleep 0.1
done
status=0
for shot in "${SHOTS[@]}"; do
  IFS='|' read -r name script seconds _ <<< "$shot"
  args=()
  [ -n "$script" ] && args=(-- "$PROG/examples/$script")
  (cd "$WORK" && exec env -u QT_QPA_PLATFORM HOME="$HOMEDIR" XDG_CACHE_HOME="$CACHE" XDG_CONFIG_HOME="$CONFIG" \
    VEXMORA_PROGRAM_DIR="$PROG" VEXMORA_AUDIO=null "$BINARY" "${args[@]}" >/dev/null 2>"$TMP/$name.stderr") &
  pid=$!
  win=""
  for _ in $(seq 100); do
    win=$(xdotool search --onlyvisible --pid $pid 2>/dev/null | head -1)
    [ -n "$win" ] && break
    sleep 0.1
  done
  if [ -z "$win" ]; then
    echo "$name: no window"; cat "$TMP/$name.stderr"; status=1
  else
    # Away from the pointer, so that no hover shows.
    xdotool mousemove 1279 799
    sleep "$seconds"
    import -window "$win" "$TMP/$name.png" || status=1
  fi
  kill $pid 2>/dev/null
  wait $pid 2>/dev/null
done
kill $wm
exit $status
DRIVE
chmod +x "$tmp/drive.sh"
SHOTS_TEXT=$(printf '%s\n' "${shots[@]}")
TMP=$tmp PROG=$tmp/prog WORK=$tmp/work CACHE=$tmp/cache CONFIG=$tmp/config HOMEDIR=$tmp/home BINARY=$binary \
  XDG_CONFIG_HOME=$tmp/config SHOTS_TEXT=$SHOTS_TEXT \
  "$root/tests/e2e/with_x_server.sh" 1280x800x24 "$tmp/drive.sh"

failed=0
for shot in "${shots[@]}"; do
  IFS='|' read -r name _ _ crop <<< "$shot"
  convert "$tmp/$name.png" -crop "$crop" +repage -strip -colors 256 \
    -define png:compression-level=9 -define png:exclude-chunks=date,time "PNG8:$out/$name.png"
  size=$(stat -c %s "$out/$name.png")
  echo "$out/$name.png: $(convert "$out/$name.png" -format '%wx%h' info:), $size bytes"
  if [ "$size" -gt "$max_bytes" ]; then
    echo "$name.png is over 150 KB"
    failed=1
  fi
done
exit $failed
