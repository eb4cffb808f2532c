#!/usr/bin/env bash
# show_in_window.sh BINARY EXAMPLE.vx   opens the example in a window on a
# fresh X server (Xvfb), as a user would: after two seconds its window must
# show a picture, not one flat colour, and the program must still run five
# seconds later (an example waits for the user to close it; the ones that
# animate run longer than a few seconds). When NAME.keys lies beside this
# script its text is then typed into the window and the window's picture
# after that is checked against NAME.window.pixels (support/check_png.py).
# Skips (77) without Xvfb, xdotool or ImageMagick.
set -u
binary=$1
example=$2
here=$(cd "$(dirname "$0")" && pwd)
for tool in Xvfb xdpyinfo xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "skipped: missing $tool"; exit 77; }
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/prog" "$tmp/work"
cp "$(dirname "$binary")/default.vx" "$tmp/prog/"
# A copy runs, so that nothing the example writes lands in the source tree.
cp "$example" "$tmp/work/"
for companion in "${example%.vx}".*; do
  [ "$companion" = "$example" ] || cp "$companion" "$tmp/work/"
done
name=$(basename "$example")
keys=""
[ -f "$here/${name%.vx}.keys" ] && keys=$(tr -d '\r\n' < "$here/${name%.vx}.keys")

# Runs inside the X server: starts the example, waits for its window, takes
# the window's picture two seconds later, and ends the program once it has
# shown that it stays.
cat > "$tmp/drive.sh" <<EOF
#!/usr/bin/env bash
set -u
cd "$tmp/work"
env -u QT_QPA_PLATFORM XDG_CACHE_HOME="$tmp/cache" VEXMORA_PROGRAM_DIR="$tmp/prog" VEXMORA_AUDIO=null \
  "$binary" -- "$tmp/work/$name" > "$tmp/stdout" 2> "$tmp/stderr" &
pid=\$!
win=""
for _ in \$(seq 100); do
  win=\$(xdotool search --onlyvisible --pid \$pid 2>/dev/null | head -1)
  [ -n "\$win" ] && break
  kill -0 \$pid 2>/dev/null || break
  sleep 0.1
done
# An example may work for a while before its first picture (reading plates
# on a busy machine): look again until the window shows one, up to 15 s.
if [ -n "\$win" ]; then
  for _ in \$(seq 30); do
    sleep 0.5
    kill -0 \$pid 2>/dev/null || break
    import -window "\$win" "$tmp/shot.png" 2>> "$tmp/stderr"
    [ "\$(convert "$tmp/shot.png" -format '%k' info: 2>/dev/null)" -gt 1 ] 2>/dev/null && break
  done
fi
if [ -n "\$win" ] && kill -0 \$pid 2>/dev/null; then
  if [ -n "$keys" ]; then
    xdotool windowfocus --sync "\$win" 2>/dev/null
    xdotool type --delay 50 -- "$keys"
    sleep 1
    import -window "\$win" "$tmp/typed.png" 2>> "$tmp/stderr"
  fi
  sleep 6.5
fi
if kill -0 \$pid 2>/dev/null; then
  echo running > "$tmp/state"
  kill \$pid
else
  echo ended > "$tmp/state"
fi
wait \$pid 2>/dev/null
exit 0
EOF
chmod +x "$tmp/drive.sh"
timeout 60 "$here/../e2e/with_x_server.sh" 1280x800x24 "$tmp/drive.sh"
status=$?
if [ "$status" != 0 ]; then
  echo "the X server or the driver failed ($status)"
  exit 1
fi

failed=0
if [ "$(cat "$tmp/state" 2>/dev/null)" != running ]; then
  echo "$name ended by itself within seven seconds instead of waiting in its window"
  failed=1
elif [ ! -s "$tmp/shot.png" ]; then
  echo "$name showed no window"
  failed=1
else
  colours=$(convert "$tmp/shot.png" -format '%k' info: 2>/dev/null)
  if [ "${colours:-0}" -le 1 ]; then
    echo "$name shows a blank window (one colour)"
    failed=1
  fi
fi
if [ "$failed" = 0 ] && [ -n "$keys" ]; then
  # check_png.py reads 8-bit RGB without alpha.
  if ! convert "$tmp/typed.png" -alpha off -depth 8 -type TrueColor "PNG24:$tmp/typed24.png" 2>/dev/null; then
    echo "no picture of the window after typing"
    failed=1
  elif ! python3 "$here/../support/check_png.py" "$tmp/typed24.png" "$here/${name%.vx}.window.pixels"; then
    echo "after typing \"$keys\" the window does not show what it should"
    failed=1
  fi
fi
if [ "$failed" != 0 ] && [ -s "$tmp/stderr" ]; then
  echo "its standard error:"
  cat "$tmp/stderr"
fi
exit $failed
