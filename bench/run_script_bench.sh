#!/usr/bin/env bash
# run_script_bench.sh [BINARY] [RUNS]
#
# The counting and mixed loops of the peer suite (see peer_suite.sh, which
# runs every program), best of RUNS runs (default 3).
here=$(cd "$(dirname "$0")" && pwd)
exec "$here/peer_suite.sh" -b "${1:-$here/../build/vexmora}" -r "${2:-3}" count mixed
