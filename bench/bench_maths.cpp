// Timing of the correctly rounded maths functions the built-ins and the complex arithmetic
// call, one row per function, over arguments as drawing programs pass them: angles of a
// colour wheel or a phase portrait, logarithms of moduli, exponents of a plot's range.
// Run with --benchmark_repetitions=9 --benchmark_report_aggregates_only=true for medians.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "logic/complex/exact_maths.h"
#include "logic/complex/exact_maths_integer.h"

namespace {

using Function = double (*)(double);

// 4096 arguments spread evenly (in value, or in magnitude for the logarithms) over a range.
std::vector<double> Arguments(double low, double high, bool logarithmic) {
  std::mt19937_64 random(2024);
  std::uniform_real_distribution<double> spread(logarithmic ? std::log(low) : low,
                                                logarithmic ? std::log(high) : high);
  std::vector<double> values(4096);
  for (double& x : values) x = logarithmic ? std::exp(spread(random)) : spread(random);
  return values;
}

// One call an iteration, so that the time is that of a call.
void BM_Maths(benchmark::State& state, Function f, double low, double high, bool logarithmic) {
  const std::vector<double> values = Arguments(low, high, logarithmic);
  std::size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(f(values[k]));
    k = (k + 1) % values.size();
  }
}

using ombrix::exact::ACos;
using ombrix::exact::ASin;
using ombrix::exact::ATan;
using ombrix::exact::Cos;
using ombrix::exact::Exp;
using ombrix::exact::Log;
using ombrix::exact::Log10;
using ombrix::exact::Sin;
using ombrix::exact::Tan;

BENCHMARK_CAPTURE(BM_Maths, sin, Sin, -10.0, 10.0, false);
BENCHMARK_CAPTURE(BM_Maths, cos, Cos, -10.0, 10.0, false);
BENCHMARK_CAPTURE(BM_Maths, tan, Tan, -10.0, 10.0, false);
BENCHMARK_CAPTURE(BM_Maths, asin, ASin, -1.0, 1.0, false);
BENCHMARK_CAPTURE(BM_Maths, acos, ACos, -1.0, 1.0, false);
BENCHMARK_CAPTURE(BM_Maths, atan, ATan, -10.0, 10.0, false);
BENCHMARK_CAPTURE(BM_Maths, exp, Exp, -20.0, 20.0, false);
BENCHMARK_CAPTURE(BM_Maths, log, Log, 1e-6, 1e6, true);
BENCHMARK_CAPTURE(BM_Maths, log10, Log10, 1e-6, 1e6, true);
// Far from 0 the trig functions reduce their argument with more bits of 2/pi.
BENCHMARK_CAPTURE(BM_Maths, sin_large, Sin, 1e6, 1e15, true);
// The integer path alone, which every rounding the fast path leaves open takes.
BENCHMARK_CAPTURE(BM_Maths, sin_integer, ombrix::exact::integer::Sin, -10.0, 10.0, false);
BENCHMARK_CAPTURE(BM_Maths, exp_integer, ombrix::exact::integer::Exp, -20.0, 20.0, false);
BENCHMARK_CAPTURE(BM_Maths, log_integer, ombrix::exact::integer::Log, 1e-6, 1e6, true);
// The platform's library for comparison: fast, but not the same bits everywhere.
double LibrarySin(double x) { return std::sin(x); }
double LibraryExp(double x) { return std::exp(x); }
BENCHMARK_CAPTURE(BM_Maths, library_sin, LibrarySin, -10.0, 10.0, false);
BENCHMARK_CAPTURE(BM_Maths, library_exp, LibraryExp, -20.0, 20.0, false);

}  // namespace

BENCHMARK_MAIN();
