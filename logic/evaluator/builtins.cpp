#include "logic/evaluator/builtins.h"

#include <array>
#include <cmath>

#include "logic/complex/exact_maths.h"
#include "logic/complex/table_order.h"
#include "logic/evaluator/evaluate.h"

namespace ombrix {

namespace {

struct BuiltinRow {
  Builtin id;
  const char* name;
  int rule;
};

constexpr std::array<BuiltinRow, kFirstUserFunction> kBuiltins = {{
    {Builtin::MausPos, "MausPos", kRuleNone}, {Builtin::Betrag, "Betrag", kRuleNone},
    {Builtin::Wurzel, "Wurzel", kRuleNone},   {Builtin::Sin, "Sin", kRuleReal},
    {Builtin::Cos, "Cos", kRuleReal},         {Builtin::Tan, "Tan", kRuleReal},
    {Builtin::ASin, "ASin", kRuleReal},       {Builtin::ACos, "ACos", kRuleReal},
    {Builtin::ATan, "ATan", kRuleReal},       {Builtin::Exp, "Exp", kRuleReal},
    {Builtin::Ln, "Ln", kRuleReal},           {Builtin::Lg, "Lg", kRuleReal},
    {Builtin::Arc, "Arc", kRuleNonZero},      {Builtin::E, "E", kRuleReal},
    {Builtin::Re, "Re", kRuleNone},           {Builtin::Im, "Im", kRuleNone},
    {Builtin::Konj, "Konj", kRuleNone},       {Builtin::DeltaRe, "DeltaRe", kRuleNone},
    {Builtin::DeltaIm, "DeltaIm", kRuleNone}, {Builtin::ReMin, "ReMin", kRuleNone},
    {Builtin::ReMax, "ReMax", kRuleNone},     {Builtin::ImMin, "ImMin", kRuleNone},
    {Builtin::ImMax, "ImMax", kRuleNone},
}};
static_assert(InEnumOrder(kBuiltins));
static_assert(static_cast<int>(Builtin::ImMax) == kFirstUserFunction - 1);

}  // namespace

const std::array<const char*, kFirstUserFunction> kBuiltinNames =
    TableColumn(kBuiltins, &BuiltinRow::name);
const std::array<int, kFirstUserFunction> kBuiltinRules = TableColumn(kBuiltins, &BuiltinRow::rule);

namespace {

bool RuleAllows(int rule, TComplex z) {
  const int kind = rule & 0x0F;
  if (kind == kRuleReal && !IsRealValue(z)) return false;
  if (kind == kRuleInteger && !IsIntegerValue(z)) return false;
  if ((rule & kRuleNonZero) != 0 && z.Re == 0.0 && z.Im == 0.0) return false;
  return true;
}

TComplex Compute(Builtin k, TComplex z, const DrawingView& drawing) {
  switch (k) {
    case Builtin::MausPos: {
      const TComplex m = drawing.MousePosition();
      return MakeComplex(m.Re, m.Im);
    }
    case Builtin::Betrag:
      return BetragOf(z);
    case Builtin::Wurzel:
      return ComplexSqrt(z);
    case Builtin::Sin:
      return ComplexFromReal(exact::Sin(z.Re));
    case Builtin::Cos:
      return ComplexFromReal(exact::Cos(z.Re));
    case Builtin::Tan:
      return ComplexFromReal(exact::Tan(z.Re));
    case Builtin::ASin:
      return ComplexFromReal(exact::ASin(z.Re));
    case Builtin::ACos:
      return ComplexFromReal(exact::ACos(z.Re));
    case Builtin::ATan:
      return ComplexFromReal(exact::ATan(z.Re));
    case Builtin::Exp:
      return ComplexFromReal(exact::Exp(z.Re));
    case Builtin::Ln:
      return ComplexFromReal(exact::Log(z.Re));
    case Builtin::Lg:
      return ComplexFromReal(exact::Log10(z.Re));
    case Builtin::Arc:
      return ComplexFromReal(ComplexArg(z));
    case Builtin::E:
      return ComplexFromAngle(z.Re);
    case Builtin::Re:
      return ComplexFromReal(z.Re);
    case Builtin::Im:
      return ComplexFromReal(z.Im);
    case Builtin::Konj:
      return ComplexConj(z);
    case Builtin::DeltaRe:
      return ComplexFromReal(
          CheckedDiv(CheckedSub(drawing.ReMax(), drawing.ReMin()),
                     static_cast<double>(ScaleDivisor(static_cast<int>(k), drawing))));
    case Builtin::DeltaIm:
      return ComplexFromReal(
          CheckedDiv(CheckedSub(drawing.ImMax(), drawing.ImMin()),
                     static_cast<double>(ScaleDivisor(static_cast<int>(k), drawing))));
    case Builtin::ReMin:
      return ComplexFromReal(drawing.ReMin());
    case Builtin::ReMax:
      return ComplexFromReal(drawing.ReMax());
    case Builtin::ImMin:
      return ComplexFromReal(drawing.ImMin());
    case Builtin::ImMax:
      return ComplexFromReal(drawing.ImMax());
    default:
      return TComplex{};
  }
}

// The built-ins whose value comes from the maths functions, whose failures show in the
// value; the others compute without them (their faults are thrown).
bool UsesTheMathsLibrary(Builtin k) {
  switch (k) {
    case Builtin::MausPos:
    case Builtin::Betrag:  // the root of a sum of squares: never negative
    case Builtin::Re:
    case Builtin::Im:
    case Builtin::Konj:
    case Builtin::DeltaRe:
    case Builtin::DeltaIm:
    case Builtin::ReMin:
    case Builtin::ReMax:
    case Builtin::ImMin:
    case Builtin::ImMax:
      return false;
    default:
      return true;
  }
}

}  // namespace

TComplex AnyBuiltinValue(int k, TComplex z, int rule, const DrawingView& drawing, bool& valid) {
  valid = false;
  if (!RuleAllows(rule, z)) return {};
  const auto builtin = static_cast<Builtin>(k);
  if (!UsesTheMathsLibrary(builtin)) {
    valid = true;
    return Compute(builtin, z, drawing);
  }
  const TComplex value = Compute(builtin, z, drawing);
  // A domain error gives no number, a pole (Ln(0)) or an overflow an infinite one; an
  // underflow gives a finite value and stays silent.
  valid = std::isfinite(value.Re) && std::isfinite(value.Im);
  return value;
}

}  // namespace ombrix
