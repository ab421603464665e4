// Fixed-point numbers of N 64-bit limbs, the exact path of the maths functions: each
// function is computed with 128 fraction bits and a bound on its error; where every value
// within the bound rounds to the same double, that is the result (all but about one
// argument in 2^60), else it is computed again with 256 bits, where no double argument lies
// close enough to a rounding boundary to matter.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "logic/complex/bits.h"
#include "logic/complex/wide_multiply.h"

namespace ombrix::exact::integer {

// A fixed-point number of N 64-bit limbs in two's complement, least significant first:
// the last limb is the integer part, the others hold 64 * (N - 1) bits of fraction.
template <int N>
struct Fixed {
  static constexpr int kFractionBits = 64 * (N - 1);
  std::array<std::uint64_t, N> limbs{};

  bool Negative() const { return (limbs[N - 1] >> 63) != 0; }
};

template <int N>
Fixed<N> Whole(std::int64_t v) {
  Fixed<N> r;
  r.limbs[N - 1] = static_cast<std::uint64_t>(v);
  return r;
}

template <int N>
Fixed<N> operator+(Fixed<N> a, const Fixed<N>& b) {
  std::uint64_t carry = 0;
  for (int i = 0; i < N; ++i) {
    const std::uint64_t sum = a.limbs[i] + b.limbs[i];
    const std::uint64_t next = sum < b.limbs[i] ? 1 : 0;
    a.limbs[i] = sum + carry;
    carry = next | (a.limbs[i] < sum ? 1 : 0);
  }
  return a;
}

template <int N>
Fixed<N> operator-(const Fixed<N>& a) {
  Fixed<N> r;
  std::uint64_t carry = 1;
  for (int i = 0; i < N; ++i) {
    r.limbs[i] = ~a.limbs[i] + carry;
    carry = carry != 0 && r.limbs[i] == 0 ? 1 : 0;
  }
  return r;
}

template <int N>
Fixed<N> operator-(const Fixed<N>& a, const Fixed<N>& b) {
  return a + -b;
}

template <int N>
Fixed<N> Abs(const Fixed<N>& a) {
  return a.Negative() ? -a : a;
}

template <int N>
bool Less(const Fixed<N>& a, const Fixed<N>& b) {
  return (a - b).Negative();
}

// a * b + c + d, which never exceeds 128 bits.
inline WideProduct MultiplyAdd(std::uint64_t a, std::uint64_t b, std::uint64_t c, std::uint64_t d) {
  WideProduct p = MultiplyWide(a, b);
  p.low += c;
  p.high += p.low < c ? 1 : 0;
  p.low += d;
  p.high += p.low < d ? 1 : 0;
  return p;
}

// The product column by column from the one below the fraction's last up; what the
// columns below would carry is left out, so the product is at most two units too small.
template <int N>
Fixed<N> operator*(const Fixed<N>& a, const Fixed<N>& b) {
  const Fixed<N> x = Abs(a);
  const Fixed<N> y = Abs(b);
  Fixed<N> r;
  std::uint64_t c0 = 0, c1 = 0, c2 = 0;  // c0 + c1 2^64 + c2 2^128
  for (int k = N - 2; k <= 2 * N - 2; ++k) {
    for (int i = std::max(0, k - (N - 1)); i <= std::min(k, N - 1); ++i) {
      const WideProduct p = MultiplyWide(x.limbs[static_cast<std::size_t>(i)],
                                         y.limbs[static_cast<std::size_t>(k - i)]);
      c0 += p.low;
      const std::uint64_t carry = c0 < p.low ? 1 : 0;
      c1 += p.high;
      c2 += c1 < p.high ? 1 : 0;
      c1 += carry;
      c2 += c1 < carry ? 1 : 0;
    }
    if (k >= N - 1) r.limbs[static_cast<std::size_t>(k - (N - 1))] = c0;
    c0 = c1;
    c1 = c2;
    c2 = 0;
  }
  return a.Negative() != b.Negative() ? -r : r;
}

template <int N>
Fixed<N> Times(const Fixed<N>& a, std::uint64_t k) {
  Fixed<N> m = Abs(a);
  std::uint64_t carry = 0;
  for (int i = 0; i < N; ++i) {
    const WideProduct t = MultiplyAdd(m.limbs[i], k, carry, 0);
    m.limbs[i] = t.low;
    carry = t.high;
  }
  return a.Negative() ? -m : m;
}

// Divided by d < 2^32, toward zero.
template <int N>
Fixed<N> Over(const Fixed<N>& a, std::uint32_t d) {
  Fixed<N> m = Abs(a);
  std::uint64_t rest = 0;
  for (int i = N - 1; i >= 0; --i) {
    const std::uint64_t high = (rest << 32) | (m.limbs[i] >> 32);
    rest = high % d;
    const std::uint64_t low = (rest << 32) | (m.limbs[i] & 0xFFFFFFFFu);
    rest = low % d;
    m.limbs[i] = ((high / d) << 32) | (low / d);
  }
  return a.Negative() ? -m : m;
}

// A double below 2^62 in magnitude; bits below the fraction are cut off.
template <int N>
Fixed<N> FromDouble(double x) {
  const auto bits = BitCast<std::uint64_t>(x);
  const auto biased = static_cast<int>((bits >> 52) & 0x7FF);
  std::uint64_t m = bits & ((std::uint64_t{1} << 52) - 1);
  int e = -1074;
  if (biased != 0) {
    m |= std::uint64_t{1} << 52;
    e = biased - 1075;
  }
  Fixed<N> r;
  const int shift = e + Fixed<N>::kFractionBits;  // x = m * 2^shift units
  if (shift >= 0) {
    const int limb = shift / 64;
    const int bit = shift % 64;
    r.limbs[limb] = m << bit;
    if (bit != 0 && limb + 1 < N) r.limbs[limb + 1] = m >> (64 - bit);
  } else if (shift > -64) {
    r.limbs[0] = m >> -shift;
  }
  return (bits >> 63) != 0 ? -r : r;
}

// Near the value: the start of Newton's iterations and the size of error bounds.
template <int N>
double Approx(const Fixed<N>& a) {
  const Fixed<N> m = Abs(a);
  double v = static_cast<double>(m.limbs[N - 1]) + static_cast<double>(m.limbs[N - 2]) * 0x1p-64;
  if constexpr (N > 2) v += static_cast<double>(m.limbs[N - 3]) * 0x1p-128;
  return a.Negative() ? -v : v;
}

// A constant to 384 fraction bits, most significant limb first (written by mpmath).
struct Constant {
  std::int64_t whole;
  std::array<std::uint64_t, 6> fraction;
};

template <int N>
Fixed<N> Make(const Constant& c) {
  Fixed<N> r;
  r.limbs[N - 1] = static_cast<std::uint64_t>(c.whole);
  for (int k = 0; k < N - 1; ++k) r.limbs[N - 2 - k] = c.fraction[static_cast<std::size_t>(k)];
  return r;
}

// `count` bits (at most 64) of a magnitude from bit `from` up; bits below 0 are 0.
template <int N>
std::uint64_t BitsFrom(const Fixed<N>& m, int from, int count) {
  std::uint64_t v = 0;
  if (from >= 0) {
    const auto limb = static_cast<std::size_t>(from / 64);
    const int shift = from % 64;
    v = m.limbs[limb] >> shift;
    if (shift != 0 && limb + 1 < N) v |= m.limbs[limb + 1] << (64 - shift);
  } else if (from > -64) {
    v = m.limbs[0] << -from;
  }
  return count < 64 ? v & ((std::uint64_t{1} << count) - 1) : v;
}

template <int N>
bool AnyBitBelow(const Fixed<N>& m, int end) {
  for (int i = 0; i < N && 64 * i < end; ++i) {
    const std::uint64_t mask =
        end - 64 * i >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << (end - 64 * i)) - 1;
    if ((m.limbs[static_cast<std::size_t>(i)] & mask) != 0) return true;
  }
  return false;
}

// The nearest double to the magnitude m * 2^scale, ties to even, subnormal below the
// normal range, infinite above.
template <int N>
double RoundMagnitude(const Fixed<N>& m, int scale) {
  int top = -1;
  for (int i = N - 1; i >= 0 && top < 0; --i) {
    if (m.limbs[static_cast<std::size_t>(i)] != 0) {
      top = 64 * i + 63 - std::countl_zero(m.limbs[static_cast<std::size_t>(i)]);
    }
  }
  if (top < 0) return 0.0;
  int exponent = top + scale - Fixed<N>::kFractionBits;  // m * 2^scale is in [2^exponent, ..)
  if (exponent > 1023) return std::numeric_limits<double>::infinity();
  // The lowest bit kept: 53 bits, fewer below the normal range.
  const int cut = exponent >= -1022 ? top - 52 : Fixed<N>::kFractionBits - 1074 - scale;
  std::uint64_t mantissa = 0;
  bool round = false;
  bool sticky = false;
  if (cut <= top) mantissa = BitsFrom(m, cut, top - cut + 1);
  if (cut - 1 <= top) round = BitsFrom(m, cut - 1, 1) != 0;
  sticky = AnyBitBelow(m, std::min(cut - 1, top + 1));
  if (round && (sticky || (mantissa & 1) != 0)) ++mantissa;
  if (exponent < -1022) return BitCast<double>(mantissa);  // a carry gives the least normal
  if (mantissa == std::uint64_t{1} << 53) {
    mantissa >>= 1;
    if (++exponent > 1023) return std::numeric_limits<double>::infinity();
  }
  const std::uint64_t biased = static_cast<std::uint64_t>(exponent) + 1023;  // exponent >= -1022
  return BitCast<double>((biased << 52) | (mantissa & ((std::uint64_t{1} << 52) - 1)));
}

// The nearest double to v * 2^scale when every value within `bound` of v rounds alike;
// otherwise none, unless `final`, where v's own rounding is taken.
template <int N>
std::optional<double> Rounded(const Fixed<N>& v, double bound, int scale, bool final) {
  const double least = std::ldexp(1.0, -Fixed<N>::kFractionBits);
  const Fixed<N> error = FromDouble<N>(std::clamp(bound, least, 0x1p60));
  const Fixed<N> low = v - error;
  const Fixed<N> high = v + error;
  if (bound < 0x1p60 && low.Negative() == high.Negative()) {
    const double a = RoundMagnitude(Abs(low), scale);
    const double b = RoundMagnitude(Abs(high), scale);
    if (BitCast<std::uint64_t>(a) == BitCast<std::uint64_t>(b)) return v.Negative() ? -a : a;
  }
  if (!final) return std::nullopt;
  const double own = RoundMagnitude(Abs(v), scale);
  return v.Negative() ? -own : own;
}

template <int N>
double BaseBound() {
  return std::ldexp(1.0, 10 - Fixed<N>::kFractionBits);
}

}  // namespace ombrix::exact::integer
