#!/usr/bin/env bash
# synthetic_input.sh BINARY: keys and pointer synthesised through XTest in a
# real X server (Xvfb), from a headless run: Xlib and XTest are loaded on
# the first call, the pointer ends where the script sent it.
set -u
binary=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps.sh installs it)"; exit 1; }
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/prog" "$tmp/work"
cp "$(dirname "$binary")/default.vx" "$tmp/prog/"
printf ':Initial\r\nG_ERROR = 0\r\nCALL MouseCtrl 3, 123, 45\r\nCALL MouseCtrl 2, 10, 5\r\nCALL DebugFunc 0, "pointer " + G_ERROR\r\nCALL KeyEvent 16, 1\r\nCALL KeyEvent 16, 0\r\nCALL DebugFunc 0, "key " + G_ERROR\r\nCALL KeyEvent 7, 1\r\nCALL DebugFunc 0, "no such key " + G_ERROR\r\nExit\r\n' \
  > "$tmp/work/input.vx"

cat > "$tmp/drive.sh" <<DRIVE
#!/usr/bin/env bash
cd "$tmp/work"
VEXMORA_PROGRAM_DIR="$tmp/prog" LD_DEBUG=files LD_DEBUG_OUTPUT="$tmp/loads" \
  "$binary" --headless input.vx 2> "$tmp/stderr"
echo "exit \$?" > "$tmp/exit"
xdotool getmouselocation --shell | grep -E '^[XY]=' > "$tmp/pointer"
DRIVE
chmod +x "$tmp/drive.sh"
"$(dirname "$0")/with_x_server.sh" 640x480x24 "$tmp/drive.sh" || exit 1

failed=0
expect() {  # description, expected text, file
  if [ "$(tr -d '\r' < "$3")" != "$2" ]; then
    echo "FAILED: $1"
    echo "  expected: $2"
    echo "  got:      $(cat "$3")"
    failed=1
  fi
}
expect "the run exits with 0" "exit 0" "$tmp/exit"
expect "XTest calls succeed, a key without a key symbol fails" \
  "$(printf '[Debug] pointer 0\n[Debug] key 0\n[Debug] no such key 1')" "$tmp/stderr"
expect "the pointer moved to (123, 45), then by (10, 5)" "$(printf 'X=133\nY=50')" "$tmp/pointer"
if ! cat "$tmp"/loads.* 2> /dev/null | grep -q 'file=libXtst\.so\.6'; then
  echo "FAILED: XTest was not loaded"
  failed=1
fi
exit $failed
