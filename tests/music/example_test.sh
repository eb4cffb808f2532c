#!/usr/bin/env bash
# example_test.sh BINARY EXAMPLE.vx
#
# Runs examples/music.vx headless through the recording MIDI output: it must
# end by itself, having played every note, and leave a score file and a
# Standard MIDI File that midicsv reads in the user's scratch folder, not
# beside the script.
set -u
binary=$1
example=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/prog" "$tmp/work"
cp "$(dirname "$binary")/default.vx" "$tmp/prog/default.vx"
cp "$example" "$tmp/work/music.vx"
out="$tmp/cache/vexmora/examples"
(cd "$tmp/work" && XDG_CACHE_HOME="$tmp/cache" VEXMORA_PROGRAM_DIR="$tmp/prog" VEXMORA_MIDI="record:$tmp/midi.log" \
  timeout 30 "$binary" --headless -- music.vx) > "$tmp/stdout" 2> "$tmp/stderr"
status=$?
failed=0
fail() { echo "$*"; failed=1; }
[ "$status" = 0 ] || fail "exit code $status"
grep -q '^\[Debug\] 42 events saved, error 0' "$tmp/stderr" || fail "no save report"
[ "$(ls "$tmp/work")" = music.vx ] || fail "files beside the script: $(ls "$tmp/work")"
grep -q '^MAJOR  T:0;C:0' "$tmp/stderr" || fail "no chord analysis"
[ "$(grep -c '^TM:' "$out/music.txt" 2>/dev/null)" = 21 ] || fail "score file"
ons=$(grep -c ' 9[01] ' "$tmp/midi.log" 2>/dev/null)
offs=$(grep -c ' 8[01] ' "$tmp/midi.log" 2>/dev/null)
[ "$ons" = 21 ] && [ "$offs" = 21 ] || fail "played $ons notes on, $offs off"
tail -n 1 "$tmp/midi.log" | grep -q ' 8[01] ' || fail "the last message is no note-off"
if command -v midicsv > /dev/null; then
  csv=$(midicsv "$out/music.mid") || fail "midicsv cannot read music.mid"
  [ "$(grep -c 'Note_on_c' <<< "$csv")" = 21 ] || fail "music.mid notes"
fi
if [ "$failed" != 0 ]; then
  echo "--- stderr"; cat "$tmp/stderr"
  echo "--- midi.log"; cat "$tmp/midi.log" 2>/dev/null
fi
exit "$failed"
