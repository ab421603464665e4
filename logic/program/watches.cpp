#include "logic/program/watches.h"

#include <algorithm>
#include <utility>

#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"
#include "logic/evaluator/evaluate.h"
#include "logic/program/same_bits.h"

namespace ombrix {

namespace {

// Every box an evaluation would open is kept instead; the first one is what a watch shows.
class CapturedBoxes final : public MessageBoxes {
 public:
  void Show(MessageKind, const std::string& text, const std::string&) override {
    if (!shown) first = text;
    shown = true;
  }
  bool Confirm(const std::string& text) override {
    Show(MessageKind::Plain, text, {});
    return false;
  }
  bool shown = false;
  std::string first;
};

// A value's display form as it shows under `separator` (0: the current one). Digits,
// signs, exponents and "*i" do not change with it; only the separator does.
std::string ShownUnder(std::string text, char separator) {
  if (separator == 0 || separator == DecimalSeparator()) return text;
  for (char& c : text) {
    if (c == ',' || c == '.') c = c == ',' ? '.' : ',';
  }
  return text;
}

}  // namespace

void VariableValues::Take(const VariableTable& variables) {
  count = std::clamp(variables.LastVariable() + 1, 0, kTableCapacity);
  for (int j = 0; j < count; ++j) value[static_cast<std::size_t>(j)] = variables.CurrentValue(j);
}

void VariableValues::ChangedSince(const VariableTable& variables, std::vector<int>& changed) const {
  changed.clear();
  for (int j = 0; j < count; ++j) {
    if (!SameBits(value[static_cast<std::size_t>(j)], variables.CurrentValue(j))) {
      changed.push_back(j);
    }
  }
}

std::vector<std::string> RewritingOf(std::string_view term, const ProjectContent& project,
                                     const DrawingState& drawing, Interrupt* interrupt) {
  CapturedBoxes boxes;
  const EvalContext context{project.functions,   project.variables, drawing,  boxes,
                            kPowerProductBudget, nullptr,           interrupt};
  std::vector<std::string> texts;
  try {
    ExplainTerm(term, context, texts);
  } catch (const Fault& fault) {
    texts.push_back(FaultDisplayText(fault.what()));
  } catch (const Interrupted&) {
    texts.emplace_back(kEvaluationAbandoned);
  }
  return texts;
}

bool WatchList::InputsChanged() {
  const VariableTable& variables = project_.variables;
  Inputs& in = inputs_;
  const int count = std::clamp(variables.LastVariable() + 1, 0, kTableCapacity);
  bool same = in.known && in.values.count == count && in.names == variables.NamesVersion() &&
              in.functions == project_.functions.Version() &&
              SameBits(in.scale, drawing_.Scale()) &&
              SameBits(in.mouse, drawing_.MousePosition()) && in.width == drawing_.Width() &&
              in.height == drawing_.Height() && in.separator == DecimalSeparator();
  for (int j = 0; same && j < count; ++j) {
    same = SameBits(in.values.value[static_cast<std::size_t>(j)], variables.CurrentValue(j));
  }
  if (same) return false;
  in.known = true;
  in.values.Take(variables);
  in.names = variables.NamesVersion();
  in.functions = project_.functions.Version();
  in.scale = drawing_.Scale();
  in.mouse = drawing_.MousePosition();
  in.width = drawing_.Width();
  in.height = drawing_.Height();
  in.separator = DecimalSeparator();
  return true;
}

std::string WatchList::Text(std::string_view term) const {
  CapturedBoxes boxes;
  const EvalContext context{
      project_.functions, project_.variables, drawing_, boxes, kPowerProductBudget, &plans_,
      interrupt_};
  std::string text;
  try {
    text = EvaluateForDisplay(term, context);
  } catch (const Fault& fault) {
    text = FaultDisplayText(fault.what());
  } catch (const Interrupted&) {
    return kEvaluationAbandoned;
  }
  if (boxes.shown) return boxes.first;
  return text;
}

// After a step: each watch goes through its plan, and its text is made again only from a
// value or error that differs from the one it was made from. A box or a fault takes the
// whole way of Text. The texts are the same as Text's, step for step.
bool WatchList::Changed(std::size_t index) {
  Watch& watch = watches_[index];
  LastValue& last = last_[index];
  CapturedBoxes boxes;
  const EvalContext context{
      project_.functions, project_.variables, drawing_, boxes, kPowerProductBudget, &plans_,
      interrupt_};
  TermValue value;
  bool plain = true;
  try {
    value = EvaluateTermValue(watch.term, context, &last.plan);
  } catch (const Fault&) {
    plain = false;
  } catch (const Interrupted&) {
    plain = false;
  }
  std::string text;
  bool value_text = false;
  if (!plain || boxes.shown) {
    last.known = false;
    text = Text(watch.term);
  } else if (last.known && value.error == last.error && SameBits(value.value, last.value) &&
             last.separator == DecimalSeparator()) {
    return false;
  } else {
    // A pair text shows as its value's display form; "1" and "0" read back as 1 and 0.
    value_text = value.error.empty();
    text = value_text ? ComplexToText(value.value) : DisplayOfResult(value.error);
    last.known = true;
    last.error = std::move(value.error);
    last.value = value.value;
    last.separator = DecimalSeparator();
  }
  // Compared as it would have shown when the last text was made: a new decimal separator
  // (the system's settings changed) alone does not stop a run.
  const bool changed = (value_text ? ShownUnder(text, last.shown_separator) : text) != watch.text;
  last.shown_separator = DecimalSeparator();
  watch.text = std::move(text);
  return changed;
}

// Nothing is evaluated while nothing a term can read has changed.
void WatchList::Evaluate() {
  const bool inputs_changed = InputsChanged();
  for (std::size_t i = 0; i < watches_.size(); ++i) {
    Watch& watch = watches_[i];
    watch.changed = inputs_changed && Changed(i);
    if (watch.changed && watch.stop_on_change) stop_ = true;
  }
}

void WatchList::TextSet(std::size_t index) {
  last_.resize(watches_.size());
  last_[index].known = false;
  last_[index].shown_separator = DecimalSeparator();
  inputs_.known = false;
}

int WatchList::Add(std::string term, bool stop_on_change) {
  Watch watch{std::move(term), stop_on_change, {}, false};
  watch.text = Text(watch.term);
  watches_.push_back(std::move(watch));
  TextSet(watches_.size() - 1);
  return static_cast<int>(watches_.size()) - 1;
}

void WatchList::Remove(int index) {
  if (index >= 0 && static_cast<std::size_t>(index) < watches_.size()) {
    watches_.erase(watches_.begin() + index);
    last_.erase(last_.begin() + index);
  }
}

void WatchList::SetTerm(int index, std::string term) {
  if (index < 0 || static_cast<std::size_t>(index) >= watches_.size()) return;
  Watch& watch = watches_[static_cast<std::size_t>(index)];
  watch.term = std::move(term);
  watch.text = Text(watch.term);
  watch.changed = false;
  TextSet(static_cast<std::size_t>(index));
}

void WatchList::SetStopOnChange(int index, bool on) {
  if (index >= 0 && static_cast<std::size_t>(index) < watches_.size()) {
    watches_[static_cast<std::size_t>(index)].stop_on_change = on;
  }
}

bool WatchList::AnyStopsOnChange() const {
  return std::any_of(watches_.begin(), watches_.end(),
                     [](const Watch& watch) { return watch.stop_on_change; });
}

void WatchList::Refresh() {
  for (std::size_t i = 0; i < watches_.size(); ++i) {
    watches_[i].text = Text(watches_[i].term);
    watches_[i].changed = false;
    TextSet(i);
  }
}

}  // namespace ombrix
