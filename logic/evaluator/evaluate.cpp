#include "logic/evaluator/evaluate.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "logic/complex/cp1252.h"
#include "logic/complex/num_text.h"
#include "logic/evaluator/builtins.h"
#include "logic/evaluator/error_codes.h"
#include "logic/evaluator/plan.h"
#include "logic/evaluator/result_text.h"
#include "logic/evaluator/term_scan.h"

namespace ombrix {

namespace {

constexpr std::string_view::size_type npos = std::string_view::npos;

// Guards that keep hostile terms from exhausting the stack, the memory or the patience.
constexpr int kMaxDepth = 256;  // nesting of bracket groups (and calls)
// Expansions per evaluation of user functions that can call themselves; the expansions
// of all other functions are bounded by the text budgets below.
constexpr int kMaxExpansions = 10000;
constexpr std::size_t kMaxWorkingText = std::size_t{1} << 20;
// All text that expansions produce in one evaluation: bounds the work of a body whose
// growing argument is copied again at every expansion.
constexpr std::size_t kMaxExpansionText = std::size_t{1} << 20;
// All text that the nested evaluations of one term read: a huge payload inside hundreds
// of brackets would otherwise be copied and scanned once per level.
constexpr std::size_t kMaxTextRead = std::size_t{32} << 20;

struct Run {
  const EvalContext& context;
  int expansions = 0;
  std::size_t expansion_text = 0;
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

std::string Wrapped(ErrorCode code, std::string_view text) {
  std::string out;
  out.reserve(text.size() + 6);
  out += '?';
  out += CodeChar(code);
  out += '\'';
  out += text;
  out += "' ?";
  return out;
}

// The text of a real as RealToText writes it; whole numbers below 1E15 have exactly their
// digits there, and they are most sub-results, so they skip the general formatting.
void AppendReal(std::string& out, double x) {
  if (std::fabs(x) < 1E15 && x == std::trunc(x)) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, static_cast<long long>(x)).ptr;
    out.append(digits, end);
    return;
  }
  out += RealToText(x);
}

std::string PairText(TComplex z) {
  std::string out;
  out.reserve(32);
  out += '[';
  AppendReal(out, z.Re);
  out += '|';
  AppendReal(out, z.Im);
  out += ']';
  return out;
}

// Bit 0: the character lower-cases to another one; bit 1: a blank.
const std::array<unsigned char, 256>& NormaliseFlags() {
  static const std::array<unsigned char, 256> flags = [] {
    std::array<unsigned char, 256> f{};
    for (int c = 0; c < 256; ++c) {
      const char ch = static_cast<char>(c);
      f[static_cast<std::size_t>(c)] = static_cast<unsigned char>(LowerChar1252(ch) != ch);
    }
    f[' '] = 2;
    return f;
  }();
  return flags;
}

bool NeedsNormalising(std::string_view s, unsigned char mask) {
  const auto& flags = NormaliseFlags();
  unsigned char any = 0;
  for (char c : s) any |= flags[static_cast<unsigned char>(c)];
  return (any & mask) != 0;
}

// Lower case, blanks removed.
std::string Normalise(std::string_view term) {
  if (!NeedsNormalising(term, 3)) return std::string(term);
  std::string out;
  out.reserve(term.size());
  for (char c : term) {
    if (c != ' ') out += LowerChar1252(c);
  }
  return out;
}

void LowerInPlace(std::string& s) {
  if (!NeedsNormalising(s, 1)) return;
  for (char& c : s) c = LowerChar1252(c);
}

std::size_t MaxNesting(std::string_view s) {
  std::ptrdiff_t depth = 0, deepest = 0;
  for (char c : s) {
    if (c == '(') {
      deepest = std::max(deepest, ++depth);
    } else if (c == ')') {
      --depth;
    }
  }
  return static_cast<std::size_t>(deepest);
}

// The text still to be searched for calls: buf[pos ..]. Replacements are put in front
// of it, into the room left by what was consumed, so every call costs only its own size.
struct Pending {
  std::string buf;
  std::size_t pos = 0;

  void PutInFront(std::string_view a, std::string_view b, std::size_t from) {
    const std::size_t len = a.size() + b.size();
    if (from >= len) {
      pos = from - len;
      std::memcpy(buf.data() + pos, a.data(), a.size());
      std::memcpy(buf.data() + pos + a.size(), b.data(), b.size());
      return;
    }
    const std::size_t rest = buf.size() - from;
    const std::size_t room = std::max(len, rest);
    std::string next;
    next.reserve(room + len + rest);
    next.assign(room, '\0');
    next += a;
    next += b;
    next.append(buf, from, npos);
    buf.swap(next);
    pos = room;
  }
};

// Expands user functions textually and replaces built-in calls by their values.
// Returns an error text, or the empty text when `text` now holds no call.
std::string ReplaceCalls(std::string& text, Run& run, int depth) {
  if (text.find('(') == npos) return {};
  const FunctionTable& functions = run.context.functions;
  const std::size_t longest = functions.MaxPatternLength();
  std::string done;
  done.reserve(text.size());
  Pending pending{std::move(text), 0};
  for (;;) {
    // The next call: positions in order, lowest index first at each. Only positions a
    // "(" lies close behind can start one.
    const std::string& buf = pending.buf;
    int k = -1;
    std::size_t at = pending.pos;
    while (k < 0) {
      const std::size_t open = buf.find('(', at);
      if (open == npos) break;
      if (open - at >= longest) at = open - longest + 1;
      for (; at <= open; ++at) {
        k = functions.FindFunctionCallAt(buf, at);
        if (k >= 0) break;
      }
    }
    if (k < 0) break;
    done.append(buf, pending.pos, at - pending.pos);
    const std::size_t open = at + functions.CallPattern(k).size() - 1;
    const std::size_t end = MatchEnd(buf, open);
    const std::string_view argument(buf.data() + open, end - open);
    std::string replacement;
    if (k >= kFirstUserFunction) {
      const std::string& body = functions.Term(k);
      const auto hashes = static_cast<std::size_t>(std::count(body.begin(), body.end(), '#'));
      // Sized before it is built, so no single expansion can ask for a huge block.
      run.expansion_text += body.size() - hashes + hashes * argument.size() + 2;
      const std::size_t size = done.size() + (buf.size() - at);
      if ((functions.ReachesItself(k) && ++run.expansions > kMaxExpansions) ||
          size > kMaxWorkingText || run.expansion_text > kMaxExpansionText) {
        return Wrapped(ErrorCode::Syntax, done.append(buf, at, npos));
      }
      replacement = "(";
      replacement += SubstituteArgument(body, argument);
      replacement += ')';
    } else {
      // Bodies that call a built-in around themselves nest calls without adding
      // brackets to any one text; this bound keeps that recursion off the stack's end.
      if (run.call_depth >= kMaxDepth)
        return Wrapped(ErrorCode::Syntax, done.append(buf, at, npos));
      ++run.call_depth;
      const std::string value = Evaluate(argument, run, depth);
      --run.call_depth;
      if (IsErrorText(value)) return Wrapped(ErrorCode::Syntax, value);
      const std::optional<TComplex> result =
          ComputeBuiltin(k, ParseNumberText(value), functions.ArgumentRule(k), run.context.drawing);
      if (!result) return Wrapped(ErrorCode::BadFunctionArgument, value);
      replacement = PairText(*result);
    }
    // A name ending inside the replacement may start a little before it: search again
    // from there (the text before that cannot have changed its answer).
    const std::size_t back = std::min(done.size(), longest - 1);
    const std::string tail = done.substr(done.size() - back);
    done.resize(done.size() - back);
    pending.PutInFront(tail, replacement, end);
    if (run.working_texts) Note(run, done, std::string_view(pending.buf).substr(pending.pos));
  }
  done.append(pending.buf, pending.pos, npos);
  text = std::move(done);
  return {};
}

// Every bracket group, from the left, replaced by its value. Values hold no "(",
// so working from left to right is the same as always taking the first "(".
std::string ReplaceGroups(std::string& text, Run& run, int depth) {
  std::size_t open = text.find('(');
  if (open == npos) return {};
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  for (; open != npos; open = text.find('(', pos)) {
    out.append(text, pos, open - pos);
    // Without a closing bracket the group runs to the end of the text.
    const std::size_t close = std::min(MatchingClose(text, open), text.size());
    const std::string_view inner = std::string_view(text).substr(open + 1, close - open - 1);
    std::string value = Evaluate(inner, run, depth + 1);
    if (IsErrorText(value)) return value;
    out += value;
    pos = std::min(close + 1, text.size());
    if (run.working_texts) Note(run, out, std::string_view(text).substr(pos));
  }
  out.append(text, pos, npos);
  text = std::move(out);
  return {};
}

// The first occurrence, at or after a start, of each comparison character; the start
// only moves forward, so all searches together read the text once per character.
class ComparisonFinder {
 public:
  explicit ComparisonFinder(std::string_view text) : text_(text) {
    if (text.size() > 64) {
      for (std::size_t i = 0; i < kChars.size(); ++i) next_[i] = text_.find(kChars[i]);
      return;
    }
    // Short texts, the usual case: one pass instead of five searches.
    next_.fill(npos);
    for (std::size_t p = text.size(); p-- > 0;) {
      switch (text[p]) {
        case '~':
          next_[0] = p;
          break;
        case '#':
          next_[1] = p;
          break;
        case '>':
          next_[2] = p;
          break;
        case '=':
          next_[3] = p;
          break;
        case '<':
          next_[4] = p;
          break;
        default:
          break;
      }
    }
  }
  // The largest of the first occurrences at or after `from`, or npos.
  std::size_t Split(std::size_t from) {
    std::size_t split = npos;
    for (std::size_t i = 0; i < kChars.size(); ++i) {
      if (next_[i] != npos && next_[i] < from) next_[i] = text_.find(kChars[i], from);
      if (next_[i] != npos && (split == npos || next_[i] > split)) split = next_[i];
    }
    return split;
  }

 private:
  static constexpr std::array<char, 5> kChars = {'~', '#', '>', '=', '<'};
  std::string_view text_;
  std::array<std::size_t, 5> next_{};
};

// Comparisons. The sides hold no bracket any more, so they need no further depth. The right side of
// a split is evaluated like a term of its own and may split again; that chain is walked in a loop
// instead of by recursion, with the same order of evaluation and the same outcome: any failure
// below the first split reaches this level as a side that is no number.
std::optional<std::string> Comparison(const std::string& text, Run& run, int depth) {
  ComparisonFinder first(text);
  const std::size_t split = first.Split(0);
  if (split == npos) return std::nullopt;

  struct Link {
    std::string left;
    char op;
  };
  std::vector<Link> chain;
  chain.push_back({Evaluate(std::string_view(text).substr(0, split), run, depth), text[split]});

  // Below the first level every side is normalised; blanks can only come from odd user
  // function bodies, and removing them keeps the order of all other characters.
  const std::string rest = text.find(' ', split + 1) == npos ? text.substr(split + 1)
                                                             : RemoveSpaces(text.substr(split + 1));
  const std::size_t last_close = rest.rfind(')');
  ComparisonFinder finder(rest);
  // The innermost right side: a failed check before its comparison, or its value.
  const std::string innermost = [&]() -> std::string {
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
  }();

  const std::optional<TComplex> innermost_value = ReadNumberText(innermost);
  bool right_is_number = innermost_value.has_value();
  TComplex right = innermost_value.value_or(TComplex{});
  for (std::size_t level = chain.size(); level-- > 0;) {
    const Link& link = chain[level];
    char outcome = '?';
    const std::optional<TComplex> left = right_is_number ? ReadNumberText(link.left) : std::nullopt;
    if (left) {
      outcome = CompareValues(link.op, *left, right);
      if (outcome == '?' && level == 0) return Wrapped(ErrorCode::BadOperatorArgument, text);
    }
    if (outcome == '?') {
      if (level == 0) return Wrapped(ErrorCode::Syntax, text);
      right_is_number = false;
    } else {
      if (level == 0 && run.working_texts) {
        Note(run, link.left, std::string_view(&link.op, 1),
             chain.size() == 1 ? std::string_view(innermost)
             : right.Re != 0   ? "1"
                               : "0");
      }
      if (level == 0) return std::string(1, outcome);
      right = ComplexFromReal(outcome == '1' ? 1.0 : 0.0);
    }
  }
  return std::nullopt;  // not reached: the chain holds level 0
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

// The operand scan of a term that starts with its sign. "" or the error text.
std::string ScanOperands(std::string_view w, const VariableTable& variables, OperandList& list) {
  const std::size_t n = w.size();
  std::size_t i = 0;
  while (i < n) {
    const char op = w[i];
    // After a bracketed pair the next character must be an operator; anything else
    // would silently drop the rest of the term.
    if (list.count > 0 && !IsOperatorChar(op)) return Wrapped(ErrorCode::Syntax, w);
    ++i;
    double sign = 1.0;
    const std::size_t c = ScanOperand(w, i, sign);
    const std::string_view operand = w.substr(i, c - i);
    TComplex value{};
    if (operand.empty()) {
      // An empty operand counts as 0: "2*" is 0, "2+" is 2.
    } else if (operand[0] >= 'a' && operand[0] <= 'z') {
      const int j = variables.FindVariable(operand);
      if (j < 0) {
        std::string out = ErrorText(ErrorCode::UnknownFunction);
        out += operand;
        out += " !";
        return out;
      }
      value = sign * variables.CurrentValue(j);
    } else {
      const std::optional<TComplex> number = ReadNumberText(operand);
      if (!number) return Wrapped(ErrorCode::Syntax, operand);
      value = sign * *number;
    }
    if (list.count == kMaxOperandEntries) return Wrapped(ErrorCode::Syntax, w);
    list.entries[list.count++] = {op, value.Re, value.Im};
    list.last_operand = operand;
    i = c;
  }
  return {};
}

// The error text of what a pass met, for working text `w`.
std::string PassFailureText(PassFailure failure, std::string_view w, const OperandList& list) {
  switch (failure) {
    case PassFailure::None:
      break;
    case PassFailure::BadOperand:
      return Wrapped(ErrorCode::BadOperatorArgument, w);
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
  if (text.empty() || (text[0] != '-' && text[0] != '+')) text.insert(0, 1, '+');
  const std::string_view w = text;
  OperandList list;
  std::string error = ScanOperands(w, run.context.variables, list);
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
  if (!BracketCountsEqual(text)) return Wrapped(ErrorCode::BadBrackets, text);
  if (!text.empty() && text[0] == '?') return text;
  // Deeper nesting is refused before any recursion, so no term can exhaust the stack;
  // the second test catches nesting that user function bodies add.
  run.text_read += text.size();
  if ((depth == 0 && MaxNesting(text) > kMaxDepth) || depth > kMaxDepth ||
      run.text_read > kMaxTextRead) {
    return Wrapped(ErrorCode::Syntax, text);
  }

  std::string error = ReplaceCalls(text, run, depth);
  if (!error.empty()) return error;
  LowerInPlace(text);  // function bodies keep the case they were stored with
  error = ReplaceGroups(text, run, depth);
  if (!error.empty()) return error;
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

TermValue EvaluateTermValue(std::string_view term, const EvalContext& context, PlanHandle* handle) {
  TermValue out;
  if (context.plans != nullptr) {
    const PlanResult planned = context.plans->TryEvaluate(term, context, handle);
    if (planned.outcome != PlanResult::Outcome::Fallback) {
      out.value = planned.value;
      return out;
    }
  }
  std::string result = EvaluateTermText(term, context);
  if (IsErrorText(result)) {
    out.error = std::move(result);
  } else {
    out.value = ParseNumberText(result);
  }
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

bool BracketCountsEqual(std::string_view text) {
  std::ptrdiff_t balance = 0;
  for (char c : text) balance += (c == '(') - (c == ')');
  return balance == 0;
}

}  // namespace ombrix
