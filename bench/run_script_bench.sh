#!/usr/bin/env bash
# run_script_bench.sh [BINARY] [RUNS]
#
# Times whole scripts: each program of bench/scripts in vexmora (headless,
# process start included) and the same program in Lua 5.4, Python 3 and
# Tcl 8.6, best of RUNS runs (default 3). Times are the CPU time of the
# process (user + system), which other work on a shared machine disturbs
# far less than the wall clock; the wall clock of the same run is shown too. "script" forms keep their
# variables global, as a vexmora script does; "local" forms are each peer's
# fast idiom (locals, a compiled procedure). Ratios are peer time divided by
# vexmora time (CPU): above 1 means vexmora is faster.
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

# "CPU WALL" seconds of the run with the least CPU time, over $runs runs.
best_time() {
  local best="" line cpu
  for _ in $(seq "$runs"); do
    /usr/bin/time -f "%U %S %e" -o "$tmp/time" "$@" > /dev/null 2> "$tmp/err" ||
      { echo "failed: $*" >&2; cat "$tmp/err" >&2; return 1; }
    line=$(awk '{ printf "%.3f %.3f", $1 + $2, $3 }' "$tmp/time")
    cpu=${line% *}
    if [ -z "$best" ] || awk -v a="$cpu" -v b="${best% *}" 'BEGIN { exit !(a < b) }'; then
      best=$line
    fi
  done
  echo "$best"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

cd "$tmp"
row() {  # program runner "cpu wall" [vexmora cpu]
  local cpu=${3% *} wall=${3#* } r=""
  [ -n "${4:-}" ] && r=$(ratio "$cpu" "$4")
  printf '%-8s %-20s %8s %8s %8s\n' "$1" "$2" "$cpu" "$wall" "$r"
}
printf '%-8s %-20s %8s %8s %8s\n' program runner cpu-s wall-s ratio
for program in count mixed; do
  vx=$(VEXMORA_PROGRAM_DIR="$tmp" best_time "$binary" --headless "$program.vx")
  if [ -s "$tmp/err" ]; then echo "vexmora wrote to standard error:" >&2; cat "$tmp/err" >&2; fi
  row "$program" vexmora "$vx"
  for form in "" _local; do
    label=${form:-_script}
    label=${label#_}
    if [ -n "$lua" ]; then row "$program" "lua5.4 ($label)" "$(best_time "$lua" "$program$form.lua")" "${vx% *}"; fi
    row "$program" "python3 ($label)" "$(best_time "$python" "$program$form.py")" "${vx% *}"
    if [ -n "$tcl" ]; then row "$program" "tclsh8.6 ($label)" "$(best_time "$tcl" "$program$form.tcl")" "${vx% *}"; fi
  done
done
