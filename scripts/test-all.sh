#!/usr/bin/env bash
# Installs what is missing (Debian), validates the desktop entry and the AppStream data,
# builds everything under AddressSanitizer and UndefinedBehaviorSanitizer, runs the whole
# test suite through ctest (an install into a scratch folder among it), then builds the
# libFuzzer targets with clang and runs each for 60 seconds (also through ctest).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)

# The desktop entry and the AppStream data as a software centre reads them.
desktop-file-validate desktop/*.desktop
appstreamcli validate --no-net desktop/*.metainfo.xml

cmake -S . -B build/check -G Ninja -DCMAKE_BUILD_TYPE=Debug -DOMBRIX_SANITIZE=ON
cmake --build build/check -j "$jobs"
(cd build/check && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-tests=error -j "$jobs" --timeout 600)

if [ -d fuzz ] && [ -f fuzz/CMakeLists.txt ]; then
  CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DOMBRIX_FUZZ=ON -DOMBRIX_UI=OFF -DOMBRIX_TESTS=OFF -DOMBRIX_BENCH=OFF
  cmake --build build/fuzz -j "$jobs"
  (cd build/fuzz && ctest --output-on-failure --no-tests=error -j "$jobs" --timeout 300)
fi
