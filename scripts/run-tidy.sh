#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy on every source file of logic/, platform/,
# ui/ and cli/, files in parallel; fails on any finding. Its compile commands come from a
# clang configuration of its own (configured, not built), so the flags are clang's.
set -euo pipefail
cd "$(dirname "$0")/.."
CXX=clang++ cmake -S . -B build/tidy -G Ninja -DCMAKE_BUILD_TYPE=Debug -DOMBRIX_UI=ON -DOMBRIX_TESTS=OFF \
  -DOMBRIX_BENCH=OFF -DOMBRIX_FUZZ=OFF -DOMBRIX_SANITIZE=OFF -DOMBRIX_WERROR=OFF \
  -DOMBRIX_PORTABLE_ROUND_TRIP=OFF >/dev/null
run-clang-tidy -p build/tidy -j "$(nproc)" -quiet "^$PWD/(logic|platform|ui|cli)/.*\.cpp\$"
