#!/usr/bin/env bash
# run_script_bench.sh [BINARY] [RUNS]
#
# Times whole scripts: each program of bench/scripts in vexmora (headless,
# process start included) and the same program in Lua 5.4, Python 3 and
# Tcl 8.6, best of RUNS runs (default 3). "script" forms keep their
# variables global, as a vexmora script does; "local" forms are each peer's
# fast idiom (locals, a compiled procedure). Ratios are peer time divided by
# vexmora time: above 1 means vexmora is faster.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
binary=${1:-$here/../build/vexmora}
runs=${2:-3}
binary=$(cd "$(dirname "$binary")" && pwd)/$(basename "$binary")

lua=$(command -v lua5.4 || true)
python=/usr/bin/python3
tcl=$(command -v tclsh8.6 || command -v tclsh || true)

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp "$(dirname "$binary")/default.vx" "$tmp/default.vx"
cp "$here"/scripts/* "$tmp/"

# Best wall-clock time in seconds of a command, over $runs runs.
best_time() {
  local best="" start end t
  for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    "$@" > /dev/null 2> "$tmp/err" || { echo "failed: $*" >&2; cat "$tmp/err" >&2; return 1; }
    end=$(date +%s%N)
    t=$(( (end - start) / 1000 ))
    if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
  done
  awk -v us="$best" 'BEGIN { printf "%.3f", us / 1e6 }'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

cd "$tmp"
printf '%-8s %-22s %9s %8s\n' program runner seconds ratio
for program in count mixed; do
  vx=$(VEXMORA_PROGRAM_DIR="$tmp" best_time "$binary" --headless "$program.vx")
  if [ -s "$tmp/err" ]; then echo "vexmora wrote to standard error:" >&2; cat "$tmp/err" >&2; fi
  printf '%-8s %-22s %9s %8s\n' "$program" vexmora "$vx" ""
  for form in "" _local; do
    label=${form:-_script}
    label=${label#_}
    if [ -n "$lua" ]; then
      t=$(best_time "$lua" "$program$form.lua")
      printf '%-8s %-22s %9s %8s\n' "$program" "lua5.4 ($label)" "$t" "$(ratio "$t" "$vx")"
    fi
    t=$(best_time "$python" "$program$form.py")
    printf '%-8s %-22s %9s %8s\n' "$program" "python3 ($label)" "$t" "$(ratio "$t" "$vx")"
    if [ -n "$tcl" ]; then
      t=$(best_time "$tcl" "$program$form.tcl")
      printf '%-8s %-22s %9s %8s\n' "$program" "tclsh8.6 ($label)" "$t" "$(ratio "$t" "$vx")"
    fi
  done
done
