// The fast path of sin, cos and tan: |x| = k pi/2 + r with |r| <= pi/4, then sin, cos, tan
// or cot of |r| by a short series near 0, elsewhere from the nearest sixty-fourth's sine and
// cosine turned by the rest. The error figures in the comments are absolute unless they
// say relative.
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

constexpr Wide kHalfPi = Scaled(integer::kHalfPi, 1);  // units 2^-127
constexpr Wide kHalf{std::uint64_t{1} << 63, 0};       // units 2^-128
constexpr Wide kThird = Ratio(1, 3);
constexpr Wide kSixth = Ratio(1, 6);

// The series of sin t / t, cos t and tan t / t in u = t^2 < 2^-14, after their first two
// terms, to u^5 (u^6 for tan): the rests lie below 2^-95.
constexpr std::array<std::uint64_t, 4> kSinSeries = {Ratio64(1, 120), Ratio64(1, 5040),
                                                     Ratio64(1, 362880), Ratio64(1, 39916800)};
constexpr std::array<std::uint64_t, 4> kCosSeries = {Ratio64(1, 24), Ratio64(1, 720),
                                                     Ratio64(1, 40320), Ratio64(1, 3628800)};
constexpr std::array<std::uint64_t, 5> kTanSeries = {Ratio64(2, 15), Ratio64(17, 315),
                                                     Ratio64(62, 2835), Ratio64(1382, 155925),
                                                     Ratio64(21844, 6081075)};

// Each in units 2^-127, near 1: the 64-bit part within 1.7 units (2^-64), times u^2 < 2^-28
// that is 2^-91.3; the full-width steps add a few units (2^-127): within 2^-91.2.
Wide SinSeries(Wide u) {
  return NearOne(u, SeriesStep(kSixth, u, Series64(u.high, kSinSeries, true), true), true);
}

Wide CosSeries(Wide u) {
  return NearOne(u, SeriesStep(kHalf, u, Series64(u.high, kCosSeries, true), true), true);
}

Wide TanSeries(Wide u) {
  return NearOne(u, SeriesStep(kThird, u, Series64(u.high, kTanSeries, false), false), false);
}

// sin and cos of j/64 for j = 0 .. 50 in units 2^-128 (cos 0 is not used).
struct SinCosTable {
  std::array<Wide, 51> sin;
  std::array<Wide, 51> cos;
};

const SinCosTable& Table() {
  static const SinCosTable table = [] {
    SinCosTable t{};
    const auto& exact = integer::SixtyFourths<3>();
    for (std::size_t j = 0; j < t.sin.size(); ++j) {
      t.sin[j] = Wide{exact.sin[j].limbs[1], exact.sin[j].limbs[0]};
      t.cos[j] = Wide{exact.cos[j].limbs[1], exact.cos[j].limbs[0]};
    }
    return t;
  }();
  return table;
}

// |r| = magnitude 2^-(128 + shift) with the magnitude's top bit set, within `error` units of
// it; r's sign and k mod 4.
struct Reduced {
  Wide magnitude;
  int shift = 0;
  std::uint64_t error = 0;
  bool negative = false;
  unsigned quadrant = 0;
};

// |x| 2/pi = k + f, |f| <= 1/2, from 256 bits of 2/pi: those that reach the last two bits of
// k and the rest below (Payne and Hanek). The bits of 2/pi left out below add less than
// 2^53 units of the product's lowest bit; r = f pi/2 keeps 128 bits from f's first.
std::optional<Reduced> ReduceLarge(Parts p) {
  const int first = p.exponent >= 66 ? (p.exponent - 2) / 64 : 0;  // limbs before: 4 k
  std::array<std::uint64_t, 7> product{};  // from bit -64, one limb of room at either end
  for (std::size_t i = 1; i < 5; ++i) {
    const std::size_t limb = static_cast<std::size_t>(first) + 4 - i;
    const WideProduct t = MultiplyWide(p.mantissa, integer::kTwoOverPi[limb]);
    product[i] += t.low;
    product[i + 1] = t.high + (product[i] < t.low ? 1 : 0);
  }
  // The bit of weight 1 is bit 64 (first + 4) - exponent = from + 128 of the product (191 ..
  // 309); the array's words from its bit `from` (64 above the product's): the fraction's 192
  // bits below that point, then k's.
  const int from = 64 * (first + 4) - p.exponent - 128;
  const auto limb = static_cast<std::size_t>(from / 64);
  const int bit = from % 64;
  const auto word = [&](std::size_t k) {
    return bit == 0 ? product[limb + k]
                    : (product[limb + k] >> bit) | (product[limb + k + 1] << (64 - bit));
  };
  Reduced r;
  r.quadrant = static_cast<unsigned>(word(3) & 3);
  std::uint64_t low = word(0);
  Wide high{word(2), word(1)};
  r.negative = Negative(high);  // f >= 1/2: the next k and f - 1
  if (r.negative) {
    low = 0 - low;
    high = Wide{~high.high, ~high.low} + Wide{0, low == 0 ? 1U : 0U};
    ++r.quadrant;
  }
  if (high.high == 0 && high.low == 0) return std::nullopt;
  const int zeros = 127 - TopBit(high);
  if (zeros > 60) return std::nullopt;  // x within 2^-60 of a multiple: the integer path
  const int top = from + 127 - zeros;   // f's first bit in the product
  const Wide f = zeros == 0 ? high : ShiftLeft(high, zeros) + Wide{0, low >> (64 - zeros)};
  // r = f pi/2: within 2^(180 - top) and 1 unit of f, 4 more from the product.
  r.magnitude = MulHigh(f, kHalfPi);
  r.shift = from + 126 - top;  // the point less top, less 2
  r.error = (top >= 180 ? 1 : std::uint64_t{1} << (180 - top)) + 5;
  if (TopBit(r.magnitude) == 126) {
    r.magnitude = ShiftLeft(r.magnitude, 1);
    r.shift += 1;
    r.error *= 2;
  }
  return r;
}

std::optional<Reduced> Reduce(double a) {
  const Parts p = Split(a);
  if (a < 0.785) return Reduced{ShiftLeft(Wide{0, p.mantissa}, 75), -53 - p.exponent, 0, false, 0};
  return ReduceLarge(p);
}

enum class Part { kSin, kCos, kTan, kCot };

// sin, cos, tan or cot of |r| < 2^-7. Near 0 every series is relative: sin, tan and cot keep
// r's error and add 2^-91.2 relative and 4 units (taken: 2^-88 and 8); cos is within 2^-91.2
// and a unit for r's error (taken: 2^38 units of 2^-127).
Estimate NearZero(const Reduced& r, Part part) {
  const Wide u =
      2 * r.shift < 128 ? ShiftRight(MulHigh(r.magnitude, r.magnitude), 2 * r.shift) : Wide{};
  if (part == Part::kCos) return Estimate{CosSeries(u), -127, std::uint64_t{1} << 38, false};
  const Wide sin_or_tan = MulHigh(r.magnitude, part == Part::kSin ? SinSeries(u) : TanSeries(u));
  if (part != Part::kCot) {
    return Estimate{sin_or_tan, -127 - r.shift, ShiftRight(sin_or_tan, 88).low + r.error + 8,
                    false};
  }
  const int normal = 127 - TopBit(sin_or_tan);
  const Wide q = Divide(Wide{std::uint64_t{1} << 62, 0}, ShiftLeft(sin_or_tan, normal));
  return Estimate{q, r.shift + normal - 127,
                  DivideError(q) + ShiftRight(q, 88).low + 2 * r.error + 8, false};
}

// The bound of a quotient n / d (in units q) from those of n and d, by doubles with room.
std::uint64_t QuotientError(Wide q, Wide n, std::uint64_t n_error, Wide d, std::uint64_t d_error) {
  const double relative = (static_cast<double>(n_error) + 1) / ToDouble(n) +
                          (static_cast<double>(d_error) + 1) / ToDouble(d);
  const double bound = ToDouble(q) * relative * 1.01 + 1;
  return DivideError(q) +
         (bound < 0x1p62 ? static_cast<std::uint64_t>(bound) : std::uint64_t{1} << 62);
}

// sin, cos, tan or cot of 2^-7 <= |r| <= pi/4: c = j/64 nearest |r| and t = |r| - c, |t| <=
// 2^-7; sin(c + t) = sin c cos t + cos c sin t, cos(c + t) = cos c cos t - sin c sin t. In
// units 2^-127 each: the series within 2^-91.2, times the tables' values (within 2^-118)
// and four products: 2^35.9 and t's error; 2^38 is taken.
std::optional<Estimate> AwayFromZero(const Reduced& r, Part part) {
  const Wide rf = ShiftRight(r.magnitude, r.shift);  // |r| in units 2^-128
  const std::uint64_t t_error = (r.error >> r.shift) + 2;
  const std::uint64_t j = (rf.high + (std::uint64_t{1} << 57)) >> 58;
  const Wide t = rf - Wide{j << 58, 0};
  const bool t_negative = Negative(t);
  const Wide tau = Magnitude(t);
  const Wide u = MulHigh(tau, tau);
  const Wide cos_t = CosSeries(u);
  const Wide sin_t = MulHigh(tau, SinSeries(u));
  const Wide& s = Table().sin[static_cast<std::size_t>(j)];
  const Wide& c = Table().cos[static_cast<std::size_t>(j)];
  const std::uint64_t error = (std::uint64_t{1} << 38) + t_error;
  const Wide sin_r = AddOrSubtract(MulHigh(s, cos_t), MulHigh(c, sin_t), t_negative);
  if (part == Part::kSin) return Estimate{sin_r, -127, error, false};
  const Wide cos_r = AddOrSubtract(MulHigh(c, cos_t), MulHigh(s, sin_t), !t_negative);
  if (part == Part::kCos) return Estimate{cos_r, -127, error, false};
  if (part == Part::kTan) {
    if (!(sin_r < cos_r)) return std::nullopt;  // |r| near pi/4: left to the integer path
    const Wide q = Divide(sin_r, cos_r);
    return Estimate{q, -128, QuotientError(q, sin_r, error, cos_r, error), false};
  }
  const int normal = 127 - TopBit(sin_r);
  const Wide q = Divide(ShiftRight(cos_r, 1), ShiftLeft(sin_r, normal));
  return Estimate{q, normal - 127, QuotientError(q, cos_r, error + 2, sin_r, error), false};
}

enum class Function { kSin, kCos, kTan };

// f(x) from f or its partner at |r|: sin x = +-sin r or +-cos r by k, and so on.
std::optional<Estimate> Trig(double x, Function f) {
  const std::optional<Reduced> r = Reduce(std::fabs(x));
  if (!r) return std::nullopt;
  const unsigned k = r->quadrant & 3;
  const bool odd = (k & 1) != 0;
  Part part = Part::kSin;
  bool negative = false;
  switch (f) {
    case Function::kSin:  // sin r, cos r, -sin r, -cos r
      part = odd ? Part::kCos : Part::kSin;
      negative = ((x < 0) != (k >= 2)) != (!odd && r->negative);
      break;
    case Function::kCos:  // cos r, -sin r, -cos r, sin r
      part = odd ? Part::kSin : Part::kCos;
      negative = (k == 1 || k == 2) != (odd && r->negative);
      break;
    case Function::kTan:  // tan r, -cot r
      part = odd ? Part::kCot : Part::kTan;
      negative = ((x < 0) != odd) != r->negative;
      break;
  }
  std::optional<Estimate> e = r->shift >= 7 ? NearZero(*r, part) : AwayFromZero(*r, part);
  if (e) e->negative = negative;
  return e;
}

}  // namespace

std::optional<Estimate> SinEstimate(double x) { return Trig(x, Function::kSin); }
std::optional<Estimate> CosEstimate(double x) { return Trig(x, Function::kCos); }
std::optional<Estimate> TanEstimate(double x) { return Trig(x, Function::kTan); }

}  // namespace ombrix::exact::fast
