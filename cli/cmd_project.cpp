#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "logic/complex/cp1252.h"
#include "logic/complex/fault.h"
#include "logic/complex/numtext.h"
#include "logic/program/program_text.h"
#include "logic/project/project_file.h"

namespace ombrix::cli {

namespace {

const char* const kResaveUsage =
    "Aufruf: ombrix-cli resave [--decimal-separator SEP] [--output-decimal-separator SEP] IN OUT";
const char* const kFormatUsage = "Aufruf: ombrix-cli format [--decimal-separator SEP] PROJECT";

struct Options {
  std::optional<char> separator;
  std::optional<char> output_separator;
  std::vector<std::string> files;
};

// Reads "--name SEP" and "--name=SEP" options and the file arguments; false (with the
// reason on `err`) on anything else. "--" ends the options.
bool ParseOptions(const std::vector<std::string>& args, bool allow_output, Options& options,
                  std::ostream& err) {
  bool only_files = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (only_files || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      options.files.push_back(arg);
      continue;
    }
    if (arg == "--") {
      only_files = true;
      continue;
    }
    std::string name = arg;
    std::optional<std::string> value;
    if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
    }
    std::optional<char>* target = nullptr;
    if (name == "--decimal-separator") target = &options.separator;
    if (allow_output && name == "--output-decimal-separator") target = &options.output_separator;
    if (target == nullptr) {
      err << "Unbekannte Option: " << arg << '\n';
      return false;
    }
    if (!value) {
      if (i + 1 >= args.size()) {
        err << "Der Option " << name << " fehlt der Wert\n";
        return false;
      }
      value = args[++i];
    }
    if (*value != "," && *value != ".") {
      err << "Das Dezimaltrennzeichen muss \",\" oder \".\" sein, nicht \"" << *value << "\"\n";
      return false;
    }
    *target = (*value)[0];
  }
  return true;
}

void ShowProjectError(MessageBoxes& boxes, const ProjectError& error) {
  if (error.fault) {
    boxes.Show(MessageKind::Fault, FaultDisplayText(error.message));
  } else {
    boxes.Show(MessageKind::Error, error.message);
  }
}

}  // namespace

int RunResave(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
  Options options;
  if (!ParseOptions(args, true, options, err) || options.files.size() != 2) {
    err << kResaveUsage << '\n';
    return kExitUsage;
  }
  if (options.separator) ApplySeparatorArgument(std::string(1, *options.separator));
  const char output_separator = options.output_separator.value_or(DecimalSeparator());

  MessageLineBoxes line_boxes(err);
  MessageBoxes& boxes = line_boxes;
  ProjectContent project;
  if (const std::optional<ProjectError> error =
          LoadProject(project, std::filesystem::path(options.files[0]))) {
    ShowProjectError(boxes, *error);
    return kExitFailed;
  }
  SetDecimalSeparator(output_separator);
  if (const std::optional<ProjectError> error =
          SaveProject(project, std::filesystem::path(options.files[1]))) {
    ShowProjectError(boxes, *error);
    return kExitFailed;
  }
  return kExitOk;
}

int RunFormat(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options options;
  if (!ParseOptions(args, false, options, err) || options.files.size() != 1) {
    err << kFormatUsage << '\n';
    return kExitUsage;
  }
  if (options.separator) ApplySeparatorArgument(std::string(1, *options.separator));

  MessageLineBoxes line_boxes(err);
  MessageBoxes& boxes = line_boxes;
  ProjectContent project;
  if (const std::optional<ProjectError> error =
          LoadProject(project, std::filesystem::path(options.files[0]))) {
    ShowProjectError(boxes, *error);
    return kExitFailed;
  }
  for (int slot : {MainProgram, MouseHandlerProgram}) {
    VectorEditorLines editor;
    // A faulty structure is reported on `err` and blocks nothing, as in the editor.
    LoadProgramIntoEditor(project.Programs[static_cast<std::size_t>(slot)], slot, editor, boxes);
    out << Cp1252ToUtf8(editor.caption) << '\n';
    for (const std::string& line : editor.lines) out << Cp1252ToUtf8(line) << '\n';
  }
  return kExitOk;
}

}  // namespace ombrix::cli
