// The run as a front end's event loop drives it: "Starten" and "Abbrechen", the switches
// of both programs, the main program in slices within the time budget the loop gives,
// the run window's steps, the mouse-click run, and what follows an end or a failure.
// Nothing here waits for a user: the front end is told what happened through its RunView,
// and inside a long line or a long mouse-click run it is given its turns.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "logic/app/runtime.h"

namespace ombrix {

// What a front end shows of the run, and its turns. Every member does nothing by default.
class RunView {
 public:
  virtual ~RunView() = default;
  // The switches of the programs (MainSwitch, the mouse-click program's flag) changed,
  // and with the main program's the actions locked while it runs.
  virtual void SwitchesChanged() {}
  // A run was started: its first slice runs now (the front end calls Slice).
  virtual void FirstSlice() {}
  // A slice left the main program running: Slice is due again after NextSliceIn.
  virtual void RunGoesOn() {}
  // The main program stopped or paused: no slice is due; show where it stands.
  virtual void RunWaits() {}
  // The programs may have drawn.
  virtual void PictureChanged() {}
  // A box or a dialog is open: nothing starts or steps under it.
  virtual bool Blocked() const { return false; }
  // A main-program line takes long: shown busy until the slice ends.
  virtual void Busy(bool /*busy*/) {}
  // Inside such a line, now and then: the front end's events ("Abbrechen" stops the run,
  // which abandons the line).
  virtual void Turn() {}
  // Inside a long mouse-click run, now and then: the front end's events; true ends it.
  virtual bool ClickTurn() { return false; }
  // A mouse-click run is over (before a failure is reacted to).
  virtual void ClickRunEnded(bool /*failed*/) {}
  // A step of `program` failed and was reported; both programs are switched off next.
  virtual void StepFailed(int /*program*/) {}
  // After that: the editor on the failed line of `program`.
  virtual void EditFailedLine(int /*program*/) {}
};

// Hears of the main program's stops and ends besides the front end (the live restart).
class RunListener {
 public:
  virtual ~RunListener() = default;
  // The main program stopped ("Abbrechen", its end, a failure, both switched off).
  virtual void Stopped() {}
  // It reached its end and is about to stop: false when no success message is to be shown.
  [[nodiscard]] virtual bool ReportEnd() { return true; }
  // After the stop of an end that was not reported.
  virtual void EndedQuietly() {}
  // A step of the main program failed.
  virtual void Failed() {}
  // A slice left it running.
  virtual void GoesOn() {}
};

class RunScheduler {
 public:
  explicit RunScheduler(Runtime& runtime);
  RunScheduler(const RunScheduler&) = delete;
  RunScheduler& operator=(const RunScheduler&) = delete;

  void SetView(RunView* view);  // none: a view that shows nothing
  void SetListener(RunListener* listener) { listener_ = listener; }
  // How often a long line or mouse-click run gives the front end its turn (the window: 30 ms).
  void SetTurnInterval(std::chrono::nanoseconds interval);

  // "Starten": both programs on from their first line; the first slice runs at once.
  void Start();
  // "Abbrechen": the main program stops; the mouse-click program stays as it is.
  void Stop();
  // Both programs off (what a project action does first).
  void SwitchOffBoth();
  void SetMouseProgramEnabled(bool enabled);
  // The main program's switch: on from a start until the stop (a failed step clears the
  // run's flag at once, the switch with the reaction that follows).
  bool MainSwitch() const { return main_switch_; }
  bool MainRunning() const { return runtime_.Run().MainRunning(); }

  // The front end's idle call: main-program lines within `budget` and the debugger's
  // pauses and tempo, then what the outcome asks for. Nothing while Busy().
  void Slice(StepBudget budget);
  // When Slice is due again: none while stopped or paused, else the tempo's wait.
  [[nodiscard]] std::optional<std::chrono::nanoseconds> NextSliceIn() const;
  // What the status bar says while the run is paused ("Angehalten vor Zeile n – F5 setzt
  // fort"); empty otherwise.
  std::string PauseStatus() const;

  // The run window's steps; none inside a step or under a box (Blocked).
  void SingleStep();
  void StepBack();  // a refusal is shown as "Information"
  void Continue();

  // The mouse-click program from its first line, when it is due (a press or a drag).
  void RunMouseProgram();

  // Inside a slice or a mouse-click run (events handled meanwhile must not step again).
  bool Busy() const { return busy_; }
  // Inside a program line or a mouse-click run: the programs and tables are in use.
  bool StepInProgress() const;
  // Neither Busy nor under a box: a run may start or step now.
  bool MayStepNow() const { return !busy_ && !view_->Blocked(); }

 private:
  template <class Steps>
  RunOutcome Guarded(Steps&& steps);
  void AfterMainSteps(RunOutcome outcome);
  void Ended();
  void Failed(int program);
  void LineTurn();

  Runtime& runtime_;
  RunView default_view_;
  RunView* view_ = &default_view_;
  RunListener default_listener_;
  RunListener* listener_ = &default_listener_;
  std::chrono::nanoseconds turn_interval_{std::chrono::milliseconds(30)};
  bool main_switch_ = false;
  bool busy_ = false;
  bool shown_busy_ = false;
  std::chrono::steady_clock::time_point last_turn_{};
};

}  // namespace ombrix
