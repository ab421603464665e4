#!/usr/bin/env bash
# Checks that every tracked C++ file is formatted as .clang-format says; lists the files
# that are not and fails. Apply the format with: clang-format -i FILE...
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z -- '*.cpp' '*.h' | xargs -0 -r -n 25 -P "$(nproc)" clang-format --dry-run --Werror
