#!/usr/bin/env bash
# other_windows.sh BINARY POST_MESSAGE: instances in a real X server
# (Xvfb). A second one finds the first's window by its title, lists the
# instances, moves and sizes the window and posts the first an EVENT; a
# foreign program posts another through X; a third instance asks it to
# close, which its WIN_CLOSE label turns into its end. WM_CLASS names the
# class.
set -u
binary=$1
post_message=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
require_tools Xvfb xdotool xprop

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/prog" "$tmp/target" "$tmp/sender" "$tmp/run"
chmod 700 "$tmp/run"
cp "$(dirname "$binary")/default.vx" "$tmp/prog/"
cp "$here/other_windows_target.vx" "$tmp/target/"
cp "$here/other_windows_sender.vx" "$here/other_windows_closer.vx" "$tmp/sender/"

cat > "$tmp/drive.sh" <<DRIVE
#!/usr/bin/env bash
source "$here/common.sh"
export XDG_RUNTIME_DIR="$tmp/run" VEXMORA_PROGRAM_DIR="$tmp/prog"
unset QT_QPA_PLATFORM
cd "$tmp/target"
"$binary" other_windows_target.vx 2>"$tmp/target.stderr" &
target=\$!
win=\$(wait_for_window target.txt start) || { kill \$target; exit 1; }
xprop -id "\$win" WM_CLASS > "$tmp/wm_class"
cd "$tmp/sender"
"$binary" other_windows_sender.vx 2>"$tmp/sender.stderr"
echo "sender \$?" > "$tmp/exit"
for _ in \$(seq 50); do grep -q event "$tmp/target/target.txt" && break; sleep 0.1; done
xdotool getwindowgeometry "\$win" | tail -2 > "$tmp/geometry"
"$post_message" "\$win" 1159 56 -78
for _ in \$(seq 50); do grep -q "event 56" "$tmp/target/target.txt" && break; sleep 0.1; done
"$binary" other_windows_closer.vx 2>>"$tmp/sender.stderr"
echo "closer \$?" >> "$tmp/exit"
for _ in \$(seq 50); do kill -0 \$target 2>/dev/null || break; sleep 0.1; done
if kill -0 \$target 2>/dev/null; then echo "target still running"; kill \$target; exit 1; fi
wait \$target
echo "target \$?" >> "$tmp/exit"
DRIVE
chmod +x "$tmp/drive.sh"
"$here/with_x_server.sh" 1600x1000x24 "$tmp/drive.sh" || { cat "$tmp"/*.stderr 2>/dev/null; exit 1; }

status=0
check() {  # check WHAT EXPECTED ACTUAL
  if [ "$3" != "$2" ]; then
    echo "$1 differs:"; printf '%s\n' "$3" | cat -A; status=1
  fi
}
check sender.txt $'chkwin 0 Vexmora100WClass\r\nmissing 1\r\nlist 1\r\nsteer 0\r\nbad handle 1\r' \
  "$(cat "$tmp/sender/sender.txt" 2>/dev/null)"
check target.txt $'start\r\nevent 12 34\r\nevent 56 -78\r\nclose\r' "$(cat "$tmp/target/target.txt" 2>/dev/null)"
check "exit codes" $'sender 3\ncloser 4\ntarget 7' "$(cat "$tmp/exit" 2>/dev/null)"
check geometry $'  Position: 100,50 (screen: 0)\n  Geometry: 300x200' "$(cat "$tmp/geometry" 2>/dev/null)"
check WM_CLASS 'WM_CLASS(STRING) = "vexmora", "Vexmora100WClass"' "$(cat "$tmp/wm_class" 2>/dev/null)"
exit $status
