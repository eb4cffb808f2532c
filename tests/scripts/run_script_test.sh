#!/usr/bin/env bash
# run_script_test.sh BINARY SCRIPT.vx
#
# Runs SCRIPT.vx through the real binary, headless, the way a user would:
# `vexmora --headless SCRIPT.vx [ARGS]`, with default.vx (the one built next
# to BINARY) in a private program directory and the script in a private work
# directory. Then compares:
#   standard error  with SCRIPT.stderr (UTF-8; absent = must be empty);
#                   @WORK@ and @PROG@ stand for the two directories
#   the exit code   with SCRIPT.exit (absent = 0)
#   files           each name listed in SCRIPT.files (one per line, relative
#                   to the work directory) with SCRIPT.expected/NAME, where
#                   @WORK@ stands for the work directory
# Optional inputs: SCRIPT.env (NAME=value lines set in the environment),
# SCRIPT.args (more command-line words, one line),
# SCRIPT.cmd (the whole command line instead, one line, may be empty: the
# script itself is then not named), SCRIPT.input/ (files copied into the
# work directory first: data files, scripts to chain to).
set -u
binary=$1
script=$2
dir=$(cd "$(dirname "$script")" && pwd)
name=$(basename "$script" .vx)
base="$dir/$name"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prog="$tmp/prog"
work="$tmp/work"
mkdir -p "$prog" "$work"
cp "$(dirname "$binary")/default.vx" "$prog/default.vx"
cp "$script" "$work/$name.vx"
if [ -d "$base.input" ]; then cp -R "$base.input/." "$work/"; fi

words=("$name.vx")
if [ -f "$base.args" ]; then
  read -r -a extra < "$base.args" || true
  words+=("${extra[@]}")
fi
if [ -f "$base.cmd" ]; then read -r -a words < "$base.cmd" || true; fi

settings=()
if [ -f "$base.env" ]; then
  while IFS= read -r line || [ -n "$line" ]; do [ -n "$line" ] && settings+=("$line"); done < "$base.env"
fi

(cd "$work" && env "${settings[@]}" VEXMORA_PROGRAM_DIR="$prog" timeout 50 "$binary" --headless -- "${words[@]}") \
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

exit $failed
