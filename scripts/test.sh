#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# test.sh: installs what is needed, builds the trees and runs every test:
# unit and script tests, the unit tests again under ASan and UBSan, and each
# fuzz target for a bounded time. The program is also built as a Release, the
# way users and packagers build it, so that optimiser-only warnings show.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

scripts/build.sh build
scripts/build.sh build-release
(cd build && ctest --output-on-failure -j "$(nproc)")

scripts/build.sh build-san
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-san && ctest --output-on-failure -L unit -j "$(nproc)")
(cd build-san && ctest --output-on-failure -L fuzz)
