#!/usr/bin/env bash
# What CI runs. Installs what is missing (Debian); checks the format of every tracked C++
# file; validates the desktop entry and the AppStream data; builds everything under
# AddressSanitizer and UndefinedBehaviorSanitizer with warnings as errors and runs the
# whole test suite through ctest (an install into a scratch folder among it); builds
# Release, runs the whole suite on it and the value tests once more with the portable
# round trip, builds the Debian package and checks it with
# lintian; runs clang-tidy on logic/ and platform/; builds ombrix-cli once more with the
# zero cut changed in its one place and checks that both readings of a term still agree
# (scripts/check-zero-cut.sh); then builds the libFuzzer targets with clang and runs each
# for 60 seconds (also through ctest); last the browser edition, its
# tests under node and in headless Chromium and its differential against the native tool.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)
ctest_args=(--output-on-failure --no-tests=error -j "$jobs" --timeout 600)

bash scripts/check-format.sh

# The desktop entry and the AppStream data as a software centre reads them.
desktop-file-validate desktop/*.desktop
appstreamcli validate --no-net desktop/*.metainfo.xml

# Every configure states every option: a build folder keeps its cache, and build/release is
# shared with start.sh (which switches the tests off) and the package.
cmake -S . -B build/check -G Ninja -DCMAKE_BUILD_TYPE=Debug -DOMBRIX_SANITIZE=ON -DOMBRIX_WERROR=ON \
  -DOMBRIX_UI=ON -DOMBRIX_TESTS=ON -DOMBRIX_BENCH=ON -DOMBRIX_FUZZ=OFF -DOMBRIX_PORTABLE_ROUND_TRIP=OFF
cmake --build build/check -j "$jobs"
(cd build/check && QT_QPA_PLATFORM=offscreen ctest "${ctest_args[@]}")

# What users and the package run.
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DOMBRIX_WERROR=ON \
  -DOMBRIX_UI=ON -DOMBRIX_TESTS=ON -DOMBRIX_BENCH=OFF -DOMBRIX_FUZZ=OFF -DOMBRIX_SANITIZE=OFF \
  -DOMBRIX_PORTABLE_ROUND_TRIP=OFF
cmake --build build/release -j "$jobs"
(cd build/release && QT_QPA_PLATFORM=offscreen ctest "${ctest_args[@]}")
# The portable round trip (through the digits alone, as on platforms without 128-bit
# integers or an extended long double) against the same tests: both give the same bits.
cmake -S . -B build/portable -G Ninja -DCMAKE_BUILD_TYPE=Release -DOMBRIX_WERROR=ON \
  -DOMBRIX_PORTABLE_ROUND_TRIP=ON -DOMBRIX_UI=OFF -DOMBRIX_BENCH=OFF -DOMBRIX_FUZZ=OFF \
  -DOMBRIX_TESTS=ON -DOMBRIX_SANITIZE=OFF
cmake --build build/portable -j "$jobs" --target tests_complex tests_evaluator tests_program
(cd build/portable && ctest "${ctest_args[@]}" -L round_trip)

rm -f build/release/ombrix_*.deb
(cd build/release && cpack -G DEB)
lintian --fail-on error,warning build/release/ombrix_*.deb

bash scripts/run-tidy.sh

bash scripts/check-zero-cut.sh

if [ -d fuzz ] && [ -f fuzz/CMakeLists.txt ]; then
  CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DOMBRIX_FUZZ=ON -DOMBRIX_UI=OFF -DOMBRIX_TESTS=OFF -DOMBRIX_BENCH=OFF -DOMBRIX_WERROR=ON \
    -DOMBRIX_SANITIZE=OFF -DOMBRIX_PORTABLE_ROUND_TRIP=OFF
  cmake --build build/fuzz -j "$jobs"
  (cd build/fuzz && ctest --output-on-failure --no-tests=error -j "$jobs" --timeout 300)
fi

# The browser edition: the engine compiled to WebAssembly, its logic tests under node, the
# differential of ombrix-cli for node against the native tool (10,000 random terms and 300
# random projects, under "," and "."), and every example that ends by itself run on the
# page in headless Chromium, its picture against the native tool's, pixel for pixel; then the
# page as a user meets it: files, links, steps, sliders, offline, keyboard, accessibility.
OMBRIX_WERROR=ON bash scripts/web.sh --build-only
(cd build/web-engine && ctest "${ctest_args[@]}")
node web/tests/differential.mjs build/release/cli/ombrix-cli build/web-engine/web/ombrix-cli.js \
  build/release/tests/web/ombrix-web-cases
node web/tests/pictures.mjs build/release/cli/ombrix-cli
node web/tests/page.mjs build/release/cli/ombrix-cli
node web/tests/devices.mjs build/release/cli/ombrix-cli
node web/tests/instruments.mjs build/release/cli/ombrix-cli
