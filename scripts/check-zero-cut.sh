#!/usr/bin/env bash
# Every number a rule depends on is named once, and the numbers that follow from it are
# derived from it. This proves it for the zero cut: a copy of the tree with
# ZeroCutThreshold changed in its one place (1E-14 to 1E-12) builds ombrix-cli, which
# then must give the same values to terms between the two thresholds whether it reads
# them by "eval" (the rule book's text path) or as assignments in a program ("run
# --lines", through the plans).
set -euo pipefail
cd "$(dirname "$0")/.."
export LC_ALL=C

work=build/zero-cut
rm -rf "$work/src"
mkdir -p "$work/src"
# The tree as it is, tracked files and new ones alike.
git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' file; do [ -f "$file" ] && printf '%s\0' "$file"; done |
  xargs -0 cp --parents -t "$work/src"

header="$work/src/logic/complex/complex.h"
old='inline constexpr double ZeroCutThreshold = 1E-14;'
if [ "$(grep -cF "$old" "$header")" != 1 ]; then
  echo "check-zero-cut: '$old' is not in logic/complex/complex.h once" >&2
  exit 1
fi
sed -i "s/$old/inline constexpr double ZeroCutThreshold = 1E-12;/" "$header"

cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DOMBRIX_WERROR=ON \
  -DOMBRIX_SANITIZE=OFF -DOMBRIX_PORTABLE_ROUND_TRIP=OFF -DOMBRIX_UI=ON -DOMBRIX_TESTS=OFF \
  -DOMBRIX_BENCH=OFF -DOMBRIX_FUZZ=OFF >/dev/null
cmake --build "$work/build" -j "$(nproc)" --target ombrix-cli
cli="$work/build/cli/ombrix-cli"

# Values between 1E-14 and 1E-12, alone, in sums and products, through built-ins, and
# compared with numbers near them and far from them.
terms=(
  'exp(-28)>2e-13' 'exp(-28)<2e-13' 'exp(-28)>1e-11' 'exp(-28)' 'exp(-29)*1' 'exp(-28)+0'
  '5e-13' '5e-13*1' '5e-13>1e-13' '5e-13<1e-12' '1e-13+0' 'sin(3e-13)' 're(3e-13)>1e-14'
  'wurzel(1e-25)' 'betrag(3e-13)' '(1+1e-13)-1' '2^-42' '3e-13~0' '2e-12~0' 'exp(-30)=0'
  'exp(-28)*i' '[4e-13|4e-13]' 're([4e-13|1])>2e-13' 'konj(4e-13*i)' 'exp(-27)-exp(-28)'
)

# A project with one variable per term (started at 7, which no term gives) and a line
# assigning it the term; the empty last line shows what the line before it changed.
{
  field() { printf '%s\247' "$1"; }
  field $((2 + ${#terms[@]}))
  field i; field 0; field 1
  field e; field 271828182845905E-14; field 0
  field Pi; field 314159265358979E-14; field 0
  for n in "${!terms[@]}"; do field "v$n"; field 7; field 0; done
  # The built-in functions, as every project holds them.
  IFS=$'\247' read -r -d '' -a fields < examples/julia.omp || true
  skip=$((1 + 3 * (fields[0] + 1)))
  for ((f = skip; f < skip + 2 + 3 * (fields[skip + 1] + 1); ++f)); do field "${fields[f]}"; done
  field $((${#terms[@]} + 1))
  for n in "${!terms[@]}"; do field "v$n:=${terms[n]}"; done
  field ''
  field 0
} >"$work/terms.omp"

"$cli" eval --decimal-separator . "${terms[@]}" >"$work/eval.txt"
"$cli" run --decimal-separator . --lines "$work/terms.omp" >"$work/run.txt" 2>/dev/null

failed=0
n=0
while IFS= read -r value; do
  case "$value" in
    1) value='[1|0]' ;;
    0) value='[0|0]' ;;
  esac
  assigned=$(grep -o "v$n=\[[^]]*\]" "$work/run.txt" || true)
  if [ "$assigned" != "v$n=$value" ]; then
    echo "check-zero-cut: '${terms[n]}' gives $value by eval, ${assigned:-nothing} in a program" >&2
    failed=1
  fi
  n=$((n + 1))
done <"$work/eval.txt"
[ "$n" = "${#terms[@]}" ] || { echo "check-zero-cut: eval printed $n of ${#terms[@]} terms" >&2; exit 1; }
if [ "$failed" = 0 ]; then echo "check-zero-cut: ${#terms[@]} terms agree under ZeroCutThreshold 1E-12"; fi
exit "$failed"
