#!/usr/bin/env bash
# run_image_test.sh BINARY SCRIPT.vx
#
# Runs SCRIPT.vx through the real binary, headless, with --vram-png, in a
# private program and work directory, after NAME.prepare (a bash script run
# in the work directory, with CONVERT naming ImageMagick's convert) has
# made the picture files it reads. Then checks:
#   standard error   with NAME.stderr (UTF-8; absent = must be empty)
#   the exit code    0
#   the picture      with NAME.pixels (tests/vram/check_png.py), if present
#   results.txt      with NAME.expected, if present
#   NAME.check       a bash script run in the work directory (PNG names the
#                    picture, COMPARE the pixel comparer), if present
set -u
binary=$1
script=$2
here=$(cd "$(dirname "$0")" && pwd)
dir=$(cd "$(dirname "$script")" && pwd)
name=$(basename "$script" .vx)
base="$dir/$name"
export CONVERT=/usr/bin/convert
export COMPARE="python3 $here/compare_png.py"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/prog" "$tmp/work"
cp "$(dirname "$binary")/default.vx" "$tmp/prog/default.vx"
cp "$script" "$tmp/work/$name.vx"
if [ -f "$base.prepare" ] && ! (cd "$tmp/work" && bash "$base.prepare"); then
  echo "preparing the pictures failed"
  exit 1
fi

(cd "$tmp/work" && VEXMORA_PROGRAM_DIR="$tmp/prog" timeout 50 "$binary" --headless \
   --vram-png "$tmp/vram.png" -- "$name.vx") > "$tmp/stdout" 2> "$tmp/stderr"
status=$?
failed=0

expected_stderr=/dev/null
[ -f "$base.stderr" ] && expected_stderr="$base.stderr"
if ! diff -u "$expected_stderr" "$tmp/stderr"; then
  echo "standard error differs (expected vs actual)"
  failed=1
fi
if [ "$status" != 0 ]; then
  echo "exit code $status"
  failed=1
fi
if [ ! -f "$tmp/vram.png" ]; then
  echo "no picture was written"
  exit 1
fi
if [ -f "$base.pixels" ]; then
  python3 "$here/../vram/check_png.py" "$tmp/vram.png" "$base.pixels" || failed=1
fi
if [ -f "$base.expected" ] && ! diff -u "$base.expected" "$tmp/work/results.txt"; then
  echo "results.txt differs (expected vs actual)"
  failed=1
fi
if [ -f "$base.check" ] && ! (cd "$tmp/work" && PNG="$tmp/vram.png" bash "$base.check"); then
  echo "$name.check failed"
  failed=1
fi
exit $failed
