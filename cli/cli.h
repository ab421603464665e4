// The ombrix-cli subcommands. Arguments arrive as UTF-8 and output leaves as UTF-8;
// inside, every text is Windows-1252.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "logic/complex/messages.h"
#include "logic/program/project_content.h"
#include "platform/posix_file_store.h"

namespace ombrix::cli {

// Exit codes shared by all subcommands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitStepLimit = 4;
// Not an exit code: the tool without Qt cannot do the command itself (pictures, or the
// system's decimal separator) and hands the whole command to the tool with Qt. Nothing
// has been written when a command answers it.
inline constexpr int kExitHandOver = -1;

// Each subcommand gets its arguments after the subcommand's name.
int RunEval(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunResave(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunFormat(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunRun(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// "--set NAME=TERM" of run, in order: each term is evaluated with the start values so far
// and becomes the start value of the project's variable NAME. False, with the reason as
// a message box, for an unknown name or a term that gives an error.
[[nodiscard]] bool ApplyStartValues(const std::vector<std::string>& settings,
                                    ProjectContent& project, MessageBoxes& boxes);

// The whole tool: argv without the program name.
int Main(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Every message box becomes one line on `err`: title, ": ", text with each line break
// written as the two characters \n. Confirmations answer OK.
class MessageLineBoxes : public MessageBoxes {
 public:
  explicit MessageLineBoxes(std::ostream& err) : err_(err) {}
  void Show(MessageKind kind, const std::string& text, const std::string& title) override;
  bool Confirm(const std::string& text) override;

 private:
  std::ostream& err_;
};

// Sets the process-wide separator as the system's regional settings give it; false
// where this tool cannot tell them.
[[nodiscard]] bool ApplySystemSeparator();

// Parses "," or "." into the process-wide separator; false for anything else.
bool ApplySeparatorArgument(const std::string& value);

// The separator a command was given, else the system's; false where this tool cannot
// tell the system's (the command is then handed over).
[[nodiscard]] bool ApplySeparatorOption(const std::optional<std::string>& value);

// The options a subcommand knows.
struct OptionSyntax {
  std::vector<std::string> flags;   // without a value
  std::vector<std::string> valued;  // with a value: "--name VALUE", or "--name=VALUE"
  bool equals_form = true;          // false: "--name=VALUE" is no known option
};

// Reads the words after a subcommand's name. A word that does not start with "--", and
// every word after a lone "--", goes to `operand`; a flag (with an empty value) or a
// known option with its value goes to `option`, which may refuse it. False on a usage
// error, with the reason on `err` unless `err` is null (`option` writes its own).
[[nodiscard]] bool ReadOptions(
    const std::vector<std::string>& args, const OptionSyntax& syntax, std::ostream* err,
    const std::function<void(const std::string& word)>& operand,
    const std::function<bool(const std::string& name, const std::string& value)>& option);

// True for "," or "."; else false, with the reason on `err` unless `err` is null.
[[nodiscard]] bool CheckSeparatorArgument(const std::string& value, std::ostream* err);

// Writes the subcommand's usage line and gives the exit code for a usage error.
int UsageError(std::ostream& err, const char* usage);

// The load or save error as a message box: a fault as the platform shows it.
void ShowProjectError(MessageBoxes& boxes, const ProjectError& error);

// Loads the project file named in UTF-8; false, with the reason as a message box,
// when it cannot.
[[nodiscard]] bool LoadProjectReporting(ProjectContent& project, const std::string& path,
                                        MessageBoxes& boxes);

}  // namespace ombrix::cli
