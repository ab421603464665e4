#include "logic/program/run_debug.h"

#include <algorithm>
#include <array>
#include <bit>
#include <deque>
#include <utility>

#include "logic/complex/fault.h"
#include "logic/evaluator/evaluate.h"
#include "logic/evaluator/plan.h"

namespace ombrix {

namespace {

// Values are compared by their bits: a step back restores them to the last bit.
bool SameBits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

bool SameBits(TComplex a, TComplex b) { return SameBits(a.Re, b.Re) && SameBits(a.Im, b.Im); }

bool SameRecord(const BlockRecord& a, const BlockRecord& b) {
  return a.kind == b.kind && a.start_line == b.start_line && a.variable_index == b.variable_index &&
         a.remaining_count == b.remaining_count && a.condition == b.condition &&
         SameBits(a.end_value, b.end_value) && SameBits(a.step, b.step);
}

bool SameStack(const std::vector<BlockRecord>& a, const std::vector<BlockRecord>& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), SameRecord);
}

// The current values of the variables in use (a run writes no other).
struct Values {
  std::array<TComplex, kTableCapacity> value{};
  int count = 0;
};

void TakeValues(const VariableTable& variables, Values& values) {
  values.count = std::clamp(variables.LastVariable() + 1, 0, kTableCapacity);
  for (int j = 0; j < values.count; ++j) {
    values.value[static_cast<std::size_t>(j)] = variables.CurrentValue(j);
  }
}

// The indices whose value differs from `before`, in order.
void ChangedSince(const VariableTable& variables, const Values& before, std::vector<int>& changed) {
  changed.clear();
  for (int j = 0; j < before.count; ++j) {
    if (!SameBits(before.value[static_cast<std::size_t>(j)], variables.CurrentValue(j))) {
      changed.push_back(j);
    }
  }
}

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

struct Scale {
  double re_min, re_max, im_min, im_max;
};

// Read without the virtual calls: this runs twice for every step the history keeps.
Scale ScaleOf(const DrawingState& drawing) {
  return {drawing.DrawingState::ReMin(), drawing.DrawingState::ReMax(),
          drawing.DrawingState::ImMin(), drawing.DrawingState::ImMax()};
}

bool SameScale(const Scale& a, const Scale& b) {
  return SameBits(a.re_min, b.re_min) && SameBits(a.re_max, b.re_max) &&
         SameBits(a.im_min, b.im_min) && SameBits(a.im_max, b.im_max);
}

}  // namespace

// --- HistoryCanvas ---

void HistoryCanvas::SetPixel(int x, int y, Colour colour) {
  if (log_ != nullptr && x >= 0 && y >= 0 && x < picture_.Width() && y < picture_.Height()) {
    const Colour old = picture_.Pixel(x, y);
    if (old != (colour & 0xFFFFFFu)) {
      Log(static_cast<std::uint32_t>(y) * static_cast<std::uint32_t>(picture_.Width()) +
              static_cast<std::uint32_t>(x),
          old);
    }
  }
  picture_.SetPixel(x, y, colour);
}

void HistoryCanvas::MoveTo(int x, int y) {
  pen_x_ = x;
  pen_y_ = y;
  picture_.MoveTo(x, y);
}

// A line stays within the rectangle of its two ends.
void HistoryCanvas::LineTo(int x, int y) {
  if (log_ != nullptr) {
    Before(std::min(pen_x_, x), std::min(pen_y_, y), std::int64_t{std::max(pen_x_, x)} + 1,
           std::int64_t{std::max(pen_y_, y)} + 1);
  }
  pen_x_ = x;
  pen_y_ = y;
  picture_.LineTo(x, y);
  if (log_ != nullptr) After();
}

void HistoryCanvas::FillRect(int left, int top, int right, int bottom) {
  if (log_ != nullptr) Before(left, top, right, bottom);
  picture_.FillRect(left, top, right, bottom);
  if (log_ != nullptr) After();
}

void HistoryCanvas::Ellipse(int left, int top, int right, int bottom) {
  if (log_ != nullptr) Before(left, top, right, bottom);
  picture_.Ellipse(left, top, right, bottom);
  if (log_ != nullptr) After();
}

void HistoryCanvas::Log(std::uint32_t index, Colour old) {
  if (log_->size() >= max_entries_) {
    overflowed_ = true;
    return;
  }
  log_->push_back({index, old});
}

void HistoryCanvas::Before(std::int64_t left, std::int64_t top, std::int64_t right,
                           std::int64_t bottom) {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  const std::int64_t width = picture_.Width(), height = picture_.Height();
  region_.left = static_cast<int>(std::clamp<std::int64_t>(left, 0, width));
  region_.right = static_cast<int>(std::clamp<std::int64_t>(right, 0, width));
  region_.top = static_cast<int>(std::clamp<std::int64_t>(top, 0, height));
  region_.bottom = static_cast<int>(std::clamp<std::int64_t>(bottom, 0, height));
  region_.colours.clear();
  for (int y = region_.top; y < region_.bottom; ++y) {
    for (int x = region_.left; x < region_.right; ++x)
      region_.colours.push_back(picture_.Pixel(x, y));
  }
}

void HistoryCanvas::After() {
  const auto width = static_cast<std::uint32_t>(picture_.Width());
  std::size_t i = 0;
  for (int y = region_.top; y < region_.bottom; ++y) {
    for (int x = region_.left; x < region_.right; ++x, ++i) {
      const Colour old = region_.colours[i];
      if (picture_.Pixel(x, y) != old) {
        Log(static_cast<std::uint32_t>(y) * width + static_cast<std::uint32_t>(x), old);
      }
    }
  }
}

// --- The history: one undo record per step ---

struct RunDebugger::Impl final : StepObserver {
  explicit Impl(RunDebugger& owner) : debugger(owner) {}

  // One step of the history. What it changed lies in the logs below, each in the order
  // of the steps: a step owns the last `values`, `pixels`, `records` and `scale` entries
  // when it is the newest, the first ones when it is the oldest.
  struct Step {
    std::array<std::int32_t, 2> line{};
    std::array<std::int32_t, 2> cursor{};
    std::array<std::size_t, 2> block_bytes{};
    std::size_t stack_size = 0;  // of `slot`, before the step
    std::size_t bytes = 0;       // what the step takes, its log entries included
    std::uint32_t values = 0;
    std::uint32_t pixels = 0;
    std::uint32_t records = 0;
    std::int8_t slot = MainProgram;
    bool mouse = false;        // a mouse-click run, not a main-program step
    bool whole_stack = false;  // the records are the whole stack of `slot` before
    bool scale = false;        // the step changed the scale; the old one is logged
  };

  void BeforeStep(int k) override;

  RunDebugger& debugger;
  std::deque<Step> steps;
  std::deque<std::pair<int, TComplex>> values;  // old values
  std::deque<HistoryCanvas::PixelChange> pixels;
  std::deque<BlockRecord> records;
  std::deque<Scale> scales;
  std::size_t bytes = 0;
  std::size_t limit = kDefaultHistoryBytes;
  bool lost = false;  // older steps fell away
  int width = 0, height = 0;
  Values before{};  // the values before the step being run
  // The step being run: kept in buffers that keep their room from step to step.
  Step pending;
  Scale pending_scale{};
  std::vector<HistoryCanvas::PixelChange> pending_pixels;
  std::vector<BlockRecord> pending_records;  // the top record before, or the whole stack
  bool pending_unkeepable = false;
  bool recording = false;
  PlanCache watch_plans;  // watches are read through plans, as fast as the program's terms
  LineListener listener;
  Values listened{};  // the values at the listener's last line
  std::vector<int> listened_changed;
  LineForms forms;
  Clock clock = &std::chrono::steady_clock::now;
  std::chrono::steady_clock::time_point next_due{};
  std::int64_t run_id = -1;  // the RunControl start this debugger has seen
  bool watch_stop = false;   // a watched term marked "stop on change" changed
};

void RunDebugger::Impl::BeforeStep(int k) {
  if (!listener) return;
  ChangedSince(debugger.project_.variables, listened, listened_changed);
  TakeValues(debugger.project_.variables, listened);
  const std::int32_t line = debugger.state_.CurrentLine[k];
  const LineEvent event{
      {k, line}, listened_changed, k == MainProgram && debugger.HasBreakpoint(line)};
  listener(event);
}

RunDebugger::RunDebugger(RunControl& control, Interpreter& interpreter, ProjectContent& project,
                         DrawingState& drawing, InterpreterState& state, HistoryCanvas& canvas)
    : control_(control),
      interpreter_(interpreter),
      project_(project),
      drawing_(drawing),
      state_(state),
      canvas_(&canvas),
      impl_(std::make_unique<Impl>(*this)) {
  impl_->run_id = control_.Starts();
  ForgetHistory();
}

RunDebugger::RunDebugger(RunControl& control, Interpreter& interpreter, ProjectContent& project,
                         DrawingState& drawing, InterpreterState& state)
    : control_(control),
      interpreter_(interpreter),
      project_(project),
      drawing_(drawing),
      state_(state),
      canvas_(nullptr),
      impl_(std::make_unique<Impl>(*this)) {
  impl_->run_id = control_.Starts();
}

RunDebugger::~RunDebugger() {
  if (impl_->listener) interpreter_.SetStepObserver(nullptr);
  if (canvas_ != nullptr) canvas_->Record(nullptr);
}

// A run started through RunControl itself is a new run all the same: nothing of the
// last run's pause or history carries over.
void RunDebugger::Sync() {
  if (impl_->run_id == control_.Starts()) return;
  impl_->run_id = control_.Starts();
  paused_ = false;
  skip_breakpoint_ = false;
  last_pause_ = PauseReason::None;
  changed_.clear();
  last_line_.reset();
  steps_ = 0;
  ForgetHistory();
  impl_->next_due = {};
  RefreshWatches();
  TakeValues(project_.variables, impl_->listened);  // the first line follows no line
}

DebugState RunDebugger::State() const {
  if (!control_.MainRunning()) return DebugState::Stopped;
  if (impl_->run_id != control_.Starts()) return DebugState::Running;
  return paused_ ? DebugState::Paused : DebugState::Running;
}

void RunDebugger::Start() {
  control_.Start();
  Sync();
}

void RunDebugger::PauseFor(PauseReason reason) {
  paused_ = true;
  skip_breakpoint_ = true;
  last_pause_ = reason;
}

void RunDebugger::Pause() {
  Sync();
  if (control_.MainRunning()) PauseFor(PauseReason::Requested);
}

void RunDebugger::Continue() {
  Sync();
  paused_ = false;
}

bool RunDebugger::Idle() const {
  return breakpoints_.empty() && watches_.empty() && !HistoryEnabled() && tempo_ == 0;
}

RunOutcome RunDebugger::OneStep() {
  const bool record = HistoryEnabled();
  if (record) BeginRecord(MainProgram, false);
  TakeValues(project_.variables, impl_->before);
  last_line_ = ProgramLine{MainProgram, state_.CurrentLine[MainProgram]};
  const RunOutcome outcome = control_.StepMain({1, std::nullopt});
  if (canvas_ != nullptr) canvas_->Record(nullptr);
  ChangedSince(project_.variables, impl_->before, changed_);
  ++steps_;
  if (record) EndRecord(outcome != RunOutcome::Failed);
  EvaluateWatches();
  return outcome;
}

RunOutcome RunDebugger::SingleStep() {
  Sync();
  if (!control_.MainRunning()) {
    Start();
    PauseFor(PauseReason::SingleStep);
    return control_.MainAtEnd() ? RunOutcome::Ended : RunOutcome::Running;
  }
  if (control_.MainAtEnd()) return RunOutcome::Ended;
  const RunOutcome outcome = OneStep();
  if (outcome == RunOutcome::Failed) return outcome;
  if (control_.MainRunning()) PauseFor(PauseReason::SingleStep);
  return outcome;
}

RunOutcome RunDebugger::Slice(StepBudget budget) {
  Sync();
  if (!control_.MainRunning() || paused_) return RunOutcome::Running;
  if (Idle()) {
    const std::int64_t before = control_.LinesRun();
    const RunOutcome outcome = control_.StepMain(budget);
    steps_ += control_.LinesRun() - before;
    return outcome;
  }
  const auto start = budget.time ? impl_->clock() : std::chrono::steady_clock::time_point{};
  std::int64_t lines = 0;
  while (control_.MainRunning()) {
    if (control_.MainAtEnd()) return RunOutcome::Ended;
    const std::int32_t line = state_.CurrentLine[MainProgram];
    if (!skip_breakpoint_ && HasBreakpoint(line)) {
      PauseFor(PauseReason::Breakpoint);
      break;
    }
    if (tempo_ > 0) {
      const auto now = impl_->clock();
      if (now < impl_->next_due) break;
      impl_->next_due = now + std::chrono::nanoseconds(1000000000 / tempo_);
    }
    skip_breakpoint_ = false;
    const RunOutcome outcome = OneStep();
    if (outcome == RunOutcome::Failed) return outcome;
    ++lines;
    if (impl_->watch_stop && control_.MainRunning()) {
      PauseFor(PauseReason::WatchChanged);
      break;
    }
    if (budget.lines > 0 && lines >= budget.lines) break;
    if (budget.time && impl_->clock() - start >= *budget.time) break;
  }
  return RunOutcome::Running;
}

RunOutcome RunDebugger::RunMouseProgram() {
  Sync();
  const bool record = HistoryEnabled() && control_.MainRunning();
  if (record) BeginRecord(MouseHandlerProgram, true);
  TakeValues(project_.variables, impl_->before);
  const RunOutcome outcome = control_.RunMouseProgram();
  if (canvas_ != nullptr) canvas_->Record(nullptr);
  ChangedSince(project_.variables, impl_->before, changed_);
  if (record) EndRecord(outcome != RunOutcome::Failed);
  EvaluateWatches();
  if (impl_->watch_stop && control_.MainRunning()) PauseFor(PauseReason::WatchChanged);
  return outcome;
}

// --- Breakpoints ---

void RunDebugger::SetBreakpoint(std::int32_t line, bool on) {
  if (line < 0) return;
  if (on) {
    breakpoints_.insert(line);
  } else {
    breakpoints_.erase(line);
  }
}

void RunDebugger::ToggleBreakpoint(std::int32_t line) { SetBreakpoint(line, !HasBreakpoint(line)); }

bool RunDebugger::HasBreakpoint(std::int32_t line) const {
  return !breakpoints_.empty() && breakpoints_.count(line) > 0;
}

std::vector<std::int32_t> RunDebugger::Breakpoints() const {
  const auto lines = static_cast<std::int64_t>(project_.programs[MainProgram].size());
  std::vector<std::int32_t> out;
  for (const std::int32_t line : breakpoints_) {
    if (line < lines) out.push_back(line);
  }
  return out;
}

// --- Step back ---

void RunDebugger::SetHistoryEnabled(bool on) {
  history_enabled_ = on;
  if (!on) ForgetHistory();
}

bool RunDebugger::HistoryEnabled() const {
  return history_enabled_ && canvas_ != nullptr && canvas_->CanReadBack();
}

void RunDebugger::SetHistoryLimit(std::size_t bytes) {
  impl_->limit = bytes;
  TrimHistory();
}

std::size_t RunDebugger::HistoryBytes() const { return impl_->bytes; }
std::size_t RunDebugger::HistorySteps() const { return impl_->steps.size(); }

void RunDebugger::ForgetHistory() {
  Impl& h = *impl_;
  h.steps.clear();
  h.values.clear();
  h.pixels.clear();
  h.records.clear();
  h.scales.clear();
  h.bytes = 0;
  h.lost = false;
  if (canvas_ != nullptr) {
    h.width = canvas_->Width();
    h.height = canvas_->Height();
  }
}

void RunDebugger::TrimHistory() {
  Impl& h = *impl_;
  while (h.bytes > h.limit && !h.steps.empty()) {
    const Impl::Step& oldest = h.steps.front();
    h.values.erase(h.values.begin(), h.values.begin() + oldest.values);
    h.pixels.erase(h.pixels.begin(), h.pixels.begin() + oldest.pixels);
    h.records.erase(h.records.begin(), h.records.begin() + oldest.records);
    if (oldest.scale) h.scales.pop_front();
    h.bytes -= std::min(h.bytes, oldest.bytes);
    h.steps.pop_front();
    h.lost = true;
  }
}

void RunDebugger::BeginRecord(int slot, bool whole_stack) {
  Impl& h = *impl_;
  if (canvas_->Width() != h.width || canvas_->Height() != h.height) ForgetHistory();
  Impl::Step& r = h.pending;
  r.line = state_.CurrentLine;
  r.cursor = state_.ArgumentCursor;
  r.block_bytes = state_.block_bytes;
  r.slot = static_cast<std::int8_t>(slot);
  r.mouse = whole_stack;
  r.whole_stack = whole_stack;
  const std::vector<BlockRecord>& stack = state_.BlockStack[static_cast<std::size_t>(slot)];
  r.stack_size = stack.size();
  // A stack larger than the whole history could not be kept anyway.
  h.pending_unkeepable =
      whole_stack && state_.block_bytes[static_cast<std::size_t>(slot)] > h.limit;
  if (whole_stack) {
    if (!h.pending_unkeepable) h.pending_records = stack;
  } else if (!stack.empty()) {
    // Assigned into a kept record, so its condition text keeps its room.
    h.pending_records.resize(1);
    h.pending_records.front() = stack.back();
  }
  h.pending_scale = ScaleOf(drawing_);
  h.pending_pixels.clear();
  canvas_->Record(&h.pending_pixels, h.limit / sizeof(HistoryCanvas::PixelChange));
  h.recording = true;
}

void RunDebugger::EndRecord(bool keep) {
  Impl& h = *impl_;
  h.recording = false;
  if (!keep) return;
  Impl::Step r = h.pending;
  const std::vector<BlockRecord>& stack = state_.BlockStack[static_cast<std::size_t>(r.slot)];
  const std::size_t n = r.stack_size;
  // Only a change one step can make is understood; any other, or a step too large for
  // the history, cannot be undone, and so neither can the steps before it.
  const bool understood = !h.pending_unkeepable && (r.whole_stack || stack.size() + 1 == n ||
                                                    stack.size() == n || stack.size() == n + 1);
  if (!understood || canvas_->Overflowed()) {
    ForgetHistory();
    h.lost = true;
    return;
  }
  r.bytes = sizeof(Impl::Step);
  r.values = static_cast<std::uint32_t>(changed_.size());
  for (const int j : changed_)
    h.values.emplace_back(j, h.before.value[static_cast<std::size_t>(j)]);
  r.bytes += changed_.size() * sizeof(h.values.front());
  r.pixels = static_cast<std::uint32_t>(h.pending_pixels.size());
  h.pixels.insert(h.pixels.end(), h.pending_pixels.begin(), h.pending_pixels.end());
  r.bytes += h.pending_pixels.size() * sizeof(HistoryCanvas::PixelChange);
  r.scale = !SameScale(h.pending_scale, ScaleOf(drawing_));
  if (r.scale) {
    h.scales.push_back(h.pending_scale);
    r.bytes += sizeof(Scale);
  }
  // The records the undo needs: the whole stack when it changed, or the top record
  // before when the step popped or changed it.
  bool keep_records = false;
  if (r.whole_stack) {
    keep_records = !SameStack(stack, h.pending_records);
    r.whole_stack = keep_records;
  } else {
    keep_records = stack.size() + 1 == n || (stack.size() == n && n > 0 &&
                                             !SameRecord(stack.back(), h.pending_records.front()));
  }
  r.records = 0;
  if (keep_records) {
    for (const BlockRecord& record : h.pending_records) {
      h.records.push_back(record);
      r.bytes += sizeof(BlockRecord) + record.condition.size();
    }
    r.records = static_cast<std::uint32_t>(h.pending_records.size());
  }
  h.bytes += r.bytes;
  h.steps.push_back(r);
  TrimHistory();
}

std::optional<std::string> RunDebugger::StepBack() {
  Sync();
  Impl& h = *impl_;
  if (State() != DebugState::Paused) return std::string(kStepBackNotPaused);
  if (h.steps.empty()) return std::string(h.lost ? kHistoryExhausted : kHistoryEmpty);
  if (canvas_->Width() != h.width || canvas_->Height() != h.height) {
    ForgetHistory();
    h.lost = true;
    return std::string(kHistoryExhausted);
  }
  const Impl::Step r = h.steps.back();
  h.steps.pop_back();
  h.bytes -= std::min(h.bytes, r.bytes);

  // The picture first, newest change first: a pixel a step changed twice gets its
  // colour from before the first change.
  const auto width = static_cast<std::uint32_t>(h.width);
  canvas_->Record(nullptr);
  for (std::uint32_t i = 0; i < r.pixels; ++i) {
    const HistoryCanvas::PixelChange p = h.pixels.back();
    h.pixels.pop_back();
    canvas_->SetPixel(static_cast<int>(p.index % width), static_cast<int>(p.index / width),
                      p.old_colour);
  }
  if (r.scale) {
    const Scale old = h.scales.back();
    h.scales.pop_back();
    drawing_.SetScale(old.re_min, old.re_max, old.im_min, old.im_max);
  }
  std::vector<BlockRecord> kept(std::make_move_iterator(h.records.end() - r.records),
                                std::make_move_iterator(h.records.end()));
  h.records.erase(h.records.end() - r.records, h.records.end());
  std::vector<BlockRecord>& stack = state_.BlockStack[static_cast<std::size_t>(r.slot)];
  if (r.whole_stack) {
    stack = std::move(kept);
  } else if (r.mouse) {
    // A mouse-click run that left its stack as it found it.
  } else if (stack.size() == r.stack_size + 1) {
    stack.pop_back();
  } else if (stack.size() + 1 == r.stack_size && !kept.empty()) {
    stack.push_back(std::move(kept.front()));
  } else if (!kept.empty() && !stack.empty()) {
    stack.back() = std::move(kept.front());
  }
  state_.CurrentLine = r.line;
  state_.ArgumentCursor = r.cursor;
  state_.block_bytes = r.block_bytes;
  changed_.clear();
  for (std::uint32_t i = 0; i < r.values; ++i) {
    const auto [j, value] = h.values.back();
    h.values.pop_back();
    project_.variables.SetCurrentValue(j, value);
    changed_.push_back(j);
  }
  std::sort(changed_.begin(), changed_.end());
  if (!r.mouse) --steps_;
  last_line_.reset();
  EvaluateWatches();
  PauseFor(PauseReason::SteppedBack);
  return std::nullopt;
}

// --- Watches ---

std::string RunDebugger::WatchText(std::string_view term) const {
  CapturedBoxes boxes;
  const EvalContext context{project_.functions,  project_.variables, drawing_, boxes,
                            kPowerProductBudget, &impl_->watch_plans};
  std::string text;
  try {
    text = EvaluateForDisplay(term, context);
  } catch (const Fault& fault) {
    text = FaultDisplayText(fault.what());
  }
  if (boxes.shown) return boxes.first;
  return text;
}

void RunDebugger::EvaluateWatches() {
  impl_->watch_stop = false;
  for (Watch& watch : watches_) {
    std::string text = WatchText(watch.term);
    watch.changed = text != watch.text;
    if (watch.changed && watch.stop_on_change) impl_->watch_stop = true;
    watch.text = std::move(text);
  }
}

int RunDebugger::AddWatch(std::string term, bool stop_on_change) {
  Watch watch{std::move(term), stop_on_change, {}, false};
  watch.text = WatchText(watch.term);
  watches_.push_back(std::move(watch));
  return static_cast<int>(watches_.size()) - 1;
}

void RunDebugger::RemoveWatch(int index) {
  if (index >= 0 && static_cast<std::size_t>(index) < watches_.size()) {
    watches_.erase(watches_.begin() + index);
  }
}

void RunDebugger::SetWatchTerm(int index, std::string term) {
  if (index < 0 || static_cast<std::size_t>(index) >= watches_.size()) return;
  Watch& watch = watches_[static_cast<std::size_t>(index)];
  watch.term = std::move(term);
  watch.text = WatchText(watch.term);
  watch.changed = false;
}

void RunDebugger::SetStopOnChange(int index, bool on) {
  if (index >= 0 && static_cast<std::size_t>(index) < watches_.size()) {
    watches_[static_cast<std::size_t>(index)].stop_on_change = on;
  }
}

void RunDebugger::RefreshWatches() {
  for (Watch& watch : watches_) {
    watch.text = WatchText(watch.term);
    watch.changed = false;
  }
}

// --- A term's rewriting ---

std::vector<std::string> RunDebugger::Rewriting(std::string_view term) const {
  CapturedBoxes boxes;
  const EvalContext context{project_.functions, project_.variables, drawing_, boxes};
  std::vector<std::string> texts;
  try {
    ExplainTerm(term, context, texts);
  } catch (const Fault& fault) {
    texts.push_back(FaultDisplayText(fault.what()));
  }
  return texts;
}

std::vector<std::string> RunDebugger::TermsOfLine(ProgramLine at) const {
  if (at.program != MainProgram && at.program != MouseHandlerProgram) return {};
  const ProgramText& program = project_.programs[static_cast<std::size_t>(at.program)];
  if (at.line < 0 || static_cast<std::size_t>(at.line) >= program.size()) return {};
  const std::string& line = program[static_cast<std::size_t>(at.line)];
  const LineForm& form = impl_->forms.FormOf(line);
  if (form.assign != std::string::npos) return {line.substr(form.assign + 2)};
  if (form.closing == static_cast<int>(BlockKind::Solange)) {
    // The closing line tests the condition its loop record keeps.
    const auto& stack = state_.BlockStack[static_cast<std::size_t>(at.program)];
    if (!stack.empty() && stack.back().kind == BlockKind::Solange) return {stack.back().condition};
    return {};
  }
  int count = 0, skip = 0;
  if (form.command >= 0) {
    count = CommandArgumentCount(form.command);
  } else if (form.opening == static_cast<int>(BlockKind::Fuer)) {
    count = 4;
    skip = 1;  // the loop variable's name
  } else if (form.opening >= 0 && form.opening != static_cast<int>(BlockKind::Andernfalls)) {
    count = 1;
  }
  std::vector<std::string> terms;
  if (form.bracket == std::string::npos) return terms;
  std::size_t start = form.bracket + 1;
  for (int i = 0; i < count; ++i) {
    const std::size_t end = ArgumentEnd(line, start);
    if (end == std::string::npos) break;
    if (i >= skip) terms.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  return terms;
}

// --- Tempo ---

void RunDebugger::SetTempo(int lines_per_second) {
  tempo_ = std::max(0, lines_per_second);
  impl_->next_due = {};
}

std::chrono::nanoseconds RunDebugger::UntilNextLine() const {
  if (tempo_ == 0) return {};
  const auto now = impl_->clock();
  if (now >= impl_->next_due) return {};
  return impl_->next_due - now;
}

void RunDebugger::SetClock(Clock clock) { impl_->clock = std::move(clock); }

// --- Where the run stands ---

ProgramLine RunDebugger::NextLine() const { return {MainProgram, state_.CurrentLine[MainProgram]}; }

void RunDebugger::SetLineListener(LineListener listener) {
  impl_->listener = std::move(listener);
  TakeValues(project_.variables, impl_->listened);
  interpreter_.SetStepObserver(impl_->listener ? impl_.get() : nullptr);
}

}  // namespace ombrix
