// The pieces of the term language that the text path and the plans share: the bracket
// scan, the operand scan, the operand list and its passes, the comparison and overflow
// rules. Sharing them keeps the two readings of a term one and the same.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "logic/complex/complex.h"
#include "logic/complex/cp1252.h"
#include "logic/complex/exact_maths.h"
#include "logic/complex/interrupt.h"
#include "logic/complex/num_text.h"
#include "logic/evaluator/power_memo.h"

namespace ombrix {

class MessageBoxes;

// Entries of one operand list.
inline constexpr std::size_t kMaxOperandEntries = 128;

inline bool IsOperatorChar(char c) {
  switch (c) {
    case '+':
    case '-':
    case '*':
    case '/':
    case '^':
    case '%':
    case '&':
    case '\\':
      return true;
    default:
      return false;
  }
}

// The position of the ")" that closes the "(" at `open`, or npos when none does.
inline std::size_t MatchingClose(std::string_view s, std::size_t open) {
  std::ptrdiff_t depth = 1;
  for (std::size_t j = open + 1; j < s.size(); ++j) {
    if (s[j] == '(') {
      ++depth;
    } else if (s[j] == ')' && --depth == 0) {
      return j;
    }
  }
  return std::string_view::npos;
}

// One past the ")" that closes the "(" at `open`, or the end of the text when none does.
inline std::size_t MatchEnd(std::string_view s, std::size_t open) {
  const std::size_t close = MatchingClose(s, open);
  return close == std::string_view::npos ? s.size() : close + 1;
}

// "<" and anything else taken as ">", of real sides; an error code for a non-real one.
inline char CompareOrdered(char op, TComplex left, TComplex right) {
  if (!IsRealValue(left) || !IsRealValue(right)) return '?';
  if (op == '<') return left.Re < right.Re ? '1' : '0';
  return left.Re > right.Re ? '1' : '0';
}

// Compares two number texts; "1"/"0", or an error code when < or > meet a non-real side.
// "<" and ">", the comparisons of drawing loops, are told first.
inline char CompareValues(char op, TComplex left, TComplex right) {
  if (op == '<' || op == '>') return CompareOrdered(op, left, right);
  switch (op) {
    case '=':
      return left == right ? '1' : '0';
    case '#':
      return left == right ? '0' : '1';
    case '~':
      return ComplexAbs(left - right) < ZeroCutThreshold ? '1' : '0';
    default:
      return CompareOrdered(op, left, right);
  }
}

// The overflow test of a value: the sum of its parts past the limit. A sum within the
// limit either way (most values) is finite, so its addition cannot have faulted.
inline bool Overflows(TComplex v) {
  const double sum = v.Re + v.Im;
  if (std::fabs(sum) <= PowerOverflowLimit) [[likely]]
    return false;
  return CheckOverflow(sum, v.Re, v.Im) > PowerOverflowLimit;
}

// ln x of a positive normal x at compile time (std::log is not constexpr): x = m * 2^e
// with m in [1, 2), and ln m = 2 atanh((m - 1) / (m + 1)) by its series.
constexpr double CompileTimeLn(double x) {
  constexpr double kLn2 = 0.693147180559945309417;
  int e = 0;
  while (x >= 2.0) {
    x /= 2.0;
    ++e;
  }
  while (x < 1.0) {
    x *= 2.0;
    --e;
  }
  const double t = (x - 1.0) / (x + 1.0);
  double term = t, sum = 0.0;
  for (int k = 1; k < 60; k += 2) {
    sum += term / k;
    term *= t * t;
  }
  return 2.0 * sum + e * kLn2;
}
// Rounded up to a tenth: the estimate below errs on the side of more products.
constexpr double UpToATenth(double x) {
  const double tenths = x * 10.0;
  auto whole = static_cast<long long>(tenths);
  if (static_cast<double>(whole) < tenths) ++whole;
  return static_cast<double>(whole) / 10.0;
}
// How far the logarithm of a power's modulus goes before the power stops: up to the
// overflow limit, or down to the zero cut.
inline constexpr double kLnOverflowLimit = UpToATenth(CompileTimeLn(PowerOverflowLimit));
inline constexpr double kLnZeroCut = UpToATenth(-CompileTimeLn(ZeroCutThreshold));
static_assert(kLnOverflowLimit > 0.0 && kLnZeroCut > 0.0);

// A power is formed by one product per unit of the exponent. It ends early when the
// modulus passes the overflow limit (after about kLnOverflowLimit / ln|a| products) or the
// products are cut to 0 (about kLnZeroCut / -ln|a|) or reach exactly 1 (1, -1, i, -i).
// This estimate, at most twice the count, is charged to the evaluation's budget.
inline double EstimatedProducts(TComplex base, double exponent) {
  const double n = std::fabs(exponent);
  if (n <= 4.0) return n;  // the short powers of drawing loops, whatever their base
  const double square = base.Re * base.Re + base.Im * base.Im;  // no fault: only compared
  const bool unit = (base.Im == 0.0 && (base.Re == 1.0 || base.Re == -1.0)) ||
                    (base.Re == 0.0 && (base.Im == 1.0 || base.Im == -1.0));
  if (square == 0.0 || unit || !(square < HUGE_VAL)) return 4.0;
  const double log_modulus = 0.5 * exact::Log(square);
  if (log_modulus > 0.0) return std::min(n, 2.0 * kLnOverflowLimit / log_modulus + 4.0);
  if (log_modulus < 0.0) return std::min(n, 2.0 * kLnZeroCut / -log_modulus + 4.0);
  return n;
}

struct Entry {
  char op;
  double re, im;
  TComplex Value() const { return TComplex{re, im}; }
  void Set(TComplex v) {
    re = v.Re;
    im = v.Im;
  }
};

// The operands of a bracket-free term with the operator before each. Left uninitialised
// until filled: a list is made for every arithmetic step.
struct OperandList {
  Entry entries[kMaxOperandEntries];
  std::size_t count = 0;
  std::string_view last_operand;  // what an overflow reports

  // Entry e is merged into entry e - 1.
  void Merge(std::size_t e, TComplex value) {
    entries[e - 1].Set(value);
    std::copy(entries + e + 1, entries + count, entries + e);
    --count;
  }
};

// Whether the characters of an operand so far are a number's mantissa: digits with at
// most one decimal separator, at least one digit. Only then does a sign after "e" belong
// to an exponent; after a name ("summe-1", "e+1") it is the next operator.
class MantissaScan {
 public:
  bool Holds() const { return still_ && digits_; }
  void Add(char ch) {
    if (ch == '[' || ch == '|') {
      // A pair text's part inside an odd operand ("x[1E-5|0]") is a number of its own.
      *this = MantissaScan{};
      return;
    }
    if (!still_) return;
    if (ch >= '0' && ch <= '9') {
      digits_ = true;
    } else if (!separated_ && ch == DecimalSeparator()) {
      separated_ = true;
    } else {
      still_ = false;
    }
  }

 private:
  bool still_ = true;
  bool digits_ = false;
  bool separated_ = false;
};

// ScanOperand of an operand that is a pair text after its signs, "[re|im]", from w[c] = w[i]:
// the signs before the "[" count, and the operand ends after the "]" (or at the text's end).
inline std::size_t ScanPairOperand(std::string_view w, std::size_t& i, double& sign) {
  const std::size_t n = w.size();
  std::size_t c = i;
  bool passed = false;
  while (c + 1 < n && w[c] != ']') {
    if (!passed) {
      if (w[c] == '-') {
        sign = -sign;
        ++i;
      } else if (w[c] == '+') {
        ++i;
      } else if (w[c] == '[') {
        passed = true;
      }
    }
    ++c;
  }
  return c + 1;
}

// Reads the operator and operand starting at w[i]: moves `i` past the signs in front of
// the operand and returns one past its end; `sign` is the product of those signs.
inline std::size_t ScanOperand(std::string_view w, std::size_t& i, double& sign) {
  const std::size_t n = w.size();
  std::size_t look = i;
  while (look < n && (w[look] == '+' || w[look] == '-')) ++look;
  if (look < n && w[look] == '[') return ScanPairOperand(w, i, sign);
  std::size_t c = i;
  bool at_start = true;
  MantissaScan mantissa;
  while (c < n && !(IsOperatorChar(w[c]) && !at_start)) {
    const char ch = w[c];
    if (ch == '-') {
      sign = -sign;
      ++i;
    } else if (ch == '+') {
      ++i;
    } else {
      at_start = false;
      const bool exponent_sign =
          c + 1 < n && LowerChar1252(ch) == 'e' && (w[c + 1] == '-' || w[c + 1] == '+');
      if (exponent_sign && mantissa.Holds()) ++c;
      mantissa.Add(ch);
    }
    ++c;
  }
  return c;
}

// What a pass met instead of a value; the text path turns it into its error text.
enum class PassFailure : unsigned char {
  None,
  BadOperand,       // an operand its operator refuses: the working text is named
  DivisionByZero,   // "/" by 0
  RemainderByZero,  // "%" by 0
  Overflow,         // a power past the limit: the last operand is named
};

// What the power pass forms its powers with.
struct PowerWork {
  double& products;      // charged so far in this evaluation
  double budget;         // what all powers of the evaluation may take together
  MessageBoxes& boxes;   // the division message of a negative power
  Interrupt* interrupt;  // asked inside long powers; may be none
  PowerMemo* memo;       // long powers formed before; may be none
};

// One "^": `base` to the power `exponent` as the power pass forms it, its products
// charged against the budget and the overflow test applied, or what it met instead.
[[gnu::always_inline]] inline PassFailure PowerOf(TComplex base, TComplex exponent,
                                                  const PowerWork& work, TComplex& power) {
  if (!IsIntegerValue(exponent)) return PassFailure::BadOperand;
  if (exponent.Re < 0.0 && base.Re == 0.0 && base.Im == 0.0) return PassFailure::BadOperand;
  work.products += EstimatedProducts(base, exponent.Re);
  if (work.products > work.budget) return PassFailure::BadOperand;
  const auto n = static_cast<std::int32_t>(exponent.Re);
  if (n == 2) {
    // A square whose parts' magnitudes sum to at most half the limit is its product cut:
    // both parts are finite, and the cut pair lies far inside the power's limit and the
    // overflow test. Other squares take the steps below.
    const TComplex uncut = UncutProduct(base, base);
    if (std::fabs(uncut.Re) + std::fabs(uncut.Im) <= PowerOverflowLimit / 2) [[likely]] {
      power = MakeComplex(uncut.Re, uncut.Im);
      return PassFailure::None;
    }
  }
  const bool kept = work.memo != nullptr && PowerMemo::WorthKeeping(n);
  if (!kept || !work.memo->Find(base, n, power)) {
    power = ComplexPowInt(base, n, work.boxes, work.interrupt);
    if (kept) work.memo->Keep(base, n, power);
  }
  if (Overflows(power)) return PassFailure::Overflow;
  return PassFailure::None;
}

// The power pass: "^" first, from the left. Inline with the other passes: they run at
// every arithmetic step.
inline PassFailure PowerPass(OperandList& list, const PowerWork& work) {
  for (std::size_t e = 1; e < list.count;) {
    if (list.entries[e].op != '^') {
      ++e;
      continue;
    }
    TComplex power;
    const PassFailure failure =
        PowerOf(list.entries[e - 1].Value(), list.entries[e].Value(), work, power);
    if (failure != PassFailure::None) return failure;
    list.Merge(e, power);
  }
  return PassFailure::None;
}

// Whether the product pass applies operator `op`.
inline bool IsProductOperator(char op) {
  return op == '*' || op == '/' || op == '%' || op == '&' || op == '\\';
}

// std::fmod(a, b): for whole numbers below 2^53, which int64 holds exactly, the integer
// remainder is that same exact value, with the dividend's sign (a zero one included).
inline double Remainder(double a, double b) {
  constexpr double kExactWhole = 9007199254740992.0;  // 2^53
  // Both magnitudes lie below the bound where their sum does (rounding keeps the order).
  if (std::fabs(a) + std::fabs(b) < kExactWhole) {
    const auto x = static_cast<std::int64_t>(a);
    const auto y = static_cast<std::int64_t>(b);
    if (static_cast<double>(x) == a && static_cast<double>(y) == b && y != 0) {
      const std::int64_t r = x % y;
      return r != 0 ? static_cast<double>(r) : std::copysign(0.0, a);
    }
  }
  return std::fmod(a, b);
}

// One of "*", "/", "%", "&" and "\": `a` op `b` as the product pass combines them, or
// what it met instead.
inline PassFailure ProductOf(char op, TComplex a, TComplex b, MessageBoxes& boxes,
                             TComplex& product) {
  const auto b_zero = [b] { return b.Re == 0.0 && b.Im == 0.0; };
  switch (op) {
    case '*':
      product = a * b;
      break;
    case '/':
      if (b_zero()) return PassFailure::DivisionByZero;
      product = ComplexDiv(a, b, boxes);
      break;
    case '%':
      if (b_zero()) return PassFailure::RemainderByZero;
      if (!IsRealValue(a) || !IsRealValue(b)) return PassFailure::BadOperand;
      product = ComplexFromReal(Remainder(a.Re, b.Re));
      break;
    default: {  // '&' and '\'
      if (!IsIntegerValue(a) || !IsIntegerValue(b)) return PassFailure::BadOperand;
      const auto x = static_cast<std::int32_t>(a.Re);
      const auto y = static_cast<std::int32_t>(b.Re);
      product = ComplexFromReal(static_cast<double>(op == '&' ? (x & y) : (x | y)));
      break;
    }
  }
  return PassFailure::None;
}

// Then "*", "/", "%", "&" and "\", from the left.
inline PassFailure ProductPass(OperandList& list, MessageBoxes& boxes) {
  for (std::size_t f = 1; f < list.count;) {
    const char op = list.entries[f].op;
    if (!IsProductOperator(op)) {
      ++f;
      continue;
    }
    TComplex product;
    const PassFailure failure =
        ProductOf(op, list.entries[f - 1].Value(), list.entries[f].Value(), boxes, product);
    if (failure != PassFailure::None) return failure;
    list.Merge(f, product);
  }
  return PassFailure::None;
}

// One entry of the sum pass added to the running `sum`; false when the sum then fails
// the overflow test.
// A sum's parts whose own sum lies within the limit are decided by that one test: both are
// finite (a part that is not makes the sum not finite), so the operator only cuts them, and
// the cut pair passes the overflow test too (the cut zeroes a part of at most
// ZeroCutThreshold, which cannot move a sum of magnitude near the limit). Other parts take
// the operator's checked steps and the test itself.
[[gnu::always_inline]] inline bool SumStep(char op, TComplex value, TComplex& sum) {
  double re = 0;
  double im = 0;
  if (op == '+') {
    re = sum.Re + value.Re;
    im = sum.Im + value.Im;
  } else if (op == '-') {
    re = sum.Re - value.Re;
    im = sum.Im - value.Im;
  } else {
    return !Overflows(sum);
  }
  if (std::fabs(re + im) <= PowerOverflowLimit) [[likely]] {
    sum = MakeComplex(re, im);
    return true;
  }
  sum = op == '+' ? sum + value : sum - value;
  return !Overflows(sum);
}

// The first entry of the sum pass, added to the sum's 0: 0 + v is v and 0 - v is -v, both
// cut (a -0, a NaN and a part below the cut all become 0 either way); an operator of
// another pass leaves the 0. False when the sum then fails the overflow test.
[[gnu::always_inline]] inline bool SumStart(char op, TComplex value, TComplex& sum) {
  if (op == '+') {
    sum = MakeComplex(value.Re, value.Im);
  } else if (op == '-') {
    sum = MakeComplex(-value.Re, -value.Im);
  } else {
    sum = TComplex{};
  }
  return !Overflows(sum);
}

// The sum pass; false when the running sum fails the overflow test.
inline bool SumOf(const Entry* entries, std::size_t count, TComplex& sum) {
  sum = TComplex{};
  if (count == 0) return true;
  if (!SumStart(entries[0].op, entries[0].Value(), sum)) return false;
  for (std::size_t e = 1; e < count; ++e) {
    if (!SumStep(entries[e].op, entries[e].Value(), sum)) return false;
  }
  return true;
}
inline bool SumOf(const OperandList& list, TComplex& sum) {
  return SumOf(list.entries, list.count, sum);
}

}  // namespace ombrix
