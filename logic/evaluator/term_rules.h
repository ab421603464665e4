// The rules by which the text path and the plan builder read a term's text: its normal
// form, the guards of one evaluation, the call search with the expansion of user
// functions, bracket groups, the comparison split and the kinds of operands. Each rule
// is written here once; what a path puts in place of a call, a group or an operand (a
// value's text, or a plan's mark) is what it passes in.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "logic/complex/cp1252.h"
#include "logic/evaluator/error_codes.h"
#include "logic/evaluator/tables.h"
#include "logic/evaluator/term_scan.h"

namespace ombrix {

// "?" + code + "'" + text + "' ?".
std::string WrappedError(ErrorCode code, std::string_view text);

// Bit 0: the character lower-cases to another one; bit 1: a blank.
inline const std::array<unsigned char, 256>& NormaliseFlags() {
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

// Whether some character of `s` has a flag of `mask`: most texts are normal already.
inline bool NeedsNormalising(std::string_view s, unsigned char mask) {
  const auto& flags = NormaliseFlags();
  unsigned char any = 0;
  for (char c : s) any |= flags[static_cast<unsigned char>(c)];
  return (any & mask) != 0;
}

// Lower case, blanks removed: how every term and every level's text starts. Inline, as
// every level of every evaluation starts with it.
inline std::string Normalise(std::string_view term) {
  if (!NeedsNormalising(term, 3)) return std::string(term);
  std::string out;
  out.reserve(term.size());
  for (char c : term) {
    if (c != ' ') out += LowerChar1252(c);
  }
  return out;
}

// Lower case again, after function bodies came in with the case they were stored with.
inline void LowerInPlace(std::string& text) {
  if (!NeedsNormalising(text, 1)) return;
  for (char& c : text) c = LowerChar1252(c);
}

// Guards that keep hostile terms from exhausting the stack, the memory or the patience.
struct EvalBounds {
  int depth;                   // nesting of bracket groups, and of calls in calls' arguments
  int expansions;              // expansions of user functions that can call themselves
  std::size_t working_text;    // the text an expansion may be made in
  std::size_t expansion_text;  // all text the expansions of one evaluation make
  std::size_t text_read;       // all text the nested levels of one evaluation read
};

// The text path's guards; what they refuse ends in a code 1 error text.
inline constexpr EvalBounds kTextBounds{
    .depth = 256,
    .expansions = 10000,
    .working_text = std::size_t{1} << 20,
    .expansion_text = std::size_t{1} << 20,
    .text_read = std::size_t{32} << 20,
};

// A plan gives way before any guard of the text path could speak, so that the text path
// meets its guard (or its own result) as before. Each bound is well inside its guard:
// - the plan's depth also counts comparison sides and calls, so it is never below either
//   depth the text path counts;
// - it spends on expansions what the text path spends: a call's argument lies to the
//   right of every value replaced so far, so it is the same text on both paths;
// - a mark in its texts has 4 to 8 characters where the text path has a pair text of 5
//   to 47 (a comparison's mark is longer than its "1" or "0"), so a plan's text within
//   its bound stands for a working text at most 12 times as long.
inline constexpr EvalBounds kPlanBounds{
    .depth = kTextBounds.depth / 4,
    .expansions = kTextBounds.expansions / 10,
    .working_text = kTextBounds.working_text / 64,
    .expansion_text = kTextBounds.expansion_text / 4,
    .text_read = kTextBounds.text_read / 64,
};
static_assert(kPlanBounds.depth < kTextBounds.depth);
static_assert(kPlanBounds.expansions < kTextBounds.expansions);
static_assert(kPlanBounds.expansion_text < kTextBounds.expansion_text);
static_assert(kPlanBounds.working_text * 12 < kTextBounds.working_text);
static_assert(kPlanBounds.text_read * 12 < kTextBounds.text_read);

// The checks every level makes of its normalised text before its calls.
enum class LevelStart : unsigned char {
  Go,
  BadBrackets,  // "(" and ")" counts differ
  ErrorText,    // the text is an error text: it stays what it is
  TooDeep,      // beyond a guard
};
// The number of "(" equals the number of ")"; the order is not checked.
inline bool BracketCountsMatch(std::string_view text) {
  std::ptrdiff_t balance = 0;
  for (char c : text) balance += (c == '(') - (c == ')');
  return balance == 0;
}
// The deepest nesting of brackets in `text`.
std::size_t MaxNesting(std::string_view text);

// Counts the text into `text_read`. Nesting deeper than the guard is refused before any
// recursion at the outermost level; deeper levels catch what user function bodies add.
// Inline, as every level of every evaluation starts with it.
inline LevelStart StartLevel(std::string_view text, int depth, std::size_t& text_read,
                             const EvalBounds& bounds) {
  if (!BracketCountsMatch(text)) return LevelStart::BadBrackets;
  if (!text.empty() && text[0] == '?') return LevelStart::ErrorText;
  text_read += text.size();
  if ((depth == 0 && MaxNesting(text) > static_cast<std::size_t>(bounds.depth)) ||
      depth > bounds.depth || text_read > bounds.text_read) {
    return LevelStart::TooDeep;
  }
  return LevelStart::Go;
}

// How a reading of calls or groups ended.
enum class Reading : unsigned char {
  Done,     // nothing left to replace
  Refused,  // a guard refused: the text is left as it stood then, for the error text
  Stopped,  // the path's own step stopped; it keeps why
};

// What the expansions of one evaluation have spent of its bounds.
struct ExpansionSpent {
  int expansions = 0;
  std::size_t text = 0;
};

// The text still to be searched for calls: buf[pos ..]. Replacements are put in front of
// it, into the room left by what was consumed, so every call costs only its own size.
struct PendingText {
  std::string buf;
  std::size_t pos = 0;

  std::string_view Rest() const { return std::string_view(buf).substr(pos); }
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
    next.append(buf, from, std::string::npos);
    buf.swap(next);
    pos = room;
  }
};

// Where the next call starts in `text` at or after `from`: positions in order, the lowest
// table index first at each. Only positions a "(" lies close behind can start one.
struct CallAt {
  int k = -1;  // -1: no call
  std::size_t at = 0;
};
inline CallAt FindNextCall(const FunctionTable& functions, std::string_view text,
                           std::size_t from) {
  const std::size_t longest = functions.MaxPatternLength();
  CallAt call{-1, from};
  for (;;) {
    const std::size_t open = text.find('(', call.at);
    if (open == std::string_view::npos) return {-1, text.size()};
    if (open - call.at >= longest) call.at = open - longest + 1;
    for (; call.at <= open; ++call.at) {
      call.k = functions.FindFunctionCallAt(text, call.at);
      if (call.k >= 0) return call;
    }
  }
}

// Every call in `text`, from the left: a user function is expanded textually into "(" +
// its body with the argument (brackets included) in place of every "#" + ")", and the
// search starts again from there, so the calls in the body are found in turn; a built-in
// call is replaced by what the path makes of it. `path` provides
//   Reading Builtin(int k, std::string_view argument, std::string& replacement)
//   void Replaced(std::string_view done, std::string_view rest)  // after each replacement
template <class Path>
Reading ReplaceCalls(std::string& text, const FunctionTable& functions, const EvalBounds& bounds,
                     ExpansionSpent& spent, Path& path) {
  if (text.find('(') == std::string::npos) return Reading::Done;
  const std::size_t longest = functions.MaxPatternLength();
  std::string done;
  done.reserve(text.size());
  PendingText pending{std::move(text), 0};
  std::size_t refused_at = std::string::npos;
  for (;;) {
    const std::string& buf = pending.buf;
    const CallAt call = FindNextCall(functions, buf, pending.pos);
    if (call.k < 0) break;
    const std::size_t at = call.at;
    done.append(buf, pending.pos, at - pending.pos);
    const std::size_t open = at + functions.CallPattern(call.k).size() - 1;
    const std::size_t end = MatchEnd(buf, open);
    const std::string_view argument(buf.data() + open, end - open);
    std::string replacement;
    if (call.k >= kFirstUserFunction) {
      const std::string& body = functions.Term(call.k);
      const auto hashes = static_cast<std::size_t>(std::count(body.begin(), body.end(), '#'));
      // Counted before it is made, so no single expansion can ask for a huge block.
      spent.text += body.size() - hashes + hashes * argument.size() + 2;
      const std::size_t size = done.size() + (buf.size() - at);
      if ((functions.ReachesItself(call.k) && ++spent.expansions > bounds.expansions) ||
          size > bounds.working_text || spent.text > bounds.expansion_text) {
        refused_at = at;
        break;
      }
      replacement = "(";
      replacement += SubstituteArgument(body, argument);
      replacement += ')';
    } else {
      const Reading step = path.Builtin(call.k, argument, replacement);
      if (step == Reading::Stopped) return step;
      if (step == Reading::Refused) {
        refused_at = at;
        break;
      }
    }
    // A name ending inside the replacement may start a little before it: search again
    // from there (the text before that cannot have changed its answer).
    const std::size_t back = std::min(done.size(), longest - 1);
    const std::string tail = done.substr(done.size() - back);
    done.resize(done.size() - back);
    pending.PutInFront(tail, replacement, end);
    path.Replaced(done, pending.Rest());
  }
  // Refused: the text as it stood when the guard spoke, for the error text.
  const bool refused = refused_at != std::string::npos;
  done.append(pending.buf, refused ? refused_at : pending.pos, std::string::npos);
  text = std::move(done);
  return refused ? Reading::Refused : Reading::Done;
}

// Every bracket group of `text`, from the left, replaced by its value. Values hold no
// "(", so working from left to right is the same as always taking the first "(". A
// group without its ")" runs to the end of the text. `path` provides
//   bool Group(std::string_view inner, bool closed, std::string& out)  // appends; false stops
//   void Replaced(std::string_view done, std::string_view rest)  // after each group
template <class Path>
bool ReplaceGroups(std::string& text, Path& path) {
  std::size_t open = text.find('(');
  if (open == std::string::npos) return true;
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  for (; open != std::string::npos; open = text.find('(', pos)) {
    out.append(text, pos, open - pos);
    const std::size_t match = MatchingClose(text, open);
    const bool closed = match != std::string::npos;
    const std::size_t close = closed ? match : text.size();
    if (!path.Group(std::string_view(text).substr(open + 1, close - open - 1), closed, out)) {
      return false;
    }
    pos = std::min(close + 1, text.size());
    path.Replaced(out, std::string_view(text).substr(pos));
  }
  out.append(text, pos, std::string::npos);
  text = std::move(out);
  return true;
}

// Where a term splits into its comparison: the largest of the first occurrences of "~",
// "#", ">", "=" and "<". The right side of a split splits again by the same rule; the
// start only moves forward, so all splits of a chain read the text once per character.
class ComparisonFinder {
 public:
  explicit ComparisonFinder(std::string_view text) : text_(text) {
    if (text.size() > 64) {
      for (std::size_t i = 0; i < kChars.size(); ++i) next_[i] = text_.find(kChars[i]);
      return;
    }
    // Short texts, the usual case: one pass instead of five searches.
    next_.fill(std::string_view::npos);
    for (std::size_t p = text.size(); p-- > 0;) {
      const std::size_t i = Slot(text[p]);
      if (i < kChars.size()) next_[i] = p;
    }
  }
  // The largest of the first occurrences at or after `from`, or npos.
  std::size_t Split(std::size_t from) {
    std::size_t split = std::string_view::npos;
    for (std::size_t i = 0; i < kChars.size(); ++i) {
      if (next_[i] != std::string_view::npos && next_[i] < from) {
        next_[i] = text_.find(kChars[i], from);
      }
      if (next_[i] != std::string_view::npos &&
          (split == std::string_view::npos || next_[i] > split)) {
        split = next_[i];
      }
    }
    return split;
  }

 private:
  static constexpr std::array<char, 5> kChars = {'~', '#', '>', '=', '<'};
  // The place of a comparison character in kChars; 5 for any other character.
  static std::size_t Slot(char c) {
    switch (c) {
      case '~':
        return 0;
      case '#':
        return 1;
      case '>':
        return 2;
      case '=':
        return 3;
      case '<':
        return 4;
      default:
        return 5;
    }
  }
  std::string_view text_;
  std::array<std::size_t, 5> next_{};
};

// A bracket-free term is scanned with its sign in front: "+" where it has none.
inline void PutLeadingSign(std::string& text) {
  if (text.empty() || (text[0] != '-' && text[0] != '+')) text.insert(0, 1, '+');
}

// The operand scan of a bracket-free term that starts with its sign. Each operand's kind
// is told to `list`, which makes its value (type List::Value):
//   Value Empty(double sign)          an empty operand: 0 ("2*" is 0, "2+" is 2)
//   int Find(std::string_view name)   the variable an operand beginning with a letter
//                                     a..z names (the whole operand), or -1
//   Value Variable(double sign, int j)
//   bool Other(double sign, std::string_view operand, Value& value)  false: no number
//   std::size_t Count() const
//   void Add(char op, const Value& value, std::string_view operand)
// Returns "" or the error text of the first operand that fails.
template <class List>
std::string ScanOperands(std::string_view w, List& list) {
  const std::size_t n = w.size();
  for (std::size_t i = 0; i < n;) {
    const char op = w[i];
    // After a bracketed pair the next character must be an operator; anything else
    // would silently drop the rest of the term.
    if (list.Count() > 0 && !IsOperatorChar(op)) return WrappedError(ErrorCode::Syntax, w);
    ++i;
    double sign = 1.0;
    const std::size_t c = ScanOperand(w, i, sign);
    const std::string_view operand = w.substr(i, c - i);
    typename List::Value value{};
    if (operand.empty()) {
      value = list.Empty(sign);
    } else if (operand[0] >= 'a' && operand[0] <= 'z') {
      const int j = list.Find(operand);
      if (j < 0) {
        std::string out = ErrorText(ErrorCode::UnknownFunction);
        out += operand;
        out += " !";
        return out;
      }
      value = list.Variable(sign, j);
    } else if (!list.Other(sign, operand, value)) {
      return WrappedError(ErrorCode::Syntax, operand);
    }
    if (list.Count() == kMaxOperandEntries) return WrappedError(ErrorCode::Syntax, w);
    list.Add(op, value, operand);
    i = c;
  }
  return {};
}

}  // namespace ombrix
