// The fast path of e^x, ln x and log10 x. The error figures in the comments are absolute
// unless they say relative.
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "logic/complex/exact_maths_fast.h"
#include "logic/complex/exact_maths_series.h"

namespace ombrix::exact::fast {

namespace {

using integer::Fixed;

// ln 2 / 128 and ln 2 in units 2^-116, each with the next 64 bits below.
constexpr Wide kLn2Over128Units = ShiftRight(Scaled(integer::kLn2, 0), 19);
constexpr std::uint64_t kLn2Over128Below =
    (integer::kLn2.fraction[1] << 45) | (integer::kLn2.fraction[2] >> 19);
constexpr Wide kLn2Units = ShiftRight(Scaled(integer::kLn2, 0), 12);
constexpr std::uint64_t kLn2Below =
    (integer::kLn2.fraction[1] << 52) | (integer::kLn2.fraction[2] >> 12);
constexpr Wide kInverseLn10 = Scaled(integer::kInverseLn10, 0);  // units 2^-128
constexpr Wide kOne127{std::uint64_t{1} << 63, 0};
constexpr Wide kHalf{std::uint64_t{1} << 63, 0};  // units 2^-128
constexpr Wide kThird = Ratio(1, 3);
constexpr Wide kQuarter{std::uint64_t{1} << 62, 0};

// 1/3! .. 1/8!: e^t = 1 + t (1 + t (1/2 + t (1/3! + t (1/4! + ...)))).
constexpr std::array<std::uint64_t, 6> kExpSeries = {Ratio64(1, 6),    Ratio64(1, 24),
                                                     Ratio64(1, 120),  Ratio64(1, 720),
                                                     Ratio64(1, 5040), Ratio64(1, 40320)};
// 1/5 .. 1/13: ln(1 + r) / r = 1 - r/2 + r^2/3 - r^3/4 + r^4 (1/5 - r/6 + ...).
constexpr std::array<std::uint64_t, 9> kLogSeries = {
    Ratio64(1, 5),  Ratio64(1, 6),  Ratio64(1, 7),  Ratio64(1, 8), Ratio64(1, 9),
    Ratio64(1, 10), Ratio64(1, 11), Ratio64(1, 12), Ratio64(1, 13)};

// 2^(j/128) for j = -64 .. 63 in units 2^-127, from the integer path once.
const std::array<Wide, 128>& PowersOfTwo() {
  static const std::array<Wide, 128> table = [] {
    std::array<Wide, 128> t{};
    for (std::size_t i = 0; i < t.size(); ++i) {  // j = i - 64
      const std::uint64_t k = i < 64 ? 64 - i : i - 64;
      const Fixed<3> r = integer::Over(integer::Times(integer::Make<3>(integer::kLn2), k), 128);
      t[i] = FromTable(integer::ExpOf(i < 64 ? -r : r));
    }
    return t;
  }();
  return table;
}

// e^x = 2^n 2^(j/128) e^t with k = 128 n + j the multiple of ln 2 / 128 nearest x (as the
// doubles find it; a neighbour would do as well) and t = x - k ln 2 / 128, |t| < 2^-8.52, exact but
// for 1 unit (2^-116) from ln 2 / 128 cut off and the product's lowest carry. The series to t^8:
// the rest is below 2^-95.1; its last six terms in 64 bits are within 1.7 units (2^-64), which t^3
// < 2^-25.56 turns into 2^-88.8; the full-width steps and t's unit add below 2^-114. So e^t is
// within 2^-88.6, 2^(j/128) e^t (the table within 2^-118) within 2^-88.05: 2^38 units of 2^-126.
// The bound taken is 2^40.
constexpr std::uint64_t kExpError = std::uint64_t{1} << 40;

}  // namespace

std::optional<Estimate> ExpEstimate(double x) {
  const double scaled = x * 0x1.71547652b82fep7;  // x 128 / ln 2
  const auto k = static_cast<std::int64_t>(scaled + (scaled < 0 ? -0.5 : 0.5));
  const auto k_magnitude = static_cast<std::uint64_t>(k < 0 ? -k : k);
  const Parts p = Split(std::fabs(x));
  const Wide x116 = ShiftLeft(Wide{0, p.mantissa}, p.exponent + 116);  // |x| < 2^10
  const Wide k_ln2 =
      Times(kLn2Over128Units, k_magnitude) + Wide{0, MulHigh(kLn2Over128Below, k_magnitude)};
  const Wide t = (x < 0 ? Negate(x116) : x116) - (k < 0 ? Negate(k_ln2) : k_ln2);
  const bool negative = Negative(t);
  const Wide tau = ShiftLeft(Magnitude(t), 12);  // |t| in units 2^-128
  const std::uint64_t w = Series64(tau.high, kExpSeries, negative);
  const Wide v = SeriesStep(kHalf, tau, w, negative);                // 1/2 + t w
  const Wide u = NearOne(tau, v, negative);                          // 1 + t v
  const Wide e = AddOrSubtract(kOne127, MulHigh(tau, u), negative);  // 1 + t u
  const std::int64_t n = (k + 64) >> 7;
  const auto j = static_cast<std::size_t>(k - 128 * n + 64);
  return Estimate{MulHigh(e, PowersOfTwo()[j]), static_cast<int>(n) - 126, kExpError, false};
}

namespace {

// For m in [1 + i/128, 1 + (i + 1)/128), halved from i = 53 on (m >= sqrt 2): a short
// inverse c of its centre in units 2^-63 (1 at both ends, where x is near 1), and -ln c in
// units 2^-116, two's complement, within 1.25 units.
struct LogTables {
  std::array<std::uint64_t, 128> inverse;
  std::array<Wide, 128> log;
};

const LogTables& LogTable() {
  static const LogTables tables = [] {
    LogTables t{};
    for (std::size_t i = 0; i < 128; ++i) {
      const double centre = 1 + (static_cast<double>(i) + 0.5) / 128;
      const std::uint64_t c =
          i == 0 || i == 127
              ? std::uint64_t{1} << 63
              : static_cast<std::uint64_t>(std::ldexp(1 / centre, i >= 53 ? 64 : 63));
      Fixed<3> a;
      a.limbs[2] = c >> 63;
      a.limbs[1] = c << 1;
      const Fixed<3> l = -integer::LogNearOne(a);
      t.inverse[i] = c;
      t.log[i] = {(l.limbs[2] << 52) | (l.limbs[1] >> 12), (l.limbs[1] << 52) | (l.limbs[0] >> 12)};
    }
    return t;
  }();
  return tables;
}

// ln(1 + r) / r for |r| < 2^-7 in units 2^-127; rho = |r| in units 2^-128. The series to
// r^12 (the rest below 2^-94.8), its terms from r^4 on in 64 bits (1.7 units there, times
// r^4: 2^-91.3): within 2^-91 (relative, as it is near 1).
Wide LogSeries(Wide rho, bool subtract) {
  const std::uint64_t z = Series64(rho.high, kLogSeries, subtract);
  const Wide y3 = SeriesStep(kQuarter, rho, z, subtract);
  const Wide y2 = SeriesStep(kThird, rho, y3, subtract);
  const Wide y1 = SeriesStep(kHalf, rho, y2, subtract);
  return NearOne(rho, y1, subtract);
}

// ln x = e ln 2 + ln(1/c) + ln(1 + r) with 1 + r = m c, exactly. Near 1 (ln(1/c) and e
// both 0) the value is r (ln(1 + r) / r) with r's every bit, within 2^-91 relative; the
// bound taken is 2^-88 and 8 units. Elsewhere, where |ln x| > 2^-8, the sum in units
// 2^-116: the table within 1.25, e ln 2 within 1.01, |r| times the series within 2^18.7
// and 4 units: 2^21 is taken. The decimal logarithm's factor adds 3 units and 2^-126
// relative.
constexpr std::uint64_t kLogError = std::uint64_t{1} << 21;

}  // namespace

std::optional<Estimate> LogEstimate(double x, bool decimal) {
  Parts p = Split(x);
  if (p.exponent == -1074) {  // subnormal: the top bit to bit 52
    const int s = std::countl_zero(p.mantissa) - 11;
    p.mantissa <<= s;
    p.exponent -= s;
  }
  const auto i = static_cast<std::size_t>((p.mantissa >> 45) & 127);
  const bool halved = i >= 53;
  const int e = p.exponent + 52 + (halved ? 1 : 0);
  const WideProduct product = MultiplyWide(p.mantissa, LogTable().inverse[i]);
  // r = m c - 1 in units 2^-115 (2^-116 when halved), exactly.
  const Wide d = Wide{product.high, product.low} - ShiftLeft(Wide{0, 1}, halved ? 116 : 115);
  const bool r_negative = Negative(d);
  const Wide rho = ShiftLeft(Magnitude(d), halved ? 12 : 13);
  const Wide q = LogSeries(rho, !r_negative);
  if (e == 0 && (i == 0 || i == 127)) {
    const int shift = 127 - TopBit(rho);
    Wide value = MulHigh(ShiftLeft(rho, shift), q);  // |ln x| 2^(127 + shift)
    if (decimal) value = MulHigh(value, kInverseLn10);
    return Estimate{value, -127 - shift, ShiftRight(value, 88).low + 8, r_negative};
  }
  const auto e_magnitude = static_cast<std::uint64_t>(e < 0 ? -e : e);
  const Wide e_ln2 = Times(kLn2Units, e_magnitude) + Wide{0, MulHigh(kLn2Below, e_magnitude)};
  const Wide sum = AddOrSubtract(LogTable().log[i] + (e < 0 ? Negate(e_ln2) : e_ln2),
                                 ShiftRight(MulHigh(rho, q), 11), r_negative);
  Wide value = Magnitude(sum);
  if (decimal) value = MulHigh(value, kInverseLn10);
  return Estimate{value, -116, kLogError, Negative(sum)};
}

}  // namespace ombrix::exact::fast
