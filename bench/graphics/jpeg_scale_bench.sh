#!/usr/bin/env bash
# jpeg_scale_bench.sh [BUILD DIR] [RUNS]
#
# LoadJpg speed next to libjpeg-turbo's own tool on the same file: a
# detailed 2600 x 2000 4:2:0 photograph-like JPEG (ImageMagick), loaded by
# BM_LoadJpeg at scales 1, 2, 4 and 8 (every scale the exact area average of
# the full decode), and decoded by djpeg at full size and with -scale 1/4
# and 1/8 (libjpeg's reduced decoding, which skips most of the work and is
# not an area average). LoadJpg times are medians of RUNS repetitions
# (default 5); djpeg times the best of RUNS runs of a process writing to
# /dev/null, so they include the process start (about a millisecond).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
runs=${2:-5}
bench=$build/bench/vexmora_bench
[ -x "$bench" ] || { echo "no $bench: build the vexmora_bench target" >&2; exit 1; }
command -v djpeg > /dev/null || { echo "djpeg missing (package libjpeg-turbo-progs)" >&2; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
picture=$tmp/picture.jpg
convert rose: -resize 2600x2000! \( -size 2600x2000 pattern:hs_diagcross \) -compose multiply -composite \
  -attenuate 0.3 +noise Gaussian -sampling-factor 2x2 -quality 90 "$picture"
echo "picture: 2600 x 2000, 4:2:0, $(stat -c %s "$picture") bytes"

VEXMORA_BENCH_JPEG=$picture "$bench" --benchmark_filter='BM_LoadJpeg/(1|2|4|8)$' \
  --benchmark_repetitions="$runs" --benchmark_report_aggregates_only=true 2>/dev/null |
  awk '/_median/ { sub("BM_LoadJpeg/", "", $1); sub("_median", "", $1);
                   printf "LoadJpg scale %-5s %8.1f ms wall %8.1f ms CPU (median)\n", $1, $2, $4 }'

# djpeg: best of RUNS runs, CPU time of the child (user + system) and wall time.
python3 - "$picture" "$runs" <<'PY'
import resource, subprocess, sys, time
picture, runs = sys.argv[1], int(sys.argv[2])
for scale in ("1/1", "1/4", "1/8"):
    best_cpu = best_wall = None
    for _ in range(runs):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        subprocess.run(["djpeg", "-scale", scale, "-outfile", "/dev/null", picture], check=True)
        wall = (time.perf_counter() - start) * 1000
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpu = (after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime) * 1000
        best_cpu = cpu if best_cpu is None else min(best_cpu, cpu)
        best_wall = wall if best_wall is None else min(best_wall, wall)
    print(f"djpeg -scale {scale:<5} {best_wall:8.1f} ms wall {best_cpu:8.1f} ms CPU (best of {runs})")
PY
