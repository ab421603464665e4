// Watched terms: evaluated after every step of a watched run against the current tables,
// each showing its value's display form, its error's message or the text of the box its
// evaluation would have opened, and telling when that text changed. Terms go through
// plans of their own, and nothing is evaluated while nothing a term can read has changed.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "logic/complex/interrupt.h"
#include "logic/evaluator/plan.h"
#include "logic/program/drawing_state.h"
#include "logic/program/project_content.h"

namespace ombrix {

// What a watched term or a rewriting shows when its evaluation was abandoned.
inline constexpr const char* kEvaluationAbandoned = "Die Auswertung wurde abgebrochen.";

struct Watch {
  std::string term;
  bool stop_on_change = false;
  // The display form of the value after the last step, the error's message, or the text
  // of the box the evaluation would have opened.
  std::string text;
  bool changed = false;  // the last step changed `text`
};

// The current values of the variables in use (a run writes no other).
struct VariableValues {
  std::array<TComplex, kTableCapacity> value{};
  int count = 0;

  void Take(const VariableTable& variables);
  // The indices whose value now differs from these, in order.
  void ChangedSince(const VariableTable& variables, std::vector<int>& changed) const;
};

// A term's rewriting for the current tables: the working texts in order. `interrupt` (none:
// the term runs to its end) may abandon it inside a long power.
std::vector<std::string> RewritingOf(std::string_view term, const ProjectContent& project,
                                     const DrawingState& drawing, Interrupt* interrupt = nullptr);

class WatchList {
 public:
  WatchList(const ProjectContent& project, const DrawingState& drawing)
      : project_(project), drawing_(drawing) {}

  int Add(std::string term, bool stop_on_change);  // its index
  void Remove(int index);
  void SetTerm(int index, std::string term);
  void SetStopOnChange(int index, bool on);
  const std::vector<Watch>& Items() const { return watches_; }
  bool Empty() const { return watches_.empty(); }
  bool AnyStopsOnChange() const;
  // Evaluates every watch now (changed marks are cleared).
  void Refresh();
  // After a step: every watch's text again, `changed` where it differs.
  void AfterStep() {
    stop_ = false;
    if (!watches_.empty()) Evaluate();
  }
  // The last AfterStep changed a watch marked "stop on change".
  bool StopWanted() const { return stop_; }
  // Asked inside long powers, which it may abandon (the text is then kEvaluationAbandoned);
  // none: every term runs to its end.
  void SetInterrupt(Interrupt* interrupt) { interrupt_ = interrupt; }
  Interrupt* CurrentInterrupt() const { return interrupt_; }

 private:
  void Evaluate();
  // The text a term shows, by the whole way of the text path.
  std::string Text(std::string_view term) const;
  bool Changed(std::size_t index);
  // A text made by Text: the next step compares with it afresh.
  void TextSet(std::size_t index);
  bool InputsChanged();

  const ProjectContent& project_;
  const DrawingState& drawing_;
  std::vector<Watch> watches_;
  bool stop_ = false;
  Interrupt* interrupt_ = nullptr;
  mutable PlanCache plans_;  // watches are read through plans, as fast as the program's terms
  // Beside each watch (index for index): its plan, and the value or error its text was
  // made from, when it was made from one (not from a box or a fault).
  struct LastValue {
    PlanHandle plan;
    bool known = false;
    std::string error;
    TComplex value{};
    char separator = 0;
    char shown_separator = 0;  // the one the watch's text was made under
  };
  std::vector<LastValue> last_;
  // Everything a term's value can depend on, as it was when the watches were last
  // evaluated: while none of it changes, neither does any watch.
  struct Inputs {
    bool known = false;
    VariableValues values{};
    std::uint64_t names = 0;
    std::uint64_t functions = 0;
    PlaneScale scale{};
    TComplex mouse{};
    int width = 0, height = 0;
    char separator = 0;
  } inputs_;
};

}  // namespace ombrix
