#!/usr/bin/env bash
# run_fuzz.sh TARGET CORPUS_DIR SEEDS_DIR SECONDS: fuzzes for a bounded time.
set -euo pipefail
target=$1 corpus=$2 seeds=$3 seconds=$4
mkdir -p "$corpus"
export LSAN_OPTIONS="suppressions=$(dirname "$0")/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
dirs=("$corpus")
[ -d "$seeds" ] && dirs+=("$seeds")
# A fixed seed makes a run repeatable: the same mutations in the same order,
# cut off only by the time bound. VEXMORA_FUZZ_SEED=0 lets libFuzzer pick one.
seed=${VEXMORA_FUZZ_SEED:-1}
# Loops run on the calling thread alone. Every branch bumps a coverage
# counter that all threads share, so workers fight over those cache lines:
# one whole-bank blur took 15 s on one thread and 104 s on two. Splitting
# the work is checked against one thread byte for byte by the unit tests.
export VEXMORA_THREADS=1
# One input may rightly draw millions of pixels, which the sanitizers make
# slow; only an input stuck for a minute counts as a hang.
exec "$target" -seed="$seed" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=4096 -print_final_stats=1 "${dirs[@]}"
