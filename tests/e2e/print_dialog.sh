#!/usr/bin/env bash
# print_dialog.sh BINARY: with a display (Xvfb) and no VEXMORA_PRINTER,
# PrtStart shows the print dialog. Escape cancels the first job (G_ERROR 1,
# "printing cancelled"); Enter accepts the second, which Qt writes as a PDF
# file (its printer when CUPS has none) that holds the page drawn.
set -u
binary=$1
here=$(cd "$(dirname "$0")" && pwd)
command -v Xvfb >/dev/null || { echo "missing Xvfb (scripts/install-deps.sh installs it)"; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/prog" "$tmp/work" "$tmp/home"
cp "$(dirname "$binary")/default.vx" "$tmp/prog/"
cp "$here/print_dialog.vx" "$tmp/work/"

cat > "$tmp/driver.sh" <<'DRIVER'
# Answers each dialog once it is shown: Escape, then Enter.
"$@" &
pid=$!
for key in Escape Return; do
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "Print" > /dev/null 2>&1 && break
    sleep 0.1
  done
  sleep 0.5
  xdotool key "$key"
  sleep 0.5
done
wait $pid
DRIVER

(cd "$tmp/work" && timeout 60 "$here/with_x_server.sh" 1024x768x24 env -u QT_QPA_PLATFORM \
   -u VEXMORA_PRINTER HOME="$tmp/home" VEXMORA_PROGRAM_DIR="$tmp/prog" \
   bash "$tmp/driver.sh" "$binary" -- print_dialog.vx) 2> "$tmp/stderr"
status=$?

failed=0
if [ "$status" != 0 ]; then echo "exit code $status"; cat "$tmp/stderr"; failed=1; fi
expected=$'first 1 printing cancelled\r\nsecond 0 \r\nend 0 1\r\n'
actual=$(cat "$tmp/work/results.txt" 2>/dev/null)
if [ "$actual" != "${expected%$'\n'}" ]; then
  echo "results.txt differs:"; printf '%s\n' "$actual" | cat -A; failed=1
fi
pdf=$(ls "$tmp/home"/*.pdf "$tmp/work"/*.pdf 2>/dev/null | head -1)
if [ -z "$pdf" ]; then
  echo "no PDF file was written"; failed=1
elif [ "$(pdfinfo "$pdf" | awk '/^Pages:/ { print $2 }')" != 1 ]; then
  echo "the PDF file does not hold one page"; failed=1
fi
exit $failed
