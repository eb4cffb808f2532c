#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# build.sh [TREE]: configures and builds one build tree.
#   build      the program, unit tests and benchmarks (gcc)
#   build-san  unit tests and fuzz targets under ASan and UBSan (clang)
#   build-release  the program alone, as users and packagers build it (Release)
# Every tree treats warnings in the project's code as errors.
set -euo pipefail
cd "$(dirname "$0")/.."
tree=${1:-build}
jobs=${VEXMORA_JOBS:-$(nproc)}

# ccache, where installed, lets several checkouts of the tree (worktrees)
# share compiled objects: paths are taken relative to the checkout.
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
fi

case "$tree" in
  build)
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXMORA_WERROR=ON \
      "${launcher[@]}" >/dev/null
    ;;
  build-san)
    cmake -S . -B build-san -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_CXX_COMPILER=clang++ -DVEXMORA_GUI=OFF -DVEXMORA_BENCH=OFF \
      -DVEXMORA_SANITIZE=ON -DVEXMORA_FUZZ=ON -DVEXMORA_WERROR=ON "${launcher[@]}" >/dev/null
    ;;
  build-release)
    cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEXMORA_TESTS=OFF \
      -DVEXMORA_BENCH=OFF -DVEXMORA_WERROR=ON "${launcher[@]}" >/dev/null
    cmake --build build-release -j "$jobs" --target vexmora
    exit 0
    ;;
  *) echo "unknown build tree: $tree" >&2; exit 2 ;;
esac
cmake --build "$tree" -j "$jobs"
