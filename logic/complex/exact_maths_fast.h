// The fast path of the maths functions: each function's value in 128-bit fixed point with a
// bound on its error, from short series, tables made once by the integer path, and the
// steps of exact_maths_wide.h. Where the bound leaves the rounding open (rarely: about one
// argument in 2^30), the caller takes the integer path. Each estimate holds for the
// arguments its comment names; the special cases outside are the integer path's.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "logic/complex/exact_maths_constants.h"
#include "logic/complex/exact_maths_fixed.h"
#include "logic/complex/exact_maths_wide.h"

namespace ombrix::exact::fast {

// Finite x with 2^-27 <= |x|.
std::optional<Estimate> SinEstimate(double x);
std::optional<Estimate> CosEstimate(double x);
std::optional<Estimate> TanEstimate(double x);
// 2^-27 <= |x| < 1.
std::optional<Estimate> ASinEstimate(double x);
// 2^-55 <= |x| < 1.
std::optional<Estimate> ACosEstimate(double x);
// 2^-27 <= |x| < 2^62.
std::optional<Estimate> ATanEstimate(double x);
// -745.2 <= x <= 709.79 and 2^-54 <= |x|.
std::optional<Estimate> ExpEstimate(double x);
// Finite x > 0 but 1; the decimal logarithm where `decimal`.
std::optional<Estimate> LogEstimate(double x, bool decimal);

// round(num 2^128 / den) and round(num 2^64 / den) for num < den < 2^63, at compile time.
constexpr Wide Ratio(std::uint64_t num, std::uint64_t den) {
  Wide q;
  std::uint64_t rest = num;
  for (int bit = 0; bit < 128; ++bit) {
    rest <<= 1;
    const bool one = rest >= den;
    if (one) rest -= den;
    q = ShiftLeft(q, 1) + Wide{0, one ? 1U : 0U};
  }
  return 2 * rest >= den ? q + Wide{0, 1} : q;
}

constexpr std::uint64_t Ratio64(std::uint64_t num, std::uint64_t den) {
  const Wide q = Ratio(num, den);
  return q.high + (q.low >> 63);
}

// A constant of exact_maths_constants.h in units 2^-(128 - whole_bits), cut off below.
constexpr Wide Scaled(const integer::Constant& c, int whole_bits) {
  const Wide fraction = ShiftRight(Wide{c.fraction[0], c.fraction[1]}, whole_bits);
  const auto whole = static_cast<std::uint64_t>(c.whole);
  return whole_bits == 0 ? fraction
                         : Wide{fraction.high | (whole << (64 - whole_bits)), fraction.low};
}

// The series c[0] + s x (c[1] + s x (c[2] + ...)) with s = -1 where `subtract`, else +1, in
// units 2^-64 for x and c; each partial sum stays positive. Each step's product is cut off
// (one unit) and each coefficient rounded (half a unit); as x < 2^-7, the result lies within
// 1.6 units.
template <std::size_t K>
std::uint64_t Series64(std::uint64_t x, const std::array<std::uint64_t, K>& c, bool subtract) {
  std::uint64_t w = c[K - 1];
  for (std::size_t k = K - 1; k-- > 0;) w = AddOrSubtract(c[k], MulHigh(x, w), subtract);
  return w;
}

// c + s x w with x and c in units 2^-128 and w in 2^-64: one more term of a series in full
// width. One unit below from the product, half a unit from c.
inline Wide SeriesStep(Wide c, Wide x, std::uint64_t w, bool subtract) {
  return AddOrSubtract(c, MulHigh(x, w), subtract);
}

inline Wide SeriesStep(Wide c, Wide x, Wide w, bool subtract) {
  return AddOrSubtract(c, MulHigh(x, w), subtract);
}

// 1 + s x w in units 2^-127 (near 1), x and w in units 2^-128.
inline Wide NearOne(Wide x, Wide w, bool subtract) {
  return AddOrSubtract(Wide{std::uint64_t{1} << 63, 0}, ShiftRight(MulHigh(x, w), 1), subtract);
}

// A value of the integer path's tables (128 fraction bits, below 2) in units 2^-127.
template <class Fixed3>
Wide FromTable(const Fixed3& v) {
  return ShiftRight(Wide{v.limbs[1], v.limbs[0]}, 1) + Wide{v.limbs[2] << 63, 0};
}

// The integer path's tables are within 2^-118 of their values (its base bound).
constexpr std::uint64_t kTableError127 = std::uint64_t{1} << 10;

}  // namespace ombrix::exact::fast
