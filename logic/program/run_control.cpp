#include "logic/program/run_control.h"

#include <cassert>
#include <cmath>

#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"

namespace ombrix {

std::string MousePositionText(TComplex position) {
  const auto round = [](double v) {
    const double scaled = v * 100 + 0.5;
    // Beyond the 64-bit range hundredths mean nothing; show the value as it is.
    if (!(std::fabs(scaled) < 9.2e18)) return v;
    return static_cast<double>(static_cast<std::int64_t>(scaled)) * 0.01;
  };
  return ComplexToText(MakeComplex(round(position.Re), round(position.Im)));
}

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
  const InProgress in_progress(interpreter_, line_interrupt_, line_in_progress_);
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

RunControl::InProgress::InProgress(Interpreter& interpreter, Interrupt& interrupt, bool& flag)
    : interpreter_(interpreter), outer_(interpreter.CurrentInterrupt()), flag_(flag) {
  flag_ = true;
  interpreter_.SetInterrupt(&interrupt);
}

RunControl::InProgress::~InProgress() {
  flag_ = false;
  interpreter_.SetInterrupt(outer_);
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
}

bool RunControl::MouseInterrupt::StopNow() {
  RunControl& run = run_;
  auto now = run.mouse_clock_();
  if (run.mouse_wait_ && now - run.mouse_last_turn_ >= run.mouse_wait_interval_) {
    const bool end = run.mouse_wait_();
    now = run.mouse_clock_();
    run.mouse_last_turn_ = now;
    if (end) {
      run.mouse_stop_ = MouseStop::Wait;
      return true;
    }
  }
  if (now < run.mouse_deadline_) return false;
  run.mouse_stop_ = MouseStop::Time;
  return true;
}

RunOutcome RunControl::RunMouseProgram() {
  assert(!line_in_progress_ && !mouse_run_in_progress_);
  mouse_run_ended_by_wait_ = false;
  mouse_stop_ = MouseStop::None;
  mouse_last_turn_ = mouse_clock_();
  mouse_deadline_ = mouse_last_turn_ + kMouseHandlerTimeLimit;
  const InProgress in_progress(interpreter_, mouse_interrupt_, mouse_run_in_progress_);
  try {
    return MouseSteps();
  } catch (const Fault& fault) {
    flags_.MouseHandlerEnabled = false;
    interpreter_.Boxes().Show(MessageKind::Fault, FaultDisplayText(fault.what()));
  }
  return RunOutcome::Failed;
}

bool RunControl::MouseLineLeft() const {
  const std::int32_t line = state_.CurrentLine[MouseHandlerProgram];
  return line >= 0 &&
         static_cast<std::size_t>(line) < project_.programs[MouseHandlerProgram].size();
}

RunOutcome RunControl::MouseSteps() {
  state_.ResetCounters(MouseHandlerProgram);
  std::int64_t steps = 0;
  while (MouseLineLeft()) {
    // Asked after every step, as inside a step that takes long.
    if (steps > 0 && mouse_interrupt_.StopNow()) return MouseRunStopped(steps);
    if (steps >= mouse_step_limit_) {
      mouse_stop_ = MouseStop::Steps;
      return MouseRunStopped(steps);
    }
    try {
      if (!interpreter_.ExecuteStep(MouseHandlerProgram)) return RunOutcome::Failed;
    } catch (const Interrupted&) {
      return MouseRunStopped(steps);  // the line that was stopped is not counted
    }
    ++steps;
  }
  return RunOutcome::Ended;
}

// A line the run was stopped inside has left nothing behind.
RunOutcome RunControl::MouseRunStopped(std::int64_t steps) {
  std::string bound;
  switch (mouse_stop_) {
    case MouseStop::Wait:
      mouse_run_ended_by_wait_ = true;
      return RunOutcome::Ended;
    case MouseStop::Time:
      bound = CountText(
          std::chrono::duration_cast<std::chrono::seconds>(kMouseHandlerTimeLimit).count(),
          "Sekunde", "Sekunden");
      break;
    default:
      bound = CountText(steps, "Schritt", "Schritten");
      break;
  }
  interpreter_.ReportRunStop(MouseHandlerProgram, "Das Programm wurde nach " + bound +
                                                      " abgebrochen, ohne sein Ende zu erreichen");
  return RunOutcome::Failed;
}

}  // namespace ombrix
