#include <algorithm>
#include <array>
#include <cfloat>
#include <cstdint>
#include <limits>

#include "logic/complex/bits.h"
#include "logic/complex/exact_decimal.h"
#include "logic/complex/exact_decimal_big.h"

namespace ombrix {

using exact_decimal::Big;
using exact_decimal::Binary;
using exact_decimal::Decompose;

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A midpoint between two doubles has at most 767 significant digits, so a text with more
// compares with every one of them as its first 800 digits followed by a 1 do.
constexpr int kKeptDigits = 800;

// The significant digits of a number text and where they stand: the value is
// 0.d1d2...dn * 10^exponent, d1 not 0, dn not 0.
struct DecimalText {
  char digits[kKeptDigits + 1];
  int count = 0;
  long long exponent = 0;
};

// sign(digits * 10^q - midpoint * 2^p) for the text's digits `d` (as a number) and
// q = exponent - count.
int CompareWithMidpoint(const Big& d, long long q, std::uint64_t midpoint, int p) {
  Big left = d;
  Big right(midpoint);
  const auto q_int = static_cast<int>(q);
  if (q_int >= 0) {
    left.MulPow5(q_int);
  } else {
    right.MulPow5(-q_int);
  }
  if (q_int >= p) {
    left.ShiftLeft(q_int - p);
  } else {
    right.ShiftLeft(p - q_int);
  }
  return Compare(left, right);
}

double NextUp(double v) { return BitCast<double>(BitCast<std::uint64_t>(v) + 1); }
double NextDown(double v) { return BitCast<double>(BitCast<std::uint64_t>(v) - 1); }

// The nearest double to 0.digits * 10^exponent when the first 19 digits scaled in
// doubles are a few units off at most; 0 or infinite where the text rounds so far.
double NearestDouble(const DecimalText& text, bool& out_of_range) {
  out_of_range = false;
  const int first = std::min(text.count, 19);
  std::uint64_t leading = 0;
  for (int i = 0; i < first; ++i)
    leading = leading * 10 + static_cast<unsigned>(text.digits[i] - '0');
  auto guess = static_cast<double>(leading);
  for (auto q = static_cast<int>(text.exponent) - first; q != 0;) {
    const int step = std::clamp(q, -22, 22);
    double power = 1.0;
    for (int i = 0; i < (step < 0 ? -step : step); ++i) power *= 10.0;
    guess = step < 0 ? guess / power : guess * power;
    q -= step;
  }
  guess = std::clamp(guess, std::numeric_limits<double>::denorm_min(), DBL_MAX);

  Big d;
  for (int i = 0; i < text.count; ++i)
    d.MulAddSmall(10, static_cast<unsigned>(text.digits[i] - '0'));
  const long long q = text.exponent - text.count;
  for (;;) {
    const Binary g = Decompose(guess);
    const int up = CompareWithMidpoint(d, q, 2 * g.m + 1, g.e - 1);
    if (up > 0 || (up == 0 && g.m % 2 == 1)) {
      if (guess == DBL_MAX) {
        out_of_range = true;
        return 0.0;
      }
      guess = NextUp(guess);
      continue;
    }
    const double below = NextDown(guess);
    const Binary b = Decompose(below);
    const int down = CompareWithMidpoint(d, q, 2 * b.m + 1, b.e - 1);
    if (down < 0 || (down == 0 && b.m % 2 == 0)) {
      if (below == 0.0) {
        out_of_range = true;
        return 0.0;
      }
      guess = below;
      continue;
    }
    return guess;
  }
}

// The digits of [int_begin, int_end) and [frac_begin, frac_end) into `text`; false when
// all of them are zero.
bool CollectDigits(const char* int_begin, const char* int_end, const char* frac_begin,
                   const char* frac_end, DecimalText& text) {
  while (int_begin < int_end && *int_begin == '0') ++int_begin;
  long long exponent = int_end - int_begin;
  if (int_begin == int_end) {
    while (frac_begin < frac_end && *frac_begin == '0') {
      ++frac_begin;
      --exponent;
    }
    if (frac_begin == frac_end) return false;
  }
  bool dropped = false;  // a non-zero digit beyond the kept ones
  const auto take = [&](const char* begin, const char* end) {
    for (const char* c = begin; c < end; ++c) {
      if (text.count < kKeptDigits) {
        text.digits[text.count++] = *c;
      } else if (*c != '0') {
        dropped = true;
      }
    }
  };
  take(int_begin, int_end);
  take(frac_begin, frac_end);
  while (text.digits[text.count - 1] == '0') --text.count;
  if (dropped) text.digits[text.count++] = '1';
  text.exponent = exponent;
  return true;
}

// Where the parts of a number text lie: [int_begin, int_end) before the point,
// [frac_begin, frac_end) after it, and the text's end.
struct NumberParts {
  bool negative = false;
  const char* int_begin = nullptr;
  const char* int_end = nullptr;
  const char* frac_begin = nullptr;
  const char* frac_end = nullptr;
  long long exponent = 0;
  const char* end = nullptr;
};

const char* SkipDigits(const char* p, const char* last) {
  while (p < last && IsDigit(*p)) ++p;
  return p;
}

// An exponent "e" or "E", an optional sign and digits at p, added to `exponent`; p is
// left where it was when no digit follows. Large exponents stop growing: any of them is
// out of range already.
const char* ScanExponent(const char* p, const char* last, long long& exponent) {
  if (p == last || (*p != 'e' && *p != 'E')) return p;
  const char* e = p + 1;
  const bool negative = e < last && *e == '-';
  if (e < last && (*e == '-' || *e == '+')) ++e;
  if (e == last || !IsDigit(*e)) return p;
  long long magnitude = 0;
  for (; e < last && IsDigit(*e); ++e) {
    if (magnitude < 1000000000) magnitude = magnitude * 10 + (*e - '0');
  }
  exponent = negative ? -magnitude : magnitude;
  return e;
}

// False where the text holds no digit before its exponent.
bool ScanNumber(const char* first, const char* last, NumberParts& parts) {
  const char* p = first;
  parts.negative = p < last && *p == '-';
  if (parts.negative) ++p;
  parts.int_begin = p;
  p = SkipDigits(p, last);
  parts.int_end = p;
  parts.frac_begin = parts.frac_end = p;
  if (p < last && *p == '.') {
    parts.frac_begin = ++p;
    p = SkipDigits(p, last);
    parts.frac_end = p;
  }
  if (parts.int_begin == parts.int_end && parts.frac_begin == parts.frac_end) return false;
  parts.end = ScanExponent(p, last, parts.exponent);
  return true;
}

// Digits and power both exact: one rounding, the right one. False where they are not.
bool ExactlyScaled(const DecimalText& text, double& magnitude) {
#if FLT_EVAL_METHOD == 0
  constexpr std::array<double, 23> kPowers = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const long long q = text.exponent - text.count;
  if (text.count > 15 || q < -22 || q > 22) return false;
  std::uint64_t digits = 0;
  for (int i = 0; i < text.count; ++i)
    digits = digits * 10 + static_cast<unsigned>(text.digits[i] - '0');
  const auto d = static_cast<double>(digits);
  magnitude =
      q >= 0 ? d * kPowers[static_cast<std::size_t>(q)] : d / kPowers[static_cast<std::size_t>(-q)];
  return true;
#else
  (void)text;
  (void)magnitude;
  return false;
#endif
}

}  // namespace

std::from_chars_result ExactFromChars(const char* first, const char* last, double& value) {
  NumberParts parts;
  if (!ScanNumber(first, last, parts)) return {first, std::errc::invalid_argument};
  const char* const end = parts.end;
  DecimalText text;
  if (!CollectDigits(parts.int_begin, parts.int_end, parts.frac_begin, parts.frac_end, text)) {
    value = parts.negative ? -0.0 : 0.0;
    return {end, std::errc()};
  }
  text.exponent += parts.exponent;
  // 10^309 and more overflow; below 10^-324 is less than half the least double.
  if (text.exponent >= 310 || text.exponent < -323) return {end, std::errc::result_out_of_range};
  double magnitude = 0.0;
  if (!ExactlyScaled(text, magnitude)) {
    bool out_of_range = false;
    magnitude = NearestDouble(text, out_of_range);
    if (out_of_range) return {end, std::errc::result_out_of_range};
  }
  value = parts.negative ? -magnitude : magnitude;
  return {end, std::errc()};
}

}  // namespace ombrix
