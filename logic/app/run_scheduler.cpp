#include "logic/app/run_scheduler.h"

namespace ombrix {

RunScheduler::RunScheduler(Runtime& runtime) : runtime_(runtime) {
  runtime_.Run().SetLineWait([this] { LineTurn(); });
  SetTurnInterval(turn_interval_);
}

void RunScheduler::SetView(RunView* view) { view_ = view != nullptr ? view : &default_view_; }

void RunScheduler::SetTurnInterval(std::chrono::nanoseconds interval) {
  turn_interval_ = interval;
  runtime_.Run().SetMouseWait([this] { return view_->ClickTurn(); }, interval, runtime_.Clock());
}

void RunScheduler::Start() {
  runtime_.Debugger().Start();
  main_switch_ = true;
  view_->SwitchesChanged();
  view_->FirstSlice();
}

void RunScheduler::Stop() {
  runtime_.Run().Stop();
  main_switch_ = false;
  view_->SwitchesChanged();
  view_->RunWaits();
  listener_->Stopped();
}

void RunScheduler::SwitchOffBoth() {
  // A failed step has cleared the run's flag already; its switch still stops the run.
  if (main_switch_) Stop();
  runtime_.Run().SetMouseProgramEnabled(false);
  if (MainRunning()) Stop();
  view_->SwitchesChanged();
}

void RunScheduler::SetMouseProgramEnabled(bool enabled) {
  runtime_.Run().SetMouseProgramEnabled(enabled);
  view_->SwitchesChanged();
}

bool RunScheduler::StepInProgress() const {
  return runtime_.Run().LineInProgress() || runtime_.Run().MouseRunInProgress();
}

template <class Steps>
RunOutcome RunScheduler::Guarded(Steps&& steps) {
  struct InSteps {
    RunScheduler& scheduler;
    ~InSteps() {
      scheduler.busy_ = false;
      if (scheduler.shown_busy_) {
        scheduler.shown_busy_ = false;
        scheduler.view_->Busy(false);
      }
    }
  } const in_steps{*this};
  busy_ = true;
  last_turn_ = runtime_.Clock()();
  return steps();
}

void RunScheduler::LineTurn() {
  if (runtime_.Clock()() - last_turn_ < turn_interval_) return;
  if (!shown_busy_) {
    shown_busy_ = true;
    view_->Busy(true);
  }
  // Nested in the step: Slice and the mouse-click run see Busy() and wait; "Abbrechen"
  // stops the run, which abandons the line.
  view_->Turn();
  last_turn_ = runtime_.Clock()();
}

void RunScheduler::Slice(StepBudget budget) {
  if (busy_ || !MainRunning()) return;
  AfterMainSteps(Guarded([&] { return runtime_.Debugger().Slice(budget); }));
}

std::optional<std::chrono::nanoseconds> RunScheduler::NextSliceIn() const {
  // Paused, only a step or "Fortsetzen" goes on; with a tempo, the next line waits.
  if (!MainRunning() || runtime_.Debugger().State() == DebugState::Paused) return std::nullopt;
  return runtime_.Debugger().UntilNextLine();
}

std::string RunScheduler::PauseStatus() const {
  const RunDebugger& debugger = runtime_.Debugger();
  if (debugger.State() != DebugState::Paused) return {};
  return "Angehalten vor Zeile " + std::to_string(debugger.NextLine().line + 1) +
         " \x96 F5 setzt fort";
}

void RunScheduler::AfterMainSteps(RunOutcome outcome) {
  view_->PictureChanged();
  switch (outcome) {
    case RunOutcome::Ended:
      Ended();
      break;
    case RunOutcome::Failed:
      listener_->Failed();
      Failed(MainProgram);
      break;
    case RunOutcome::Running:
      if (MainRunning()) {
        listener_->GoesOn();
        view_->RunGoesOn();
      }
      break;
  }
}

void RunScheduler::Ended() {
  const bool report = listener_->ReportEnd();
  Stop();
  if (report) {
    runtime_.Run().FinishMain();
  } else {
    listener_->EndedQuietly();
  }
}

void RunScheduler::Failed(int program) {
  // A failed step leaves its program's counter on the failed line.
  view_->StepFailed(program);
  runtime_.Run().AfterFailure();
  SwitchOffBoth();
  // The editor opens on the failing line; no restart.
  view_->EditFailedLine(program);
}

void RunScheduler::SingleStep() {
  if (!MayStepNow()) return;
  const bool was_stopped = !MainRunning();
  const RunOutcome outcome = Guarded([&] { return runtime_.Debugger().SingleStep(); });
  if (was_stopped && MainRunning()) {
    main_switch_ = true;
    view_->SwitchesChanged();
  }
  AfterMainSteps(outcome);
}

void RunScheduler::StepBack() {
  if (!MayStepNow()) return;
  RunDebugger& debugger = runtime_.Debugger();
  if (debugger.State() == DebugState::Running) debugger.Pause();
  if (const std::optional<std::string> refused = debugger.StepBack()) {
    runtime_.Boxes().Show(MessageKind::Information, *refused);
    return;
  }
  view_->PictureChanged();
  view_->RunWaits();
}

void RunScheduler::Continue() {
  if (runtime_.Debugger().State() != DebugState::Paused || view_->Blocked()) return;
  runtime_.Debugger().Continue();
  view_->RunGoesOn();
}

void RunScheduler::RunMouseProgram() {
  // Never inside a step of the main program.
  if (busy_ || !runtime_.Run().MouseProgramDue()) return;
  const bool failed =
      Guarded([&] { return runtime_.Debugger().RunMouseProgram(); }) == RunOutcome::Failed;
  view_->ClickRunEnded(failed);
  if (failed) Failed(MouseHandlerProgram);
}

}  // namespace ombrix
