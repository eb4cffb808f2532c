#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# run.sh [ARGS...]: installs what is needed, builds, and runs vexmora with its
# default.vx (headless when there is no display).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
exec build/vexmora "$@"
