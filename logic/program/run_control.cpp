#include "logic/program/run_control.h"

#include "logic/complex/fault.h"

namespace ombrix {

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

RunOutcome RunControl::RunMouseProgram() {
  bool ok = false;
  try {
    ok = interpreter_.RunMouseHandler(mouse_step_limit_);
  } catch (const Fault& fault) {
    flags_.MouseHandlerEnabled = false;
    interpreter_.Boxes().Show(MessageKind::Fault, FaultDisplayText(fault.what()));
  }
  return ok ? RunOutcome::Ended : RunOutcome::Failed;
}

}  // namespace ombrix
