// The statement interpreter: one program line per step.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "logic/complex/interrupt.h"
#include "logic/complex/messages.h"
#include "logic/evaluator/error_codes.h"
#include "logic/evaluator/evaluate.h"
#include "logic/evaluator/plan.h"
#include "logic/program/canvas.h"
#include "logic/program/drawing_state.h"
#include "logic/program/project_content.h"

namespace ombrix {

class DrawingRecord;
class SliceClock;

// How a run of steps ended: its bound reached or its program's flag clear, the program's
// end reached, or a step failed (reported) or threw.
enum class StepsEnd { Stopped, AtEnd, Failed };

// The command words in the order of CommandWords (commands.cpp checks it).
enum class Command {
  SetzeSkala,
  LoescheBild,
  SetzeFarbe,
  ZeichnePunkt,
  LoeschePunkt,
  ZeichneLinie,
  LoescheLinie,
  ZeichneKreis,
  LoescheKreis,
  ZeichneSkala,
};
inline constexpr int kCommandCount = 10;
// "SetzeSkala", "LöscheBild", "SetzeFarbe", "ZeichnePunkt", "LöschePunkt",
// "ZeichneLinie", "LöscheLinie", "ZeichneKreis", "LöscheKreis", "ZeichneSkala"
extern const std::array<const char*, kCommandCount> CommandWords;

// How many arguments command `number` reads; text after them on the line is ignored.
int CommandArgumentCount(int number);

// Flags of the main window that the interpreter clears on a failed step.
struct RunFlags {
  bool MainRunning = false;
  bool MouseHandlerEnabled = false;
  bool MouseButtonDown = false;
};

struct BlockRecord {
  BlockKind kind = BlockKind::Solange;  // a loop: Solange, Wiederhole or Für
  std::int32_t start_line = 0;
  std::int32_t variable_index = 0;
  std::int32_t remaining_count = 0;
  std::string condition;
  double end_value = 0;
  double step = 0;
  // Where a "Solange" loop's end finds the plan of its condition (none: read from the
  // text), found once per call that runs steps: it holds while `plan_call` is that call's.
  PlanHandle* condition_plan = nullptr;
  std::uint64_t plan_call = 0;
};

// Records are never dropped (a stopped run leaves its open loops behind), so a program
// that keeps opening loops would grow its stack without end. Past this many records an
// opening keyword fails with the structure error of its kind instead.
inline constexpr std::size_t kMaxBlockRecords = 100000;
// Each record keeps its own copy of its condition, so the records are bounded by the
// bytes they hold as well: a mouse program that opens a loop over a long condition at
// every mouse event would otherwise take gigabytes.
inline constexpr std::size_t kMaxBlockBytes = std::size_t{64} << 20;  // 64 MiB

// A mouse-click run happens inside one mouse event; a handler that does not end within
// this many steps is stopped like a failed step.
inline constexpr std::int64_t kMouseHandlerStepLimit = 1000000;
// Steps are cheap or dear: an endless loop over a line that draws thousands of ticks would
// stay within the step bound for minutes, so a run is also bounded in time.
inline constexpr std::chrono::milliseconds kMouseHandlerTimeLimit{10000};

// Per program slot: next line (0-based), argument cursor (1-based, 0 after a line
// change), and the stack of open loops.
struct InterpreterState {
  std::array<std::int32_t, 2> CurrentLine{};
  std::array<std::int32_t, 2> ArgumentCursor{};
  std::array<std::vector<BlockRecord>, 2> BlockStack;
  std::array<std::size_t, 2> block_bytes{};  // what the records of each stack hold

  void ResetCounters(int slot) {
    CurrentLine[slot] = 0;
    ArgumentCursor[slot] = 0;
  }
};

// Carries out command `number` with its arguments; the error code when it refuses them.
std::optional<ErrorCode> PerformCommand(int number, const TComplex* arguments,
                                        DrawingState& drawing, Canvas& canvas);

// The mouse position as the window shows it: each part rounded to hundredths (times 100,
// plus 0.5, truncated toward zero), then the display form. Parts too large for that
// rounding are shown unrounded.
std::string MousePositionText(TComplex position);

// Where the argument that starts at `start` ends: the first ";" or ")" outside brackets,
// as ReadArgumentText finds it; npos when the line ends first.
std::size_t ArgumentEnd(std::string_view line, std::size_t start);

// What a step needs of a line before its arguments: where ":=" stands, where the first
// "(" stands, and the positions of the lower-cased head in the command and keyword tables
// (-1 when none). It depends on the line's text alone.
struct LineForm {
  std::size_t assign = std::string::npos;
  std::size_t bracket = std::string::npos;
  int command = -1;
  int opening = -1;
  int closing = -1;
};
LineForm ReadLineForm(std::string_view line);

// What the steps of one line keep between them, by the line's index and with its text:
// a step compares the text instead of reading it again, and a changed line is read
// afresh. The terms are the right-hand side of an assignment, or the arguments a step
// reads from the first "(" on, each with the plan of its text.
struct LineSlot {
  static constexpr int kMaxArguments = 4;  // the most any line reads
  struct Term {
    std::uint32_t start = 0;
    std::uint32_t end = 0;  // the ";" or ")" that ends an argument; the line's end
    PlanHandle plan;
  };
  // What `skip` names: none yet, a SkipToClosing of a kind, or SkipToElseOrEnd.
  static constexpr std::int8_t kNoSkip = -1;
  static constexpr std::int8_t kElseOrEnd = kKeywordCount;

  std::string text;
  // The texts of a program do not change while its steps run: a slot compared with its
  // line once in a call of ExecuteStep or ExecuteSteps holds for the rest of that call.
  std::uint64_t checked = 0;
  LineForm form;
  std::array<Term, kMaxArguments> terms{};
  std::uint8_t argument_count = 0;  // arguments that end before the line does
  bool known = false;
  bool variable_known = false;
  // The skip this line made last, where it ended and what SkipToElseOrEnd answered. It
  // holds while the lines passed over keep the texts their slots were read from.
  std::int8_t skip = kNoSkip;
  std::int8_t skip_answer = 0;
  std::int32_t skip_target = 0;
  // The variable an assignment stores to or a "Für" counts with, found for this
  // version of the variable names (-1: none of that name).
  std::int32_t variable = -1;
  std::uint64_t names_version = 0;
};

// Told before every step of either program, for line-by-line views of a run. It leaves
// the programs' texts as they are: a step compares its line with the line cache only once
// per call that runs steps.
class StepObserver {
 public:
  virtual ~StepObserver() = default;
  virtual void BeforeStep(int k) = 0;
};

// Told of every change a step makes to the variables and the loop records, just before
// it is made: what a step back undoes.
class ChangeObserver {
 public:
  virtual ~ChangeObserver() = default;
  virtual void BeforeWrite(int variable) = 0;  // a current value is written
  virtual void BeforePush(int k) = 0;          // a record goes onto stack k
  virtual void BeforePop(int k) = 0;           // the top record of stack k goes
  virtual void BeforeTopChange(int k) = 0;     // the top record of stack k changes
};

class Interpreter {
 public:
  Interpreter(ProjectContent& project, DrawingState& drawing, Canvas& canvas, MessageBoxes& boxes,
              RunFlags& flags, InterpreterState& state);

  // Executes the line at CurrentLine[k] (which the caller checked is below the line
  // count). False after an error was reported; the caller stops. A Fault inside the
  // step is reported once as the top-level handler would, clears the slot's run flag
  // and answers false.
  bool ExecuteStep(int k);
  // Steps of program k one after the other, each as ExecuteStep would make it, while the
  // program's run flag is set and it has a line left: at most `limit` (0: no bound), and
  // none after `slices` (when given) says its slice is spent. Each step that succeeds
  // adds one to `counted` at once, so the count holds when an Interrupted thrown from a
  // step passes through.
  StepsEnd ExecuteSteps(int k, std::int64_t limit, SliceClock* slices, std::int64_t& counted);

  // Shows the run-time error box for the current line of program k and clears its flag.
  // `code` is an error text's first two characters.
  void ReportRunError(int k, std::string_view code);
  void ReportRunError(int k, ErrorCode code);

  // The whole run of the mouse-click program from its first line. False when a step
  // failed or the program did not end within `step_limit` steps or `time_limit`; either
  // was reported and MouseHandlerEnabled is clear.
  bool RunMouseHandler(std::int64_t step_limit = kMouseHandlerStepLimit,
                       std::chrono::milliseconds time_limit = kMouseHandlerTimeLimit);

  // The pieces of a step, for the program at slot k.
  std::string ReadArgumentText(int k);
  bool ReadArguments(int k, int n, TComplex* values);
  void AdvanceLine(int k);
  bool SkipToClosing(int k, BlockKind kind);
  int SkipToElseOrEnd(int k);

  InterpreterState& State() { return state_; }
  MessageBoxes& Boxes() { return boxes_; }
  // The clock of the mouse-click program's time bound (tests give their own).
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  void SetClock(Clock clock) { clock_ = std::move(clock); }
  // Expressions through plans (the default) or always from their texts, for comparisons.
  void UsePlans(bool on) { context_.plans = on ? &plans_ : nullptr; }
  // What the evaluations of the following steps ask inside long powers; none: every line
  // runs to its end. A step it stops throws Interrupted out of ExecuteStep and leaves the
  // variables, counters, loops and picture as they were before the line.
  void SetInterrupt(Interrupt* interrupt) { context_.interrupt = interrupt; }
  Interrupt* CurrentInterrupt() const { return context_.interrupt; }
  // The form of line n of program k, from the line cache when the line has a slot there;
  // a default form for a line that does not exist.
  LineForm FormOf(int k, std::int32_t n) const;
  // None by default; the observer is not owned.
  void SetStepObserver(StepObserver* observer) { observer_ = observer; }
  void SetChangeObserver(ChangeObserver* observer) { changes_ = observer; }
  // Every drawing command that succeeds is added to `record` (not owned; null: none).
  void RecordDrawing(DrawingRecord* record) { record_ = record; }

 private:
  // One function per kind of line; each answers false after reporting an error and
  // leaves the advance to the next line to Step.
  bool Step(int k);
  // Step of line n of `program`, program k, with `slots` its line cache (FittedSlots);
  // `next` takes the line counter the step leaves.
  bool StepLine(int k, std::int32_t n, const ProgramText& program, LineSlot* slots,
                std::int32_t& next);
  // The slots of program k, one for every line, or none without plans. They stay where
  // they are while steps run: the program's texts do not change meanwhile.
  LineSlot* FittedSlots(int k);
  [[gnu::noinline]] bool StepWithSlot(int k, const std::string& line, LineSlot& slot,
                                      std::int32_t n);
  bool AtLine(int k) const;  // CurrentLine[k] names a line of program k
  bool StepThrew(int k, std::int32_t cursor);
  bool StepAssignment(int k, const std::string& line, const LineForm& form, LineSlot* slot);
  bool StepKeywordOrCommand(int k, const std::string& line, const LineForm& form);
  // Where a keyword or command line leaves the argument cursor before its arguments.
  void SetCursorAfterHead(int k, const std::string& line, const LineForm& form);
  // The line cache: with plans, every line of a program has a slot, by index; the slots
  // follow the program's length at the start of each step, so a step's own slot stays
  // where it is while the step skips over other lines. Without plans every step reads
  // its line from the text, the rule the slots must agree with.
  LineSlot* SlotAt(int k, std::int32_t n);
  [[gnu::noinline]] void FitSlots(int k);
  [[gnu::noinline]] static void FillSlot(LineSlot& slot, const std::string& line);
  [[gnu::noinline]] void CheckSlot(LineSlot& slot, const std::string& line);
  LineForm FormAt(int k, std::int32_t n);
  // The slot of the line the step of program k is executing, if it has one.
  LineSlot* CurrentSlot(int k);
  // Whether lines from + 1 to `to` still hold the texts their slots were read from.
  bool Unchanged(int k, std::int32_t from, std::int32_t to);
  // The variable of the name as written (compared lower-cased), remembered in `slot` for
  // these names.
  int VariableOf(LineSlot* slot, std::string_view name);
  // The next argument as a view of the current line, with its plan's handle; or false
  // when it is no argument the slot knows (then ReadArgumentText reads it).
  bool NextArgument(int k, std::string_view& text, PlanHandle*& plan);
  // The value of the next argument, or false with its error text in error_.
  bool ArgumentValue(int k, TComplex& value);
  bool StepCommand(int k, int command);
  bool StepWenn(int k);
  bool StepSolange(int k);
  bool StepWiederhole(int k);
  bool StepFuer(int k);
  bool StepClosing(int k, BlockKind kind);
  bool EnterLoop(int k, bool runs, BlockRecord&& record);
  bool PushRecord(int k, BlockRecord&& record);
  bool CloseLoop(int k, BlockKind kind);
  // The plan of a "Solange" record's condition: the opening line's slot keeps the plan of
  // its condition's text, and a handle belongs to its text alone, so the line need not be
  // the same still. None where the slot holds another text.
  PlanHandle* ConditionPlan(int k, const BlockRecord& record);
  void ReportWithMessage(int k, const std::string& message);
  void ClearRunFlag(int k);
  const std::string& Line(int k) const;

  ProjectContent& project_;
  DrawingState& drawing_;
  Canvas& canvas_;
  MessageBoxes& boxes_;
  RunFlags& flags_;
  InterpreterState& state_;
  Clock clock_ = &std::chrono::steady_clock::now;
  PlanCache plans_;
  std::array<std::vector<LineSlot>, 2> slots_;
  // The slot of the line a step is executing, while it does.
  struct StepSlot {
    LineSlot* slot = nullptr;
    std::int32_t line = -1;
  };
  std::array<StepSlot, 2> step_slot_{};
  std::uint64_t text_epoch_ = 0;  // raised at every call that runs steps; 0 is never current
  EvalContext context_;
  std::string error_;  // the error text of the last term that failed, kept for its buffer
  StepObserver* observer_ = nullptr;
  ChangeObserver* changes_ = nullptr;
  DrawingRecord* record_ = nullptr;
};

}  // namespace ombrix
