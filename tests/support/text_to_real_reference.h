// The reading of real number texts in its plainest form: the significant digits copied
// into "0.<digits>e<exponent>" and read with from_chars. Tests compare the reading
// without copies against it, value bits and faults alike.
#pragma once

#include <bit>
#include <charconv>
#include <cstdint>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"

namespace ombrix::testing {

inline bool Digit(char c) { return c >= '0' && c <= '9'; }

inline double TextToRealReference(std::string_view s) {
  const char sep = DecimalSeparator();
  const std::size_t n = s.size();
  std::size_t i = 0;
  while (i < n && s[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  const std::size_t int_start = i;
  while (i < n && Digit(s[i])) ++i;
  const std::string_view int_digits = s.substr(int_start, i - int_start);
  std::string_view frac_digits;
  bool had_separator = false;
  if (i < n && s[i] == sep) {
    had_separator = true;
    ++i;
    const std::size_t frac_start = i;
    while (i < n && Digit(s[i])) ++i;
    frac_digits = s.substr(frac_start, i - frac_start);
  }
  if (int_digits.empty() && !had_separator) ThrowInvalidFloat(std::string(s));

  long exponent = 0;
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    bool exp_negative = false;
    if (i < n && (s[i] == '+' || s[i] == '-')) {
      exp_negative = s[i] == '-';
      ++i;
    }
    // Digits are taken while the exponent is below 500; a digit left over makes the
    // text invalid below.
    while (i < n && Digit(s[i]) && exponent < 500) {
      exponent = exponent * 10 + (s[i] - '0');
      ++i;
    }
    if (exp_negative) exponent = -exponent;
  }
  while (i < n && s[i] == ' ') ++i;
  if (i != n) ThrowInvalidFloat(std::string(s));

  // Significant digits and the decimal position of the first one.
  std::string mantissa;
  long magnitude = 0;  // value = 0.mantissa * 10^magnitude before the exponent
  std::size_t k = 0;
  while (k < int_digits.size() && int_digits[k] == '0') ++k;
  if (k < int_digits.size()) {
    mantissa.assign(int_digits.substr(k));
    mantissa.append(frac_digits);
    magnitude = static_cast<long>(int_digits.size() - k);
  } else {
    std::size_t f = 0;
    while (f < frac_digits.size() && frac_digits[f] == '0') ++f;
    if (f == frac_digits.size()) return negative ? -0.0 : 0.0;
    mantissa.assign(frac_digits.substr(f));
    magnitude = -static_cast<long>(f);
  }
  const long decimal_exponent = magnitude + exponent;
  // Beyond the extended range (about 1.19E4932) the platform refuses the text outright;
  // between the double and the extended range it overflows.
  if (decimal_exponent > 4933) ThrowInvalidFloat(std::string(s));
  if (decimal_exponent == 4933) {
    while (mantissa.size() > 1 && mantissa.back() == '0') mantissa.pop_back();
    if (mantissa > "118973149535723176502") ThrowInvalidFloat(std::string(s));
  }
  if (decimal_exponent > 310) throw Fault(kFaultOverflow);
  if (decimal_exponent < -400) return negative ? -0.0 : 0.0;

  std::string normal = "0.";
  normal += mantissa;
  normal += 'e';
  normal += std::to_string(decimal_exponent);
  double value = 0.0;
  const auto parsed = std::from_chars(normal.data(), normal.data() + normal.size(), value);
  if (parsed.ec == std::errc::result_out_of_range) {
    if (decimal_exponent > 0) throw Fault(kFaultOverflow);
    value = 0.0;  // underflow is silent
  } else if (parsed.ec != std::errc()) {
    ThrowInvalidFloat(std::string(s));
  }
  return negative ? -value : value;
}

// What reading a text gives: the value's bits, or the fault's message.
struct Reading {
  std::uint64_t bits = 0;
  std::string fault;
  bool operator==(const Reading&) const = default;
};

inline Reading BitsOf(double value) { return {std::bit_cast<std::uint64_t>(value), {}}; }

template <class Read>
Reading ReadingOf(Read&& read) {
  try {
    return BitsOf(read());
  } catch (const Fault& fault) {
    return {0, fault.what()};
  }
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
    const double value = std::bit_cast<double>(std::uint64_t{random()} << 32 | random());
    if (below(2) == 0) {
      text = RealToText(value);
    } else {
      char buffer[64];
      const auto end =
          std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 16);
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
