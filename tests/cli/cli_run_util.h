// Runs ombrix-cli in-process and collects what it printed.
#pragma once

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

}  // namespace ombrix::cli::testing
