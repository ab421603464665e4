// The 23 built-in functions: their argument rules and their values.
#pragma once

#include <optional>

#include "logic/complex/complex.h"
#include "logic/evaluator/tables.h"

namespace ombrix {

class DrawingView;

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

// Betrag's value: the root of the sum of the squares, which is never negative.
inline TComplex BetragOf(TComplex z) { return ComplexFromReal(ComplexAbs(z)); }

// ComputeBuiltin for every built-in; out of line.
std::optional<TComplex> ComputeAnyBuiltin(int k, TComplex z, int rule, const DrawingView& drawing);

// Built-in k (0 .. 22) for the argument value z, checked against `rule` (the table's
// argument rule of k). No value when the rule is violated or the maths library reports
// a domain error or an overflow. Underflow is silent: Exp(-1000) is 0. Betrag without a
// rule, the built-in of drawing loops, in line.
inline std::optional<TComplex> ComputeBuiltin(int k, TComplex z, int rule,
                                              const DrawingView& drawing) {
  if (k == static_cast<int>(Builtin::Betrag) && rule == kRuleNone) return BetragOf(z);
  return ComputeAnyBuiltin(k, z, rule, drawing);
}

}  // namespace ombrix
