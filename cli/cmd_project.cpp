#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "logic/complex/cp1252.h"
#include "logic/complex/num_text.h"
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

// Reads the separator options and the file arguments; false (with the reason on `err`)
// on anything else.
bool ParseOptions(const std::vector<std::string>& args, bool allow_output, Options& options,
                  std::ostream& err) {
  OptionSyntax syntax{{}, {"--decimal-separator"}};
  if (allow_output) syntax.valued.push_back("--output-decimal-separator");
  return ReadOptions(
      args, syntax, &err, [&](const std::string& word) { options.files.push_back(word); },
      [&](const std::string& name, const std::string& value) {
        if (!CheckSeparatorArgument(value, &err)) return false;
        (name == "--decimal-separator" ? options.separator : options.output_separator) = value[0];
        return true;
      });
}

std::optional<std::string> AsText(std::optional<char> separator) {
  if (!separator) return std::nullopt;
  return std::string(1, *separator);
}

}  // namespace

int RunResave(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
  Options options;
  if (!ParseOptions(args, true, options, err) || options.files.size() != 2) {
    return UsageError(err, kResaveUsage);
  }
  if (!ApplySeparatorOption(AsText(options.separator))) return kExitHandOver;
  const char output_separator = options.output_separator.value_or(DecimalSeparator());

  MessageLineBoxes line_boxes(err);
  MessageBoxes& boxes = line_boxes;
  ProjectContent project;
  if (!LoadProjectReporting(project, options.files[0], boxes)) return kExitFailed;
  // The terms and program lines follow the numbers into the other separator.
  if (output_separator != DecimalSeparator()) SwapDecimalSeparators(project);
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
    return UsageError(err, kFormatUsage);
  }
  if (!ApplySeparatorOption(AsText(options.separator))) return kExitHandOver;

  MessageLineBoxes line_boxes(err);
  MessageBoxes& boxes = line_boxes;
  ProjectContent project;
  if (!LoadProjectReporting(project, options.files[0], boxes)) return kExitFailed;
  for (int slot : {MainProgram, MouseHandlerProgram}) {
    VectorEditorLines editor;
    // A faulty structure is reported on `err` and blocks nothing, as in the editor.
    LoadProgramIntoEditor(project.programs[static_cast<std::size_t>(slot)], slot, editor, boxes);
    out << Cp1252ToUtf8(editor.caption) << '\n';
    for (const std::string& line : editor.lines) out << Cp1252ToUtf8(line) << '\n';
  }
  return kExitOk;
}

}  // namespace ombrix::cli
