#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "logic/complex/num_text.h"
#include "logic/program/project_content.h"
#include "logic/project/project_file.h"

namespace ombrix::cli {
namespace {

struct Outcome {
  int code;
  std::string out;
  std::string err;
};

Outcome Eval(std::vector<std::string> args) {
  args.insert(args.begin(), "eval");
  std::ostringstream out, err;
  const int code = Main(args, out, err);
  return {code, out.str(), err.str()};
}

struct Row {
  const char* name;
  std::vector<std::string> args;
  int code;
  const char* out;
  const char* err;
};

TEST(CliEval, OutputLinesAndExitCodes) {
  const std::vector<Row> rows = {
      {"one line per term",
       {"--decimal-separator", ",", "1+1", "3+4*i", "1<2"},
       0,
       "[2|0]\n[3|4]\n1\n",
       ""},
      {"point separator", {"--decimal-separator", ".", "1/4"}, 0, "[0.25|0]\n", ""},
      {"display form",
       {"--decimal-separator", ",", "--display", "1/4", "3-4*i"},
       0,
       "0,25\n3-4*i\n",
       ""},
      {"error texts are results",
       {"--decimal-separator", ",", "2i", "1/0"},
       0,
       "?1'2i' ?\n?0Division '/'\n",
       ""},
      {"error messages in display form",
       {"--decimal-separator", ",", "--display", "x"},
       0,
       "? Unbekannter Funktionsname\n",
       ""},
      {"fault line",
       {"--decimal-separator", ",", "1e2e3", "5"},
       0,
       "FAULT: '1e2e3' ist kein g\xC3\xBCltiger Gleitkommawert\n[5|0]\n",
       ""},
      {"message boxes on stderr",
       {"--decimal-separator", ",", "(1e-7)^-2"},
       0,
       "FAULT: Ung\xC3\xBCltige Gleitkommaoperation\n",
       "Ombrix 0.98 (mit Formulon 2.11): Leider Division durch Null aufgetreten!\n"
       "Ombrix 0.98 (mit Formulon 2.11): Leider Division durch Null aufgetreten!\n"},
      {"traced example",
       {"--decimal-separator", ",", "--var", "x=0,5", "--fun", "f=# ^ 2", "2*Sin(x)+f(3)"},
       0,
       "[9,95885107720841|0]\n",
       ""},
      {"variables use the ones before them",
       {"--decimal-separator", ",", "--var", "a=2", "--var", "b=a*3", "b"},
       0,
       "[6|0]\n",
       ""},
      {"variable whose term fails reads as 0",
       {"--decimal-separator", ",", "--var", "a=1/0", "a+1"},
       0,
       "[1|0]\n",
       ""},
      {"a repeated variable replaces the value",
       {"--decimal-separator", ",", "--var", "a=2", "--var", "A=5", "a"},
       0,
       "[5|0]\n",
       ""},
      {"a repeated function replaces the term",
       {"--decimal-separator", ",", "--fun", "g=#+1", "--fun", "g=#+2", "g(1)"},
       0,
       "[3|0]\n",
       ""},
      {"UTF-8 in and out", {"--decimal-separator", ",", "\xC3\x84+1"}, 0, "?1'\xC3\xA4' ?\n", ""},
      {"terms after --", {"--decimal-separator", ",", "--", "--3"}, 0, "[3|0]\n", ""},
      {"leading minus is a term", {"--decimal-separator", ",", "-3^2"}, 0, "[-9|0]\n", ""},
      {"no term", {"--decimal-separator", ","}, 2, "", nullptr},
      {"bad separator", {"--decimal-separator", ";", "1"}, 2, "", nullptr},
      {"unknown option", {"--frobnicate", "1"}, 2, "", nullptr},
      {"option without value", {"1", "--var"}, 2, "", nullptr},
      {"definition without name", {"--var", "=3", "1"}, 2, "", nullptr},
      {"fault in a variable's term",
       {"--decimal-separator", ",", "--var", "a=[|]", "1"},
       1,
       "",
       nullptr},
      {"missing project", {"--project", "/nonexistent/dir/x.omp", "1"}, 1, "", nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Outcome outcome = Eval(row.args);
    EXPECT_EQ(outcome.code, row.code);
    EXPECT_EQ(outcome.out, row.out);
    if (row.err != nullptr) {
      EXPECT_EQ(outcome.err, row.err);
    } else {
      // Usage errors and load errors: exactly one line on stderr.
      EXPECT_FALSE(outcome.err.empty());
      EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << outcome.err;
    }
  }
}

TEST(CliEval, UsageLineNamesTheCommand) {
  const Outcome outcome = Eval({});
  EXPECT_EQ(outcome.code, 2);
  EXPECT_EQ(outcome.err.rfind("Aufruf: ombrix-cli eval", 0), 0u) << outcome.err;
}

TEST(CliEval, HelpStatesThatDefinitionsIgnoreCase) {
  std::ostringstream out, err;
  EXPECT_EQ(Main({"help"}, out, err), 0);
  EXPECT_NE(out.str().find("und Kleinschreibung nicht z\xC3\xA4hlt"), std::string::npos)
      << out.str();
}

TEST(CliEval, ProjectSuppliesTablesAndCurrentValues) {
  SetDecimalSeparator(',');
  ProjectContent project;
  project.variables.SetLastVariable(3);
  project.variables.SetName(3, "r");
  project.variables.SetStartValue(3, {2.5, 0});
  project.functions.SetLastFunction(23);
  project.functions.SetName(23, "Sq");
  project.functions.SetTerm(23, "#*#");
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() /
      ("ombrix_cli_eval_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
       ".omp");
  ASSERT_FALSE(SaveProject(project, file).has_value());

  const Outcome outcome = Eval({"--decimal-separator", ",", "--project", file.string(), "--var",
                                "s=r+1", "sq(r)", "s", "sq(s)"});
  EXPECT_EQ(outcome.code, 0);
  EXPECT_EQ(outcome.out, "[6,25|0]\n[3,5|0]\n[12,25|0]\n");
  EXPECT_EQ(outcome.err, "");

  // A damaged file: one message line, exit 1, no term evaluated.
  {
    std::ofstream damaged(file, std::ios::binary | std::ios::trunc);
    damaged << "kaputt";
  }
  const Outcome broken = Eval({"--decimal-separator", ",", "--project", file.string(), "1"});
  EXPECT_EQ(broken.code, 1);
  EXPECT_EQ(broken.out, "");
  EXPECT_EQ(std::count(broken.err.begin(), broken.err.end(), '\n'), 1);
  std::filesystem::remove(file);
}

TEST(CliEval, FullTableIsReported) {
  std::vector<std::string> args = {"--decimal-separator", ","};
  for (int j = 0; j < 126; ++j) {
    args.push_back("--var");
    args.push_back("v" + std::to_string(j) + "=1");
  }
  args.push_back("1");
  const Outcome outcome = Eval(args);
  EXPECT_EQ(outcome.code, 1);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err, "Fehler: Die Variablentabelle ist voll.\n");
}

}  // namespace
}  // namespace ombrix::cli
