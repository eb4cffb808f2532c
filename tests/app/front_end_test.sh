#!/usr/bin/env bash
# front_end_test.sh BINARY: the options of the front end and its start-up
# failures, checked from outside as a user sees them.
set -u
binary=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
check() {  # description, then a command that must succeed
  local what=$1
  shift
  if ! "$@"; then
    echo "FAILED: $what"
    failed=1
  fi
}

check "--version prints the version" \
  test "$("$binary" --version)" = "vexmora 10.52"

"$binary" --list-apis > "$tmp/apis"
check "--list-apis prints 597 lines" test "$(wc -l < "$tmp/apis")" -eq 597
check "--list-apis starts with id 1" test "$(head -1 "$tmp/apis")" = "1 SetSysPrm"
check "--list-apis ends with id 597" test "$(tail -1 "$tmp/apis")" = "597 DebugFunc"
check "--list-apis is in id order" \
  bash -c "cut -d' ' -f1 '$tmp/apis' | sort -n -c"

check "--help succeeds" bash -c "'$binary' --help | grep -q '^usage: vexmora'"

"$binary" --bogus > /dev/null 2> "$tmp/err"
check "an unknown option exits with 2" test $? -eq 2
check "an unknown option is named" grep -q "unknown option: --bogus" "$tmp/err"

printf ':Initial\nG_EXIT_CODE = 12\nExit\n' > "$tmp/plain.vx"
check "--scramble writes the scrambled form" \
  "$binary" --scramble "$tmp/plain.vx" "$tmp/scrambled.vx"
check "the scrambled form has its header" \
  test "$(head -1 "$tmp/scrambled.vx")" = "#VEXMORA-SCRAMBLED-1"
check "--scramble reports an unreadable input" \
  bash -c "! '$binary' --scramble '$tmp/none.vx' '$tmp/out.vx' 2>/dev/null"

# Start-up without default.vx: a message, exit code 0.
mkdir -p "$tmp/empty"
VEXMORA_PROGRAM_DIR="$tmp/empty" "$binary" --headless "$tmp/plain.vx" 2> "$tmp/err"
check "a missing default.vx exits with 0" test $? -eq 0
check "a missing default.vx is reported" \
  test "$(cat "$tmp/err")" = "[Message] 必要なファイル(default.vx)が見つかりません。"

# With default.vx: the scrambled script runs from a relative path given in
# another directory, and its exit code comes back.
mkdir -p "$tmp/prog" "$tmp/work"
cp "$(dirname "$binary")/default.vx" "$tmp/prog/"
cp "$tmp/scrambled.vx" "$tmp/work/"
(cd "$tmp/work" && VEXMORA_PROGRAM_DIR="$tmp/prog" "$binary" --headless scrambled.vx 2> "$tmp/err")
check "a scrambled script runs and its exit code is returned" test $? -eq 12
check "nothing on standard error" test ! -s "$tmp/err"

# The offscreen platform chosen from outside means headless too.
(cd "$tmp/work" && QT_QPA_PLATFORM=offscreen VEXMORA_PROGRAM_DIR="$tmp/prog" "$binary" scrambled.vx 2> /dev/null)
check "QT_QPA_PLATFORM=offscreen runs headless" test $? -eq 12

exit $failed
