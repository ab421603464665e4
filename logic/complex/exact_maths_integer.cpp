#include "logic/complex/exact_maths_integer.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "logic/complex/exact_maths_constants.h"
#include "logic/complex/exact_maths_fixed.h"
#include "logic/complex/exact_maths_series.h"

namespace ombrix::exact::integer {

namespace {

enum class Trig { kSin, kCos, kTan };

// sin, cos or tan of x > 0.
template <int N>
std::optional<double> TrigAt(double x, Trig which, bool final) {
  int quadrant = 0;
  const Fixed<N> r = x < 0.78 ? FromDouble<N>(x) : Reduce<N>(x, quadrant);
  Fixed<N> s;
  Fixed<N> c;
  SinCosOf(r, s, c);
  const double bound = BaseBound<N>();
  const bool odd = (quadrant & 1) != 0;
  switch (which) {
    case Trig::kSin:
      return Rounded((quadrant & 2) != 0 ? -(odd ? c : s) : (odd ? c : s), bound, 0, final);
    case Trig::kCos:
      return Rounded(((quadrant + 1) & 2) != 0 ? -(odd ? s : c) : (odd ? s : c), bound, 0, final);
    case Trig::kTan:
      break;
  }
  const Fixed<N>& numerator = odd ? c : s;
  const Fixed<N>& denominator = odd ? s : c;
  Fixed<N> q = Divide(numerator, Abs(denominator));
  if (denominator.Negative() != odd) q = -q;
  // Both parts are off by the base bound; the quotient by that much over the divisor, in
  // proportion.
  const double d = std::fabs(Approx(denominator));
  if (!(d > 0))
    return final ? std::optional(std::numeric_limits<double>::infinity()) : std::nullopt;
  return Rounded(q, bound + 2 * bound * (1 + std::fabs(Approx(q))) / d, 0, final);
}

// asin a for 0 < a < 1 as atan(a / sqrt(1 - a^2)); `bound` grows as 1 - a^2, formed to
// the last bit, shrinks.
template <int N>
Fixed<N> AsinMagnitude(double a, double& bound) {
  const Fixed<N> x = FromDouble<N>(a);
  const Fixed<N> one = Whole<N>(1);
  const Fixed<N> v = (one - x) * (one + x);
  bound = BaseBound<N>() + 4 * std::ldexp(1.0, -Fixed<N>::kFractionBits) / Approx(v);
  return AtanOf(Divide(x, SquareRoot(v)));
}

// acos a for 1/2 <= a < 1 as atan(sqrt(1 - a^2) / a).
template <int N>
Fixed<N> AcosMagnitude(double a, double& bound) {
  const Fixed<N> x = FromDouble<N>(a);
  const Fixed<N> one = Whole<N>(1);
  const Fixed<N> v = (one - x) * (one + x);
  bound = BaseBound<N>() + 4 * std::ldexp(1.0, -Fixed<N>::kFractionBits) / Approx(v);
  return AtanOf(Divide(SquareRoot(v), x));
}

template <int N>
std::optional<double> AsinAt(double a, bool final) {
  double bound = 0;
  const Fixed<N> v = AsinMagnitude<N>(a, bound);
  return Rounded(v, bound, 0, final);
}

template <int N>
std::optional<double> AcosAt(double x, bool final) {
  double bound = 0;
  const double a = std::fabs(x);
  Fixed<N> v;
  if (a <= 0.5) {
    const Fixed<N> s = AsinMagnitude<N>(a, bound);
    v = Make<N>(kHalfPi) - (x < 0 ? -s : s);
  } else {
    const Fixed<N> c = AcosMagnitude<N>(a, bound);
    v = x < 0 ? Times(Make<N>(kHalfPi), 2) - c : c;
  }
  return Rounded(v, bound, 0, final);
}

template <int N>
std::optional<double> AtanAt(double a, bool final) {
  return Rounded(AtanOf(FromDouble<N>(a)), BaseBound<N>(), 0, final);
}

// e^x = 2^n e^r with r = x - n ln 2.
template <int N>
std::optional<double> ExpAt(double x, bool final) {
  const auto n = static_cast<std::int64_t>(std::nearbyint(x / 0.6931471805599453));
  const Fixed<N> whole_ln2 = Times(Make<N>(kLn2), static_cast<std::uint64_t>(n < 0 ? -n : n));
  const Fixed<N> r = FromDouble<N>(x) - (n < 0 ? -whole_ln2 : whole_ln2);
  // ln 2 is cut off below the fraction: |n| units more.
  const double bound = BaseBound<N>() * (2 + static_cast<double>(n < 0 ? -n : n) / 256);
  return Rounded(ExpOf(r), bound, static_cast<int>(n), final);
}

// ln x for a finite x > 0, x = m 2^e with sqrt(1/2) <= m < sqrt(2): e ln 2 + ln m; times
// 1/ln 10 for the decimal logarithm.
template <int N>
std::optional<double> LogAt(double x, bool decimal, bool final) {
  int e = 0;
  double m = std::frexp(x, &e);  // exact: m in [1/2, 1)
  if (m < 0.7071067811865476) {
    m *= 2;
    --e;
  }
  const Fixed<N> whole_ln2 = Times(Make<N>(kLn2), static_cast<std::uint64_t>(e < 0 ? -e : e));
  Fixed<N> v = LogNearOne(FromDouble<N>(m)) + (e < 0 ? -whole_ln2 : whole_ln2);
  double bound = BaseBound<N>() * (2 + static_cast<double>(e < 0 ? -e : e) / 256);
  if (decimal) {
    v = v * Make<N>(kInverseLn10);
    bound += BaseBound<N>();
  }
  return Rounded(v, bound, 0, final);
}

bool IsOne(double x) { return x == 1.0; }

}  // namespace

double Sin(double x) {
  if (!std::isfinite(x)) return x - x;  // NaN
  const double a = std::fabs(x);
  if (a < 0x1p-27) return x;  // x - x^3/6 rounds to x
  std::optional<double> r = TrigAt<3>(a, Trig::kSin, false);
  if (!r) r = TrigAt<5>(a, Trig::kSin, true);
  return x < 0 ? -*r : *r;
}

double Cos(double x) {
  if (!std::isfinite(x)) return x - x;
  const double a = std::fabs(x);
  if (a < 0x1p-27) return 1.0;  // 1 - x^2/2 rounds to 1
  std::optional<double> r = TrigAt<3>(a, Trig::kCos, false);
  if (!r) r = TrigAt<5>(a, Trig::kCos, true);
  return *r;
}

double Tan(double x) {
  if (!std::isfinite(x)) return x - x;
  const double a = std::fabs(x);
  if (a < 0x1p-27) return x;  // x + x^3/3 rounds to x
  std::optional<double> r = TrigAt<3>(a, Trig::kTan, false);
  if (!r) r = TrigAt<5>(a, Trig::kTan, true);
  return x < 0 ? -*r : *r;
}

double ASin(double x) {
  const double a = std::fabs(x);
  if (std::isnan(x) || a > 1) return std::numeric_limits<double>::quiet_NaN();
  if (a < 0x1p-27) return x;  // x + x^3/6 rounds to x
  if (a == 1) return x < 0 ? -kHalfPiDouble : kHalfPiDouble;
  std::optional<double> r = AsinAt<3>(a, false);
  if (!r) r = AsinAt<5>(a, true);
  return x < 0 ? -*r : *r;
}

double ACos(double x) {
  const double a = std::fabs(x);
  if (std::isnan(x) || a > 1) return std::numeric_limits<double>::quiet_NaN();
  if (IsOne(x)) return 0.0;
  if (x == -1) return kPiDouble;
  if (a < 0x1p-55) return kHalfPiDouble;  // pi/2 - x rounds to the double nearest pi/2
  std::optional<double> r = AcosAt<3>(x, false);
  if (!r) r = AcosAt<5>(x, true);
  return *r;
}

double ATan(double x) {
  if (std::isnan(x)) return x;
  const double a = std::fabs(x);
  if (a < 0x1p-27) return x;  // x - x^3/3 rounds to x
  // pi/2 - 1/x rounds to the double nearest pi/2 from about 6E15 on.
  if (a >= 0x1p62) return x < 0 ? -kHalfPiDouble : kHalfPiDouble;
  std::optional<double> r = AtanAt<3>(a, false);
  if (!r) r = AtanAt<5>(a, true);
  return x < 0 ? -*r : *r;
}

double Exp(double x) {
  if (std::isnan(x)) return x;
  if (x > 709.79) return std::numeric_limits<double>::infinity();
  if (x < -745.2) return 0.0;
  if (std::fabs(x) < 0x1p-54) return 1.0;  // 1 + x rounds to 1
  std::optional<double> r = ExpAt<3>(x, false);
  if (!r) r = ExpAt<5>(x, true);
  return *r;
}

namespace {

double Logarithm(double x, bool decimal) {
  if (std::isnan(x) || x < 0) return std::numeric_limits<double>::quiet_NaN();
  if (x == 0) return -std::numeric_limits<double>::infinity();
  if (std::isinf(x)) return x;
  if (IsOne(x)) return 0.0;
  std::optional<double> r = LogAt<3>(x, decimal, false);
  if (!r) r = LogAt<5>(x, decimal, true);
  return *r;
}

}  // namespace

double Log(double x) { return Logarithm(x, false); }
double Log10(double x) { return Logarithm(x, true); }

}  // namespace ombrix::exact::integer
