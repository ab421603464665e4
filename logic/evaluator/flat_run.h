// The one loop that runs flat operations (flat_plan.h): for a lone plan (RunFlatPlan), and
// for a caller's longer run of them, such as the interpreter's compiled lines, whose own
// operations (FlatOp::Code::Host) the caller carries out between the terms' operations.
// Every operation applies the text path's rule functions, so a run of them meets the
// values and faults the texts meet.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "logic/complex/num_text.h"
#include "logic/complex/quick_round_trip.h"
#include "logic/complex/table_order.h"
#include "logic/evaluator/builtins.h"
#include "logic/evaluator/evaluate.h"
#include "logic/evaluator/flat_plan.h"
#include "logic/evaluator/term_scan.h"

namespace ombrix::flat {

// ParseNumberText of the text of `x`: whole numbers below kWholeTextBound, 0 among them,
// are their own text; the others go through `read`. False where only the texts can say.
template <typename ReadOther>
[[gnu::always_inline]] inline bool ReadPart(double x, double& out, ReadOther read) {
  if (x == 0.0) {
    out = 0.0;
    return true;
  }
  if (std::fabs(x) < kWholeTextBound && x == static_cast<double>(static_cast<std::int64_t>(x))) {
    out = x;
    return true;
  }
  return read(x, out);
}

// ParseNumberText of the pair text of `v`.
[[gnu::always_inline]] inline bool Read(TComplex v, TComplex& out, RoundTripMemo& memo) {
  const auto other = [&memo](double x, double& part) { return memo.Read(x, part); };
  return ReadPart(v.Re, out.Re, other) && ReadPart(v.Im, out.Im, other);
}

// The same for a value a line has just computed, such as a loop's next value, which the
// memo seldom holds: asking it first would cost more than it saves. The common case is
// read in line.
[[gnu::always_inline]] inline bool ReadFresh(TComplex v, TComplex& out) {
  // In line wherever it is read: a call per part costs as much as the common case's read.
  const auto plain = [](double x, double& part) __attribute__((always_inline)) {
    return QuickRoundTripReal(x, part) || RoundTripReal(x, part);
  };
  return ReadPart(v.Re, out.Re, plain) && ReadPart(v.Im, out.Im, plain);
}

// ReadFresh with MakeComplex of what it reads in `cut`: a part read as 0, as a whole number
// (1 or more) or by the quick round trip is its own cut. The quick round trip reads 10^14
// or more, shifted by 10^22 at most. Where the value is seldom whole (`kSeldomWhole`: a
// square's sum), the quick round trip comes before ReadPart's whole-number test: a whole
// number it reads is the same number ReadPart would take, and a 0 is left to ReadPart,
// which reads a -0 as 0. Elsewhere, whole values such as counts are common.
static_assert(1E14 / round_trip::kExactPowers.back() > ZeroCutThreshold);
template <bool kSeldomWhole = false>
[[gnu::always_inline]] inline bool ReadFreshCut(TComplex v, TComplex& out, TComplex& cut) {
  // Per part: its own cut unless the texts had to read it.
  const auto part = [](double x, double& read, double& read_cut) __attribute__((always_inline)) {
    if constexpr (kSeldomWhole) {
      if (x != 0.0 && QuickRoundTripReal(x, read)) {
        read_cut = read;
        return true;
      }
    }
    bool slow = false;
    const auto plain = [&slow](double y, double& z) __attribute__((always_inline)) {
      if constexpr (!kSeldomWhole) {
        if (QuickRoundTripReal(y, z)) return true;
      }
      slow = true;
      return RoundTripReal(y, z);
    };
    if (!ReadPart(x, read, plain)) return false;
    read_cut = slow ? CutPart(read) : read;
    return true;
  };
  return part(v.Re, out.Re, cut.Re) && part(v.Im, out.Im, cut.Im);
}

// A register is written whole, with one 16-byte store: an operation that copies it whole
// then takes the stored bytes at once instead of waiting for two halves to arrive.
[[gnu::always_inline]] inline void Put(TComplex& reg, TComplex v) {
#if defined(__SSE2__)
  _mm_storeu_pd(&reg.Re, _mm_set_pd(v.Im, v.Re));
#else
  reg = v;
#endif
}

// 1 * v is v exactly and cannot overflow: only the cut is left.
[[gnu::always_inline]] inline TComplex Signed(double sign, TComplex v) {
  return sign == 1.0 ? MakeComplex(v.Re, v.Im) : sign * v;
}
// `sign` times variable `j`'s current value, as Signed forms it: for 1, the value cut, as
// the table keeps it.
[[gnu::always_inline]] inline TComplex SignedValueOf(double sign, TComplex current, TComplex cut) {
  return sign == 1.0 ? cut : sign * current;
}
[[gnu::always_inline]] inline TComplex SignedVariable(double sign, int j,
                                                      const EvalContext& context) {
  return sign == 1.0 ? context.variables.CutValue(j) : sign * context.variables.CurrentValue(j);
}

// The sum pass's first entry from a variable operand.
[[gnu::always_inline]] inline bool SumStartVariable(const FlatOp& op, const EvalContext& context,
                                                    TComplex& sum) {
  return SumStart(op.op, SignedVariable(op.sign, op.a, context), sum);
}
// The same for "+" with sign 1: "+" cuts a value that 1 times it has cut already, which
// leaves it as it is.
[[gnu::always_inline]] inline bool SumStartPlusOf(TComplex cut, TComplex& sum) {
  sum = cut;
  return !Overflows(sum);
}
[[gnu::always_inline]] inline bool SumStartPlus(int j, const EvalContext& context, TComplex& sum) {
  return SumStartPlusOf(context.variables.CutValue(j), sum);
}

// `v` read back from its pair text into `read`, or taken as it is where it reads back as
// itself (`itself`).
[[gnu::always_inline]] inline bool ReadUnless(bool itself, TComplex v, TComplex& read,
                                              RoundTripMemo& memo) {
  read = v;
  return itself || Read(v, read, memo);
}
// SumStartVariable read back from its pair text.
[[gnu::always_inline]] inline bool SumStartVariableRead(const FlatOp& op,
                                                        const EvalContext& context,
                                                        RoundTripMemo& memo, TComplex& read) {
  TComplex sum;
  return SumStartVariable(op, context, sum) && Read(sum, read, memo);
}
// SumStartPlus read back, unless the variable's value reads back as itself (see below).
// Both take the variable's cut value and whether its value reads back as itself, from the
// table or from whoever holds them.
[[gnu::always_inline]] inline bool SumStartPlusReadOf(TComplex cut, bool itself,
                                                      RoundTripMemo& memo, TComplex& read) {
  TComplex sum;
  return SumStartPlusOf(cut, sum) && ReadUnless(itself, sum, read, memo);
}
[[gnu::always_inline]] inline bool SumStartPlusRead(int j, const EvalContext& context,
                                                    RoundTripMemo& memo, TComplex& read) {
  return SumStartPlusReadOf(context.variables.CutValue(j), context.variables.ReadsBackAsItself(j),
                            memo, read);
}

// Whether the sum of a lone variable operand reads back as itself: "+" with sign 1 only
// cuts the value, and a value that reads back as itself does so cut too (a part becomes 0
// or stays). The variable is `a` in SumFirstVarPlusRead; in the reads `b` is its index
// plus 1, or 0 where the value read is no such sum.
[[gnu::always_inline]] inline bool ReadsAsItself(const FlatOp& op, const EvalContext& context) {
  return op.b > 0 && context.variables.ReadsBackAsItself(op.b - 1);
}

// Where a value lies a decade inside the zero cut and the overflow test of a lone
// operand: reading its text cannot move it onto or across either.
inline constexpr double kUnreadLow = 10 * ZeroCutThreshold;
inline constexpr double kUnreadHigh = PowerOverflowLimit / 10;
static_assert(kUnreadLow * (1 - kReadMovesLessThan) > ZeroCutThreshold);
static_assert(kUnreadHigh * (1 + kReadMovesLessThan) < PowerOverflowLimit);

// "<" and ">" of a real left side against a real number that reads back as itself are
// decided by the side's value before its read where that lies far enough from the
// number: the read moves a value by less than kReadMovesLessThan of it, never onto or
// across the number, and between kUnreadLow and kUnreadHigh neither value meets the cut
// or the overflow test of a lone operand.
inline bool DecidedUnread(TComplex unread, TComplex number) {
  const double magnitude = std::fabs(unread.Re);
  return unread.Im == 0.0 && number.Im == 0.0 && magnitude >= kUnreadLow &&
         magnitude <= kUnreadHigh &&
         std::fabs(unread.Re - number.Re) >
             kReadMovesLessThan * std::max(magnitude, std::fabs(number.Re));
}

// A term's value as its result text reads back (End and Value): a comparison's 1 or 0 and
// a value known to read back as itself are taken as they are. A line's value (Value) is
// read without the memo.
[[gnu::always_inline]] inline bool ResultRead(const FlatOp& op, TComplex result,
                                              const EvalContext& context, FlatWork& work,
                                              TComplex& read) {
  read = result;
  if ((op.flags & FlatOp::kReadsBack) != 0 || ReadsAsItself(op, context)) return true;
  return op.code == FlatOp::Code::Value ? ReadFresh(result, read)
                                        : Read(result, read, work.round_trips);
}

// The built-ins that read the scale in the run of FlatOp::Code::ScaleBuiltin operations
// from `op` on, each written as that operation writes it; answers the run's last
// operation. A value is kept while the drawing, its scale count and the picture's size
// stay, which are read once for the run (nothing in it can change them), and computed by
// its rule otherwise. A rule on the argument is tested at every call. A value that fails,
// or whose read only the texts can make, is not kept: the next run computes it again and
// fails where it does now (none answered). The read is made here, before the operand that
// takes it: a read left to the texts leaves the whole term to them either way, with
// nothing shown.
inline const FlatOp* ScaleBuiltinValues(const FlatOp* op, TComplex* r, const EvalContext& context,
                                        FlatWork& work) {
  const DrawingView& drawing = context.drawing;
  ScaleMemo& memo = work.scales;
  const std::uint64_t count = drawing.ScaleCount();
  const int width = drawing.Width();
  const int height = drawing.Height();
  if (memo.drawing != &drawing || memo.count != count || memo.width != width ||
      memo.height != height) [[unlikely]] {
    memo = {};
    if (count != DrawingView::kUncountedScale) memo = {&drawing, count, width, height, {}};
  }
  for (;; ++op) {
    ScaleMemo::Kept& kept = memo.kept[static_cast<std::size_t>(op->b - kFirstScaleBuiltin)];
    const int rule = context.functions.ArgumentRule(op->b);
    if (!kept.filled || rule != kRuleNone) [[unlikely]] {
      bool valid = false;
      const TComplex value = BuiltinValue(op->b, r[op->a], rule, drawing, valid);
      TComplex read;
      if (!valid || !Read(value, read, work.round_trips)) return nullptr;
      // A cut read past the overflow test is left to the texts too: a sum's first "+" of
      // the cut read then leaves it as it is, with no test of its own.
      const TComplex cut = Signed(1.0, read);
      if (Overflows(cut)) return nullptr;
      kept = {memo.drawing != nullptr && rule == kRuleNone, value, read, cut};
    }
    Put(r[op->dst], kept.value);
    Put(r[op->dst + 1], kept.read);
    Put(r[op->dst + 2], kept.cut);
    if (op[1].code != FlatOp::Code::ScaleBuiltin) return op;
  }
}

// The sum pass's "+" over a lone value read back from its pair text (RegRead with sign 1,
// then SumFirst), in `sum`. A value a variable's "+" leaves that reads back as itself
// (`itself`) is cut and has passed the overflow test: the read, the cut of sign 1 and the
// "+" leave it as it is. Any other value is read, then cut once: cutting a cut value
// again leaves it.
[[gnu::always_inline]] inline bool ReadSumPlus(bool itself, TComplex& sum, RoundTripMemo& memo) {
  if (itself) return true;
  TComplex read;
  if (!Read(sum, read, memo)) return false;
  sum = MakeComplex(read.Re, read.Im);
  return !Overflows(sum);
}

inline PowerWork Powers(double& products, const EvalContext& context, FlatWork& work) {
  return {products, context.power_products, context.boxes, context.interrupt, &work.powers};
}

// The product of two comparisons' values, each (1, 0) or (0, 0): each product and sum of
// their parts is exact and finite, so the product is (1, 0) or (0, 0) with +0 parts, which
// the cut leaves.
[[gnu::always_inline]] inline TComplex ComparisonProduct(TComplex a, TComplex b) {
  return ComplexFromReal(a.Re * b.Re);
}

// PowerVarSquareSumVar's value: the two operations' steps in their order, the square's
// tests before the sum's.
// The values of the two variables as SignedVariable gives them, from the table or from
// whoever holds them.
[[gnu::always_inline]] inline bool SquareSumOf(const FlatOp& op, TComplex base, TComplex addend,
                                               const EvalContext& context, FlatWork& work,
                                               double& products, TComplex& sum) {
  constexpr TComplex kTwo{2.0, 0.0};  // the rule's own steps with the exponent known
  return PowerOf(base, kTwo, Powers(products, context, work), sum) == PassFailure::None &&
         SumStep(op.op, addend, sum);
}
[[gnu::always_inline]] inline bool SquareSumVar(const FlatOp& op, const EvalContext& context,
                                                FlatWork& work, double& products, TComplex& sum) {
  return SquareSumOf(op, SignedVariable(op.sign, op.a, context), SignedVariable(1.0, op.b, context),
                     context, work, products, sum);
}
// SumFirstVarPlusNext's value, of variable `a`'s cut value.
[[gnu::always_inline]] inline bool PlusNextOf(const FlatOp& op, TComplex cut, const TComplex* r,
                                              TComplex& sum) {
  return SumStartPlusOf(cut, sum) && SumStep(op.op, r[op.b], sum);
}
[[gnu::always_inline]] inline bool PlusNext(const FlatOp& op, const EvalContext& context,
                                            const TComplex* r, TComplex& sum) {
  return PlusNextOf(op, context.variables.CutValue(op.a), r, sum);
}

// Whole real numbers below this add and subtract exactly, and the sum stays below the
// bound of their own texts and far inside the overflow test; a whole number other than 0
// lies above the zero cut.
inline constexpr double kWholeStepBound = 0x1p48;
static_assert(2 * kWholeStepBound <= 0x1p53 && 2 * kWholeStepBound < kWholeTextBound);
static_assert(2 * kWholeStepBound < PowerOverflowLimit && ZeroCutThreshold < 1.0);
[[gnu::always_inline]] inline bool IsSmallWhole(TComplex v) {
  return v.Im == 0.0 && std::fabs(v.Re) < kWholeStepBound &&
         v.Re == static_cast<double>(static_cast<std::int64_t>(v.Re));
}
// What a count's "+" or "-" of a small whole number adds ("-" its negative, exactly), the
// same in every pass; NaN where the step is no such number or the operator another.
[[gnu::always_inline]] inline double WholeStepOf(const FlatOp& op, const TComplex* r) {
  const TComplex step = r[op.b];
  if ((op.op != '+' && op.op != '-') || !IsSmallWhole(step))
    return std::numeric_limits<double>::quiet_NaN();
  return op.op == '+' ? step.Re : -step.Re;
}
// That sum of a small whole count and such a step: + 0.0 turns a -0 into +0.
[[gnu::always_inline]] inline TComplex WholeStepSum(double count, double whole_step) {
  return ComplexFromReal(count + whole_step + 0.0);
}
// PlusNextOf read back with its cut, as ReadFreshCut gives them; `whole_step` is
// WholeStepOf the operation. A count's "+" or "-" of small whole numbers is their exact
// sum: it passes both overflow tests, the cut leaves it and its text reads back as
// itself; a 0 becomes +0 as the cut makes it.
[[gnu::always_inline]] inline bool PlusNextReadOf(const FlatOp& op, TComplex cut, const TComplex* r,
                                                  double whole_step, TComplex& read,
                                                  TComplex& read_cut) {
  if (!std::isnan(whole_step) && IsSmallWhole(cut)) [[likely]] {
    read = read_cut = WholeStepSum(cut.Re, whole_step);
    return true;
  }
  TComplex sum;
  return PlusNextOf(op, cut, r, sum) && ReadFreshCut(sum, read, read_cut);
}

// A loop's count that its passes hold, stepped as PlusNextReadOf steps it. While the count
// and its step are small whole numbers, each sum is a whole real number too: the test of
// the next is then its bound alone.
struct HeldCount {
  HeldCount(const FlatOp& op, const TComplex* r, TComplex cut)
      : whole_step(WholeStepOf(op, r)), whole(!std::isnan(whole_step) && IsSmallWhole(cut)) {}
  // The next value and its cut, or false with both left as they are.
  [[gnu::always_inline]] bool Next(const FlatOp& op, const TComplex* r, TComplex& value,
                                   TComplex& cut) {
    if (whole && std::fabs(cut.Re) < kWholeStepBound) [[likely]] {
      value = cut = WholeStepSum(cut.Re, whole_step);
      return true;
    }
    TComplex read;
    TComplex read_cut;
    if (!PlusNextReadOf(op, cut, r, whole_step, read, read_cut)) return false;
    value = read;
    cut = read_cut;
    whole = !std::isnan(whole_step) && IsSmallWhole(cut);
    return true;
  }
  double whole_step;
  bool whole;
};

// The value a line of one fused assignment (PowerVarSquareSumVarAssign,
// SumFirstVarPlusNextAssign) assigns, read as any line's value, with its cut: the one
// place both the dispatch loop and a host that runs such lines itself take it from.
template <FlatOp::Code kCode>
[[gnu::always_inline]] inline bool FusedAssignValue(const FlatOp& op, const EvalContext& context,
                                                    FlatWork& work, const TComplex* r,
                                                    double& products, TComplex& read,
                                                    TComplex& cut) {
  static_assert(kCode == FlatOp::Code::PowerVarSquareSumVarAssign ||
                kCode == FlatOp::Code::SumFirstVarPlusNextAssign);
  if constexpr (kCode == FlatOp::Code::PowerVarSquareSumVarAssign) {
    TComplex sum;
    return SquareSumVar(op, context, work, products, sum) && ReadFreshCut<true>(sum, read, cut);
  } else {
    return PlusNextReadOf(op, context.variables.CutValue(op.a), r, WholeStepOf(op, r), read, cut);
  }
}
// Whether a line's first operation is such a fused assignment, and so the whole line.
inline bool IsFusedAssign(FlatOp::Code code) {
  return code == FlatOp::Code::PowerVarSquareSumVarAssign ||
         code == FlatOp::Code::SumFirstVarPlusNextAssign;
}

// A line's value that a host operation takes (Assign, LoopEnd), read as Value reads it.
[[gnu::always_inline]] inline bool HostValueRead(const FlatOp& op, TComplex result,
                                                 const EvalContext& context, TComplex& read) {
  read = result;
  if ((op.flags & FlatOp::kReadsBack) != 0 || ReadsAsItself(op, context)) return true;
  return ReadFresh(result, read);
}

// The host operations of a run that holds terms only (a lone plan's, a test's): it has
// none, and a run that met one would stop.
struct TermsOnly {
  static const FlatOp* Operation(const FlatOp* /*op*/, TComplex* /*r*/) { return nullptr; }
  static const FlatOp* Assign(const FlatOp* /*op*/, TComplex /*v*/, TComplex /*cut*/) {
    return nullptr;
  }
  static const FlatOp* LoopTest(const FlatOp* /*op*/) { return nullptr; }
  static const FlatOp* Argument(const FlatOp* /*op*/) { return nullptr; }
  static const FlatOp* LoopEnd(const FlatOp* /*op*/, TComplex /*v*/) { return nullptr; }
  static bool Stopped() { return false; }
};

}  // namespace ombrix::flat

namespace ombrix {

// Runs operations from `op` over registers `r` until one ends the run. False where a
// term's value is left to the text path (nothing has been shown then); otherwise what the
// host answers: at End (a lone plan's term) `host.End(op, r)`, and when `host.Operation(op,
// r)`, which carries out a Host operation and answers the one to go on with, answers none,
// `host.Stopped()`. A fault or an interrupt met on the way propagates, as it does from the
// text path, with the message boxes the text path shows before it. A term's products of
// powers are charged from 0, as each evaluation's are.
// The one dispatch loop is the one function longer and more branched than the checks
// allow: every operation's code is a label in it, and a jump cannot leave the function.
template <class Host>
// NOLINTNEXTLINE(readability-function-size,readability-function-cognitive-complexity)
bool RunFlatOps(const FlatOp* op, TComplex* r, const EvalContext& context, FlatWork& work,
                Host& host) {
  using flat::Put;
  using flat::Signed;
  // Each operation jumps straight to the next one's code: one indirect jump per operation,
  // each with a history of its own for the branch predictor. A row per FlatOp::Code, in
  // its order.
  struct CodeRow {
    FlatOp::Code id;
    void* label;
  };
  static constexpr std::array<CodeRow, static_cast<std::size_t>(FlatOp::Code::LoopEnd) + 1> kRows =
      {{{FlatOp::Code::Var, &&var},
        {FlatOp::Code::Reg, &&reg},
        {FlatOp::Code::RegRead, &&reg_read},
        {FlatOp::Code::SumFirstVar, &&sum_first_var},
        {FlatOp::Code::SumFirstVarRead, &&sum_first_var_read},
        {FlatOp::Code::SumNextVar, &&sum_next_var},
        {FlatOp::Code::Read, &&read},
        {FlatOp::Code::SumFirst, &&sum_first},
        {FlatOp::Code::SumNext, &&sum_next},
        {FlatOp::Code::Power, &&power},
        {FlatOp::Code::PowerVar, &&power_var},
        {FlatOp::Code::Product, &&product},
        {FlatOp::Code::Builtin, &&builtin},
        {FlatOp::Code::ScaleBuiltin, &&scale_builtin},
        {FlatOp::Code::Compare, &&compare},
        {FlatOp::Code::DecideUnread, &&decide_unread},
        {FlatOp::Code::Value, &&value},
        {FlatOp::Code::SumFirstVarPlus, &&sum_first_var_plus},
        {FlatOp::Code::SumFirstVarPlusRead, &&sum_first_var_plus_read},
        {FlatOp::Code::ComparisonProduct, &&comparison_product},
        {FlatOp::Code::ValueKept, &&value_kept},
        {FlatOp::Code::ValueFresh, &&value_fresh},
        {FlatOp::Code::PowerVarSquare, &&power_var_square},
        {FlatOp::Code::PowerVarSquareSumVar, &&power_var_square_sum_var},
        {FlatOp::Code::SumFirstVarPlusNext, &&sum_first_var_plus_next},
        {FlatOp::Code::SumFirstVarPlusReadCompare, &&sum_first_var_plus_read_compare},
        {FlatOp::Code::RegReadSumPlus, &&reg_read_sum_plus},
        {FlatOp::Code::SumFirstVarPlusReadSum, &&sum_first_var_plus_read_sum},
        {FlatOp::Code::Host, &&host},
        {FlatOp::Code::Argument, &&argument},
        {FlatOp::Code::End, &&end},
        {FlatOp::Code::Assign, &&assign},
        {FlatOp::Code::AssignFresh, &&assign_fresh},
        {FlatOp::Code::PowerVarSquareSumVarAssign, &&power_var_square_sum_var_assign},
        {FlatOp::Code::SumFirstVarPlusNextAssign, &&sum_first_var_plus_next_assign},
        {FlatOp::Code::LoopTest, &&loop_test},
        {FlatOp::Code::LoopEndProduct, &&loop_end_product},
        {FlatOp::Code::LoopEnd, &&loop_end}}};
  static_assert(InEnumOrder(kRows));
  static constexpr auto kCode = TableColumn(kRows, &CodeRow::label);
  double products = 0;  // charged in this evaluation, as the text path charges them
// A jump cannot stand in brackets.
#define OMBRIX_NEXT_OPERATION() \
  goto* kCode[static_cast<std::size_t>((++op)->code)]  // NOLINT(bugprone-macro-parentheses)
// Where a host operation answered the one to go on with: none stops the run.
#define OMBRIX_GO_ON_AT(next)               \
  op = (next);                              \
  if (op == nullptr) return host.Stopped(); \
  goto* kCode[static_cast<std::size_t>(op->code)]  // NOLINT(bugprone-macro-parentheses)
  goto* kCode[static_cast<std::size_t>(op->code)];
var:
  Put(r[op->dst], flat::SignedVariable(op->sign, op->a, context));
  OMBRIX_NEXT_OPERATION();
reg:
  Put(r[op->dst], Signed(op->sign, r[op->a]));
  OMBRIX_NEXT_OPERATION();
reg_read : {
  TComplex read;
  if (!flat::ReadUnless(flat::ReadsAsItself(*op, context), r[op->a], read, work.round_trips)) {
    return false;
  }
  Put(r[op->dst], Signed(op->sign, read));
  OMBRIX_NEXT_OPERATION();
}
sum_first_var : {
  TComplex sum;
  if (!flat::SumStartVariable(*op, context, sum)) return false;
  Put(r[op->dst], sum);
  OMBRIX_NEXT_OPERATION();
}
sum_first_var_read : {
  TComplex read;
  if (!flat::SumStartVariableRead(*op, context, work.round_trips, read)) return false;
  Put(r[op->dst], read);
  OMBRIX_NEXT_OPERATION();
}
sum_first_var_plus : {
  TComplex sum;
  if (!flat::SumStartPlus(op->a, context, sum)) return false;
  Put(r[op->dst], sum);
  OMBRIX_NEXT_OPERATION();
}
sum_first_var_plus_read : {
  TComplex read;
  if (!flat::SumStartPlusRead(op->a, context, work.round_trips, read)) return false;
  Put(r[op->dst], read);
  OMBRIX_NEXT_OPERATION();
}
sum_next_var : {
  TComplex sum = r[op->dst];
  if (!SumStep(op->op, flat::SignedVariable(op->sign, op->a, context), sum)) {
    return false;
  }
  Put(r[op->dst], sum);
  OMBRIX_NEXT_OPERATION();
}
read : {
  TComplex read;
  if (!flat::ReadUnless(flat::ReadsAsItself(*op, context), r[op->a], read, work.round_trips)) {
    return false;
  }
  Put(r[op->dst], read);
  OMBRIX_NEXT_OPERATION();
}
sum_first : {
  TComplex sum;
  if (!SumStart(op->op, r[op->a], sum)) return false;
  Put(r[op->dst], sum);
  OMBRIX_NEXT_OPERATION();
}
sum_next : {
  TComplex sum = r[op->dst];
  if (!SumStep(op->op, r[op->a], sum)) return false;
  Put(r[op->dst], sum);
  OMBRIX_NEXT_OPERATION();
}
power : {
  TComplex power;
  if (PowerOf(r[op->a], r[op->b], flat::Powers(products, context, work), power) !=
      PassFailure::None) {
    return false;
  }
  Put(r[op->dst], power);
  OMBRIX_NEXT_OPERATION();
}
power_var : {
  TComplex power;
  if (PowerOf(flat::SignedVariable(op->sign, op->a, context), r[op->b],
              flat::Powers(products, context, work), power) != PassFailure::None) {
    return false;
  }
  Put(r[op->dst], power);
  OMBRIX_NEXT_OPERATION();
}
power_var_square : {
  // The rule's own steps with the exponent known: the tests of the exponent fall away.
  constexpr TComplex kTwo{2.0, 0.0};
  TComplex power;
  if (PowerOf(flat::SignedVariable(op->sign, op->a, context), kTwo,
              flat::Powers(products, context, work), power) != PassFailure::None) {
    return false;
  }
  Put(r[op->dst], power);
  OMBRIX_NEXT_OPERATION();
}
power_var_square_sum_var : {
  TComplex sum;
  if (!flat::SquareSumVar(*op, context, work, products, sum)) return false;
  Put(r[op->dst], sum);
  OMBRIX_NEXT_OPERATION();
}
sum_first_var_plus_next : {
  TComplex sum;
  if (!flat::PlusNext(*op, context, r, sum)) return false;
  Put(r[op->dst], sum);
  OMBRIX_NEXT_OPERATION();
}
sum_first_var_plus_read_compare : {
  TComplex read;
  if (!flat::SumStartPlusRead(op->a, context, work.round_trips, read)) return false;
  const char outcome = CompareValues(op->op, read, r[op->b]);
  if (outcome == '?') return false;
  Put(r[op->dst], ComplexFromReal(outcome == '1' ? 1.0 : 0.0));
  OMBRIX_NEXT_OPERATION();
}
reg_read_sum_plus : {
  TComplex sum = r[op->a];
  if (!flat::ReadSumPlus(flat::ReadsAsItself(*op, context), sum, work.round_trips)) return false;
  Put(r[op->dst], sum);
  OMBRIX_NEXT_OPERATION();
}
sum_first_var_plus_read_sum : {
  // Both operations' steps, each register written as they write it.
  TComplex sum;
  if (!flat::SumStartPlus(op->a, context, sum)) return false;
  Put(r[op->b], sum);
  if (!flat::ReadSumPlus(context.variables.ReadsBackAsItself(op->a), sum, work.round_trips)) {
    return false;
  }
  Put(r[op->dst], sum);
  OMBRIX_NEXT_OPERATION();
}
product : {
  TComplex product;
  if (ProductOf(op->op, r[op->a], r[op->b], context.boxes, product) != PassFailure::None) {
    return false;
  }
  Put(r[op->dst], product);
  OMBRIX_NEXT_OPERATION();
}
builtin : {
  bool valid = false;
  const TComplex v =
      BuiltinValue(op->b, r[op->a], context.functions.ArgumentRule(op->b), context.drawing, valid);
  if (!valid) return false;
  Put(r[op->dst], v);
  OMBRIX_NEXT_OPERATION();
}
scale_builtin:
  op = flat::ScaleBuiltinValues(op, r, context, work);
  if (op == nullptr) return false;
  OMBRIX_NEXT_OPERATION();
comparison_product:
  Put(r[op->dst], flat::ComparisonProduct(r[op->a], r[op->b]));
  OMBRIX_NEXT_OPERATION();
compare : {
  const char outcome = CompareValues(op->op, r[op->a], r[op->b]);
  if (outcome == '?') return false;
  Put(r[op->dst], ComplexFromReal(outcome == '1' ? 1.0 : 0.0));
  OMBRIX_NEXT_OPERATION();
}
decide_unread:
  if (flat::DecidedUnread(r[op->a], r[op->b])) {
    // Its "<" or ">" of real sides, as CompareValues decides them.
    Put(r[op->dst], ComplexFromReal(CompareOrdered(op->op, r[op->a], r[op->b]) == '1' ? 1.0 : 0.0));
    op += op->skip;
  }
  OMBRIX_NEXT_OPERATION();
value : {
  TComplex read;
  if (!flat::ResultRead(*op, r[op->a], context, work, read)) return false;
  Put(r[op->dst], read);
  products = 0;  // the next term is an evaluation of its own
  OMBRIX_NEXT_OPERATION();
}
value_kept:
  Put(r[op->dst], r[op->a]);
  products = 0;
  OMBRIX_NEXT_OPERATION();
value_fresh : {
  TComplex read;
  if (!flat::ReadFresh(r[op->a], read)) return false;
  Put(r[op->dst], read);
  products = 0;
  OMBRIX_NEXT_OPERATION();
}
host:
  OMBRIX_GO_ON_AT(host.Operation(op, r));
argument:
  OMBRIX_GO_ON_AT(host.Argument(op));
end:
  return host.End(*op, r);
assign : {
  TComplex read;
  if (!flat::HostValueRead(*op, r[op->a], context, read)) return false;
  products = 0;
  OMBRIX_GO_ON_AT(host.Assign(op, read, MakeComplex(read.Re, read.Im)));
}
assign_fresh : {
  TComplex read;
  TComplex cut;
  if (!flat::ReadFreshCut(r[op->a], read, cut)) return false;
  products = 0;
  OMBRIX_GO_ON_AT(host.Assign(op, read, cut));
}
power_var_square_sum_var_assign : {
  TComplex read;
  TComplex cut;
  if (!flat::FusedAssignValue<FlatOp::Code::PowerVarSquareSumVarAssign>(*op, context, work, r,
                                                                        products, read, cut)) {
    return false;
  }
  products = 0;
  OMBRIX_GO_ON_AT(host.Assign(op, read, cut));
}
sum_first_var_plus_next_assign : {
  TComplex read;
  TComplex cut;
  if (!flat::FusedAssignValue<FlatOp::Code::SumFirstVarPlusNextAssign>(*op, context, work, r,
                                                                       products, read, cut)) {
    return false;
  }
  products = 0;
  OMBRIX_GO_ON_AT(host.Assign(op, read, cut));
}
loop_test:
  OMBRIX_GO_ON_AT(host.LoopTest(op));
loop_end_product:
  products = 0;
  OMBRIX_GO_ON_AT(host.LoopEnd(op, flat::ComparisonProduct(r[op->a], r[op->b])));
loop_end : {
  TComplex read;
  if (!flat::HostValueRead(*op, r[op->a], context, read)) return false;
  products = 0;
  OMBRIX_GO_ON_AT(host.LoopEnd(op, read));
}
#undef OMBRIX_NEXT_OPERATION
#undef OMBRIX_GO_ON_AT
}

}  // namespace ombrix
