#include "logic/evaluator/plan.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

#include "logic/complex/cp1252.h"
#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"
#include "logic/evaluator/builtins.h"
#include "logic/evaluator/evaluate.h"
#include "logic/evaluator/plan_tree.h"
#include "logic/evaluator/result_text.h"
#include "logic/evaluator/term_scan.h"

namespace ombrix {

namespace {

constexpr std::size_t npos = std::string::npos;

// Bounds well inside every guard of the text path: a term beyond them goes there and
// meets the guard (or its own result) as before.
constexpr int kMaxPlanDepth = 48;
constexpr std::size_t kMaxPlanText = 16 * 1024;
constexpr std::size_t kMaxPlanTextRead = 512 * 1024;
constexpr int kMaxPlanExpansions = 1000;
constexpr std::size_t kMaxPlanExpansionText = 256 * 1024;

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

std::string Normalised(std::string_view term) {
  std::string out;
  out.reserve(term.size());
  for (char c : term) {
    if (c != ' ') out += LowerChar1252(c);
  }
  return out;
}

// Whether the ")" before `end` closes the "(" at `open` (MatchEnd also ends at the end of
// the text when nothing closes it).
bool ClosesAt(std::string_view text, std::size_t open, std::size_t end) {
  if (end <= open + 1 || text[end - 1] != ')') return false;
  std::ptrdiff_t depth = 0;
  for (std::size_t j = open; j < end; ++j) depth += (text[j] == '(') - (text[j] == ')');
  return depth == 0;
}

// Reads a term the way the text path walks it, with the values left open.
class PlanBuilder {
 public:
  PlanBuilder(const EvalContext& context, Plan& plan) : context_(context), plan_(plan) {}

  int Term(std::string_view term, int depth) {
    if (depth > kMaxPlanDepth) return -1;
    std::string text = Normalised(term);
    text_read_ += text.size();
    if (text.size() > kMaxPlanText || text_read_ > kMaxPlanTextRead) return -1;
    if (!BracketCountsEqual(text) || (!text.empty() && text[0] == '?')) return -1;
    if (!Calls(text, depth)) return -1;
    LowerCase1252InPlace(text);  // function bodies keep the case they were stored with
    if (!Groups(text, depth)) return -1;
    // What is left of a ")" or a "?" always ends in an error text.
    if (text.find_first_of(")?") != npos) return -1;

    const std::size_t split = ComparisonSplit(text);
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
  int AddValue(int k, int term) {
    plan_.values.push_back({k, term});
    return static_cast<int>(plan_.values.size() - 1);
  }

  // User functions expanded as the text path expands them; built-in calls become marks.
  bool Calls(std::string& text, int depth) {
    const FunctionTable& functions = context_.functions;
    const std::size_t longest = functions.MaxPatternLength();
    std::size_t at = 0;
    for (;;) {
      int k = -1;
      while (k < 0) {
        const std::size_t open = text.find('(', at);
        if (open == npos) break;
        if (open - at >= longest) at = open - longest + 1;
        for (; at <= open; ++at) {
          k = functions.FindFunctionCallAt(text, at);
          if (k >= 0) break;
        }
      }
      if (k < 0) return true;
      const std::size_t open = at + functions.CallPattern(k).size() - 1;
      const std::size_t end = MatchEnd(text, open);
      const std::string_view argument = std::string_view(text).substr(open, end - open);
      std::string replacement;
      if (k >= kFirstUserFunction) {
        const std::string& body = functions.Term(k);
        if (HoldsMarks(body)) return false;
        const auto hashes = static_cast<std::size_t>(std::count(body.begin(), body.end(), '#'));
        expansion_text_ += body.size() - hashes + hashes * argument.size() + 2;
        if (++expansions_ > kMaxPlanExpansions || expansion_text_ > kMaxPlanExpansionText) {
          return false;
        }
        replacement = "(";
        replacement += SubstituteArgument(body, argument);
        replacement += ')';
      } else {
        const int term = Term(argument, depth + 1);
        if (term < 0) return false;
        replacement = "[";
        replacement += kPairMark;
        replacement += std::to_string(AddValue(k, term));
        replacement += ']';
      }
      text.replace(at, end - at, replacement);
      if (text.size() > kMaxPlanText) return false;
      // A name ending inside the replacement may start a little before it.
      at = at >= longest - 1 ? at - (longest - 1) : 0;
    }
  }

  bool Groups(std::string& text, int depth) {
    std::size_t open = text.find('(');
    if (open == npos) return true;
    std::string out;
    std::size_t pos = 0;
    for (; open != npos; open = text.find('(', pos)) {
      out.append(text, pos, open - pos);
      const std::size_t end = MatchEnd(text, open);
      if (!ClosesAt(text, open, end)) return false;
      const int term = Term(std::string_view(text).substr(open + 1, end - open - 2), depth + 1);
      if (term < 0) return false;
      const bool comparison = plan_.terms[static_cast<std::size_t>(term)].comparison;
      const std::string index = std::to_string(AddValue(-1, term));
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
      pos = end;
    }
    out.append(text, pos, npos);
    text = std::move(out);
    return true;
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
    if (text.empty() || (text[0] != '-' && text[0] != '+')) text.insert(0, 1, '+');
    Plan::Term node;
    node.first = static_cast<int>(plan_.operands.size());
    const std::string_view w = text;
    for (std::size_t i = 0; i < w.size();) {
      const char op = w[i];
      if (node.count > 0 && !IsOperatorChar(op)) return -1;
      ++i;
      double sign = 1.0;
      const std::size_t end = ScanOperand(w, i, sign);
      const std::string_view operand = w.substr(i, end - i);
      Plan::Operand entry{op, Plan::Source::Empty, sign, -1, {}};
      if (operand.empty()) {
        // counts as 0
      } else if (operand.find(kPairMark) != npos) {
        const std::optional<int> index = MarkIndex(operand, true);
        if (!index) return -1;
        entry.source = Plan::Source::Pair;
        entry.index = *index;
      } else if (operand.find(kComparisonMark) != npos) {
        const std::optional<int> index = MarkIndex(operand, false);
        if (!index) return -1;
        entry.source = Plan::Source::Comparison;
        entry.index = *index;
      } else if (operand[0] >= 'a' && operand[0] <= 'z') {
        entry.index = context_.variables.FindVariable(operand);
        if (entry.index < 0) return -1;
        entry.source = Plan::Source::Variable;
      } else {
        // Whatever the text path would fault on or not read as a number is left to it.
        std::optional<TComplex> number;
        try {
          number = ReadNumberText(operand);
        } catch (const Fault&) {
          return -1;
        }
        if (!number) return -1;
        entry.constant = sign * *number;
        entry.source = Plan::Source::Constant;
      }
      if (node.count == static_cast<int>(kMaxOperandEntries)) return -1;
      plan_.operands.push_back(entry);
      ++node.count;
      i = end;
    }
    node.read_back = node.count == 1 && plan_.operands.back().source == Plan::Source::Pair;
    if (node.count == 1 && plan_.operands.back().source == Plan::Source::Constant) Fold(node);
    plan_.terms.push_back(node);
    return static_cast<int>(plan_.terms.size() - 1);
  }

  // A lone number: its sum as the sum pass gives it, known once the plan is built, and
  // whether that sum reads back as itself.
  void Fold(Plan::Term& node) const {
    const Plan::Operand& number = plan_.operands.back();
    const Entry entry{number.op, number.constant.Re, number.constant.Im};
    TComplex sum;
    try {
      if (!SumOf(&entry, 1, sum)) return;
    } catch (const Fault&) {
      return;
    }
    node.folded = true;
    node.sum = sum;
    double re = 0, im = 0;
    node.read_back = RoundTripReal(sum.Re, re) && RoundTripReal(sum.Im, im) &&
                     std::bit_cast<std::uint64_t>(re) == std::bit_cast<std::uint64_t>(sum.Re) &&
                     std::bit_cast<std::uint64_t>(im) == std::bit_cast<std::uint64_t>(sum.Im);
  }

  const EvalContext& context_;
  Plan& plan_;
  int expansions_ = 0;
  std::size_t expansion_text_ = 0;
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

// Precondition: the stamp is this context's.
const FlatPlan& PlanCache::PlanFor(std::string_view term, const EvalContext& context) {
  if (const auto found = plans_.find(term); found != plans_.end()) return *found->second;
  if (plans_.size() >= kMaxPlans) Clear();
  auto flat = std::make_unique<FlatPlan>();
  if (names_usable_ && !HoldsMarks(term)) {
    Plan plan;
    PlanBuilder builder(context, plan);
    plan.root = builder.Term(term, 0);
    plan.usable = plan.root >= 0;
    *flat = LowerPlan(plan);
    if (slots_.size() < static_cast<std::size_t>(flat->slot_count)) {
      slots_.resize(static_cast<std::size_t>(flat->slot_count));
    }
  }
  ++counts_.built;
  return *plans_.emplace(std::string(term), std::move(flat)).first->second;
}

PlanResult PlanCache::TryEvaluate(std::string_view term, const EvalContext& context,
                                  PlanHandle* handle) {
  const Stamp stamp{&context.functions, context.functions.Version(), &context.variables,
                    context.variables.NamesVersion(), DecimalSeparator()};
  if (!(stamp == stamp_)) [[unlikely]]
    Restamp(stamp, context);
  const FlatPlan* plan = nullptr;
  if (handle != nullptr && handle->generation == generation_) {
    plan = static_cast<const FlatPlan*>(handle->plan);
  } else {
    plan = &PlanFor(term, context);
    if (handle != nullptr) *handle = {plan, generation_};
  }
  // Counted as not answered until the plan gives its value: a fault ends the term here.
  ++counts_.fallback;
  FlatWork work{slots_.data(), round_trips_, powers_};
  // One result object, built in place: it is the caller's.
  PlanResult result = plan->usable ? RunFlatPlan(*plan, context, work) : PlanResult{};
  if (result.outcome != PlanResult::Outcome::Fallback) {
    --counts_.fallback;
    ++counts_.fast;
  }
  return result;
}

}  // namespace ombrix
