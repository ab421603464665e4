// Programs of the tool's own that stand in the libexec folder beside the programs' bin
// folder (the metafile reader, the command-line tool's part with Qt). The build tree
// mirrors the installed one, with the programs one folder deeper (ui/, cli/) or two
// (tests/platform/).
#pragma once

#include <optional>
#include <string>

namespace ombrix {

// The path of the program at `from_bin` (relative to the bin folder) that this process
// may run; none where it is missing.
[[nodiscard]] std::optional<std::string> HelperProgram(const char* from_bin);

}  // namespace ombrix
