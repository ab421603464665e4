#include "logic/project/project_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cfloat>
#include <chrono>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"

namespace ombrix {
namespace {

namespace fs = std::filesystem;
using Fields = std::vector<std::string>;

std::string Join(const Fields& fields) {
  std::string out;
  for (const std::string& f : fields) out += f + '\xA7';
  return out;
}

// The field texts of a new project; `e` and `pi` in the separator's spelling.
Fields NewProjectFields(const std::string& e, const std::string& pi) {
  Fields f = {"2", "i", "0", "1", "e", e, "0", "Pi", pi, "0", "23", "22"};
  const std::pair<const char*, const char*> builtins[] = {
      {"MausPos", "0"}, {"Betrag", "0"}, {"Wurzel", "0"},  {"Sin", "1"},     {"Cos", "1"},
      {"Tan", "1"},     {"ASin", "1"},   {"ACos", "1"},    {"ATan", "1"},    {"Exp", "1"},
      {"Ln", "1"},      {"Lg", "1"},     {"Arc", "16"},    {"E", "1"},       {"Re", "0"},
      {"Im", "0"},      {"Konj", "0"},   {"DeltaRe", "0"}, {"DeltaIm", "0"}, {"ReMin", "0"},
      {"ReMax", "0"},   {"ImMin", "0"},  {"ImMax", "0"},
  };
  for (const auto& [name, rule] : builtins) f.insert(f.end(), {name, rule, ""});
  f.insert(f.end(), {"0", "0"});
  return f;
}

std::string ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// A project with something in every part of the format.
ProjectContent SampleProject() {
  ProjectContent p;
  VariableTable& v = p.variables;
  v.SetLastVariable(6);
  v.SetName(3, "\xC4pfel");
  v.SetStartValue(3, {1.0 / 3.0, -2.5});
  v.SetName(4, "gro\xDF");
  v.SetStartValue(4, {1e20, 2e-15});  // the tiny part comes back as 0
  v.SetName(5, "x");
  v.SetStartValue(5, {-0.0001, 123456789012345.0});
  v.SetName(6, "Z");
  v.SetStartValue(6, {0.1 + 0.2, 0.0});
  FunctionTable& f = p.functions;
  f.SetLastFunction(25);
  f.SetName(23, "f");
  f.SetTerm(23, "#^2+1");
  f.SetName(24, "Gr\xFC\xDF");
  f.SetTerm(24, "f(#)*Sin(#)");
  f.SetName(25, "leer");
  f.SetTerm(25, "");
  f.SetArgumentRule(25, -3);
  p.programs[MainProgram] = {"Wenn(\xC4pfel>0)", "", "ZeichnePunkt(x)", "EndeWenn", "\t"};
  p.programs[MouseHandlerProgram] = {"L\xF6scheBild"};
  return p;
}

void ExpectSameProject(const ProjectContent& a, const ProjectContent& b) {
  ASSERT_EQ(a.variables.LastVariable(), b.variables.LastVariable());
  for (int j = 0; j <= a.variables.LastVariable(); ++j) {
    SCOPED_TRACE("variable " + std::to_string(j));
    EXPECT_EQ(a.variables.Name(j), b.variables.Name(j));
    EXPECT_EQ(a.variables.StartValue(j).Re, b.variables.StartValue(j).Re);
    EXPECT_EQ(a.variables.StartValue(j).Im, b.variables.StartValue(j).Im);
  }
  ASSERT_EQ(a.functions.LastFunction(), b.functions.LastFunction());
  for (int k = 0; k <= a.functions.LastFunction(); ++k) {
    SCOPED_TRACE("function " + std::to_string(k));
    EXPECT_EQ(a.functions.Name(k), b.functions.Name(k));
    EXPECT_EQ(a.functions.ArgumentRule(k), b.functions.ArgumentRule(k));
    if (k >= kFirstUserFunction) {
      EXPECT_EQ(a.functions.Term(k), b.functions.Term(k));
    }
  }
  EXPECT_EQ(a.programs, b.programs);
}

// What the load gives for e and Pi: their values rounded to 15 significant digits.
void RoundConstants(ProjectContent& p) {
  p.variables.SetStartValue(1, {2.71828182845905, 0.0});
  p.variables.SetStartValue(2, {3.14159265358979, 0.0});
}

class ProjectFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetDecimalSeparator(',');
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    dir_ = fs::temp_directory_path() /
           ("ombrix-project-" + std::to_string(::getpid()) + "-" + std::to_string(stamp));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
    SetDecimalSeparator(',');
  }
  // Everything in the folder apart from the given names: leftover temporary files.
  std::vector<std::string> Leftovers(const std::vector<std::string>& expected) const {
    std::vector<std::string> extra;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      const std::string name = entry.path().filename().string();
      if (std::find(expected.begin(), expected.end(), name) == expected.end()) {
        extra.push_back(name);
      }
    }
    return extra;
  }
  fs::path dir_;
};

TEST_F(ProjectFileTest, NewProjectIsByteForByteTheKnownSequence) {
  struct Row {
    const char* name;
    char separator;
    std::string e;
    std::string pi;
  };
  const Row rows[] = {
      {"German settings", ',', "2,71828182845905", "3,14159265358979"},
      {"English settings", '.', "2.71828182845905", "3.14159265358979"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    SetDecimalSeparator(row.separator);
    const std::string expected = Join(NewProjectFields(row.e, row.pi));
    std::string bytes;
    ASSERT_FALSE(ProjectToBytes(ProjectContent{}, bytes));
    EXPECT_EQ(bytes, expected);
    const fs::path file = dir_ / "neu.omp";
    ASSERT_FALSE(SaveProject(ProjectContent{}, file));
    EXPECT_EQ(ReadBytes(file), expected);
  }
}

TEST_F(ProjectFileTest, RoundTripKeepsTextsAndRoundsStartValues) {
  for (char separator : {',', '.'}) {
    SCOPED_TRACE(std::string("separator ") + separator);
    SetDecimalSeparator(separator);
    const ProjectContent saved = SampleProject();
    const fs::path file = dir_ / "runde.omp";
    ASSERT_FALSE(SaveProject(saved, file));

    ProjectContent loaded;
    loaded.programs[MainProgram] = {"alt"};
    ASSERT_FALSE(LoadProject(loaded, file));

    ProjectContent expected = saved;
    RoundConstants(expected);
    expected.variables.SetStartValue(3, {0.333333333333333, -2.5});
    expected.variables.SetStartValue(4, {1e20, 0.0});
    expected.variables.SetStartValue(6, {0.3, 0.0});
    ExpectSameProject(loaded, expected);
    // Umlauts are single bytes in the file.
    const std::string bytes = ReadBytes(file);
    EXPECT_NE(bytes.find("\xA7\xC4pfel\xA7"), std::string::npos);
    EXPECT_NE(bytes.find("\xA7L\xF6scheBild\xA7"), std::string::npos);
    EXPECT_NE(bytes.find("\xA7leer\xA7-3\xA7\xA7"), std::string::npos);
    // From the first load on, saving and loading change nothing any more.
    std::string second;
    ASSERT_FALSE(ProjectToBytes(loaded, second));
    ProjectContent reloaded;
    ASSERT_FALSE(LoadProjectFromBytes(reloaded, second));
    std::string third;
    ASSERT_FALSE(ProjectToBytes(reloaded, third));
    EXPECT_EQ(third, second);
  }
}

TEST_F(ProjectFileTest, FullVariableTableAndNoVariablesAtAll) {
  for (int last : {kTableCapacity - 1, -1}) {
    SCOPED_TRACE("LastVariable " + std::to_string(last));
    ProjectContent saved;
    saved.variables.SetLastVariable(last);
    for (int j = 3; j <= last; ++j) {
      saved.variables.SetName(j, "v" + std::to_string(j));
      saved.variables.SetStartValue(j, {static_cast<double>(j), -1.0});
    }
    saved.functions.SetLastFunction(kTableCapacity - 1);
    for (int k = kFirstUserFunction; k < kTableCapacity; ++k) {
      saved.functions.SetName(k, "f" + std::to_string(k));
      saved.functions.SetTerm(k, "#+" + std::to_string(k));
    }
    std::string bytes;
    ASSERT_FALSE(ProjectToBytes(saved, bytes));
    ProjectContent loaded;
    ASSERT_FALSE(LoadProjectFromBytes(loaded, bytes));
    if (last >= 2) RoundConstants(saved);
    ExpectSameProject(loaded, saved);
  }
}

TEST_F(ProjectFileTest, LoadKeepsEntriesBeyondTheCountsAndCurrentValues) {
  ProjectContent project = SampleProject();
  project.variables.SetCurrentValue(5, {7.0, 8.0});
  std::string bytes;
  ASSERT_FALSE(ProjectToBytes(ProjectContent{}, bytes));
  ASSERT_FALSE(LoadProjectFromBytes(project, bytes));
  EXPECT_EQ(project.variables.LastVariable(), 2);
  EXPECT_EQ(project.functions.LastFunction(), 22);
  EXPECT_TRUE(project.programs[MainProgram].empty());
  EXPECT_TRUE(project.programs[MouseHandlerProgram].empty());
  // Nothing reads these, but the load leaves them as they were.
  EXPECT_EQ(project.variables.Name(5), "x");
  EXPECT_EQ(project.variables.CurrentValue(5).Re, 7.0);
  EXPECT_EQ(project.functions.Term(23), "#^2+1");
}

TEST_F(ProjectFileTest, LoadTakesEveryFieldAsRead) {
  // Built-in names and rules come from the file too; rules are signed bytes; trailing
  // bytes after the last field are ignored.
  Fields f = NewProjectFields("2,71828182845905", "3,14159265358979");
  f[12] = "Maus";    // name of function 0
  f[16] = "$1FF";    // rule of function 1: 511 as a signed byte is -1
  f[19] = "x10";     // rule of function 2
  f[1] = "I";        // name of variable 0
  f[3] = " +1E-15";  // imaginary part of i, cut to 0
  ProjectContent loaded;
  ASSERT_FALSE(LoadProjectFromBytes(loaded, Join(f) + "\r\nRest ohne Trenner"));
  EXPECT_EQ(loaded.functions.Name(0), "Maus");
  EXPECT_EQ(loaded.functions.ArgumentRule(1), -1);
  EXPECT_EQ(loaded.functions.ArgumentRule(2), 16);
  EXPECT_EQ(loaded.variables.Name(0), "I");
  EXPECT_EQ(loaded.variables.StartValue(0).Im, 0.0);
}

TEST(TextToIntegerTest, AcceptedForms) {
  struct Row {
    const char* text;
    std::int32_t value;
  };
  const Row rows[] = {
      {"0", 0},
      {"23", 23},
      {"-7", -7},
      {"+7", 7},
      {"   42", 42},
      {"007", 7},
      {"2147483647", 2147483647},
      {"-2147483648", std::numeric_limits<std::int32_t>::min()},
      {"$FF", 255},
      {"$ff", 255},
      {"x1A", 26},
      {"X1a", 26},
      {"0x10", 16},
      {"0X10", 16},
      {"-$10", -16},
      {"$7FFFFFFF", 2147483647},
      {"$80000000", std::numeric_limits<std::int32_t>::min()},
      {"$FFFFFFFF", -1},
      {"-$FFFFFFFF", 1},
      {"  -0x0000000A", -10},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(TextToInteger(row.text), row.value);
  }
}

TEST(TextToIntegerTest, RefusedFormsNameTheWholeText) {
  const char* const rows[] = {
      "",    " ",    "-",          "+-1",         "1 ",
      "1,0", "1.0",  "2147483648", "-2147483649", "99999999999999999999",
      "$",   "0x",   "$123456789", "$G",          "0x1G",
      "1e3", "\t1",  "00x10",      "- 1",         "$ 1",
      "1$",  "\xB2",
  };
  for (const char* text : rows) {
    SCOPED_TRACE(text);
    try {
      TextToInteger(text);
      ADD_FAILURE() << "accepted";
    } catch (const Fault& fault) {
      EXPECT_EQ(std::string(fault.what()),
                std::string("'") + text + "' ist kein g\xFCltiger Integerwert");
    }
  }
}

TEST(ReadFieldTest, SplitsAtTheSeparatorOnly) {
  struct Row {
    const char* name;
    std::string bytes;
    Fields fields;  // every field ReadField gives before it reports the end
    std::size_t rest;
  };
  const Row rows[] = {
      {"plain fields", "a\247bc\xA7", {"a", "bc"}, 0},
      {"empty fields", "\xA7\xA7", {"", ""}, 0},
      {"control characters belong to the text", "\r\n\t\xA7", {"\r\n\t"}, 0},
      {"a last field without separator is not a field", "a\247b", {"a"}, 1},
      {"nothing", "", {}, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::size_t pos = 0;
    Fields got;
    while (auto field = ReadField(row.bytes, pos)) got.emplace_back(*field);
    EXPECT_EQ(got, row.fields);
    EXPECT_EQ(row.bytes.size() - pos, row.rest);
  }
}

// ---------------------------------------------------------------------------------------
// A failed load changes nothing.

TEST_F(ProjectFileTest, EveryTruncationIsRefusedAndChangesNothing) {
  std::string bytes;
  ASSERT_FALSE(ProjectToBytes(SampleProject(), bytes));
  for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    ProjectContent project;
    std::optional<ProjectError> error =
        LoadProjectFromBytes(project, std::string_view(bytes).substr(0, cut), "kurz.omp");
    ASSERT_TRUE(error);
    // Every field read before the cut is the saved one, so the missing end is what fails
    // (as such, or as a line count above the fields that are left).
    EXPECT_FALSE(error->fault);
    EXPECT_EQ(error->message.rfind("Die Datei \"kurz.omp\" ist keine g\xFCltige Projektdatei: ", 0),
              0u)
        << error->message;
    ExpectSameProject(project, ProjectContent{});
  }
}

TEST_F(ProjectFileTest, TruncatedFileMessage) {
  const fs::path file = dir_ / "kurz.omp";
  WriteBytes(file, Join({"2", "i", "0"}));
  ProjectContent project;
  const std::optional<ProjectError> error = LoadProject(project, file);
  ASSERT_TRUE(error);
  EXPECT_FALSE(error->fault);
  EXPECT_EQ(error->message, "Die Datei \"" + file.string() +
                                "\" ist keine g\xFCltige Projektdatei: Sie endet vorzeitig.");
}

TEST_F(ProjectFileTest, BadFieldInTheMiddleChangesNothing) {
  const Fields good = NewProjectFields("2,71828182845905", "3,14159265358979");
  struct Row {
    const char* name;
    std::size_t field;
    std::string text;
    std::string message;
  };
  const Row rows[] = {
      {"rule no integer", 16, "eins", "'eins' ist kein g\xFCltiger Integerwert"},
      {"real with the other separator", 5, "2.71828182845905",
       "'2.71828182845905' ist kein g\xFCltiger Gleitkommawert"},
      {"real too large", 8, "1E400", "Gleitkomma\374berlauf"},
      {"count with a blank after it", 10, "23 ", "'23 ' ist kein g\xFCltiger Integerwert"},
      {"line count no integer", good.size() - 1, "", "'' ist kein g\xFCltiger Integerwert"},
      {"real holding a NUL byte", 5, std::string("8,\0x", 4),
       "'8,?x' ist kein g\xFCltiger Gleitkommawert"},
      {"count holding a NUL byte", 10, std::string("2\0", 2),
       "'2?' ist kein g\xFCltiger Integerwert"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Fields fields = good;
    fields[row.field] = row.text;
    const fs::path file = dir_ / "kaputt.omp";
    WriteBytes(file, Join(fields));
    ProjectContent project = SampleProject();
    const std::optional<ProjectError> error = LoadProject(project, file);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->fault);
    EXPECT_EQ(error->message, row.message);
    ExpectSameProject(project, SampleProject());
  }
}

TEST_F(ProjectFileTest, FileWrittenUnderOneSeparatorFailsUnderTheOther) {
  const fs::path file = dir_ / "deutsch.omp";
  ASSERT_FALSE(SaveProject(ProjectContent{}, file));
  SetDecimalSeparator('.');
  ProjectContent project = SampleProject();
  const std::optional<ProjectError> error = LoadProject(project, file);
  ASSERT_TRUE(error);
  EXPECT_TRUE(error->fault);
  EXPECT_EQ(error->message, "'2,71828182845905' ist kein g\xFCltiger Gleitkommawert");
  ExpectSameProject(project, SampleProject());
}

TEST_F(ProjectFileTest, OutOfRangeCountsAreRefused) {
  const Fields good = NewProjectFields("2,71828182845905", "3,14159265358979");
  struct Row {
    const char* name;
    std::size_t field;
    std::string text;
    std::string reason;
  };
  const std::size_t main_count = good.size() - 2;
  const Row rows[] = {
      {"too many variables", 0, "128", "Sie nennt 129 Variablen, erlaubt sind 0 bis 128"},
      {"variables that would wrap", 0, "200", "Sie nennt 201 Variablen, erlaubt sind 0 bis 128"},
      {"variables that would wrap to -1", 0, "255",
       "Sie nennt 256 Variablen, erlaubt sind 0 bis 128"},
      {"negative variables", 0, "-2", "Sie nennt -1 Variablen, erlaubt sind 0 bis 128"},
      {"first user function 22", 10, "22", "Die erste eigene Funktion hat die Nummer 22 statt 23"},
      {"first user function 24", 10, "24", "Die erste eigene Funktion hat die Nummer 24 statt 23"},
      {"too few functions", 11, "21", "Sie nennt 22 Funktionen, erlaubt sind 23 bis 128"},
      {"too many functions", 11, "128", "Sie nennt 129 Funktionen, erlaubt sind 23 bis 128"},
      {"negative line count", main_count, "-1",
       "Das Programm \"Hauptprogramm\" soll -1 Zeilen haben"},
      {"huge line count in a tiny file", main_count, "2147483647",
       "Das Programm \"Hauptprogramm\" soll 2147483647 Zeilen haben, es folgen aber nur noch 1 "
       "Feld"},
      {"one line and no field left", main_count + 1, "1",
       "Das Programm \"Ereignisbehandlung f\xFCr 'Mausknopf gedr\xFC"
       "ckt'\" soll 1 Zeile haben, es folgen aber nur noch 0 Felder"},
      {"one function", 11, "0", "Sie nennt 1 Funktion, erlaubt sind 23 bis 128"},
      {"huge hex line count", main_count + 1, "$7FFFFFFF",
       "Das Programm \"Ereignisbehandlung f\xFCr 'Mausknopf gedr\374ckt'\" soll 2147483647 Zeilen "
       "haben, es folgen aber nur noch 0 Felder"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Fields fields = good;
    fields[row.field] = row.text;
    ProjectContent project = SampleProject();
    const std::optional<ProjectError> error = LoadProjectFromBytes(project, Join(fields), "z.omp");
    ASSERT_TRUE(error);
    EXPECT_FALSE(error->fault);
    EXPECT_EQ(error->message,
              "Die Datei \"z.omp\" ist keine g\xFCltige Projektdatei: " + row.reason + ".");
    ExpectSameProject(project, SampleProject());
  }
}

TEST_F(ProjectFileTest, ProgramLineLimitHoldsAtLoadAndSave) {
  // A file of separators alone must not become tens of millions of lines in memory; what
  // a load refuses, a save refuses too.
  struct Row {
    const char* name;
    std::size_t lines;
    bool accepted;
  };
  const Row rows[] = {{"at the limit", kMaxProgramLines, true},
                      {"one line more", kMaxProgramLines + 1, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Fields fields = NewProjectFields("2,71828182845905", "3,14159265358979");
    const std::size_t main_count = fields.size() - 2;
    fields[main_count] = std::to_string(row.lines);
    fields.insert(fields.begin() + static_cast<std::ptrdiff_t>(main_count) + 1, row.lines, "");
    ProjectContent project = SampleProject();
    const std::optional<ProjectError> error = LoadProjectFromBytes(project, Join(fields), "z.omp");
    ProjectContent big;
    big.programs[MainProgram].assign(row.lines, "");
    std::string bytes;
    const std::optional<ProjectError> refused = ProjectToBytes(big, bytes);
    if (row.accepted) {
      EXPECT_FALSE(error);
      EXPECT_EQ(project.programs[MainProgram].size(), row.lines);
      EXPECT_FALSE(refused);
      EXPECT_EQ(bytes, Join(fields));
      continue;
    }
    ASSERT_TRUE(error);
    EXPECT_EQ(error->message,
              "Die Datei \"z.omp\" ist keine g\xFCltige Projektdatei: Das Programm "
              "\"Hauptprogramm\" soll 100001 Zeilen haben, erlaubt sind h\366chstens 100000.");
    ExpectSameProject(project, SampleProject());
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->message,
              "Das Projekt wurde nicht gespeichert: Das Programm \"Hauptprogramm\" hat 100001 "
              "Zeilen, erlaubt sind h\366chstens 100000.");
    EXPECT_TRUE(bytes.empty());
  }
}

TEST_F(ProjectFileTest, LineLengthLimitHoldsAtLoadAndSave) {
  // The editor lays out a line whole: a line of megabytes would keep it busy for minutes.
  struct Row {
    const char* name;
    int slot;
    std::size_t length;
    bool accepted;
  };
  const Row rows[] = {{"at the limit", MainProgram, kMaxLineLength, true},
                      {"one character more", MainProgram, kMaxLineLength + 1, false},
                      {"in the mouse program", MouseHandlerProgram, 3 * kMaxLineLength, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ProjectContent big;
    big.programs[static_cast<std::size_t>(row.slot)] = {"x:=1", std::string(row.length, '1')};
    // The file as a save without the limit would write it.
    Fields fields = NewProjectFields("2,71828182845905", "3,14159265358979");
    const std::size_t count = fields.size() - (row.slot == MainProgram ? 2 : 1);
    fields[count] = "2";
    fields.insert(fields.begin() + static_cast<std::ptrdiff_t>(count) + 1,
                  {"x:=1", std::string(row.length, '1')});
    ProjectContent project = SampleProject();
    const std::optional<ProjectError> error = LoadProjectFromBytes(project, Join(fields), "z.omp");
    std::string bytes;
    const std::optional<ProjectError> refused = ProjectToBytes(big, bytes);
    if (row.accepted) {
      EXPECT_FALSE(error);
      EXPECT_EQ(project.programs[MainProgram][1].size(), row.length);
      EXPECT_FALSE(refused);
      EXPECT_EQ(bytes, Join(fields));
      continue;
    }
    const std::string program = row.slot == MainProgram
                                    ? "\"Hauptprogramm\""
                                    : "\"Ereignisbehandlung f\xFCr 'Mausknopf gedr\xFC"
                                      "ckt'\"";
    const std::string what = "Zeile 2 im Programm " + program + " hat " +
                             std::to_string(row.length) +
                             " Zeichen, erlaubt sind h\366chstens 100000.";
    ASSERT_TRUE(error);
    EXPECT_EQ(error->message, "Die Datei \"z.omp\" ist keine g\xFCltige Projektdatei: " + what);
    ExpectSameProject(project, SampleProject());
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->message, "Das Projekt wurde nicht gespeichert: " + what);
    EXPECT_TRUE(bytes.empty());
  }
}

TEST_F(ProjectFileTest, ProjectTooLargeToLoadIsNotSaved) {
  ProjectContent big;
  // Lines and line lengths within their limits, the whole beyond the file's.
  const std::size_t lines = kMaxProjectFileSize / kMaxLineLength + 1;
  big.programs[MainProgram].assign(lines, std::string(kMaxLineLength, '1'));
  std::string bytes;
  const std::optional<ProjectError> refused = ProjectToBytes(big, bytes);
  ASSERT_TRUE(refused);
  EXPECT_EQ(
      refused->message.rfind("Das Projekt wurde nicht gespeichert: Die Projektdatei w\xE4re ", 0),
      0u)
      << refused->message;
  EXPECT_TRUE(bytes.empty());
  EXPECT_TRUE(SaveProject(big, dir_ / "gross.omp"));
  EXPECT_FALSE(fs::exists(dir_ / "gross.omp"));
}

TEST_F(ProjectFileTest, FilesThatCannotBeReadAreRefusedWithoutHanging) {
  ASSERT_EQ(::mkfifo((dir_ / "rohr").c_str(), 0600), 0);
  fs::create_directory(dir_ / "ordner");
  WriteBytes(dir_ / "datei", "x");
  {
    // Sparse, so the test stays fast.
    std::ofstream big(dir_ / "riesig.omp", std::ios::binary);
  }
  fs::resize_file(dir_ / "riesig.omp", kMaxProjectFileSize + 1);
  struct Row {
    const char* name;
    fs::path file;
    std::string reason;
  };
  const Row rows[] = {
      {"missing file", dir_ / "fehlt.omp", "Die Datei oder der Ordner existiert nicht"},
      {"a folder", dir_ / "ordner", "Das ist ein Ordner"},
      {"a named pipe", dir_ / "rohr", "Das ist keine gew\xF6hnliche Datei"},
      {"a file as folder", dir_ / "datei" / "p.omp", "Ein Teil des Pfades ist kein Ordner"},
      {"too large", dir_ / "riesig.omp", "Sie ist zu gro\xDF f\xFCr eine Projektdatei"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ProjectContent project = SampleProject();
    const std::optional<ProjectError> error = LoadProject(project, row.file);
    ASSERT_TRUE(error);
    EXPECT_FALSE(error->fault);
    EXPECT_EQ(error->message, "Die Datei \"" + row.file.string() +
                                  "\" konnte nicht ge\366ffnet werden: " + row.reason + ".");
    ExpectSameProject(project, SampleProject());
  }
}

// ---------------------------------------------------------------------------------------
// Save never destroys work.

TEST_F(ProjectFileTest, SaveFailuresAreReportedAndLeaveNoTraces) {
  fs::create_directory(dir_ / "ordner");
  WriteBytes(dir_ / "datei", "alt");
  ASSERT_EQ(::mkfifo((dir_ / "rohr").c_str(), 0600), 0);
  struct Row {
    const char* name;
    fs::path file;
    std::string reason;
  };
  const Row rows[] = {
      {"target is a folder", dir_ / "ordner", "Das ist ein Ordner"},
      {"folder does not exist", dir_ / "fehlt" / "p.omp",
       "Die Datei oder der Ordner existiert nicht"},
      {"a file stands in place of the folder", dir_ / "datei" / "p.omp",
       "Ein Teil des Pfades ist kein Ordner"},
      {"target is a named pipe", dir_ / "rohr", "Das ist keine gew\xF6hnliche Datei"},
      {"no file name", fs::path(), "Es wurde kein Dateiname angegeben"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::optional<ProjectError> error = SaveProject(SampleProject(), row.file);
    ASSERT_TRUE(error);
    EXPECT_FALSE(error->fault);
    EXPECT_EQ(error->message, "Das Projekt konnte nicht in der Datei \"" + row.file.string() +
                                  "\" gespeichert werden: " + row.reason + ".");
  }
  EXPECT_EQ(ReadBytes(dir_ / "datei"), "alt");
  EXPECT_TRUE(fs::is_fifo(dir_ / "rohr"));
  EXPECT_TRUE(Leftovers({"ordner", "datei", "rohr"}).empty());
}

TEST_F(ProjectFileTest, SaveThatCannotBeWrittenKeepsTheOldFile) {
  // Root writes into any folder, so the file size limit, which binds root as well, makes
  // the write itself fail there.
  struct Row {
    const char* name;
    bool needs_a_user;
    std::string reason;
  };
  const Row rows[] = {
      {"read-only folder", true, "Zugriff verweigert"},
      {"file size limit", false, "Die Datei w\xE4re zu gro\xDF"},
  };
  const fs::path folder = dir_ / "ziel";
  fs::create_directory(folder);
  const fs::path file = folder / "p.omp";
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.needs_a_user && ::geteuid() == 0) continue;
    WriteBytes(file, "alt");
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    if (row.needs_a_user) {
      ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    } else {
      rlimit small = saved;
      small.rlim_cur = 16;
      ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    }
    const std::optional<ProjectError> error = SaveProject(SampleProject(), file);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, old_handler);
    ::chmod(folder.c_str(), 0755);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->message, "Das Projekt konnte nicht in der Datei \"" + file.string() +
                                  "\" gespeichert werden: " + row.reason + ".");
    EXPECT_EQ(ReadBytes(file), "alt");
    EXPECT_EQ(fs::directory_iterator(folder)->path(), file);  // nothing beside it
  }
}

TEST_F(ProjectFileTest, SavesKilledOnTheWayLeaveNothingBehind) {
  ProjectContent big;
  big.programs[MainProgram].assign(50000, "ZeichneKreis(1;2;3)");
  const fs::path file = dir_ / "gross.omp";
  ASSERT_FALSE(SaveProject(big, file));
  const std::string saved = ReadBytes(file);
  for (int kill = 0; kill < 40; ++kill) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (;;) SaveProject(big, file);
    }
    ::usleep(static_cast<useconds_t>(2000 + (kill * 7919) % 20000));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ASSERT_EQ(ReadBytes(file), saved);
  }
  // A save killed between naming its temporary and renaming it leaves one; the next save
  // after a while removes it.
  for (const std::string& name : Leftovers({"gross.omp"})) {
    fs::last_write_time(dir_ / name, fs::file_time_type::clock::now() - std::chrono::hours(1));
  }
  ASSERT_FALSE(SaveProject(big, file));
  EXPECT_EQ(Leftovers({"gross.omp"}), std::vector<std::string>{});
}

TEST_F(ProjectFileTest, SaveKeepsTheOwnerOfTheFileItReplaces) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root may give a file to another user";
  const fs::path file = dir_ / "fremd.omp";
  WriteBytes(file, "alt");
  ASSERT_EQ(::chown(file.c_str(), 4242, 4343), 0);
  ASSERT_EQ(::chmod(file.c_str(), 0664), 0);
  ASSERT_FALSE(SaveProject(SampleProject(), file));
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 4242u);
  EXPECT_EQ(info.st_gid, 4343u);
  EXPECT_EQ(info.st_mode & 07777, 0664u);
  EXPECT_NE(ReadBytes(file), "alt");
}

TEST_F(ProjectFileTest, SaveReplacesTheOldFileAndKeepsItsPermissions) {
  const fs::path file = dir_ / "p.omp";
  WriteBytes(file, std::string(10000, 'x'));
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  ASSERT_FALSE(SaveProject(ProjectContent{}, file));
  EXPECT_EQ(ReadBytes(file), Join(NewProjectFields("2,71828182845905", "3,14159265358979")));
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_TRUE(Leftovers({"p.omp"}).empty());
}

TEST_F(ProjectFileTest, SaveThroughALinkWritesTheLinkedFile) {
  fs::create_directories(dir_ / "a");
  fs::create_directories(dir_ / "b");
  struct Row {
    const char* name;
    std::vector<std::pair<fs::path, fs::path>> links;  // link, where it points
    fs::path saved_as;
    fs::path written;
    bool existed;
  };
  const std::vector<Row> rows = {
      {"to an existing file",
       {{dir_ / "verweis.omp", dir_ / "echt.omp"}},
       dir_ / "verweis.omp",
       dir_ / "echt.omp",
       true},
      {"dangling",
       {{dir_ / "offen.omp", dir_ / "neu.omp"}},
       dir_ / "offen.omp",
       dir_ / "neu.omp",
       false},
      {"dangling and relative",
       {{dir_ / "a" / "rel.omp", "../b/neu.omp"}},
       dir_ / "a" / "rel.omp",
       dir_ / "b" / "neu.omp",
       false},
      {"a chain ending nowhere",
       {{dir_ / "eins.omp", "zwei.omp"}, {dir_ / "zwei.omp", dir_ / "b" / "ende.omp"}},
       dir_ / "eins.omp",
       dir_ / "b" / "ende.omp",
       false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.existed) WriteBytes(row.written, "alt");
    for (const auto& [link, to] : row.links) fs::create_symlink(to, link);
    ASSERT_FALSE(SaveProject(ProjectContent{}, row.saved_as));
    for (const auto& link : row.links) EXPECT_TRUE(fs::is_symlink(link.first));
    EXPECT_EQ(ReadBytes(row.written),
              Join(NewProjectFields("2,71828182845905", "3,14159265358979")));
  }
  // A loop of links is refused.
  fs::create_symlink(dir_ / "ring2.omp", dir_ / "ring1.omp");
  fs::create_symlink(dir_ / "ring1.omp", dir_ / "ring2.omp");
  const std::optional<ProjectError> error = SaveProject(ProjectContent{}, dir_ / "ring1.omp");
  ASSERT_TRUE(error);
  EXPECT_NE(error->message.find("Zu viele symbolische Verkn\xFCpfungen"), std::string::npos);
}

TEST_F(ProjectFileTest, SeparatorCharacterIsRefusedAtSave) {
  struct Row {
    const char* name;
    void (*change)(ProjectContent&);
    std::string what;
  };
  const Row rows[] = {
      {"program line",
       [](ProjectContent& p) {
         p.programs[MouseHandlerProgram] = {"a:=1", "Text(\2471)"};
       },
       "Zeile 2 im Programm \"Ereignisbehandlung f\xFCr 'Mausknopf gedr\374ckt'\""},
      {"main program line", [](ProjectContent& p) { p.programs[MainProgram] = {"\xA7"}; },
       "Zeile 1 im Programm \"Hauptprogramm\""},
      {"variable name", [](ProjectContent& p) { p.variables.SetName(5, "x\xA7y"); },
       "Der Name der Variablen \"x\xA7y\""},
      {"function name", [](ProjectContent& p) { p.functions.SetName(24, "g\xA7"); },
       "Der Name der Funktion \"g\xA7\""},
      {"function term", [](ProjectContent& p) { p.functions.SetTerm(23, "#\xA7#"); },
       "Der Term der Funktion \"f\""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ProjectContent project = SampleProject();
    row.change(project);
    const fs::path file = dir_ / "p.omp";
    WriteBytes(file, "alt");
    const std::optional<ProjectError> error = SaveProject(project, file);
    ASSERT_TRUE(error);
    EXPECT_FALSE(error->fault);
    const std::string expected =
        "Das Projekt wurde nicht gespeichert: " + row.what +
        " enth\xE4lt das Zeichen \"\xA7\", das in Projektdateien die Felder "
        "trennt. Bitte entfernen Sie es.";
    EXPECT_EQ(error->message, expected);
    EXPECT_EQ(ReadBytes(file), "alt");
    EXPECT_TRUE(Leftovers({"p.omp"}).empty());
  }
  // Entries beyond the counts are not saved, so they may hold anything.
  ProjectContent project;
  project.variables.SetName(50, "\xA7");
  std::string bytes;
  EXPECT_FALSE(ProjectToBytes(project, bytes));
}

TEST_F(ProjectFileTest, StartValuesThatWouldNotReadBackAreRefused) {
  struct Row {
    const char* name;
    TComplex value;
    std::string message;
  };
  const Row rows[] = {
      {"largest double rounds above the range",
       {DBL_MAX, 0.0},
       "Das Projekt wurde nicht gespeichert: Der Realteil des Startwerts der Variablen \"x\" "
       "(1,79769313486232E308) l\xE4sst sich nicht als Zahl speichern."},
      {"infinite imaginary part",
       {0.0, -HUGE_VAL},
       "Das Projekt wurde nicht gespeichert: Der Imagin\xE4rteil des Startwerts der Variablen "
       "\"x\" (-INF) l\xE4sst sich nicht als Zahl speichern."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ProjectContent project = SampleProject();
    project.variables.SetStartValue(5, row.value);
    std::string bytes = "old";
    const std::optional<ProjectError> error = ProjectToBytes(project, bytes);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->message, row.message);
    EXPECT_TRUE(bytes.empty());
  }
  // The largest value that still reads back is saved.
  ProjectContent project;
  project.variables.SetStartValue(0, {1.79769313486231E308, -1E-300});
  std::string bytes;
  ASSERT_FALSE(ProjectToBytes(project, bytes));
  ProjectContent loaded;
  EXPECT_FALSE(LoadProjectFromBytes(loaded, bytes));
}

}  // namespace
}  // namespace ombrix
