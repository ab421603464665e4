// Unsigned 128-bit integers for the fast path of the maths functions: fixed-point values
// whose scale each caller states, products that keep the upper half, a quotient and a root
// seeded by the double operations and corrected in integers, and the rounding of a value
// known within a bound. Only integer operations and correctly rounded double operations take
// part, and every step's error is bounded, so a result that passes the rounding test is the
// correctly rounded one whatever the processor, fused multiply-add or not.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "logic/complex/bits.h"
#include "logic/complex/wide_multiply.h"

namespace ombrix::exact::fast {

static_assert(std::numeric_limits<double>::is_iec559 && std::numeric_limits<double>::digits == 53,
              "the bounds rest on IEEE doubles");

struct Wide {
  std::uint64_t high = 0;
  std::uint64_t low = 0;
};

#if defined(__SIZEOF_INT128__) && UINTPTR_MAX > 0xFFFFFFFFu
// On 64-bit processors the compiler's 128-bit integers, whose sums and shifts it knows best;
// elsewhere (WebAssembly's 32-bit machine) the halves by hand. Both give the same bits.
__extension__ using Native = unsigned __int128;

constexpr Native ToNative(Wide a) { return (static_cast<Native>(a.high) << 64) | a.low; }

constexpr Wide FromNative(Native v) {
  return {static_cast<std::uint64_t>(v >> 64), static_cast<std::uint64_t>(v)};
}

constexpr Wide operator+(Wide a, Wide b) { return FromNative(ToNative(a) + ToNative(b)); }
constexpr Wide operator-(Wide a, Wide b) { return FromNative(ToNative(a) - ToNative(b)); }

// Shifts by 0 .. 127 bits (and 128 or more to 0).
constexpr Wide ShiftRight(Wide a, int n) {
  return n >= 128 ? Wide{} : FromNative(ToNative(a) >> n);
}
constexpr Wide ShiftLeft(Wide a, int n) { return n >= 128 ? Wide{} : FromNative(ToNative(a) << n); }
#else
constexpr Wide operator+(Wide a, Wide b) {
  const std::uint64_t low = a.low + b.low;
  return {a.high + b.high + (low < a.low ? 1 : 0), low};
}

constexpr Wide operator-(Wide a, Wide b) {
  return {a.high - b.high - (a.low < b.low ? 1 : 0), a.low - b.low};
}

constexpr Wide ShiftRight(Wide a, int n) {
  if (n >= 128) return {};
  if (n >= 64) return {0, a.high >> (n - 64)};
  if (n == 0) return a;
  return {a.high >> n, (a.low >> n) | (a.high << (64 - n))};
}

constexpr Wide ShiftLeft(Wide a, int n) {
  if (n >= 128) return {};
  if (n >= 64) return {a.low << (n - 64), 0};
  if (n == 0) return a;
  return {(a.high << n) | (a.low >> (64 - n)), a.low << n};
}
#endif

constexpr bool operator<(Wide a, Wide b) {
  return a.high != b.high ? a.high < b.high : a.low < b.low;
}

// Two's complement, for the few values that carry a sign.
constexpr bool Negative(Wide a) { return (a.high >> 63) != 0; }
constexpr Wide Negate(Wide a) { return Wide{} - a; }
constexpr Wide Magnitude(Wide a) { return Negative(a) ? Negate(a) : a; }

// c + p, or c - p; either without a branch on the sign.
constexpr Wide AddOrSubtract(Wide c, Wide p, bool subtract) {
  const std::uint64_t mask = subtract ? ~std::uint64_t{0} : 0;
  return c + (Wide{p.high ^ mask, p.low ^ mask} + Wide{0, mask & 1});
}

constexpr std::uint64_t AddOrSubtract(std::uint64_t c, std::uint64_t p, bool subtract) {
  return subtract ? c - p : c + p;
}

// The index of the highest set bit; a is not 0.
constexpr int TopBit(Wide a) {
  return a.high != 0 ? 127 - std::countl_zero(a.high) : 63 - std::countl_zero(a.low);
}

// a b / 2^128 rounded down, less up to 2 more: the product of the low halves and the
// carries below are left out.
inline Wide MulHigh(Wide a, Wide b) {
  const WideProduct top = MultiplyWide(a.high, b.high);
  const std::uint64_t cross1 = MultiplyWide(a.high, b.low).high;
  const std::uint64_t cross2 = MultiplyWide(a.low, b.high).high;
  return Wide{top.high, top.low} + Wide{0, cross1} + Wide{0, cross2};
}

// a b / 2^64 rounded down, less up to 1 more.
inline Wide MulHigh(Wide a, std::uint64_t b) {
  const WideProduct top = MultiplyWide(a.high, b);
  return Wide{top.high, top.low} + Wide{0, MultiplyWide(a.low, b).high};
}

inline std::uint64_t MulHigh(std::uint64_t a, std::uint64_t b) { return MultiplyWide(a, b).high; }

// a k for a k below 2^128.
inline Wide Times(Wide a, std::uint64_t k) {
  const WideProduct low = MultiplyWide(a.low, k);
  return Wide{low.high + a.high * k, low.low};
}

// A double as m 2^e with m an integer below 2^53 (the top bit set unless subnormal).
struct Parts {
  std::uint64_t mantissa;
  int exponent;
};

inline Parts Split(double x) {
  const auto bits = BitCast<std::uint64_t>(x);
  const auto biased = static_cast<int>((bits >> 52) & 0x7FF);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased == 0) return {fraction, -1074};
  return {fraction | (std::uint64_t{1} << 52), biased - 1075};
}

// The whole part of a non-negative double below 2^128, exactly.
inline Wide WideFromDouble(double x) {
  const Parts p = Split(x);
  if (p.exponent >= 0) return ShiftLeft(Wide{0, p.mantissa}, p.exponent);
  return p.exponent > -64 ? Wide{0, p.mantissa >> -p.exponent} : Wide{};
}

// Near a: each half rounded, then their sum, so within 2u (u = 2^-53).
inline double ToDouble(Wide a) {
  return static_cast<double>(a.high) * 0x1p64 + static_cast<double>(a.low);
}

inline double SignedToDouble(Wide a) { return Negative(a) ? -ToDouble(Negate(a)) : ToDouble(a); }

// n 2^128 / d for n < d and d >= 2^126: from the doubles' quotient, corrected once by the
// rest it leaves. With u = 2^-53: each conversion to a double is within 2u, each operation
// u, so the first quotient is within 6u and its correction too: the result lies within
// 36u^2 (2^-100.8) of itself and 13 units (3 from the product, 4 the rest's scale, 2 cut).
inline Wide Divide(Wide n, Wide d) {
  const double inverse = 0x1p128 / ToDouble(d);
  const double first = ToDouble(n) * inverse;
  Wide q = first < 0x1p128 ? WideFromDouble(first) : Wide{~std::uint64_t{0}, ~std::uint64_t{0}};
  const double correction = SignedToDouble(n - MulHigh(q, d)) * inverse;  // the rest is small
  const Wide step = WideFromDouble(std::fabs(correction));
  return correction < 0 ? q - step : q + step;
}

// The error bound of a quotient q by Divide, in its units, with room.
inline std::uint64_t DivideError(Wide q) { return ShiftRight(q, 99).low + 32; }

// sqrt(v) 2^64 for 2^126 <= v < 2^128: the double's root, corrected once by Newton's step
// with the exact rest. Within 2^26 units (2^-101 of the root).
inline Wide SquareRoot(Wide v) {
  const double root = std::sqrt(ToDouble(v));
  const std::uint64_t s =
      root < 0x1p64 ? static_cast<std::uint64_t>(root) : ~std::uint64_t{0};  // below 2^64
  const WideProduct square = MultiplyWide(s, s);
  const double rest = SignedToDouble(v - Wide{square.high, square.low});
  const double correction = rest / static_cast<double>(s) * 0x1p63;  // rest / (2 s) 2^64
  const Wide step = WideFromDouble(std::fabs(correction));
  const Wide start{s, 0};
  return correction < 0 ? start - step : start + step;
}

constexpr std::uint64_t kSquareRootError = std::uint64_t{1} << 26;

// A value v 2^scale known within `error` units of v: its magnitude and sign.
struct Estimate {
  Wide value;
  int scale = 0;
  std::uint64_t error = 0;
  bool negative = false;
};

// The nearest double to the estimate (ties to even), subnormal below the normal range and
// infinite above, if every value within its error rounds to that double; else none.
inline std::optional<double> Round(const Estimate& e) {
  if (e.value.high == 0 && e.value.low <= e.error) return std::nullopt;
  const int top = TopBit(e.value);
  const int exponent = top + e.scale;
  if (exponent > 1023) {
    return e.negative ? -std::numeric_limits<double>::infinity()
                      : std::numeric_limits<double>::infinity();
  }
  // The lowest bit kept: 53 bits, fewer below the normal range.
  const int cut = exponent >= -1022 ? top - 52 : -1074 - e.scale;
  if (cut < 2 || cut > 127) return std::nullopt;
  const Wide rest = Wide{e.value.high, e.value.low} - ShiftLeft(ShiftRight(e.value, cut), cut);
  const Wide half = ShiftLeft(Wide{0, 1}, cut - 1);
  const Wide distance = half < rest ? rest - half : half - rest;
  if (distance.high == 0 && distance.low <= e.error) return std::nullopt;
  std::uint64_t mantissa = ShiftRight(e.value, cut).low + (half < rest ? 1 : 0);
  if (exponent >= -1022) {
    // A carry into bit 53 moves the exponent up by one; past the top that is infinity.
    mantissa += static_cast<std::uint64_t>(exponent + 1022) << 52;
  }
  const double magnitude = BitCast<double>(mantissa);
  return e.negative ? -magnitude : magnitude;
}

}  // namespace ombrix::exact::fast
