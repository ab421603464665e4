// The fast path of atan, asin and acos, all as the arc tangent of a quotient n/d <= 1:
// atan x of x/1 or 1/x, asin and acos of a/sqrt(1 - a^2) or its inverse. The error figures in
// the comments are absolute unless they say relative.
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "logic/complex/exact_maths_fast.h"
#include "logic/complex/exact_maths_series.h"

namespace ombrix::exact::fast {

namespace {

constexpr Wide kHalfPi = Scaled(integer::kHalfPi, 2);  // units 2^-126
constexpr Wide kPi = ShiftLeft(kHalfPi, 1);
constexpr Wide kThird = Ratio(1, 3);
// The double below 1/sqrt(2): up to it a < sqrt(1 - a^2), above it the other way round.
constexpr double kBelowRootHalf = 0x1.6a09e667f3bccp-1;

// atan t / t = 1 - u/3 + u^2 (1/5 - u/7 + ...) in u = t^2 < 2^-14, to u^6 (the rest below
// 2^-101.9); the 64-bit part within 1.7 units, times u^2: 2^-91.3. In units 2^-127.
constexpr std::array<std::uint64_t, 5> kAtanSeries = {Ratio64(1, 5), Ratio64(1, 7), Ratio64(1, 9),
                                                      Ratio64(1, 11), Ratio64(1, 13)};

Wide AtanSeries(Wide u) {
  return NearOne(u, SeriesStep(kThird, u, Series64(u.high, kAtanSeries, true), true), true);
}

// atan(j/64) for j = 0 .. 64 in units 2^-128, within 2^10 units.
const std::array<Wide, 65>& AtanTable() {
  static const std::array<Wide, 65> table = [] {
    std::array<Wide, 65> t{};
    const auto& exact = integer::AtanSixtyFourths<3>();
    for (std::size_t j = 0; j < t.size(); ++j) t[j] = Wide{exact[j].limbs[1], exact[j].limbs[0]};
    return t;
  }();
  return table;
}

// atan(n/d) for 0 < n <= d, 2^127 <= d < 2^128 (n and d each within a unit or
// `relative_error` of theirs), in units 2^-126. With c = j/64 nearest n/d: atan c +
// atan((n - c d)/(d + c n)), |t| <= 2^-7; for j = 0 that is n/d itself, relative. The
// quotient within DivideError, the series 2^-91.3 relative (2^-88 taken) and 8 units; for j
// > 0 n and d lose 7 bits (2^9 units) and the table adds 2^10. An error eps of n/d moves
// the arc tangent by less than 1.3 eps of it.
Estimate AtanOfQuotient(Wide n, Wide d, double relative_error) {
  const auto j = static_cast<std::uint64_t>(std::lround(ToDouble(n) / ToDouble(d) * 64));
  Wide tau;
  bool t_negative = false;
  std::uint64_t error = 8;
  if (j == 0) {
    tau = Divide(n, d);
  } else {
    const Wide n7 = ShiftRight(n, 7);
    const Wide d7 = ShiftRight(d, 7);
    const Wide numerator = ShiftLeft(n7, 6) - Times(d7, j);  // 64 n - j d, signed
    t_negative = Negative(numerator);
    tau = Divide(Magnitude(numerator), ShiftLeft(d7, 6) + Times(n7, j));
    error += (std::uint64_t{1} << 9) + (std::uint64_t{1} << 10);
  }
  const Wide u = MulHigh(tau, tau);
  const Wide atan_t = ShiftLeft(MulHigh(tau, AtanSeries(u)), 1);  // units 2^-128
  const Wide value = AddOrSubtract(AtanTable()[static_cast<std::size_t>(j)], atan_t, t_negative);
  error += DivideError(tau) + ShiftRight(atan_t, 88).low;
  const double input = ToDouble(value) * 1.3 * (relative_error + 0x1p-126) + 1;
  error += static_cast<std::uint64_t>(input < 0x1p62 ? input : 0x1p62);
  return Estimate{ShiftRight(value, 2), 0, (error >> 2) + 1, false};
}

// sqrt(1 - a^2) for 0 < a < 1 as S 2^-(64 + scale/2), 2^127 <= S < 2^128, within
// kSquareRootError and 2 units: 1 - a^2 = (1 - a)(1 + a) exactly from a = 1/2 on, with
// every bit as it nears 0; below, cut off below 2^-128 where it is more than 3/4.
struct Root {
  Wide value;
  int scale;
};

Root RootOfOneLessSquare(Parts a) {
  const WideProduct square = MultiplyWide(a.mantissa, a.mantissa);  // a^2 2^(-2 exponent)
  if (a.exponent == -53) {
    const Wide v = ShiftLeft(Wide{0, 1}, 106) - Wide{square.high, square.low};
    const int top = TopBit(v);
    const int shift = top % 2 == 0 ? 126 - top : 127 - top;  // even scale: an exact root
    return {SquareRoot(ShiftLeft(v, shift)), 106 + shift};
  }
  const int shift = 2 * a.exponent + 128;
  const Wide a2 = shift >= 0 ? ShiftLeft(Wide{square.high, square.low}, shift)
                             : ShiftRight(Wide{square.high, square.low}, -shift);
  const Wide v = a2.high == 0 && a2.low == 0 ? Wide{~std::uint64_t{0}, ~std::uint64_t{0}}
                                             : Wide{} - a2;  // 1 - a^2 in units 2^-128
  return {SquareRoot(v), 128};
}

constexpr double kRootRelativeError = 0x1p-100;

// a/s or s/a, whichever is at most 1, as n and d with d's top bit at 127, and atan of it.
Estimate AtanOfRoot(Parts a, const Root& s, bool a_over_s) {
  if (a_over_s) {
    const int shift = a.exponent + 64 + s.scale / 2;  // a in the root's units
    return AtanOfQuotient(ShiftLeft(Wide{0, a.mantissa}, shift), s.value, kRootRelativeError);
  }
  const int shift = 11 - s.scale / 2 - a.exponent;  // the root in a's units 2^(exponent - 75)
  const Wide n = shift >= 0 ? ShiftLeft(s.value, shift) : ShiftRight(s.value, -shift);
  const double cut = BitCast<double>(static_cast<std::uint64_t>(1023 - TopBit(n)) << 52);  // 2^-top
  return AtanOfQuotient(n, ShiftLeft(Wide{0, a.mantissa}, 75), kRootRelativeError + cut);
}

Estimate Combine(Wide base, const Estimate& e, bool subtract) {
  return Estimate{AddOrSubtract(base, e.value, subtract), -126, e.error + 1, false};
}

}  // namespace

std::optional<Estimate> ATanEstimate(double x) {
  const double a = std::fabs(x);
  const Parts p = Split(a);
  Estimate e;
  if (a <= 1) {
    e = AtanOfQuotient(ShiftLeft(Wide{0, p.mantissa}, p.exponent + 127),
                       Wide{std::uint64_t{1} << 63, 0}, 0);
  } else {  // pi/2 - atan(1/x)
    e = Combine(kHalfPi,
                AtanOfQuotient(ShiftLeft(Wide{0, 1}, 75 - p.exponent),
                               ShiftLeft(Wide{0, p.mantissa}, 75), 0),
                true);
  }
  e.scale = -126;
  e.negative = x < 0;
  return e;
}

std::optional<Estimate> ASinEstimate(double x) {
  const double a = std::fabs(x);
  const Parts p = Split(a);
  const Root s = RootOfOneLessSquare(p);
  Estimate e = a <= kBelowRootHalf ? AtanOfRoot(p, s, true)
                                   : Combine(kHalfPi, AtanOfRoot(p, s, false), true);
  e.scale = -126;
  e.negative = x < 0;
  return e;
}

// acos x = pi/2 - asin x; from 1/sqrt(2) on atan(s/a), or pi less it for negative x.
std::optional<Estimate> ACosEstimate(double x) {
  const double a = std::fabs(x);
  const Parts p = Split(a);
  const Root s = RootOfOneLessSquare(p);
  Estimate e;
  if (a <= kBelowRootHalf) {
    e = Combine(kHalfPi, AtanOfRoot(p, s, true), x > 0);
  } else if (x > 0) {
    e = AtanOfRoot(p, s, false);
  } else {
    e = Combine(kPi, AtanOfRoot(p, s, false), true);
  }
  e.scale = -126;
  return e;
}

}  // namespace ombrix::exact::fast
