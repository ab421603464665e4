#!/usr/bin/env bash
# Checks that every CMake configure in the scripts and the README states the build type
# and every OMBRIX_ option: a build folder keeps its cache, so an option a command leaves
# out would take whatever the command that configured the folder before chose (start.sh's
# tests switched off, then test-all.sh's Release ctest finding no tests). Lists each
# command and what it leaves out, and fails if any does.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t options < <(sed -n 's/^option(\(OMBRIX_[A-Z_]*\).*/\1/p' CMakeLists.txt)
[ ${#options[@]} -gt 0 ] || { echo "no OMBRIX_ options found in CMakeLists.txt"; exit 1; }

failed=0
checked=0
for file in scripts/*.sh bench/*.sh .ci/run README.md; do
  [ -f "$file" ] || continue
  # Continued lines joined; a configure runs from the word cmake with its source folder to
  # the next "&&", ";" or the end of the line. (The pattern does not match itself.)
  while IFS= read -r command; do
    checked=$((checked + 1))
    missing=()
    for name in CMAKE_BUILD_TYPE "${options[@]}"; do
      [[ "$command" == *"-D$name="* ]] || missing+=("$name")
    done
    if [ ${#missing[@]} -gt 0 ]; then
      echo "$file: $command"
      echo "  states nothing for: ${missing[*]}"
      failed=1
    fi
  done < <(sed -e ':a' -e '/\\$/N; s/\\\n//; ta' "$file" |
    grep -o 'cmake[ ]-S [^;&]*' || true)
done
[ "$checked" -gt 0 ] || { echo "no configure commands found"; exit 1; }
exit "$failed"
