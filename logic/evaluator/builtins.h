// The 23 built-in functions: their argument rules and their values.
#pragma once

#include <optional>

#include "logic/complex/complex.h"
#include "logic/evaluator/evaluate.h"
#include "logic/evaluator/tables.h"

namespace ombrix {

// The built-ins in the order of the function table (entries 0 .. 22); the name table in
// builtins.cpp is checked against this order.
enum class Builtin {
  MausPos,
  Betrag,
  Wurzel,
  Sin,
  Cos,
  Tan,
  ASin,
  ACos,
  ATan,
  Exp,
  Ln,
  Lg,
  Arc,
  E,
  Re,
  Im,
  Konj,
  DeltaRe,
  DeltaIm,
  ReMin,
  ReMax,
  ImMin,
  ImMax,
};

// The built-ins whose value is read from the drawing's scale (the last six): ReMin, ReMax,
// ImMin, ImMax, and DeltaRe and DeltaIm, which divide the scale's width or height by the
// picture's (ScaleDivisor). They read nothing else and ignore their argument.
inline constexpr int kFirstScaleBuiltin = static_cast<int>(Builtin::DeltaRe);
inline constexpr int kScaleBuiltins = static_cast<int>(Builtin::ImMax) - kFirstScaleBuiltin + 1;
inline bool ReadsTheScale(int k) {
  return k >= kFirstScaleBuiltin && k < kFirstScaleBuiltin + kScaleBuiltins;
}
// The picture's size that built-in k divides by, 0 for one that divides by none.
inline int ScaleDivisor(int k, const DrawingView& drawing) {
  if (k == static_cast<int>(Builtin::DeltaRe)) return drawing.Width();
  if (k == static_cast<int>(Builtin::DeltaIm)) return drawing.Height();
  return 0;
}

// Betrag's value: the root of the sum of the squares, which is never negative.
inline TComplex BetragOf(TComplex z) { return ComplexFromReal(ComplexAbs(z)); }

// Built-in k (0 .. 22) for the argument value z, checked against `rule` (the table's
// argument rule of k). No value (`valid` false, the value returned meaningless) when the
// rule is violated or the maths library gives no finite value (a domain error, a pole or
// an overflow). Underflow
// is silent: Exp(-1000) is 0. The value comes back in registers, as plans want it.
TComplex AnyBuiltinValue(int k, TComplex z, int rule, const DrawingView& drawing, bool& valid);
// The same, with Betrag without a rule, the built-in of drawing loops, in line.
inline TComplex BuiltinValue(int k, TComplex z, int rule, const DrawingView& drawing, bool& valid) {
  if (k == static_cast<int>(Builtin::Betrag) && rule == kRuleNone) {
    valid = true;
    return BetragOf(z);
  }
  return AnyBuiltinValue(k, z, rule, drawing, valid);
}
// The same as a value that may be missing.
inline std::optional<TComplex> ComputeBuiltin(int k, TComplex z, int rule,
                                              const DrawingView& drawing) {
  bool valid = false;
  const TComplex value = BuiltinValue(k, z, rule, drawing, valid);
  if (!valid) return std::nullopt;
  return value;
}

}  // namespace ombrix
