// The series, tables and argument reductions of the exact maths functions, for N-limb
// fixed-point numbers; the tables are made once, on first use.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

#include "logic/complex/bits.h"
#include "logic/complex/exact_maths_constants.h"
#include "logic/complex/exact_maths_fixed.h"
#include "logic/complex/wide_multiply.h"

namespace ombrix::exact::integer {

// How many terms each series takes for an error below 2^-(fraction bits + 4) at the
// largest argument it is given: the tables' entries once, then what is left over.
constexpr int SinCosTerms(int n) { return n == 3 ? 17 : 28; }      // |r| <= pi/4, in r^2
constexpr int ExpTerms(int n) { return n == 3 ? 28 : 48; }         // |r| <= ln(2)/2
constexpr int AtanTerms(int n) { return n == 3 ? 14 : 27; }        // |t| <= 1/32, in t^2
constexpr int AtanhTerms(int n) { return n == 3 ? 27 : 53; }       // |s| <= 0.172, in s^2
constexpr int SmallSinCosTerms(int n) { return n == 3 ? 7 : 13; }  // |t| <= 1/128, in t^2
constexpr int SmallExpTerms(int n) { return n == 3 ? 14 : 26; }    // |t| <= 1/128
constexpr int SmallAtanTerms(int n) { return n == 3 ? 9 : 19; }    // |t| <= 1/128, in t^2
constexpr int SmallAtanhTerms(int n) { return n == 3 ? 9 : 18; }   // |s| <= 1/178, in s^2

// 1/n! and 1/(2k + 1), each at most a few units off.
template <int N>
const std::array<Fixed<N>, 61>& InverseFactorials() {
  static const std::array<Fixed<N>, 61> table = [] {
    std::array<Fixed<N>, 61> t{};
    t[0] = Whole<N>(1);
    for (std::uint32_t n = 1; n < t.size(); ++n) t[n] = Over(t[n - 1], n);
    return t;
  }();
  return table;
}

template <int N>
const std::array<Fixed<N>, 61>& InverseOdds() {
  static const std::array<Fixed<N>, 61> table = [] {
    std::array<Fixed<N>, 61> t{};
    for (std::uint32_t k = 0; k < t.size(); ++k) t[k] = Over(Whole<N>(1), 2 * k + 1);
    return t;
  }();
  return table;
}

// sin r and cos r by their series to r^(2 terms + 1).
template <int N>
void SinCosSeries(const Fixed<N>& r, int terms, Fixed<N>& sin, Fixed<N>& cos) {
  const auto& f = InverseFactorials<N>();
  const Fixed<N> u = r * r;
  const auto n = static_cast<std::size_t>(terms);
  Fixed<N> s = f[2 * n + 1];
  Fixed<N> c = f[2 * n];
  for (std::size_t k = n; k-- > 0;) {
    s = f[2 * k + 1] - u * s;
    c = f[2 * k] - u * c;
  }
  sin = r * s;
  cos = c;
}

// e^r by its series to r^terms.
template <int N>
Fixed<N> ExpSeries(const Fixed<N>& r, int terms) {
  const auto& f = InverseFactorials<N>();
  Fixed<N> e = f[static_cast<std::size_t>(terms)];
  for (auto n = static_cast<std::size_t>(terms); n-- > 0;) e = f[n] + r * e;
  return e;
}

// sin and cos of j/64 for j = 0 .. 50, e^(j/64) for j = -23 .. 23: made once from the
// series in full.
template <int N>
struct Tables {
  std::array<Fixed<N>, 51> sin;
  std::array<Fixed<N>, 51> cos;
  std::array<Fixed<N>, 47> exp;
};

template <int N>
const Tables<N>& SixtyFourths() {
  static const Tables<N> tables = [] {
    Tables<N> t{};
    for (std::size_t j = 0; j < t.sin.size(); ++j) {
      SinCosSeries(Over(Whole<N>(static_cast<std::int64_t>(j)), 64), SinCosTerms(N), t.sin[j],
                   t.cos[j]);
    }
    for (std::size_t j = 0; j < t.exp.size(); ++j) {
      t.exp[j] = ExpSeries(Over(Whole<N>(static_cast<std::int64_t>(j) - 23), 64), ExpTerms(N));
    }
    return t;
  }();
  return tables;
}

// The sixty-fourth j nearest to r, and r less it.
template <int N>
Fixed<N> OffSixtyFourth(const Fixed<N>& r, int& j) {
  j = static_cast<int>(std::lround(Approx(r) * 64));
  return r - Over(Whole<N>(j), 64);
}

// sin r and cos r for |r| <= pi/4: those of the nearest sixty-fourth turned by the rest.
template <int N>
void SinCosOf(const Fixed<N>& r, Fixed<N>& sin, Fixed<N>& cos) {
  int j = 0;
  const Fixed<N> t = OffSixtyFourth(r, j);
  Fixed<N> st;
  Fixed<N> ct;
  SinCosSeries(t, SmallSinCosTerms(N), st, ct);
  const auto k = static_cast<std::size_t>(j < 0 ? -j : j);
  const Fixed<N> sj = j < 0 ? -SixtyFourths<N>().sin[k] : SixtyFourths<N>().sin[k];
  const Fixed<N>& cj = SixtyFourths<N>().cos[k];
  sin = sj * ct + cj * st;
  cos = cj * ct - sj * st;
}

// e^r for |r| <= ln(2)/2.
template <int N>
Fixed<N> ExpOf(const Fixed<N>& r) {
  int j = 0;
  const Fixed<N> t = OffSixtyFourth(r, j);
  const auto k = static_cast<std::size_t>(j) + 23;  // j >= -23
  return SixtyFourths<N>().exp[k] * ExpSeries(t, SmallExpTerms(N));
}

// atan t for |t| <= 1/32, or atanh t for |t| <= 0.172 (sign +1).
template <int N>
Fixed<N> OddSeries(const Fixed<N>& t, int terms, bool alternating) {
  const auto& odd = InverseOdds<N>();
  const Fixed<N> u = t * t;
  Fixed<N> a = odd[static_cast<std::size_t>(terms)];
  for (int k = terms - 1; k >= 0; --k) {
    a = alternating ? odd[static_cast<std::size_t>(k)] - u * a
                    : odd[static_cast<std::size_t>(k)] + u * a;
  }
  return t * a;
}

// a / b for b > 0 (and a / b below 2^62): the reciprocal by Newton's iteration from a
// double's, each step doubling its correct bits.
template <int N>
Fixed<N> Divide(const Fixed<N>& a, const Fixed<N>& b) {
  Fixed<N> y = FromDouble<N>(1.0 / Approx(b));
  const Fixed<N> two = Whole<N>(2);
  for (int i = 0; i < (N <= 3 ? 2 : 3); ++i) y = y * (two - b * y);
  return a * y;
}

// The root of 0 < v <= 1 from 1/sqrt(v) by Newton's iteration.
template <int N>
Fixed<N> SquareRoot(const Fixed<N>& v) {
  Fixed<N> w = FromDouble<N>(1.0 / std::sqrt(Approx(v)));
  const Fixed<N> three = Whole<N>(3);
  for (int i = 0; i < (N <= 3 ? 3 : 4); ++i) w = Over(w * (three - v * (w * w)), 2);
  return v * w;
}

// atan(c) + atan((y - c) / (1 + y c)) for 0 <= y <= 1 and c = j/parts, the nearest, whose
// arc tangent is `base`.
template <int N>
Fixed<N> AtanNear(const Fixed<N>& y, std::uint32_t j, std::uint32_t parts, const Fixed<N>& base,
                  int terms) {
  const Fixed<N> c = Over(Whole<N>(j), parts);
  const Fixed<N> t = Divide(y - c, Whole<N>(1) + Over(Times(y, j), parts));
  return base + OddSeries(t, terms, true);
}

// atan(j/64) for j = 0 .. 64, made once from the sixteenths.
template <int N>
const std::array<Fixed<N>, 65>& AtanSixtyFourths() {
  static const std::array<Fixed<N>, 65> table = [] {
    std::array<Fixed<N>, 65> t{};
    for (std::uint32_t j = 0; j < t.size(); ++j) {
      const std::uint32_t k = (j + 2) / 4;
      t[j] = AtanNear(Over(Whole<N>(j), 64), k, 16, Make<N>(kAtanSixteenths[k]), AtanTerms(N));
    }
    return t;
  }();
  return table;
}

// atan y for 0 <= y < 2^62: 1/y above 1, then from the nearest sixty-fourth.
template <int N>
Fixed<N> AtanOf(Fixed<N> y) {
  const Fixed<N> one = Whole<N>(1);
  const bool inverted = Less(one, y);
  if (inverted) y = Divide(one, y);
  const auto j = static_cast<std::uint32_t>(std::lround(Approx(y) * 64));
  const Fixed<N> a = AtanNear(y, j, 64, AtanSixtyFourths<N>()[j], SmallAtanTerms(N));
  return inverted ? Make<N>(kHalfPi) - a : a;
}

// x * 2/pi = k + f for x >= pi/4: the quadrant k mod 4 and r = f * pi/2, |f| <= 1/2. Only
// the bits of 2/pi that reach the last two bits of k and the fraction's bits (and 117 more
// below, for the carries) take part (Payne and Hanek).
template <int N>
Fixed<N> Reduce(double x, int& quadrant) {
  const auto bits = BitCast<std::uint64_t>(x);
  const std::uint64_t m = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  const int e = static_cast<int>(bits >> 52) - 1075;  // x = m * 2^e, x normal
  // Limb k of 2/pi adds m * limb * 2^(e - 64 (k + 1)): multiples of 4 before `first`.
  const int first = e >= 66 ? (e - 2) / 64 : 0;
  const int last = (e + Fixed<N>::kFractionBits + 117 + 63) / 64;
  std::array<std::uint64_t, 32> p{};  // m times limbs first .. last, least significant first
  const int count = last - first + 1;
  std::uint64_t carry = 0;
  for (int i = 0; i < count; ++i) {
    const WideProduct t = MultiplyAdd(m, kTwoOverPi[static_cast<std::size_t>(last - i)], carry, 0);
    p[static_cast<std::size_t>(i)] = t.low;
    carry = t.high;
  }
  p[static_cast<std::size_t>(count)] = carry;
  // The binary point lies `point` bits above p's lowest bit.
  const int point = 64 * (last + 1) - e;
  const auto bits_at = [&p](int from) {  // 64 bits from bit `from` up
    const auto limb = static_cast<std::size_t>(from / 64);
    const int shift = from % 64;
    return shift == 0 ? p[limb] : (p[limb] >> shift) | (p[limb + 1] << (64 - shift));
  };
  quadrant = static_cast<int>(bits_at(point) & 3);
  Fixed<N> f;
  for (int k = 0; k < N - 1; ++k) f.limbs[N - 2 - k] = bits_at(point - 64 * (k + 1));
  if ((f.limbs[N - 2] >> 63) != 0) {  // f >= 1/2: the next quadrant, f - 1
    f.limbs[N - 1] = ~std::uint64_t{0};
    ++quadrant;
  }
  return f * Make<N>(kHalfPi);
}

// ln(1 + j/64) for j = -19 .. 27, made once from the series in full.
template <int N>
const std::array<Fixed<N>, 47>& LogSixtyFourths() {
  static const std::array<Fixed<N>, 47> table = [] {
    std::array<Fixed<N>, 47> t{};
    for (std::size_t j = 0; j < t.size(); ++j) {
      const Fixed<N> c = Whole<N>(1) + Over(Whole<N>(static_cast<std::int64_t>(j) - 19), 64);
      t[j] = Times(OddSeries(Divide(c - Whole<N>(1), c + Whole<N>(1)), AtanhTerms(N), false), 2);
    }
    return t;
  }();
  return table;
}

// ln a for 0.695 <= a < 1.43: that of the nearest sixty-fourth c, and 2 atanh((a - c) / (a + c)).
template <int N>
Fixed<N> LogNearOne(const Fixed<N>& a) {
  int j = 0;
  OffSixtyFourth(a - Whole<N>(1), j);
  const Fixed<N> c = Whole<N>(1) + Over(Whole<N>(j), 64);
  const Fixed<N> atanh = OddSeries(Divide(a - c, a + c), SmallAtanhTerms(N), false);
  const auto k = static_cast<std::size_t>(j) + 19;  // j >= -19
  return LogSixtyFourths<N>()[k] + Times(atanh, 2);
}

}  // namespace ombrix::exact::integer
