// Watching a run: pause, single step, continue, breakpoints, a step back, watched terms,
// a term's rewriting, the tempo, and what the last step changed. Every front end that
// offers these drives the run through this object instead of calling RunControl's
// StepMain and RunMouseProgram itself; everything else (Stop, the mouse events, the
// check boxes) stays with RunControl. Paused is a kind of running: MainRunning stays
// set, so every rule about a running program holds while paused.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "logic/program/canvas.h"
#include "logic/program/history_canvas.h"
#include "logic/program/interpreter.h"
#include "logic/program/run_control.h"
#include "logic/program/step_history.h"
#include "logic/program/watches.h"

namespace ombrix {

// What a step back says when the history holds no earlier step.
inline constexpr const char* kHistoryEmpty =
    "Es gibt keinen Schritt, der zur\xFC"
    "ckgenommen werden kann.";
// What a step back says when older steps have fallen out of the bounded history.
inline constexpr const char* kHistoryExhausted =
    "Weiter zur\xFC"
    "ck reicht der Verlauf nicht: \xE4ltere Schritte wurden nicht aufbewahrt.";

// What a step back says while the run is not paused.
inline constexpr const char* kStepBackNotPaused =
    "Ein Schritt zur\xFC"
    "ck ist nur m\xF6glich, solange der Ablauf angehalten ist.";

// A line of one program: the slot (MainProgram or MouseHandlerProgram) and the 0-based
// line index (front ends show it plus one).
struct ProgramLine {
  int program = MainProgram;
  std::int32_t line = 0;
  bool operator==(const ProgramLine&) const = default;
};

enum class DebugState {
  Stopped,  // MainRunning is clear
  Running,  // MainRunning, lines run at the chosen tempo
  Paused,   // MainRunning, but no main-program line runs until a step or Continue
};

// Why the run paused last.
enum class PauseReason {
  None,
  Requested,     // Pause()
  SingleStep,    // after a single step (or before line 1 when it started the run)
  Breakpoint,    // before a line with a breakpoint
  WatchChanged,  // a watched term marked "stop on change" changed its text
  SteppedBack,   // after a step back
};

class RunDebugger {
 public:
  RunDebugger(RunControl& control, Interpreter& interpreter, ProjectContent& project,
              DrawingState& drawing, const InterpreterState& state, HistoryCanvas& canvas);
  // Without the history's canvas: everything but step back.
  RunDebugger(RunControl& control, Interpreter& interpreter, ProjectContent& project,
              DrawingState& drawing, const InterpreterState& state);
  ~RunDebugger();
  RunDebugger(const RunDebugger&) = delete;
  RunDebugger& operator=(const RunDebugger&) = delete;

  // --- The run state ---
  DebugState State() const;
  PauseReason LastPause() const { return last_pause_; }
  // "Starten" through the debugger: RunControl::Start, not paused, the history emptied.
  void Start();
  // A running main program pauses before its next line.
  void Pause();
  // From stopped: starts the run as Start does and pauses before line 1. Paused (or
  // running): runs exactly one main-program line and pauses before the next. Ended when
  // the program stands at its end (the front end calls FinishMain as after StepMain).
  RunOutcome SingleStep();
  // Paused: runs on; the line it stands on runs even when it has a breakpoint.
  void Continue();
  // The front end's idle slice, in place of RunControl::StepMain: runs lines within the
  // budget and the tempo, and pauses before a breakpoint or after a watched change.
  // With no breakpoint, no watch, no history and no tempo it is StepMain itself.
  RunOutcome Slice(StepBudget budget);
  // In place of RunControl::RunMouseProgram: the whole run is one step of the history.
  RunOutcome RunMouseProgram();

  // --- Breakpoints: 0-based lines of the main program; not part of the project ---
  void SetBreakpoint(std::int32_t line, bool on);
  void ToggleBreakpoint(std::int32_t line);
  bool HasBreakpoint(std::int32_t line) const;
  // Those on lines the main program has now; the others are kept for when it grows.
  std::vector<std::int32_t> Breakpoints() const;
  void ClearBreakpoints() { breakpoints_.clear(); }

  // --- Step back ---
  // Off by default; switching it off forgets the history.
  void SetHistoryEnabled(bool on);
  // On, and the picture can be read back (a step back restores it).
  bool HistoryEnabled() const;
  void SetHistoryLimit(std::size_t bytes);  // kDefaultHistoryBytes by default
  std::size_t HistoryBytes() const;         // what the kept steps take now
  std::size_t HistorySteps() const;         // how many steps can be taken back
  bool CanStepBack() const { return HistorySteps() > 0; }
  // Paused: undoes the last step (variables, counters, loop records, scale, colour, picture)
  // and stays paused. Otherwise, or with no step kept, the German reason instead.
  [[nodiscard]] std::optional<std::string> StepBack();
  // Empties the history (a new start does so by itself).
  void ForgetHistory();

  // --- Watched terms, evaluated after every step against the current tables ---
  int AddWatch(std::string term, bool stop_on_change = false);  // its index
  void RemoveWatch(int index);
  void SetWatchTerm(int index, std::string term);
  void SetStopOnChange(int index, bool on);
  const std::vector<Watch>& Watches() const { return watches_.Items(); }
  // Evaluates every watch now (changed marks are cleared).
  void RefreshWatches();
  // Asked inside the long powers of watched terms and rewritings, which it may abandon
  // (their text is then kEvaluationAbandoned); none: they run to their end.
  void SetTermInterrupt(Interrupt* interrupt) { watches_.SetInterrupt(interrupt); }

  // --- A term's rewriting for the current tables: the working texts in order ---
  std::vector<std::string> Rewriting(std::string_view term) const;
  // The terms line `at` evaluates when it runs (none for a line without terms).
  std::vector<std::string> TermsOfLine(ProgramLine at) const;

  // --- Tempo: at most this many main-program lines a second; 0 is unlimited ---
  void SetTempo(int lines_per_second);
  int Tempo() const { return tempo_; }
  // How long the front end may wait before the next line is due (zero: now).
  std::chrono::nanoseconds UntilNextLine() const;
  using Clock = SliceClock::Clock;
  // The clock of the tempo and of the slices' time bound (the run engine's, shared).
  void SetClock(Clock clock);

  // --- What the last step did ---
  // Variable indices whose current value the last step (or mouse-click run) changed.
  const std::vector<int>& ChangedVariables() const { return changed_; }
  // The line that runs next: the main program's current line (a mouse-click run runs
  // from line 1 of its program inside one mouse event).
  ProgramLine NextLine() const;
  // The line the last step ran (after a failure: the failed line), if any.
  std::optional<ProgramLine> LastLine() const { return last_line_; }
  // Steps of the main program since the last start.
  std::int64_t StepsRun() const { return steps_; }

  // --- A listener before every line of either program, for line-by-line output ---
  struct LineEvent {
    ProgramLine line;
    const std::vector<int>& changed;  // what the line before it changed
    bool breakpoint = false;          // the run would pause here
  };
  using LineListener = std::function<void(const LineEvent&)>;
  void SetLineListener(LineListener listener);

 private:
  // Told before each line while a batch of lines runs (Batch), or of every line for the
  // line listener.
  struct Lines final : StepObserver {
    explicit Lines(RunDebugger& owner) : debugger(owner) {}
    void BeforeStep(int k) override;
    [[gnu::noinline]] void BeforeOtherStep(int k);
    [[gnu::noinline]] void Listen(int k);

    RunDebugger& debugger;
    LineListener listener;
    VariableValues listened{};  // the values at the listener's last line
    std::vector<int> listened_changed;
    // In a batch of steps, each main-program line ends the step before it and begins its
    // own; `stepping` once the batch's first line has begun.
    bool batch = false;
    bool stepping = false;
    bool chained = false;         // stepping, and no listener: a line needs nothing but NextStep
    std::int32_t begun_line = 0;  // where the batch's last step began, its LastLine
  };

  RunDebugger(RunControl& control, Interpreter& interpreter, ProjectContent& project,
              DrawingState& drawing, const InterpreterState& state, HistoryCanvas* canvas);
  bool Idle() const;
  void Sync();
  void PauseFor(PauseReason reason);
  RunOutcome OneStep();
  void BeginStep();
  void EndStep(RunOutcome outcome);
  bool Unpausable() const;
  RunOutcome Batch(StepBudget budget);
  // The line-by-line slice of Slice: pauses before a breakpoint or after a watched change.
  RunOutcome Watched(StepBudget budget);
  // Whether a tempo lets the next line run now; it is then due again a beat later.
  bool TempoAllows();
  // In a batch, before a main-program line that follows another.
  void NextStep();
  [[gnu::noinline]] void NextStepKept();
  [[gnu::noinline]] void NextStepUnkept();
  void BeginRecord(bool mouse);
  void EndRecord(bool failed);
  void EvaluateWatches();

  RunControl& control_;
  Interpreter& interpreter_;
  ProjectContent& project_;
  DrawingState& drawing_;
  const InterpreterState& state_;  // read only: a step back restores it through the interpreter
  HistoryCanvas* canvas_;          // none: no history
  StepHistory history_;
  WatchList watches_;
  Lines lines_{*this};

  bool paused_ = false;
  bool skip_breakpoint_ = false;  // the line paused on runs once before it pauses again
  PauseReason last_pause_ = PauseReason::None;
  std::set<std::int32_t> breakpoints_;
  bool history_enabled_ = false;
  int tempo_ = 0;
  Clock clock_ = &std::chrono::steady_clock::now;
  std::chrono::steady_clock::time_point next_due_{};
  std::int64_t run_id_ = -1;  // the RunControl start this debugger has seen
  std::vector<int> changed_;
  std::optional<ProgramLine> last_line_;
  std::int64_t steps_ = 0;
};

}  // namespace ombrix
