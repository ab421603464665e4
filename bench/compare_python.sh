#!/usr/bin/env bash
# Times the Julia example, the 400 x 400 and 200 x 200 Mandelbrot pictures (50 iterations)
# and a deep zoom (a 0.003-wide frame at the edge of the set, 1000 iterations, 200 x 200
# points) headless with ombrix-cli against the same algorithms as plain CPython loops, in
# CPU seconds of the whole process (the interpreter's start included), and prints the
# ratios. The Python is the distribution's own (/usr/bin/python3) unless PYTHON names one.
# Usage: bench/compare_python.sh [path/to/ombrix-cli]   (default: build/release/cli/ombrix-cli)
set -euo pipefail
cd "$(dirname "$0")/.."
cli=${1:-build/release/cli/ombrix-cli}
if [ ! -x "$cli" ]; then
  cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DOMBRIX_UI=ON -DOMBRIX_TESTS=OFF \
    -DOMBRIX_BENCH=OFF -DOMBRIX_FUZZ=OFF -DOMBRIX_SANITIZE=OFF -DOMBRIX_WERROR=OFF \
    -DOMBRIX_PORTABLE_ROUND_TRIP=OFF
  cmake --build build/release --target ombrix-cli
fi

python=${PYTHON:-/usr/bin/python3}
[ -x "$python" ] || python=python3

# The loops with `z * z` in place of `z ** 2`, made from the same scripts.
products=$(mktemp -d)
trap 'rm -rf "$products"' EXIT
for script in bench/python/*.py; do
  sed 's/z \*\* 2/z * z/' "$script" >"$products/$(basename "$script")"
done

# User plus system CPU seconds of the commands of a job (separated by "--"), the median
# of seven runs each, read to the microsecond from the system's accounting of the finished
# child (a shell's `time` and /usr/bin/time round to hundredths, as large as the
# differences measured here). They run in turn, so that a machine whose speed drifts
# meets all alike.
cpu_times() {
  "$python" - "$@" <<'PY'
import resource, subprocess, sys
commands = [[]]
for word in sys.argv[1:]:
    if word == "--":
        commands.append([])
    else:
        commands[-1].append(word)
times = [[] for _ in commands]
for _ in range(7):
    for which, command in enumerate(commands):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        times[which].append(after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)
print(" ".join(f"{sorted(t)[3]:.3f}" for t in times))
PY
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
printf '%-14s %10s %10s %10s %8s %8s\n' job ombrix 'py z**2' 'py z*z' 'to z**2' 'to z*z'
# name, project, and the CPython script with its arguments (the frame, the pixel step and
# the iterations for the Mandelbrot pictures).
while read -r name project script; do
  # shellcheck disable=SC2086  # the script's arguments are split on purpose
  read -r ours power product < <(cpu_times "$cli" run --decimal-separator . "$project" -- \
    "$python" bench/python/$script -- "$python" "$products"/$script)
  printf '%-14s %10s %10s %10s %8s %8s\n' "$name" "$ours" "$power" "$product" \
    "$(ratio "$ours" "$power")" "$(ratio "$ours" "$product")"
done <<'JOBS'
julia examples/julia.omp julia.py
mandelbrot bench/mandelbrot.omp mandelbrot.py
mandelbrot200 bench/mandelbrot200.omp mandelbrot.py -2 1 -3/2 3/2 2 50
deepzoom bench/deepzoom.omp mandelbrot.py -7540/10000 -7510/10000 440/10000 470/10000 2 1000
JOBS
