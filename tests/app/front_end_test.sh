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
check "--list-apis prints 601 lines" test "$(wc -l < "$tmp/apis")" -eq 601
check "--list-apis starts with id 1" test "$(head -1 "$tmp/apis")" = "1 SetSysPrm"
check "--list-apis has the inherited table's last id" grep -qx "597 DebugFunc" "$tmp/apis"
check "--list-apis ends with id 601" test "$(tail -1 "$tmp/apis")" = "601 S2SetField"
check "--list-apis is in id order" \
  bash -c "cut -d' ' -f1 '$tmp/apis' | sort -n -c"

check "--help succeeds" bash -c "'$binary' --help | grep -q '^usage: vexmora'"
check "--help documents the exit status of a failed script" \
  bash -c "'$binary' --help | grep -q '3 when the script failed to load or stopped with an error'"

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

# Start-up without default.vx: a message, exit code 1.
mkdir -p "$tmp/empty"
VEXMORA_PROGRAM_DIR="$tmp/empty" "$binary" --headless "$tmp/plain.vx" 2> "$tmp/err"
check "a missing default.vx exits with 1" test $? -eq 1
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

# Exit status of scripts that fail, headless.
run_in_work() {  # command-line words; sets status, standard error in $tmp/err
  (cd "$tmp/work" && VEXMORA_PROGRAM_DIR="$tmp/prog" "$binary" --headless "$@" 2> "$tmp/err")
  status=$?
}
printf ':Initial\r\nA = 1\r\n' > "$tmp/work/load_error.vx"
run_in_work load_error.vx
check "a load error exits with 3" test "$status" -eq 3
check "a load error names its line" grep -q '^\[Error\] Line (2) : ' "$tmp/err"
printf 'Data long A 0\n:Initial\nA = 1 / 0\nDebug not reached\n' > "$tmp/work/run_error.vx"
run_in_work run_error.vx
check "a run error exits with 3" test "$status" -eq 3
check "a run error names its line" grep -q '^\[Error\] Line (3) : ' "$tmp/err"
printf 'Data long A 0\n:Initial\nG_EXIT_CODE = 9\nA = 1 / 0\n' > "$tmp/work/own_code.vx"
run_in_work own_code.vx
check "a script's own G_EXIT_CODE is kept after an error" test "$status" -eq 9
printf 'Data long A 0\n:Initial\nExit "nothere.vx"\n' > "$tmp/work/chain_none.vx"
run_in_work chain_none.vx
check "a chain to a missing script exits with 3" test "$status" -eq 3
printf ':Initial\nDebug fine\n' > "$tmp/work/fine.vx"
run_in_work fine.vx
check "a script without errors exits with 0" test "$status" -eq 0

# The command line names something that is not a readable script.
not_found="[Debug] The script named on the command line was not found:"
mkdir -p "$tmp/work/folder.vx"
run_in_work folder.vx
check "a folder on the command line exits with 1" test "$status" -eq 1
check "a folder on the command line is not found" test "$(cat "$tmp/err")" = "$not_found $tmp/work/folder.vx"
cp "$tmp/work/fine.vx" "$tmp/work/locked.vx"
chmod 000 "$tmp/work/locked.vx"
if ! cat "$tmp/work/locked.vx" > /dev/null 2>&1; then  # root reads everything
  run_in_work locked.vx
  check "an unreadable script exits with 1" test "$status" -eq 1
  check "an unreadable script is not found" test "$(cat "$tmp/err")" = "$not_found $tmp/work/locked.vx"
fi

# The window layer (Qt) is carried inside the executable and mapped only
# when a run needs it: a headless script without controls never maps it,
# one that declares a control brings it up and still works.
check "the executable does not link Qt" \
  bash -c "! readelf -d '$binary' | grep -q 'NEEDED.*libQt6'"
printf ':Initial\r\nExit\r\n' > "$tmp/work/plain_exit.vx"
(cd "$tmp/work" && LD_DEBUG=files VEXMORA_PROGRAM_DIR="$tmp/prog" "$binary" --headless plain_exit.vx \
  2> "$tmp/loads")
check "a headless run without controls exits with 0" test $? -eq 0
check "a headless run without controls maps no Qt library" \
  bash -c "! grep -q 'file=libQt6' '$tmp/loads'"

# Sound devices (PortAudio, which brings JACK, and ALSA), spectra (FFTW), QR
# symbols (libqrencode), the X server (Xlib, XTest, xcb), text (FreeType and
# fontconfig, which bring brotli and expat), PNG output (libpng) and JPEG
# pictures (libjpeg) are reached through libraries loaded on first use: the
# executable names none of them, a run that needs none maps none, and one
# that draws a QR code and takes a spectrum maps those two alone.
on_first_use='libportaudio|libjack|libasound|libfftw3|libqrencode|libX11|libXtst|libxcb'
on_first_use+='|libfreetype|libfontconfig|libbrotli[a-z]*|libexpat|libz|libpng16|libjpeg'
check "the executable does not link the libraries it loads on first use" \
  bash -c "! readelf -d '$binary' | grep -Eq 'NEEDED.*\[($on_first_use)[.-]'"
check "a headless run without controls maps none of the libraries loaded on first use" \
  bash -c "! grep -Eq 'file=($on_first_use)[.-]' '$tmp/loads'"
printf 'Data double F 0\r\n:Initial\r\nCALL MkBCD 10, "lazy", 10, 10\r\nCALL DebugFunc 0, "QR " + G_ERROR\r\nCALL MkTone 0, 0, 6000, 441, 16000\r\nCALL SpectAnalyze 0, 0, 6000, F\r\nCALL DebugFunc 0, "FFT " + G_ERROR + " " + F\r\nExit\r\n' \
  > "$tmp/work/qr_fft.vx"
(cd "$tmp/work" && LD_DEBUG=files LD_DEBUG_OUTPUT="$tmp/qr_fft" VEXMORA_PROGRAM_DIR="$tmp/prog" \
  "$binary" --headless qr_fft.vx 2> "$tmp/err")
check "a run drawing a QR code and taking a spectrum exits with 0" test $? -eq 0
check "the QR code and the spectrum succeed" \
  test "$(tr -d '\r' < "$tmp/err")" = "$(printf '[Debug] QR 0\n[Debug] FFT 0 441.000000')"
cat "$tmp"/qr_fft.* > "$tmp/loads" 2> /dev/null
check "the QR code maps libqrencode" grep -q 'file=libqrencode\.so' "$tmp/loads"
check "the spectrum maps FFTW" grep -q 'file=libfftw3\.so' "$tmp/loads"
check "neither maps the sound devices' or the X server's libraries" \
  bash -c "! grep -Eq 'file=(libportaudio|libjack|libasound|libX11|libXtst|libxcb)[.-]' '$tmp/loads'"

# Drawing text maps FreeType and fontconfig (FreeType brings libpng for its
# colour glyphs) and not libjpeg; a JPEG written and read back maps libjpeg
# and no text library nor libpng; the drawing bank written with --vram-png
# maps libpng and neither of the others.
run_mapping() {  # name, then command-line words; standard error in $tmp/err, loads in $tmp/loads
  local name=$1
  shift
  rm -f "$tmp/$name".*
  (cd "$tmp/work" && LD_DEBUG=files LD_DEBUG_OUTPUT="$tmp/$name" VEXMORA_PROGRAM_DIR="$tmp/prog" \
    "$binary" --headless "$@" 2> "$tmp/err")
  status=$?
  cat "$tmp/$name".* > "$tmp/loads" 2> /dev/null
}
printf ':Initial\r\nCALL DrawText 0, 0, "lazy"\r\nCALL DebugFunc 0, "text " + G_WORK1 + " " + G_WORK2\r\nExit\r\n' \
  > "$tmp/work/text.vx"
run_mapping text text.vx
check "a run drawing text exits with 0" test "$status" -eq 0
tr -d '\r' < "$tmp/err" > "$tmp/err.txt"
check "the text is measured" grep -Eqx '\[Debug\] text [1-9][0-9]* [1-9][0-9]*' "$tmp/err.txt"
check "the text maps FreeType" grep -q 'file=libfreetype\.so' "$tmp/loads"
check "the text maps fontconfig" grep -q 'file=libfontconfig\.so' "$tmp/loads"
check "the text does not map libjpeg" bash -c "! grep -Eq 'file=libjpeg[.-]' '$tmp/loads'"
printf 'Data long W 0\r\nData long H 0\r\n:Initial\r\nCALL SaveJpg "lazy.jpg", 0, 0, 8, 6\r\nCALL JpgSize "lazy.jpg", W, H\r\nCALL DebugFunc 0, "jpeg " + G_ERROR + " " + W + " " + H\r\nExit\r\n' \
  > "$tmp/work/jpeg.vx"
run_mapping jpeg jpeg.vx
check "a run writing and reading a JPEG exits with 0" test "$status" -eq 0
check "the JPEG is written and read back" test "$(tr -d '\r' < "$tmp/err")" = "[Debug] jpeg 0 8 6"
check "the JPEG maps libjpeg" grep -q 'file=libjpeg\.so' "$tmp/loads"
check "the JPEG maps neither text library nor libpng" \
  bash -c "! grep -Eq 'file=(libfreetype|libfontconfig|libpng16)[.-]' '$tmp/loads'"
run_mapping vram_png --vram-png "$tmp/bank.png" plain_exit.vx
check "a run with --vram-png exits with 0" test "$status" -eq 0
check "--vram-png writes a PNG file" test "$(head -c 4 "$tmp/bank.png" | tail -c 3)" = PNG
check "--vram-png maps libpng" grep -q 'file=libpng16\.so' "$tmp/loads"
check "--vram-png maps neither text library nor libjpeg" \
  bash -c "! grep -Eq 'file=(libfreetype|libfontconfig|libjpeg)[.-]' '$tmp/loads'"
# Without libpng (a file that is not a library found first under its name)
# the script still runs to its end and the bank is not written, with the
# loader's reason; the picture asked for is missing, so the status is 4.
mkdir -p "$tmp/nopng"
echo "not a library" > "$tmp/nopng/libpng16.so.16"
printf ':Initial\r\nDebug ran\r\nExit\r\n' > "$tmp/work/ran.vx"
(cd "$tmp/work" && LD_LIBRARY_PATH="$tmp/nopng" VEXMORA_PROGRAM_DIR="$tmp/prog" \
  "$binary" --headless --vram-png "$tmp/none.png" ran.vx 2> "$tmp/err")
check "a run with --vram-png but without libpng exits with 4" test $? -eq 4
check "without libpng the script runs and the reason is given" \
  test "$(cat "$tmp/err")" = "$(printf '[Debug] ran\nvexmora: cannot write %s: PNG output is not available: %s: file too short; install the Debian package libpng16-16' \
    "$tmp/none.png" "$tmp/nopng/libpng16.so.16")"
check "without libpng no file is left" test ! -e "$tmp/none.png"
# A picture that cannot be written is named once with the system's reason,
# and a picture already there is kept whole.
mkdir "$tmp/png-folder"
(cd "$tmp/work" && VEXMORA_PROGRAM_DIR="$tmp/prog" \
  "$binary" --headless --vram-png "$tmp/png-folder" ran.vx 2> "$tmp/err")
check "--vram-png onto a folder names it once, with the reason" \
  test "$(cat "$tmp/err")" = "$(printf '[Debug] ran\nvexmora: cannot write %s: Is a directory' "$tmp/png-folder")"
printf 'old picture' > "$tmp/old.png"
(cd "$tmp/work" && ulimit -f 1 && VEXMORA_PROGRAM_DIR="$tmp/prog" \
  "$binary" --headless --vram-png "$tmp/old.png" ran.vx 2> "$tmp/err")
check "--vram-png past the file-size limit says so" \
  test "$(cat "$tmp/err")" = "$(printf '[Debug] ran\nvexmora: cannot write %s: File too large' "$tmp/old.png")"
check "--vram-png past the file-size limit keeps the old picture" test "$(cat "$tmp/old.png")" = "old picture"
printf 'Data FILE OUT "control.txt"\r\nData string LINE 40\r\nMakeTextBox NAME 10, 10, 100, 24\r\n:Initial\r\nNAME = "typed"\r\nLINE = NAME\r\nAddTo LINE OUT\r\nExit\r\n' \
  > "$tmp/work/with_control.vx"
(cd "$tmp/work" && LD_DEBUG=files VEXMORA_PROGRAM_DIR="$tmp/prog" "$binary" --headless with_control.vx \
  2> "$tmp/loads" > /dev/null)
check "a headless run with a control exits with 0" test $? -eq 0
check "a headless run with a control brings the window layer up" grep -q 'file=libQt6Widgets' "$tmp/loads"
check "the control holds its text" test "$(cat "$tmp/work/control.txt")" = typed

exit $failed
