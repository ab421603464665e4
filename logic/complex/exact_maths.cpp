#include "logic/complex/exact_maths.h"

#include <cmath>
#include <optional>

#include "logic/complex/exact_maths_fast.h"
#include "logic/complex/exact_maths_integer.h"

namespace ombrix::exact {

namespace {

// The fast path where its estimate settles the rounding, else the integer path, which also
// holds every special case (NaN, infinities, the ends of the domains, tiny arguments).
template <class Estimator, class Exact>
double Either(bool fast_domain, Estimator estimate, Exact exact, double x) {
  if (fast_domain) {
    if (const std::optional<fast::Estimate> e = estimate(x)) {
      if (const std::optional<double> r = fast::Round(*e)) return *r;
    }
  }
  return exact(x);
}

}  // namespace

double Sin(double x) {
  return Either(std::isfinite(x) && std::fabs(x) >= 0x1p-27, fast::SinEstimate, integer::Sin, x);
}

double Cos(double x) {
  return Either(std::isfinite(x) && std::fabs(x) >= 0x1p-27, fast::CosEstimate, integer::Cos, x);
}

double Tan(double x) {
  return Either(std::isfinite(x) && std::fabs(x) >= 0x1p-27, fast::TanEstimate, integer::Tan, x);
}

double ASin(double x) {
  return Either(std::fabs(x) >= 0x1p-27 && std::fabs(x) < 1, fast::ASinEstimate, integer::ASin, x);
}

double ACos(double x) {
  return Either(std::fabs(x) >= 0x1p-55 && std::fabs(x) < 1, fast::ACosEstimate, integer::ACos, x);
}

double ATan(double x) {
  return Either(std::fabs(x) >= 0x1p-27 && std::fabs(x) < 0x1p62, fast::ATanEstimate, integer::ATan,
                x);
}

double Exp(double x) {
  return Either(x >= -745.2 && x <= 709.79 && std::fabs(x) >= 0x1p-54, fast::ExpEstimate,
                integer::Exp, x);
}

double Log(double x) {
  return Either(
      x > 0 && x != 1 && std::isfinite(x), [](double y) { return fast::LogEstimate(y, false); },
      integer::Log, x);
}

double Log10(double x) {
  return Either(
      x > 0 && x != 1 && std::isfinite(x), [](double y) { return fast::LogEstimate(y, true); },
      integer::Log10, x);
}

}  // namespace ombrix::exact
