#include "logic/complex/exact_decimal.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "logic/complex/exact_decimal_big.h"

namespace ombrix {

using exact_decimal::Big;
using exact_decimal::Binary;
using exact_decimal::DecimalExponentGuess;
using exact_decimal::Decompose;
using exact_decimal::Sum;
using exact_decimal::Times;

namespace {

// r / s = v * 10^-k: the fraction whose integer part is the first digit of v.
struct Scaled {
  Big r;
  Big s;
  int k;
};

Scaled ScaleToFirstDigit(const Binary& v) {
  Scaled out{Big(v.m), Big(1), DecimalExponentGuess(v)};
  if (v.e >= 0) {
    out.r.ShiftLeft(v.e);
  } else {
    out.s.ShiftLeft(-v.e);
  }
  if (out.k >= 0) {
    out.s.MulPow10(out.k);
  } else {
    out.r.MulPow10(-out.k);
  }
  while (Compare(out.r, out.s) < 0) {
    out.r.MulSmall(10);
    --out.k;
  }
  for (Big ten_s = Times(out.s, 10); Compare(out.r, ten_s) >= 0; ten_s = Times(out.s, 10)) {
    out.s = ten_s;
    ++out.k;
  }
  return out;
}

// Writes "e+XX": the sign and at least two digits, as printf's %e does.
char* PutExponent(char* p, int exponent) {
  *p++ = 'e';
  *p++ = exponent < 0 ? '-' : '+';
  const int magnitude = exponent < 0 ? -exponent : exponent;
  char digits[8];
  int n = 0;
  for (int m = magnitude; m > 0 || n < 2; m /= 10) digits[n++] = static_cast<char>('0' + m % 10);
  while (n > 0) *p++ = digits[--n];
  return p;
}

int ExponentLength(int exponent) {
  const int magnitude = exponent < 0 ? -exponent : exponent;
  return magnitude >= 100 ? 5 : 4;  // "e+XX" or "e+XXX"
}

// The room a shortest text may need: a sign, 17 digits, a point and "e-308".
constexpr std::ptrdiff_t kShortestRoom = 32;

std::to_chars_result TooSmall(char* last) { return {last, std::errc::value_too_large}; }

#if defined(__SIZEOF_INT128__)
using Wide = unsigned __int128;

template <std::size_t N>
constexpr std::array<std::uint64_t, N> PowersOf(std::uint64_t base) {
  std::array<std::uint64_t, N> p{};
  p[0] = 1;
  for (std::size_t i = 1; i < N; ++i) p[i] = p[i - 1] * base;
  return p;
}
constexpr auto kPowersOf5 = PowersOf<28>(5);
constexpr auto kPowersOf10 = PowersOf<20>(10);

// The whole part of a product and where its rest lies against one half.
struct WholeAndRest {
  Wide whole = 0;
  bool above_half = false;
  bool at_half = false;
};

// v * 10^t, where that is formed exactly in 128 bits; false elsewhere.
bool ScaledByPowerOf10(const Binary& v, int t, WholeAndRest& out) {
  if (t < 0) {
    const int u = -t;
    if (u >= static_cast<int>(kPowersOf10.size()) || v.e < 0 || v.e > 74) return false;
    const Wide value = Wide{v.m} << v.e;
    const std::uint64_t divisor = kPowersOf10[static_cast<std::size_t>(u)];
    out.whole = value / divisor;
    const Wide twice_rest = (value % divisor) * 2;
    out.above_half = twice_rest > divisor;
    out.at_half = twice_rest == divisor;
    return true;
  }
  if (t >= static_cast<int>(kPowersOf5.size())) return false;
  const Wide product = Wide{v.m} * kPowersOf5[static_cast<std::size_t>(t)];  // < 2^116
  const int shift = v.e + t;
  if (shift > 11 || shift <= -128) return false;
  if (shift >= 0) {
    out.whole = product << shift;
    return true;
  }
  out.whole = product >> -shift;
  const Wide rest = product & ((Wide{1} << -shift) - 1);
  const Wide half = Wide{1} << (-shift - 1);
  out.above_half = rest > half;
  out.at_half = rest == half;
  return true;
}

// The first `count` digits (at most 18) of v > 0 rounded half to even, and the place k of
// the first, where v * 10^(count - 1 - k) is formed exactly in 128 bits: from about 1E-10
// to 1E38, most values. False elsewhere.
bool WideDigits(const Binary& v, int count, char* digits, int& k) {
  const std::uint64_t low = kPowersOf10[static_cast<std::size_t>(count - 1)];
  const std::uint64_t high = low * 10;
  k = DecimalExponentGuess(v);
  for (int attempt = 0; attempt < 3; ++attempt) {
    WholeAndRest scaled;
    if (!ScaledByPowerOf10(v, count - 1 - k, scaled)) return false;
    if (scaled.whole < low || scaled.whole >= high) {
      k += scaled.whole < low ? -1 : 1;
      continue;
    }
    auto d = static_cast<std::uint64_t>(scaled.whole);
    if (scaled.above_half || (scaled.at_half && (d & 1) != 0)) ++d;
    if (d == high) {
      d = low;
      ++k;
    }
    for (int i = count - 1; i >= 0; --i, d /= 10) digits[i] = static_cast<char>('0' + d % 10);
    return true;
  }
  return false;
}
#endif

// The first `count` digits of v > 0 rounded half to even, and the place k of the first.
void SignificantDigits(const Binary& v, int count, char* digits, int& k) {
#if defined(__SIZEOF_INT128__)
  if (count <= 18 && WideDigits(v, count, digits, k)) return;
#endif
  Scaled scaled = ScaleToFirstDigit(v);
  k = scaled.k;
  for (int i = 0; i < count; ++i) {
    if (i > 0) scaled.r.MulSmall(10);
    digits[i] = static_cast<char>('0' + scaled.r.DivSmallQuotient(scaled.s));
  }
  const int half = Compare(Times(scaled.r, 2), scaled.s);
  if (half > 0 || (half == 0 && (digits[count - 1] - '0') % 2 == 1)) {
    int i = count - 1;
    while (i >= 0 && digits[i] == '9') digits[i--] = '0';
    if (i < 0) {
      digits[0] = '1';
      ++k;
    } else {
      ++digits[i];
    }
  }
}

}  // namespace

std::to_chars_result ExactScientificChars(char* first, char* last, double x, int precision) {
  precision = std::clamp(precision, 0, 40);
  if (last - first < precision + 8) return TooSmall(last);
  char digits[48];
  int k = 0;
  if (x == 0.0) {
    std::fill(digits, digits + precision + 1, '0');
  } else {
    SignificantDigits(Decompose(x < 0 ? -x : x), precision + 1, digits, k);
  }
  char* p = first;
  if (std::signbit(x)) *p++ = '-';
  *p++ = digits[0];
  if (precision > 0) {
    *p++ = '.';
    p = std::copy(digits + 1, digits + precision + 1, p);
  }
  return {PutExponent(p, k), std::errc()};
}

namespace {

// The shortest digits that read back as v > 0 (Steele and White's free-format digits, as
// Burger and Dybvig give them): v lies in [low, high], the halves of the gaps to its
// neighbours, ends included when the significand is even (reading rounds ties to even).
// Returns the digit count; v is then about 0.d1d2... * 10^k.
int ShortestDigits(double v, char* digits, int& k) {
  const Binary b = Decompose(v);
  const bool even = b.m % 2 == 0;
  // Below a power of two the gap is half as wide.
  const bool unequal = b.m == (std::uint64_t{1} << 52) && b.e > -1074;
  const int r_shift = unequal ? 2 : 1;
  Big r(b.m);
  Big s(1);
  Big high(unequal ? 2 : 1);
  Big low(1);
  if (b.e >= 0) {
    r.ShiftLeft(b.e + r_shift);
    s.ShiftLeft(r_shift);
    high.ShiftLeft(b.e);
    low.ShiftLeft(b.e);
  } else {
    r.ShiftLeft(r_shift);
    s.ShiftLeft(r_shift - b.e);
  }
  k = DecimalExponentGuess(b) - 1;  // never above the first digit's place
  if (k >= 0) {
    s.MulPow10(k);
  } else {
    r.MulPow10(-k);
    high.MulPow10(-k);
    low.MulPow10(-k);
  }
  const auto above = [even](const Big& rest, const Big& margin, const Big& scale) {
    const int c = Compare(Sum(rest, margin), scale);
    return even ? c >= 0 : c > 0;
  };
  while (above(r, high, s)) {
    s.MulSmall(10);
    ++k;
  }
  int n = 0;
  for (;;) {
    r.MulSmall(10);
    high.MulSmall(10);
    low.MulSmall(10);
    auto digit = static_cast<int>(r.DivSmallQuotient(s));
    const int c_low = Compare(r, low);
    const bool near_low = even ? c_low <= 0 : c_low < 0;
    const bool near_high = above(r, high, s);
    if (!near_low && !near_high) {
      digits[n++] = static_cast<char>('0' + digit);
      continue;
    }
    if (near_low && near_high) {
      const int half = Compare(Times(r, 2), s);
      if (half > 0 || (half == 0 && digit % 2 == 1)) ++digit;
    } else if (near_high) {
      ++digit;
    }
    digits[n++] = static_cast<char>('0' + digit);
    return n;
  }
}

}  // namespace

std::to_chars_result ExactShortestChars(char* first, char* last, double x) {
  if (last - first < kShortestRoom) return TooSmall(last);
  char* p = first;
  if (std::signbit(x)) *p++ = '-';
  if (x == 0.0) {
    *p++ = '0';
    return {p, std::errc()};
  }
  char digits[24];
  int k = 0;
  const int n = ShortestDigits(x < 0 ? -x : x, digits, k);
  const int scientific = n + (n > 1 ? 1 : 0) + ExponentLength(k - 1);
  const int fixed = k <= 0 ? 2 - k + n : (k < n ? n + 1 : k);
  if (scientific < fixed) {
    *p++ = digits[0];
    if (n > 1) {
      *p++ = '.';
      p = std::copy(digits + 1, digits + n, p);
    }
    return {PutExponent(p, k - 1), std::errc()};
  }
  if (k <= 0) {
    *p++ = '0';
    *p++ = '.';
    p = std::fill_n(p, -k, '0');
    p = std::copy(digits, digits + n, p);
  } else if (k < n) {
    p = std::copy(digits, digits + k, p);
    *p++ = '.';
    p = std::copy(digits + k, digits + n, p);
  } else {
    // A whole number, written with all its digits as the library writes it, not with the
    // shortest digits and zeros.
    char exact[64];
    ExactScientificChars(exact, exact + sizeof exact, x < 0 ? -x : x, k - 1);
    *p++ = exact[0];
    if (k > 1) p = std::copy(exact + 2, exact + 1 + k, p);
  }
  return {p, std::errc()};
}

}  // namespace ombrix
