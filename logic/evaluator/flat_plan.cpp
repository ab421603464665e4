#include "logic/evaluator/flat_plan.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <set>

#include "logic/complex/num_text.h"
#include "logic/evaluator/evaluate.h"
#include "logic/evaluator/flat_run.h"
#include "logic/evaluator/plan_tree.h"
#include "logic/evaluator/term_scan.h"

namespace ombrix {

namespace {

std::size_t MemoSlot(std::uint64_t bits) {
  return static_cast<std::size_t>((bits ^ (bits >> 29) ^ (bits >> 47)) & 255);
}

using Plan = PlanCache::Plan;
using Code = FlatOp::Code;

using flat::Read;
using flat::ReadPart;

// An operand as the lowering meets it.
struct LoweredOperand {
  enum class Kind : unsigned char {
    Empty,     // counts as 0
    Constant,  // the number with its sign, as read when built
    Variable,  // sign times the variable's current value
    Slot,      // sign times a register's value, which reads back as itself
    SlotRead,  // sign times a register's value read back from its pair text
  };
  char op;
  Kind kind;
  double sign;
  int index;  // the variable or the register
  TComplex constant;
};

// Where a step takes a whole term's value from: a register, or a short term computed in
// place (a lone operand, or a lone number summed when built), read back from its pair
// text first when `read`.
struct Side {
  enum class Kind : unsigned char { Register, Lone, Folded };
  Kind kind = Kind::Register;
  bool read = false;
  int reg = 0;
  LoweredOperand lone{};
  TComplex folded;
};

// Lowers the terms of a tree into operations in the order the text path evaluates them:
// every value (in the order the builder added them, which is that order, a value's own
// values before it), then the whole term. A term's steps are emitted when the text path
// would take them; a side computed in place is emitted where its value is taken.
class Lowering {
 public:
  // Lowers into `out`, after the operations and registers it holds.
  Lowering(const Plan& plan, FlatPlan& out)
      : plan_(plan), out_(out), registers_(static_cast<int>(out.registers.size())) {}

  // The operations of the plan ending with `last` (End or Value); returns the register of
  // the term's value, or -1 for an unusable plan (nothing is appended then).
  int Run(Code last) {
    if (!plan_.usable) return -1;
    zero_ = ConstantRegister({});
    value_regs_.resize(plan_.values.size());
    for (std::size_t v = 0; v < plan_.values.size(); ++v) {
      const Plan::Value& value = plan_.values[v];
      if (value.k < 0) {
        value_regs_[v] = TermSteps(value.term);  // a group's value is its term's
        continue;
      }
      const int argument = SideValue(InPlaceOrSteps(value.term, true));
      value_regs_[v] = ReadsTheScale(value.k) ? ScaleBuiltin(argument, value.k)
                                              : Emit(Code::Builtin, argument, value.k);
    }
    const int result = TermSteps(plan_.root);
    FlatOp end;
    end.code = last;
    end.a = result;
    // A lone variable as the whole term: its value reads back as itself where the
    // variable's does.
    end.b = CutVariable(result);
    // So does a product of comparisons: its (1, 0) or (0, 0), +0 parts, is its text's value.
    if (ReadsBack(plan_.root) || comparisons_.contains(result)) end.flags = FlatOp::kReadsBack;
    if (last == Code::Value && end.flags != 0) end.code = Code::ValueKept;
    if (last == Code::Value && end.flags == 0 && end.b == 0) end.code = Code::ValueFresh;
    if (last == Code::Value) end.dst = NewRegister();
    out_.ops.push_back(end);
    out_.registers.resize(static_cast<std::size_t>(registers_));
    for (const auto& [reg, value] : constants_)
      out_.registers[static_cast<std::size_t>(reg)] = value;
    if (last == Code::Value) return end.dst;
    out_.comparison = Node(plan_.root).comparison;
    out_.read_back = ReadsBack(plan_.root);
    out_.usable = true;
    return result;
  }

 private:
  const Plan::Term& Node(int t) const { return plan_.terms[static_cast<std::size_t>(t)]; }
  // A comparison's 1 or 0 and a read-back sum are their own texts' values.
  bool ReadsBack(int t) const { return Node(t).comparison || Node(t).read_back; }
  int NewRegister() { return registers_++; }
  int ConstantRegister(TComplex value) {
    const int reg = NewRegister();
    constants_.emplace(reg, value);
    return reg;
  }
  int Emit(Code code, int a, int b = 0, char op = '+', double sign = 1.0) {
    FlatOp out;
    out.code = code;
    out.op = op;
    out.sign = sign;
    out.dst = NewRegister();
    out.a = a;
    out.b = b;
    out_.ops.push_back(out);
    return out.dst;
  }

  // A built-in that reads the scale writes its value, the value's read and that read cut
  // (ScaleBuiltin): its operands take the read from there.
  int ScaleBuiltin(int argument, int k) {
    const int value = Emit(Code::ScaleBuiltin, argument, k);
    registers_ += 2;  // the read and the read cut
    scale_values_.insert(value);
    return value;
  }

  // A short term is computed where its value is taken.
  bool Short(int t) const {
    const Plan::Term& node = Node(t);
    return !node.comparison && (node.folded || node.count == 1);
  }
  // Where a step takes term `t`'s value from; a short term goes in place when `in_place`,
  // any other is computed by its own steps now.
  Side InPlaceOrSteps(int t, bool in_place) {
    const Plan::Term& node = Node(t);
    Side side;
    side.read = !ReadsBack(t);
    if (!in_place || !Short(t)) {
      side.reg = TermSteps(t);
    } else if (node.folded) {
      side.kind = Side::Kind::Folded;
      side.folded = node.sum;
    } else {
      side.kind = Side::Kind::Lone;
      side.lone = Lowered(plan_.operands[static_cast<std::size_t>(node.first)]);
    }
    return side;
  }

  // The operations that take a side's value where a step uses it; returns its register.
  int SideValue(const Side& side) {
    int reg = side.reg;
    if (side.kind == Side::Kind::Lone) {
      if (side.read && side.lone.kind == LoweredOperand::Kind::Variable) {
        return SumFirstVar(side.lone, true);
      }
      reg = Lone(side.lone);
    }
    if (side.kind == Side::Kind::Folded) {
      TComplex read;
      const auto plain = [](double x, double& part) { return RoundTripReal(x, part); };
      if (!side.read) return ConstantRegister(side.folded);
      // A number's read is the same at every run; one the texts must make stays a step.
      if (ReadPart(side.folded.Re, read.Re, plain) && ReadPart(side.folded.Im, read.Im, plain)) {
        return ConstantRegister(read);
      }
      reg = ConstantRegister(side.folded);
    }
    return side.read ? Emit(Code::Read, reg, CutVariable(reg)) : reg;
  }

  // The register of an operand's value, fetched by an operation where it is no constant.
  int Fetch(const LoweredOperand& operand) {
    switch (operand.kind) {
      case LoweredOperand::Kind::Empty:
        return zero_;
      case LoweredOperand::Kind::Constant:
        return ConstantRegister(operand.constant);
      case LoweredOperand::Kind::Variable:
        return Emit(Code::Var, operand.index, 0, '+', operand.sign);
      case LoweredOperand::Kind::Slot:
        // Such a value is a sum's or a comparison's, so already cut: 1 times it is itself.
        if (operand.sign == 1.0) return operand.index;
        return Emit(Code::Reg, operand.index, 0, '+', operand.sign);
      case LoweredOperand::Kind::SlotRead:
        if (scale_values_.contains(operand.index)) {
          if (operand.sign == 1.0) {
            sum_ready_.insert(operand.index + 2);  // ScaleBuiltin has tested it
            return operand.index + 2;
          }
          return Emit(Code::Reg, operand.index + 1, 0, '+', operand.sign);
        }
        return Emit(Code::RegRead, operand.index, CutVariable(operand.index), '+', operand.sign);
    }
    return zero_;
  }
  // For the read of register `reg`: the index plus 1 of the variable whose value the
  // register holds cut (a lone "+" operand), so that the read is left out where the
  // variable's value reads back as itself; 0 for any other register.
  int CutVariable(int reg) const {
    const auto found = cut_variables_.find(reg);
    return found == cut_variables_.end() ? 0 : found->second + 1;
  }

  // The sum pass's first entry from variable operand `operand`, read back from its pair
  // text when `read`; returns its register.
  int SumFirstVar(const LoweredOperand& operand, bool read) {
    if (operand.op == '+' && operand.sign == 1.0) {
      const int sum = Emit(read ? Code::SumFirstVarPlusRead : Code::SumFirstVarPlus, operand.index);
      if (!read) cut_variables_[sum] = operand.index;
      return sum;
    }
    return Emit(read ? Code::SumFirstVarRead : Code::SumFirstVar, operand.index, 0, operand.op,
                operand.sign);
  }

  // The sum pass over one operand.
  int Lone(const LoweredOperand& operand) {
    if (operand.kind == LoweredOperand::Kind::Variable) return SumFirstVar(operand, false);
    // A scale built-in's value is read already (ScaleBuiltin): Fetch takes its read.
    if (operand.kind == LoweredOperand::Kind::SlotRead && operand.op == '+' &&
        operand.sign == 1.0 && !scale_values_.contains(operand.index)) {
      const int variable = CutVariable(operand.index);
      const int sum = Emit(Code::RegReadSumPlus, operand.index, variable);
      // Where the variable's "+" came just before, it goes on with the read itself.
      if (variable > 0 && out_.ops.size() > 1) {
        FlatOp& start = out_.ops[out_.ops.size() - 2];
        if (start.code == Code::SumFirstVarPlus && start.dst == operand.index) {
          start.code = Code::SumFirstVarPlusReadSum;
          start.b = start.dst;
          start.dst = sum;
          out_.ops.pop_back();
        }
      }
      return sum;
    }
    const int value = Fetch(operand);
    if (operand.op == '+' && sum_ready_.contains(value)) return value;
    // The sum of a lone constant is a constant too, where no test of it can fail.
    if (const auto constant = constants_.find(value); constant != constants_.end()) {
      const TComplex v = constant->second;
      TComplex sum;
      if (std::fabs(v.Re) <= PowerOverflowLimit && std::fabs(v.Im) <= PowerOverflowLimit &&
          SumStart(operand.op, v, sum)) {
        return ConstantRegister(sum);
      }
    }
    return Emit(Code::SumFirst, value, 0, operand.op);
  }
  // The sum pass over `count` entries; a register of kFetchedBySum is a variable the sum
  // step fetches itself.
  int Sum(const LoweredOperand* operands, const int* regs, int count) {
    const auto var = [&](int o) { return regs[o] == kFetchedBySum; };
    int sum = 0;
    if (var(0)) {
      sum = SumFirstVar(operands[0], false);
      cut_variables_.erase(sum);  // the sum goes on: its register holds more than the variable
    } else if (operands[0].op == '+' && sum_ready_.contains(regs[0])) {
      sum = regs[0];  // the step's own register: no other step reads it
      // Where the sum goes on, the register holds more than a comparison's 1 or 0.
      if (count > 1) comparisons_.erase(sum);
    } else {
      sum = Emit(Code::SumFirst, regs[0], 0, operands[0].op);
    }
    for (int o = 1; o < count; ++o) {
      if (var(o) && operands[o].sign == 1.0 && SquareGoesOn(sum, operands[o])) continue;
      if (!var(o) && StartGoesOn(sum, operands[o].op, regs[o])) continue;
      FlatOp next;
      next.code = var(o) ? Code::SumNextVar : Code::SumNext;
      next.op = operands[o].op;
      next.sign = operands[o].sign;
      next.dst = sum;
      next.a = var(o) ? operands[o].index : regs[o];
      out_.ops.push_back(next);
    }
    return sum;
  }
  static constexpr int kFetchedBySum = -1;

  // A square of a variable just computed into `sum` takes the sum's next variable itself:
  // nothing comes between the two steps.
  bool SquareGoesOn(int sum, const LoweredOperand& operand) {
    if (out_.ops.empty()) return false;
    FlatOp& square = out_.ops.back();
    if (square.code != Code::PowerVarSquare || square.dst != sum) return false;
    square.code = Code::PowerVarSquareSumVar;
    square.op = operand.op;
    square.b = operand.index;
    return true;
  }
  // The same for a variable's "+" as the sum's first entry and a register as its next.
  bool StartGoesOn(int sum, char op, int reg) {
    if (out_.ops.empty()) return false;
    FlatOp& start = out_.ops.back();
    if (start.code != Code::SumFirstVarPlus || start.dst != sum) return false;
    start.code = Code::SumFirstVarPlusNext;
    start.op = op;
    start.b = reg;
    return true;
  }

  // The steps of term `t`; returns the register of its value.
  int TermSteps(int t) {
    const Plan::Term& node = Node(t);
    if (node.comparison) {
      // The left side goes in place only where no step of the right side comes between
      // (a number has nothing to come between).
      const Side left = InPlaceOrSteps(node.left, Node(node.left).folded || Short(node.right));
      const Side right = InPlaceOrSteps(node.right, true);
      return Comparison(node.compare, left, right);
    }
    if (node.folded) return ConstantRegister(node.sum);
    std::vector<LoweredOperand> operands;
    operands.reserve(static_cast<std::size_t>(node.count));
    const auto first = plan_.operands.begin() + node.first;
    for (auto o = first; o != first + node.count; ++o) operands.push_back(Lowered(*o));
    if (node.count == 1) return Lone(operands[0]);
    const auto summed = [](char op) { return op == '+' || op == '-'; };
    // Every operand is fetched before any is combined: a read that only the texts can
    // make stops the term before a rule meets the others. Where no fetch can fail, a
    // variable that only the sum pass takes is fetched by its sum step.
    const bool sure = std::none_of(operands.begin(), operands.end(), [](const auto& operand) {
      return operand.kind == LoweredOperand::Kind::SlotRead;
    });
    std::vector<int> regs;
    for (std::size_t o = 0; o < operands.size(); ++o) {
      const bool merged = (o > 0 && !summed(operands[o].op)) ||
                          (o + 1 < operands.size() && !summed(operands[o + 1].op));
      regs.push_back(sure && !merged && operands[o].kind == LoweredOperand::Kind::Variable
                         ? kFetchedBySum
                         : Fetch(operands[o]));
    }
    // The power pass, then the product pass, each from the left, as the operand list
    // merges its entries: an entry takes the value of its operator applied to the entry
    // before it and itself, and takes that entry's place.
    const auto pass = [&](auto applies, auto operation) {
      for (std::size_t e = 1; e < operands.size();) {
        if (!applies(operands[e].op)) {
          ++e;
          continue;
        }
        regs[e - 1] = PassStep(operation, operands[e].op, regs[e - 1], regs[e]);
        operands.erase(operands.begin() + static_cast<std::ptrdiff_t>(e));
        regs.erase(regs.begin() + static_cast<std::ptrdiff_t>(e));
      }
    };
    pass([](char op) { return op == '^'; }, Code::Power);
    pass(IsProductOperator, Code::Product);
    return Sum(operands.data(), regs.data(), static_cast<int>(operands.size()));
  }

  // One step of the power or the product pass: `left` `op` `right`; returns the register
  // of its value.
  int PassStep(Code operation, char op, int left, int right) {
    if (operation == Code::Product && ProductOfComparisons(op, left, right)) {
      // (1, 0) or (0, 0) as each side: a comparison's value for a product further on.
      const int value = Emit(Code::ComparisonProduct, left, right, op);
      sum_ready_.insert(value);
      comparisons_.insert(value);
      return value;
    }
    const int value = operation == Code::Power && FusedPower(left, right)
                          ? left
                          : Emit(operation, left, right, op);
    if (operation == Code::Power && CutPowerExponent(right)) sum_ready_.insert(value);
    return value;
  }

  // A power of a variable fetched by the last operation: the power fetches it itself, into
  // the same register. Nothing came between that could fail or change the variable.
  bool FusedPower(int base, int exponent) {
    if (out_.ops.empty()) return false;
    FlatOp& fetch = out_.ops.back();
    if (fetch.code != Code::Var || fetch.dst != base) return false;
    fetch.code = Code::PowerVar;
    const auto constant = constants_.find(exponent);
    if (constant != constants_.end() && constant->second.Re == 2.0 && constant->second.Im == 0.0) {
      fetch.code = Code::PowerVarSquare;
    }
    fetch.b = exponent;
    return true;
  }

  // The steps below give a value that "+" as the sum pass's first entry (0 + v, cut, then
  // the overflow test) leaves unchanged: a cut value that passes the overflow test, as a
  // cut value cut again is itself.
  // A power by the number in register `exponent`: the power step has passed the same
  // overflow test.
  // A whole exponent other than 1 gives (1, 0), or at least one product (cut), or 1
  // divided by such a power (a quotient, cut), or a power of a cut base repeating after a
  // product (the base itself, cut as the repeat requires), or the overflow mark, which
  // fails. A power by 1 is its base as it is, whose cut is left to the sum; an exponent
  // that is no whole number fails.
  bool CutPowerExponent(int exponent) const {
    const auto constant = constants_.find(exponent);
    return constant != constants_.end() && IsIntegerValue(constant->second) &&
           constant->second.Re != 1.0;
  }

  // A product of two comparisons' values, each (1, 0) or (0, 0): the products and sums of
  // its parts are exact, so it is (1, 0) or (0, 0) too, +0 parts included.
  bool ProductOfComparisons(char op, int a, int b) const {
    return op == '*' && comparisons_.contains(a) && comparisons_.contains(b);
  }

  int Comparison(char compare, const Side& left, const Side& right) {
    // The value before the read, where the read is the left side's last step: a register
    // read back, or a lone "+" operand read from its register.
    int unread = -1;
    if ((compare == '<' || compare == '>') && right.kind == Side::Kind::Folded && !right.read) {
      if (left.kind == Side::Kind::Register && left.read) {
        unread = left.reg;
      } else if (left.kind == Side::Kind::Lone && !left.read &&
                 left.lone.kind == LoweredOperand::Kind::SlotRead && left.lone.op == '+' &&
                 left.lone.sign == 1.0) {
        unread = left.lone.index;
      }
    }
    std::size_t decide = 0;
    if (unread >= 0) {
      decide = out_.ops.size();
      FlatOp op;
      op.code = Code::DecideUnread;
      op.a = unread;
      op.b = ConstantRegister(right.folded);
      out_.ops.push_back(op);
    }
    const int l = SideValue(left);
    const int r = SideValue(right);  // a number: no operations
    const int result = ReadVariableGoesOn(l) ? l : Emit(Code::Compare, l, r, compare);
    if (result == l) {
      // The read's register takes the comparison's value: the read is no step of its own.
      FlatOp& read = out_.ops.back();
      read.code = Code::SumFirstVarPlusReadCompare;
      read.op = compare;
      read.b = r;
    }
    if (unread >= 0) {
      // Decided, the comparison's value is written at once and its operations passed over.
      FlatOp& decided = out_.ops[decide];
      decided.dst = result;
      decided.op = compare;
      decided.skip = static_cast<std::uint16_t>(out_.ops.size() - decide - 1);
    }
    // 1 or 0 with +0 parts: the sum's first "+" leaves it as it is.
    comparisons_.insert(result);
    sum_ready_.insert(result);
    return result;
  }

  // Whether the comparison's left side was read by the last operation, from a variable,
  // with nothing of the right side between: the comparison then goes on from there.
  bool ReadVariableGoesOn(int left) const {
    return !out_.ops.empty() && out_.ops.back().code == Code::SumFirstVarPlusRead &&
           out_.ops.back().dst == left;
  }

  LoweredOperand Lowered(const Plan::Operand& operand) const {
    LoweredOperand out{operand.op, LoweredOperand::Kind::Empty, operand.sign, 0, operand.constant};
    switch (operand.source) {
      case Plan::Source::Empty:
        break;
      case Plan::Source::Constant:
        out.kind = LoweredOperand::Kind::Constant;
        break;
      case Plan::Source::Variable:
        out.kind = LoweredOperand::Kind::Variable;
        out.index = operand.index;
        break;
      case Plan::Source::Pair:
      case Plan::Source::Comparison: {
        const Plan::Value& value = plan_.values[static_cast<std::size_t>(operand.index)];
        out.index = value_regs_[static_cast<std::size_t>(operand.index)];
        // A built-in's value is written as its pair text; a group's reads back as itself
        // when its term's does.
        out.kind = value.k < 0 && ReadsBack(value.term) ? LoweredOperand::Kind::Slot
                                                        : LoweredOperand::Kind::SlotRead;
        break;
      }
    }
    return out;
  }

  const Plan& plan_;
  FlatPlan& out_;
  int registers_ = 0;
  int zero_ = 0;
  std::map<int, TComplex> constants_;  // the constant registers and their values
  std::vector<int> value_regs_;
  std::map<int, int> cut_variables_;  // registers that hold a variable's value, cut
  std::set<int> sum_ready_;           // registers that a sum's first "+" leaves as they are
  std::set<int> comparisons_;         // registers of comparisons' values
  std::set<int> scale_values_;        // registers of the values of ScaleBuiltin
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

FlatPlan LowerPlan(const PlanCache::Plan& plan) {
  FlatPlan out;
  Lowering(plan, out).Run(Code::End);
  return out;
}

int AppendLoweredPlan(const PlanCache::Plan& plan, FlatPlan& into) {
  return Lowering(plan, into).Run(Code::Value);
}

namespace {

// What a lone plan's run gives its caller: the term's value and its read at End.
class LonePlan : public flat::TermsOnly {
 public:
  LonePlan(const EvalContext& context, FlatWork& work, TComplex& raw, TComplex& value)
      : context_(context), work_(work), raw_(raw), value_(value) {}

  bool End(const FlatOp& op, const TComplex* r) {
    // The caller takes both whole.
    const TComplex result = r[op.a];
    flat::Put(raw_, result);
    TComplex read;
    if (!flat::ResultRead(op, result, context_, work_, read)) return false;
    flat::Put(value_, read);
    return true;
  }

 private:
  const EvalContext& context_;
  FlatWork& work_;
  TComplex& raw_;
  TComplex& value_;
};

}  // namespace

bool RunFlatPlan(FlatPlan& plan, const EvalContext& context, FlatWork& work, TComplex& raw,
                 TComplex& value) {
  LonePlan lone(context, work, raw, value);
  return RunFlatOps(plan.ops.data(), plan.registers.data(), context, work, lone);
}

}  // namespace ombrix
