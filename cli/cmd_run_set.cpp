// ombrix-cli run --set NAME=TERM: start values given on the command line.
#include "cli/cli.h"
#include "logic/complex/cp1252.h"
#include "logic/complex/fault.h"
#include "logic/evaluator/evaluate.h"
#include "logic/evaluator/result_text.h"
#include "logic/program/drawing_state.h"

namespace ombrix::cli {

bool ApplyStartValues(const std::vector<std::string>& settings, ProjectContent& project,
                      MessageBoxes& boxes) {
  VariableTable& variables = project.variables;
  DrawingState drawing;
  const EvalContext context{project.functions, variables, drawing, boxes};
  for (const std::string& setting : settings) {
    const std::size_t eq = setting.find('=');
    const std::string name = Utf8ToCp1252(setting.substr(0, eq));
    const int j = eq == std::string::npos ? -1 : variables.FindVariable(LowerCase1252(name));
    if (j < 0) {
      boxes.Show(MessageKind::Error, eq == std::string::npos || name.empty()
                                         ? "Ein Startwert wird als NAME=TERM angegeben, nicht \"" +
                                               Utf8ToCp1252(setting) + "\"."
                                         : "Die Variable '" + name + "' gibt es im Projekt nicht.");
      return false;
    }
    // As a run sees them: the start values given so far are the current values.
    variables.CopyStartToCurrent();
    try {
      const std::string result = EvaluateTerm(Utf8ToCp1252(setting.substr(eq + 1)), context);
      if (IsErrorText(result)) {
        boxes.Show(MessageKind::Error, "Der Startwert von '" + name + "' ist ung\xFCltig: " +
                                           ErrorMessageText(result).substr(2) + ".");
        return false;
      }
      variables.SetStartValue(j, ParseNumberText(result));
    } catch (const Fault& fault) {
      boxes.Show(MessageKind::Fault, FaultDisplayText(fault.what()));
      return false;
    }
  }
  return true;
}

}  // namespace ombrix::cli
