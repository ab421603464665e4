#include "cli/cli.h"

namespace ombrix::cli {

int RunRun(const std::vector<std::string>&, std::ostream&, std::ostream& err) {
  err << "ombrix-cli run: noch nicht verf\xC3\xBC" "gbar\n";
  return kExitUsage;
}

}  // namespace ombrix::cli
