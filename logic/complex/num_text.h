// Numbers as texts, and the one process-wide setting: the decimal separator.
#pragma once

#include <atomic>
#include <string>
#include <string_view>

#include "logic/complex/complex.h"

namespace ombrix {

namespace detail {
extern std::atomic<char> g_decimal_separator;
}  // namespace detail

// ',' or '.', from the regional settings; the platform layer sets it. Inline: every
// evaluation through a plan checks it.
inline char DecimalSeparator() {
  return detail::g_decimal_separator.load(std::memory_order_relaxed);
}
void SetDecimalSeparator(char separator);

// 10^n, at compile time: exact for 0 <= n <= 22, correctly rounded below.
constexpr double PowerOfTen(int n) {
  double power = 1.0;
  for (int k = 0; k < (n < 0 ? -n : n); ++k) power *= 10.0;
  return n < 0 ? 1.0 / power : power;
}
// The significant digits a result text keeps.
inline constexpr int kResultDigits = 15;
// Whole numbers below this have no more digits than a text keeps: their text is the
// number itself, and it reads back as itself.
inline constexpr double kWholeTextBound = PowerOfTen(kResultDigits);
// What reading a result's text moves its value by at most, relative to it: less than one
// unit of its last digit.
inline constexpr double kReadMovesLessThan = PowerOfTen(1 - kResultDigits);

// General format, kResultDigits significant digits, the current decimal separator.
std::string RealToText(double x);
// The same text under `separator`, appended to `out`: the one writer of the result text,
// which every other writer of numbers calls.
void AppendRealText(std::string& out, double x, char separator);
// Display form: 3+4*i, i, -2,5*i.
std::string ComplexToText(TComplex z);
// TextToReal(RealToText(x)), bit for bit, without building the text. False where that
// would fault or the text would be no number (infinite, not a number), and for the few
// magnitudes beyond 1E300 or below 1E-300, which are left to the texts.
// `fixed`, when given, tells whether `out` is known to come back unchanged itself: it
// always does, so a value that has made the trip once needs no second one.
[[nodiscard]] bool RoundTripReal(double x, double& out, bool* fixed = nullptr);
// How RoundTripReal finds its result: with 128-bit integers and an extended long double,
// with only one of them, or through the digits alone (where the platform lacks both, or
// the build asks for it). All give the same bits.
enum class RoundTripKind { kQuick, kWide, kExtended, kPortable };
RoundTripKind RoundTripPath();
// What reading a real number text came to; the last two are faults where a text is read.
enum class RealRead : unsigned char { kNumber, kInvalid, kOverflow };
// Reads a real number text into `value` (when it is a number), faulting nowhere.
[[nodiscard]] RealRead ReadReal(std::string_view s, double& value);
// Reads a real number text; throws Fault on an invalid text or an overflow.
double TextToReal(std::string_view s);
// Removes every space (code 32); tabs stay.
std::string RemoveSpaces(std::string_view s);

}  // namespace ombrix
