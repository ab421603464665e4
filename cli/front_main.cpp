// ombrix-cli: the tool without Qt, which starts in a few milliseconds where loading Qt
// takes tens. A command that reads or writes picture files, or needs the system's decimal
// separator, goes whole to the tool with Qt (ombrix-cli-qt), which takes this process's
// place before anything is written.
#include <unistd.h>

#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/run_picture.h"
#include "platform/helper_program.h"

namespace ombrix::cli {

std::unique_ptr<RunPicture> MakeRunPicture(bool files) {
  return files ? nullptr : MakeBlankRunPicture();
}

bool ApplySystemSeparator() { return false; }

}  // namespace ombrix::cli

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const int status = ombrix::cli::Main(args, std::cout, std::cerr);
  if (status != ombrix::cli::kExitHandOver) return status;
  std::cout.flush();
  if (const std::optional<std::string> program = ombrix::HelperProgram(OMBRIX_CLI_QT_FROM_BIN)) {
    ::execv(program->c_str(), argv);
  }
  ombrix::cli::MessageLineBoxes line_boxes(std::cerr);
  ombrix::MessageBoxes& boxes = line_boxes;
  boxes.Show(
      ombrix::MessageKind::Error,
      "ombrix-cli-qt fehlt: ohne es liest und schreibt ombrix-cli keine Bilddateien und kennt "
      "das Dezimalzeichen des Systems nicht (--decimal-separator gibt es an).");
  return ombrix::cli::kExitFailed;
}
