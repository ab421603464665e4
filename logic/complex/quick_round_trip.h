// The round trip of a result's part in the common case, TextToReal(RealToText(x)) bit for
// bit, inline: the loops that read every result back call it without a call. Only where
// the build has 128-bit integers; RoundTripReal (num_text.h) answers for every value.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "logic/complex/wide_multiply.h"

#if defined(__SIZEOF_INT128__) && !defined(OMBRIX_PORTABLE_ROUND_TRIP)
#define OMBRIX_WIDE_ROUND_TRIP 1
#endif

namespace ombrix::round_trip {

// 10^0 .. 10^22, exact as doubles.
inline constexpr std::array<double, 23> kExactPowers = [] {
  std::array<double, 23> p{};
  p[0] = 1.0;
  for (std::size_t i = 1; i < p.size(); ++i) p[i] = p[i - 1] * 10.0;
  return p;
}();

#ifdef OMBRIX_WIDE_ROUND_TRIP
// 5^0 .. 5^27, all below 2^64.
inline constexpr std::array<std::uint64_t, 28> kPowersOf5 = [] {
  std::array<std::uint64_t, 28> p{};
  p[0] = 1;
  for (std::size_t i = 1; i < p.size(); ++i) p[i] = p[i - 1] * 5;
  return p;
}();

// The decimal exponent E (10^(E-1) <= x < 10^E) of a double x = m * 2^b, 2^52 <= m < 2^53,
// or one less: floor(log10(2^(b + 52))) + 1, in integers.
constexpr int DecimalExponentBelow(int b) { return (((b + 52) * 315653) >> 20) + 1; }

// Whether m * 2^b >= 10^e, exactly, for m < 2^53, -100 <= b <= 0 and -14 <= e <= 17: both
// sides then fit in 128 bits, but for 10^e * 2^-b with e > 0 and -b > 70, where 10^e
// exceeds m * 2^b anyway.
constexpr bool ReachesPowerOfTen(std::uint64_t m, int b, int e) {
  using Wide = unsigned __int128;
  if (e > 0 && -b > 70) return false;
  Wide left = m;
  Wide right = 1;
  for (int i = 0; i < (e < 0 ? -e : e); ++i) (e < 0 ? left : right) *= 10;
  right <<= -b;
  return left >= right;
}

// Where each binary exponent's doubles pass into the next decade: the doubles m * 2^b,
// 2^52 <= m < 2^53, span less than one decade, from 10^(E0 - 1) up, so each has E0 or
// E0 + 1, the latter from the smallest m that reaches 10^E0 (2^53, which no m reaches,
// where none does). For b from -100 to -1, beyond both ends of the range below.
struct DecadeStep {
  std::uint64_t next_decade_from;
  int k;  // 15 - E0: the scale of the doubles below next_decade_from
};
inline constexpr int kFirstStepBiased = 1075 - 100;
inline constexpr std::array<DecadeStep, 100> kDecadeSteps = [] {
  std::array<DecadeStep, 100> steps{};
  constexpr std::uint64_t kLow = std::uint64_t{1} << 52;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const int b = kFirstStepBiased + static_cast<int>(i) - 1075;
    const int e0 = DecimalExponentBelow(b);
    // The first m that reaches 10^E0, by bisection: lo never reaches it, hi always does.
    std::uint64_t lo = kLow - 1;
    std::uint64_t hi = 2 * kLow;
    while (hi - lo > 1) {
      const std::uint64_t mid = lo + (hi - lo) / 2;
      (ReachesPowerOfTen(mid, b, e0) ? hi : lo) = mid;
    }
    steps[i] = {hi, 15 - e0};
  }
  return steps;
}();
// E0 is right or one less for every exponent of the table: the smallest double of each
// reaches 10^(E0 - 1) and the largest stays below 10^(E0 + 1).
static_assert([] {
  for (std::size_t i = 0; i < kDecadeSteps.size(); ++i) {
    const int b = kFirstStepBiased + static_cast<int>(i) - 1075;
    const int e0 = 15 - kDecadeSteps[i].k;
    if (!ReachesPowerOfTen(std::uint64_t{1} << 52, b, e0 - 1)) return false;
    if (ReachesPowerOfTen((std::uint64_t{1} << 53) - 1, b, e0 + 1)) return false;
    if (kDecadeSteps[i].next_decade_from <= (std::uint64_t{1} << 52)) return false;
  }
  return true;
}());

// The fraction's leading 64 bits at or above this are 0.4995 or more (never equal: a
// fraction of at most 64 bits is no 0.4995, and none lies between it and this).
inline constexpr auto kHalfStep =
    static_cast<std::uint64_t>((static_cast<unsigned __int128>(999) << 60) / 125 + 1);

// The round trip of a positive magnitude from about 1E-11 to below 1E15, or false
// elsewhere (0, subnormals, infinities and NaN among them). With magnitude = m * 2^b and
// 10^(E-1) <= magnitude < 10^E (E from kDecadeSteps, exact), V = magnitude * 10^k,
// k = 15 - E, lies in [10^14, 10^15), and the text keeps the 15 digits of
// N = floor(V + 0.5005): 18 digits rounded half to even, then the 16th rounding the 15th,
// where a tie of the 18 digits always goes up, as every step of the cut (a multiple of
// 1000, less 500) is even. V = m * 5^k * 2^(b + k) is one 64 x 64 -> 128 bit product with
// its binary point at most 64 bits from its end (and at least 1: V >= m >= 2^52 where
// b + k >= 0); the point splits it into floor(V) and the fraction, whose 64 leading bits
// alone decide against 0.4995. N <= 10^15 and 10^k are exact doubles, so N / 10^k is one
// correctly rounded division: the value the text reads back as.
[[gnu::always_inline]] inline bool ProductRoundTrip(double magnitude, double& out) {
  std::uint64_t bits;
  std::memcpy(&bits, &magnitude, sizeof bits);
  const auto biased = static_cast<int>(bits >> 52);
  // Unsigned: the exponents below the table wrap past its end.
  const auto slot = static_cast<std::size_t>(biased - kFirstStepBiased);
  if (slot >= kDecadeSteps.size()) return false;
  const std::uint64_t m = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  const DecadeStep& step = kDecadeSteps[slot];
  const int k = step.k - (m >= step.next_decade_from ? 1 : 0);
  const int point = 1075 - biased - k;  // bits after the binary point
  if (k < 0 || k >= static_cast<int>(kExactPowers.size()) || point > 64) return false;
  // v = m 5^k and its low bits from the point: without shifts of 128 bits, which
  // 32-bit machines do in a library routine.
  const WideProduct v = MultiplyWide(m, kPowersOf5[static_cast<std::size_t>(k)]);
  // point is 1 to 64: the low part's shift is split so that neither shift reaches 64.
  const std::uint64_t whole = (v.high << (64 - point)) | ((v.low >> 1) >> (point - 1));
  const std::uint64_t fraction = v.low << (64 - point);
  const auto n = static_cast<std::int64_t>(whole + (fraction >= kHalfStep ? 1 : 0));
  out = static_cast<double>(n) / kExactPowers[static_cast<std::size_t>(k)];
  return true;
}
#endif  // OMBRIX_WIDE_ROUND_TRIP

}  // namespace ombrix::round_trip

namespace ombrix {

// RoundTripReal's answer where it is quick to find: for the magnitudes from about 1E-11
// to below 1E15, whole numbers among them; false for the others, which RoundTripReal
// answers (and where the build lacks 128-bit integers).
[[gnu::always_inline]] inline bool QuickRoundTripReal([[maybe_unused]] double x,
                                                      [[maybe_unused]] double& out) {
#ifdef OMBRIX_WIDE_ROUND_TRIP
  if (round_trip::ProductRoundTrip(std::fabs(x), out)) {
    out = std::copysign(out, x);
    return true;
  }
#endif
  return false;
}

}  // namespace ombrix
