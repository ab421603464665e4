#include "cli/cli.h"

namespace ombrix::cli {

int RunResave(const std::vector<std::string>&, std::ostream&, std::ostream& err) {
  err << "ombrix-cli resave: noch nicht verf\xC3\xBC" "gbar\n";
  return kExitUsage;
}

int RunFormat(const std::vector<std::string>&, std::ostream&, std::ostream& err) {
  err << "ombrix-cli format: noch nicht verf\xC3\xBC" "gbar\n";
  return kExitUsage;
}

}  // namespace ombrix::cli
