// Complex values and their arithmetic. Almost every result passes through
// MakeComplex, which cuts parts of magnitude <= ZeroCutThreshold to exactly 0.
#pragma once

#include <cmath>
#include <cstdint>

namespace ombrix {

class Interrupt;
class MessageBoxes;

struct TComplex {
  double Re = 0.0;
  double Im = 0.0;
};

inline constexpr double ZeroCutThreshold = 1E-14;
inline constexpr double PowerOverflowLimit = 1E100;

// Thrown by the checks below: "Gleitkommaüberlauf".
[[noreturn]] void RaiseOverflowFault();

// Floating-point checks that turn a non-finite result of finite operands into the
// platform fault: the checks are explicit, never left to the FPU raising a signal.
// Inline, as they sit in every step of the arithmetic; only the throw is out of line.
inline bool IsOverflowFault(double result, double a, double b) {
  return !std::isfinite(result) && std::isfinite(a) && std::isfinite(b);
}
inline double CheckOverflow(double result, double a, double b) {
  if (IsOverflowFault(result, a, b)) [[unlikely]] {
    RaiseOverflowFault();
  }
  return result;
}
inline double CheckedMul(double a, double b) { return CheckOverflow(a * b, a, b); }
inline double CheckedAdd(double a, double b) { return CheckOverflow(a + b, a, b); }
inline double CheckedSub(double a, double b) { return CheckOverflow(a - b, a, b); }
double CheckedDiv(double a, double b);

inline double CutPart(double x) { return std::fabs(x) > ZeroCutThreshold ? x : 0.0; }
inline TComplex MakeComplex(double re, double im) { return {CutPart(re), CutPart(im)}; }
inline TComplex ComplexFromReal(double x) { return {x, 0.0}; }

// The value of the constant "i": MakeComplex(0, 1).
inline constexpr TComplex ImaginaryUnit{0.0, 1.0};

// The operators compute first and check once: a part that is still finite had only finite
// steps (a step that is not finite leaves every later step not finite). Otherwise the
// checked steps tell an overflow, which faults, from an operand that was not finite.
inline bool BothFinite(double re, double im) { return std::isfinite(re) && std::isfinite(im); }

inline TComplex operator+(TComplex a, TComplex b) {
  const double re = a.Re + b.Re;
  const double im = a.Im + b.Im;
  if (!BothFinite(re, im)) [[unlikely]] {
    return MakeComplex(CheckedAdd(a.Re, b.Re), CheckedAdd(a.Im, b.Im));
  }
  return MakeComplex(re, im);
}
inline TComplex operator-(TComplex a, TComplex b) {
  const double re = a.Re - b.Re;
  const double im = a.Im - b.Im;
  if (!BothFinite(re, im)) [[unlikely]] {
    return MakeComplex(CheckedSub(a.Re, b.Re), CheckedSub(a.Im, b.Im));
  }
  return MakeComplex(re, im);
}
inline TComplex operator-(TComplex a) { return MakeComplex(-a.Re, -a.Im); }
// Real multiple, cut.
inline TComplex operator*(double k, TComplex a) {
  const double re = k * a.Re;
  const double im = k * a.Im;
  if (!BothFinite(re, im)) [[unlikely]] {
    return MakeComplex(CheckedMul(k, a.Re), CheckedMul(k, a.Im));
  }
  return MakeComplex(re, im);
}
// The product's parts before the checks and the cut.
inline TComplex UncutProduct(TComplex a, TComplex b) {
  return {a.Re * b.Re - a.Im * b.Im, a.Im * b.Re + a.Re * b.Im};
}
inline TComplex operator*(TComplex a, TComplex b) {
  const auto [re, im] = UncutProduct(a, b);
  if (!BothFinite(re, im)) [[unlikely]] {
    return MakeComplex(CheckedSub(CheckedMul(a.Re, b.Re), CheckedMul(a.Im, b.Im)),
                       CheckedAdd(CheckedMul(a.Im, b.Re), CheckedMul(a.Re, b.Im)));
  }
  return MakeComplex(re, im);
}

inline bool operator==(TComplex a, TComplex b) { return a.Re == b.Re && a.Im == b.Im; }
// Also x == a through C++20 rewriting.
inline bool operator==(TComplex a, double x) { return a.Re == x && a.Im == 0.0; }

// The quotients show "Leider Division durch Null aufgetreten!" through `boxes` on a
// zero divisor and then divide all the same, which raises the platform fault.
TComplex ComplexDivReal(TComplex a, double x, MessageBoxes& boxes);
TComplex ComplexDiv(TComplex a, TComplex b, MessageBoxes& boxes);
TComplex ComplexRealDiv(double x, TComplex b, MessageBoxes& boxes);

TComplex ComplexConj(TComplex a);
inline double ComplexAbs(TComplex a) {
  return std::sqrt(CheckedAdd(CheckedMul(a.Re, a.Re), CheckedMul(a.Im, a.Im)));
}
double ComplexArg(TComplex a);  // in (-pi/2, 3pi/2]
TComplex ComplexFromAngle(double t);
TComplex ComplexSqrt(TComplex a);
// (1E101, 0): the mark of a power whose modulus passed 1E100.
inline constexpr TComplex kPowerOverflowMark{10.0 * PowerOverflowLimit, 0.0};
// Whether product `acc` of a power has passed the limit. The square is compared first so
// that the root is only taken near the limit (the outcome is the same).
inline bool PowerPassesLimit(TComplex acc) {
  constexpr double kSquareBelowLimit = 0.99 * PowerOverflowLimit * PowerOverflowLimit;
  const double square = acc.Re * acc.Re + acc.Im * acc.Im;
  return !(square < kSquareBelowLimit) && ComplexAbs(acc) > PowerOverflowLimit;
}
// n - 1 successive products; kPowerOverflowMark for a power whose modulus passed 1E100.
// The exponent is 64-bit so that -2147483648 can be negated. `interrupt`, when given, is
// asked every kProductsPerPoll products and may abandon the power (throws Interrupted).
TComplex ComplexPowIntByProducts(TComplex a, std::int64_t n, MessageBoxes& boxes,
                                 Interrupt* interrupt = nullptr);
// The same power. A square, the power of drawing loops, is its one product in place: the
// loop would stop after it whatever it gives (a product of 1 or 0 ends a square too).
inline TComplex ComplexPowInt(TComplex a, std::int64_t n, MessageBoxes& boxes,
                              Interrupt* interrupt = nullptr) {
  if (n == 2) {
    const TComplex acc = a * a;
    return PowerPassesLimit(acc) ? kPowerOverflowMark : acc;
  }
  return ComplexPowIntByProducts(a, n, boxes, interrupt);
}

inline bool IsRealValue(TComplex a) { return a.Im == 0.0; }
// Real, integral, within the 32-bit signed range.
inline bool IsIntegerValue(TComplex a) {
  if (!IsRealValue(a)) return false;
  if (!(a.Re >= -2147483648.0 && a.Re <= 2147483647.0)) return false;
  return a.Re == static_cast<double>(static_cast<std::int32_t>(a.Re));
}

}  // namespace ombrix
