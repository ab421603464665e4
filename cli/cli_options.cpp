// What the subcommands share: reading options and loading the project.
#include <algorithm>
#include <filesystem>
#include <optional>
#include <utility>

#include "cli/cli.h"
#include "logic/complex/fault.h"

namespace ombrix::cli {

namespace {

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// The valued option at args[i], "--name value" or "--name=value": its name and value, with
// i on the last word it took; nothing, and the message, when it is unknown or lacks its value.
std::optional<std::pair<std::string, std::string>> ValuedOption(
    const std::vector<std::string>& args, std::size_t& i, const OptionSyntax& syntax,
    std::ostream* err) {
  const std::string& arg = args[i];
  std::string name = arg;
  std::optional<std::string> value;
  if (const std::size_t eq = arg.find('='); syntax.equals_form && eq != std::string::npos) {
    name = arg.substr(0, eq);
    value = arg.substr(eq + 1);
  }
  if (!Contains(syntax.valued, name)) {
    if (err) *err << "Unbekannte Option: " << arg << '\n';
    return std::nullopt;
  }
  if (!value) {
    if (i + 1 >= args.size()) {
      if (err) *err << "Der Option " << name << " fehlt der Wert\n";
      return std::nullopt;
    }
    value = args[++i];
  }
  return std::pair{name, *value};
}

}  // namespace

bool ReadOptions(
    const std::vector<std::string>& args, const OptionSyntax& syntax, std::ostream* err,
    const std::function<void(const std::string& word)>& operand,
    const std::function<bool(const std::string& name, const std::string& value)>& option) {
  bool only_operands = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (only_operands || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      operand(arg);
      continue;
    }
    if (arg == "--") {
      only_operands = true;
      continue;
    }
    if (Contains(syntax.flags, arg)) {
      if (!option(arg, std::string())) return false;
      continue;
    }
    const std::optional<std::pair<std::string, std::string>> valued =
        ValuedOption(args, i, syntax, err);
    if (!valued || !option(valued->first, valued->second)) return false;
  }
  return true;
}

bool CheckSeparatorArgument(const std::string& value, std::ostream* err) {
  if (value == "," || value == ".") return true;
  if (err)
    *err << "Das Dezimaltrennzeichen muss \",\" oder \".\" sein, nicht \"" << value << "\"\n";
  return false;
}

int UsageError(std::ostream& err, const char* usage) {
  err << usage << '\n';
  return kExitUsage;
}

void ShowProjectError(MessageBoxes& boxes, const ProjectError& error) {
  if (error.fault) {
    boxes.Show(MessageKind::Fault, FaultDisplayText(ReadableFieldFault(error.message)));
  } else {
    boxes.Show(MessageKind::Error, error.message);
  }
}

bool LoadProjectReporting(ProjectContent& project, const std::string& path, MessageBoxes& boxes) {
  const std::optional<ProjectError> error = LoadProject(project, std::filesystem::path(path));
  if (!error) return true;
  ShowProjectError(boxes, *error);
  return false;
}

}  // namespace ombrix::cli
