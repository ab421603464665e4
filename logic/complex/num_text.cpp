#include "logic/complex/num_text.h"

#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>

#include "logic/complex/fault.h"

namespace ombrix {

namespace {

std::atomic<char> g_decimal_separator{','};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

char DecimalSeparator() { return g_decimal_separator.load(std::memory_order_relaxed); }

void SetDecimalSeparator(char separator) {
  g_decimal_separator.store(separator, std::memory_order_relaxed);
}

std::string RealToText(double x) {
  if (std::isinf(x)) return x < 0 ? "-INF" : "INF";
  if (std::isnan(x)) return "NAN";
  if (x == 0.0) return "0";

  // 18 significant digits, correctly rounded: d.ddddddddddddddddde+XX
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(x),
                                    std::chars_format::scientific, 17);
  const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
  const std::size_t e_pos = text.find('e');
  std::string digits;
  digits.reserve(18);
  for (std::size_t i = 0; i < e_pos; ++i) {
    if (IsDigit(text[i])) digits += text[i];
  }
  int exponent = std::atoi(std::string(text.substr(e_pos + 1)).c_str()) + 1;

  // Cut to 15 digits by the 16th digit alone.
  const bool round_up = digits[15] >= '5';
  digits.resize(15);
  if (round_up) {
    int i = 14;
    while (i >= 0 && digits[static_cast<std::size_t>(i)] == '9') {
      digits[static_cast<std::size_t>(i)] = '0';
      --i;
    }
    if (i < 0) {
      digits = "1";
      ++exponent;
    } else {
      ++digits[static_cast<std::size_t>(i)];
    }
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  const char sep = DecimalSeparator();
  std::string out;
  if (x < 0) out += '-';
  if (exponent >= -3 && exponent <= 15) {
    if (exponent <= 0) {
      out += '0';
      out += sep;
      out.append(static_cast<std::size_t>(-exponent), '0');
      out += digits;
    } else {
      const auto e = static_cast<std::size_t>(exponent);
      if (digits.size() <= e) {
        out += digits;
        out.append(e - digits.size(), '0');
      } else {
        out.append(digits, 0, e);
        out += sep;
        out.append(digits, e);
      }
    }
  } else {
    out += digits[0];
    if (digits.size() > 1) {
      out += sep;
      out.append(digits, 1);
    }
    out += 'E';
    const int shown = exponent - 1;
    if (shown < 0) out += '-';
    out += std::to_string(shown < 0 ? -shown : shown);
  }
  return out;
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

double TextToReal(std::string_view s) {
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
  while (i < n && IsDigit(s[i])) ++i;
  const std::string_view int_digits = s.substr(int_start, i - int_start);
  std::string_view frac_digits;
  bool had_separator = false;
  if (i < n && s[i] == sep) {
    had_separator = true;
    ++i;
    const std::size_t frac_start = i;
    while (i < n && IsDigit(s[i])) ++i;
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
    while (i < n && IsDigit(s[i]) && exponent < 500) {
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

std::string RemoveSpaces(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    if (c != ' ') out += c;
  }
  return out;
}

}  // namespace ombrix
