#!/usr/bin/env bash
# window_state.sh BINARY CLOSE_WINDOW DROP_FILE: runs window_state.vx in a real X
# server (Xvfb). The main window goes topmost and back by TopWindow and
# ShowWindow and must stay one X window (the id the script reports, which
# keys keep reaching) with _NET_WM_STATE_ABOVE set and cleared; clicks
# beside a check box's caption and on a progress bar belong to them; after a
# run error a close request ends the program despite its WIN_CLOSE label.
# A file dropped on the window (XDND) is what RefDrgFn names.
set -u
binary=$1
close_window=$2
drop_file=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
require_tools Xvfb xdotool xprop

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/prog" "$tmp/work"
cp "$(dirname "$binary")/default.vx" "$tmp/prog/"
cp "$here/window_state.vx" "$tmp/work/"

cat > "$tmp/drive.sh" <<DRIVE
#!/usr/bin/env bash
source "$here/common.sh"
cd "$tmp/work"
env -u QT_QPA_PLATFORM VEXMORA_PROGRAM_DIR="$tmp/prog" "$binary" window_state.vx 2>"$tmp/stderr" &
pid=\$!
wait_for() {  # wait_for TEXT: polls the script's output for up to twenty seconds
  for _ in \$(seq 200); do
    grep -q "\$1" state.txt 2>/dev/null && return 0
    kill -0 \$pid 2>/dev/null || break
    sleep 0.1
  done
  echo "never saw: \$1"; cat state.txt 2>/dev/null; return 1
}
# state NAME: the window's id and whether it is kept above, as seen now.
state() {
  local above=no
  xprop -id "\$win" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_ABOVE && above=yes
  echo "\$1 \$(xdotool search --onlyvisible --name Vexmora | tr '\n' ' ')above \$above" >> "$tmp/states"
}
key() {  # key NAME TEXT: types a key into the window and waits for its line
  xdotool windowfocus --sync "\$win" 2>/dev/null
  xdotool key "\$1"
  wait_for "\$2"
}
win=\$(wait_for_window state.txt start) || { kill \$pid; exit 1; }
echo "\$win" > "$tmp/win"
sleep 0.3
state initial
key F1 show || { kill \$pid; exit 1; }
sleep 0.5  # ShowWindow keeps it topmost for three ticks
state shown
key F2 "^top" || { kill \$pid; exit 1; }
state top
key F3 "not top" || { kill \$pid; exit 1; }
state "not top"
xdotool mousemove --window "\$win" 250 62 click 1
wait_for check || { kill \$pid; exit 1; }
xdotool mousemove --window "\$win" 250 100 click 1
xdotool mousemove --window "\$win" 500 300 click 1
wait_for down || { kill \$pid; exit 1; }
"$close_window" "\$win"
wait_for close || { kill \$pid; exit 1; }
echo dropped > "$tmp/work/dropped.txt"
"$drop_file" "\$win" 400 300 "$tmp/work/dropped.txt" || { kill \$pid; exit 1; }
wait_for drop || { kill \$pid; exit 1; }
xdotool mousemove --window "\$win" 500 300 click 3  # the keyboard back from the check box
key F4 error || { kill \$pid; exit 1; }
# The run error's message box waits for its OK.
for _ in \$(seq 200); do
  box=\$(xdotool search --onlyvisible --name '^Error\$' 2>/dev/null | head -1)
  [ -n "\$box" ] && break
  sleep 0.1
done
[ -n "\$box" ] || { echo "no message box"; kill \$pid; exit 1; }
xdotool windowfocus --sync "\$box" 2>/dev/null
xdotool key Return
for _ in \$(seq 100); do
  xdotool search --onlyvisible --name '^Error\$' >/dev/null 2>&1 || break
  sleep 0.1
done
"$close_window" "\$win"
for _ in \$(seq 100); do kill -0 \$pid 2>/dev/null || break; sleep 0.1; done
if kill -0 \$pid 2>/dev/null; then echo "still running"; cat state.txt; kill \$pid; exit 1; fi
wait \$pid
DRIVE
chmod +x "$tmp/drive.sh"
"$here/with_x_server.sh" 1600x1000x24 "$tmp/drive.sh" || { cat "$tmp/stderr" 2>/dev/null; exit 1; }

status=0
check() {  # check WHAT EXPECTED ACTUAL
  if [ "$3" != "$2" ]; then
    echo "$1 differs:"; printf '%s\n' "$3" | cat -A; status=1
  fi
}
win=$(cat "$tmp/win")
hex=$(printf '%#x' "$win")
expected="start hMainWnd=$hex"$'\r\n'"show hMainWnd=$hex"$'\r\ntop\r\nnot top\r\ncheck 1\r\n'
expected+=$'down 500 300\r\nclose\r\n'"drop $tmp/work/dropped.txt 0"$'\r\nerror\r'
check state.txt "$expected" "$(cat "$tmp/work/state.txt" 2>/dev/null)"
# Without a window manager the state is written on the window itself.
check states "initial $win above yes
shown $win above no
top $win above yes
not top $win above no" "$(cat "$tmp/states" 2>/dev/null)"
exit $status
