#!/usr/bin/env bash
# run_example.sh BINARY EXAMPLE.vx   runs one example headless, as a user
#                                    would: exit code 0, no error message;
#                                    NAME.pixels beside this script checks
#                                    the drawing (support/check_png.py),
#                                    NAME.output lines the run must write
#                                    (each a whole line of standard error)
# run_example.sh --index FOLDER      index.txt names every example of the
#                                    folder once, and nothing else
set -u
if [ "$1" = --index ]; then
  folder=$2
  listed=$(cut -d' ' -f1 "$folder/index.txt" | tr -d '\r' | sed '/^$/d' | sort)
  present=$(cd "$folder" && ls -1 -- *.vx | sort)
  if [ "$listed" != "$present" ]; then
    echo "examples/index.txt and the examples differ (listed vs present):"
    diff <(echo "$listed") <(echo "$present")
    exit 1
  fi
  exit 0
fi

binary=$1
example=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/prog" "$tmp/work"
cp "$(dirname "$binary")/default.vx" "$tmp/prog/"
# A copy runs, so that files an example writes beside itself (a MIDI file,
# Gerber files) never land in the source tree.
cp "$example" "$tmp/work/"
# Files an example reads from beside itself share its name (sentences.sl).
for companion in "${example%.vx}".*; do
  [ "$companion" = "$example" ] || cp "$companion" "$tmp/work/"
done
# A silent sound device: nothing is played aloud and no microphone is
# heard, the same on every machine.
(cd "$tmp" && VEXMORA_PROGRAM_DIR="$tmp/prog" VEXMORA_AUDIO=null timeout 50 "$binary" --headless \
   --vram-png "$tmp/page.png" -- "$tmp/work/$(basename "$example")" > "$tmp/stdout" 2> "$tmp/stderr")
status=$?
failed=0
if [ "$status" != 0 ]; then
  echo "exit code $status"
  failed=1
fi
if grep -q -e '^\[Error\]' -e '^\[msg\]' -e '^\[Message\]' "$tmp/stderr"; then
  echo "the example reported an error:"
  failed=1
fi
[ "$failed" = 0 ] || cat "$tmp/stderr"
here=$(cd "$(dirname "$0")" && pwd)
name=$(basename "${example%.vx}")
if [ -f "$here/$name.pixels" ]; then
  if [ ! -f "$tmp/page.png" ]; then
    echo "no picture was written"
    failed=1
  else
    python3 "$here/../support/check_png.py" "$tmp/page.png" "$here/$name.pixels" || failed=1
  fi
fi
if [ -f "$here/$name.output" ]; then
  while IFS= read -r line; do
    line=${line%$'\r'}
    [ -z "$line" ] && continue
    if ! tr -d '\r' < "$tmp/stderr" | grep -qxF -- "$line"; then
      echo "missing from what the example wrote: $line"
      failed=1
    fi
  done < "$here/$name.output"
  [ "$failed" = 0 ] || { echo "it wrote:"; cat "$tmp/stderr"; }
fi
# Examples clean up after themselves.
left=$(cd "$tmp/prog" && ls -1 | grep -v '^default.vx$')
if [ -n "$left" ]; then
  echo "files left behind: $left"
  failed=1
fi
exit $failed
