#!/usr/bin/env bash
# launcher.sh BINARY CLOSE_WINDOW: starts the program without a command line
# in a real X server (Xvfb) under a window manager (openbox): default.vx
# chains to the launcher of the examples. Every line of the index shows in
# the list, each whole (it ends well inside the list). Enter runs the
# second example; closing its window brings the launcher back in the same
# window under its own title. A double click runs the last entry, which the
# test adds to the index: it ends itself with Exit, and the launcher comes
# back again; so it does after an entry run with the Run button. Closing
# the launcher then ends the program with status 0.
set -u
binary=$1
close_window=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
require_tools Xvfb xdotool xprop openbox import convert

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/prog" "$tmp/work" "$tmp/config" "$tmp/cache" "$tmp/runtime"
chmod 700 "$tmp/runtime"
cp "$(dirname "$binary")/default.vx" "$(dirname "$binary")/launcher.vx" "$tmp/prog/"
cp -R "$here/../../examples" "$tmp/prog/examples"
second=$(sed -n 2p "$tmp/prog/examples/index.txt" | cut -d' ' -f1)
[ "$second" = controls_timers.vx ] || { echo "the second example is $second"; exit 1; }
# An example of the test's own, last in the list, that ends by itself.
cat > "$tmp/prog/examples/ends_itself.vx" <<'VX'
MakeTimer SOON 700
:Initial
CALL SetWindowText "Ending by itself"
ENDP
On SOON
Exit
VX
printf 'ends_itself.vx      Ends itself with Exit a moment after it starts, and the launcher comes back\r\n' \
  >> "$tmp/prog/examples/index.txt"
entries=$(grep -c . "$tmp/prog/examples/index.txt")

cat > "$tmp/drive.sh" <<DRIVE
#!/usr/bin/env bash
source "$here/common.sh"
export XDG_CONFIG_HOME="$tmp/config"
start_window_manager
cd "$tmp/work"
env -u QT_QPA_PLATFORM XDG_CACHE_HOME="$tmp/cache" XDG_RUNTIME_DIR="$tmp/runtime" VEXMORA_PROGRAM_DIR="$tmp/prog" VEXMORA_AUDIO=null \
  "$binary" 2>"$tmp/stderr" &
pid=\$!
finish() { kill \$pid 2>/dev/null; wait \$pid 2>/dev/null; kill \$wm; exit \$1; }
launcher_title="Vexmora 10.52: the squares of 1 to 10 add up to 385"
# titled TEXT: waits up to fifteen seconds for the window to be titled TEXT.
titled() {
  for _ in \$(seq 150); do
    [ "\$(xdotool getwindowname "\$win" 2>/dev/null)" = "\$1" ] && return 0
    sleep 0.1
  done
  echo "the window is titled [\$(xdotool getwindowname "\$win" 2>/dev/null)], not [\$1]"
  return 1
}
for _ in \$(seq 100); do
  win=\$(xdotool search --onlyvisible --name "squares of 1 to 10" 2>/dev/null | head -1)
  [ -n "\$win" ] && break
  sleep 0.1
done
[ -n "\$win" ] || { echo "no launcher window"; finish 1; }
sleep 1
import -window "\$win" "$tmp/list.png" || finish 1

# The rows of the list that hold text: the window's picture from below the
# heading down 410 pixels, left of any scroll bar, each line of pixels
# marked by whether a dark pixel is on it.
top=52
convert "$tmp/list.png" -crop 870x410+30+\$top +repage -colorspace gray -threshold 60% -negate \
  -scale 1x410! -depth 16 txt:- | awk -F'[,:() ]+' 'NR > 1 { print (\$4 > 0) }' > "$tmp/rows"
# Runs of marked lines: one a text line; their middles go to rows.mid.
awk -v top=\$top '{ if (\$1 && !on) start = NR; if (!\$1 && on) print top + int((start + NR) / 2) - 1; on = \$1 }
  END { if (on) print top + int((start + NR) / 2) }' "$tmp/rows" > "$tmp/rows.mid"
shown=\$(wc -l < "$tmp/rows.mid")
[ "\$shown" = "$entries" ] || { echo "the list shows \$shown lines of $entries"; finish 1; }
# The rightmost black text pixel (the chosen line's white text is left
# out) ends well inside the list: no description is cut at its edge.
right=\$(convert "$tmp/list.png" -crop 1100x410+30+\$top +repage -colorspace gray -threshold 25% -negate \
  -trim -format '%[fx:page.x + w]' info:)
[ "\${right:-9999}" -lt 900 ] || { echo "the text reaches x \$right: a description is cut"; finish 1; }

# The activated window has the keyboard: Down reaches the list's second
# entry and Enter runs it, in the same window.
xdotool windowactivate --sync "\$win" 2>/dev/null || xdotool windowfocus --sync "\$win"
xdotool key Down Return
titled "Controls and timers" || finish 1
sleep 0.5
"$close_window" "\$win"
titled "\$launcher_title" || finish 1
kill -0 \$pid 2>/dev/null || { echo "closing the example ended the program"; finish 1; }

# A double click on the last entry; it ends itself.
sleep 0.5
last=\$(tail -1 "$tmp/rows.mid")
xdotool mousemove --window "\$win" 200 \$last click --repeat 2 --delay 80 1
titled "Ending by itself" || finish 1
titled "\$launcher_title" || finish 1
sleep 0.5
kill -0 \$pid 2>/dev/null || { echo "the example's Exit ended the program"; finish 1; }
[ "\$(xdotool search --onlyvisible --name "squares of 1 to 10" | head -1)" = "\$win" ] || {
  echo "the launcher came back in another window"; finish 1; }

# A click on the second entry and one on Run: the example starts, and its
# window closed brings the launcher back once more.
second_row=\$(sed -n 2p "$tmp/rows.mid")
xdotool mousemove --window "\$win" 200 \$second_row click 1
sleep 0.3
xdotool mousemove --window "\$win" 80 496 click 1
titled "Controls and timers" || finish 1
sleep 0.5
"$close_window" "\$win"
titled "\$launcher_title" || finish 1
sleep 0.5

# The launcher itself was started directly: closing it ends the program.
"$close_window" "\$win"
for _ in \$(seq 100); do kill -0 \$pid 2>/dev/null || break; sleep 0.1; done
kill -0 \$pid 2>/dev/null && { echo "closing the launcher did not end the program"; finish 1; }
wait \$pid
echo "exit \$?" > "$tmp/exit"
kill \$wm
DRIVE
chmod +x "$tmp/drive.sh"
"$here/with_x_server.sh" 1600x1000x24 "$tmp/drive.sh" || { cat "$tmp/stderr" 2>/dev/null; exit 1; }
[ "$(cat "$tmp/exit" 2>/dev/null)" = "exit 0" ] || { echo "the program ended with $(cat "$tmp/exit" 2>/dev/null)"; exit 1; }
if [ -s "$tmp/stderr" ]; then echo "standard error:"; cat "$tmp/stderr"; exit 1; fi
exit 0
