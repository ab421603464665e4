// Runs ombrix-cli in-process and collects what it printed.
#pragma once

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace ombrix::cli::testing {

struct Result {
  int status;
  std::string out;
  std::string err;
};

// `command` goes in front of the arguments unless it is empty.
inline Result Invoke(const std::string& command, std::vector<std::string> args) {
  if (!command.empty()) args.insert(args.begin(), command);
  std::ostringstream out;
  std::ostringstream err;
  const int status = Main(args, out, err);
  return {status, out.str(), err.str()};
}

inline std::string ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A directory of its own under the temporary directory, removed with everything in it.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& prefix) {
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = std::filesystem::temp_directory_path() /
            (prefix + std::to_string(::getpid()) + "-" + std::to_string(stamp));
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace ombrix::cli::testing
