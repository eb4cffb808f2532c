#!/usr/bin/env bash
# startup.sh [BINARY] [RUNS]
#
# Start-up, side by side in one run (median of RUNS runs, default 9):
#   headless: vexmora running an empty script (":Initial" / "Exit"), against
#             `lua5.4 -e ''` and `/usr/bin/python3 -c ''`: wall-clock
#             milliseconds and peak resident memory of the whole process;
#   window:   process start to the first painted frame under Xvfb, vexmora
#             against a bare Qt program that shows one white widget of the
#             same size (built here from bench/bare_window), the floor, and
#             the median time at which vexmora reaches each step on the way
#             (its VEXMORA_TIMING lines). The server runs with -noreset, as
#             a desktop's does in effect (its other clients keep it up):
#             without it, Xvfb resets whenever a run's last connection
#             closes, and the next run waits for the reset.
# Ratios are the figure divided by the reference's (vexmora / python3,
# vexmora / floor). On a busy machine the wall clock wanders: compare the
# figures of one run with each other, not with another run's.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
binary=${1:-$here/../build/vexmora}
runs=${2:-9}
binary=$(cd "$(dirname "$binary")" && pwd)/$(basename "$binary")

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/prog" "$tmp/work"
cp "$(dirname "$binary")/default.vx" "$tmp/prog/default.vx"
printf ':Initial\r\nExit\r\n' > "$tmp/work/empty.vx"
# The window script draws nothing and waits to be closed.
printf ':Initial\r\nENDP\r\n' > "$tmp/work/window.vx"

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else if (NR % 2) print v[(NR + 1) / 2]; else printf "%.1f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "-" || b == "-" || b == 0) print "-"; else printf "%.2f", a / b }'; }

# "WALL_MS PEAK_KB" of each run, one line a run.
measure() {
  for _ in $(seq "$runs"); do
    local start end
    start=$(date +%s%N)
    /usr/bin/time -f "%M" -o "$tmp/rss" "$@" > /dev/null 2> "$tmp/err" ||
      { echo "failed: $*" >&2; cat "$tmp/err" >&2; return 1; }
    end=$(date +%s%N)
    echo "$(( (end - start) / 1000 )) $(cat "$tmp/rss")"
  done
}

row() {  # name "wall_ms rss_kb" reference_wall reference_rss
  printf '%-28s %9s %9s %9s %9s\n' "$1" "$2" "$3" "$(ratio "$2" "$4")" "$(ratio "$3" "$5")"
}

summary() {  # file -> "median_wall_ms median_rss_mb"
  local wall rss
  wall=$(awk '{ printf "%.1f\n", $1 / 1000 }' "$1" | median)
  rss=$(awk '{ printf "%.1f\n", $2 / 1024 }' "$1" | median)
  echo "$wall $rss"
}

echo "headless start-up, median of $runs runs"
printf '%-28s %9s %9s %9s %9s\n' runner wall-ms peak-MB wall/py MB/py
cd "$tmp/work"
VEXMORA_PROGRAM_DIR="$tmp/prog" measure "$binary" --headless empty.vx > "$tmp/vexmora"
if [ -s "$tmp/err" ]; then echo "vexmora wrote to standard error:" >&2; cat "$tmp/err" >&2; fi
measure /usr/bin/python3 -c '' > "$tmp/python"
read -r py_wall py_rss <<< "$(summary "$tmp/python")"
read -r vx_wall vx_rss <<< "$(summary "$tmp/vexmora")"
row "vexmora --headless" "$vx_wall" "$vx_rss" "$py_wall" "$py_rss"
if lua=$(command -v lua5.4); then
  measure "$lua" -e '' > "$tmp/lua"
  read -r lua_wall lua_rss <<< "$(summary "$tmp/lua")"
  row "lua5.4 -e ''" "$lua_wall" "$lua_rss" "$py_wall" "$py_rss"
fi
row "python3 -c ''" "$py_wall" "$py_rss" "$py_wall" "$py_rss"

# --- the first frame -----------------------------------------------------------
if ! command -v xvfb-run > /dev/null; then
  echo "no xvfb-run: window start-up not measured"
  exit 0
fi
if ! c++ -O2 -fPIC "$here/bare_window/bare_window.cpp" -o "$tmp/bare_window" \
    $(pkg-config --cflags --libs Qt6Widgets) 2> "$tmp/build-floor"; then
  cat "$tmp/build-floor" >&2
  echo "the bare Qt program did not build: window start-up not measured"
  exit 0
fi

cat > "$tmp/frames.sh" <<FRAMES
#!/usr/bin/env bash
# One line a run: "program milliseconds" from process start to first paint,
# or "program -" when the run painted nothing within 10 s.
cd "$tmp/work"
first_paint() {  # name command...
  local name=\$1 start first pid
  shift
  : > "$tmp/timing"
  start=\$(date +%s%6N)
  VEXMORA_TIMING=1 "\$@" 2> "$tmp/timing" &
  pid=\$!
  for _ in \$(seq 500); do
    grep -q first-paint "$tmp/timing" && break
    kill -0 \$pid 2> /dev/null || break
    sleep 0.02
  done
  kill \$pid 2> /dev/null || true
  wait \$pid 2> /dev/null || true
  first=\$(awk '/first-paint/ { print \$3; exit }' "$tmp/timing")
  awk -v start="\$start" -v name="\$name" '/^\[timing\]/ { print "step", name, \$2, int((\$3 - start) / 1000) }
    /first-paint/ { exit }' "$tmp/timing"
  if [ -n "\$first" ]; then
    echo "\$name \$(( (first - start) / 1000 ))"
  else
    echo "\$name -"
  fi
}
for _ in \$(seq $runs); do
  first_paint floor "$tmp/bare_window"
  VEXMORA_PROGRAM_DIR="$tmp/prog" first_paint vexmora "$binary" window.vx
done
FRAMES
chmod +x "$tmp/frames.sh"
xvfb-run -a -s "-screen 0 1600x1000x24 -noreset" "$tmp/frames.sh" > "$tmp/frames"
frame() { awk -v n="$1" '$1 == n && $2 != "-" { print $2 }' "$tmp/frames" | median; }
missing=$(awk '$1 != "step" && $2 == "-"' "$tmp/frames" | wc -l)
floor=$(frame floor)
vx=$(frame vexmora)
echo
echo "process start to first painted frame (Xvfb), median of $runs runs"
printf '%-28s %9s %9s\n' program ms ratio
printf '%-28s %9s %9s\n' "bare Qt widget (floor)" "$floor" "1.00"
printf '%-28s %9s %9s\n' "vexmora" "$vx" "$(ratio "$vx" "$floor")"
if [ "$missing" -gt 0 ]; then echo "runs without a first paint (left out): $missing"; fi
echo
echo "vexmora's steps, ms from process start (median)"
for step in $(awk '$1 == "step" && $2 == "vexmora" && !seen[$3]++ { print $3 }' "$tmp/frames"); do
  printf '  %-24s %9s\n' "$step" "$(awk -v s="$step" '$1 == "step" && $2 == "vexmora" && $3 == s { print $4 }' "$tmp/frames" | median)"
done
