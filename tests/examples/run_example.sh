#!/usr/bin/env bash
# run_example.sh BINARY EXAMPLE.vx   runs one example headless, as a user
#                                    would: exit code 0, no error message
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
(cd "$tmp" && VEXMORA_PROGRAM_DIR="$tmp/prog" timeout 50 "$binary" --headless \
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
# Examples clean up after themselves.
left=$(cd "$tmp/prog" && ls -1 | grep -v '^default.vx$')
if [ -n "$left" ]; then
  echo "files left behind: $left"
  failed=1
fi
exit $failed
