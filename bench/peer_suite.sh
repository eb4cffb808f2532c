#!/usr/bin/env bash
# peer_suite.sh [-b BINARY] [-r RUNS] [PROGRAM...]
#
# The peer benchmark suite: each program of bench/scripts run whole (process
# start included) by vexmora (headless) and by Lua 5.4, LuaJIT (its
# interpreter alone, `-joff`, and with its compiler), Python 3 and Tcl 8.6,
# in the peers' "script" form (global variables, as a vexmora script keeps
# them) and their "local" form (each peer's fast idiom: locals, compiled
# procedures). The drawing program has no Lua or Tcl form (Python draws with
# PIL's ImageDraw).
#
# Times are the CPU time of the process (user + system), the best of RUNS
# runs (default 5): other work on a shared machine disturbs CPU time far less
# than the wall clock, which is shown for the same run. The ratio is the
# row's CPU time divided by that of Lua 5.4 in the same form (vexmora: the
# script form); where Lua has no form, Python's is the reference (marked *).
#
# Every run's checksum line must equal the one in bench/scripts/NAME.stderr
# (the test suite checks vexmora against the same file); a mismatch marks the
# row "BAD" and the exit status is 1. PROGRAM defaults to all of them.
#
# A last table sets vexmora against LuaJIT in its fastest form (the lesser
# CPU time of the two forms), interpreter alone and compiler on.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
binary=$here/../build-release/vexmora
[ -x "$binary" ] || binary=$here/../build/vexmora
runs=5
while getopts b:r: option; do
  case $option in
    b) binary=$OPTARG ;;
    r) runs=$OPTARG ;;
    *) echo "usage: $0 [-b BINARY] [-r RUNS] [PROGRAM...]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
programs=("$@")
[ ${#programs[@]} -gt 0 ] || programs=(count mixed mandel text arrays subs draw)
binary=$(cd "$(dirname "$binary")" && pwd)/$(basename "$binary")

lua=$(command -v lua5.4 || true)
python=/usr/bin/python3
tcl=$(command -v tclsh8.6 || true)
luajit=$(command -v luajit || true)
[ -n "$luajit" ] || echo "luajit not found: its rows are left out" >&2
[ -n "$lua" ] || echo "lua5.4 not found: its rows are left out" >&2
[ -n "$tcl" ] || echo "tclsh8.6 not found: its rows are left out" >&2

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir "$tmp/prog" "$tmp/work"
cp "$(dirname "$binary")/default.vx" "$tmp/prog/default.vx"
cp "$here"/scripts/* "$tmp/work/"
cd "$tmp/work"
status=0
against_luajit=()

# Runs a command with its output sent to two files and writes "CPU WALL"
# seconds of the command alone: perf's task clock (to the microsecond) where
# perf works, else the child's rusage from wait4 (which may count in ticks).
cat > "$tmp/cpu_time.py" <<'PYTHON'
import os, shutil, subprocess, sys, time
out, err, report, stat = sys.argv[1:5]
command = sys.argv[5:]
perf = shutil.which("perf")
if perf and subprocess.run([perf, "stat", "-x,", "-e", "task-clock", "true"],
                           capture_output=True).returncode == 0:
    command = [perf, "stat", "-x,", "-e", "task-clock", "-o", stat, "--"] + command
else:
    stat = None
start = time.monotonic()
with open(out, "wb") as o, open(err, "wb") as e:
    child = subprocess.Popen(command, stdout=o, stderr=e)
    _, status, usage = os.wait4(child.pid, 0)
wall = time.monotonic() - start
cpu = usage.ru_utime + usage.ru_stime
if stat:
    for line in open(stat):
        fields = line.split(",")
        if len(fields) > 2 and fields[2] == "task-clock":
            cpu = float(fields[0]) / 1000.0
with open(report, "w") as f:
    f.write("%.3f %.3f\n" % (cpu, wall))
sys.exit(os.waitstatus_to_exitcode(status) != 0)
PYTHON

# Prints "CPU WALL CHECK" for the run with the least CPU time over $runs
# runs, CHECK being "ok" when every run printed the expected checksum line.
# The checksum is on standard output for the peers, and on standard error
# as a debug line for vexmora.
measure() {  # program command...
  local program=$1 best="" line cpu check=ok
  shift
  local expected=${program}.stderr
  for _ in $(seq "$runs"); do
    if ! "$python" "$tmp/cpu_time.py" "$tmp/out" "$tmp/err" "$tmp/time" "$tmp/stat" "$@"; then
      echo "failed: $*" >&2
      cat "$tmp/err" >&2
      echo "- - BAD"
      return
    fi
    if [ "$1" = "$binary" ]; then
      cmp -s "$tmp/err" "$expected" || check=BAD
    else
      [ "[Debug] $(cat "$tmp/out")" = "$(cat "$expected")" ] || check=BAD
    fi
    line=$(cat "$tmp/time")
    cpu=${line% *}
    if [ -z "$best" ] || awk -v a="$cpu" -v b="${best% *}" 'BEGIN { exit !(a < b) }'; then
      best=$line
    fi
  done
  echo "$best $check"
}

ratio() {  # cpu reference
  if [ -z "$2" ] || [ "$1" = - ]; then echo -; return; fi
  awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'
}

row() {  # program runner "cpu wall check" reference-cpu mark
  local cpu wall check
  read -r cpu wall check <<< "$3"
  [ "$check" = ok ] || status=1
  printf '%-8s %-22s %8s %8s %7s%1s %s\n' "$1" "$2" "$cpu" "$wall" "$(ratio "$cpu" "$4")" "$5" \
    "$check"
}

printf '%-8s %-22s %8s %8s %8s %s\n' program runner cpu-s wall-s ratio checksum
for program in "${programs[@]}"; do
  [ -f "$program.vx" ] || { echo "no program $program" >&2; exit 2; }
  declare -A reference=()
  declare -A results=()
  for form in script local; do
    suffix=""
    [ $form = local ] && suffix=_local
    if [ -n "$lua" ] && [ -f "$program$suffix.lua" ]; then
      results[lua.$form]=$(measure "$program" "$lua" "$program$suffix.lua")
    fi
    if [ -n "$luajit" ] && [ -f "$program$suffix.lua" ]; then
      results[luajit-joff.$form]=$(measure "$program" "$luajit" -joff "$program$suffix.lua")
      results[luajit.$form]=$(measure "$program" "$luajit" "$program$suffix.lua")
    fi
    results[python.$form]=$(measure "$program" "$python" "$program$suffix.py")
    if [ -n "$tcl" ] && [ -f "$program$suffix.tcl" ]; then
      results[tcl.$form]=$(measure "$program" "$tcl" "$program$suffix.tcl")
    fi
    mark=""
    if [ -n "${results[lua.$form]:-}" ]; then
      reference[$form]=${results[lua.$form]%% *}
    else
      reference[$form]=${results[python.$form]%% *}
      mark="*"
    fi
    reference[mark.$form]=$mark
  done
  vexmora_result=$(VEXMORA_PROGRAM_DIR="$tmp/prog" measure "$program" "$binary" --headless \
    "$program.vx")
  row "$program" vexmora "$vexmora_result" "${reference[script]}" "${reference[mark.script]}"
  for form in script local; do
    for peer in lua:lua5.4 luajit-joff:"luajit -joff" luajit:luajit python:python3 tcl:tclsh8.6; do
      key=${peer%%:*}.$form
      [ -n "${results[$key]:-}" ] || continue
      row "$program" "${peer#*:} ($form)" "${results[$key]}" "${reference[$form]}" \
        "${reference[mark.$form]}"
    done
  done
  if [ -n "${results[luajit.local]:-}" ]; then
    fastest() {  # key -> the lesser CPU time of the key's two forms
      awk -v a="${results[$1.script]%% *}" -v b="${results[$1.local]%% *}" \
        'BEGIN { print (a < b ? a : b) }'
    }
    joff=$(fastest luajit-joff)
    jit=$(fastest luajit)
    vx=${vexmora_result%% *}
    against_luajit+=("$(printf '%-8s %8s %10s %7s %10s %7s' "$program" "$vx" "$joff" \
      "$(ratio "$vx" "$joff")" "$jit" "$(ratio "$vx" "$jit")")")
  fi
  unset reference results
done
if [ ${#against_luajit[@]} -gt 0 ]; then
  echo
  echo "vexmora against LuaJIT in its fastest form (CPU seconds, best of $runs)"
  printf '%-8s %8s %10s %7s %10s %7s\n' program vexmora "-joff" ratio "jit" ratio
  printf '%s\n' "${against_luajit[@]}"
fi
exit $status
