// A check run by hand (scripts/maths-cross-check.sh), not part of the build: the maths
// functions against MPFR's correctly rounded values, and each fast estimate against MPFR's
// value to 400 bits: within its stated bound, and how often it leaves the rounding to the
// integer path. Lists the arguments it left, the hardest to round first: candidates for
// the tests' rows of hard cases.
#include <mpfr.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

#include "logic/complex/exact_maths.h"
#include "logic/complex/exact_maths_fast.h"
#include "tests/support/maths_arguments.h"

namespace {

using namespace ombrix;
using namespace ombrix::testing::maths;
using Estimator = std::optional<exact::fast::Estimate> (*)(double);
using Reference = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);

struct Row {
  const char* name;
  double (*f)(double);
  Estimator estimate;
  Reference reference;
  bool (*inside)(double);  // the estimate's domain
  std::vector<Generator> arguments;
};

std::vector<Row> Rows() {
  const auto trig = [](double x) { return std::isfinite(x) && std::fabs(x) >= 0x1p-27; };
  const auto log = [](double x) { return x > 0 && x != 1 && std::isfinite(x); };
  return {
      {"sin", exact::Sin, exact::fast::SinEstimate, mpfr_sin, trig, TrigArguments()},
      {"cos", exact::Cos, exact::fast::CosEstimate, mpfr_cos, trig, TrigArguments()},
      {"tan", exact::Tan, exact::fast::TanEstimate, mpfr_tan, trig, TrigArguments()},
      {"asin", exact::ASin, exact::fast::ASinEstimate, mpfr_asin,
       [](double x) { return std::fabs(x) >= 0x1p-27 && std::fabs(x) < 1; }, RatioArguments()},
      {"acos", exact::ACos, exact::fast::ACosEstimate, mpfr_acos,
       [](double x) { return std::fabs(x) >= 0x1p-55 && std::fabs(x) < 1; }, RatioArguments()},
      {"atan", exact::ATan, exact::fast::ATanEstimate, mpfr_atan,
       [](double x) { return std::fabs(x) >= 0x1p-27 && std::fabs(x) < 0x1p62; }, AtanArguments()},
      {"exp", exact::Exp, exact::fast::ExpEstimate, mpfr_exp,
       [](double x) { return x >= -745.2 && x <= 709.79 && std::fabs(x) >= 0x1p-54; },
       ExpArguments()},
      {"log", exact::Log, [](double x) { return exact::fast::LogEstimate(x, false); }, mpfr_log,
       log, LogArguments()},
      {"log10", exact::Log10, [](double x) { return exact::fast::LogEstimate(x, true); },
       mpfr_log10, log, LogArguments()},
  };
}

struct Numbers {
  mpfr_t in;
  mpfr_t truth;
  mpfr_t work;
  mpfr_t rounded;
  Numbers() {
    mpfr_inits2(400, in, truth, work, static_cast<mpfr_ptr>(nullptr));
    mpfr_init2(rounded, 53);
  }
  ~Numbers() { mpfr_clears(in, truth, work, rounded, static_cast<mpfr_ptr>(nullptr)); }
  Numbers(const Numbers&) = delete;
  Numbers& operator=(const Numbers&) = delete;
};

// The correctly rounded double, subnormals as the doubles have them.
double CorrectlyRounded(Numbers& n) {
  mpfr_set_emin(-1073);
  mpfr_set_emax(1024);
  const int ternary = mpfr_set(n.rounded, n.truth, MPFR_RNDN);
  mpfr_check_range(n.rounded, ternary, MPFR_RNDN);
  mpfr_subnormalize(n.rounded, ternary, MPFR_RNDN);
  const double r = mpfr_get_d(n.rounded, MPFR_RNDN);
  mpfr_set_emin(mpfr_get_emin_min());
  mpfr_set_emax(mpfr_get_emax_max());
  return r;
}

// |estimate - f(x)| in units of the estimate, over its bound.
double ErrorOverBound(const exact::fast::Estimate& e, Numbers& n) {
  mpfr_set_ui(n.work, e.value.high, MPFR_RNDN);
  mpfr_mul_2ui(n.work, n.work, 64, MPFR_RNDN);
  mpfr_add_ui(n.work, n.work, e.value.low, MPFR_RNDN);
  mpfr_mul_2si(n.work, n.work, e.scale, MPFR_RNDN);
  if (e.negative) mpfr_neg(n.work, n.work, MPFR_RNDN);
  mpfr_sub(n.work, n.work, n.truth, MPFR_RNDN);
  mpfr_mul_2si(n.work, n.work, -e.scale, MPFR_RNDN);
  return std::fabs(mpfr_get_d(n.work, MPFR_RNDN)) / static_cast<double>(e.error);
}

// How near f(x) lies to the middle between two doubles: -log2 of the distance in units in
// the last place (normal results).
double Hardness(Numbers& n) {
  const long exponent = mpfr_get_exp(n.truth);
  mpfr_abs(n.work, n.truth, MPFR_RNDN);
  mpfr_mul_2si(n.work, n.work, 53 - exponent, MPFR_RNDN);
  mpfr_frac(n.work, n.work, MPFR_RNDN);
  mpfr_sub_d(n.work, n.work, 0.5, MPFR_RNDN);
  return -std::log2(std::fabs(mpfr_get_d(n.work, MPFR_RNDN)));
}

struct Tally {
  long tried = 0;
  long wrong = 0;
  long estimated = 0;
  long open = 0;
  long beyond_bound = 0;
  double worst = 0;
  std::vector<std::pair<double, double>> left;  // hardness, argument
};

void Check(const Row& row, double x, Numbers& n, Tally& tally) {
  ++tally.tried;
  mpfr_set_d(n.in, x, MPFR_RNDN);
  row.reference(n.truth, n.in, MPFR_RNDN);
  const double want = CorrectlyRounded(n);
  const double got = row.f(x);
  if (!(got == want && std::signbit(got) == std::signbit(want)) &&
      !(std::isnan(got) && std::isnan(want))) {
    ++tally.wrong;
    std::printf("WRONG %s(%a) = %a, correctly rounded %a\n", row.name, x, got, want);
  }
  if (!row.inside(x)) return;
  ++tally.estimated;
  const std::optional<exact::fast::Estimate> e = row.estimate(x);
  if (!e || !exact::fast::Round(*e)) {
    ++tally.open;
    tally.left.emplace_back(Hardness(n), x);
  }
  if (!e) return;
  const double ratio = ErrorOverBound(*e, n);
  if (ratio > 1) {
    ++tally.beyond_bound;
    std::printf("BEYOND THE BOUND %s(%a): %.3f of it\n", row.name, x, ratio);
  }
  tally.worst = std::max(tally.worst, ratio);
}

}  // namespace

int main(int argc, char** argv) {
  const long count = argc > 1 ? std::atol(argv[1]) : 100000;
  bool failed = false;
  Numbers n;
  Random random(47);
  for (const Row& row : Rows()) {
    Tally tally;
    for (const Generator argument : row.arguments) {
      for (long k = 0; k < count; ++k) Check(row, argument(random), n, tally);
    }
    std::printf(
        "%-6s %ld arguments, %ld wrong; %ld estimated, %ld left to the integer path, %ld beyond "
        "the bound, error at most %.3f of the bound\n",
        row.name, tally.tried, tally.wrong, tally.estimated, tally.open, tally.beyond_bound,
        tally.worst);
    std::sort(tally.left.rbegin(), tally.left.rend());
    tally.left.erase(std::unique(tally.left.begin(), tally.left.end()), tally.left.end());
    for (std::size_t k = 0; k < tally.left.size() && k < 6; ++k) {
      std::printf("  left: %a, within 2^-%.1f units of a middle\n", tally.left[k].second,
                  tally.left[k].first);
    }
    failed = failed || tally.wrong != 0 || tally.beyond_bound != 0;
  }
  return failed ? 1 : 0;
}
