#include "logic/complex/exact_maths.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "logic/complex/bits.h"
#include "logic/complex/wide_multiply.h"

namespace ombrix::exact {

namespace {

// Each function is computed in fixed point with 128 fraction bits and a bound on its
// error; where every value within the bound rounds to the same double, that is the result
// (all but about one argument in 2^60), else it is computed again with 256 bits, where no
// double argument lies close enough to a rounding boundary to matter.

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
WideProduct MultiplyAdd(std::uint64_t a, std::uint64_t b, std::uint64_t c, std::uint64_t d) {
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

constexpr Constant kHalfPi = {1,
                              {0x921fb54442d18469, 0x898cc51701b839a2, 0x52049c1114cf98e8,
                               0x04177d4c76273644, 0xa29410f31c6809bb, 0xdf2a33679a748636}};
constexpr Constant kLn2 = {0,
                           {0xb17217f7d1cf79ab, 0xc9e3b39803f2f6af, 0x40f343267298b62d,
                            0x8a0d175b8baafa2b, 0xe7b876206debac98, 0x559552fb4afa1b10}};
constexpr Constant kInverseLn10 = {0,
                                   {0x6f2dec549b9438ca, 0x9aadd557d699ee19, 0x1f71a30122e4d101,
                                    0x1d1f96a27bc7529e, 0x3aa1277d0a0179f9, 0x4911aac96323250a}};
// atan(j / 16) for j = 0 .. 16.
constexpr std::array<Constant, 17> kAtanSixteenths = {{
    {0, {0, 0, 0, 0, 0, 0}},
    {0,
     {0x0ffaaddb967ef4e3, 0x6cb2792dc0e2e0d5, 0x1319c12cf59d4b2d, 0xc387a9f803c4b8ae,
      0xd0249009473e9b7d, 0x493fe2926ac74803}},
    {0,
     {0x1fd5ba9aac2f6dc6, 0x5912f313e7d111de, 0xf1672afb2bb35b24, 0x5d926aefbf6d82ed,
      0x1a9a0100403b384c, 0xa7ff4baa3c469ae3}},
    {0,
     {0x2f72f6979cb6044d, 0x1ec2d3e207271d21, 0xe4eb4035a0e28aca, 0xbc169a93c79f5cb4,
      0x65c41183a1314740, 0xa2e0e37d3f5c02f3}},
    {0,
     {0x3eb6ebf25901bac5, 0x5b71e7bd7de885f9, 0x6a9fea40e22ce0da, 0xde8e9d9f251269d9,
      0x64ae49459a395d94, 0xc16fa316e960c68f}},
    {0,
     {0x4d89dcdc1faf2f34, 0xe2d5da4c693d7994, 0x045247c28597aaff, 0xfad2c806098263d7,
      0x699c699254eefbf3, 0x22033f7a34643a2c}},
    {0,
     {0x5bd86507937bc239, 0xc55190916e7f2241, 0x9ec21cbbd72a2ae6, 0x2399f2e519a48470,
      0x32662c101cfee06b, 0x6e6672540067b9e9}},
    {0,
     {0x6993bb0f308ff2db, 0x213e4af4800f389b, 0x3700206e90b0d39e, 0x1333bfc789eebf14,
      0x142bf4205e2241da, 0x7bcb42c929bfb62e}},
    {0,
     {0x76b19c1586ed3da2, 0xb7f222f65e1d4681, 0xb70a0ac3930e6f80, 0x71678b7374b12384,
      0xfd4e2c8bc495a8b6, 0x43e4097c635230c1}},
    {0,
     {0x832bf4a6d9867e2a, 0x4b6a09cb61a515c0, 0xf1155cd8774ddfbc, 0x55c6bdcf1e5b65d0,
      0x43d7d60cd4f13f4e, 0x82c3bd5bd4bddc24}},
    {0,
     {0x8f005d5ef7f59f9b, 0x5c835e1665c43747, 0x918a67e0652b375c, 0xf53da46d13389eb2,
      0x3669dcd3918d712b, 0x66cd7dd3073d6a58}},
    {0,
     {0x9a2f80e671bdda20, 0x4226f8e2204ff3bc, 0xdae46f0617489d5c, 0x77874d1e753afee4,
      0x4ccdbfe6b74ad88f, 0x11620ae2966bda9c}},
    {0,
     {0xa4bc7d1934f70924, 0x19a87f2a457dac9e, 0xe3f08689eeb2b9e7, 0x214866658cc4ef3a,
      0xa7f7b7db933cb84f, 0x5762206ed3d024b3}},
    {0,
     {0xaeac4c38b4d8c080, 0x14725e2f3e52070a, 0x03742b4643effe26, 0x04407947c44fdd30,
      0x95ee0fd1eef1f3d7, 0xc6586fe1dd439af3}},
    {0,
     {0xb8053e2bc2319e73, 0xcb2da55210a4443d, 0x3d7aecc114c79a80, 0xa012155f64cae530,
      0x4655f065cec98182, 0x49c49ec72668272c}},
    {0,
     {0xc0ce85b8ac526640, 0x89dd62c46e92fa24, 0xd58ee867aef436f6, 0x37081467a10b2d25,
      0x44ffa53c51a62f57, 0xa34ac5cf485bc5c2}},
    {0,
     {0xc90fdaa22168c234, 0xc4c6628b80dc1cd1, 0x29024e088a67cc74, 0x020bbea63b139b22,
      0x514a08798e3404dd, 0xef9519b3cd3a431b}},
}};
// The bits of 2/pi after the binary point, 64 a limb.
constexpr std::array<std::uint64_t, 26> kTwoOverPi = {
    0xa2f9836e4e441529, 0xfc2757d1f534ddc0, 0xdb6295993c439041, 0xfe5163abdebbc561,
    0xb7246e3a424dd2e0, 0x06492eea09d1921c, 0xfe1deb1cb129a73e, 0xe88235f52ebb4484,
    0xe99c7026b45f7e41, 0x3991d639835339f4, 0x9c845f8bbdf9283b, 0x1ff897ffde05980f,
    0xef2f118b5a0a6d1f, 0x6d367ecf27cb09b7, 0x4f463f669e5fea2d, 0x7527bac7ebe5f17b,
    0x3d0739f78a5292ea, 0x6bfb5fb11f8d5d08, 0x56033046fc7b6bab, 0xf0cfbc209af4361d,
    0xa9e391615ee61b08, 0x6599855f14a06840, 0x8dffd8804d732731, 0x06061556ca73a8c9,
    0x60e27bc08c6b47c4, 0x19c367cddce8092a};

// The double nearest to pi/2, and to pi.
constexpr double kHalfPiDouble = 0x1.921fb54442d18p0;
constexpr double kPiDouble = 0x1.921fb54442d18p1;

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

// ln x for a finite x > 0, x = m 2^e with sqrt(1/2) <= m < sqrt(2): e ln 2 + ln m, ln m =
// 2 atanh((m - 1) / (m + 1)); times 1/ln 10 for the decimal logarithm.
template <int N>
std::optional<double> LogAt(double x, bool decimal, bool final) {
  int e = 0;
  double m = std::frexp(x, &e);  // exact: m in [1/2, 1)
  if (m < 0.7071067811865476) {
    m *= 2;
    --e;
  }
  const Fixed<N> a = FromDouble<N>(m);
  int j = 0;
  OffSixtyFourth(a - Whole<N>(1), j);
  const Fixed<N> c = Whole<N>(1) + Over(Whole<N>(j), 64);
  const Fixed<N> atanh = OddSeries(Divide(a - c, a + c), SmallAtanhTerms(N), false);
  const Fixed<N> whole_ln2 = Times(Make<N>(kLn2), static_cast<std::uint64_t>(e < 0 ? -e : e));
  const auto k = static_cast<std::size_t>(j) + 19;  // j >= -19
  Fixed<N> v = LogSixtyFourths<N>()[k] + Times(atanh, 2) + (e < 0 ? -whole_ln2 : whole_ln2);
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

}  // namespace ombrix::exact
