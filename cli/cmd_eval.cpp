// ombrix-cli eval: evaluates terms against the built-ins, an optional project and the
// variables and functions given on the command line.
#include <optional>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/run_lines.h"
#include "logic/complex/cp1252.h"
#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"
#include "logic/evaluator/evaluate.h"
#include "logic/evaluator/result_text.h"
#include "logic/program/drawing_state.h"
#include "logic/program/project_content.h"
#include "logic/project/project_file.h"

namespace ombrix::cli {

namespace {

const char* const kEvalUsage =
    "Aufruf: ombrix-cli eval [--decimal-separator SEP] [--project FILE] [--var NAME=TERM]... "
    "[--fun NAME=TERM]... [--display] [--explain] TERM...";

struct Definition {
  bool variable;
  std::string name;  // Windows-1252
  std::string term;
};

struct EvalOptions {
  std::optional<std::string> separator;
  std::optional<std::string> project;
  std::vector<Definition> definitions;
  bool display = false;
  bool explain = false;
  std::vector<std::string> terms;  // Windows-1252
};

bool SplitDefinition(const std::string& text, bool variable, Definition& out) {
  const std::size_t eq = text.find('=');
  if (eq == std::string::npos || eq == 0) return false;
  out.variable = variable;
  out.name = Utf8ToCp1252(text.substr(0, eq));
  out.term = Utf8ToCp1252(text.substr(eq + 1));
  return true;
}

// False on a usage error. Options take their value from the next word only: in
// "--var=a=1" the name would stand between two "=".
bool ParseOptions(const std::vector<std::string>& args, EvalOptions& options) {
  const OptionSyntax syntax{
      {"--display", "--explain"}, {"--decimal-separator", "--project", "--var", "--fun"}, false};
  const bool read = ReadOptions(
      args, syntax, nullptr,
      [&](const std::string& word) { options.terms.push_back(Utf8ToCp1252(word)); },
      [&](const std::string& name, const std::string& value) {
        if (name == "--display") {
          options.display = true;
        } else if (name == "--explain") {
          options.explain = true;
        } else if (name == "--decimal-separator") {
          if (!CheckSeparatorArgument(value, nullptr)) return false;
          options.separator = value;
        } else if (name == "--project") {
          options.project = value;
        } else {
          Definition definition;
          if (!SplitDefinition(value, name == "--var", definition)) return false;
          options.definitions.push_back(std::move(definition));
        }
        return true;
      });
  return read && !options.terms.empty();
}

int FindFunctionByName(const FunctionTable& functions, const std::string& name) {
  const std::string lowered = LowerCase1252(name);
  for (int k = functions.FirstUserFunction(); k <= functions.LastFunction(); ++k) {
    if (LowerCase1252(functions.Name(k)) == lowered) return k;
  }
  return -1;
}

// Adds the definition, or replaces the one of the same name given before (a second
// entry of that name could never be reached). False when the table is full.
bool Define(const Definition& definition, ProjectContent& project, const EvalContext& context) {
  if (definition.variable) {
    VariableTable& variables = project.variables;
    // The value is computed with the variables so far; an error reads as 0.
    const TComplex value = ParseNumberText(EvaluateTerm(definition.term, context));
    int j = variables.FindVariable(LowerCase1252(definition.name));
    if (j < 0) {
      if (variables.LastVariable() + 1 >= kTableCapacity) return false;
      j = variables.LastVariable() + 1;
      variables.SetLastVariable(j);
      variables.SetName(j, definition.name);
    }
    variables.SetStartValue(j, value);
    variables.SetCurrentValue(j, value);
    return true;
  }
  FunctionTable& functions = project.functions;
  int k = FindFunctionByName(functions, definition.name);
  if (k < 0) {
    if (functions.LastFunction() + 1 >= kTableCapacity) return false;
    k = functions.LastFunction() + 1;
    functions.SetLastFunction(k);
    functions.SetName(k, definition.name);
  }
  functions.SetTerm(k, RemoveSpaces(definition.term));
  return true;
}

}  // namespace

int RunEval(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  EvalOptions options;
  if (!ParseOptions(args, options)) {
    return UsageError(err, kEvalUsage);
  }
  if (!ApplySeparatorOption(options.separator)) return kExitHandOver;

  MessageLineBoxes lines(err);
  MessageBoxes& boxes = lines;
  ProjectContent project;
  DrawingState drawing;
  const EvalContext context{project.functions, project.variables, drawing, boxes};

  if (options.project) {
    if (!LoadProjectReporting(project, *options.project, boxes)) return kExitFailed;
    // As at a program start: the start values become the current values.
    project.variables.CopyStartToCurrent();
  }

  try {
    for (const Definition& definition : options.definitions) {
      if (!Define(definition, project, context)) {
        boxes.Show(MessageKind::Error, definition.variable ? "Die Variablentabelle ist voll."
                                                           : "Die Funktionstabelle ist voll.");
        return kExitFailed;
      }
    }
  } catch (const Fault& fault) {
    boxes.Show(MessageKind::Fault, FaultDisplayText(fault.what()));
    return kExitFailed;
  }

  for (const std::string& term : options.terms) {
    if (options.explain) {
      WriteExplanation(term, context, options.display, out);
      continue;
    }
    std::string line;
    try {
      line = options.display ? EvaluateForDisplay(term, context) : EvaluateTerm(term, context);
    } catch (const Fault& fault) {
      line = std::string("FAULT: ") + fault.what();
    }
    out << Cp1252ToUtf8(line) << '\n';
  }
  out.flush();
  return kExitOk;
}

}  // namespace ombrix::cli
