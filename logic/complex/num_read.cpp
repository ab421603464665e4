// Reading a real number text: its parts scanned by hand, its value read through
// from_chars, faulting nowhere (ReadReal) or with the platform's fault (TextToReal).
#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>
#include <system_error>

#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"
#include "logic/complex/real_chars.h"

namespace ombrix {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

namespace {

// The significant digits of a number text, which may be split by the decimal separator:
// `head` (the integer digits from the first non-zero one) followed by `tail`.
struct Digits {
  std::string_view head;
  std::string_view tail;

  std::size_t size() const { return head.size() + tail.size(); }
  char operator[](std::size_t k) const { return k < head.size() ? head[k] : tail[k - head.size()]; }
  // Without trailing zeros; the first digit is never '0'.
  Digits Trimmed() const {
    Digits d = *this;
    while (d.size() > 1 && d[d.size() - 1] == '0') {
      if (!d.tail.empty()) {
        d.tail.remove_suffix(1);
      } else {
        d.head.remove_suffix(1);
      }
    }
    return d;
  }
  // Compared as texts are: digit by digit, a shorter text before a longer one it begins.
  bool GreaterThan(std::string_view other) const {
    const std::size_t n = std::min(size(), other.size());
    for (std::size_t k = 0; k < n; ++k) {
      if ((*this)[k] != other[k]) return (*this)[k] > other[k];
    }
    return size() > other.size();
  }
};

// from_chars on "0.<digits>e<exponent>": the text's value with its digits normalised. It
// goes through a buffer on the stack unless the digits are very many.
std::errc ReadNormalised(const Digits& digits, long exponent, double& value) {
  char buffer[128];
  const std::size_t size = digits.size() + 2 + 1 + 21;
  std::string heap;
  char* out = buffer;
  if (size > sizeof buffer) {
    heap.resize(size);
    out = heap.data();
  }
  char* p = out;
  *p++ = '0';
  *p++ = '.';
  p = std::copy(digits.head.begin(), digits.head.end(), p);
  p = std::copy(digits.tail.begin(), digits.tail.end(), p);
  *p++ = 'e';
  p = std::to_chars(p, out + size, exponent).ptr;
  return RealFromChars(out, p, value).ec;
}

}  // namespace

namespace {

// A number text taken apart as it is read: blanks, a sign, integer digits, the separator
// and fraction digits, an exponent, blanks.
struct NumberParts {
  bool negative = false;
  std::size_t int_start = 0;
  std::string_view int_digits;
  std::string_view frac_digits;
  bool had_separator = false;
  long exponent = 0;
  std::size_t number_end = 0;  // what from_chars may read straight from the text
};

// The exponent after "e" or "E" from `i`. Digits are taken while the exponent is below
// 500; a digit left over makes the text invalid afterwards.
void ScanExponent(std::string_view s, std::size_t& i, NumberParts& parts) {
  const std::size_t n = s.size();
  ++i;
  bool exp_negative = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) {
    exp_negative = s[i] == '-';
    ++i;
  }
  const std::size_t exp_digits = i;
  long exponent = 0;
  while (i < n && IsDigit(s[i]) && exponent < 500) {
    exponent = exponent * 10 + (s[i] - '0');
    ++i;
  }
  if (i > exp_digits) parts.number_end = i;  // "1E" and "1e+" read as 1
  parts.exponent = exp_negative ? -exponent : exponent;
}

// False where `s` is no number text under the separator `sep`.
bool ScanNumberText(std::string_view s, char sep, NumberParts& parts) {
  const std::size_t n = s.size();
  std::size_t i = 0;
  while (i < n && s[i] == ' ') ++i;
  if (i < n && (s[i] == '+' || s[i] == '-')) {
    parts.negative = s[i] == '-';
    ++i;
  }
  parts.int_start = i;
  while (i < n && IsDigit(s[i])) ++i;
  parts.int_digits = s.substr(parts.int_start, i - parts.int_start);
  if (i < n && s[i] == sep) {
    parts.had_separator = true;
    ++i;
    const std::size_t frac_start = i;
    while (i < n && IsDigit(s[i])) ++i;
    parts.frac_digits = s.substr(frac_start, i - frac_start);
  }
  if (parts.int_digits.empty() && !parts.had_separator) return false;
  parts.number_end = i;
  if (i < n && (s[i] == 'e' || s[i] == 'E')) ScanExponent(s, i, parts);
  while (i < n && s[i] == ' ') ++i;
  return i == n;
}

// The significant digits and the decimal position of the first one: value = 0.digits *
// 10^magnitude before the exponent. False where every digit is zero.
bool SignificantDigits(const NumberParts& parts, Digits& digits, long& magnitude) {
  const std::string_view int_digits = parts.int_digits;
  const std::string_view frac_digits = parts.frac_digits;
  std::size_t k = 0;
  while (k < int_digits.size() && int_digits[k] == '0') ++k;
  if (k < int_digits.size()) {
    digits = {int_digits.substr(k), frac_digits};
    magnitude = static_cast<long>(int_digits.size() - k);
    return true;
  }
  std::size_t f = 0;
  while (f < frac_digits.size() && frac_digits[f] == '0') ++f;
  if (f == frac_digits.size()) return false;
  digits = {frac_digits.substr(f), {}};
  magnitude = -static_cast<long>(f);
  return true;
}

// The magnitude of a number text with non-zero digits, or why it has none.
RealRead ReadMagnitude(std::string_view s, char sep, const NumberParts& parts, const Digits& digits,
                       long decimal_exponent, double& value) {
  // Beyond the extended range (about 1.19E4932) the platform refuses the text outright;
  // between the double and the extended range it overflows.
  if (decimal_exponent > 4933) return RealRead::kInvalid;
  if (decimal_exponent == 4933 && digits.Trimmed().GreaterThan("118973149535723176502"))
    return RealRead::kInvalid;
  if (decimal_exponent > 310) return RealRead::kOverflow;
  value = 0.0;
  if (decimal_exponent < -400) return RealRead::kNumber;

  // from_chars rounds correctly, so the text as written and its normalised digits give
  // the same double; the text itself serves where its separator is the one from_chars
  // reads.
  bool read = false;
  std::errc ec{};
  if (!parts.had_separator || sep == '.') {
    const char* const last = s.data() + parts.number_end;
    const std::from_chars_result direct = RealFromChars(s.data() + parts.int_start, last, value);
    read = direct.ec == std::errc() && direct.ptr == last;
  }
  if (!read) ec = ReadNormalised(digits, decimal_exponent, value);
  if (ec == std::errc::result_out_of_range) {
    if (decimal_exponent > 0) return RealRead::kOverflow;
    value = 0.0;  // underflow is silent
  } else if (ec != std::errc()) {
    return RealRead::kInvalid;
  }
  return RealRead::kNumber;
}

}  // namespace

RealRead ReadReal(std::string_view s, double& value) {
  const char sep = DecimalSeparator();
  NumberParts parts;
  if (!ScanNumberText(s, sep, parts)) return RealRead::kInvalid;
  Digits digits;
  long magnitude = 0;
  value = 0.0;
  if (SignificantDigits(parts, digits, magnitude)) {
    const RealRead read = ReadMagnitude(s, sep, parts, digits, magnitude + parts.exponent, value);
    if (read != RealRead::kNumber) return read;
  }
  if (parts.negative) value = -value;
  return RealRead::kNumber;
}

double TextToReal(std::string_view s) {
  double value = 0.0;
  switch (ReadReal(s, value)) {
    case RealRead::kNumber:
      break;
    case RealRead::kInvalid:
      ThrowInvalidFloat(std::string(s));
    case RealRead::kOverflow:
      throw Fault(kFaultOverflow);
  }
  return value;
}

}  // namespace ombrix
