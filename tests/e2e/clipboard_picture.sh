#!/usr/bin/env bash
# clipboard_picture.sh BINARY: runs clipboard_picture.vx with a display
# (Xvfb) so that pictures go through the X clipboard and the grab reads
# the X screen, then checks the results, the bank and the exit code.
set -u
binary=$1
here=$(cd "$(dirname "$0")" && pwd)
command -v Xvfb >/dev/null || { echo "missing Xvfb (scripts/install-deps.sh installs it)"; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/prog" "$tmp/work"
cp "$(dirname "$binary")/default.vx" "$tmp/prog/"
cp "$here/clipboard_picture.vx" "$tmp/work/"

(cd "$tmp/work" && timeout 60 "$here/with_x_server.sh" 1024x768x24 env -u QT_QPA_PLATFORM \
   VEXMORA_PROGRAM_DIR="$tmp/prog" "$binary" --vram-png "$tmp/vram.png" -- clipboard_picture.vx) \
   2> "$tmp/stderr"
status=$?

failed=0
if [ "$status" != 0 ]; then echo "exit code $status"; cat "$tmp/stderr"; failed=1; fi
# The corner grab is cut to the screen: 1024 - 1000 by 768 - 700.
expected=$'to clipboard 0\r\nfrom clipboard 0 3 x 4\r\nbiBitCount=24, \r\nbiSize=40, biSizeImage=48, \r\nscreen 0 1024 x 768\r\ncorner 0 24 x 68\r\n'
actual=$(cat "$tmp/work/results.txt" 2>/dev/null)
if [ "$actual" != "${expected%$'\n'}" ]; then
  echo "results.txt differs:"; printf '%s\n' "$actual" | cat -A; failed=1
fi
[ -f "$tmp/vram.png" ] || { echo "no picture was written"; exit 1; }
python3 "$here/../support/check_png.py" "$tmp/vram.png" "$here/clipboard_picture.pixels" || failed=1
exit $failed
