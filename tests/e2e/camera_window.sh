#!/usr/bin/env bash
# camera_window.sh BINARY: the file camera plays a three-second video into
# the bank of a real window (Xvfb) while the window stays responsive: a
# click in the middle of the playback runs its label between frames, the
# frame label keeps running after it, and the window shows the last frame
# when the video ends.
set -u
binary=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
require_tools Xvfb xdotool ffmpeg

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/prog"
cp "$(dirname "$binary")/default.vx" "$tmp/prog/"
ffmpeg -v error -f lavfi -i testsrc=size=160x120:rate=25 -frames:v 75 -c:v ffv1 "$tmp/clip.mkv"
ffmpeg -v error -i "$tmp/clip.mkv" -vf "select=eq(n\,74)" -f rawvideo -pix_fmt rgb24 "$tmp/last.rgb"
cat > "$tmp/camera.vx" <<'VX'
Data FILE OUT "events.txt"
Data string LINE 200
Data long FRAMES 0
Data long AFTER 0
Data long CLICKED 0

:Initial
CALL VRamClear 0
CALL VideoInit
CALL CrtVideoWin -1, 10, 10
ENDP

:VIDEO_FRAME
If G_ERROR == 1
  CALL GetVideoStat
  LINE = "end " + G_WORK2 + " " + CLICKED + " " + AFTER + "\r\n"
  AddTo LINE OUT
  Exit
endif
inc FRAMES
If CLICKED > 0
  inc AFTER
endif
ENDP

:LButtonDown
If CLICKED == 0
  CLICKED = FRAMES
endif
ENDP
VX

cat > "$tmp/drive.sh" <<DRIVE
#!/usr/bin/env bash
cd "$tmp"
env -u QT_QPA_PLATFORM VEXMORA_PROGRAM_DIR="$tmp/prog" VEXMORA_CAMERA="file:$tmp/clip.mkv" \
  "$binary" --vram-png "$tmp/window.png" -- "$tmp/camera.vx" 2>"$tmp/stderr" &
pid=\$!
win=""
for _ in \$(seq 100); do
  win=\$(xdotool search --onlyvisible --pid \$pid 2>/dev/null | head -1)
  [ -n "\$win" ] && break
  sleep 0.1
done
[ -n "\$win" ] || { echo "no window"; kill \$pid; exit 1; }
sleep 1
xdotool mousemove --window "\$win" 300 300 click 1
for _ in \$(seq 100); do
  kill -0 \$pid 2>/dev/null || break
  sleep 0.1
done
kill -0 \$pid 2>/dev/null && { echo "the program did not end with the video"; kill \$pid; exit 1; }
wait \$pid
DRIVE
chmod +x "$tmp/drive.sh"
"$here/with_x_server.sh" 1280x1000x24 "$tmp/drive.sh" || { cat "$tmp/stderr" 2>/dev/null; exit 1; }

read -r word received clicked after < <(tr -d '\r' < "$tmp/events.txt") || { echo "no end event"; exit 1; }
failed=0
[ "$word" = end ] && [ "$received" = 75 ] || { echo "received $received frames, expected 75"; failed=1; }
# The click came while frames were still arriving, and frames went on after it.
[ "$clicked" -gt 0 ] || { echo "the click ran before any frame"; failed=1; }
[ "$after" -gt 0 ] || { echo "no frame label ran after the click"; failed=1; }
python3 "$here/../support/compare_png.py" "$tmp/window.png" 10 10 "$tmp/last.rgb" 160 120 2 || failed=1
if grep -v "^QStandardPaths" "$tmp/stderr" | grep -q .; then echo "standard error:"; cat "$tmp/stderr"; failed=1; fi
exit $failed
