#include "logic/evaluator/evaluate.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "logic/complex/num_text.h"
#include "logic/evaluator/builtins.h"
#include "logic/evaluator/error_codes.h"
#include "logic/evaluator/plan.h"
#include "logic/evaluator/result_text.h"
#include "logic/evaluator/term_rules.h"
#include "logic/evaluator/term_scan.h"

namespace ombrix {

namespace {

constexpr std::string_view::size_type npos = std::string_view::npos;

struct Run {
  const EvalContext& context;
  ExpansionSpent expansions{};
  std::size_t text_read = 0;
  int call_depth = 0;  // built-in arguments being evaluated, one inside the other
  double power_products = 0;
  // ExplainTerm's list of the outermost evaluation's working texts, or none.
  std::vector<std::string>* working_texts = nullptr;
  int level = 0;  // evaluations open, counted only while working texts are kept
  const PowerWork power_work{power_products, context.power_products, context.boxes,
                             context.interrupt,
                             context.plans != nullptr ? &context.plans->Powers() : nullptr};
};

// Keeps a working text of the outermost evaluation for ExplainTerm. Out of line and
// cold, so that the evaluation without it keeps the code it had.
[[gnu::cold, gnu::noinline]] void Note(const Run& run, std::string_view a, std::string_view b = {},
                                       std::string_view c = {}) {
  if (run.working_texts == nullptr || run.level != 1) return;
  std::string text;
  text.reserve(a.size() + b.size() + c.size());
  text.append(a).append(b).append(c);
  if (run.working_texts->empty() || run.working_texts->back() != text) {
    run.working_texts->push_back(std::move(text));
  }
}

std::string Evaluate(std::string_view term, Run& run, int depth);

// The text path's own steps in the shared readings: a built-in call and a bracket group
// are replaced by their values' texts.
struct TextPath {
  Run& run;
  int depth;
  std::string error;

  Reading Builtin(int k, std::string_view argument, std::string& replacement) {
    // Bodies that call a built-in around themselves nest calls without adding brackets
    // to any one text; this bound keeps that recursion off the stack's end.
    if (run.call_depth >= kTextBounds.depth) return Reading::Refused;
    ++run.call_depth;
    const std::string value = Evaluate(argument, run, depth);
    --run.call_depth;
    if (IsErrorText(value)) {
      error = WrappedError(ErrorCode::Syntax, value);
      return Reading::Stopped;
    }
    const std::optional<TComplex> result = ComputeBuiltin(
        k, ParseNumberText(value), run.context.functions.ArgumentRule(k), run.context.drawing);
    if (!result) {
      error = WrappedError(ErrorCode::BadFunctionArgument, value);
      return Reading::Stopped;
    }
    replacement = PairText(*result);
    return Reading::Done;
  }

  bool Group(std::string_view inner, bool /*closed*/, std::string& out) {
    std::string value = Evaluate(inner, run, depth + 1);
    if (IsErrorText(value)) {
      error = std::move(value);
      return false;
    }
    out += value;
    return true;
  }

  void Replaced(std::string_view done, std::string_view rest) const {
    if (run.working_texts) Note(run, done, rest);
  }
};

// Comparisons. The sides hold no bracket any more, so they need no further depth. The right side of
// a split is evaluated like a term of its own and may split again; that chain is walked in a loop
// instead of by recursion, with the same order of evaluation and the same outcome: any failure
// below the first split reaches this level as a side that is no number.
struct ComparisonLink {
  std::string left;
  char op;
};

// The right sides after the first split, left to right: each one's left side joins
// `chain`; the innermost right side comes back as a failed check before its comparison,
// or as its value.
std::string RightSides(const std::string& rest, std::vector<ComparisonLink>& chain, Run& run,
                       int depth) {
  const std::size_t last_close = rest.rfind(')');
  ComparisonFinder finder(rest);
  for (std::size_t from = 0;;) {
    // The checks that precede a term's comparison: brackets ("(" are gone by now) and a
    // leading "?".
    if (last_close != npos && last_close >= from) return ErrorText(ErrorCode::BadBrackets);
    if (from < rest.size() && rest[from] == '?') return "?";
    const std::size_t next = finder.Split(from);
    if (next == npos) return Evaluate(std::string_view(rest).substr(from), run, depth);
    chain.push_back(
        {Evaluate(std::string_view(rest).substr(from, next - from), run, depth), rest[next]});
    from = next + 1;
  }
}

// The chain compared from its innermost link outwards; the outermost gives the result.
std::string FoldComparisons(const std::string& text, const std::vector<ComparisonLink>& chain,
                            const std::string& innermost, const Run& run) {
  const std::optional<TComplex> innermost_value = ReadNumberText(innermost);
  bool right_is_number = innermost_value.has_value();
  TComplex right = innermost_value.value_or(TComplex{});
  for (std::size_t level = chain.size(); level-- > 1;) {
    const ComparisonLink& link = chain[level];
    const std::optional<TComplex> left = right_is_number ? ReadNumberText(link.left) : std::nullopt;
    const char outcome = left ? CompareValues(link.op, *left, right) : '?';
    right_is_number = outcome != '?';
    if (right_is_number) right = ComplexFromReal(outcome == '1' ? 1.0 : 0.0);
  }
  const ComparisonLink& link = chain[0];
  const std::optional<TComplex> left = right_is_number ? ReadNumberText(link.left) : std::nullopt;
  if (!left) return WrappedError(ErrorCode::Syntax, text);
  const char outcome = CompareValues(link.op, *left, right);
  if (outcome == '?') return WrappedError(ErrorCode::BadOperatorArgument, text);
  if (run.working_texts) {
    Note(run, link.left, std::string_view(&link.op, 1),
         chain.size() == 1 ? std::string_view(innermost)
         : right.Re != 0   ? "1"
                           : "0");
  }
  return std::string(1, outcome);
}

std::optional<std::string> Comparison(const std::string& text, Run& run, int depth) {
  ComparisonFinder first(text);
  const std::size_t split = first.Split(0);
  if (split == npos) return std::nullopt;
  std::vector<ComparisonLink> chain;
  chain.push_back({Evaluate(std::string_view(text).substr(0, split), run, depth), text[split]});
  // Below the first level every side is normalised; blanks can only come from odd user
  // function bodies, and removing them keeps the order of all other characters.
  const std::string rest = text.find(' ', split + 1) == npos ? text.substr(split + 1)
                                                             : RemoveSpaces(text.substr(split + 1));
  const std::string innermost = RightSides(rest, chain, run, depth);
  return FoldComparisons(text, chain, innermost, run);
}

// The operand list as a working text: each operator with its value's pair text.
[[gnu::cold, gnu::noinline]] void NoteOperands(const Run& run, const OperandList& list) {
  std::string operands;
  for (std::size_t e = 0; e < list.count; ++e) {
    operands += list.entries[e].op;
    operands += PairText(list.entries[e].Value());
  }
  Note(run, operands);
}

std::string OverflowText(std::string_view operand) {
  std::string out = ErrorText(ErrorCode::Overflow);
  out += '\'';
  out += operand;
  out += " !";
  return out;
}

// The values of the text path's operands: read at once, into the operand list.
struct ValueList {
  using Value = TComplex;
  OperandList& list;
  const VariableTable& variables;

  static Value Empty(double /*sign*/) { return {}; }
  int Find(std::string_view name) const { return variables.FindVariable(name); }
  Value Variable(double sign, int j) const { return sign * variables.CurrentValue(j); }
  static bool Other(double sign, std::string_view operand, Value& value) {
    const std::optional<TComplex> number = ReadNumberText(operand);
    if (!number) return false;
    value = sign * *number;
    return true;
  }
  std::size_t Count() const { return list.count; }
  void Add(char op, Value value, std::string_view operand) {
    list.entries[list.count++] = {op, value.Re, value.Im};
    list.last_operand = operand;
  }
};

// The error text of what a pass met, for working text `w`.
std::string PassFailureText(PassFailure failure, std::string_view w, const OperandList& list) {
  switch (failure) {
    case PassFailure::None:
      break;
    case PassFailure::BadOperand:
      return WrappedError(ErrorCode::BadOperatorArgument, w);
    case PassFailure::DivisionByZero:
      return ErrorText(ErrorCode::BadOperatorArgument) + "Division '/'";
    case PassFailure::RemainderByZero:
      return ErrorText(ErrorCode::BadOperatorArgument) + "Rest-Operator '%'";
    case PassFailure::Overflow:
      return OverflowText(list.last_operand);
  }
  return {};
}

// Last the signs: the pair text of the sum, or the overflow error.
std::string SumPass(const OperandList& list) {
  TComplex sum;
  if (!SumOf(list, sum)) return OverflowText(list.last_operand);
  return PairText(sum);
}

// A term without brackets and comparisons: the operand scan, then the power, product
// and sum passes. Kept out of line so that the operand list stays off the frames of the
// recursive evaluation.
[[gnu::noinline]] std::string Arithmetic(std::string& text, Run& run) {
  PutLeadingSign(text);
  const std::string_view w = text;
  OperandList list;
  ValueList values{list, run.context.variables};
  std::string error = ScanOperands(w, values);
  if (!error.empty()) return error;
  if (run.working_texts) NoteOperands(run, list);
  PassFailure failure = PowerPass(list, run.power_work);
  if (failure == PassFailure::None) failure = ProductPass(list, run.context.boxes);
  if (failure != PassFailure::None) return PassFailureText(failure, w, list);
  return SumPass(list);
}

std::string EvaluateLevel(std::string_view term, Run& run, int depth) {
  std::string text = Normalise(term);
  if (run.working_texts) Note(run, text);
  switch (StartLevel(text, depth, run.text_read, kTextBounds)) {
    case LevelStart::Go:
      break;
    case LevelStart::BadBrackets:
      return WrappedError(ErrorCode::BadBrackets, text);
    case LevelStart::ErrorText:
      return text;
    case LevelStart::TooDeep:
      return WrappedError(ErrorCode::Syntax, text);
  }

  TextPath path{run, depth, {}};
  switch (ReplaceCalls(text, run.context.functions, kTextBounds, run.expansions, path)) {
    case Reading::Done:
      break;
    case Reading::Refused:
      return WrappedError(ErrorCode::Syntax, text);
    case Reading::Stopped:
      return std::move(path.error);
  }
  LowerInPlace(text);  // function bodies keep the case they were stored with
  if (!ReplaceGroups(text, path)) return std::move(path.error);
  if (std::optional<std::string> compared = Comparison(text, run, depth)) return *compared;
  return Arithmetic(text, run);
}

std::string Evaluate(std::string_view term, Run& run, int depth) {
  if (run.working_texts == nullptr) return EvaluateLevel(term, run, depth);
  // ExplainTerm counts the evaluations open; a fault abandons its run with the count.
  ++run.level;
  std::string result = EvaluateLevel(term, run, depth);
  --run.level;
  return result;
}

}  // namespace

std::string EvaluateTermText(std::string_view term, const EvalContext& context) {
  Run run{context};
  return Evaluate(term, run, 0);
}

void ExplainTerm(std::string_view term, const EvalContext& context,
                 std::vector<std::string>& texts) {
  Run run{context};
  run.working_texts = &texts;
  std::string result = Evaluate(term, run, 0);
  if (texts.empty() || texts.back() != result) texts.push_back(std::move(result));
}

std::string EvaluateTerm(std::string_view term, const EvalContext& context) {
  if (context.plans != nullptr) {
    const PlanResult planned = context.plans->TryEvaluate(term, context);
    switch (planned.outcome) {
      case PlanResult::Outcome::Value:
        return PairText(planned.raw);
      case PlanResult::Outcome::Comparison:
        return planned.value.Re != 0.0 ? "1" : "0";
      case PlanResult::Outcome::Fallback:
        break;
    }
  }
  return EvaluateTermText(term, context);
}

bool EvaluateTermTextInto(std::string_view term, const EvalContext& context, TComplex& value,
                          std::string& error) {
  std::string result = EvaluateTermText(term, context);
  if (IsErrorText(result)) {
    error = std::move(result);
    return false;
  }
  value = ParseNumberText(result);
  return true;
}

TermValue EvaluateTermValue(std::string_view term, const EvalContext& context, PlanHandle* handle) {
  TermValue out;
  EvaluateTermInto(term, context, handle, out.value, out.error);
  return out;
}

std::string EvaluateForDisplay(std::string_view term, const EvalContext& context) {
  return DisplayOfResult(EvaluateTerm(term, context));
}

std::string DisplayOfResult(std::string_view result) {
  std::string display = ToDisplayText(result);
  if (IsErrorText(display)) return ErrorMessageText(display);
  return display;
}

bool BracketCountsEqual(std::string_view text) { return BracketCountsMatch(text); }

}  // namespace ombrix
