#!/usr/bin/env bash
# run_fuzz.sh TARGET CORPUS_DIR SEEDS_DIR SECONDS: fuzzes for a bounded time.
set -euo pipefail
target=$1 corpus=$2 seeds=$3 seconds=$4
mkdir -p "$corpus"
export LSAN_OPTIONS="suppressions=$(dirname "$0")/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
dirs=("$corpus")
[ -d "$seeds" ] && dirs+=("$seeds")
# One input may rightly draw millions of pixels, which the sanitizers make
# slow; only an input stuck for a minute counts as a hang.
exec "$target" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=4096 -print_final_stats=1 "${dirs[@]}"
