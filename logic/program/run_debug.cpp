#include "logic/program/run_debug.h"

namespace ombrix {

void HistoryCanvas::SetPixel(int x, int y, Colour colour) { picture_.SetPixel(x, y, colour); }

void HistoryCanvas::MoveTo(int x, int y) {
  pen_x_ = x;
  pen_y_ = y;
  picture_.MoveTo(x, y);
}

void HistoryCanvas::LineTo(int x, int y) {
  pen_x_ = x;
  pen_y_ = y;
  picture_.LineTo(x, y);
}

void HistoryCanvas::FillRect(int left, int top, int right, int bottom) {
  picture_.FillRect(left, top, right, bottom);
}

void HistoryCanvas::Ellipse(int left, int top, int right, int bottom) {
  picture_.Ellipse(left, top, right, bottom);
}

void HistoryCanvas::Before(std::int64_t, std::int64_t, std::int64_t, std::int64_t) {}
void HistoryCanvas::After() {}

struct RunDebugger::Impl {};

RunDebugger::RunDebugger(RunControl& control, Interpreter& interpreter, ProjectContent& project,
                         DrawingState& drawing, InterpreterState& state, HistoryCanvas& canvas)
    : control_(control),
      interpreter_(interpreter),
      project_(project),
      drawing_(drawing),
      state_(state),
      canvas_(canvas),
      impl_(std::make_unique<Impl>()) {}

RunDebugger::~RunDebugger() = default;

DebugState RunDebugger::State() const {
  if (!control_.MainRunning()) return DebugState::Stopped;
  return paused_ ? DebugState::Paused : DebugState::Running;
}

void RunDebugger::Start() {
  control_.Start();
  paused_ = false;
}
void RunDebugger::Pause() { paused_ = control_.MainRunning(); }
RunOutcome RunDebugger::SingleStep() { return control_.StepMain({1, {}}); }
void RunDebugger::Continue() { paused_ = false; }
RunOutcome RunDebugger::Slice(StepBudget budget) { return control_.StepMain(budget); }
RunOutcome RunDebugger::RunMouseProgram() { return control_.RunMouseProgram(); }

void RunDebugger::SetBreakpoint(std::int32_t line, bool on) {
  if (on) {
    breakpoints_.insert(line);
  } else {
    breakpoints_.erase(line);
  }
}
void RunDebugger::ToggleBreakpoint(std::int32_t line) { SetBreakpoint(line, !HasBreakpoint(line)); }
bool RunDebugger::HasBreakpoint(std::int32_t line) const { return breakpoints_.count(line) > 0; }
std::vector<std::int32_t> RunDebugger::Breakpoints() const {
  return {breakpoints_.begin(), breakpoints_.end()};
}

void RunDebugger::SetHistoryEnabled(bool on) { history_enabled_ = on; }
void RunDebugger::SetHistoryLimit(std::size_t) {}
std::size_t RunDebugger::HistoryBytes() const { return 0; }
std::size_t RunDebugger::HistorySteps() const { return 0; }
std::optional<std::string> RunDebugger::StepBack() { return std::string(kHistoryEmpty); }

int RunDebugger::AddWatch(std::string term, bool stop_on_change) {
  watches_.push_back({std::move(term), stop_on_change, {}, false});
  return static_cast<int>(watches_.size()) - 1;
}
void RunDebugger::RemoveWatch(int index) {
  if (index >= 0 && static_cast<std::size_t>(index) < watches_.size()) {
    watches_.erase(watches_.begin() + index);
  }
}
void RunDebugger::SetWatchTerm(int index, std::string term) {
  if (index >= 0 && static_cast<std::size_t>(index) < watches_.size()) {
    watches_[static_cast<std::size_t>(index)].term = std::move(term);
  }
}
void RunDebugger::SetStopOnChange(int index, bool on) {
  if (index >= 0 && static_cast<std::size_t>(index) < watches_.size()) {
    watches_[static_cast<std::size_t>(index)].stop_on_change = on;
  }
}
void RunDebugger::RefreshWatches() {}

std::vector<std::string> RunDebugger::Rewriting(std::string_view) const { return {}; }
std::vector<std::string> RunDebugger::TermsOfLine(ProgramLine) const { return {}; }

void RunDebugger::SetTempo(int lines_per_second) { tempo_ = lines_per_second; }
std::chrono::nanoseconds RunDebugger::UntilNextLine() const { return {}; }
void RunDebugger::SetClock(Clock) {}

ProgramLine RunDebugger::NextLine() const { return {MainProgram, state_.CurrentLine[MainProgram]}; }
void RunDebugger::SetLineListener(LineListener) {}
bool RunDebugger::Idle() const { return true; }

}  // namespace ombrix
