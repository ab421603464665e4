#!/usr/bin/env bash
# Run by hand, not by the tests or CI: the maths functions and their fast path against MPFR
# (Debian's libmpfr-dev). Usage: scripts/maths-cross-check.sh [ARGUMENTS_PER_RANGE]
# Fails on a wrong result or an estimate beyond its bound.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
g++ -std=c++20 -O2 -Wall -Wextra -I. -o "$out/check" scripts/maths_cross_check.cpp \
  logic/complex/exact_maths*.cpp -lmpfr -lgmp
"$out/check" "$@"
