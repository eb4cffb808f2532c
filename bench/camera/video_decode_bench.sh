#!/usr/bin/env bash
# video_decode_bench.sh [BUILD DIR] [RUNS]
#
# Decoding a 640 x 480 video into a drawing bank, frames per second, next to
# the ffmpeg tool decoding the same file to nothing (`-f null`) and to
# nothing after the same conversion to 24-bit pixels. The video is made by
# ffmpeg's test source: 600 frames of H.264 (the usual camera and phone
# format) and of MPEG-4 Part 2 (what VideoFile writes). The script reads
# every frame with VideoFile mode 1; its time is the whole process, so it
# includes the start-up and the script (a few milliseconds). Each figure
# is the best of RUNS runs (default 3).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
runs=${2:-3}
binary=$build/vexmora
[ -x "$binary" ] || { echo "no $binary: build the vexmora target" >&2; exit 1; }
command -v ffmpeg > /dev/null || { echo "ffmpeg missing (package ffmpeg)" >&2; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
frames=600
export VEXMORA_PROGRAM_DIR="$tmp/prog"
mkdir -p "$tmp/prog"
cp "$build/default.vx" "$tmp/prog/"
cat > "$tmp/decode.vx" <<'VX'
Data long N 0
:Initial
CALL VideoFile 0, "video.mp4"
while 1
  CALL VideoFile 1, -1, 0, 0
  If G_ERROR BREAK
  inc N
endwhile
CALL DebugFunc 0, "" + N
Exit
VX

best() {  # best wall time in seconds of RUNS runs of a command
  python3 - "$runs" "$@" <<'PY'
import subprocess, sys, time
runs, cmd = int(sys.argv[1]), sys.argv[2:]
best = None
for _ in range(runs):
    start = time.perf_counter()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    t = time.perf_counter() - start
    best = t if best is None else min(best, t)
print(f"{best:.3f}")
PY
}

for codec in libx264 mpeg4; do
  video=$tmp/video.mp4  # the name the script reads, beside it
  rm -f "$video"
  ffmpeg -v error -f lavfi -i testsrc=size=640x480:rate=30 -frames:v $frames -c:v $codec \
    -pix_fmt yuv420p "$video"
  got=$(cd "$tmp" && "$binary" --headless -- "$tmp/decode.vx" 2>&1 |
        sed 's/\[Debug\] //')
  [ "$got" = "$frames" ] || { echo "the script read $got frames, not $frames" >&2; exit 1; }
  ours=$(cd "$tmp" && best "$binary" --headless -- "$tmp/decode.vx")
  null=$(best ffmpeg -v error -i "$video" -f null -)
  bgr=$(best ffmpeg -v error -i "$video" -pix_fmt bgr24 -f null -)
  python3 - "$codec" "$frames" "$ours" "$null" "$bgr" <<'PY'
import sys
codec, frames = sys.argv[1], int(sys.argv[2])
ours, null, bgr = (float(x) for x in sys.argv[3:6])
print(f"{codec:8} 640x480 x {frames}: VideoFile into a bank {frames / ours:7.0f} fps ({ours:.3f} s), "
      f"ffmpeg -f null {frames / null:7.0f} fps, ffmpeg to bgr24 -f null {frames / bgr:7.0f} fps")
PY
done
