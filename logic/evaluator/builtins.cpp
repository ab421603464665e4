#include "logic/evaluator/builtins.h"

#include <cerrno>
#include <cmath>

#include "logic/evaluator/evaluate.h"

namespace ombrix {

const char* const kBuiltinNames[kFirstUserFunction] = {
    "MausPos", "Betrag",  "Wurzel",  "Sin",   "Cos",   "Tan",   "ASin", "ACos",
    "ATan",    "Exp",     "Ln",      "Lg",    "Arc",   "E",     "Re",   "Im",
    "Konj",    "DeltaRe", "DeltaIm", "ReMin", "ReMax", "ImMin", "ImMax"};

const int kBuiltinRules[kFirstUserFunction] = {
    kRuleNone, kRuleNone, kRuleNone, kRuleReal, kRuleReal,    kRuleReal, kRuleReal, kRuleReal,
    kRuleReal, kRuleReal, kRuleReal, kRuleReal, kRuleNonZero, kRuleReal, kRuleNone, kRuleNone,
    kRuleNone, kRuleNone, kRuleNone, kRuleNone, kRuleNone,    kRuleNone, kRuleNone};

namespace {

bool RuleAllows(int rule, TComplex z) {
  const int kind = rule & 0x0F;
  if (kind == kRuleReal && !IsRealValue(z)) return false;
  if (kind == kRuleInteger && !IsIntegerValue(z)) return false;
  if ((rule & kRuleNonZero) != 0 && z.Re == 0.0 && z.Im == 0.0) return false;
  return true;
}

TComplex Compute(int k, TComplex z, const DrawingView& drawing) {
  switch (k) {
    case 0: {
      const TComplex m = drawing.MousePosition();
      return MakeComplex(m.Re, m.Im);
    }
    case 1:
      return ComplexFromReal(ComplexAbs(z));
    case 2:
      return ComplexSqrt(z);
    case 3:
      return ComplexFromReal(std::sin(z.Re));
    case 4:
      return ComplexFromReal(std::cos(z.Re));
    case 5:
      return ComplexFromReal(std::tan(z.Re));
    case 6:
      return ComplexFromReal(std::asin(z.Re));
    case 7:
      return ComplexFromReal(std::acos(z.Re));
    case 8:
      return ComplexFromReal(std::atan(z.Re));
    case 9:
      return ComplexFromReal(std::exp(z.Re));
    case 10:
      return ComplexFromReal(std::log(z.Re));
    case 11:
      return ComplexFromReal(std::log10(z.Re));
    case 12:
      return ComplexFromReal(ComplexArg(z));
    case 13:
      return ComplexFromAngle(z.Re);
    case 14:
      return ComplexFromReal(z.Re);
    case 15:
      return ComplexFromReal(z.Im);
    case 16:
      return ComplexConj(z);
    case 17:
      return ComplexFromReal(CheckedDiv(CheckedSub(drawing.ReMax(), drawing.ReMin()),
                                        static_cast<double>(drawing.Width())));
    case 18:
      return ComplexFromReal(CheckedDiv(CheckedSub(drawing.ImMax(), drawing.ImMin()),
                                        static_cast<double>(drawing.Height())));
    case 19:
      return ComplexFromReal(drawing.ReMin());
    case 20:
      return ComplexFromReal(drawing.ReMax());
    case 21:
      return ComplexFromReal(drawing.ImMin());
    case 22:
      return ComplexFromReal(drawing.ImMax());
    default:
      return TComplex{};
  }
}

}  // namespace

std::optional<TComplex> ComputeBuiltin(int k, TComplex z, int rule, const DrawingView& drawing) {
  errno = 0;
  if (!RuleAllows(rule, z)) return std::nullopt;
  const TComplex value = Compute(k, z, drawing);
  if (errno != 0) {
    // A range error with a finite result is an underflow, which stays silent; a domain
    // error, a pole (Ln(0)) or an overflow leaves no usable value.
    const bool underflow = errno == ERANGE && std::isfinite(value.Re) && std::isfinite(value.Im);
    if (!underflow) return std::nullopt;
  }
  return value;
}

}  // namespace ombrix
