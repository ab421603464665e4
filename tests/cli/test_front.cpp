// ombrix-cli without Qt and ombrix-cli-qt answer every command alike: the one without Qt
// answers what it can and hands the rest over before it has written anything.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/cli/cli_run_util.h"

namespace ombrix::cli::testing {
namespace {

struct Answer {
  int status;
  std::string out;
  std::string err;
  std::string file;  // what the command wrote to {out}, if anything
};

// Runs `program` with `environment` and `args` through the shell; "{out}" in an argument
// stands for a file of the run's own, whose bytes the answer holds.
Answer RunProgram(const std::string& program, const std::string& environment,
                  const std::vector<std::string>& args, const std::filesystem::path& dir) {
  std::string written;
  std::string command = "env " + environment + " '" + program + "'";
  for (std::string arg : args) {
    if (const auto at = arg.find("{out}"); at != std::string::npos) {
      written = arg.replace(at, 5, (dir / "written").string());
    }
    command += " '" + arg + "'";
  }
  command += " >'" + (dir / "out").string() + "' 2>'" + (dir / "err").string() + "'";
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadBytes(dir / "out"),
          ReadBytes(dir / "err"), written.empty() ? "" : ReadBytes(written)};
}

struct FrontRow {
  const char* name;
  const char* environment;
  std::vector<std::string> args;
};

TEST(Front, AnswersEveryCommandAsTheToolWithQt) {
  const std::string examples = OMBRIX_SOURCE_DIR "/examples/";
  const FrontRow rows[] = {
      {"a term under the separator given",
       "LC_ALL=C",
       {"eval", "--decimal-separator", ",", "1,5+2"}},
      {"a term under the system's separator", "LC_ALL=de_DE.UTF-8", {"eval", "1,5+2"}},
      {"a run that writes no picture, traced",
       "LC_ALL=C",
       {"run", "--decimal-separator", ".", "--trace", examples + "spirale.omp"}},
      {"a run that writes a PNG",
       "LC_ALL=C",
       {"run", "--decimal-separator", ",", "--png", "{out}.png", examples + "farbkreis.omp"}},
      {"a run past its step limit, with clicks",
       "LC_ALL=C",
       {"run", "--decimal-separator", ",", "--max-steps", "500", "--click", "200,200",
        examples + "mausblume.omp"}},
      {"a run under the system's separator",
       "LC_ALL=de_DE.UTF-8",
       {"run", examples + "einheitswurzeln.omp"}},
      {"a project saved again", "LC_ALL=C", {"resave", examples + "julia.omp", "{out}"}},
      {"no command", "LC_ALL=C", {}},
  };
  for (const FrontRow& row : rows) {
    SCOPED_TRACE(row.name);
    const ScratchDir front_dir("ombrix-front-");
    const ScratchDir qt_dir("ombrix-front-qt-");
    const Answer front = RunProgram(OMBRIX_CLI, row.environment, row.args, front_dir.Path());
    const Answer qt = RunProgram(OMBRIX_CLI_QT, row.environment, row.args, qt_dir.Path());
    EXPECT_EQ(front.status, qt.status);
    EXPECT_EQ(front.out, qt.out);
    EXPECT_EQ(front.err, qt.err);
    EXPECT_EQ(front.file, qt.file);
    const bool writes = std::any_of(row.args.begin(), row.args.end(), [](const std::string& arg) {
      return arg.find("{out}") != std::string::npos;
    });
    EXPECT_EQ(writes, !front.file.empty());
  }
}

TEST(Front, StartsWithoutLoadingQt) {
  const ScratchDir dir("ombrix-front-libraries-");
  const Answer libraries =
      RunProgram(OMBRIX_CLI, "LD_TRACE_LOADED_OBJECTS=1", {"eval", "1"}, dir.Path());
  EXPECT_NE(libraries.out.find("libstdc++"), std::string::npos) << libraries.out;
  EXPECT_EQ(libraries.out.find("Qt6"), std::string::npos) << libraries.out;
}

}  // namespace
}  // namespace ombrix::cli::testing
