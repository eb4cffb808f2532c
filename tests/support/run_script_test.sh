#!/usr/bin/env bash
# run_script_test.sh BINARY SCRIPT.vx
#
# Runs SCRIPT.vx through the real binary, headless, the way a user would:
# `vexmora --headless SCRIPT.vx [ARGS]`, with default.vx (the one built next
# to BINARY) in a private program directory and the script in a private work
# directory. Every file beside SCRIPT.vx that shares its name is optional:
#
# Inputs
#   NAME.args      more command-line words (one line)
#   NAME.cmd       the whole command line instead (one line, may be empty:
#                  the script itself is then not named)
#   NAME.input/    files copied into the work directory first
#   NAME.env       VAR=VALUE lines set in the program's environment; @WORK@
#                  stands for the work directory
#   NAME.prepare   a bash script run in the work directory first (CONVERT
#                  names ImageMagick's convert, BINARY the program), to make
#                  picture files; its
#                  exit code 77 skips the test (what it needs is impossible
#                  here), which the runner passes on
#   NAME.wrapper   a bash script the program is run through, in the work
#                  directory: it gets the command line as its arguments and
#                  ends in exec "$@" (to set ulimit -f, or change the user)
# Checks
#   NAME.stderr    standard error (UTF-8; absent = must be empty); @WORK@ and
#                  @PROG@ stand for the two directories
#   NAME.exit      the exit code (absent = 0)
#   NAME.files     names of files (one a line, relative to the work
#                  directory) compared with NAME.expected/NAME, where @WORK@
#                  stands for the work directory
#   NAME.pixels    the drawing bank, written with --vram-png, checked by
#                  tests/support/check_png.py
#   NAME.check     a bash script run in the work directory at the end (PNG
#                  names the picture, COMPARE the pixel comparer
#                  tests/support/compare_png.py, COMPARE_PAGE a printed page
#                  checker, tests/support/compare_page.py); it must succeed
set -u
binary=$1
script=$2
tests=$(cd "$(dirname "$0")/.." && pwd)
dir=$(cd "$(dirname "$script")" && pwd)
name=$(basename "$script" .vx)
base="$dir/$name"

tmp=$(mktemp -d)
# A test may leave folders closed to changes (a read-only folder test).
trap 'chmod -R u+w "$tmp" 2>/dev/null; rm -rf "$tmp"' EXIT
prog="$tmp/prog"
work="$tmp/work"
png="$tmp/vram.png"
mkdir -p "$prog" "$work"
cp "$(dirname "$binary")/default.vx" "$prog/default.vx"
cp "$script" "$work/$name.vx"
if [ -d "$base.input" ]; then cp -R "$base.input/." "$work/"; fi

export CONVERT=/usr/bin/convert
export BINARY="$binary"
export COMPARE="python3 $tests/support/compare_png.py"
export COMPARE_PAGE="python3 $tests/support/compare_page.py"
if [ -f "$base.prepare" ]; then
  (cd "$work" && bash "$base.prepare")
  prepared=$?
  if [ "$prepared" = 77 ]; then
    echo "$name skipped: $name.prepare cannot set up what it needs here"
    exit 77
  elif [ "$prepared" != 0 ]; then
    echo "$name.prepare failed"
    exit 1
  fi
fi

words=("$name.vx")
if [ -f "$base.args" ]; then
  read -r -a extra < "$base.args" || true
  words+=("${extra[@]}")
fi
if [ -f "$base.cmd" ]; then read -r -a words < "$base.cmd" || true; fi

options=(--headless)
if [ -f "$base.pixels" ] || [ -f "$base.check" ]; then options+=(--vram-png "$png"); fi

# Explanations in English whatever the machine's locale (NAME.env may choose
# another language).
environment=(VEXMORA_PROGRAM_DIR="$prog" VEXMORA_LANG=en)
if [ -f "$base.env" ]; then
  while IFS= read -r setting || [ -n "$setting" ]; do
    [ -n "$setting" ] && environment+=("${setting//@WORK@/$work}")
  done < "$base.env"
fi

wrapper=()
[ -f "$base.wrapper" ] && wrapper=(bash "$base.wrapper")
(cd "$work" && env "${environment[@]}" timeout 50 "${wrapper[@]}" "$binary" "${options[@]}" -- "${words[@]}") \
  > "$tmp/stdout" 2> "$tmp/stderr.raw"
status=$?

sed -e "s|$work|@WORK@|g" -e "s|$prog|@PROG@|g" "$tmp/stderr.raw" > "$tmp/stderr"
failed=0

expected_stderr=/dev/null
[ -f "$base.stderr" ] && expected_stderr="$base.stderr"
if ! diff -u "$expected_stderr" "$tmp/stderr" > "$tmp/stderr.diff"; then
  echo "standard error differs (expected vs actual):"
  cat "$tmp/stderr.diff"
  failed=1
fi

expected_status=0
[ -f "$base.exit" ] && expected_status=$(tr -d ' \r\n' < "$base.exit")
if [ "$status" != "$expected_status" ]; then
  echo "exit code $status, expected $expected_status"
  failed=1
fi

if [ -f "$base.files" ]; then
  while IFS= read -r file || [ -n "$file" ]; do
    [ -z "$file" ] && continue
    if [ ! -f "$work/$file" ]; then
      echo "file $file was not written"
      failed=1
    elif ! cmp -s "$base.expected/$file" <(sed -e "s|$work|@WORK@|g" "$work/$file"); then
      echo "file $file differs from $name.expected/$file:"
      diff <(od -c "$base.expected/$file") <(sed -e "s|$work|@WORK@|g" "$work/$file" | od -c) | head -20
      failed=1
    fi
  done < "$base.files"
fi

if [ -f "$base.pixels" ] || [ -f "$base.check" ]; then
  if [ ! -f "$png" ]; then
    echo "no picture was written"
    exit 1
  fi
fi
if [ -f "$base.pixels" ]; then
  python3 "$tests/support/check_png.py" "$png" "$base.pixels" || failed=1
fi
if [ -f "$base.check" ] && ! (cd "$work" && PNG="$png" bash "$base.check"); then
  echo "$name.check failed"
  failed=1
fi

exit $failed
