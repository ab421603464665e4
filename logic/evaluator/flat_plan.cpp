#include "logic/evaluator/flat_plan.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "logic/complex/num_text.h"
#include "logic/evaluator/builtins.h"
#include "logic/evaluator/evaluate.h"
#include "logic/evaluator/plan_tree.h"
#include "logic/evaluator/term_scan.h"

namespace ombrix {

namespace {

std::size_t MemoSlot(std::uint64_t bits) {
  return static_cast<std::size_t>((bits ^ (bits >> 29) ^ (bits >> 47)) & 255);
}

using Plan = PlanCache::Plan;

// The longest terms of the "+"/"-" kinds; longer ones take the passes.
constexpr int kMaxShortTerm = 8;

// Lowers the terms of a tree in the order the text path evaluates them: every value (in
// the order the builder added them, which is that order, a value's own values before it),
// then the whole term.
class Lowering {
 public:
  explicit Lowering(const Plan& plan) : plan_(plan) {}

  FlatPlan Run() {
    if (!plan_.usable) return out_;
    value_slots_.resize(plan_.values.size());
    for (std::size_t v = 0; v < plan_.values.size(); ++v) {
      const Plan::Value& value = plan_.values[v];
      if (value.k < 0) {
        value_slots_[v] = TermSteps(value.term);  // a group's value is its term's
        continue;
      }
      FlatStep step{};
      step.kind = FlatStep::Kind::Builtin;
      step.builtin = value.k;
      step.left = Side(value.term, true);
      step.slot = NewSlot();
      out_.steps.push_back(step);
      value_slots_[v] = step.slot;
    }
    out_.result = TermSteps(plan_.root);
    out_.comparison = Node(plan_.root).comparison;
    out_.read_back = ReadsBack(plan_.root);
    out_.usable = true;
    return out_;
  }

 private:
  const Plan::Term& Node(int t) const { return plan_.terms[static_cast<std::size_t>(t)]; }
  // A comparison's 1 or 0 and a read-back sum are their own texts' values.
  bool ReadsBack(int t) const { return Node(t).comparison || Node(t).read_back; }
  int NewSlot() { return out_.slot_count++; }

  // A short term is computed where its value is taken.
  bool Short(int t) const {
    const Plan::Term& node = Node(t);
    return !node.comparison && (node.folded || node.count == 1);
  }
  // Where a step takes term `t`'s value from; a short term goes in place when
  // `in_place`.
  FlatSide Side(int t, bool in_place) {
    const Plan::Term& node = Node(t);
    FlatSide side;
    side.read = !ReadsBack(t);
    if (!in_place || !Short(t)) {
      side.index = TermSteps(t);
    } else if (node.folded) {
      side.kind = FlatSide::Kind::Folded;
      side.index = static_cast<int>(out_.constants.size());
      out_.constants.push_back(node.sum);
    } else {
      side.kind = FlatSide::Kind::Lone;
      side.index = static_cast<int>(out_.operands.size());
      out_.operands.push_back(Lowered(plan_.operands[static_cast<std::size_t>(node.first)]));
    }
    return side;
  }

  // The steps of term `t`; returns the slot of its value.
  int TermSteps(int t) {
    const Plan::Term& node = Node(t);
    FlatStep step{};
    if (node.comparison) {
      step.kind = FlatStep::Kind::Compare;
      step.compare = node.compare;
      // The left side goes in place only where no step of the right side comes between
      // (a number has nothing to come between).
      step.left = Side(node.left, Node(node.left).folded || Short(node.right));
      step.right = Side(node.right, true);
    } else if (node.folded) {
      step.kind = FlatStep::Kind::Constant;
      step.constant = node.sum;
    } else {
      step.first = static_cast<int>(out_.operands.size());
      step.count = node.count;
      int applied = 0;  // operators of the power and product passes
      const Plan::Operand* operands = plan_.operands.data() + node.first;
      for (int o = 0; o < node.count; ++o) {
        const Plan::Operand& operand = operands[o];
        out_.operands.push_back(Lowered(operand));
        if (o > 0 && operand.op != '+' && operand.op != '-') {
          ++applied;
          step.binary = o;
        }
      }
      if (node.count == 1) {
        step.kind = FlatStep::Kind::Lone;
      } else if (node.count > kMaxShortTerm || applied > 1) {
        step.kind = FlatStep::Kind::Passes;
      } else {
        step.kind = applied == 0 ? FlatStep::Kind::Sum : BinaryShape(node.count, step.binary);
      }
    }
    step.slot = NewSlot();
    out_.steps.push_back(step);
    return step.slot;
  }

  static FlatStep::Kind BinaryShape(int count, int at) {
    if (count == 2) return FlatStep::Kind::BinaryOfTwo;
    if (count == 3) return at == 1 ? FlatStep::Kind::BinaryFirst : FlatStep::Kind::BinaryLast;
    return FlatStep::Kind::Binary;
  }

  FlatOperand Lowered(const Plan::Operand& operand) const {
    FlatOperand out{operand.op, FlatOperand::Kind::Empty, operand.sign, 0, operand.constant};
    switch (operand.source) {
      case Plan::Source::Empty:
        break;
      case Plan::Source::Constant:
        out.kind = FlatOperand::Kind::Constant;
        break;
      case Plan::Source::Variable:
        out.kind = FlatOperand::Kind::Variable;
        out.index = operand.index;
        break;
      case Plan::Source::Pair:
      case Plan::Source::Comparison: {
        const Plan::Value& value = plan_.values[static_cast<std::size_t>(operand.index)];
        out.index = value_slots_[static_cast<std::size_t>(operand.index)];
        // A built-in's value is written as its pair text; a group's reads back as itself
        // when its term's does.
        out.kind = value.k < 0 && ReadsBack(value.term) ? FlatOperand::Kind::Slot
                                                        : FlatOperand::Kind::SlotRead;
        break;
      }
    }
    return out;
  }

  const Plan& plan_;
  FlatPlan out_;
  std::vector<int> value_slots_;
};

// 1 * v is v exactly and cannot overflow: only the cut is left.
[[gnu::always_inline]] inline TComplex Signed(double sign, TComplex v) {
  return sign == 1.0 ? MakeComplex(v.Re, v.Im) : sign * v;
}

// An operand's value as a step holds it: left uninitialised until fetched, as a step's
// operands are fetched at every run.
struct Held {
  double re, im;
  TComplex Value() const { return {re, im}; }
};

// Runs the steps. Values pass in registers, a failure is kept in `fallback_`: only the
// step that met it stops the run, which then gives Fallback with nothing shown.
class Runner {
 public:
  Runner(const FlatPlan& plan, const EvalContext& context, FlatWork& work)
      : plan_(plan), context_(context), work_(work) {}

  // One result object, so that it is built where the caller keeps it.
  PlanResult Run() {
    PlanResult out;
    TComplex* const values = work_.values;
    for (const FlatStep& step : plan_.steps) {
      values[step.slot] = Step(step);
      if (fallback_) [[unlikely]]
        return out;
    }
    out.raw = values[plan_.result];
    if (plan_.comparison) {
      out.value = out.raw;
      out.outcome = PlanResult::Outcome::Comparison;
    } else {
      out.value = plan_.read_back ? out.raw : Read(out.raw);
      if (!fallback_) out.outcome = PlanResult::Outcome::Value;
    }
    return out;
  }

 private:
  TComplex LeaveToTheText() {
    fallback_ = true;
    return {};
  }

  // ParseNumberText of the pair text of `v`.
  [[gnu::always_inline]] TComplex Read(TComplex v) { return {ReadPart(v.Re), ReadPart(v.Im)}; }
  // Whole numbers below 1E15, 0 among them, are their own text; the others go through
  // the memo.
  [[gnu::always_inline]] double ReadPart(double x) {
    if (x == 0.0) return 0.0;
    if (std::fabs(x) < 1E15 && x == static_cast<double>(static_cast<std::int64_t>(x))) return x;
    double out = 0.0;
    if (!work_.round_trips.Read(x, out)) fallback_ = true;
    return out;
  }
  [[gnu::always_inline]] TComplex Side(const FlatSide& side) {
    TComplex v;
    switch (side.kind) {
      case FlatSide::Kind::Slot:
        v = work_.values[side.index];
        break;
      case FlatSide::Kind::Lone:
        v = Lone(plan_.operands[static_cast<std::size_t>(side.index)]);
        break;
      case FlatSide::Kind::Folded:
        v = plan_.constants[static_cast<std::size_t>(side.index)];
        break;
    }
    return side.read && !fallback_ ? Read(v) : v;
  }

  // "<" and ">" of a real left side against a real number that reads back as itself are
  // decided by the side's value before its read where that lies far enough from the
  // number: the read (15 digits) moves a value by less than 1E-14 of it, never onto or
  // across the number, and between 1E-13 and 1E99 neither value meets the cut or the
  // overflow test of a lone operand. `left` is then that value.
  bool DecidedUnread(const FlatStep& step, TComplex& left) const {
    if ((step.compare != '<' && step.compare != '>') || step.right.kind != FlatSide::Kind::Folded ||
        step.right.read) {
      return false;
    }
    // The value before the read, where the read is the side's last step: a slot read
    // back, or a lone "+" operand read from its slot.
    const FlatSide& side = step.left;
    TComplex unread;
    if (side.kind == FlatSide::Kind::Slot && side.read) {
      unread = work_.values[side.index];
    } else if (side.kind == FlatSide::Kind::Lone && !side.read) {
      const FlatOperand& operand = plan_.operands[static_cast<std::size_t>(side.index)];
      if (operand.kind != FlatOperand::Kind::SlotRead || operand.op != '+' || operand.sign != 1.0) {
        return false;
      }
      unread = work_.values[operand.index];
    } else {
      return false;
    }
    const TComplex number = plan_.constants[static_cast<std::size_t>(step.right.index)];
    const double magnitude = std::fabs(unread.Re);
    if (unread.Im != 0.0 || number.Im != 0.0 || !(magnitude >= 1E-13 && magnitude <= 1E99) ||
        !(std::fabs(unread.Re - number.Re) > 1E-14 * std::max(magnitude, std::fabs(number.Re)))) {
      return false;
    }
    left = unread;
    return true;
  }

  [[gnu::always_inline]] TComplex Operand(const FlatOperand& operand) {
    switch (operand.kind) {
      case FlatOperand::Kind::Empty:
        break;
      case FlatOperand::Kind::Constant:
        return operand.constant;
      case FlatOperand::Kind::Variable:
        return Signed(operand.sign, context_.variables.CurrentValue(operand.index));
      case FlatOperand::Kind::Slot:
        return Signed(operand.sign, work_.values[operand.index]);
      case FlatOperand::Kind::SlotRead:
        return Signed(operand.sign, Read(work_.values[operand.index]));
    }
    return {};
  }

  // The values of the step's operands, every one fetched before any is combined: a read
  // that only the texts can make stops the step before a rule meets the others.
  [[gnu::always_inline]] void Values(const FlatStep& step, int count, Held* values) {
    const FlatOperand* operands = plan_.operands.data() + step.first;
    for (int o = 0; o < count; ++o) {
      const TComplex v = Operand(operands[o]);
      values[o] = {v.Re, v.Im};
    }
  }
  // Fills `entries` with the step's operands.
  void Entries(const FlatStep& step, Entry* entries) {
    const FlatOperand* operands = plan_.operands.data() + step.first;
    for (int o = 0; o < step.count; ++o) {
      const TComplex v = Operand(operands[o]);
      entries[o].op = operands[o].op;
      entries[o].re = v.Re;
      entries[o].im = v.Im;
    }
  }

  // The sum pass over the step's operands.
  [[gnu::always_inline]] TComplex SumOfValues(const FlatStep& step, const Held* values) {
    const FlatOperand* operands = plan_.operands.data() + step.first;
    TComplex sum;
    for (int o = 0; o < step.count; ++o) {
      if (!SumStep(operands[o].op, values[o].Value(), sum)) return LeaveToTheText();
    }
    return sum;
  }

  // A read before that the memo could not make leaves the rest to the text path.
  TComplex Sum(const Entry* entries, std::size_t count) {
    TComplex sum;
    if (fallback_ || !SumOf(entries, count, sum)) return LeaveToTheText();
    return sum;
  }
  [[gnu::always_inline]] TComplex Lone(const FlatOperand& operand) {
    const TComplex v = Operand(operand);
    TComplex sum;
    if (fallback_ || !SumStep(operand.op, v, sum)) return LeaveToTheText();
    return sum;
  }

  [[gnu::always_inline]] TComplex Step(const FlatStep& step) {
    switch (step.kind) {
      case FlatStep::Kind::Constant:
        return step.constant;
      case FlatStep::Kind::Lone:
        return Lone(plan_.operands[static_cast<std::size_t>(step.first)]);
      case FlatStep::Kind::Sum: {
        Held values[kMaxShortTerm];
        Values(step, step.count, values);
        if (fallback_) return {};
        return SumOfValues(step, values);
      }
      case FlatStep::Kind::Binary:
        return Binary(step);
      case FlatStep::Kind::BinaryOfTwo:
        return BinaryOf(step, 2, 1);
      case FlatStep::Kind::BinaryFirst:
        return BinaryOf(step, 3, 1);
      case FlatStep::Kind::BinaryLast:
        return BinaryOf(step, 3, 2);
      case FlatStep::Kind::Passes:
        return Passes(step);
      case FlatStep::Kind::Builtin: {
        const TComplex argument = Side(step.left);
        if (fallback_) return {};
        const std::optional<TComplex> value =
            ComputeBuiltin(step.builtin, argument, context_.functions.ArgumentRule(step.builtin),
                           context_.drawing);
        return value ? *value : LeaveToTheText();
      }
      case FlatStep::Kind::Compare: {
        TComplex left;
        if (!DecidedUnread(step, left)) left = Side(step.left);
        if (fallback_) return {};
        const TComplex right = Side(step.right);
        if (fallback_) return {};
        const char outcome = CompareValues(step.compare, left, right);
        if (outcome == '?') return LeaveToTheText();
        return ComplexFromReal(outcome == '1' ? 1.0 : 0.0);
      }
    }
    return LeaveToTheText();
  }

  // The one operator of the power or product pass, then the sum pass, over `count`
  // operands with the operator of operand `at`; in line where both are known.
  [[gnu::always_inline]] TComplex BinaryOf(const FlatStep& step, int count, int at) {
    const FlatOperand* operands = plan_.operands.data() + step.first;
    Held values[kMaxShortTerm];
    Values(step, count, values);
    if (fallback_) return {};
    const char op = operands[at].op;
    TComplex merged;
    const PassFailure failure =
        op == '^'
            ? PowerOf(values[at - 1].Value(), values[at].Value(), Powers(), merged)
            : ProductOf(op, values[at - 1].Value(), values[at].Value(), context_.boxes, merged);
    if (failure != PassFailure::None) return LeaveToTheText();
    // The sum pass over the list the merge left: operand `at` gone, `at - 1` merged.
    TComplex sum;
    for (int o = 0; o < count; ++o) {
      if (o == at) continue;
      if (!SumStep(operands[o].op, o == at - 1 ? merged : values[o].Value(), sum)) {
        return LeaveToTheText();
      }
    }
    return sum;
  }
  [[gnu::noinline]] TComplex Binary(const FlatStep& step) {
    return BinaryOf(step, step.count, step.binary);
  }

  // Out of line, so that only terms that need it carry the operand list.
  [[gnu::noinline]] TComplex Passes(const FlatStep& step) {
    OperandList list;
    Entries(step, list.entries);
    if (fallback_) return {};
    list.count = static_cast<std::size_t>(step.count);
    // The passes are the text path's own; an error text means the text path must speak.
    if (PowerPass(list, Powers()) != PassFailure::None ||
        ProductPass(list, context_.boxes) != PassFailure::None) {
      return LeaveToTheText();
    }
    return Sum(list.entries, list.count);
  }

  PowerWork Powers() {
    return {power_products_, context_.power_products, context_.boxes, context_.interrupt,
            &work_.powers};
  }

  const FlatPlan& plan_;
  const EvalContext& context_;
  FlatWork& work_;
  bool fallback_ = false;
  double power_products_ = 0;  // charged in this evaluation, as the text path charges them
};

}  // namespace

bool RoundTripMemo::Read(double x, double& out) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  Kept& kept = kept_[MemoSlot(bits)];
  if (kept.bits == bits) {
    out = kept.value;
    return true;
  }
  if (!RoundTripReal(x, out)) return false;
  kept = {bits, out};
  // The result comes back unchanged: it goes in with its own entry too.
  std::uint64_t out_bits;
  std::memcpy(&out_bits, &out, sizeof out_bits);
  kept_[MemoSlot(out_bits)] = {out_bits, out};
  return true;
}

FlatPlan LowerPlan(const PlanCache::Plan& plan) { return Lowering(plan).Run(); }

PlanResult RunFlatPlan(const FlatPlan& plan, const EvalContext& context, FlatWork& work) {
  return Runner(plan, context, work).Run();
}

}  // namespace ombrix
