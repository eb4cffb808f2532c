#!/usr/bin/env bash
# with_x_server.sh GEOMETRY COMMAND [ARG...]: runs COMMAND with DISPLAY set to
# a fresh Xvfb screen of GEOMETRY (WIDTHxHEIGHTxDEPTH). The server chooses a
# free display itself and names it once it listens (-displayfd), so two
# servers never share a display; COMMAND starts only after a client has
# connected to it. A server that cannot be reached is replaced, up to three
# times.
set -u
geometry=$1
shift
for tool in Xvfb xdpyinfo; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps.sh installs it)"; exit 1; }
done
ready=$(mktemp -u)
server=""
stop_server() {
  [ -n "$server" ] && { kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; }
  server=""
}
trap 'stop_server; rm -f "$ready"' EXIT
trap "exit 143" TERM INT

# start_server: starts Xvfb and sets `display` once a client reaches it.
start_server() {
  rm -f "$ready"
  mkfifo "$ready"
  # -noreset: an X server otherwise resets when its last client leaves, and
  # refuses connections meanwhile; a test's clients come and go.
  Xvfb -displayfd 3 -screen 0 "$geometry" -nolisten tcp -noreset 3>"$ready" >/dev/null 2>&1 &
  server=$!
  display=$(timeout 30 head -1 < "$ready")
  [ -n "$display" ] || return 1
  for _ in $(seq 50); do
    xdpyinfo -display ":$display" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

display=""
for attempt in 1 2 3; do
  start_server && break
  echo "the X server on display :${display:-?} could not be reached (attempt $attempt)" >&2
  stop_server
  display=""
done
if [ -z "$display" ]; then
  echo "the X server did not start"
  exit 1
fi
DISPLAY=":$display" "$@"
status=$?
if [ $status -ne 0 ]; then
  # Whether the server outlived the command tells a failing program from a
  # failing server.
  if kill -0 "$server" 2>/dev/null && xdpyinfo -display ":$display" >/dev/null 2>&1; then
    echo "(the X server on :$display was still up)" >&2
  else
    echo "(the X server on :$display was gone or unreachable at the end)" >&2
  fi
fi
exit $status
