#!/usr/bin/env bash
# with_x_server.sh GEOMETRY COMMAND [ARG...]: runs COMMAND with DISPLAY set to
# a fresh Xvfb screen of GEOMETRY (WIDTHxHEIGHTxDEPTH). The server chooses a
# free display itself and names it only once it accepts connections
# (-displayfd), so two servers never share a display and COMMAND never starts
# before its server is up.
set -u
geometry=$1
shift
command -v Xvfb >/dev/null || { echo "missing Xvfb (scripts/install-deps.sh installs it)"; exit 1; }
ready=$(mktemp -u)
mkfifo "$ready"
Xvfb -displayfd 3 -screen 0 "$geometry" -nolisten tcp 3>"$ready" >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; rm -f "$ready"' EXIT
trap "exit 143" TERM INT
display=$(timeout 30 head -1 < "$ready")
if [ -z "$display" ]; then
  echo "the X server did not start"
  exit 1
fi
DISPLAY=":$display" "$@"
