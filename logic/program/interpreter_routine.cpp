// The interpreter's compiled routine (line_routine.h): compiling a line of the main program
// into operations, and running them. Each line does what its step does, in the same
// order, through the same rules; where a step would report an error or meet something the
// routine does not compile, the routine stops before that line and the step runs it. A
// drawing loop's passes run in one piece where no bound can fall inside them (Iteration).
#include <algorithm>
#include <cmath>
#include <limits>

#include "logic/evaluator/flat_run.h"
#include "logic/program/interpreter.h"
#include "logic/program/slice_clock.h"

namespace ombrix {

namespace {

using Kind = RoutineStep::Kind;

// Where a keyword or command line leaves the argument cursor before its arguments.
std::int32_t CursorAfterHead(const LineSlot& slot) {
  const std::size_t at =
      slot.form.bracket == std::string::npos ? slot.text.size() : slot.form.bracket;
  return static_cast<std::int32_t>(std::min<std::size_t>(at + 2, INT32_MAX));
}

}  // namespace

// Compiles one line: its terms through the plans, its steps after them.
class Interpreter::LineCompiler {
 public:
  LineCompiler(Interpreter& in, std::int32_t n, LineSlot& slot)
      : in_(in), routine_(in.routine_), n_(n), slot_(slot) {}

  // The line's operations appended to the routine; false (nothing appended) for a line
  // left to the steps.
  bool Compile() {
    const std::size_t ops = routine_.code.ops.size();
    const std::size_t registers = routine_.code.registers.size();
    const std::size_t steps = routine_.steps.size();
    if (Line()) return true;
    routine_.code.ops.resize(ops);
    routine_.code.registers.resize(registers);
    routine_.steps.resize(steps);
    return false;
  }

 private:
  bool Line() {
    const LineForm& form = slot_.form;
    if (slot_.text.empty()) return Step({Kind::Next});
    if (form.assign != std::string::npos) return Assignment();
    if (form.command >= 0) return Command();
    switch (static_cast<BlockKind>(form.opening)) {
      case BlockKind::Wenn:
        return Opening(Kind::Wenn);
      case BlockKind::Solange:
        return Opening(Kind::Solange);
      case BlockKind::Wiederhole:
        return Opening(Kind::Wiederhole);
      case BlockKind::Fuer:
        return Fuer();
      default:
        break;  // "Andernfalls" opens nothing; no opening keyword at all
    }
    return Closing();
  }

  bool Assignment() {
    const int variable =
        in_.VariableOf(&slot_, std::string_view(slot_.text).substr(0, slot_.form.assign));
    if (variable < 0) return false;
    const int value = Term(std::string_view(slot_.text).substr(slot_.form.assign + 2));
    return value >= 0 && TakeValue(FlatOp::Code::Assign, value, variable) && AssignedByTerm();
  }

  // A fresh assignment of a value that one of the loop shapes below computed is made by
  // that operation itself: nothing else reads the value's register.
  bool AssignedByTerm() {
    std::vector<FlatOp>& ops = routine_.code.ops;
    if (ops.size() < 2 || ops.back().code != FlatOp::Code::AssignFresh) return true;
    FlatOp& term = ops[ops.size() - 2];
    if (term.dst != ops.back().a) return true;
    if (term.code == FlatOp::Code::PowerVarSquareSumVar) {
      term.code = FlatOp::Code::PowerVarSquareSumVarAssign;
    } else if (term.code == FlatOp::Code::SumFirstVarPlusNext) {
      term.code = FlatOp::Code::SumFirstVarPlusNextAssign;
    } else {
      return true;
    }
    term.dst = ops.back().dst;
    ops.pop_back();
    return true;
  }

  // The arguments a keyword or command line evaluates, each with the cursor its step sets
  // before it; false where a step would read one from the text.
  bool Arguments(RoutineStep& step) {
    const EvaluatedArguments evaluated = ArgumentsEvaluated(slot_.form);
    if (evaluated.first + evaluated.count > slot_.argument_count) return false;
    if (slot_.argument_count > 0 && slot_.terms[0].start != slot_.form.bracket + 1) return false;
    for (int i = evaluated.first; i < evaluated.first + evaluated.count; ++i) {
      const LineSlot::Term& term = slot_.terms[static_cast<std::size_t>(i)];
      FlatOp argument;  // the cursor as the step leaves it before the argument
      argument.code = FlatOp::Code::Argument;
      argument.b = static_cast<std::int32_t>(term.end + 2);
      routine_.code.ops.push_back(argument);
      const int value =
          Term(std::string_view(slot_.text).substr(term.start, term.end - term.start));
      if (value < 0) return false;
      step.arguments[static_cast<std::size_t>(i - evaluated.first)] = value;
      step.value = value;
    }
    return true;
  }

  bool Command() {
    RoutineStep step{Kind::Command};
    step.command = slot_.form.command;
    return Arguments(step) && Step(step);
  }

  bool Opening(Kind kind) {
    RoutineStep step{kind};
    return Arguments(step) && Step(step);
  }

  bool Fuer() {
    if (slot_.argument_count == 0 || slot_.terms[0].start != slot_.form.bracket + 1) return false;
    const LineSlot::Term& name = slot_.terms[0];
    RoutineStep step{Kind::Fuer};
    step.variable = in_.VariableOf(
        &slot_, std::string_view(slot_.text).substr(name.start, name.end - name.start));
    return step.variable >= 0 && Arguments(step) && Step(step);
  }

  bool Closing() {
    RoutineStep step;
    step.cursor = CursorAfterHead(slot_);
    switch (static_cast<BlockKind>(slot_.form.closing)) {
      case BlockKind::Wenn:
        step.kind = Kind::Next;
        return Step(step);
      case BlockKind::Andernfalls:
        step.kind = Kind::Andernfalls;
        return Step(step);
      case BlockKind::Solange:
        return SolangeEnd(step);
      case BlockKind::Wiederhole:
        step.kind = Kind::WiederholeEnd;
        return Step(step);
      case BlockKind::Fuer:
        step.kind = Kind::FuerEnd;
        return Step(step);
    }
    return false;  // no keyword at all: an unknown command, which the step reports
  }

  // The end of a "Solange" loop tests the condition of the "Solange" line that opened its
  // top record: compiled here from the nearest "Solange" line above whose loop this end
  // can close, and used while the top record is that line's.
  bool SolangeEnd(RoutineStep& test) {
    const std::int32_t partner = Partner();
    if (partner < 0) return false;
    LineSlot* opening = in_.lines_.At(MainProgram, partner);
    if (opening == nullptr || opening->argument_count == 0) return false;
    const LineSlot::Term& condition = opening->terms[0];
    test.kind = Kind::SolangeTest;
    test.partner = partner;
    test.fill = opening->fill;
    if (!Step(test)) return false;
    FlatOp& op = routine_.code.ops.back();
    op.code = FlatOp::Code::LoopTest;
    op.b = test.cursor;
    const int value = Term(
        std::string_view(opening->text).substr(condition.start, condition.end - condition.start));
    return value >= 0 && TakeValue(FlatOp::Code::LoopEnd, value, partner) && EndOnProduct();
  }

  // A loop's end on a product of two comparisons, the value it takes read already, forms
  // the product itself: the product's register is read by nothing else.
  bool EndOnProduct() {
    std::vector<FlatOp>& ops = routine_.code.ops;
    if (ops.size() < 2) return true;
    FlatOp& product = ops[ops.size() - 2];
    const FlatOp& end = ops.back();
    if (product.code != FlatOp::Code::ComparisonProduct || end.a != product.dst ||
        (end.flags & FlatOp::kReadsBack) == 0) {
      return true;
    }
    product.code = FlatOp::Code::LoopEndProduct;
    product.dst = end.dst;
    ops.pop_back();
    return true;
  }

  // The "Solange" line above this end whose skip, counting its kind only, would land here.
  std::int32_t Partner() const {
    std::int64_t depth = 0;
    const auto solange = static_cast<int>(BlockKind::Solange);
    for (std::int32_t m = n_ - 1; m >= 0; --m) {
      const LineForm form = in_.lines_.FormAt(MainProgram, m);
      if (form.closing == solange) ++depth;
      if (form.opening == solange && depth-- == 0) return m;
    }
    return -1;
  }

  int Term(std::string_view text) {
    return in_.plans_.AppendTerm(text, in_.context_, routine_.code);
  }
  // The host operation `code` on the term's value in register `value`, with `dst` as it
  // names it: it takes the place of the term's last operation where that reads the value
  // (Value, ValueKept, ValueFresh: their `flags` and `b` say how, as they say it for the
  // host's read), which then needs no register and no dispatch of its own.
  bool TakeValue(FlatOp::Code code, int value, std::int32_t dst) {
    std::vector<FlatOp>& ops = routine_.code.ops;
    if (ops.empty() || !ReadsLineValue(ops.back().code) || ops.back().dst != value) {
      FlatOp read;  // the value is read already
      read.a = value;
      read.flags = FlatOp::kReadsBack;
      ops.push_back(read);
    }
    const bool fresh = ops.back().code == FlatOp::Code::ValueFresh;
    ops.back().code = code == FlatOp::Code::Assign && fresh ? FlatOp::Code::AssignFresh : code;
    ops.back().dst = dst;
    return true;
  }
  static bool ReadsLineValue(FlatOp::Code code) {
    return code == FlatOp::Code::Value || code == FlatOp::Code::ValueKept ||
           code == FlatOp::Code::ValueFresh;
  }
  bool Step(RoutineStep step) {
    step.line = n_;
    FlatOp op;
    op.code = FlatOp::Code::Host;
    op.a = static_cast<std::int32_t>(routine_.steps.size());
    routine_.steps.push_back(step);
    routine_.code.ops.push_back(op);
    return true;
  }

  Interpreter& in_;
  LineRoutine& routine_;
  std::int32_t n_;
  LineSlot& slot_;
};

const FlatOp* Interpreter::CompiledLine(std::int32_t n, LineSlot& slot) {
  // One past the last line as well: a line's end need not test that its next line exists.
  routine_.Fit(project_.programs[MainProgram].size() + 1);
  if (routine_.at_in != lines_.Epoch()) {
    routine_.Forget();
    routine_.at_in = lines_.Epoch();
  }
  LineRoutine::Line& line = routine_.lines[static_cast<std::size_t>(n)];
  if (line.fill != slot.fill) {
    const FlatOp* const was = routine_.code.ops.data();
    static_cast<void>(routine_.Recompiling(static_cast<std::size_t>(n)));
    const std::size_t before = routine_.code.ops.size();
    const bool compiled = LineCompiler(*this, n, slot).Compile();
    // The operations have moved: no line's `at` holds.
    if (routine_.code.ops.data() != was) routine_.Forget();
    routine_.at[static_cast<std::size_t>(n)] = &LineRoutine::kEnter;
    const std::size_t added = routine_.code.ops.size() - before;
    routine_.used += added;
    routine_.lines[static_cast<std::size_t>(n)] = {
        compiled ? static_cast<std::int32_t>(before) : LineRoutine::kLeftToSteps, slot.fill, added};
  }
  const std::int32_t entry = routine_.lines[static_cast<std::size_t>(n)].entry;
  return entry < 0 ? nullptr : routine_.code.ops.data() + entry;
}

// The routine's host: carries out the lines' own steps between their terms, and ends
// each line as ExecuteSteps ends a step.
class Interpreter::CompiledRun {
 public:
  CompiledRun(Interpreter& in, std::int64_t limit, SliceClock* slices, std::int64_t& counted,
              std::int64_t& done)
      : in_(in),
        state_(in.state_),
        variables_(in.project_.variables),
        program_(in.project_.programs[MainProgram]),
        running_(in.flags_.MainRunning),
        line_count_(program_.size()),
        slots_(in.lines_.Fitted(MainProgram)),
        steps_(in.routine_.steps.data()),
        ops_(in.routine_.code.ops.data()),
        lines_(in.routine_.lines.data()),
        at_(in.routine_.at.data()),
        epoch_(in.lines_.Epoch()),
        limit_(limit),
        slices_(slices),
        counted_(counted),
        counted_out_(counted),
        counted_before_(counted),
        done_(done),
        watch_(*this, in.context_.interrupt),
        registers_(in.routine_.code.registers.data()) {
    Lend(done);
    if (watch_.outer != nullptr) in_.context_.interrupt = &watch_;
  }
  CompiledRun(const CompiledRun&) = delete;
  CompiledRun& operator=(const CompiledRun&) = delete;
  // However the run ends, a fault or an interrupt passing through included, the slice
  // clock has taken the lines that ended as Spent would have.
  ~CompiledRun() {
    in_.context_.interrupt = watch_.outer;
    counted_out_ = counted_;
    Unpark();
    if (slices_ != nullptr) static_cast<void>(slices_->Settle(0));
  }

  // Runs from line n, which has its operations.
  RoutineEnd Run(const FlatOp* entry, std::int32_t n) {
    line_ = n;
    const bool ran = RunFlatOps(entry, in_.routine_.code.registers.data(), in_.context_,
                                in_.plans_.Work(), *this);
    done_ += counted_ - counted_before_;
    if (!ran) {
      // A term that only the text path can say: its line is the steps' own, from its start.
      state_.ArgumentCursor[MainProgram] = 0;
      return RoutineEnd::Line;
    }
    return end_;
  }
  // Whether the run stopped before a line not compiled for its reading yet (its number in
  // `line`).
  bool ToCompile(std::int32_t& line) const {
    line = line_;
    return compile_;
  }

  // Inline in the dispatch loop: the steps of a drawing loop's lines (assignments, the
  // loop's test and end) have operations of their own and cost no call; the rarer ones
  // are found through their step.
  [[gnu::always_inline]] const FlatOp* Assign(const FlatOp* op, TComplex value, TComplex cut) {
    variables_.SetReadValue(op->dst, value, cut);
    // Its argument cursor is still the 0 every line begins with: nothing of a term moves it.
    return FinishInside(line_ + 1, false);
  }
  [[gnu::always_inline]] const FlatOp* Argument(const FlatOp* op) {
    state_.ArgumentCursor[MainProgram] = op->b;
    return op + 1;
  }
  [[gnu::always_inline]] const FlatOp* LoopTest(const FlatOp* op) {
    if (op != tested_ && !SolangeTest(op)) return Leave();
    state_.ArgumentCursor[MainProgram] = op->b;
    return op + 1;
  }
  // After the loop's test: the top record was opened by the partner line, so back to the
  // line after it.
  [[gnu::always_inline]] const FlatOp* LoopEnd(const FlatOp* op, TComplex condition) {
    if (condition.Re != 0 || condition.Im != 0) {
      // No bound can fall inside a whole pass of the loop's lines: they run in one piece.
      if (op == fitted_ && left_ > fitted_lines_ + 1) return Iteration();
      if (op != fitted_ && op != unfit_) Fit(op);
      return FinishInside(op->dst + 1);
    }
    return LoopEnded();
  }
  const FlatOp* Operation(const FlatOp* op, TComplex* r) {
    const RoutineStep& step = steps_[op->a];
    switch (step.kind) {
      case Kind::SolangeTest:  // an operation of its own (LoopTest)
        break;
      case Kind::Enter:
        return Enter(line_);
      case Kind::Next:
        return Finish(line_ + 1);
      case Kind::Wenn:
        return Wenn(r[step.value]);
      case Kind::Andernfalls:
        return Skip(static_cast<std::int8_t>(BlockKind::Wenn));
      case Kind::Solange:
        return Solange(r[step.value]);
      case Kind::Wiederhole:
        return Wiederhole(r[step.value]);
      case Kind::WiederholeEnd:
        return LoopEnd(step, BlockKind::Wiederhole);
      case Kind::Fuer:
        return Fuer(step, r);
      case Kind::FuerEnd:
        return LoopEnd(step, BlockKind::Fuer);
      case Kind::Command:
        return Command(step, r);
    }
    return Leave();
  }
  // The dispatcher's answer when a step stopped the run.
  static bool Stopped() { return true; }
  // The routine has no lone terms.
  static bool End(const FlatOp& /*op*/, const TComplex* /*r*/) { return true; }

 private:
  // The line is the steps' own: nothing of it has been done.
  [[gnu::noinline]] const FlatOp* Leave() {
    state_.ArgumentCursor[MainProgram] = 0;
    end_ = RoutineEnd::Line;
    return nullptr;
  }

  // The step is done and the line counter names `next`: counted, then on to `next`
  // unless a bound of the call, the end of the program or the run flag stops the run.
  // The flag is tested only where something may have cleared it: at the end of a loan
  // (whatever parked it), after a command and after the interrupt was asked (Watch).
  // `next` is any line here, and at most one past the last line in FinishInside: the
  // routine's lines have an entry for that one too, never current, which Enter ends.
  const FlatOp* Finish(std::int32_t next) {
    Count(next);
    if (left_ == 0) [[unlikely]]
      return LoanEnded(next);
    // A negative line reads as one far beyond the last.
    if (static_cast<std::uint32_t>(next) >= line_count_) return Outside();
    return Next(next);
  }
  [[gnu::always_inline]] const FlatOp* FinishInside(std::int32_t next, bool cursor_moved = true) {
    Count(next, cursor_moved);
    if (left_ == 0) [[unlikely]]
      return LoanEnded(next);
    return Next(next);
  }
  [[gnu::always_inline]] void Count(std::int32_t next, bool cursor_moved = true) {
    state_.CurrentLine[MainProgram] = next;
    if (cursor_moved) state_.ArgumentCursor[MainProgram] = 0;
    ++counted_;
    --left_;
  }
  [[gnu::always_inline]] const FlatOp* Next(std::int32_t next) {
    line_ = next;
    return at_[next];
  }
  [[gnu::noinline]] const FlatOp* Outside() {
    end_ = RoutineEnd::Outside;
    return nullptr;
  }
  // The loan is ended, or was only parked (Park): a bound of the call or the flag.
  [[gnu::noinline]] const FlatOp* LoanEnded(std::int32_t next) {
    left_ += parked_;
    parked_ = 0;
    if (left_ == 0 && BoundReached()) {
      end_ = RoutineEnd::Bound;
      return nullptr;
    }
    if (!running_ || static_cast<std::uint32_t>(next) >= line_count_) return Outside();
    return Next(next);
  }
  // The next Finish ends the loan, and so tests the flag; the lines parked are lent again
  // there (and before anything else asks the slice clock about the loan).
  void Park() {
    parked_ += left_ - 1;
    left_ = 1;
  }
  void Unpark() {
    left_ += parked_;
    parked_ = 0;
  }
  // Line `next` not yet found current in this call: its slot compared with its text, and
  // its operations where they were compiled from that reading.
  [[gnu::noinline]] const FlatOp* Enter(std::int32_t next) {
    if (static_cast<std::uint32_t>(next) >= line_count_) return Outside();
    LineSlot& slot = slots_[next];
    in_.lines_.Check(slot, program_[static_cast<std::size_t>(next)]);
    LineRoutine::Line& line = lines_[next];
    if (line.fill != slot.fill) {
      compile_ = true;
      end_ = RoutineEnd::Line;
      return nullptr;
    }
    if (line.entry < 0) {
      end_ = RoutineEnd::Line;
      return nullptr;
    }
    in_.routine_.Entered(static_cast<std::size_t>(next), ops_ + line.entry);
    return ops_ + line.entry;
  }

  // The lines this run may end before it must look at the call's step limit or the slice
  // clock, whichever comes first, `done` lines of the call being done.
  void Lend(std::int64_t done) {
    left_ = limit_ > 0 ? limit_ - done : SliceClock::kNoBound;
    if (slices_ != nullptr) {
      left_ = std::max<std::int64_t>(std::min(left_, slices_->Lendable()), 1);
      slices_->Lend(left_);
    }
  }
  // The lent lines are ended: whether the call's step limit or the slice's time is reached,
  // as the steps would have found it after the last of them; else a new loan.
  [[gnu::noinline]] bool BoundReached() {
    const std::int64_t done = done_ + (counted_ - counted_before_);
    // At its limit the steps stop without asking the clock about the last line.
    const bool at_limit = done == limit_;
    const bool spent = slices_ != nullptr && slices_->Settle(at_limit ? 1 : 0);
    if (at_limit || spent) return true;
    Lend(done);
    return false;
  }
  // Past a jump or a skip that moved the line counter: the step ends on the line after.
  const FlatOp* FinishAfterCurrent() {
    std::int32_t current = state_.CurrentLine[MainProgram];
    if (current < std::numeric_limits<std::int32_t>::max()) ++current;
    return Finish(current);
  }
  // The skip of the current line, `how` as LineSlot::skip names it, found once per call.
  [[gnu::noinline]] const FlatOp* Skip(std::int8_t how) {
    LineRoutine::Skip& skip = in_.routine_.skips[static_cast<std::size_t>(line_)];
    if (skip.in != epoch_) {
      const bool found = how == LineSlot::kElseOrEnd
                             ? in_.SkipToElseOrEnd(MainProgram) >= 0
                             : in_.SkipToClosing(MainProgram, static_cast<BlockKind>(how));
      if (!found) return Leave();
      skip = {epoch_, state_.CurrentLine[MainProgram]};
    }
    tested_ = nullptr;  // a skip may have read afresh a slot whose text has changed
    state_.CurrentLine[MainProgram] = skip.to;
    return FinishAfterCurrent();
  }

  const FlatOp* Wenn(TComplex condition) {
    if (condition.Re != 0 || condition.Im != 0) return Finish(line_ + 1);
    return Skip(LineSlot::kElseOrEnd);
  }

  [[gnu::noinline]] const FlatOp* Solange(TComplex condition) {
    if (condition.Re == 0 && condition.Im == 0) {
      return Skip(static_cast<std::int8_t>(BlockKind::Solange));
    }
    LineSlot& slot = slots_[line_];
    LineSlot::Term& term = slot.terms[0];
    // The end that closed this line's loop last tests it again: SolangeTest's answer for
    // it holds already where the slot reads as that end was compiled from, and the record
    // that end popped, whose condition is in the buffer, had the slot's condition.
    const RoutineStep* const reopened = reopened_ != nullptr ? &steps_[reopened_->a] : nullptr;
    const bool reopening =
        reopened != nullptr && reopened->partner == line_ && reopened->fill == slot.fill;
    // The condition in the buffer of the last record popped, mostly its text already: a
    // drawing loop entered once per pixel allocates nothing for its record.
    LineRoutine& routine = in_.routine_;
    const std::string_view text(slot.text.data() + term.start, term.end - term.start);
    if (!reopening && !SameText(routine.spare, text)) routine.spare.assign(text);
    if (!in_.RecordFits(MainProgram, RecordBytes(text.size()))) return Leave();
    BlockRecord& record = state_.BlockStack[MainProgram].emplace_back();  // made where it stays
    tested_ = reopening ? reopened_ : nullptr;
    reopened_ = nullptr;  // the buffer goes to the record
    state_.block_bytes[MainProgram] += RecordBytes(text.size());
    record.kind = BlockKind::Solange;
    record.condition = std::move(routine.spare);
    record.start_line = line_;
    // Where its end finds the condition's plan, as the end would find it.
    record.condition_plan = &term.plan;
    record.plan_call = in_.lines_.Epoch();
    // A reopened loop whose passes run in one piece begins with them: this line is then
    // ended with the pass's lines, as the end's line is when the loop goes on.
    if (reopening && tested_ == fitted_loop_test_ && left_ > fitted_lines_ + 1) {
      line_ = fitted_end_line_;
      return Iteration();
    }
    return FinishInside(line_ + 1);
  }

  [[gnu::noinline]] const FlatOp* Push(BlockRecord&& record) {
    if (!in_.RecordFits(MainProgram, record)) return Leave();
    tested_ = nullptr;
    state_.block_bytes[MainProgram] += RecordBytes(record);
    state_.BlockStack[MainProgram].push_back(std::move(record));
    return Finish(line_ + 1);
  }

  // The top record is the one whose condition the end compiled: opened by the partner
  // line, with that line's condition (as the end of the loop finds it). Once found, it
  // holds until a record is pushed or popped: nothing else in a call changes the record,
  // the partner's slot or where the record finds its plan.
  [[gnu::noinline]] bool SolangeTest(const FlatOp* op) {
    const RoutineStep& step = steps_[op->a];
    std::vector<BlockRecord>& stack = state_.BlockStack[MainProgram];
    if (stack.empty()) return false;
    BlockRecord& top = stack.back();
    if (top.start_line != step.partner) return false;
    const LineSlot& opening = slots_[step.partner];
    if (opening.fill != step.fill) return false;
    if (top.plan_call != in_.lines_.Epoch()) {
      top.condition_plan = in_.lines_.ConditionPlan(MainProgram, top.start_line, top.condition);
      top.plan_call = in_.lines_.Epoch();
    }
    if (top.condition_plan != &opening.terms[0].plan) return false;
    tested_ = op;
    return true;
  }

  // A "Solange" loop whose lines between its opening and its end (line_) are each one
  // fused assignment: their operations kept for Iteration. Lines not yet found current
  // in the call are looked at again at the loop's next end; the operations of those found
  // hold for the rest of the call.
  [[gnu::noinline]] void Fit(const FlatOp* end) {
    const std::int32_t first = end->dst + 1;
    const std::int32_t count = line_ - first;
    if (count < 1 || count > kMaxFittedLines) {
      unfit_ = end;
      return;
    }
    for (std::int32_t i = 0; i < count; ++i) {
      const FlatOp* line = at_[first + i];
      if (line == &LineRoutine::kEnter) return;
      if (!flat::IsFusedAssign(line->code)) {
        unfit_ = end;
        return;
      }
      fitted_body_[static_cast<std::size_t>(i)] = line;
    }
    fitted_ = end;
    fitted_lines_ = count;
    fitted_end_line_ = line_;
    fitted_loop_test_ = tested_;
    fitted_test_ = FitsProductTest(at_[line_] + 1, end) ? at_[line_] + 1 : nullptr;
    drawing_ = fitted_test_ != nullptr && count == 2 && DrawingLoop(fitted_test_);
  }
  // Whether the loop is "z:=z^2+c", "n:=n+1" on such a test of z and n: three variables
  // apart, whose values the passes hold (DrawingPasses).
  bool DrawingLoop(const FlatOp* c) const {
    const FlatOp& square = *fitted_body_[0];
    const FlatOp& step = *fitted_body_[1];
    return square.code == FlatOp::Code::PowerVarSquareSumVarAssign &&
           step.code == FlatOp::Code::SumFirstVarPlusNextAssign && square.a == square.dst &&
           step.a == step.dst && square.dst != step.dst && square.b != square.dst &&
           square.b != step.dst && c[0].a == square.dst && c[5].a == step.dst;
  }
  // Whether the end's test from `c` on is a drawing loop's "(Betrag(z)<2)*(n<30)", of any
  // built-in, variables, comparisons and numbers: the operations ProductTest runs in their
  // stead. Its numbers are registers no operation of the test writes.
  static bool FitsProductTest(const FlatOp* c, const FlatOp* end) {
    using Code = FlatOp::Code;
    if (end != c + 6 || c[0].code != Code::SumFirstVarPlusReadSum || c[1].code != Code::Builtin ||
        c[2].code != Code::DecideUnread || c[3].code != Code::RegReadSumPlus ||
        c[4].code != Code::Compare || c[5].code != Code::SumFirstVarPlusReadCompare ||
        end->code != Code::LoopEndProduct) {
      return false;
    }
    const bool linked =
        c[1].a == c[0].dst && c[2].a == c[1].dst && c[2].skip == 2 && c[3].a == c[1].dst &&
        c[4].a == c[3].dst && c[4].dst == c[2].dst &&
        ((end->a == c[2].dst && end->b == c[5].dst) || (end->a == c[5].dst && end->b == c[2].dst));
    const std::array<std::int32_t, 6> written = {c[0].b,   c[0].dst, c[1].dst,
                                                 c[2].dst, c[3].dst, c[5].dst};
    const auto constant = [&written](std::int32_t reg) {
      return std::find(written.begin(), written.end(), reg) == written.end();
    };
    return linked && constant(c[2].b) && constant(c[4].b) && constant(c[5].b);
  }
  // What the test FitsProductTest found reads of its operations, the same in every pass:
  // nothing in a pass changes the operations, their numbers or a built-in's rule.
  struct ProductShape {
    ProductShape() = default;
    ProductShape(const FlatOp* c, const TComplex* r, const EvalContext& context)
        : side(c[0].a),
          builtin(c[1].b),
          rule(context.functions.ArgumentRule(c[1].b)),
          count(c[5].a),
          decide_op(c[2].op),
          compare_op(c[4].op),
          count_op(c[5].op),
          decide_number(r[c[2].b]),
          compare_number(r[c[4].b]),
          count_number(r[c[5].b]),
          side_read(c + 3) {}
    int side = 0, builtin = 0, rule = 0, count = 0;
    char decide_op = '<', compare_op = '<', count_op = '<';
    TComplex decide_number, compare_number, count_number;
    const FlatOp* side_read = nullptr;
  };
  // The value of that test, by the rules its operations apply in their order; false where
  // one of them leaves it to the texts. The two variables' cut values and whether they
  // read back as themselves come from the table or from whoever holds them; `itself`
  // answers the same of any variable.
  template <class Itself>
  [[gnu::always_inline]] static bool ProductTestOf(const ProductShape& test, TComplex side_cut,
                                                   bool side_itself, TComplex count_cut,
                                                   bool count_itself, Itself itself,
                                                   const EvalContext& context, RoundTripMemo& memo,
                                                   TComplex& condition) {
    TComplex sum;
    if (!flat::SumStartPlusOf(side_cut, sum) || !flat::ReadSumPlus(side_itself, sum, memo)) {
      return false;
    }
    bool valid = false;
    const TComplex value = BuiltinValue(test.builtin, sum, test.rule, context.drawing, valid);
    if (!valid) return false;
    char first = '?';
    if (flat::DecidedUnread(value, test.decide_number)) [[likely]] {
      first = CompareOrdered(test.decide_op, value, test.decide_number);
    } else {
      // The read's variable, as ReadsAsItself names it.
      const bool read_itself = test.side_read->b > 0 && itself(test.side_read->b - 1);
      TComplex left = value;
      if (!flat::ReadSumPlus(read_itself, left, memo)) return false;
      first = CompareValues(test.compare_op, left, test.compare_number);
      if (first == '?') return false;
    }
    TComplex count;
    if (!flat::SumStartPlusReadOf(count_cut, count_itself, memo, count)) return false;
    const char second = CompareValues(test.count_op, count, test.count_number);
    if (second == '?') return false;
    condition = flat::ComparisonProduct(ComplexFromReal(first == '1' ? 1.0 : 0.0),
                                        ComplexFromReal(second == '1' ? 1.0 : 0.0));
    return true;
  }
  [[gnu::always_inline]] static bool ProductTest(const ProductShape& test,
                                                 const EvalContext& context, RoundTripMemo& memo,
                                                 TComplex& condition) {
    const VariableTable& table = context.variables;
    return ProductTestOf(
        test, table.CutValue(test.side), table.ReadsBackAsItself(test.side),
        table.CutValue(test.count), table.ReadsBackAsItself(test.count),
        [&table](int j) { return table.ReadsBackAsItself(j); }, context, memo, condition);
  }
  // One pass of the fitted loop, from its end found going on to its test begun: each
  // line's value by the rules its operation applies, the lines ended as their operations
  // end them, then on into the test's operations with the state they would find. Nothing
  // between can look at the line counts or the counter: the rules of these lines show no
  // box and ask no interrupt. A line whose value only the texts can say is left where its
  // operation would meet it, which then meets it again and leaves it to the steps.
  // Where the test is one ProductTest makes, the passes go on here while the test holds
  // and the loan has room for another.
  [[gnu::noinline]] const FlatOp* Iteration() {
    if (drawing_) return DrawingPasses();
    const std::int32_t first = fitted_->dst + 1;
    const EvalContext& context = in_.context_;
    FlatWork& work = in_.plans_.Work();
    ProductShape test;
    if (fitted_test_ != nullptr) test = ProductShape(fitted_test_, registers_, context);
    for (;;) {
      if (const FlatOp* left = Pass(first, context, work)) return left;
      TComplex condition;
      if (fitted_test_ == nullptr || !ProductTest(test, context, work.round_trips, condition)) {
        break;
      }
      if (condition.Re == 0 && condition.Im == 0) {
        AtTest();
        return LoopEnded();
      }
      if (left_ <= fitted_lines_ + 1) return FinishInside(first);
    }
    // The test's operations: they meet what the steps would have met.
    AtTest();
    return tested_ + 1;
  }
  // The loop's lines of one pass, from line `first`, ended: none where all of them ran,
  // else the operation of the line a rule left to the texts, the state as it finds it.
  [[gnu::always_inline]] const FlatOp* Pass(std::int32_t first, const EvalContext& context,
                                            FlatWork& work) {
    for (std::int32_t i = 0; i < fitted_lines_; ++i) {
      const FlatOp& line = *fitted_body_[static_cast<std::size_t>(i)];
      double products = 0;  // each line's term is an evaluation of its own
      TComplex read;
      TComplex cut;
      const bool formed = line.code == FlatOp::Code::PowerVarSquareSumVarAssign
                              ? flat::FusedAssignValue<FlatOp::Code::PowerVarSquareSumVarAssign>(
                                    line, context, work, registers_, products, read, cut)
                              : flat::FusedAssignValue<FlatOp::Code::SumFirstVarPlusNextAssign>(
                                    line, context, work, registers_, products, read, cut);
      if (!formed) [[unlikely]] {
        EndLines(i + 1);
        state_.CurrentLine[MainProgram] = line_ = first + i;
        state_.ArgumentCursor[MainProgram] = 0;
        return &line;
      }
      variables_.SetReadValue(line.dst, read, cut);
    }
    EndLines(fitted_lines_ + 1);
    return nullptr;
  }
  // Iteration of a DrawingLoop, its three variables' values held here: written to the table
  // as the lines would have left them whenever the passes leave (`passed`: the count's line
  // has run in this call).
  [[gnu::noinline]] const FlatOp* DrawingPasses() {
    const std::int32_t first = fitted_->dst + 1;
    const EvalContext& context = in_.context_;
    FlatWork& work = in_.plans_.Work();
    const ProductShape test(fitted_test_, registers_, context);
    const FlatOp& square = *fitted_body_[0];
    const FlatOp& step = *fitted_body_[1];
    const int z = square.dst;
    const int n = step.dst;
    TComplex z_value = variables_.CurrentValue(z);
    TComplex z_cut = variables_.CutValue(z);
    TComplex n_value = variables_.CurrentValue(n);
    TComplex n_cut = variables_.CutValue(n);
    const TComplex c_cut = variables_.CutValue(square.b);
    flat::HeldCount count(step, registers_, n_cut);  // no pass writes a register
    bool passed = false;
    const auto store = [&](bool square_ran) {
      if (square_ran) variables_.SetReadValue(z, z_value, z_cut);
      if (passed) variables_.SetReadValue(n, n_value, n_cut);
    };
    const auto itself = [&](int j) { return j == z || j == n || variables_.ReadsBackAsItself(j); };
    for (;;) {
      double products = 0;  // the square's term is an evaluation of its own
      TComplex sum;
      TComplex read;
      TComplex cut;
      if (!flat::SquareSumOf(square, flat::SignedValueOf(square.sign, z_value, z_cut), c_cut,
                             context, work, products, sum) ||
          !flat::ReadFreshCut<true>(sum, read, cut)) [[unlikely]] {
        store(passed);
        return LeftAt(first, 0);
      }
      z_value = read;
      z_cut = cut;
      if (!count.Next(step, registers_, n_value, n_cut)) [[unlikely]] {
        store(true);
        return LeftAt(first, 1);
      }
      passed = true;
      EndLines(3);
      TComplex condition;
      if (!ProductTestOf(test, z_cut, true, n_cut, true, itself, context, work.round_trips,
                         condition)) {
        store(true);
        AtTest();
        return tested_ + 1;
      }
      if (condition.Re == 0 && condition.Im == 0) {
        store(true);
        AtTest();
        return LoopEnded();
      }
      if (left_ <= 3) {
        store(true);
        return FinishInside(first);
      }
    }
  }
  // The state where line `first` + `i` of the passes leaves its value to the texts: its
  // operation meets that again.
  const FlatOp* LeftAt(std::int32_t first, std::int32_t i) {
    EndLines(i + 1);
    state_.CurrentLine[MainProgram] = line_ = first + i;
    state_.ArgumentCursor[MainProgram] = 0;
    return fitted_body_[static_cast<std::size_t>(i)];
  }
  // The state at the end line's test, begun by LoopTest.
  void AtTest() {
    state_.CurrentLine[MainProgram] = line_;
    state_.ArgumentCursor[MainProgram] = tested_->b;
  }
  // `count` lines ended, as Count ends each.
  void EndLines(std::int32_t count) {
    counted_ += count;
    left_ -= count;
  }

  [[gnu::noinline]] const FlatOp* LoopEnded() {
    reopened_ = tested_;
    tested_ = nullptr;
    in_.PopRecord(MainProgram, &in_.routine_.spare);
    return FinishInside(line_ + 1);
  }

  [[gnu::noinline]] const FlatOp* Wiederhole(TComplex count) {
    if (!IsIntegerValue(count)) return Leave();
    const auto n = static_cast<std::int32_t>(std::trunc(count.Re));
    if (n <= 0) return Skip(static_cast<std::int8_t>(BlockKind::Wiederhole));
    BlockRecord record;
    record.kind = BlockKind::Wiederhole;
    record.start_line = line_;
    record.remaining_count = n;
    return Push(std::move(record));
  }

  [[gnu::noinline]] const FlatOp* Fuer(const RoutineStep& step, const TComplex* r) {
    const TComplex start = r[step.arguments[0]];
    const TComplex end = r[step.arguments[1]];
    const TComplex by = r[step.arguments[2]];
    if (!IsRealValue(start) || !IsRealValue(end) || !IsRealValue(by) || by.Re == 0) {
      return Leave();
    }
    BlockRecord record;
    record.kind = BlockKind::Fuer;
    record.start_line = line_;
    record.variable_index = step.variable;
    record.end_value = end.Re;
    record.step = by.Re;
    if (!in_.RecordFits(MainProgram, record)) return Leave();
    variables_.SetReadValue(step.variable, start);
    return Push(std::move(record));
  }

  // "EndeWiederhole" and "EndeFür": the loop's end on its top record, as the step makes it.
  const FlatOp* LoopEnd(const RoutineStep& step, BlockKind kind) {
    std::vector<BlockRecord>& stack = state_.BlockStack[MainProgram];
    if (stack.empty()) return Leave();
    tested_ = nullptr;
    state_.ArgumentCursor[MainProgram] = step.cursor;
    BlockRecord& top = stack.back();
    if (kind == BlockKind::Wiederhole ? in_.CountDown(MainProgram, top) : in_.CountOn(top)) {
      state_.CurrentLine[MainProgram] = top.start_line;
      return FinishAfterCurrent();
    }
    return Popped();
  }
  [[gnu::noinline]] const FlatOp* Popped() {
    in_.PopRecord(MainProgram);
    return Finish(line_ + 1);
  }

  [[gnu::noinline]] const FlatOp* Command(const RoutineStep& step, const TComplex* r) {
    std::array<TComplex, kMaxCommandArguments> arguments{};
    const int count = CommandArgumentCount(step.command);
    for (int i = 0; i < count; ++i) {
      arguments[static_cast<std::size_t>(i)] = r[step.arguments[static_cast<std::size_t>(i)]];
    }
    if (in_.Draw(step.command, arguments.data())) return Leave();
    // Whatever the canvas does may have cleared the flag.
    Park();
    return FinishInside(line_ + 1);
  }

  // The run's interrupt, asked inside long powers: what it does (the window's events, a
  // stop) may clear the run flag, so the line that asked ends its loan. The loan is whole
  // while it is asked: the slice clock may cut it (LineIsLong).
  struct Watch final : Interrupt {
    Watch(CompiledRun& owner, Interrupt* asked) : run(owner), outer(asked) {}
    bool StopNow() override {
      run.counted_out_ = run.counted_;
      run.Unpark();
      const bool stop = outer->StopNow();
      run.Park();
      return stop;
    }
    CompiledRun& run;
    Interrupt* outer;
  };

  Interpreter& in_;
  InterpreterState& state_;
  VariableTable& variables_;
  const ProgramText& program_;
  const bool& running_;
  std::size_t line_count_;  // the texts do not change within a call
  LineSlot* slots_;
  const RoutineStep* steps_;
  const FlatOp* ops_;
  LineRoutine::Line* lines_;
  const FlatOp** at_;
  std::uint64_t epoch_;
  std::int64_t limit_;
  SliceClock* slices_;
  // The lines ended, kept here and written back to the caller's count where it can be
  // looked at: when the run ends, however it ends, and while the interrupt is asked.
  std::int64_t counted_;
  std::int64_t& counted_out_;
  std::int64_t counted_before_;
  std::int64_t& done_;
  std::int64_t left_ = 1;    // lines lent (Lend)
  std::int64_t parked_ = 0;  // lines of the loan held back by Park
  Watch watch_;
  // The LoopTest found to hold since the last push or pop.
  const FlatOp* tested_ = nullptr;
  // The loop end whose lines Iteration runs (Fit), and the last one found not to fit.
  static constexpr std::int32_t kMaxFittedLines = 4;
  const FlatOp* fitted_ = nullptr;
  const FlatOp* unfit_ = nullptr;
  std::array<const FlatOp*, kMaxFittedLines> fitted_body_{};
  std::int32_t fitted_lines_ = 0;
  const FlatOp* fitted_test_ = nullptr;       // its test's first operation, where ProductTest fits
  const FlatOp* fitted_loop_test_ = nullptr;  // its end line's LoopTest
  std::int32_t fitted_end_line_ = 0;
  bool drawing_ = false;  // the loop is a DrawingLoop
  TComplex* registers_;
  // The LoopTest of the last loop ended: Solange may find it holding for the next record.
  const FlatOp* reopened_ = nullptr;
  std::int32_t line_ = 0;
  RoutineEnd end_ = RoutineEnd::Line;
  bool compile_ = false;
};

Interpreter::RoutineEnd Interpreter::RunCompiledLines(int k, std::int64_t limit, SliceClock* slices,
                                                      std::int64_t& counted, std::int64_t& done) {
  if (k != MainProgram || state_.ArgumentCursor[k] != 0) return RoutineEnd::Line;
  const PlanCache::Stamp stamp = PlanCache::StampOf(context_);
  if (!(routine_.stamp == stamp)) routine_.Clear(stamp);
  LineSlot* const slots = lines_.Fitted(MainProgram);
  const ProgramText& program = project_.programs[MainProgram];
  std::int32_t n = state_.CurrentLine[MainProgram];
  for (;;) {
    LineSlot& slot = slots[n];
    lines_.Check(slot, program[static_cast<std::size_t>(n)]);
    const FlatOp* entry = CompiledLine(n, slot);
    if (entry == nullptr) return RoutineEnd::Line;
    CompiledRun run(*this, limit, slices, counted, done);
    const RoutineEnd end = run.Run(entry, n);
    if (end != RoutineEnd::Line || !run.ToCompile(n)) return end;
  }
}

}  // namespace ombrix
