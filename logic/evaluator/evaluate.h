// The text-rewriting term evaluator.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "logic/complex/complex.h"
#include "logic/complex/messages.h"
#include "logic/evaluator/tables.h"

namespace ombrix {

// What the built-ins MausPos, DeltaRe, ReMin ... read of the drawing state.
class DrawingView {
 public:
  virtual ~DrawingView() = default;
  virtual double ReMin() const = 0;
  virtual double ReMax() const = 0;
  virtual double ImMin() const = 0;
  virtual double ImMax() const = 0;
  virtual TComplex MousePosition() const = 0;
  virtual int Width() const = 0;  // picture width in pixels, read at every use
  virtual int Height() const = 0;
  // A count that stays the same while ReMin, ReMax, ImMin and ImMax do and never comes
  // back to an earlier value, so that what was computed from them may be kept with it;
  // kUncountedScale (the default) keeps nothing.
  static constexpr std::uint64_t kUncountedScale = ~std::uint64_t{0};
  virtual std::uint64_t ScaleCount() const { return kUncountedScale; }
};

// About ten seconds of products on a desktop machine of today.
inline constexpr double kPowerProductBudget = 4294967296.0;  // 2^32

class Interrupt;
class PlanCache;
struct PlanHandle;

struct EvalContext {
  const FunctionTable& functions;
  const VariableTable& variables;
  const DrawingView& drawing;
  MessageBoxes& boxes;  // the division message of ComplexPowInt
  // Products that all powers of one evaluation may take together (a power takes one
  // product per unit of its exponent); a term that would need more is refused.
  double power_products = kPowerProductBudget;
  // Plans of the terms met so far, or none: then every term is read from its text.
  PlanCache* plans = nullptr;
  // Asked now and then inside long powers whether to abandon the evaluation (it then
  // throws Interrupted); none: every evaluation runs to its end.
  Interrupt* interrupt = nullptr;
};

// A result text: pair text, "1"/"0", or an error text. Throws Fault only where the
// platform would fault (a number text that is no number, a floating-point fault).
// With plans, a term whose plan is sure of its value is computed from the plan; the
// result is the same text to the last character.
std::string EvaluateTerm(std::string_view term, const EvalContext& context);
// The same, always read from the text.
std::string EvaluateTermText(std::string_view term, const EvalContext& context);

// The working texts the text path passes through for `term`, appended to `texts` in its
// order: the normalised text, the text after each call is replaced or expanded and after
// each bracket group, the comparison's two values, the operand list, then the result.
// Only the outermost evaluation's texts are kept; the last one is the result text. A
// Fault leaves the texts up to it in `texts`.
void ExplainTerm(std::string_view term, const EvalContext& context,
                 std::vector<std::string>& texts);

// What callers read back of a result: the error text, or ParseNumberText of the result.
struct TermValue {
  std::string error;  // empty when the term has a value
  TComplex value;
};
// `handle` (with plans) keeps the plan found for `term` for the next call with that text.
TermValue EvaluateTermValue(std::string_view term, const EvalContext& context,
                            PlanHandle* handle = nullptr);
// The text path's part of it: true with the value in `value`, or false with the error
// text in `error` (`value` untouched). EvaluateTermInto (plan.h) is the whole of it
// without a result object per call.
bool EvaluateTermTextInto(std::string_view term, const EvalContext& context, TComplex& value,
                          std::string& error);
// The display text of the value, or the German message of the error.
std::string EvaluateForDisplay(std::string_view term, const EvalContext& context);
// The same for a result text already computed.
std::string DisplayOfResult(std::string_view result);
bool BracketCountsEqual(std::string_view text);

// Names of the 23 built-ins in table order.
extern const std::array<const char*, kFirstUserFunction> kBuiltinNames;
extern const std::array<int, kFirstUserFunction> kBuiltinRules;

}  // namespace ombrix
