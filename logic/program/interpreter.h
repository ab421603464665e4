// The statement interpreter: one program line per step.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "logic/complex/interrupt.h"
#include "logic/complex/messages.h"
#include "logic/evaluator/error_codes.h"
#include "logic/evaluator/evaluate.h"
#include "logic/evaluator/plan.h"
#include "logic/program/canvas.h"
#include "logic/program/commands.h"
#include "logic/program/drawing_state.h"
#include "logic/program/line_cache.h"
#include "logic/program/line_routine.h"
#include "logic/program/line_syntax.h"
#include "logic/program/project_content.h"

namespace ombrix {

class DrawingRecord;
class SliceClock;

// How a run of steps ended: its bound reached or its program's flag clear, the program's
// end reached, or a step failed (reported) or threw.
enum class StepsEnd { Stopped, AtEnd, Failed };

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

// What a record holds against kMaxBlockBytes.
inline std::size_t RecordBytes(std::size_t condition_size) {
  return sizeof(BlockRecord) + condition_size;
}
inline std::size_t RecordBytes(const BlockRecord& record) {
  return RecordBytes(record.condition.size());
}

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

// Told before every step of either program, for line-by-line views of a run. It leaves
// the programs' texts as they are: a step compares its line with the line cache only once
// per call that runs steps.
class StepObserver {
 public:
  virtual ~StepObserver() = default;
  virtual void BeforeStep(int k) = 0;
};

// A change a step makes to a loop stack.
enum class StackChange : std::uint8_t { Push, Pop, TopChange };

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

// What a step back puts back of the interpreter's state: where both programs stood, the
// values the step's variables had before it, and the changes it made to the loop stacks
// in the order it made them, each with the record a pop took away or a change replaced.
struct StepUndo {
  std::array<std::int32_t, 2> line{};
  std::array<std::int32_t, 2> cursor{};
  struct Value {
    int variable = 0;
    TComplex old;
  };
  std::vector<Value> values;
  struct Stack {
    StackChange change = StackChange::Push;
    int slot = MainProgram;
    BlockRecord record;  // for a pop or a top change
  };
  std::vector<Stack> stacks;
};

class Interpreter {
 public:
  Interpreter(ProjectContent& project, DrawingState& drawing, Canvas& canvas, MessageBoxes& boxes,
              RunFlags& flags, InterpreterState& state);

  // Executes the line at CurrentLine[k] (which the caller checked is below the line
  // count). False after an error was reported; the caller stops. A Fault inside the
  // step is reported once as the top-level handler would, clears the slot's run flag
  // and answers false.
  [[nodiscard]] bool ExecuteStep(int k);
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
  // The same box with `message` in place of an error's: a run stopped from outside.
  void ReportRunStop(int k, const std::string& message);

  // Puts back what one step changed (as a step back does): the variables' values, the loop
  // stacks with what their records hold, and where both programs stand.
  void Restore(const StepUndo& undo);

  // The pieces of a step, for the program at slot k.
  std::string ReadArgumentText(int k);
  [[nodiscard]] bool ReadArguments(int k, int n, TComplex* values);
  void AdvanceLine(int k);
  [[nodiscard]] bool SkipToClosing(int k, BlockKind kind);
  [[nodiscard]] int SkipToElseOrEnd(int k);

  InterpreterState& State() { return state_; }
  MessageBoxes& Boxes() { return boxes_; }
  // Expressions through plans (the default) or always from their texts, for comparisons.
  void UsePlans(bool on) {
    context_.plans = on ? &plans_ : nullptr;
    lines_.Enable(on);
  }
  // Lines of the main program through their compiled routine (line_routine.h) where
  // nothing watches its steps (the default), or each line by its own step, as the tests
  // compare them.
  void UseCompiledLines(bool on) { compiled_lines_ = on; }
  // The operations the compiled routine holds, for tests: its size stays bounded.
  std::size_t CompiledOperations() const { return routine_.code.ops.size(); }
  // What the evaluations of the following steps ask inside long powers; none: every line
  // runs to its end. A step it stops throws Interrupted out of ExecuteStep and leaves the
  // variables, counters, loops and picture as they were before the line.
  void SetInterrupt(Interrupt* interrupt) { context_.interrupt = interrupt; }
  Interrupt* CurrentInterrupt() const { return context_.interrupt; }
  // The form of line n of program k, from the line cache when the line has a slot there;
  // a default form for a line that does not exist.
  LineForm FormOf(int k, std::int32_t n) const { return lines_.FormOf(k, n); }
  // None by default; the observer is not owned.
  void SetStepObserver(StepObserver* observer) { observer_ = observer; }
  void SetChangeObserver(ChangeObserver* observer) { changes_ = observer; }
  // Every drawing command that succeeds is added to `record` (not owned; null: none).
  void RecordDrawing(DrawingRecord* record) { record_ = record; }

 private:
  // One function per kind of line; each answers false after reporting an error and
  // leaves the advance to the next line to Step.
  bool Step(int k);
  // Step of line n of `program`, program k, with `slots` its line cache (LineCache::Fitted);
  // `next` takes the line counter the step leaves.
  bool StepLine(int k, std::int32_t n, const ProgramText& program, LineSlot* slots,
                std::int32_t& next);
  [[gnu::noinline]] bool StepWithSlot(int k, const std::string& line, LineSlot& slot,
                                      std::int32_t n);
  bool AtLine(int k) const;  // CurrentLine[k] names a line of program k
  bool StepThrew(int k, std::int32_t cursor);
  bool StepAssignment(int k, const std::string& line, const LineForm& form, LineSlot* slot);
  bool StepKeywordOrCommand(int k, const std::string& line, const LineForm& form);
  // Where a keyword or command line leaves the argument cursor before its arguments.
  void SetCursorAfterHead(int k, const std::string& line, const LineForm& form);
  // The slot of the line the step of program k is executing, if it has one.
  LineSlot* CurrentSlot(int k);
  // The variable of the name as written (compared lower-cased), remembered in `slot` for
  // these names.
  int VariableOf(LineSlot* slot, std::string_view name);
  // The next argument as a view of the current line, with its plan's handle; or false
  // when it is no argument the slot knows (then ReadArgumentText reads it).
  bool NextArgument(int k, std::string_view& text, PlanHandle*& plan);
  // The value of the next argument, or false with its error text in error_.
  bool ArgumentValue(int k, TComplex& value);
  bool StepCommand(int k, int command);
  // Carries out a command whose arguments are read, recorded where a record is kept.
  std::optional<ErrorCode> Draw(int command, const TComplex* arguments);
  bool StepWenn(int k);
  bool StepSolange(int k);
  bool StepWiederhole(int k);
  bool StepFuer(int k);
  bool StepClosing(int k, BlockKind kind);
  bool EnterLoop(int k, bool runs, BlockRecord&& record);
  bool PushRecord(int k, BlockRecord&& record);
  // Whether stack k has room for one more record (else its push fails).
  bool RecordFits(int k, const BlockRecord& record) const {
    return RecordFits(k, RecordBytes(record));
  }
  bool RecordFits(int k, std::size_t bytes) const {
    return state_.BlockStack[k].size() < kMaxBlockRecords &&
           state_.block_bytes[k] + bytes <= kMaxBlockBytes;
  }
  bool CloseLoop(int k, BlockKind kind);
  // Whether a loop's closing keyword sends its program back to the loop's start; what
  // the test changes goes through the change observer.
  bool LoopAgain(int k, BlockKind kind, BlockRecord& top);
  // The tests of "EndeWiederhole" and "EndeFür" on the top record of stack k (whatever its
  // kind), as LoopAgain makes them; in line for the compiled routine's loops.
  bool CountDown(int k, BlockRecord& top) {
    if (changes_ != nullptr) changes_->BeforeTopChange(k);
    // Down to the least count, no further.
    if (top.remaining_count > INT32_MIN) --top.remaining_count;
    return top.remaining_count >= 1;
  }
  bool CountOn(const BlockRecord& top) {
    const int index = top.variable_index;
    if (index < 0 || index >= kTableCapacity) return false;
    const double s = top.step > 0 ? 1.0 : -1.0;
    const TComplex current = project_.variables.CurrentValue(index);
    if (!(s * top.end_value > s * current.Re)) return false;
    if (changes_ != nullptr) changes_->BeforeWrite(index);
    project_.variables.SetCurrentValue(index, ComplexFromReal(CheckedAdd(current.Re, top.step)));
    return true;
  }
  // The top record of stack k goes, with the bytes it holds; its condition's text into
  // `keep` where given, whose buffer a later record can use again.
  // Inline: a drawing loop's record goes once per pixel.
  void PopRecord(int k, std::string* keep = nullptr) {
    auto& stack = state_.BlockStack[k];
    state_.block_bytes[k] -= std::min(state_.block_bytes[k], RecordBytes(stack.back()));
    if (keep != nullptr) *keep = std::move(stack.back().condition);
    stack.pop_back();
  }
  void ClearRunFlag(int k);
  const std::string& Line(int k) const;
  static bool ValidSlot(int k) { return k == MainProgram || k == MouseHandlerProgram; }

  // The compiled routine (interpreter_routine.cpp). How a run of it ended: at a bound of
  // the call, outside the program or with its flag clear, or before a line that the steps
  // must run (CurrentLine names it).
  enum class RoutineEnd { Bound, Outside, Line };
  class CompiledRun;
  class LineCompiler;
  RoutineEnd RunCompiledLines(int k, std::int64_t limit, SliceClock* slices, std::int64_t& counted,
                              std::int64_t& done);
  // The first operation of line n of the main program, compiled now where it is not; none
  // for a line left to the steps.
  const FlatOp* CompiledLine(std::int32_t n, LineSlot& slot);

  ProjectContent& project_;
  DrawingState& drawing_;
  Canvas& canvas_;
  MessageBoxes& boxes_;
  RunFlags& flags_;
  InterpreterState& state_;
  PlanCache plans_;
  LineCache lines_;
  // The slot of the line a step is executing, while it does.
  struct StepSlot {
    LineSlot* slot = nullptr;
    std::int32_t line = -1;
  };
  std::array<StepSlot, 2> step_slot_{};
  EvalContext context_;
  std::string error_;  // the error text of the last term that failed, kept for its buffer
  LineRoutine routine_;
  bool compiled_lines_ = true;
  StepObserver* observer_ = nullptr;
  ChangeObserver* changes_ = nullptr;
  DrawingRecord* record_ = nullptr;
};

}  // namespace ombrix
