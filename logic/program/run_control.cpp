#include "logic/program/run_control.h"

#include <cassert>

#include "logic/complex/fault.h"

namespace ombrix {

namespace {

// Thrown through a mouse-click run, from the interpreter's clock, when its wait ends it.
struct MouseRunEnded {};

}  // namespace

RunControl::RunControl(Interpreter& interpreter, ProjectContent& project, DrawingState& drawing,
                       RunFlags& flags, InterpreterState& state)
    : interpreter_(interpreter),
      project_(project),
      drawing_(drawing),
      flags_(flags),
      state_(state) {}

void RunControl::Start() {
  ++run_changes_;
  flags_.MainRunning = true;
  flags_.MouseHandlerEnabled = true;
  project_.variables.CopyStartToCurrent();
  ResetCounters();
  ++starts_;
}

void RunControl::Stop() {
  ++run_changes_;
  flags_.MainRunning = false;
}

void RunControl::SwitchOffBoth() {
  ++run_changes_;
  flags_.MainRunning = false;
  flags_.MouseHandlerEnabled = false;
}

void RunControl::ResetCounters() {
  state_.ResetCounters(MainProgram);
  state_.ResetCounters(MouseHandlerProgram);
  drawing_.SetDrawColour(kBlack);
}

bool RunControl::MainAtEnd() const {
  const std::int32_t line = state_.CurrentLine[MainProgram];
  return line < 0 || static_cast<std::size_t>(line) >= project_.programs[MainProgram].size();
}

void RunControl::AfterFailure() {
  SwitchOffBoth();
  flags_.MouseButtonDown = false;
}

RunOutcome RunControl::StepMain(StepBudget budget) {
  // A front end's events handled inside a line or a mouse-click run must not step again.
  assert(!line_in_progress_ && !mouse_run_in_progress_);
  // A budget without time leaves the slice clock alone: the debugger steps through here
  // one line at a time inside a slice of its own.
  const bool timed = budget.time.has_value();
  if (timed) slices_.Begin(budget.time);
  // The lines of this call are asked through one interrupt, installed once: a Stop, Start
  // or SwitchOffBoth from inside a line abandons it.
  line_changes_ = run_changes_;
  struct InProgress {
    RunControl& run;
    Interrupt* outer;
    ~InProgress() {
      run.line_in_progress_ = false;
      run.interpreter_.SetInterrupt(outer);
    }
  } in_progress{*this, interpreter_.CurrentInterrupt()};
  line_in_progress_ = true;
  interpreter_.SetInterrupt(&line_interrupt_);
  try {
    const std::int64_t limit = budget.lines > 0 ? budget.lines : 0;
    switch (interpreter_.ExecuteSteps(MainProgram, limit, timed ? &slices_ : nullptr, lines_run_)) {
      case StepsEnd::Stopped:
        break;
      case StepsEnd::AtEnd:
        return RunOutcome::Ended;
      case StepsEnd::Failed:
        return RunOutcome::Failed;
    }
  } catch (const Interrupted&) {
    // Nothing of the abandoned line is left; the stop has been made.
  } catch (const Fault& fault) {
    // The interpreter reports its own faults; one that still gets here stops the run once.
    flags_.MainRunning = false;
    interpreter_.Boxes().Show(MessageKind::Fault, FaultDisplayText(fault.what()));
    return RunOutcome::Failed;
  }
  return RunOutcome::Running;
}

bool RunControl::LineInterrupt::StopNow() {
  run_.slices_.LineIsLong();
  if (run_.line_wait_) run_.line_wait_();
  return run_.line_changes_ != run_.run_changes_;
}

void RunControl::FinishMain() {
  Stop();
  interpreter_.Boxes().Show(MessageKind::Information, kMainProgramEnded);
}

void RunControl::MoveMouse(int x, int y) { drawing_.SetMousePosition(x, y); }

void RunControl::SetMouseWait(MouseWait wait, std::chrono::nanoseconds interval,
                              SliceClock::Clock clock) {
  mouse_wait_ = std::move(wait);
  mouse_wait_interval_ = interval;
  mouse_clock_ = std::move(clock);
  // The interpreter reads its clock after every step of a mouse-click run and inside its
  // long lines: the one place where such a run can hand the front end a turn.
  interpreter_.SetClock([this] { return MouseClockReading(); });
}

std::chrono::steady_clock::time_point RunControl::MouseClockReading() {
  auto now = mouse_clock_();
  if (mouse_run_in_progress_ && mouse_wait_ && now - mouse_last_turn_ >= mouse_wait_interval_) {
    const bool end = mouse_wait_();
    now = mouse_clock_();
    mouse_last_turn_ = now;
    if (end) throw MouseRunEnded{};
  }
  return now;
}

RunOutcome RunControl::RunMouseProgram() {
  assert(!line_in_progress_ && !mouse_run_in_progress_);
  struct InProgress {
    bool& flag;
    ~InProgress() { flag = false; }
  } in_progress{mouse_run_in_progress_};
  mouse_run_in_progress_ = true;
  mouse_run_ended_by_wait_ = false;
  if (mouse_clock_) mouse_last_turn_ = mouse_clock_();
  bool ok = false;
  try {
    ok = interpreter_.RunMouseHandler(mouse_step_limit_);
  } catch (const MouseRunEnded&) {
    // A line it stopped inside left nothing behind, as an interrupted line does.
    mouse_run_ended_by_wait_ = true;
    return RunOutcome::Ended;
  } catch (const Fault& fault) {
    flags_.MouseHandlerEnabled = false;
    interpreter_.Boxes().Show(MessageKind::Fault, FaultDisplayText(fault.what()));
  }
  return ok ? RunOutcome::Ended : RunOutcome::Failed;
}

}  // namespace ombrix
