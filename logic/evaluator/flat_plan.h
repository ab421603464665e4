// A plan lowered into a short run of operations over registers: each value (an operand, a
// built-in call, a bracket group, a comparison side) is computed into its register in the
// order the text path meets it, the values it stands on first, by one loop without
// recursion, allocation or exceptions of its own. Every rule it applies is the text path's
// own function (the passes, CompareValues, ComputeBuiltin, the complex arithmetic), so that
// a fault the operations meet is the fault the text path meets at the same point.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "logic/complex/complex.h"
#include "logic/evaluator/builtins.h"
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

// The values of the built-ins that read the scale (ReadsTheScale) with their reads, all
// kept for one drawing, scale count and picture size: one test of these holds for a line
// that reads several of them.
struct ScaleMemo {
  struct Kept {
    bool filled = false;
    TComplex value, read, cut;  // the value, its read, and that read cut
  };
  const DrawingView* drawing = nullptr;  // none: nothing kept
  std::uint64_t count = 0;
  int width = 0, height = 0;
  std::array<Kept, kScaleBuiltins> kept;  // by built-in, from kFirstScaleBuiltin
};

// One operation: writes register `dst` from registers `a` and `b`.
struct FlatOp {
  // ORDER: RunFlatPlan's table of the operations' code (a static_assert there counts them).
  enum class Code : unsigned char {
    Var,  // `sign` times variable `a`'s current value (an operand)
    Reg,  // `sign` times register `a` (an operand that reads back as itself)
    // `sign` times register `a` read back from its pair text (an operand). Here, in Read
    // and in End, `b` is 0, or the index plus 1 of a variable whose value `a` holds cut:
    // no read is needed where that value reads back as itself.
    RegRead,
    // The sum pass's first entry, variable `a` times `sign` with operator `op`; for a lone
    // operand, the whole pass. A term whose fetches cannot fail fetches its variables here.
    SumFirstVar,
    SumFirstVarRead,  // the same, read back from its pair text
    SumNextVar,       // the running sum in `dst` `op` variable `a` times `sign`
    Read,             // register `a` read back from its pair text
    SumFirst,         // the sum pass's first entry: 0 `op` register `a`
    SumNext,          // the running sum in `dst` `op` register `a`
    Power,            // `a` ^ `b`
    PowerVar,         // `sign` times variable `a`, fetched as Var fetches it, ^ `b`
    Product,          // `a` `op` `b`, `op` one of the product pass
    Builtin,          // built-in `b` of `a`
    // Built-in `b` that reads the scale, of `a`; its value read back from its pair text
    // goes to `dst` + 1, and that read cut (1 times it) to `dst` + 2.
    ScaleBuiltin,
    Compare,  // 1 or 0: `a` `op` `b`
    // "<" or ">" (`op`) against the number in `b`, decided by `a`, the left side's value
    // before its read: then `dst` takes the comparison's 1 or 0 and the `skip` operations
    // that read the side and compare it are passed over.
    DecideUnread,
    // The term's value in `a` read back from its pair text into `dst` (see End), where a
    // longer run goes on after the term: the next term's products are charged from 0.
    Value,
    // Shapes of the operations above that the lowering settles, so that a run asks nothing
    // of them: SumFirstVar with "+" and sign 1 (the variable's value cut), and read back
    // unless the variable's value reads back as itself; a product "*" of two values that
    // are a comparison's 1 or 0; Value where the value reads back as itself, and where it
    // is read back as any line's value.
    SumFirstVarPlus,
    SumFirstVarPlusRead,
    ComparisonProduct,
    ValueKept,
    ValueFresh,
    PowerVarSquare,  // PowerVar by the number 2 in `b`
    // PowerVarSquare, then SumNextVar with sign 1 of variable `b` into the same register
    // (a drawing loop's "z^2+c").
    PowerVarSquareSumVar,
    // SumFirstVarPlus, then SumNext `op` register `b` into the same register (a count's
    // "n+1").
    SumFirstVarPlusNext,
    // SumFirstVarPlusRead, then Compare `op` of its value with register `b` (a count's
    // "n<30").
    SumFirstVarPlusReadCompare,
    // RegRead with sign 1, then SumFirst "+" of what it read: the sum pass over a lone
    // operand that is a bracket group's or a built-in's value.
    RegReadSumPlus,
    // SumFirstVarPlus into register `b`, then RegReadSumPlus of it into `dst` (a drawing
    // loop's "Betrag(z)").
    SumFirstVarPlusReadSum,
    // An operation of the caller that runs the operations (RunFlatOps' host): `a` names it.
    Host,
    // The host's argument cursor set to `b`, where a keyword's or command's argument
    // begins: a step of its own that needs no lookup.
    Argument,
    // The term's value is in `a`, read back from its pair text unless `flags` holds
    // kReadsBack; `b` as in Read.
    End,
    // Lines' own operations, carried out by the host's members of the same names. In
    // Assign and LoopEnd the value in `a` is read back as Value reads it.
    Assign,  // variable `dst` takes the value
    // Assign of a value read as any line's value (ValueFresh): its read needs no test.
    AssignFresh,
    // PowerVarSquareSumVar and SumFirstVarPlusNext, then AssignFresh of their value (a
    // drawing loop's "z:=z^2+c" and "n:=n+1"): `dst` names the variable.
    PowerVarSquareSumVarAssign,
    SumFirstVarPlusNextAssign,
    LoopTest,  // host step `a`: the loop's test begins, the argument cursor at `b`
    // LoopEnd on the value ComparisonProduct forms of registers `a` and `b` (a drawing
    // loop's "(Betrag(z)<2)*(n<30)"), which reads back as itself.
    LoopEndProduct,
    LoopEnd,  // the loop's end on the value: back to the line after line `dst`, or on
  };
  // The value a term ends with reads back as itself: a comparison's 1 or 0, or a value
  // known to read back so.
  static constexpr std::uint8_t kReadsBack = 1;

  Code code = Code::End;
  char op = '+';
  std::uint8_t flags = 0;
  std::uint16_t skip = 0;
  double sign = 1.0;
  std::int32_t dst = 0, a = 0, b = 0;
};

struct FlatPlan {
  bool usable = false;
  bool comparison = false;  // the term is a comparison: its value is 1 or 0
  bool read_back = false;   // the value reads back from its text as itself
  std::vector<FlatOp> ops;
  // The constants the operations read (numbers, 0) hold their registers from the start;
  // the others are written by a run before they are read. A plan's registers are its
  // own, so that nothing needs filling per run; no evaluation runs inside another.
  std::vector<TComplex> registers;
};

// What a run needs besides the plan: the memos.
struct FlatWork {
  RoundTripMemo& round_trips;
  PowerMemo& powers;
  ScaleMemo& scales;
};

// True with the term's value in `raw` and `value` (see PlanResult; a comparison's raw and
// value are both its 1 or 0), or false where only the text path can say (an error text, a
// value whose text the quick round trip leaves to the texts); nothing has been shown then.
// A fault or an interrupt met on the way propagates, as it does from the text path, with
// the message boxes the text path shows before it.
bool RunFlatPlan(FlatPlan& plan, const EvalContext& context, FlatWork& work, TComplex& raw,
                 TComplex& value);

}  // namespace ombrix
