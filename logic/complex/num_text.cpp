#include "logic/complex/num_text.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "logic/complex/fault.h"
#include "logic/complex/quick_round_trip.h"
#include "logic/complex/real_chars.h"
#include "logic/complex/wide_multiply.h"

namespace ombrix {

namespace detail {
std::atomic<char> g_decimal_separator{','};
}  // namespace detail

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

void SetDecimalSeparator(char separator) {
  detail::g_decimal_separator.store(separator, std::memory_order_relaxed);
}

// The digit cut and the round trips below count their digits in literals.
static_assert(kResultDigits == 15, "the texts of results keep 15 digits");

namespace {

using round_trip::kExactPowers;

// The digits RealToText shows for a finite, non-zero magnitude: at most 15, no trailing
// zeros, value 0.d1d2... * 10^exponent.
struct ShownDigits {
  char digits[24];
  int count;
  int exponent;
};

ShownDigits CutDigits(double magnitude) {
  // 18 significant digits, correctly rounded: d.ddddddddddddddddde+XX
  char buffer[40];
  const auto result = ScientificChars(buffer, buffer + sizeof buffer, magnitude, 17);
  ShownDigits shown{};
  int n = 0;
  const char* p = buffer;
  for (; p < result.ptr && *p != 'e'; ++p) {
    if (IsDigit(*p)) shown.digits[n++] = *p;
  }
  int exponent = 0;
  std::from_chars(*(p + 1) == '+' ? p + 2 : p + 1, result.ptr, exponent);
  shown.exponent = exponent + 1;

  // Cut to 15 digits by the 16th digit alone.
  n = 15;
  if (shown.digits[15] >= '5') {
    int i = 14;
    while (i >= 0 && shown.digits[i] == '9') shown.digits[i--] = '0';
    if (i < 0) {
      shown.digits[0] = '1';
      n = 1;
      ++shown.exponent;
    } else {
      ++shown.digits[i];
    }
  }
  while (n > 1 && shown.digits[n - 1] == '0') --n;
  shown.count = n;
  return shown;
}

// The quick round trips: the exact ones need 128-bit integers, the scaled one the 64-bit
// significand of an extended long double; each is there where what it needs is. Where
// both are missing, or where the build asks for it, the digits alone decide: the number
// texts round correctly everywhere.
#if LDBL_MANT_DIG == 64 && !defined(OMBRIX_PORTABLE_ROUND_TRIP)
#define OMBRIX_EXTENDED_ROUND_TRIP 1
#endif

#if defined(OMBRIX_WIDE_ROUND_TRIP) || defined(OMBRIX_EXTENDED_ROUND_TRIP)
// The 15-digit value digits * 10^power as the text reads back: one exact IEEE operation,
// as both operands are exact. False where 10^power is not an exact double.
bool ReadDigits(double digits, int power, double& out) {
  if (power >= 0 && power < static_cast<int>(kExactPowers.size())) {
    out = digits * kExactPowers[static_cast<std::size_t>(power)];
  } else if (power < 0 && -power < static_cast<int>(kExactPowers.size())) {
    out = digits / kExactPowers[static_cast<std::size_t>(-power)];
  } else {
    return false;
  }
  return true;
}
#endif

#ifdef OMBRIX_EXTENDED_ROUND_TRIP
// 10^0 .. 10^27, all exact in the 64-bit significand of a long double.
constexpr std::array<long double, 28> kExactPowersL = [] {
  std::array<long double, 28> p{};
  p[0] = 1.0L;
  for (std::size_t i = 1; i < p.size(); ++i) p[i] = p[i - 1] * 10.0L;
  return p;
}();

constexpr double kLog10Of2 = 0.30102999566398120;

// The binary exponent of a positive double, as std::ilogb gives it, read from its bits
// for normal values (the library call is dear in the round trip).
int BinaryExponent(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const auto biased = static_cast<int>(bits >> 52);
  return biased == 0 ? std::ilogb(value) : biased - 1023;
}

// The round trip of a positive magnitude without digits: the 16 leading digits as the
// number q = magnitude / 10^(E - 16), scaled with one rounding in 64 bits, so that q is
// off by far less than 0.001. The text keeps 15 digits, N = floor((q + 5.005) / 10): 18
// digits rounded, then the 16th rounding the 15th. Where q lies too close to a step of
// that rule, or the scale is not exact, the digits decide instead (false).
bool QuickRoundTrip(double magnitude, double& out) {
  int exponent = static_cast<int>(std::floor(BinaryExponent(magnitude) * kLog10Of2)) + 1;
  long double q = 0;
  for (int attempt = 0;; ++attempt) {
    const int scale = 16 - exponent;
    if (scale >= 0 && scale < static_cast<int>(kExactPowersL.size())) {
      q = static_cast<long double>(magnitude) * kExactPowersL[static_cast<std::size_t>(scale)];
    } else if (scale < 0 && -scale < static_cast<int>(kExactPowersL.size())) {
      q = static_cast<long double>(magnitude) / kExactPowersL[static_cast<std::size_t>(-scale)];
    } else {
      return false;
    }
    if (q >= 1E16L) {
      ++exponent;
    } else if (q < 1E15L) {
      --exponent;
    } else {
      break;
    }
    if (attempt == 2) return false;
  }
  if (q < 1E15L + 0.01L || q > 1E16L - 0.01L) return false;
  const long double t = (q + 5.005L) / 10.0L;
  const long double n = std::floor(t);
  const long double frac = t - n;
  if (frac < 0.0002L || frac > 0.9998L) return false;
  return ReadDigits(static_cast<double>(n), exponent - 15, out);  // n <= 10^15: exact
}
#endif  // OMBRIX_EXTENDED_ROUND_TRIP

#ifdef OMBRIX_WIDE_ROUND_TRIP
// A positive normal double as m * 2^b exactly, 2^52 <= m < 2^53; false for a subnormal.
bool SplitNormal(double magnitude, std::uint64_t& m, int& b) {
  std::uint64_t bits;
  std::memcpy(&bits, &magnitude, sizeof bits);
  const auto biased = static_cast<int>(bits >> 52);
  if (biased == 0) return false;
  m = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  b = biased - 1075;
  return true;
}

// m * 2^b scaled to its 18 leading digits for the decimal exponent guessed: `whole` with
// the remainder of the shift (`rest` against `half`), or which way the guess is off, or
// outside the range.
enum class Scaled { kFound, kTooSmall, kTooLarge, kOutside };
struct EighteenDigits {
  unsigned __int128 whole = 0;
  unsigned __int128 rest = 0;
  unsigned __int128 half = 0;
};
Scaled ScaleToEighteenDigits(std::uint64_t m, int b, int exponent, EighteenDigits& d) {
  using Wide = unsigned __int128;
  constexpr std::uint64_t k17 = 100000000000000000;  // 10^17
  const int s = 16 - exponent;
  using round_trip::kPowersOf5;
  if (s < 0 || s >= static_cast<int>(kPowersOf5.size())) return Scaled::kOutside;
  const Wide scaled = static_cast<Wide>(m) * kPowersOf5[static_cast<std::size_t>(s)] * 100;
  const int shift = b + s;
  if (shift >= 0) {
    if (shift > 8) return Scaled::kOutside;
    if (scaled >= Wide{1} << (127 - shift)) return Scaled::kTooLarge;  // far past 10^18
    d = {scaled << shift, 0, 0};
  } else {
    const int k = -shift;
    if (k >= 127) return Scaled::kOutside;
    d = {scaled >> k, scaled & ((Wide{1} << k) - 1), Wide{1} << (k - 1)};
  }
  if (d.whole < k17) return Scaled::kTooSmall;
  if (d.whole >= 10 * k17) return Scaled::kTooLarge;
  return Scaled::kFound;
}

// The round trip of a positive normal magnitude from 1E-8 to below 1E16 in whole numbers:
// magnitude = m * 2^b exactly, so its 18 leading digits are the integer part of
// m * 5^s * 100 * 2^(b + s) with s = 16 - E, at most 2^124 before the shift, and the
// remainder of the shift decides the rounding (half to even). No step of the rule is
// near enough to need the digits. False outside that range.
bool ExactRoundTrip(double magnitude, double& out) {
  std::uint64_t m = 0;
  int b = 0;
  if (!SplitNormal(magnitude, m, b)) return false;
  int exponent = round_trip::DecimalExponentBelow(b);  // the loop below corrects it by one
  EighteenDigits d;
  for (int attempt = 0;; ++attempt) {
    if (attempt == 2) return false;
    const Scaled scaled = ScaleToEighteenDigits(m, b, exponent, d);
    if (scaled == Scaled::kOutside) return false;
    if (scaled == Scaled::kFound) break;
    exponent += scaled == Scaled::kTooLarge ? 1 : -1;
  }
  auto digits18 = static_cast<std::uint64_t>(d.whole);
  if (d.rest > d.half || (d.rest == d.half && d.half != 0 && (digits18 & 1) != 0)) ++digits18;
  // The 16th digit alone rounds the 15th; a carry out of the first digit gives 10^15.
  return ReadDigits(static_cast<double>((digits18 + 500) / 1000), exponent - 15, out);
}

#endif  // OMBRIX_WIDE_ROUND_TRIP

// The round trip of a positive magnitude through its digits: d1.d2d3...e(exponent - 1) is
// the same decimal value the text holds, read the same way.
bool DigitsRoundTrip(double magnitude, double& out) {
  const ShownDigits shown = CutDigits(magnitude);
  char buffer[40];
  std::size_t n = 0;
  buffer[n++] = shown.digits[0];
  buffer[n++] = '.';
  for (int i = 1; i < shown.count; ++i) buffer[n++] = shown.digits[i];
  buffer[n++] = 'e';
  const auto end = std::to_chars(buffer + n, buffer + sizeof buffer, shown.exponent - 1);
  const auto parsed = RealFromChars(buffer, end.ptr, out);
  return parsed.ec == std::errc();
}

// The round trip of a positive magnitude that the exact integers do not reach: through
// the long double scale, or through the digits themselves. Out of line, as it is rare.
[[gnu::noinline]] bool SlowRoundTrip(double magnitude, double& out) {
#ifdef OMBRIX_EXTENDED_ROUND_TRIP
  if (QuickRoundTrip(magnitude, out)) return true;
#endif
  return DigitsRoundTrip(magnitude, out);
}

bool MagnitudeRoundTrip(double magnitude, double& out) {
#ifdef OMBRIX_WIDE_ROUND_TRIP
  if (round_trip::ProductRoundTrip(magnitude, out) || ExactRoundTrip(magnitude, out)) return true;
#endif
  return SlowRoundTrip(magnitude, out);
}

}  // namespace

std::string RealToText(double x) {
  std::string out;
  AppendRealText(out, x, DecimalSeparator());
  return out;
}

namespace {

// A number's text as it is put together, on the stack.
struct TextBuffer {
  char text[48];
  std::size_t n = 0;
  void Put(char c) { text[n++] = c; }
  void Put(std::string_view d) {
    for (char c : d) text[n++] = c;
  }
  void PutZeros(std::size_t count) {
    for (std::size_t z = 0; z < count; ++z) text[n++] = '0';
  }
};

// 0,000ddd, dddd00 or dd,ddd: the digits with the decimal exponent from -3 to the
// digits a text keeps.
void PutPositional(TextBuffer& out, std::string_view digits, int exponent, char separator) {
  if (exponent <= 0) {
    out.Put('0');
    out.Put(separator);
    out.PutZeros(static_cast<std::size_t>(-exponent));
    out.Put(digits);
    return;
  }
  const auto e = static_cast<std::size_t>(exponent);
  if (digits.size() <= e) {
    out.Put(digits);
    out.PutZeros(e - digits.size());
  } else {
    out.Put(digits.substr(0, e));
    out.Put(separator);
    out.Put(digits.substr(e));
  }
}

// d,dddE-x: the digits with any other exponent.
void PutScientific(TextBuffer& out, std::string_view digits, int exponent, char separator) {
  out.Put(digits[0]);
  if (digits.size() > 1) {
    out.Put(separator);
    out.Put(digits.substr(1));
  }
  out.Put('E');
  const int shown_exponent = exponent - 1;
  if (shown_exponent < 0) out.Put('-');
  const auto end = std::to_chars(out.text + out.n, out.text + sizeof out.text,
                                 shown_exponent < 0 ? -shown_exponent : shown_exponent);
  out.n = static_cast<std::size_t>(end.ptr - out.text);
}

}  // namespace

void AppendRealText(std::string& out, double x, char separator) {
  if (std::isinf(x)) {
    out += x < 0 ? "-INF" : "INF";
    return;
  }
  if (std::isnan(x)) {
    out += "NAN";
    return;
  }
  // Whole numbers below the bound show all their digits, and they are most results, so
  // they skip the digit cut.
  if (std::fabs(x) < kWholeTextBound && x == std::trunc(x)) {
    char whole[24];
    const auto end = std::to_chars(whole, whole + sizeof whole, static_cast<long long>(x)).ptr;
    out.append(whole, end);
    return;
  }
  const ShownDigits shown = CutDigits(std::fabs(x));
  const std::string_view digits(shown.digits, static_cast<std::size_t>(shown.count));
  TextBuffer text;
  if (x < 0) text.Put('-');
  if (shown.exponent >= -3 && shown.exponent <= kResultDigits) {
    PutPositional(text, digits, shown.exponent, separator);
  } else {
    PutScientific(text, digits, shown.exponent, separator);
  }
  out.append(text.text, text.n);
}

// Every result comes back unchanged. Say y is the double nearest to the 15-digit value D
// of the text. Then |y - D| <= D * 2^-53, less than 1.12 units of D's 16th digit, and
// the 18 digits of y are those of D followed by 0 or 1 in the 16th place (y >= D), or
// those of D less one unit of the 15th digit followed by 8 or 9 (y < D; also just below
// a power of ten, where y's digits are a decade smaller). Either way the cut gives D
// again, and D reads back as y.
namespace {

// RoundTripReal for the values the one product does not decide, out of line so that the
// common case needs no registers saved.
[[gnu::noinline]] bool RoundTripRest(double x, double& out) {
  if (x == 0.0) {
    out = 0.0;
    return true;
  }
  const double magnitude = std::fabs(x);
  // Whole numbers below the bound are written with all their digits.
  if (magnitude < kWholeTextBound && x == static_cast<double>(static_cast<std::int64_t>(x))) {
    out = x;
    return true;
  }
  // Near the ends of the range the text may overflow or fall below the normal doubles;
  // those few values are left to the texts themselves.
  if (!(magnitude >= 1E-300 && magnitude <= 1E300)) return false;
  if (MagnitudeRoundTrip(magnitude, out)) {
    if (x < 0) out = -out;
    return true;
  }
  return false;
}

}  // namespace

bool RoundTripReal(double x, double& out, bool* fixed) {
  if (fixed != nullptr) *fixed = true;
  // Most values lie where the one product decides, whole numbers among them (their 15
  // digits are exact, so the product gives them back): it goes first. It refuses 0, the
  // values outside its range and those that are no number.
  if (QuickRoundTripReal(x, out)) return true;
  return RoundTripRest(x, out);
}

RoundTripKind RoundTripPath() {
#if defined(OMBRIX_WIDE_ROUND_TRIP) && defined(OMBRIX_EXTENDED_ROUND_TRIP)
  return RoundTripKind::kQuick;
#elif defined(OMBRIX_WIDE_ROUND_TRIP)
  return RoundTripKind::kWide;
#elif defined(OMBRIX_EXTENDED_ROUND_TRIP)
  return RoundTripKind::kExtended;
#else
  return RoundTripKind::kPortable;
#endif
}

std::string ComplexToText(TComplex z) {
  if (z.Re == 0.0 && z.Im == 0.0) return "0";
  if (z.Re == 0.0 && z.Im == 1.0) return "i";
  if (z.Re == 0.0 && z.Im == -1.0) return "-i";
  if (z.Re == 0.0) return RealToText(z.Im) + "*i";
  if (z.Im == 0.0) return RealToText(z.Re);
  if (z.Im == 1.0) return RealToText(z.Re) + "+i";
  if (z.Im == -1.0) return RealToText(z.Re) + "-i";
  if (z.Im < 0.0) return RealToText(z.Re) + "-" + RealToText(-z.Im) + "*i";
  return RealToText(z.Re) + "+" + RealToText(z.Im) + "*i";
}

std::string RemoveSpaces(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    if (c != ' ') out += c;
  }
  return out;
}

}  // namespace ombrix
