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

# User plus system CPU seconds of both commands of a job (separated by "--"), the median
# of seven runs each, read to the microsecond from the system's accounting of the finished
# child (a shell's `time` and /usr/bin/time round to hundredths, as large as the
# differences measured here). The two run in turn, so that a machine whose speed drifts
# meets both alike.
cpu_pair() {
  "$python" - "$@" <<'PY'
import resource, subprocess, sys
split = sys.argv.index("--")
commands = [sys.argv[1:split], sys.argv[split + 1:]]
times = [[], []]
for _ in range(7):
    for which, command in enumerate(commands):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        times[which].append(after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)
print(" ".join(f"{sorted(t)[3]:.3f}" for t in times))
PY
}

printf '%-14s %10s %10s %8s\n' job ombrix python ratio
# name, project, and the CPython script with its arguments (the frame, the pixel step and
# the iterations for the Mandelbrot pictures).
while read -r name project script; do
  # shellcheck disable=SC2086  # the script's arguments are split on purpose
  read -r ours theirs < <(cpu_pair "$cli" run --decimal-separator . "$project" -- \
    "$python" bench/python/$script)
  printf '%-14s %10s %10s %8s\n' "$name" "$ours" "$theirs" \
    "$(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", a / b }')"
done <<'JOBS'
julia examples/julia.omp julia.py
mandelbrot bench/mandelbrot.omp mandelbrot.py
mandelbrot200 bench/mandelbrot200.omp mandelbrot.py -2 1 -3/2 3/2 2 50
deepzoom bench/deepzoom.omp mandelbrot.py -7540/10000 -7510/10000 440/10000 470/10000 2 1000
JOBS
