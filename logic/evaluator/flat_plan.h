// A plan lowered into a short run of steps over slots: each value (a built-in call, a
// bracket group, a comparison side) is computed into its slot in the order the text path
// meets it, the values it stands on first, by one loop without recursion, allocation or
// exceptions of its own. Every rule it applies is the text path's own function (the passes,
// CompareValues, ComputeBuiltin, the complex arithmetic), so that a fault the steps meet
// is the fault the text path meets at the same point.
#pragma once

#include <cstdint>
#include <vector>

#include "logic/complex/complex.h"
#include "logic/evaluator/power_memo.h"

namespace ombrix {

struct EvalContext;

// What a plan says of its term: the value whose pair text is the result (raw) with that
// text read back by ParseNumberText (value), a comparison's 1 or 0 (both), or Fallback:
// only the text path can say.
struct PlanResult {
  enum class Outcome : unsigned char { Value, Comparison, Fallback };
  Outcome outcome = Outcome::Fallback;
  TComplex raw;
  TComplex value;
};

// ParseNumberText(RealToText(x)) for the values a plan reads back, the last ones kept.
class RoundTripMemo {
 public:
  // False where only the texts can say (RoundTripReal leaves it to them).
  bool Read(double x, double& out);

 private:
  struct Kept {
    std::uint64_t bits = 0;  // 0 is +0.0, which never reaches the memo
    double value = 0.0;
  };
  Kept kept_[256];
};

struct FlatOperand {
  enum class Kind : unsigned char {
    Empty,     // counts as 0
    Constant,  // the number with its sign, as read when built
    Variable,  // sign times the variable's current value
    Slot,      // sign times a slot's value, which reads back as itself
    SlotRead,  // sign times a slot's value read back from its pair text
  };
  char op;
  Kind kind;
  double sign;
  int index;  // the variable or the slot
  TComplex constant;
};

// Where a step takes a whole term's value from: a slot, or a short term computed in place
// (a lone operand, or a lone number summed when built), read back from its pair text
// first when `read`.
struct FlatSide {
  enum class Kind : unsigned char { Slot, Lone, Folded };
  Kind kind = Kind::Slot;
  bool read = false;
  int index = 0;  // the slot, the operand, or the entry of `constants`
};

struct FlatStep {
  enum class Kind : unsigned char {
    Constant,  // a lone number whose sum was worked out when built
    Lone,      // one operand: only its sum
    Sum,       // a few operands joined by "+" and "-" only: the sum pass alone
    Binary,    // a few operands with one operator of the power or product pass
    // The short Binary shapes of drawing loops, "a*b", "a^k+c" and "a+b*c", their
    // operands fetched without a count to loop over.
    BinaryOfTwo,
    BinaryFirst,
    BinaryLast,
    Passes,   // anything else: the power, product and sum passes
    Builtin,  // built-in `builtin` of side `left`
    Compare,  // sides `left` and `right` compared by `compare`: 1 or 0
  };
  Kind kind;
  char compare = 0;
  int builtin = 0;
  int slot = 0;  // where the step's value goes
  FlatSide left, right;
  int first = 0, count = 0;  // operands of the arithmetic kinds
  int binary = 0;            // Binary: the operand whose operator is applied
  TComplex constant;
};

struct FlatPlan {
  bool usable = false;
  std::vector<FlatStep> steps;
  std::vector<FlatOperand> operands;
  std::vector<TComplex> constants;  // of the folded sides
  int slot_count = 0;
  int result = 0;           // the slot of the whole term's value
  bool comparison = false;  // the term is a comparison: its value is 1 or 0
  bool read_back = false;   // the value reads back from its text as itself
};

// What a run needs besides the plan: the slots (at least `plan.slot_count`) and the memos.
struct FlatWork {
  TComplex* values;  // the slots
  RoundTripMemo& round_trips;
  PowerMemo& powers;
};

// The plan's result, or Fallback where only the text path can say (an error text, a value
// whose text the quick round trip leaves to the texts); nothing has been shown then. A
// fault or an interrupt met on the way propagates, as it does from the text path, with the
// message boxes the text path shows before it.
PlanResult RunFlatPlan(const FlatPlan& plan, const EvalContext& context, FlatWork& work);

}  // namespace ombrix
