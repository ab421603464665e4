#include "logic/evaluator/plan.h"

#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

#include "logic/complex/bits.h"
#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"
#include "logic/evaluator/builtins.h"
#include "logic/evaluator/evaluate.h"
#include "logic/evaluator/plan_tree.h"
#include "logic/evaluator/result_text.h"
#include "logic/evaluator/term_rules.h"
#include "logic/evaluator/term_scan.h"

namespace ombrix {

namespace {

constexpr std::size_t npos = std::string::npos;

// Stand-ins for values in a working text: "[\x01N]" for a pair text (a built-in's value,
// a bracket group's sum), "\x02N\x02" for the "1" or "0" of a bracketed comparison. They
// hold no operator, comparison or bracket character and do not change when lower-cased,
// so every later step treats them as the texts they stand for would be treated. Terms
// that hold these bytes themselves are left to the text path.
constexpr char kPairMark = '\x01';
constexpr char kComparisonMark = '\x02';

bool HoldsMarks(std::string_view s) { return s.find_first_of("\x01\x02") != npos; }

}  // namespace

namespace {

using Plan = PlanCache::Plan;

// Reads a term the way the text path walks it, with the values left open.
class PlanBuilder {
 public:
  PlanBuilder(const EvalContext& context, Plan& plan) : context_(context), plan_(plan) {}

  int Term(std::string_view term, int depth) {
    if (depth == 0 && BodiesHoldMarks()) return -1;
    std::string text = Normalise(term);
    if (text.size() > kPlanBounds.working_text) return -1;
    if (StartLevel(text, depth, text_read_, kPlanBounds) != LevelStart::Go) return -1;
    Level level{*this, depth};
    if (ReplaceCalls(text, context_.functions, kPlanBounds, spent_, level) != Reading::Done ||
        text.size() > kPlanBounds.working_text) {
      return -1;
    }
    LowerInPlace(text);  // function bodies keep the case they were stored with
    if (!ReplaceGroups(text, level)) return -1;
    // What is left of a ")" or a "?" always ends in an error text.
    if (text.find_first_of(")?") != npos) return -1;

    const std::size_t split = ComparisonFinder(text).Split(0);
    if (split != npos) {
      const int left = Term(std::string_view(text).substr(0, split), depth + 1);
      if (left < 0) return -1;
      const int right = Term(std::string_view(text).substr(split + 1), depth + 1);
      if (right < 0) return -1;
      Plan::Term node;
      node.comparison = true;
      node.compare = text[split];
      node.left = left;
      node.right = right;
      plan_.terms.push_back(node);
      return static_cast<int>(plan_.terms.size() - 1);
    }
    return Arithmetic(text);
  }

 private:
  // The builder's steps in the shared readings at one depth: a built-in call and a
  // bracket group become marks of the values they stand for.
  struct Level {
    PlanBuilder& builder;
    int depth;

    Reading Builtin(int k, std::string_view argument, std::string& replacement) {
      const int term = builder.Term(argument, depth + 1);
      if (term < 0) return Reading::Stopped;
      replacement = "[";
      replacement += kPairMark;
      replacement += std::to_string(builder.AddValue(k, term));
      replacement += ']';
      return Reading::Done;
    }
    bool Group(std::string_view inner, bool closed, std::string& out) {
      if (!closed) return false;
      const int term = builder.Term(inner, depth + 1);
      if (term < 0) return false;
      const bool comparison = builder.plan_.terms[static_cast<std::size_t>(term)].comparison;
      const std::string index = std::to_string(builder.AddValue(-1, term));
      if (comparison) {
        out += kComparisonMark;
        out += index;
        out += kComparisonMark;
      } else {
        out += '[';
        out += kPairMark;
        out += index;
        out += ']';
      }
      return true;
    }
    static void Replaced(std::string_view /*done*/, std::string_view /*rest*/) {}
  };

  // The operands of one arithmetic term as the plan's entries.
  struct Operands {
    using Value = Plan::Operand;
    Plan& plan;
    Plan::Term& node;
    const VariableTable& variables;

    static Value Empty(double sign) { return {'+', Plan::Source::Empty, sign, -1, {}}; }
    int Find(std::string_view name) const {
      return HoldsMarks(name) ? -1 : variables.FindVariable(name);
    }
    static Value Variable(double sign, int j) { return {'+', Plan::Source::Variable, sign, j, {}}; }
    static bool Other(double sign, std::string_view operand, Value& value) {
      if (operand.find(kPairMark) != npos || operand.find(kComparisonMark) != npos) {
        const bool pair = operand.find(kPairMark) != npos;
        const std::optional<int> index = MarkIndex(operand, pair);
        if (!index) return false;
        value = {'+', pair ? Plan::Source::Pair : Plan::Source::Comparison, sign, *index, {}};
        return true;
      }
      // Whatever the text path would fault on or not read as a number is left to it.
      const std::optional<TComplex> number = ReadNumberTextIfSound(operand);
      if (!number) return false;
      value = {'+', Plan::Source::Constant, sign, -1, sign * *number};
      return true;
    }
    std::size_t Count() const { return static_cast<std::size_t>(node.count); }
    void Add(char op, Value value, std::string_view /*operand*/) {
      value.op = op;
      plan.operands.push_back(value);
      ++node.count;
    }
  };

  int AddValue(int k, int term) {
    plan_.values.push_back({k, term});
    return static_cast<int>(plan_.values.size() - 1);
  }

  bool BodiesHoldMarks() const {
    const FunctionTable& functions = context_.functions;
    for (int k = kFirstUserFunction; k <= functions.LastFunction(); ++k) {
      if (HoldsMarks(functions.Term(k))) return true;
    }
    return false;
  }

  // The value a mark stands for, when the operand is exactly one mark.
  static std::optional<int> MarkIndex(std::string_view operand, bool pair) {
    const std::size_t head = pair ? 2 : 1;
    if (operand.size() < head + 2) return std::nullopt;
    if (pair ? (operand[0] != '[' || operand[1] != kPairMark || operand.back() != ']')
             : (operand[0] != kComparisonMark || operand.back() != kComparisonMark)) {
      return std::nullopt;
    }
    int index = 0;
    for (std::size_t i = head; i + 1 < operand.size(); ++i) {
      if (operand[i] < '0' || operand[i] > '9') return std::nullopt;
      index = index * 10 + (operand[i] - '0');
    }
    return index;
  }

  int Arithmetic(std::string text) {
    PutLeadingSign(text);
    Plan::Term node;
    node.first = static_cast<int>(plan_.operands.size());
    Operands operands{plan_, node, context_.variables};
    if (!ScanOperands(text, operands).empty()) return -1;
    node.read_back = node.count == 1 && plan_.operands.back().source == Plan::Source::Pair;
    // A lone number, or nothing at all (as in the brackets of "ReMin()", which count as 0).
    const Plan::Source lone = plan_.operands.back().source;
    if (node.count == 1 && (lone == Plan::Source::Constant || lone == Plan::Source::Empty)) {
      Fold(node);
    }
    plan_.terms.push_back(node);
    return static_cast<int>(plan_.terms.size() - 1);
  }

  // A lone number (or an empty operand, 0): its sum as the sum pass gives it, known once the
  // plan is built, and whether that sum reads back as itself.
  void Fold(Plan::Term& node) const {
    const Plan::Operand& number = plan_.operands.back();
    const Entry entry{number.op, number.constant.Re, number.constant.Im};
    // A sum that would fault is left to the run, which meets the fault in its place.
    if (IsOverflowFault(entry.re + entry.im, entry.re, entry.im)) return;
    TComplex sum;
    if (!SumOf(&entry, 1, sum)) return;
    node.folded = true;
    node.sum = sum;
    double re = 0, im = 0;
    node.read_back = RoundTripReal(sum.Re, re) && RoundTripReal(sum.Im, im) &&
                     BitCast<std::uint64_t>(re) == BitCast<std::uint64_t>(sum.Re) &&
                     BitCast<std::uint64_t>(im) == BitCast<std::uint64_t>(sum.Im);
  }

  const EvalContext& context_;
  Plan& plan_;
  ExpansionSpent spent_;
  std::size_t text_read_ = 0;
};

}  // namespace

PlanCache::PlanCache() = default;
PlanCache::~PlanCache() = default;

void PlanCache::Clear() {
  plans_.clear();
  ++generation_;
}

void PlanCache::Restamp(const Stamp& stamp, const EvalContext& context) {
  Clear();
  stamp_ = stamp;
  // A name holding "[", "|" or "]" could take part of a value's text into a call.
  names_usable_ = true;
  for (int k = 0; k <= context.functions.LastFunction(); ++k) {
    if (context.functions.Name(k).find_first_of("[|]\x01\x02") != npos) names_usable_ = false;
  }
}

void PlanCache::Build(std::string_view term, const EvalContext& context, Plan& plan) const {
  if (!names_usable_ || HoldsMarks(term)) return;
  PlanBuilder builder(context, plan);
  plan.root = builder.Term(term, 0);
  plan.usable = plan.root >= 0;
}

// Precondition: the stamp is this context's.
FlatPlan& PlanCache::PlanFor(std::string_view term, const EvalContext& context) {
  if (const auto found = plans_.find(term); found != plans_.end()) return *found->second;
  if (plans_.size() >= kMaxPlans) Clear();
  auto flat = std::make_unique<FlatPlan>();
  Plan plan;
  Build(term, context, plan);
  if (plan.usable) *flat = LowerPlan(plan);
  ++built_;
  return *plans_.emplace(std::string(term), std::move(flat)).first->second;
}

int PlanCache::AppendTerm(std::string_view term, const EvalContext& context, FlatPlan& into) {
  const Stamp stamp = StampOf(context);
  if (!(stamp == stamp_)) Restamp(stamp, context);
  Plan plan;
  Build(term, context, plan);
  return AppendLoweredPlan(plan, into);
}

FlatPlan& PlanCache::FindPlan(std::string_view term, const EvalContext& context,
                              PlanHandle* handle) {
  const Stamp stamp = StampOf(context);
  if (!(stamp == stamp_)) Restamp(stamp, context);
  if (handle != nullptr && handle->generation == generation_) {
    return *static_cast<FlatPlan*>(handle->plan);
  }
  FlatPlan& plan = PlanFor(term, context);
  if (handle != nullptr) *handle = {&plan, generation_};
  return plan;
}

PlanResult PlanCache::TryEvaluate(std::string_view term, const EvalContext& context,
                                  PlanHandle* handle) {
  FlatPlan& plan = CurrentPlan(term, context, handle);
  if (!plan.usable) {
    ++unusable_;
    return {};
  }
  PlanResult result;
  if (Run(plan, context, result.raw, result.value)) {
    result.outcome = plan.comparison ? PlanResult::Outcome::Comparison : PlanResult::Outcome::Value;
  }
  return result;
}

}  // namespace ombrix
