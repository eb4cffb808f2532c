#!/usr/bin/env bash
# audio_vs_sox.sh [BENCH_BINARY]
#
# The same sound work in sox and in our code, on one 524,288-sample 16-bit
# mono file at 44.1 kHz: a low-pass filter pass (sox lowpass 1000, a biquad
# like LPFltr) and spectra (sox spectrogram against SpectAnalyze over the
# whole bank, on a fast and on a prime length, and against the 170 rows of
# MkWaveSPC). sox's time for an effect is its best run with the effect less
# its best run without it (the same reading and writing), so that process
# start and file handling cancel; the filter runs over 16 copies of the
# file, and the difference is divided by 16, to stand well above the noise.
# Ours is the benchmark's time on the same samples (VEXMORA_BENCH_WAV).
# Best of RUNS (default 9) runs each: this machine's timing is bimodal.
set -euo pipefail
runs=${RUNS:-9}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# -r before -n: the null input itself runs at 44.1 kHz (after it, the rate
# would be the output's and sox would resample from its 48 kHz default).
sox -r 44100 -n -b 16 -c 1 "$tmp/in.wav" synth 524288s sine 300 sine 3000 vol 0.4
echo "input: $(soxi -s "$tmp/in.wav") samples at $(soxi -r "$tmp/in.wav") Hz"
copies=16
sox $(for _ in $(seq $copies); do echo "$tmp/in.wav"; done) "$tmp/long.wav"

# Best wall-clock time of the command, in microseconds.
best_us() {
  local best=999999999
  for _ in $(seq "$runs"); do
    local start end
    start=$(date +%s%N)
    "$@" > /dev/null 2>&1
    end=$(date +%s%N)
    local us=$(( (end - start) / 1000 ))
    (( us < best )) && best=$us
  done
  echo "$best"
}

ms() { awk -v us="$1" 'BEGIN { printf "%.2f", us / 1000 }'; }

copy=$(best_us sox "$tmp/long.wav" "$tmp/out.wav")
lowpass=$(best_us sox "$tmp/long.wav" "$tmp/out.wav" lowpass 1000)
read_only=$(best_us sox "$tmp/in.wav" -n)
spectrogram=$(best_us sox "$tmp/in.wav" -n spectrogram -o "$tmp/spectrogram.png")
echo "sox lowpass 1000:  $(ms $(((lowpass - copy) / copies))) ms a file (16 files: run $(ms "$lowpass") ms, copy alone $(ms "$copy") ms)"
echo "sox spectrogram:   $(ms $((spectrogram - read_only))) ms (run $(ms "$spectrogram") ms, reading alone $(ms "$read_only") ms)"

bench=${1:-build/bench/vexmora_bench}
if [ -x "$bench" ]; then
  VEXMORA_BENCH_WAV="$tmp/in.wav" "$bench" \
    --benchmark_filter='Refill|LowPass|StrongestComponent|Spectrogram|ShiftPitch' \
    --benchmark_min_time=0.2 --benchmark_repetitions="$runs" \
    --benchmark_report_aggregates_only=false 2>/dev/null |
    awk '/^BM_/ && !/_mean|_median|_stddev|_cv/ {
           name = $1; t = $2 " " $3
           if (!(name in best) || $2 + 0 < best[name] + 0) { best[name] = $2; unit[name] = $3 }
         }
         END { for (n in best) printf "%-40s best %s %s\n", n, best[n], unit[n] }' | sort
fi
