// The interpreter apart from running lines: its construction, a single step with the
// report of a fault that ends it, the run-error box, and the restore of a step back.
#include <algorithm>
#include <string>

#include "logic/complex/fault.h"
#include "logic/evaluator/result_text.h"
#include "logic/program/interpreter.h"

namespace ombrix {

Interpreter::Interpreter(ProjectContent& project, DrawingState& drawing, Canvas& canvas,
                         MessageBoxes& boxes, RunFlags& flags, InterpreterState& state)
    : project_(project),
      drawing_(drawing),
      canvas_(canvas),
      boxes_(boxes),
      flags_(flags),
      state_(state),
      lines_(project.programs),
      context_{project.functions, project.variables, drawing, boxes, kPowerProductBudget, &plans_} {
}

const std::string& Interpreter::Line(int k) const {
  static const std::string empty;
  const ProgramText& program = project_.programs[k];
  const std::int32_t n = state_.CurrentLine[k];
  if (n < 0 || static_cast<std::size_t>(n) >= program.size()) return empty;
  return program[static_cast<std::size_t>(n)];
}

void Interpreter::ClearRunFlag(int k) {
  if (k == MainProgram) {
    flags_.MainRunning = false;
  } else {
    flags_.MouseHandlerEnabled = false;
  }
}

bool Interpreter::ExecuteStep(int k) {
  if (!ValidSlot(k) || !AtLine(k)) return false;
  if (observer_ != nullptr) observer_->BeforeStep(k);
  lines_.NewCall();
  const std::int32_t cursor = state_.ArgumentCursor[k];
  try {
    return Step(k);
  } catch (...) {
    return StepThrew(k, cursor);
  }
}

// Inside a handler: what a step that threw leaves behind.
bool Interpreter::StepThrew(int k, std::int32_t cursor) {
  step_slot_[k] = {};
  try {
    throw;
  } catch (const Interrupted&) {
    // Every line evaluates before it changes anything but where its arguments are read;
    // the line counter may have been reset meanwhile by a new start.
    state_.ArgumentCursor[k] = cursor;
    throw;
  } catch (const Fault& fault) {
    // Reported once, as the application's top-level handler shows a fault; the run
    // stops here instead of meeting the same fault again at the next idle call.
    ClearRunFlag(k);
    boxes_.Show(MessageKind::Fault, FaultDisplayText(fault.what()));
    return false;
  }
}

// Without telling the change observer: this is no step.
void Interpreter::Restore(const StepUndo& undo) {
  for (const StepUndo::Value& value : undo.values) {
    project_.variables.SetCurrentValue(value.variable, value.old);
  }
  // Newest first: a record a step pushed and then changed goes back as it was pushed.
  for (auto change = undo.stacks.rbegin(); change != undo.stacks.rend(); ++change) {
    const int k = change->slot;
    auto& stack = state_.BlockStack[k];
    std::size_t& bytes = state_.block_bytes[k];
    if (change->change != StackChange::Pop && stack.empty()) continue;
    switch (change->change) {
      case StackChange::Push:
        PopRecord(k);
        break;
      case StackChange::Pop:
        bytes += RecordBytes(change->record);
        stack.push_back(change->record);
        break;
      case StackChange::TopChange:
        bytes = bytes - std::min(bytes, RecordBytes(stack.back())) + RecordBytes(change->record);
        stack.back() = change->record;
        break;
    }
  }
  state_.CurrentLine = undo.line;
  state_.ArgumentCursor = undo.cursor;
}

void Interpreter::ReportRunError(int k, std::string_view code) {
  if (!ValidSlot(k)) return;
  ReportRunStop(k, ErrorMessageText(code).substr(2));
}

void Interpreter::ReportRunError(int k, ErrorCode code) { ReportRunError(k, ErrorText(code)); }

void Interpreter::ReportRunStop(int k, const std::string& message) {
  ClearRunFlag(k);
  const std::int64_t number = static_cast<std::int64_t>(state_.CurrentLine[k]) + 1;
  boxes_.Show(MessageKind::Error, message + ":\n\nZeile " + std::to_string(number) + ": '" +
                                      Line(k) + "'\n\nin: '" + ProgramNames[k] + "'");
}

}  // namespace ombrix
