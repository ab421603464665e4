#include "platform/helper_program.h"

#include <limits.h>
#include <unistd.h>

namespace ombrix {

std::optional<std::string> HelperProgram(const char* from_bin) {
  char self[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return std::nullopt;
  std::string folder(self, static_cast<std::size_t>(length));
  folder.erase(folder.rfind('/') + 1);
  for (const char* up : {"", "../"}) {
    std::string candidate = folder + up + from_bin;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return std::nullopt;
}

}  // namespace ombrix
