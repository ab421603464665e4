// ombrix-cli run --set NAME=TERM: start values from the command line, in their order.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "logic/complex/num_text.h"
#include "logic/project/project_file.h"
#include "tests/cli/cli_run_util.h"
#include "tests/support/tables.h"

namespace ombrix::cli {
namespace {

namespace fs = std::filesystem;

struct SetRow {
  const char* name;
  std::vector<std::string> options;
  int status;
  const char* message_part;  // in stderr, "" for none expected
};

class CliSet : public ::testing::TestWithParam<SetRow> {
 protected:
  static void SetUpTestSuite() {
    SetDecimalSeparator('.');
    ProjectContent project;
    ombrix::testing::AddVariable(project.variables, "x");
    ombrix::testing::AddVariable(project.variables, "n", {1, 0});
    // A failing line tells that n was 7 when the run began.
    project.programs[MainProgram] = {"Wenn(n=7)", "n:=q", "EndeWenn"};
    file_ = fs::temp_directory_path() / ("ombrix-cli-set-" + std::to_string(::getpid()) + ".omp");
    ASSERT_FALSE(SaveProject(project, file_));
  }
  static void TearDownTestSuite() { fs::remove(file_); }
  static fs::path file_;
};

fs::path CliSet::file_;

TEST_P(CliSet, SetsStartValuesBeforeTheRun) {
  std::vector<std::string> args = GetParam().options;
  args.push_back(file_.string());
  const testing::Result r = testing::Invoke("run", args);
  EXPECT_EQ(r.status, GetParam().status) << r.err;
  EXPECT_NE(r.err.find(GetParam().message_part), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CliSet,
    ::testing::Values(
        SetRow{"NoSetting", {}, 0, "erfolgreich beendet"},
        SetRow{"Seven", {"--set", "n=7"}, 1, "Zeile 2: 'n:=q'"},
        SetRow{"EqualsForm", {"--set=n=7"}, 1, "Zeile 2: 'n:=q'"},
        SetRow{"NameCaseIgnored", {"--set", "N=7"}, 1, "Zeile 2: 'n:=q'"},
        SetRow{"OtherValue", {"--set", "n=6"}, 0, "erfolgreich beendet"},
        SetRow{"LaterSeesEarlier", {"--set", "n=3", "--set", "n=n+4"}, 1, "Zeile 2: 'n:=q'"},
        SetRow{"OtherVariable", {"--set", "x=14/2", "--set", "n=x"}, 1, "Zeile 2: 'n:=q'"},
        SetRow{"UnknownName", {"--set", "q=7"}, 2, "Die Variable 'q' gibt es im Projekt nicht."},
        SetRow{"NoEquals", {"--set", "n"}, 2, "NAME=TERM"},
        SetRow{"EmptyName", {"--set", "=7"}, 2, "NAME=TERM"},
        SetRow{"BadTerm", {"--set", "n=(1"}, 2, "Der Startwert von 'n' ist ung"}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace ombrix::cli
