#include "logic/program/run_debug.h"

#include <algorithm>
#include <array>
#include <utility>

namespace ombrix {

// --- Told of the lines ---

void RunDebugger::Lines::BeforeStep(int k) {
  if (chained && k == MainProgram) return debugger.NextStep();
  return BeforeOtherStep(k);
}

inline void RunDebugger::NextStep() {
  if (history_.Keeping()) return NextStepKept();
  return NextStepUnkept();
}

void RunDebugger::Lines::BeforeOtherStep(int k) {
  if (batch && k == MainProgram) {
    if (stepping) {
      debugger.NextStep();
    } else {
      stepping = true;
      chained = !listener;
      begun_line = debugger.state_.CurrentLine[MainProgram];
      debugger.BeginStep();
    }
  }
  if (listener) Listen(k);
}

void RunDebugger::Lines::Listen(int k) {
  listened.ChangedSince(debugger.project_.variables, listened_changed);
  listened.Take(debugger.project_.variables);
  const std::int32_t line = debugger.state_.CurrentLine[k];
  const LineEvent event{
      {k, line}, listened_changed, k == MainProgram && debugger.HasBreakpoint(line)};
  listener(event);
}

// In a batch, before a main-program line that follows another: the step before ends and
// this line's begins, as EndStep and BeginStep would do them, but the changed variables
// are left to the batch's last step, the only one that tells them. Most lines take the
// history's short way, without a call that returns; the others go aside. A step the
// history does not keep goes its own way, which saves no registers.
void RunDebugger::NextStepUnkept() {
  ++steps_;
  lines_.begun_line = state_.CurrentLine[MainProgram];
  history_.ChainUnkept();
  if (!watches_.Empty()) EvaluateWatches();
}

void RunDebugger::NextStepKept() {
  ++steps_;
  lines_.begun_line = state_.CurrentLine[MainProgram];
  if (!history_.ChainShort()) history_.ChainAside();
  if (!watches_.Empty()) EvaluateWatches();
}

// --- The run state ---

RunDebugger::RunDebugger(RunControl& control, Interpreter& interpreter, ProjectContent& project,
                         DrawingState& drawing, const InterpreterState& state)
    : RunDebugger(control, interpreter, project, drawing, state, nullptr) {}

RunDebugger::RunDebugger(RunControl& control, Interpreter& interpreter, ProjectContent& project,
                         DrawingState& drawing, const InterpreterState& state,
                         HistoryCanvas& canvas)
    : RunDebugger(control, interpreter, project, drawing, state, &canvas) {}

RunDebugger::RunDebugger(RunControl& control, Interpreter& interpreter, ProjectContent& project,
                         DrawingState& drawing, const InterpreterState& state,
                         HistoryCanvas* canvas)
    : control_(control),
      interpreter_(interpreter),
      project_(project),
      drawing_(drawing),
      state_(state),
      canvas_(canvas),
      history_(project.variables, state, drawing, canvas),
      watches_(project, drawing),
      run_id_(control.Starts()) {}

RunDebugger::~RunDebugger() {
  if (lines_.listener) interpreter_.SetStepObserver(nullptr);
  if (canvas_ != nullptr) canvas_->Record(nullptr);
}

// A run started through RunControl itself is a new run all the same: nothing of the
// last run's pause or history carries over.
void RunDebugger::Sync() {
  if (run_id_ == control_.Starts()) return;
  run_id_ = control_.Starts();
  paused_ = false;
  skip_breakpoint_ = false;
  last_pause_ = PauseReason::None;
  changed_.clear();
  last_line_.reset();
  steps_ = 0;
  ForgetHistory();
  next_due_ = {};
  RefreshWatches();
  lines_.listened.Take(project_.variables);  // the first line follows no line
}

DebugState RunDebugger::State() const {
  if (!control_.MainRunning()) return DebugState::Stopped;
  if (run_id_ != control_.Starts()) return DebugState::Running;
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
  return breakpoints_.empty() && watches_.Empty() && !HistoryEnabled() && tempo_ == 0;
}

void RunDebugger::BeginStep() {
  BeginRecord(false);
  last_line_ = ProgramLine{MainProgram, state_.CurrentLine[MainProgram]};
}

void RunDebugger::EndStep(RunOutcome outcome) {
  ++steps_;
  EndRecord(outcome == RunOutcome::Failed);
  EvaluateWatches();
}

RunOutcome RunDebugger::OneStep() {
  BeginStep();
  const RunOutcome outcome = control_.StepMain({1, std::nullopt});
  EndStep(outcome);
  return outcome;
}

// Nothing can pause the run before the slice ends: no tempo, no breakpoint on a line the
// main program has, no watch that stops on change.
bool RunDebugger::Unpausable() const {
  if (tempo_ != 0) return false;
  if (!breakpoints_.empty() &&
      static_cast<std::size_t>(*breakpoints_.begin()) < project_.programs[MainProgram].size()) {
    return false;
  }
  return !watches_.AnyStopsOnChange();
}

// The whole slice through one StepMain: the interpreter tells of each line before it
// runs, and there each step is ended and the next begun, as OneStep does them one by one.
RunOutcome RunDebugger::Batch(StepBudget budget) {
  lines_.batch = true;
  lines_.stepping = false;
  interpreter_.SetStepObserver(&lines_);
  struct Done {
    RunDebugger& debugger;
    ~Done() {
      Lines& lines = debugger.lines_;
      lines.batch = false;
      lines.chained = false;
      debugger.interpreter_.SetStepObserver(lines.listener ? &lines : nullptr);
    }
  } done{*this};
  skip_breakpoint_ = false;
  const RunOutcome outcome = control_.StepMain(budget);
  if (lines_.stepping) {
    last_line_ = ProgramLine{MainProgram, lines_.begun_line};
    EndStep(outcome);
  }
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
  if (Unpausable()) return Batch(budget);
  return Watched(budget);
}

RunOutcome RunDebugger::Watched(StepBudget budget) {
  SliceClock& slices = control_.Slices();
  const bool timed = budget.time.has_value();
  if (timed) slices.Begin(budget.time);
  std::int64_t lines = 0;
  while (control_.MainRunning()) {
    if (control_.MainAtEnd()) return RunOutcome::Ended;
    if (!skip_breakpoint_ && HasBreakpoint(state_.CurrentLine[MainProgram])) {
      PauseFor(PauseReason::Breakpoint);
      break;
    }
    if (tempo_ > 0 && !TempoAllows()) break;
    skip_breakpoint_ = false;
    const RunOutcome outcome = OneStep();
    if (outcome == RunOutcome::Failed) return outcome;
    ++lines;
    if (watches_.StopWanted() && control_.MainRunning()) {
      PauseFor(PauseReason::WatchChanged);
      break;
    }
    if (budget.lines > 0 && lines >= budget.lines) break;
    if (timed && slices.Spent()) break;
  }
  return RunOutcome::Running;
}

bool RunDebugger::TempoAllows() {
  const auto now = clock_();
  if (now < next_due_) return false;
  next_due_ = now + std::chrono::nanoseconds(1000000000 / tempo_);
  return true;
}

RunOutcome RunDebugger::RunMouseProgram() {
  Sync();
  BeginRecord(true);
  const RunOutcome outcome = control_.RunMouseProgram();
  EndRecord(outcome == RunOutcome::Failed);
  EvaluateWatches();
  if (watches_.StopWanted() && control_.MainRunning()) PauseFor(PauseReason::WatchChanged);
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

void RunDebugger::SetHistoryLimit(std::size_t bytes) { history_.SetLimit(bytes); }
std::size_t RunDebugger::HistoryBytes() const { return history_.Bytes(); }
std::size_t RunDebugger::HistorySteps() const { return history_.Steps(); }
void RunDebugger::ForgetHistory() { history_.Forget(); }

// The interpreter tells of every change while the step runs; the history keeps them when
// it is on and the main program runs (a mouse-click run while stopped is no step of it).
void RunDebugger::BeginRecord(bool mouse) {
  interpreter_.SetChangeObserver(&history_);
  history_.Begin(HistoryEnabled() && control_.MainRunning(), mouse);
}

void RunDebugger::EndRecord(bool failed) {
  interpreter_.SetChangeObserver(nullptr);
  history_.End(failed, changed_);
}

// The interpreter, the drawing state and the picture each put back their own part.
std::optional<std::string> RunDebugger::StepBack() {
  Sync();
  if (State() != DebugState::Paused) return std::string(kStepBackNotPaused);
  if (history_.Steps() == 0)
    return std::string(history_.Lost() ? kHistoryExhausted : kHistoryEmpty);
  if (history_.PictureResized()) return std::string(kHistoryExhausted);
  StepHistory::Undo undo;
  if (!history_.TakeNewest(undo)) return std::string(kHistoryEmpty);
  canvas_->Restore(undo.pixels, history_.Width());
  if (undo.scale) drawing_.RestoreScale(*undo.scale);
  if (undo.colour) drawing_.SetDrawColour(*undo.colour);
  interpreter_.Restore(undo.state);
  changed_.clear();
  for (const StepUndo::Value& value : undo.state.values) changed_.push_back(value.variable);
  std::sort(changed_.begin(), changed_.end());
  if (!undo.mouse) --steps_;
  last_line_.reset();
  EvaluateWatches();
  PauseFor(PauseReason::SteppedBack);
  return std::nullopt;
}

// --- Watches ---

void RunDebugger::EvaluateWatches() { watches_.AfterStep(); }

int RunDebugger::AddWatch(std::string term, bool stop_on_change) {
  return watches_.Add(std::move(term), stop_on_change);
}
void RunDebugger::RemoveWatch(int index) { watches_.Remove(index); }
void RunDebugger::SetWatchTerm(int index, std::string term) {
  watches_.SetTerm(index, std::move(term));
}
void RunDebugger::SetStopOnChange(int index, bool on) { watches_.SetStopOnChange(index, on); }
void RunDebugger::RefreshWatches() { watches_.Refresh(); }

// --- The terms of a line ---

std::vector<std::string> RunDebugger::Rewriting(std::string_view term) const {
  return RewritingOf(term, project_, drawing_, watches_.CurrentInterrupt());
}

std::vector<std::string> RunDebugger::TermsOfLine(ProgramLine at) const {
  if (at.program != MainProgram && at.program != MouseHandlerProgram) return {};
  const ProgramText& program = project_.programs[static_cast<std::size_t>(at.program)];
  if (at.line < 0 || static_cast<std::size_t>(at.line) >= program.size()) return {};
  const std::string& line = program[static_cast<std::size_t>(at.line)];
  const LineForm form = interpreter_.FormOf(at.program, at.line);
  if (form.assign == std::string::npos && form.closing == static_cast<int>(BlockKind::Solange)) {
    // The closing line tests the condition its loop record keeps.
    const auto& stack = state_.BlockStack[static_cast<std::size_t>(at.program)];
    if (!stack.empty() && stack.back().kind == BlockKind::Solange) return {stack.back().condition};
    return {};
  }
  const EvaluatedArguments evaluated = ArgumentsEvaluated(form);
  std::array<TermSpan, kMaxLineArguments> spans{};
  const std::size_t count = LineArguments(line, form, spans);
  std::vector<std::string> terms;
  for (int i = evaluated.first; i < evaluated.first + evaluated.count; ++i) {
    if (static_cast<std::size_t>(i) >= count) break;
    const TermSpan& span = spans[static_cast<std::size_t>(i)];
    terms.push_back(line.substr(span.start, span.end - span.start));
  }
  return terms;
}

// --- Tempo ---

void RunDebugger::SetTempo(int lines_per_second) {
  tempo_ = std::max(0, lines_per_second);
  next_due_ = {};
}

std::chrono::nanoseconds RunDebugger::UntilNextLine() const {
  if (tempo_ == 0) return {};
  const auto now = clock_();
  if (now >= next_due_) return {};
  return next_due_ - now;
}

void RunDebugger::SetClock(Clock clock) {
  control_.Slices().SetClock(clock);
  clock_ = std::move(clock);
}

// --- Where the run stands ---

ProgramLine RunDebugger::NextLine() const { return {MainProgram, state_.CurrentLine[MainProgram]}; }

void RunDebugger::SetLineListener(LineListener listener) {
  lines_.listener = std::move(listener);
  lines_.listened.Take(project_.variables);
  interpreter_.SetStepObserver(lines_.listener ? &lines_ : nullptr);
}

}  // namespace ombrix
