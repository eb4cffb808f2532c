#!/usr/bin/env bash
# paths_and_arguments_test.sh BINARY: what the front end does with what a
# person types: output paths relative to where they started, arguments with
# blanks and quotes, a display that cannot be opened, a script on standard
# input, --check and --encoding. Checked from outside, through the binary.
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
same() {  # description, expected, actual
  if [ "$2" != "$3" ]; then
    echo "FAILED: $1"
    echo "  expected: $2"
    echo "  actual:   $3"
    failed=1
  fi
}

mkdir -p "$tmp/prog" "$tmp/work/out" "$tmp/elsewhere"
cp "$(dirname "$binary")/default.vx" "$tmp/prog/"
export VEXMORA_PROGRAM_DIR="$tmp/prog" VEXMORA_LANG=en
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
run() {  # in $tmp/work: the binary with the arguments; sets status, $tmp/err
  (cd "$tmp/work" && "$binary" "$@" 2> "$tmp/err" > "$tmp/out.txt")
  status=$?
}

# --- output paths mean what the user typed -----------------------------------
printf ':Initial\nCALL SetColor 0xFF0000\nCALL Rectangle 0, 0, 10, 10\n' > "$tmp/elsewhere/draw.vx"
run --headless --vram-png out/picture.png -- ../elsewhere/draw.vx
same "a relative --vram-png run exits with 0" 0 "$status"
check "a relative --vram-png lands beside the user, not in the program folder" \
  test -s "$tmp/work/out/picture.png"
check "nothing lands in the program folder" test ! -e "$tmp/prog/out"
run --headless --vram-png no/such/folder/picture.png -- ../elsewhere/draw.vx
same "a --vram-png that cannot be written exits with 4" 4 "$status"
check "and says which file" grep -q "vexmora: cannot write $tmp/work/no/such/folder/picture.png" "$tmp/err"

printf ':Initial\nCALL PrtStart "relative"\nCALL PrtGFg 1, 100, 100, "Hello"\nCALL PrtEndPage\nCALL DebugFunc 0, "printed " + G_ERROR\n' \
  > "$tmp/elsewhere/print.vx"
(cd "$tmp/work" && VEXMORA_PRINTER=pdf:out/printed.pdf "$binary" --headless ../elsewhere/print.vx 2> "$tmp/err")
same "printing to a relative pdf: path succeeds" "[Debug] printed 0" "$(cat "$tmp/err")"
check "the PDF lands beside the user" test -s "$tmp/work/out/printed.pdf"

printf ':Initial\nCALL MkTone 0, 0, 4410, 441, 8000\nCALL AudioPlay 44100, 0, 4410, 1\nCALL DebugFunc 0, "played " + G_ERROR\n' \
  > "$tmp/elsewhere/sound.vx"
(cd "$tmp/work" && VEXMORA_AUDIO=file VEXMORA_AUDIO_OUT=out/sound.wav "$binary" --headless ../elsewhere/sound.vx \
  2> "$tmp/err")
check "a relative VEXMORA_AUDIO_OUT lands beside the user" test -s "$tmp/work/out/sound.wav"

# --- arguments keep their boundaries -------------------------------------------
mkdir -p "$tmp/work/dir with space"
printf 'Data FILE OUT "cmdline.txt"\n:Initial\nTypeTo G_CMD_LINE OUT\n' > "$tmp/work/dir with space/my script.vx"
run --headless "dir with space/my script.vx" input.csv "two words" 'say "hi"' ''
same "a script path with blanks runs" 0 "$status"
same "nothing on standard error" "" "$(cat "$tmp/err")"
same "G_CMD_LINE is written as a Windows command line" \
  "\"$tmp/work/dir with space/my script.vx\" input.csv \"two words\" \"say \\\"hi\\\"\" \"\"" \
  "$(cat "$tmp/work/dir with space/cmdline.txt")"

# default.vx takes the first word by the Windows rules: a quote inside is
# \", and backslashes are doubled only before a quote.
mkdir -p "$tmp/work/say \"hi\""
printf ':Initial\nG_EXIT_CODE = 7\nExit\n' > "$tmp/work/say \"hi\"/s.vx"
run --headless "say \"hi\"/s.vx" more
same "a script path with blanks and quotes runs" 7 "$status"
printf 'Data FILE OUT "words.txt"\n:Initial\nTypeTo G_CMD_LINE OUT\n' > "$tmp/work/words.vx"
run --headless words.vx 'a\b' 'c\"d' 'e f\' 'g\\"h'
same "backslashes are doubled only before a quote" \
  "$tmp/work/words.vx a\\b \"c\\\\\\\"d\" \"e f\\\\\" \"g\\\\\\\\\\\"h\"" "$(cat "$tmp/work/words.txt")"

run --headless "no such dir/missing.vx" x
same "a missing script exits with 1" 1 "$status"
same "the message names the path looked for" \
  "[Debug] The script named on the command line was not found: no such dir/missing.vx" "$(cat "$tmp/err")"

# --- a display that cannot be opened -------------------------------------------
printf ':Initial\nCALL DebugFunc 0, "ran"\n' > "$tmp/work/ran.vx"
(cd "$tmp/work" && DISPLAY=:7391 timeout 30 "$binary" ran.vx 2> "$tmp/err")
status=$?
same "a display that cannot be opened runs headless" 0 "$status"
same "with one line saying so" \
  "$(printf 'vexmora: cannot open display :7391; running without a window\n[Debug] ran')" "$(cat "$tmp/err")"

# --- a script on standard input ------------------------------------------------
printf 'Data FILE MADE "made.txt"\nData string T "here"\n:Initial\nCALL DebugFunc 0, "from stdin"\nTypeTo T MADE\n' |
  (cd "$tmp/work" && "$binary" --headless - arg 2> "$tmp/err")
same "a script on standard input runs" "[Debug] from stdin" "$(cat "$tmp/err")"
same "its relative paths start where the program started" "here" "$(cat "$tmp/work/made.txt" 2>/dev/null)"
printf ':Initial\nX = 1\n' | (cd "$tmp/work" && "$binary" --headless /dev/stdin 2> "$tmp/err")
same "an error on standard input exits with 3" 3 "$?"
check "and is located in <stdin>" grep -q '^<stdin>:2: `X` on the left of `=` is not declared' "$tmp/err"
check "no copy of standard input is left behind" \
  bash -c "! ls \"\${XDG_RUNTIME_DIR:-/tmp/vexmora-$(id -u)}\"/vexmora/stdin-* /tmp/vexmora-$(id -u)/stdin-* 2>/dev/null | grep -q ."

# --- --check ---------------------------------------------------------------------
cat > "$tmp/work/faulty.vx" <<'EOF'
Data lng COUNT 0
Data string TEXT "x"

:Initial
CALL StrReplac TEXT, "a", "b", TEXT
If 1
goto
Debug fine
Frobnicate now
while 1
endif
goto Finsh
:Finish
ENDP
EOF
run --check faulty.vx
same "--check of a faulty script exits with 3" 3 "$status"
same "--check reports every error and warning, each with its line" \
  "$(cat <<'EOF'
faulty.vx:1: warning: `Data lng` is no type, so this line declares nothing: did you mean `Data long`?
[Error] Line (5) : 対応する関数がありません [CALL StrReplac TEXT, "a", "b", TEXT]
faulty.vx:5: no built-in function is named `StrReplac`; did you mean `StrReplace`?
faulty.vx:7: warning: `goto` without a label does nothing: this line is dropped
[msg] Line (9) : unknown directive [Frobnicate]
faulty.vx:9: `Frobnicate` is not a statement: a line starts with a keyword, a declaration, a label or an assignment
faulty.vx:11: warning: this `endif` stands inside the unfinished `while` of line 10: the blocks do not nest as written
[Error] Line (14) : while ブロックがクローズされていません(address = 4) [ENDP]
faulty.vx:14: the `while` loop opened on line 10 is never closed: add `endwhile`
faulty.vx:12: warning: no label `:Finsh` is defined, so this jump stops the script when it runs: did you mean `:Finish`?
EOF
)" "$(cat "$tmp/err")"
check "--check runs nothing" test ! -s "$tmp/out.txt"

printf 'Data long A 0\n:Initial\nA = A + 1\nDebug %s\n' "never printed" > "$tmp/work/clean.vx"
run --check clean.vx
same "--check of a clean script exits with 0" 0 "$status"
same "and prints nothing" "" "$(cat "$tmp/err")"

printf 'A = 1\n' > "$tmp/work/inc.vxh"
printf '#define START 1\n:Initial\n#include "inc.vxh"\nDebug START\n' > "$tmp/work/pre.vx"
run --check pre.vx
same "--check preprocesses a script with directives, its includes with it" 3 "$status"
check "an error in an included file is reported at the #include line" \
  grep -q '^pre.vx:3: `A` on the left of `=` is not declared' "$tmp/err"

run --check nothere.vx
same "--check of a missing script exits with 1" 1 "$status"

# --- --encoding ------------------------------------------------------------------
printf ':Initial\nCALL DebugFunc 0, "日本"\n' > "$tmp/work/utf8.vx"
run --headless --encoding utf-8 utf8.vx
same "--encoding utf-8 reads a script without the mark as UTF-8" "[Debug] 日本" "$(cat "$tmp/err")"
run --headless --encoding latin1 utf8.vx
same "an unknown encoding is refused with 2" 2 "$status"
(cd "$tmp/work" && VEXMORA_SCRIPT_ENCODING=ebcdic "$binary" --headless utf8.vx 2> "$tmp/err")
same "an unknown VEXMORA_SCRIPT_ENCODING is refused with 2" 2 "$?"

# --- documented ---------------------------------------------------------------------
"$binary" --help > "$tmp/help"
for word in --check --encoding VEXMORA_SCRIPT_ENCODING VEXMORA_LANG "4 when"; do
  check "--help documents $word" grep -q -- "$word" "$tmp/help"
done

exit $failed
