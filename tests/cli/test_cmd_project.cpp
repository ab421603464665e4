#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "logic/complex/num_text.h"
#include "logic/project/project_file.h"
#include "tests/cli/cli_run_util.h"

namespace ombrix::cli {
namespace {

namespace fs = std::filesystem;

using testing::ReadBytes;
using testing::Result;

Result RunCli(const std::vector<std::string>& args) { return testing::Invoke("", args); }

class CliProjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    dir_ = fs::temp_directory_path() /
           ("ombrix-cli-project-" + std::to_string(::getpid()) + "-" + std::to_string(stamp));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  // Saves `project` under the given separator and returns the file's path as a string.
  std::string Save(const ProjectContent& project, const std::string& name, char separator) {
    SetDecimalSeparator(separator);
    const fs::path file = dir_ / name;
    EXPECT_FALSE(SaveProject(project, file));
    return file.string();
  }
  fs::path dir_;
};

TEST_F(CliProjectTest, ResaveConvertsBetweenSeparators) {
  ProjectContent project;
  project.variables.SetLastVariable(3);
  project.variables.SetName(3, "\xC4");
  project.variables.SetStartValue(3, {-0.5, 1.25});
  const std::string german = Save(project, "de.omp", ',');
  const std::string english = Save(project, "en-expected.omp", '.');
  struct Row {
    const char* name;
    std::vector<std::string> args;
    std::string in;
    std::string expected;
  };
  const std::string out = (dir_ / "out.omp").string();
  const Row rows[] = {
      {"German to English",
       {"resave", "--decimal-separator", ",", "--output-decimal-separator", ".", german, out},
       german,
       english},
      {"English to German, options with =",
       {"resave", "--output-decimal-separator=,", "--decimal-separator=.", english, out},
       english,
       german},
      {"same separator keeps the bytes",
       {"resave", "--decimal-separator", ",", german, out},
       german,
       german},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Result r = RunCli(row.args);
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(ReadBytes(out), ReadBytes(row.expected));
  }
}

TEST_F(CliProjectTest, LoadAndSaveFailuresPrintOneMessageLine) {
  const std::string german = Save(ProjectContent{}, "de.omp", ',');
  const std::string mixed = (dir_ / "gemischt.omp").string();
  {
    std::string bytes = ReadBytes(german);
    bytes.replace(bytes.find("\xA7"
                             "0\xA7"
                             "23"),
                  2,
                  "\xA7"
                  "0.5");  // Pi's imaginary part
    std::ofstream(mixed, std::ios::binary) << bytes;
  }
  const std::string missing = (dir_ / "fehlt.omp").string();
  const std::string out = (dir_ / "out.omp").string();
  struct Row {
    const char* name;
    std::vector<std::string> args;
    std::string err;
  };
  const Row rows[] = {
      {"missing input",
       {"resave", "--decimal-separator", ",", missing, out},
       "Fehler: Die Datei \"" + missing +
           "\" konnte nicht ge\303\266ffnet werden: Die Datei oder der Ordner existiert nicht.\n"},
      {"reads under neither separator",
       {"resave", "--decimal-separator", ".", mixed, out},
       "Fehler: Die Datei \"" + mixed +
           "\" ist keine g\xC3\xBCltige Projektdatei: '2,71828182845905' ist kein "
           "g\xC3\xBCltiger Gleitkommawert.\n"},
      {"output folder missing",
       {"resave", "--decimal-separator", ",", german, (dir_ / "nicht" / "da.omp").string()},
       "Fehler: Das Projekt konnte nicht in der Datei \"" + (dir_ / "nicht" / "da.omp").string() +
           "\" gespeichert werden: Die Datei oder der Ordner existiert nicht.\n"},
      {"format of a missing file",
       {"format", "--decimal-separator", ",", missing},
       "Fehler: Die Datei \"" + missing +
           "\" konnte nicht ge\303\266ffnet werden: Die Datei oder der Ordner existiert nicht.\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Result r = RunCli(row.args);
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_EQ(r.err, row.err);
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(fs::exists(out));
  }
}

// A project saved under "," runs under "." as it ran there: every command converts it, and
// resave writes what saving it under "." writes.
TEST_F(CliProjectTest, AFileOfTheOtherSeparatorIsConverted) {
  ProjectContent project;
  project.functions.SetLastFunction(kFirstUserFunction);
  project.functions.SetName(kFirstUserFunction, "f");
  project.functions.SetTerm(kFirstUserFunction, "#+0,5");
  project.variables.SetLastVariable(3);
  project.variables.SetName(3, "x");
  project.variables.SetStartValue(3, {0.25, 0});
  project.programs[MainProgram] = {"x:=f(x+1,25)", "ZeichnePunkt(x)"};
  const std::string german = Save(project, "de.omp", ',');
  ProjectContent english = project;
  SwapDecimalSeparators(english);
  const std::string expected = Save(english, "en.omp", '.');
  const std::string out = (dir_ / "out.omp").string();
  struct Row {
    const char* name;
    std::vector<std::string> args;
    std::string out;
    std::string err;
  };
  const Row rows[] = {
      {"format",
       {"format", "--decimal-separator", ".", german},
       "Programm editieren: Hauptprogramm\nx:=f(x+1.25)\nZeichnePunkt(x)\n"
       "Programm editieren: Ereignisbehandlung f\xC3\xBCr 'Mausknopf gedr\303\274ckt'\n",
       ""},
      {"eval",
       {"eval", "--decimal-separator", ".", "--project", german, "f(x)/2"},
       "[0.375|0]\n",
       ""},
      {"run",
       {"run", "--decimal-separator", ".", "--lines", german},
       "H 1\t\nH 2\tx=[2|0]\n",
       "Information: Das Hauptprogramm wurde erfolgreich beendet.\n"},
      {"resave", {"resave", "--decimal-separator", ".", german, out}, "", ""},
      {"resave naming both",
       {"resave", "--decimal-separator", ",", "--output-decimal-separator", ".", german, out},
       "",
       ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::error_code ec;
    fs::remove(out, ec);
    const Result r = RunCli(row.args);
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_EQ(r.err, row.err);
    EXPECT_EQ(r.out, row.out);
    if (row.args[0] == "resave") {
      EXPECT_EQ(ReadBytes(out), ReadBytes(expected));
    }
  }
}

TEST_F(CliProjectTest, UsageErrors) {
  const std::vector<std::string> rows[] = {
      {"resave"},
      {"resave", "a.omp"},
      {"resave", "a.omp", "b.omp", "c.omp"},
      {"resave", "--decimal-separator", ";", "a.omp", "b.omp"},
      {"resave", "--decimal-separator"},
      {"resave", "--unbekannt", "a.omp", "b.omp"},
      {"format"},
      {"format", "--output-decimal-separator", ".", "a.omp"},
      {"format", "a.omp", "b.omp"},
  };
  for (const auto& args : rows) {
    SCOPED_TRACE(args.size() > 1 ? args[1] : args[0]);
    const Result r = RunCli(args);
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.find("Aufruf: ombrix-cli " + args[0]), std::string::npos) << r.err;
  }
}

// The help shows every subcommand with the very usage line the subcommand itself prints.
TEST(CliHelp, ShowsEachSubcommandsOwnUsage) {
  for (const char* spelling : {"--help", "-h", "help"}) {
    SCOPED_TRACE(spelling);
    const Result help = RunCli({spelling});
    EXPECT_EQ(help.status, kExitOk);
    EXPECT_EQ(help.err, "");
    for (const char* command : {"eval", "resave", "format", "run"}) {
      SCOPED_TRACE(command);
      const Result refused = RunCli({command});
      ASSERT_EQ(refused.status, kExitUsage);
      const std::string prefix = "Aufruf: ";
      ASSERT_EQ(refused.err.rfind(prefix, 0), 0u) << refused.err;
      const std::string usage = refused.err.substr(prefix.size());  // ends with its line break
      EXPECT_NE(help.out.find(usage), std::string::npos) << help.out;
    }
  }
}

TEST_F(CliProjectTest, FormatPrintsBothProgramsAsTheEditorShowsThem) {
  struct Row {
    const char* name;
    ProgramText main;
    ProgramText mouse;
    std::string out;
    std::string err;
  };
  const Row rows[] = {
      {"balanced programs",
       {"Wenn(x>0)", "L\xF6scheBild", "", "EndeWenn"},
       {"F\xFCr(i;1;2)", "ZeichnePunkt(i)", "EndeF\xFCr"},
       "Programm editieren: Hauptprogramm\nWenn(x>0)\n  L\xC3\xB6scheBild\n  \nEndeWenn\n"
       "Programm editieren: Ereignisbehandlung f\xC3\xBCr 'Mausknopf "
       "gedr\303\274ckt'\nF\xC3\xBCr(i;1;2)\n  ZeichnePunkt(i)\nEndeF\xC3\xBCr\n",
       ""},
      {"faulty main program, empty handler",
       {"Solange(a)", "b"},
       {},
       "Programm editieren: Hauptprogramm\nSolange(a)\n  b\n"
       "Programm editieren: Ereignisbehandlung f\xC3\xBCr 'Mausknopf gedr\303\274ckt'\n",
       "Fehler: Die Struktur Ihres Programms ist fehlerhaft.\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ProjectContent project;
    project.programs[MainProgram] = row.main;
    project.programs[MouseHandlerProgram] = row.mouse;
    const std::string file = Save(project, "p.omp", '.');
    const Result r = RunCli({"format", "--decimal-separator", ".", file});
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_EQ(r.out, row.out);
    EXPECT_EQ(r.err, row.err);
  }
}

}  // namespace
}  // namespace ombrix::cli
