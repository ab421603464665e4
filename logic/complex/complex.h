// Complex values and their arithmetic. Almost every result passes through
// MakeComplex, which cuts parts of magnitude <= 1E-14 to exactly 0.
#pragma once

#include <cstdint>

namespace ombrix {

class MessageBoxes;

struct TComplex {
  double Re = 0.0;
  double Im = 0.0;
};

inline constexpr double ZeroCutThreshold = 1E-14;
inline constexpr double PowerOverflowLimit = 1E100;

TComplex MakeComplex(double re, double im);
TComplex ComplexFromReal(double x);

// The value of the constant "i": MakeComplex(0, 1).
inline constexpr TComplex ImaginaryUnit{0.0, 1.0};

TComplex operator+(TComplex a, TComplex b);
TComplex operator-(TComplex a, TComplex b);
TComplex operator-(TComplex a);
TComplex operator*(double k, TComplex a);  // real multiple, cut
TComplex operator*(TComplex a, TComplex b);

bool operator==(TComplex a, TComplex b);
bool operator==(TComplex a, double x);  // also x == a through C++20 rewriting

// The quotients show "Leider Division durch Null aufgetreten!" through `boxes` on a
// zero divisor and then divide all the same, which raises the platform fault.
TComplex ComplexDivReal(TComplex a, double x, MessageBoxes& boxes);
TComplex ComplexDiv(TComplex a, TComplex b, MessageBoxes& boxes);
TComplex ComplexRealDiv(double x, TComplex b, MessageBoxes& boxes);

TComplex ComplexConj(TComplex a);
double ComplexAbs(TComplex a);
double ComplexArg(TComplex a);  // in (-pi/2, 3pi/2]
TComplex ComplexFromAngle(double t);
TComplex ComplexSqrt(TComplex a);
// n - 1 successive products; (1E101, 0) marks a power whose modulus passed 1E100.
// The exponent is 64-bit so that -2147483648 can be negated.
TComplex ComplexPowInt(TComplex a, std::int64_t n, MessageBoxes& boxes);

bool IsRealValue(TComplex a);
bool IsIntegerValue(TComplex a);  // real, integral, within the 32-bit signed range

// Floating-point checks that turn a non-finite result of finite operands into the
// platform fault: the checks are explicit, never left to the FPU raising a signal.
double CheckedMul(double a, double b);
double CheckedAdd(double a, double b);
double CheckedSub(double a, double b);
double CheckedDiv(double a, double b);

}  // namespace ombrix
