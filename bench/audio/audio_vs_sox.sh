#!/usr/bin/env bash
# audio_vs_sox.sh [BENCH_BINARY]
#
# The same sound work in sox, on a 524,288-sample 16-bit mono file at
# 44.1 kHz: a low-pass filter pass (sox lowpass, a biquad like LPFltr) and a
# whole-file spectrum (sox stat -freq). Prints the best of five wall-clock
# times in milliseconds, then runs our benchmarks for comparison.
set -euo pipefail
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
sox -n -r 44100 -b 16 -c 1 "$tmp/in.wav" synth 524288s sine 300 sine 3000 vol 0.4

best() {
  local best_ms=999999
  for _ in 1 2 3 4 5; do
    local start end ms
    start=$(date +%s%N)
    "$@" > /dev/null 2>&1
    end=$(date +%s%N)
    ms=$(( (end - start) / 1000000 ))
    (( ms < best_ms )) && best_ms=$ms
  done
  echo "$best_ms"
}

echo "sox lowpass 1000 Hz over 524288 samples: $(best sox "$tmp/in.wav" "$tmp/out.wav" lowpass 1000) ms (process included)"
echo "sox stat -freq over 524288 samples:     $(best sox "$tmp/in.wav" -n stat -freq) ms (process included)"
echo "sox process start (sox -n -n trim 0 0):  $(best sox -n -n trim 0 0) ms"
bench=${1:-build/bench/vexmora_bench}
if [ -x "$bench" ]; then
  "$bench" --benchmark_filter='Refill|LowPass|Spectrum' --benchmark_min_time=0.2
fi
