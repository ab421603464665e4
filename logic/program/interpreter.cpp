#include "logic/program/interpreter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>

#include "logic/complex/cp1252.h"
#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"
#include "logic/evaluator/result_text.h"
#include "logic/program/drawing_record.h"
#include "logic/program/program_text.h"
#include "logic/program/slice_clock.h"

namespace ombrix {

namespace {

bool IsZero(TComplex z) { return z.Re == 0 && z.Im == 0; }

std::int32_t ToInt32(std::int64_t v) {
  if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(v);
}

// The structure error of a loop kind; "Für" has none of its own and reports a syntax error.
ErrorCode StructureError(BlockKind kind) {
  switch (kind) {
    case BlockKind::Solange:
      return ErrorCode::BadSolange;
    case BlockKind::Wiederhole:
      return ErrorCode::BadWiederhole;
    default:
      return ErrorCode::Syntax;
  }
}

std::string FirstTwo(const std::string& text) { return text.substr(0, 2); }

}  // namespace

bool Interpreter::AtLine(int k) const {
  const std::int32_t n = state_.CurrentLine[k];
  return n >= 0 && static_cast<std::size_t>(n) < project_.programs[k].size();
}

StepsEnd Interpreter::ExecuteSteps(int k, std::int64_t limit, SliceClock* slices,
                                   std::int64_t& counted) {
  if (!ValidSlot(k)) return StepsEnd::Failed;
  std::int64_t done = 0;
  std::int32_t cursor = 0;
  lines_.NewCall();
  // Where the steps of this call find their flag, program and counters.
  const bool& running = k == MainProgram ? flags_.MainRunning : flags_.MouseHandlerEnabled;
  const ProgramText& program = project_.programs[k];
  const std::size_t lines = program.size();
  LineSlot* const slots = lines_.Fitted(k);
  const std::int32_t& current = state_.CurrentLine[k];
  // The compiled routine runs lines of the main program that nothing watches.
  const bool compiled = compiled_lines_ && k == MainProgram && slots != nullptr &&
                        observer_ == nullptr && changes_ == nullptr;
  // One handler for all the steps: entering it costs as much as a cheap line.
  try {
    // The next line as the last step left it, at hand without reading the counter back.
    std::int32_t next = current;
    while (running) {
      std::int32_t n = next;
      if (n < 0 || static_cast<std::size_t>(n) >= lines) return StepsEnd::AtEnd;
      if (compiled) {
        cursor = 0;  // where every line the routine begins has its cursor
        const RoutineEnd end = RunCompiledLines(k, limit, slices, counted, done);
        next = n = current;
        if (end == RoutineEnd::Bound) break;
        if (end == RoutineEnd::Outside) continue;
      }
      if (observer_ != nullptr) observer_->BeforeStep(k);
      cursor = state_.ArgumentCursor[k];
      if (!StepLine(k, n, program, slots, next)) return StepsEnd::Failed;
      ++counted;
      if (++done == limit) break;
      if (slices != nullptr && slices->Spent()) break;
    }
  } catch (...) {
    StepThrew(k, cursor);
    return StepsEnd::Failed;
  }
  return StepsEnd::Stopped;
}

// Precondition (ExecuteStep checks it): CurrentLine[k] names a line of program k.
bool Interpreter::Step(int k) {
  std::int32_t next = 0;
  return StepLine(k, state_.CurrentLine[k], project_.programs[k], lines_.Fitted(k), next);
}

// In line in the loop of ExecuteSteps: most lines of a drawing loop are assignments, and
// what a step costs around its evaluation is as much as a short evaluation.
[[gnu::always_inline]] inline bool Interpreter::StepLine(int k, std::int32_t n,
                                                         const ProgramText& program,
                                                         LineSlot* slots, std::int32_t& next) {
  const std::string& line = program[static_cast<std::size_t>(n)];
  if (slots != nullptr && !line.empty()) [[likely]] {
    LineSlot& slot = slots[n];
    lines_.Check(slot, line);
    // An assignment reads no arguments; the other lines read theirs through this slot
    // without comparing again, until the step ends (ExecuteStep forgets it when the step
    // throws).
    const LineForm& form = slot.form;
    if (form.assign != std::string::npos) {
      if (!StepAssignment(k, line, form, &slot)) return false;
      // An assignment leaves the counter where it was: the next line follows (n is below
      // the line count, so below the counter's bound).
      next = n + 1;
      state_.CurrentLine[k] = next;
      state_.ArgumentCursor[k] = 0;
      return true;
    }
    if (form.closing == static_cast<int>(BlockKind::Solange) && form.command < 0 &&
        form.opening < 0) {
      // The loop's end is where a drawing loop spends a third of its lines: straight to it,
      // with the argument cursor as every keyword line leaves it.
      SetCursorAfterHead(k, line, form);
      if (!CloseLoop(k, BlockKind::Solange)) return false;
    } else if (!StepWithSlot(k, line, slot, n)) {
      return false;
    }
  } else if (!line.empty()) {
    const LineForm form = ReadLineForm(line);
    const bool done = form.assign != std::string::npos ? StepAssignment(k, line, form, nullptr)
                                                       : StepKeywordOrCommand(k, line, form);
    if (!done) return false;
  }
  std::int32_t& current = state_.CurrentLine[k];
  if (current < std::numeric_limits<std::int32_t>::max()) ++current;
  state_.ArgumentCursor[k] = 0;
  next = current;
  return true;
}

bool Interpreter::StepWithSlot(int k, const std::string& line, LineSlot& slot, std::int32_t n) {
  step_slot_[k] = {&slot, n};
  const bool done = StepKeywordOrCommand(k, line, slot.form);
  step_slot_[k] = {};
  return done;
}

LineSlot* Interpreter::CurrentSlot(int k) {
  const StepSlot& current = step_slot_[k];
  if (current.slot != nullptr && current.line == state_.CurrentLine[k]) return current.slot;
  return lines_.At(k, state_.CurrentLine[k]);
}

int Interpreter::VariableOf(LineSlot* slot, std::string_view name) {
  if (slot == nullptr) return project_.variables.FindVariable(LowerCase1252(name));
  const std::uint64_t names = project_.variables.NamesVersion();
  if (!slot->variable_known || slot->names_version != names) [[unlikely]] {
    slot->variable = project_.variables.FindVariable(LowerCase1252(name));
    slot->names_version = names;
    slot->variable_known = true;
  }
  return slot->variable;
}

bool Interpreter::NextArgument(int k, std::string_view& text, PlanHandle*& plan) {
  LineSlot* slot = CurrentSlot(k);
  if (slot == nullptr || slot->form.assign != std::string::npos) return false;
  const std::int64_t cursor = state_.ArgumentCursor[k] < 1 ? 1 : state_.ArgumentCursor[k];
  const auto start = static_cast<std::size_t>(cursor - 1);
  for (int i = 0; i < slot->argument_count; ++i) {
    LineSlot::Term& argument = slot->terms[static_cast<std::size_t>(i)];
    if (argument.start != start) continue;
    state_.ArgumentCursor[k] = ToInt32(static_cast<std::int64_t>(argument.end) + 2);
    text = std::string_view(slot->text).substr(start, argument.end - start);
    plan = &argument.plan;
    return true;
  }
  return false;
}

bool Interpreter::ArgumentValue(int k, TComplex& value) {
  std::string_view text;
  PlanHandle* plan = nullptr;
  if (NextArgument(k, text, plan)) return EvaluateTermInto(text, context_, plan, value, error_);
  const std::string read = ReadArgumentText(k);
  return EvaluateTermInto(read, context_, nullptr, value, error_);
}

void Interpreter::SetCursorAfterHead(int k, const std::string& line, const LineForm& form) {
  const std::size_t bracket = form.bracket;
  // Without a bracket the cursor stands past the end, so every argument read fails.
  state_.ArgumentCursor[k] =
      ToInt32(bracket == std::string::npos ? static_cast<std::int64_t>(line.size()) + 2
                                           : static_cast<std::int64_t>(bracket) + 2);
}

bool Interpreter::StepKeywordOrCommand(int k, const std::string& line, const LineForm& form) {
  SetCursorAfterHead(k, line, form);
  if (form.command >= 0) return StepCommand(k, form.command);
  const int opening = form.opening;
  switch (opening < 0 ? BlockKind::Andernfalls : static_cast<BlockKind>(opening)) {
    case BlockKind::Wenn:
      return StepWenn(k);
    case BlockKind::Solange:
      return StepSolange(k);
    case BlockKind::Wiederhole:
      return StepWiederhole(k);
    case BlockKind::Fuer:
      return StepFuer(k);
    case BlockKind::Andernfalls:  // opens nothing; it is handled as a closing keyword
      break;
  }
  if (form.closing >= 0) return StepClosing(k, static_cast<BlockKind>(form.closing));
  ReportRunError(k, ErrorCode::UnknownCommand);
  return false;
}

[[gnu::always_inline]] inline bool Interpreter::StepAssignment(int k, const std::string& line,
                                                               const LineForm& form,
                                                               LineSlot* slot) {
  // Past ":=", which the line holds.
  const std::string_view right(line.data() + form.assign + 2, line.size() - form.assign - 2);
  TComplex value;
  if (!EvaluateTermInto(right, context_, slot != nullptr ? &slot->terms[0].plan : nullptr, value,
                        error_)) [[unlikely]] {
    ReportRunError(k, FirstTwo(error_));
    return false;
  }
  // The right-hand side is evaluated before the name is looked up.
  const int index = slot != nullptr && slot->variable_known &&
                            slot->names_version == project_.variables.NamesVersion()
                        ? slot->variable
                        : VariableOf(slot, std::string_view(line).substr(0, form.assign));
  if (index < 0) [[unlikely]] {
    ReportRunError(k, ErrorCode::UnknownVariable);
    return false;
  }
  if (changes_ != nullptr) changes_->BeforeWrite(index);
  project_.variables.SetReadValue(index, value);
  return true;
}

bool Interpreter::StepCommand(int k, int command) {
  std::array<TComplex, kMaxCommandArguments> arguments{};
  if (!ReadArguments(k, CommandArgumentCount(command), arguments.data())) {
    ReportRunError(k, ErrorCode::BadFunctionArgument);
    return false;
  }
  if (const std::optional<ErrorCode> error = Draw(command, arguments.data())) {
    ReportRunError(k, *error);
    return false;
  }
  return true;
}

std::optional<ErrorCode> Interpreter::Draw(int command, const TComplex* arguments) {
  if (std::optional<ErrorCode> error = PerformCommand(command, arguments, drawing_, canvas_)) {
    return error;
  }
  if (record_ != nullptr) record_->Add(command, arguments, drawing_);
  return std::nullopt;
}

bool Interpreter::StepWenn(int k) {
  TComplex condition;
  if (!ReadArguments(k, kBlockArguments, &condition)) {
    ReportRunError(k, ErrorCode::BadFunctionArgument);
    return false;
  }
  if (IsZero(condition) && SkipToElseOrEnd(k) < 0) {
    ReportRunError(k, ErrorCode::BadWenn);
    return false;
  }
  return true;
}

// A loop that runs not even once goes on past its closing keyword; any other is
// entered with its record.
bool Interpreter::EnterLoop(int k, bool runs, BlockRecord&& record) {
  if (runs) return PushRecord(k, std::move(record));
  if (SkipToClosing(k, record.kind)) return true;
  ReportRunError(k, StructureError(record.kind));
  return false;
}

bool Interpreter::StepSolange(int k) {
  std::string_view text;
  PlanHandle* plan = nullptr;
  std::string read;
  if (!NextArgument(k, text, plan)) {
    read = ReadArgumentText(k);
    text = read;
  }
  TComplex value;
  if (!EvaluateTermInto(text, context_, plan, value, error_)) {
    ReportRunError(k, FirstTwo(error_));
    return false;
  }
  const bool runs = !IsZero(value);
  BlockRecord record;
  record.kind = BlockKind::Solange;
  record.start_line = state_.CurrentLine[k];
  record.condition = std::string(text);
  return EnterLoop(k, runs, std::move(record));
}

bool Interpreter::StepWiederhole(int k) {
  TComplex count;
  if (!ReadArguments(k, kBlockArguments, &count) || !IsIntegerValue(count)) {
    ReportRunError(k, ErrorCode::BadFunctionArgument);
    return false;
  }
  const auto n = static_cast<std::int32_t>(std::trunc(count.Re));
  BlockRecord record;
  record.kind = BlockKind::Wiederhole;
  record.start_line = state_.CurrentLine[k];
  record.remaining_count = n;
  return EnterLoop(k, n > 0, std::move(record));
}

bool Interpreter::StepFuer(int k) {
  std::string_view name;
  PlanHandle* unused = nullptr;
  LineSlot* slot = CurrentSlot(k);
  std::string read;
  if (!NextArgument(k, name, unused)) {
    read = ReadArgumentText(k);
    name = read;
    slot = nullptr;  // a name the slot does not know
  }
  const int index = VariableOf(slot, name);
  if (index < 0) {
    ReportRunError(k, ErrorCode::UnknownVariable);
    return false;
  }
  std::array<TComplex, kForBounds> bounds{};  // start, end, step
  if (!ReadArguments(k, kForBounds, bounds.data()) || !IsRealValue(bounds[0]) ||
      !IsRealValue(bounds[1]) || !IsRealValue(bounds[2]) || bounds[2].Re == 0) {
    ReportRunError(k, ErrorCode::BadFunctionArgument);
    return false;
  }
  if (changes_ != nullptr) changes_->BeforeWrite(index);
  project_.variables.SetReadValue(index, bounds[0]);
  BlockRecord record;
  record.kind = BlockKind::Fuer;
  record.start_line = state_.CurrentLine[k];
  record.variable_index = index;
  record.end_value = bounds[1].Re;
  record.step = bounds[2].Re;
  return PushRecord(k, std::move(record));
}

bool Interpreter::StepClosing(int k, BlockKind kind) {
  switch (kind) {
    case BlockKind::Wenn:
      return true;
    case BlockKind::Andernfalls:
      // Reached by running through the "Wenn" part: on past the "EndeWenn".
      if (!SkipToClosing(k, BlockKind::Wenn)) {
        ReportRunError(k, ErrorCode::BadWenn);
        return false;
      }
      return true;
    default:
      return CloseLoop(k, kind);
  }
}

bool Interpreter::PushRecord(int k, BlockRecord&& record) {
  if (!RecordFits(k, record)) {
    ReportRunError(k, StructureError(record.kind));
    return false;
  }
  if (changes_ != nullptr) changes_->BeforePush(k);
  state_.block_bytes[k] += RecordBytes(record);
  state_.BlockStack[k].push_back(std::move(record));
  return true;
}

[[gnu::always_inline]] inline bool Interpreter::LoopAgain(int k, BlockKind kind, BlockRecord& top) {
  switch (kind) {
    case BlockKind::Solange: {
      // No error test: a condition that has become an error reads as 0 and ends the loop.
      if (top.plan_call != lines_.Epoch()) {
        top.condition_plan = lines_.ConditionPlan(k, top.start_line, top.condition);
        top.plan_call = lines_.Epoch();
      }
      PlanHandle* const plan = top.condition_plan;
      TComplex value;
      if (plan != nullptr) {
        // The text path copies the term before anything can show a box.
        return EvaluateTermInto(top.condition, context_, plan, value, error_) && !IsZero(value);
      }
      const std::string condition = top.condition;
      return EvaluateTermInto(condition, context_, nullptr, value, error_) && !IsZero(value);
    }
    case BlockKind::Wiederhole:
      return CountDown(k, top);
    default:
      return CountOn(top);
  }
}

// The closing keyword of a loop. It uses the top record whatever its kind; with no
// record at all it reports the structure error of its own kind.
bool Interpreter::CloseLoop(int k, BlockKind kind) {
  auto& stack = state_.BlockStack[k];
  if (stack.empty()) {
    ReportRunError(k, StructureError(kind));
    return false;
  }
  if (LoopAgain(k, kind, stack.back())) {
    state_.CurrentLine[k] = stack.back().start_line;
    state_.ArgumentCursor[k] = 0;
  } else {
    if (changes_ != nullptr) changes_->BeforePop(k);
    PopRecord(k);
  }
  return true;
}

void Interpreter::AdvanceLine(int k) {
  if (!ValidSlot(k)) return;
  if (state_.CurrentLine[k] < std::numeric_limits<std::int32_t>::max()) ++state_.CurrentLine[k];
  state_.ArgumentCursor[k] = 0;
}

std::string Interpreter::ReadArgumentText(int k) {
  if (!ValidSlot(k)) return ErrorText(ErrorCode::Syntax);
  const std::string& line = Line(k);
  const std::int64_t cursor = state_.ArgumentCursor[k] < 1 ? 1 : state_.ArgumentCursor[k];
  const auto start = static_cast<std::size_t>(cursor - 1);
  const std::size_t end = ArgumentEnd(line, start);
  if (end != std::string_view::npos) {
    state_.ArgumentCursor[k] = ToInt32(static_cast<std::int64_t>(end) + 2);
    return line.substr(start, end - start);
  }
  if (start < line.size())
    state_.ArgumentCursor[k] = ToInt32(static_cast<std::int64_t>(line.size()) + 1);
  return ErrorText(ErrorCode::Syntax);
}

bool Interpreter::ReadArguments(int k, int n, TComplex* values) {
  if (!ValidSlot(k)) return false;
  for (int i = 0; i < n; ++i) {
    if (!ArgumentValue(k, values[i])) {
      ReportRunError(k, FirstTwo(error_));
      return false;
    }
  }
  return true;
}

// A skip the current line made before is taken again while the lines it passed over are
// unchanged; otherwise the lines are read as the rule says and the skip is remembered.
bool Interpreter::SkipToClosing(int k, BlockKind kind) {
  if (!ValidSlot(k)) return false;
  const ProgramText& program = project_.programs[k];
  const std::int32_t saved = state_.CurrentLine[k];
  state_.ArgumentCursor[k] = 0;
  const auto code = static_cast<std::int8_t>(kind);
  LineSlot* slot = CurrentSlot(k);
  if (slot != nullptr && slot->skip == code &&
      lines_.Unchanged(k, saved, slot->skip_target, slot->skip_fills)) {
    state_.CurrentLine[k] = slot->skip_target;
    return true;
  }
  std::int64_t depth = 1;
  for (std::int64_t n = static_cast<std::int64_t>(saved) + 1;
       n < static_cast<std::int64_t>(program.size()); ++n) {
    const LineForm form = lines_.FormAt(k, static_cast<std::int32_t>(n));
    if (form.opening == static_cast<int>(kind)) ++depth;
    if (form.closing == static_cast<int>(kind) && --depth == 0) {
      state_.CurrentLine[k] = static_cast<std::int32_t>(n);
      if (slot != nullptr) {
        slot->skip = code;
        slot->skip_target = static_cast<std::int32_t>(n);
        slot->skip_fills = lines_.Fills();
      }
      return true;
    }
  }
  state_.CurrentLine[k] = saved;
  return false;
}

int Interpreter::SkipToElseOrEnd(int k) {
  if (!ValidSlot(k)) return -1;
  const ProgramText& program = project_.programs[k];
  const std::int32_t saved = state_.CurrentLine[k];
  state_.ArgumentCursor[k] = 0;
  LineSlot* slot = CurrentSlot(k);
  if (slot != nullptr && slot->skip == LineSlot::kElseOrEnd &&
      lines_.Unchanged(k, saved, slot->skip_target, slot->skip_fills)) {
    state_.CurrentLine[k] = slot->skip_target;
    return slot->skip_answer;
  }
  std::int64_t depth = 1;
  for (std::int64_t n = static_cast<std::int64_t>(saved) + 1;
       n < static_cast<std::int64_t>(program.size()); ++n) {
    const LineForm form = lines_.FormAt(k, static_cast<std::int32_t>(n));
    if (form.opening == static_cast<int>(BlockKind::Wenn)) {
      ++depth;
      continue;
    }
    const int closing = form.closing;
    const bool end_wenn = closing == static_cast<int>(BlockKind::Wenn);
    if ((end_wenn || closing == static_cast<int>(BlockKind::Andernfalls)) && depth <= 1) {
      state_.CurrentLine[k] = static_cast<std::int32_t>(n);
      if (slot != nullptr) {
        slot->skip = LineSlot::kElseOrEnd;
        slot->skip_answer = static_cast<std::int8_t>(closing);
        slot->skip_target = static_cast<std::int32_t>(n);
        slot->skip_fills = lines_.Fills();
      }
      return closing;
    }
    if (end_wenn) --depth;
  }
  state_.CurrentLine[k] = saved;
  return -1;
}

}  // namespace ombrix
