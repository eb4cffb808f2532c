#!/usr/bin/env bash
# peer_pictures.sh [BUILD DIR] [RUNS] [ROUNDS]
#
# The drawing and picture operations scripts call most (lines, filled
# shapes, text, BMP and JPEG load and save, turning, zooming, blur, median,
# grey, negative, colour conversions, histogram) on a 1920 x 1080 picture,
# ours (BM_Pict_* of vexmora_bench) next to OpenCV, cairo and PIL doing the
# same in process (peer_pictures.py), in one table. Both sides are timed on
# one thread by CPU time, the best of RUNS (default 5), which the load of
# other programs on the machine disturbs least; "ours, all cores" is the wall
# time with the thread pool at its default size. Ratio = ours (one thread)
# / the fastest peer; below 1 we are faster. With ROUNDS (default 1) the
# two sides take turns that many times and each keeps its best: a virtual
# machine's host speeds up and slows down over minutes, and one side
# measured in a slow stretch would otherwise look worse than it is.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
runs=${2:-5}
rounds=${3:-1}
bench=$build/bench/vexmora_bench
[ -x "$bench" ] || { echo "no $bench: build the vexmora_bench target" >&2; exit 1; }
/usr/bin/python3 -c 'import cv2, cairo, PIL' 2>/dev/null ||
  echo "note: python3-opencv, python3-cairo or python3-pil missing (scripts/install-deps.sh)" >&2

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
run_ours() {
  "$bench" --benchmark_filter='BM_Pict_' --benchmark_repetitions="$runs" \
    --benchmark_format=json 2>/dev/null > "$1"
}
for round in $(seq "$rounds"); do
  VEXMORA_THREADS=1 run_ours "$tmp/one.$round.json"
  run_ours "$tmp/all.$round.json"
  /usr/bin/python3 "$here/peer_pictures.py" "$runs" >> "$tmp/peers.txt"
done

/usr/bin/python3 - "$tmp" "$rounds" <<'PY'
import json, sys

tmp, rounds = sys.argv[1], int(sys.argv[2])

def best(kind, field):
    out = {}
    for r in range(1, rounds + 1):
        for b in json.load(open(f"{tmp}/{kind}.{r}.json"))["benchmarks"]:
            if b.get("run_type") != "iteration":
                continue
            name = b["run_name"].removeprefix("BM_Pict_")
            scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
            out[name] = min(out.get(name, float("inf")), b[field] * scale)
    return out

one = best("one", "cpu_time")
cores = best("all", "real_time")
peers = {}
for line in open(f"{tmp}/peers.txt"):
    name, peer, ms = line.split()
    mine = peers.setdefault(name, {})
    mine[peer] = min(mine.get(peer, float("inf")), float(ms))
cell = lambda v: f"{v:9.2f}" if v is not None else "        -"
print("| operation      | ours 1 thread | ours all cores |    opencv |     cairo |       pil | ratio |")
print("|----------------|---------------|----------------|-----------|-----------|-----------|-------|")
for name, ms in one.items():
    p = peers.get(name, {})
    fastest = min(p.values()) if p else None
    ratio = f"{ms / fastest:5.2f}" if fastest else "    -"
    print(f"| {name:14} | {ms:13.2f} | {cores.get(name, 0):14.2f} | {cell(p.get('opencv'))} | "
          f"{cell(p.get('cairo'))} | {cell(p.get('pil'))} | {ratio} |")
print("milliseconds; ratio = ours on one thread / the fastest peer")
PY
