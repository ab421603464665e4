// What the steps of a line keep between them, by the line's index and with its text: a
// step compares the text instead of reading it again, and a changed line is read afresh.
// Only with plans: without, every step reads its line from the text, the rule the cache
// must agree with.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "logic/evaluator/plan.h"
#include "logic/program/line_syntax.h"
#include "logic/program/program_text.h"

namespace ombrix {

// One line's slot. The terms are the right-hand side of an assignment, or the arguments a
// step reads from the first "(" on, each with the plan of its text.
struct LineSlot {
  static constexpr int kMaxArguments = kMaxLineArguments;
  struct Term {
    std::uint32_t start = 0;
    std::uint32_t end = 0;  // the ";" or ")" that ends an argument; the line's end
    PlanHandle plan;
  };
  // What `skip` names: none yet, a SkipToClosing of a kind, or SkipToElseOrEnd.
  static constexpr std::int8_t kNoSkip = -1;
  static constexpr std::int8_t kElseOrEnd = kKeywordCount;

  std::string text;
  // The texts of a program do not change while its steps run: a slot compared with its
  // line once in a call that runs steps holds for the rest of that call.
  std::uint64_t checked = 0;
  LineForm form;
  std::array<Term, kMaxArguments> terms{};
  std::uint8_t argument_count = 0;  // arguments that end before the line does
  bool known = false;
  bool variable_known = false;
  // The skip this line made last, where it ended and what SkipToElseOrEnd answered. It
  // holds while the lines passed over keep the texts their slots were read from.
  std::int8_t skip = kNoSkip;
  std::int8_t skip_answer = 0;
  std::int32_t skip_target = 0;
  // The last fill of any slot when the skip was found: a slot between read afresh since
  // (by another skip's walk, say) may hold a line the skip did not see.
  std::uint64_t skip_fills = 0;
  // The variable an assignment stores to or a "Für" counts with, found for this
  // version of the variable names (-1: none of that name).
  std::int32_t variable = -1;
  std::uint64_t names_version = 0;
  // Which reading of a line this is: every fill of a slot gets a number of its own, so
  // what was compiled from a slot's reading can tell when the slot was read afresh.
  std::uint64_t fill = 0;
};

// Equal texts, compared here rather than by a library call: every step compares its line
// with its slot, and most lines are short.
[[gnu::always_inline]] inline bool SameText(std::string_view a, std::string_view b) {
  const std::size_t n = a.size();
  if (n != b.size()) return false;
  const auto word = [](const char* p) {
    std::uint64_t w = 0;
    std::memcpy(&w, p, sizeof w);
    return w;
  };
  if (n < 8) {
    if (n >= 4) {  // the first four and the last four, overlapping
      const auto half = [](const char* p) {
        std::uint32_t w = 0;
        std::memcpy(&w, p, sizeof w);
        return w;
      };
      return half(a.data()) == half(b.data()) && half(a.data() + n - 4) == half(b.data() + n - 4);
    }
    for (std::size_t i = 0; i < n; ++i) {
      if (a[i] != b[i]) return false;
    }
    return true;
  }
  for (std::size_t i = 0; i + 8 < n; i += 8) {
    if (word(a.data() + i) != word(b.data() + i)) return false;
  }
  return word(a.data() + n - 8) == word(b.data() + n - 8);  // the last eight, overlapping
}

// The slots of both programs: every line of a program has one, by index, while the cache
// is on. The slots follow the program's length at the start of each step, so a step's own
// slot stays where it is while the step skips over other lines.
class LineCache {
 public:
  explicit LineCache(const std::array<ProgramText, 2>& programs) : programs_(programs) {}

  void Enable(bool on) { on_ = on; }
  bool Enabled() const { return on_; }
  // A call that runs steps begins: a slot is compared with its line once in it.
  void NewCall() { ++epoch_; }
  std::uint64_t Epoch() const { return epoch_; }

  // The slots of program k, one for every line, or none while off. They stay where they
  // are while steps run: the program's texts do not change meanwhile.
  LineSlot* Fitted(int k) {
    if (!on_) return nullptr;
    std::vector<LineSlot>& program_slots = slots_[k];  // "slots" is a word Qt takes
    if (program_slots.size() != programs_[k].size()) [[unlikely]]
      Fit(k);
    return program_slots.data();
  }
  // The slot compared with its line in this call.
  void Check(LineSlot& slot, const std::string& line) {
    if (slot.checked != epoch_) [[unlikely]]
      Refresh(slot, line);
  }
  // The slot of line n of program k, read afresh when its text changed; none while off or
  // for a line that does not exist.
  LineSlot* At(int k, std::int32_t n);
  // The form of line n of program k, from its slot when it has one.
  LineForm FormAt(int k, std::int32_t n);
  // The same without filling a slot; a default form for a line that does not exist.
  LineForm FormOf(int k, std::int32_t n) const;
  // Whether lines from + 1 to `to` still hold the texts their slots held when fill number
  // `fills` was the last.
  bool Unchanged(int k, std::int32_t from, std::int32_t to, std::uint64_t fills);
  // The number of the last fill.
  std::uint64_t Fills() const { return fills_; }
  // The plan of a "Solange" condition opened at `start_line`: that line's slot keeps the
  // plan of its condition's text, and a handle belongs to its text alone, so the line need
  // not be the same still. None where the slot holds another text.
  PlanHandle* ConditionPlan(int k, std::int32_t start_line, std::string_view condition);

 private:
  [[gnu::noinline]] void Fit(int k);
  [[gnu::noinline]] void Refresh(LineSlot& slot, const std::string& line);
  [[gnu::noinline]] void Fill(LineSlot& slot, const std::string& line);

  const std::array<ProgramText, 2>& programs_;
  std::array<std::vector<LineSlot>, 2> slots_;
  std::uint64_t epoch_ = 0;  // raised at every call that runs steps; 0 is never current
  std::uint64_t fills_ = 0;  // the number of the last fill; 0 is no slot's
  bool on_ = true;
};

}  // namespace ombrix
