// ombrix-cli built for node: what the desktop tool takes from Qt. The regional settings
// come from node's environment; the picture keeps no pixels and no picture files are read
// or written (the browser's page draws the pixels).
#include <emscripten.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/run_picture.h"
#include "logic/complex/num_text.h"

namespace ombrix::cli {

namespace {

// The decimal separator of node's locale (LC_ALL, LC_NUMERIC, LANG as POSIX names it), as
// the browser's number format writes it; '.' for the C locale.
// clang-format off
EM_JS(int, NodeLocaleSeparator, (), {
  const env = process.env;
  const name = env.LC_ALL || env.LC_NUMERIC || env.LANG || "C";
  const tag = name.split(/[.@]/)[0].replace("_", "-");
  if (tag === "C" || tag === "POSIX") return 46;
  try {
    return new Intl.NumberFormat(tag).format(1.5).charCodeAt(1) === 44 ? 44 : 46;
  } catch (e) {
    return 46;
  }
});
// clang-format on

}  // namespace

std::unique_ptr<RunPicture> MakeRunPicture(bool) { return MakeBlankRunPicture(); }

bool ApplySystemSeparator() {
  SetDecimalSeparator(static_cast<char>(NodeLocaleSeparator()));
  return true;
}

}  // namespace ombrix::cli

int main(int argc, char** argv) {
  // Output in blocks: node makes every write a call of its own, which a trace of millions
  // of lines would wait for.
  static char buffer[1 << 16];
  std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
  const std::vector<std::string> args(argv + 1, argv + argc);
  const int status = ombrix::cli::Main(args, std::cout, std::cerr);
  std::cout.flush();
  return status;
}
