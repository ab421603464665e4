// "run --lines" with "--break" and "--trace", and "eval --explain".
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "logic/complex/cp1252.h"
#include "logic/complex/num_text.h"
#include "logic/project/project_file.h"
#include "tests/cli/cli_run_util.h"
#include "tests/evaluator/term_maker.h"

namespace ombrix::cli {
namespace {

using testing::Invoke;

// The output split at its empty lines: one block per term of "eval --explain".
std::vector<std::vector<std::string>> Blocks(const std::string& text) {
  std::vector<std::vector<std::string>> blocks(1);
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.empty()) {
      blocks.emplace_back();
    } else {
      blocks.back().push_back(line);
    }
  }
  blocks.pop_back();  // after the last empty line
  return blocks;
}

class CliLinesTest : public ::testing::Test {
 protected:
  void SetUp() override { SetDecimalSeparator('.'); }
  // A project with the variables x and n (start value 0), saved under ".".
  std::string Project(std::vector<std::string> main, std::vector<std::string> mouse = {}) {
    ProjectContent project;
    project.variables.SetStartValue(1, {});
    project.variables.SetStartValue(2, {});
    for (const char* name : {"x", "n"}) {
      const int j = project.variables.LastVariable() + 1;
      project.variables.SetLastVariable(j);
      project.variables.SetName(j, name);
    }
    project.programs[0] = std::move(main);
    project.programs[1] = std::move(mouse);
    const auto file = dir_.Path() / ("p" + std::to_string(count_++) + ".omp");
    EXPECT_FALSE(SaveProject(project, file));
    return file.string();
  }
  testing::ScratchDir dir_{"ombrix-cli-lines-"};
  int count_ = 0;
};

TEST_F(CliLinesTest, EachLineWithWhatTheLineBeforeChanged) {
  const std::string project =
      Project({"x:=1", "n:=x+1", "Wiederhole(2)", "x:=x*2", "EndeWiederhole", "n:=n"});
  const auto result = Invoke("run", {"--lines", project});
  EXPECT_EQ(result.status, kExitOk);
  EXPECT_EQ(result.out,
            "H 1\t\n"
            "H 2\tx=[1|0]\n"
            "H 3\tn=[2|0]\n"
            "H 4\t\n"
            "H 5\tx=[2|0]\n"
            "H 4\t\n"
            "H 5\tx=[4|0]\n"
            "H 6\t\n");
}

TEST_F(CliLinesTest, LoopLinesShowTheirVariable) {
  const std::string project = Project({"F\xFCr(x;1;2;1)", "EndeF\xFCr", "n:=1,5"});
  const auto result = Invoke("run", {"--lines", "--decimal-separator", ",", project});
  EXPECT_EQ(result.out, "H 1\t\nH 2\tx=[1|0]\nH 2\tx=[2|0]\nH 3\t\n");
}

TEST_F(CliLinesTest, TraceLinesFollowTheLineThatDrewThem) {
  const std::string project = Project({"x:=1", "ZeichnePunkt(x)", "x:=2"});
  const auto result = Invoke("run", {"--lines", "--trace", project});
  EXPECT_EQ(result.out, "H 1\t\nH 2\tx=[1|0]\nSetPixel 240 200 000000\nH 3\t\n");
}

TEST_F(CliLinesTest, BreakpointsPrintWhereTheRunWouldPauseAndGoOn) {
  const std::string project = Project({"Wiederhole(2)", "x:=x+1", "EndeWiederhole", "n:=x"});
  const auto result = Invoke("run", {"--lines", "--break", "2", "--break=4", project});
  EXPECT_EQ(result.status, kExitOk);
  EXPECT_EQ(result.out,
            "H 1\t\n"
            "PAUSE H 2\n"
            "H 2\t\n"
            "H 3\tx=[1|0]\n"
            "PAUSE H 2\n"
            "H 2\t\n"
            "H 3\tx=[2|0]\n"
            "PAUSE H 4\n"
            "H 4\t\n");
}

TEST_F(CliLinesTest, MaxStepsBoundsTheLinesAsWithout) {
  const std::string project = Project({"Solange(1)", "x:=x+1", "EndeSolange"});
  const auto result = Invoke("run", {"--lines", "--break", "2", "--max-steps", "4", project});
  EXPECT_EQ(result.status, kExitStepLimit);
  EXPECT_EQ(result.out, "H 1\t\nPAUSE H 2\nH 2\t\nH 3\tx=[1|0]\nPAUSE H 2\nH 2\t\n");
  EXPECT_NE(result.err.find("nach 4 Schritten angehalten"), std::string::npos) << result.err;
}

TEST_F(CliLinesTest, MouseClickLinesAreMarkedM) {
  const std::string project = Project({"x:=1"}, {"n:=x+1", "x:=0"});
  const auto result = Invoke("run", {"--lines", "--click", "5,5", project});
  EXPECT_EQ(result.out, "H 1\t\nM 1\tx=[1|0]\nM 2\tn=[2|0]\n");
}

TEST_F(CliLinesTest, BadOptionsAreUsageErrors) {
  const std::string project = Project({"x:=1"});
  struct Row {
    const char* name;
    std::vector<std::string> args;
    const char* reason;
  };
  const std::vector<Row> rows = {
      {"break without lines", {"--break", "1", project}, "nur zusammen mit --lines"},
      {"line 0", {"--lines", "--break", "0", project}, "Zeilennummer ab 1"},
      {"no number", {"--lines", "--break", "x", project}, "Zeilennummer ab 1"},
      {"too large", {"--lines", "--break", "99999999999", project}, "Zeilennummer ab 1"},
      {"no value", {"--lines", project, "--break"}, "fehlt der Wert"},
  };
  for (const Row& row : rows) {
    const auto result = Invoke("run", row.args);
    EXPECT_EQ(result.status, kExitUsage) << row.name;
    EXPECT_NE(result.err.find(row.reason), std::string::npos) << row.name << ": " << result.err;
    EXPECT_TRUE(result.out.empty()) << row.name;
  }
}

TEST(CliExplain, TheRewritingOfATerm) {
  const auto result = Invoke("eval", {"--decimal-separator", ",", "--var", "x=0,5", "--fun",
                                      "f=#^2", "--explain", "2*Sin(x)+f(3)", "1/0"});
  EXPECT_EQ(result.status, kExitOk);
  EXPECT_EQ(result.out,
            "2*sin(x)+f(3)\n"
            "2*[0,479425538604203|0]+f(3)\n"
            "2*[0,479425538604203|0]+((3)^2)\n"
            "2*[0,479425538604203|0]+[9|0]\n"
            "+[2|0]*[0,479425538604203|0]+[9|0]\n"
            "[9,95885107720841|0]\n"
            "\n"
            "1/0\n"
            "+[1|0]/[0|0]\n"
            "?0Division '/'\n"
            "\n");
}

TEST(CliExplain, TheLastLineIsWhatEvalPrintsForRandomTerms) {
  ombrix::testing::TermMaker maker(23);
  std::vector<std::string> terms;
  for (int n = 0; n < 400; ++n) terms.push_back(Cp1252ToUtf8(maker.Term()));
  const std::vector<std::string> tables = {
      "--decimal-separator", ",",     "--fun",     "f=#^2+1", "--fun",
      "g=f(#)*x-#",          "--var", "x=0,5-2*i", "--var",   "zz=1e-7+3*i"};
  for (const char* display : {"", "--display"}) {
    std::vector<std::string> plain = tables, explained = tables;
    if (*display) plain.push_back(display), explained.push_back(display);
    explained.push_back("--explain");
    plain.push_back("--");
    explained.push_back("--");
    plain.insert(plain.end(), terms.begin(), terms.end());
    explained.insert(explained.end(), terms.begin(), terms.end());
    const auto evaluated = Invoke("eval", plain);
    const auto explanation = Invoke("eval", explained);
    EXPECT_EQ(explanation.err, evaluated.err);
    std::vector<std::string> results;
    std::istringstream in(evaluated.out);
    for (std::string line; std::getline(in, line);) results.push_back(line);
    const auto blocks = Blocks(explanation.out);
    ASSERT_EQ(blocks.size(), terms.size());
    ASSERT_EQ(results.size(), terms.size());
    for (std::size_t i = 0; i < terms.size(); ++i) {
      ASSERT_FALSE(blocks[i].empty()) << terms[i];
      EXPECT_EQ(blocks[i].back(), results[i]) << terms[i];
    }
  }
}

}  // namespace
}  // namespace ombrix::cli
