#!/usr/bin/env bash
# gerbv_check.sh BINARY: draws a board with CtDrawPtn and plots it with
# CtOutGbr and CtOutDLst, then has gerbv render the plotter files and
# compares the pictures (compare_pictures.py): the Gerber files (inch and
# millimetre) with our drawing of the top copper, the drill files (standard
# header, inch and millimetre) with discs at the board's holes. Last, the
# example board runs and gerbv renders every file it writes.
set -u
binary=$1
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
[ -n "${KEEP_PICTURES:-}" ] && trap 'cp "$tmp"/*.png "$KEEP_PICTURES"/; rm -rf "$tmp"' EXIT
mkdir -p "$tmp/prog" "$tmp/work"
cp "$(dirname "$binary")/default.vx" "$tmp/prog/default.vx"
cp "$here/gerbv_board.vx" "$here/gerbv_board.gb" "$tmp/work/"

(cd "$tmp/work" && VEXMORA_PROGRAM_DIR="$tmp/prog" timeout 50 "$binary" --headless \
   --vram-png "$tmp/ours.png" -- gerbv_board.vx) > "$tmp/stdout" 2> "$tmp/stderr"
if [ $? != 0 ] || [ ! -f "$tmp/ours.png" ]; then
  echo "the board script failed"; cat "$tmp/stderr"; exit 1
fi
grep -q "records 22 + 69$" "$tmp/stderr" || { echo "unexpected output:"; cat "$tmp/stderr"; exit 1; }

# 40 x 25 mm at 254 dpi (10 pixels per millimetre), lower left corner at 0, 0.
render() {
  gerbv --export=png --dpi=254 --border=0 --origin=0x0 \
    --window_inch=1.5748031x0.98425197 --background='#000000' --foreground='#FF0000FF' \
    --output="$2" "$1" > "$tmp/gerbv.log" 2>&1
  if [ ! -s "$2" ]; then echo "gerbv did not render $1"; cat "$tmp/gerbv.log"; exit 1; fi
}
failed=0
for f in top.gbr top_mm.gbr; do
  render "$tmp/work/$f" "$tmp/$f.png"
  python3 "$here/compare_pictures.py" "$tmp/ours.png" "$tmp/$f.png" 400 250 || { echo "($f)"; failed=1; }
done
# Holes of gerbv_board.gb: x y diameter in millimetres.
holes="3,3,0.8 18,14,1.2 36,21,3.2 34,5,0.8"
for f in drill.drl drill_mm.drl; do
  render "$tmp/work/$f" "$tmp/$f.png"
  python3 "$here/compare_pictures.py" --discs "$holes" "$tmp/$f.png" 400 250 || { echo "($f)"; failed=1; }
done

# The example board: it runs cleanly, finds no clearance violation, and
# gerbv renders each of its files. It writes them into the user's scratch
# folder, here one of the test's own.
mkdir -p "$tmp/example" "$tmp/cache"
cp "$here/../../examples/pcb_board.vx" "$tmp/example/"
(cd "$tmp/example" && XDG_CACHE_HOME="$tmp/cache" VEXMORA_PROGRAM_DIR="$tmp/prog" timeout 50 "$binary" \
   --headless --vram-png "$tmp/example.png" -- pcb_board.vx) > "$tmp/stdout" 2> "$tmp/stderr"
status=$?
outputs="$tmp/cache/vexmora/examples"
grep -v -xF "[Debug] writing into $outputs" "$tmp/stderr" > "$tmp/stderr.rest"
if [ $status != 0 ] || [ -s "$tmp/stderr.rest" ]; then
  echo "the example failed"; cat "$tmp/stderr"; failed=1
fi
grep -q "violations top: 0, bottom: 0" "$outputs/board_drc.txt" 2>/dev/null ||
  { echo "the example's clearance report:"; cat "$outputs/board_drc.txt"; failed=1; }
for f in board_outline.gbr board_top.gbr board_bottom.gbr board_top_silk.gbr \
         board_bottom_silk.gbr board_top_mask.gbr board.drl; do
  [ -f "$outputs/$f" ] || { echo "the example did not write $f"; failed=1; continue; }
  gerbv --export=png --dpi=100 --output="$tmp/example_$f.png" "$outputs/$f" > /dev/null 2>&1
  [ -s "$tmp/example_$f.png" ] || { echo "gerbv did not render the example's $f"; failed=1; }
done
exit $failed
