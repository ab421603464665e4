#include "logic/complex/complex.h"

#include <algorithm>
#include <cmath>

#include "logic/complex/exact_maths.h"
#include "logic/complex/fault.h"
#include "logic/complex/interrupt.h"
#include "logic/complex/messages.h"

namespace ombrix {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kHalfPi = 1.5707963267948966;
constexpr double kThreeHalfPi = 4.71238898038469;
const char* const kDivisionMessage = "Leider Division durch Null aufgetreten!";

}  // namespace

void RaiseOverflowFault() { throw Fault(kFaultOverflow); }

double CheckedDiv(double a, double b) {
  if (b == 0.0) {
    if (a == 0.0 || std::isnan(a)) throw Fault(kFaultInvalidOperation);
    throw Fault(kFaultDivisionByZero);
  }
  return CheckOverflow(a / b, a, b);
}

TComplex ComplexDivReal(TComplex a, double x, MessageBoxes& boxes) {
  if (x == 0.0) boxes.Show(MessageKind::Plain, kDivisionMessage, kApplicationTitle);
  // The imaginary part is divided first: it decides which fault a zero divisor raises.
  const double im = CheckedDiv(a.Im, x);
  const double re = CheckedDiv(a.Re, x);
  return MakeComplex(re, im);
}

TComplex ComplexDiv(TComplex a, TComplex b, MessageBoxes& boxes) {
  if (b.Re == 0.0 && b.Im == 0.0) {
    boxes.Show(MessageKind::Plain, kDivisionMessage, kApplicationTitle);
  }
  const TComplex n = MakeComplex(CheckedAdd(CheckedMul(a.Re, b.Re), CheckedMul(a.Im, b.Im)),
                                 CheckedSub(CheckedMul(a.Im, b.Re), CheckedMul(a.Re, b.Im)));
  const double d = CheckedAdd(CheckedMul(b.Re, b.Re), CheckedMul(b.Im, b.Im));
  return ComplexDivReal(n, d, boxes);
}

TComplex ComplexRealDiv(double x, TComplex b, MessageBoxes& boxes) {
  return ComplexDiv(MakeComplex(x, 0.0), b, boxes);
}

TComplex ComplexConj(TComplex a) { return MakeComplex(a.Re, -a.Im); }

double ComplexArg(TComplex a) {
  if (a.Re == 0.0) return a.Im > 0.0 ? kHalfPi : kThreeHalfPi;
  double t = exact::ATan(CheckedDiv(a.Im, a.Re));
  if (a.Re < 0.0) t += kPi;
  return std::fabs(t) <= ZeroCutThreshold ? 0.0 : t;
}

TComplex ComplexFromAngle(double t) { return MakeComplex(exact::Cos(t), exact::Sin(t)); }

TComplex ComplexSqrt(TComplex a) {
  return std::sqrt(ComplexAbs(a)) * ComplexFromAngle(ComplexArg(a) * 0.5);
}

namespace {

// 1 * a reproduces a exactly only when a is already cut.
bool BaseIsCut(TComplex a) {
  const TComplex cut = MakeComplex(a.Re, a.Im);
  return cut == a && !std::signbit(a.Re) == !std::signbit(cut.Re) &&
         !std::signbit(a.Im) == !std::signbit(cut.Im);
}

// Once the products reach exactly 1 or 0 they repeat: a^(k+1) = 1 means the rest of the
// sequence cycles with period k+1, and 0 stays 0. Skipping ahead gives the same result
// the remaining products would give, without billions of steps.
TComplex RepeatingPower(TComplex a, TComplex acc, std::int64_t k, std::int64_t n,
                        MessageBoxes& boxes, Interrupt* interrupt) {
  if (acc.Re == 0.0) return acc;
  const std::int64_t period = k + 1;
  const std::int64_t rest = n % period;
  if (rest == 0) return acc;
  return ComplexPowInt(a, rest, boxes, interrupt);
}

}  // namespace

TComplex ComplexPowIntByProducts(TComplex a, std::int64_t n, MessageBoxes& boxes,
                                 Interrupt* interrupt) {
  if (n == 0) return {1.0, 0.0};
  if (n < 0) return ComplexRealDiv(1.0, ComplexPowInt(a, -n, boxes, interrupt), boxes);
  TComplex acc = a;
  // The products run in blocks up to the next multiple of kProductsPerPoll, and the
  // interrupt is asked between blocks: the loop over the products itself tests nothing.
  for (std::int64_t k = 1; k < n;) {
    if (k % kProductsPerPoll == 0 && interrupt != nullptr && interrupt->StopNow()) {
      throw Interrupted{};
    }
    const std::int64_t block_end = std::min(n, (k | (kProductsPerPoll - 1)) + 1);
    for (; k < block_end; ++k) {
      acc = acc * a;
      if (PowerPassesLimit(acc)) return kPowerOverflowMark;
      if (acc.Im == 0.0 && (acc.Re == 0.0 || (acc.Re == 1.0 && BaseIsCut(a)))) {
        return RepeatingPower(a, acc, k, n, boxes, interrupt);
      }
    }
  }
  return acc;
}

}  // namespace ombrix
