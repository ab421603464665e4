// The run engine: "Starten" and "Abbrechen", the main program stepped in budgets, the
// mouse-click program run on a mouse event, and the reactions to a failure. Every
// front end (the window, ombrix-cli, the tests, the benchmarks, the fuzz target) runs
// programs through it; what it leaves to them is only their own: check boxes, locked
// actions, the editor after a failure, repainting.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "logic/program/interpreter.h"
#include "logic/program/slice_clock.h"

namespace ombrix {

inline constexpr const char* kMainProgramEnded = "Das Hauptprogramm wurde erfolgreich beendet.";

// A mouse-click run happens inside one mouse event; a handler that does not end within
// this many steps is stopped like a failed step.
inline constexpr std::int64_t kMouseHandlerStepLimit = 1000000;
// Steps are cheap or dear: an endless loop over a line that draws thousands of ticks would
// stay within the step bound for minutes, so a run is also bounded in time.
inline constexpr std::chrono::milliseconds kMouseHandlerTimeLimit{10000};
static_assert(kMouseHandlerTimeLimit.count() % 1000 == 0, "its message counts whole seconds");

// The mouse position as the window shows it: each part rounded to hundredths (times 100,
// plus 0.5, truncated toward zero), then the display form. Parts too large for that
// rounding are shown unrounded.
std::string MousePositionText(TComplex position);

// How far one call of StepMain may go: at most `lines` lines (0: no bound) and no new
// line once `time` has passed (as the slice clock sees it: within a line of it).
struct StepBudget {
  std::int64_t lines = 0;
  std::optional<std::chrono::nanoseconds> time;
};

// Whatever returns an outcome must be heard: a failure asks for a reaction. (The
// formatter would lay out an enum with an attribute as a braced initializer.)
// clang-format off
enum class [[nodiscard]] RunOutcome {
  Running,  // the budget ran out, or the main program is not running
  Ended,    // the program reached its end; for the main program nothing is reported yet
  Failed,   // a step failed and was reported; the failed program's flag is clear
};
// clang-format on

// Works on the interpreter's flags and counters; every box goes through the interpreter's
// message boxes, so a front end that wraps them sees every box before it opens.
class RunControl {
 public:
  RunControl(Interpreter& interpreter, ProjectContent& project, DrawingState& drawing,
             RunFlags& flags, InterpreterState& state);

  // "Starten": both programs on, start values into current values, counters to 0, the
  // drawing colour black.
  void Start();
  // "Abbrechen": the main program stops; the mouse-click program stays as it is.
  void Stop();
  // The check box of the mouse-click program.
  void SetMouseProgramEnabled(bool enabled) { flags_.MouseHandlerEnabled = enabled; }
  // Neither program runs.
  void SwitchOffBoth();
  // The reaction to an outcome of Failed: both programs off, and the button counts as
  // released (a front end that opens the editor now takes the mouse; its release would
  // be lost).
  void AfterFailure();
  // Both programs back to their first line and the drawing colour black (a new or loaded
  // project).
  void ResetCounters();

  // Runs main-program lines until the budget is spent, the program ends or a step fails.
  RunOutcome StepMain(StepBudget budget);
  // The main program has ended: it stops and the success message is shown.
  void FinishMain();

  // The mouse events. A move sets the mouse position (which may throw the conversion
  // Fault on a huge scale); MouseProgramDue tells whether the mouse-click program is to
  // run now. A press is followed by the move to its position.
  void PressMouse() { flags_.MouseButtonDown = true; }
  void MoveMouse(int x, int y);
  void ReleaseMouse() { flags_.MouseButtonDown = false; }
  bool MouseProgramDue() const { return flags_.MouseHandlerEnabled && flags_.MouseButtonDown; }
  // The whole mouse-click program from its first line, within its bounds: Ended or
  // Failed. A run that reaches its step or time bound fails with a message that names
  // the bound. Ended also when the mouse wait ended it: then without a message, with its
  // changes so far kept, as far as its last whole line.
  RunOutcome RunMouseProgram();
  void SetMouseStepLimit(std::int64_t steps) { mouse_step_limit_ = steps; }
  // The clock of the mouse-click run's time bound (tests give their own).
  void SetMouseClock(SliceClock::Clock clock) { mouse_clock_ = std::move(clock); }
  // What a front end does while a mouse-click run takes long: handle its events, so that
  // the window repaints; true ends the run. Asked after a step and inside a long line,
  // once `interval` has passed on `clock` since the run began or since the last turn.
  // The run's time bound is read on the same clock.
  using MouseWait = std::function<bool()>;
  void SetMouseWait(MouseWait wait, std::chrono::nanoseconds interval,
                    SliceClock::Clock clock = &std::chrono::steady_clock::now);
  bool MouseRunInProgress() const { return mouse_run_in_progress_; }
  // The last mouse-click run was ended by its wait.
  bool MouseRunEndedByWait() const { return mouse_run_ended_by_wait_; }

  // What a front end does while one main-program line takes long: handle its events, so
  // that the window repaints and "Abbrechen" (Stop) comes through. Called from inside the
  // line every few thousand products; a Stop, Start or SwitchOffBoth meanwhile abandons
  // the line, which then leaves everything as it was before it.
  void SetLineWait(std::function<void()> wait) { line_wait_ = std::move(wait); }
  // Inside StepMain, so inside a line of the main program (for a front end whose events
  // come in meanwhile).
  bool LineInProgress() const { return line_in_progress_; }

  // The time bound of every slice, StepMain's and the debugger's (tests give a clock).
  SliceClock& Slices() { return slices_; }

  const RunFlags& Flags() const { return flags_; }
  bool MainRunning() const { return flags_.MainRunning; }
  bool MainAtEnd() const;
  std::int64_t LinesRun() const { return lines_run_; }  // main-program lines, all runs
  std::int64_t Starts() const { return starts_; }       // how often Start was called

 private:
  // The one way a run is stopped from outside its lines: asked inside a line that takes
  // long (it then throws Interrupted) and, in a mouse-click run, after every step.
  // A main-program line is abandoned when the run was started or stopped meanwhile; a
  // mouse-click run ends when its front end's turn ends it or its time is up.
  class LineInterrupt final : public Interrupt {
   public:
    explicit LineInterrupt(RunControl& run) : run_(run) {}
    bool StopNow() override;

   private:
    RunControl& run_;
  };
  class MouseInterrupt final : public Interrupt {
   public:
    explicit MouseInterrupt(RunControl& run) : run_(run) {}
    bool StopNow() override;

   private:
    RunControl& run_;
  };
  // While it lives, a run is in progress (`flag`) and its steps ask `interrupt`.
  class InProgress {
   public:
    InProgress(Interpreter& interpreter, Interrupt& interrupt, bool& flag);
    ~InProgress();
    InProgress(const InProgress&) = delete;
    InProgress& operator=(const InProgress&) = delete;

   private:
    Interpreter& interpreter_;
    Interrupt* outer_;
    bool& flag_;
  };
  // Why a mouse-click run was stopped.
  enum class MouseStop { None, Steps, Time, Wait };
  // The steps of a mouse-click run from its first line to its end, a failed step or a stop.
  RunOutcome MouseSteps();
  bool MouseLineLeft() const;
  RunOutcome MouseRunStopped(std::int64_t steps);

  Interpreter& interpreter_;
  ProjectContent& project_;
  DrawingState& drawing_;
  RunFlags& flags_;
  InterpreterState& state_;

  std::int64_t lines_run_ = 0;
  std::int64_t starts_ = 0;
  std::int64_t mouse_step_limit_ = kMouseHandlerStepLimit;
  std::function<void()> line_wait_;
  SliceClock slices_;
  LineInterrupt line_interrupt_{*this};
  bool line_in_progress_ = false;
  MouseInterrupt mouse_interrupt_{*this};
  MouseWait mouse_wait_;
  std::chrono::nanoseconds mouse_wait_interval_{};
  SliceClock::Clock mouse_clock_ = &std::chrono::steady_clock::now;
  std::chrono::steady_clock::time_point mouse_last_turn_{};
  std::chrono::steady_clock::time_point mouse_deadline_{};
  MouseStop mouse_stop_ = MouseStop::None;
  bool mouse_run_in_progress_ = false;
  bool mouse_run_ended_by_wait_ = false;
  std::uint64_t run_changes_ = 0;   // raised by every Start, Stop and SwitchOffBoth
  std::uint64_t line_changes_ = 0;  // run_changes_ when StepMain began
};

}  // namespace ombrix
