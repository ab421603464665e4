// The ombrix-cli subcommands. Arguments arrive as UTF-8 and output leaves as UTF-8;
// inside, every text is Windows-1252.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "logic/complex/messages.h"

namespace ombrix::cli {

// Exit codes shared by all subcommands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitStepLimit = 4;

// Each subcommand gets its arguments after the subcommand's name.
int RunEval(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunResave(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunFormat(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunRun(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

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

// Parses "," or "." into the process-wide separator; false for anything else.
bool ApplySeparatorArgument(const std::string& value);

}  // namespace ombrix::cli
