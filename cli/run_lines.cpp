#include "cli/run_lines.h"

#include <limits>

#include "logic/complex/cp1252.h"
#include "logic/complex/fault.h"
#include "logic/evaluator/result_text.h"

namespace ombrix::cli {

bool ReadLineOption(const std::string& name, const std::string& value, LineOptions& options,
                    std::ostream& err) {
  if (name == kLinesFlag) {
    options.lines = true;
    return true;
  }
  std::int64_t line = 0;
  bool digits = !value.empty() && value.size() <= 10;
  for (const char c : value) digits = digits && c >= '0' && c <= '9';
  if (digits) line = std::stoll(value);
  if (!digits || line < 1 || line > std::numeric_limits<std::int32_t>::max()) {
    err << "Ein Haltepunkt ist eine Zeilennummer ab 1, nicht \"" << value << "\"\n";
    return false;
  }
  options.breaks.push_back(static_cast<std::int32_t>(line));
  return true;
}

bool CheckLineOptions(const LineOptions& options, std::ostream& err) {
  if (options.breaks.empty() || options.lines) return true;
  err << "Die Option --break wirkt nur zusammen mit --lines\n";
  return false;
}

LinePrinter::LinePrinter(const LineOptions& options, Runtime& runtime, std::ostream& out)
    : control_(runtime.Run()), out_(out) {
  if (!options.lines) return;
  debugger_ = &runtime.Debugger();
  for (const std::int32_t line : options.breaks) debugger_->SetBreakpoint(line - 1, true);
  const VariableTable& variables = runtime.Project().variables;
  debugger_->SetLineListener([this, &variables](const RunDebugger::LineEvent& event) {
    out_ << (event.line.program == MainProgram ? "H " : "M ") << event.line.line + 1 << '\t';
    const char* gap = "";
    for (const int j : event.changed) {
      out_ << gap << Cp1252ToUtf8(variables.Name(j)) << '='
           << Cp1252ToUtf8(MakePairText(variables.CurrentValue(j)));
      gap = " ";
    }
    out_ << '\n';
  });
}

RunOutcome LinePrinter::StepMain(StepBudget budget) {
  if (debugger_ == nullptr) return control_.StepMain(budget);
  const std::int64_t start = debugger_->StepsRun();
  for (;;) {
    StepBudget rest;
    if (budget.lines > 0) {
      rest.lines = budget.lines - (debugger_->StepsRun() - start);
      if (rest.lines <= 0) return RunOutcome::Running;
    }
    const RunOutcome outcome = debugger_->Slice(rest);
    if (outcome != RunOutcome::Running) return outcome;
    if (debugger_->State() != DebugState::Paused) return outcome;
    out_ << "PAUSE H " << debugger_->NextLine().line + 1 << '\n';
    debugger_->Continue();
  }
}

void WriteExplanation(const std::string& term, const EvalContext& context, bool display,
                      std::ostream& out) {
  std::vector<std::string> texts;
  try {
    ExplainTerm(term, context, texts);
    if (display) texts.push_back(DisplayOfResult(texts.back()));
  } catch (const Fault& fault) {
    texts.push_back(std::string("FAULT: ") + fault.what());
  }
  for (const std::string& text : texts) out << Cp1252ToUtf8(text) << '\n';
  out << '\n';
}

}  // namespace ombrix::cli
