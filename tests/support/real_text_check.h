// Reading real number texts without TextToReal: the grammar as one regular expression,
// the value from the C library's strtod, the platform's refusal beyond the extended range
// from strtold. Tests compare TextToReal with it, value bits and faults alike.
#pragma once

#include <locale.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <random>
#include <regex>
#include <string>
#include <string_view>

#include "logic/complex/bits.h"
#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"
#include "logic/complex/real_chars.h"

namespace ombrix::testing {

// What reading a text gives: the value's bits, or the fault's message.
struct Reading {
  std::uint64_t bits = 0;
  std::string fault;
  bool operator==(const Reading&) const = default;
};

inline Reading BitsOf(double value) { return {BitCast<std::uint64_t>(value), {}}; }

template <class Read>
Reading ReadingOf(Read&& read) {
  try {
    return BitsOf(read());
  } catch (const Fault& fault) {
    return {0, fault.what()};
  }
}

// What TextToReal should give for `s` under the separator `sep`; none for the values
// strtold rounds to the top of the extended range, where the platform's refusal is decided
// by the digits alone (fixed rows test those).
inline std::optional<Reading> IndependentReading(std::string_view s, char sep) {
  // Blanks, sign, integer digits, separator and fraction digits, an exponent whose digits
  // may be missing, blanks.
  static const std::regex kComma(" *([+-]?)([0-9]*)(,([0-9]*))?([eE]([+-]?)([0-9]*))? *");
  static const std::regex kPoint(" *([+-]?)([0-9]*)(\\.([0-9]*))?([eE]([+-]?)([0-9]*))? *");
  static const locale_t kC = ::newlocale(LC_ALL_MASK, "C", nullptr);
  const std::string text(s);
  const Reading invalid = ReadingOf([&]() -> double { ThrowInvalidFloat(text); });
  std::smatch m;
  if (!std::regex_match(text, m, sep == ',' ? kComma : kPoint)) return invalid;
  if (m[2].length() == 0 && !m[3].matched) return invalid;
  // The exponent is read while it stays below 500: its value, leading zeros aside, is
  // at most 4999.
  std::string exponent = m[7].str();
  exponent.erase(0, exponent.find_first_not_of('0') == std::string::npos
                        ? exponent.size()
                        : exponent.find_first_not_of('0'));
  if (exponent.size() > 4 || (!exponent.empty() && std::stoi(exponent) >= 5000)) return invalid;

  std::string c_text = m[1].str() + (m[2].length() == 0 ? "0" : m[2].str()) + "." + m[4].str();
  if (m[7].length() > 0) c_text += "e" + m[6].str() + m[7].str();
  const long double wide = ::strtold_l(c_text.c_str(), nullptr, kC);
  if (std::isinf(wide)) return invalid;
  if (std::fabs(wide) >= 1.18973149535723176502E4932L) return std::nullopt;
  const double value = ::strtod_l(c_text.c_str(), nullptr, kC);
  if (std::isinf(value)) return ReadingOf([]() -> double { throw Fault(kFaultOverflow); });
  return BitsOf(value);
}

// A text near the grammar of real numbers under `separator`: blanks, a sign, integer and
// fraction digits (few or very many, leading zeros too), the separator or the other one,
// an exponent with or without sign and digits, now and then a stray character; or a
// double written as RealToText writes it or with 17 digits.
inline std::string RandomRealText(std::mt19937& random, char separator) {
  const auto below = [&](unsigned n) { return static_cast<unsigned>(random() % n); };
  const auto digits = [&](std::string& out) {
    static constexpr unsigned kLengths[] = {0, 1, 1, 2, 3, 5, 15, 16, 17, 19, 25, 40, 130};
    const unsigned length = kLengths[below(std::size(kLengths))];
    const bool zeros = below(4) == 0;
    for (unsigned k = 0; k < length; ++k)
      out += zeros && k < length / 2 ? '0' : static_cast<char>('0' + below(10));
  };
  std::string text;
  if (below(4) == 0) {
    const double value = BitCast<double>(std::uint64_t{random()} << 32 | random());
    if (below(2) == 0) {
      text = RealToText(value);
    } else {
      char buffer[64];
      const auto end = ScientificChars(buffer, buffer + sizeof buffer, value, 16);
      text.assign(buffer, end.ptr);
      for (char& c : text) {
        if (c == '.') c = separator;
      }
    }
    return text;
  }
  if (below(8) == 0) text.append(1 + below(2), ' ');
  if (below(3) == 0) text += below(2) == 0 ? '-' : '+';
  digits(text);
  if (below(2) == 0) {
    text += below(10) == 0 ? (separator == ',' ? '.' : ',') : separator;
    digits(text);
  }
  if (below(2) == 0) {
    text += below(2) == 0 ? 'e' : 'E';
    if (below(2) == 0) text += below(2) == 0 ? '-' : '+';
    if (below(6) == 0) text.append(below(40), '0');
    const unsigned length = below(5);
    for (unsigned k = 0; k < length; ++k) text += static_cast<char>('0' + below(10));
  }
  if (below(10) == 0) text.append(1 + below(2), ' ');
  if (below(20) == 0) {
    static constexpr char kStray[] = "0123456789+-eE.,| x";
    text.insert(below(static_cast<unsigned>(text.size()) + 1), 1, kStray[below(sizeof kStray - 1)]);
  }
  return text;
}

}  // namespace ombrix::testing
