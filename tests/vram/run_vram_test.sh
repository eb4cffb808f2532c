#!/usr/bin/env bash
# run_vram_test.sh BINARY SCRIPT.vx
#
# Runs SCRIPT.vx through the real binary, headless, with --vram-png, in a
# private program and work directory, and checks the picture against
# SCRIPT.pixels (see check_png.py). Standard error must match SCRIPT.stderr
# (absent = empty) and the exit code must be 0. Files in SCRIPT.input/ are
# copied into the work directory first.
set -u
binary=$1
script=$2
here=$(cd "$(dirname "$0")" && pwd)
dir=$(cd "$(dirname "$script")" && pwd)
name=$(basename "$script" .vx)
base="$dir/$name"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/prog" "$tmp/work"
cp "$(dirname "$binary")/default.vx" "$tmp/prog/default.vx"
cp "$script" "$tmp/work/$name.vx"
if [ -d "$base.input" ]; then cp -R "$base.input/." "$tmp/work/"; fi

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
python3 "$here/check_png.py" "$tmp/vram.png" "$base.pixels" || failed=1
exit $failed
