// The 23 built-in functions: their argument rules and their values.
#pragma once

#include <optional>

#include "logic/complex/complex.h"

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

// Built-in k (0 .. 22) for the argument value z, checked against `rule` (the table's
// argument rule of k). No value when the rule is violated or the maths library reports
// a domain error or an overflow. Underflow is silent: Exp(-1000) is 0.
std::optional<TComplex> ComputeBuiltin(int k, TComplex z, int rule, const DrawingView& drawing);

}  // namespace ombrix
