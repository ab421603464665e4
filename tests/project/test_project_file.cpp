#include "logic/project/project_file.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"
#include "tests/project/project_world.h"

namespace ombrix {
namespace {

namespace fs = std::filesystem;
using testing::ExpectSameProject;
using testing::Fields;
using testing::Join;
using testing::MemoryFileStore;
using testing::NewProjectFields;
using testing::SampleProject;

// What the load gives for e and Pi: their values rounded to 15 significant digits.
void RoundConstants(ProjectContent& p) {
  p.variables.SetStartValue(1, {2.71828182845905, 0.0});
  p.variables.SetStartValue(2, {3.14159265358979, 0.0});
}

class ProjectFileTest : public ::testing::Test {
 protected:
  void SetUp() override { SetDecimalSeparator(','); }
  void TearDown() override { SetDecimalSeparator(','); }
  MemoryFileStore files_;
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
    const fs::path file = "neu.omp";
    ASSERT_FALSE(SaveProject(ProjectContent{}, file, files_));
    EXPECT_EQ(files_.files[file], expected);
  }
}

TEST_F(ProjectFileTest, RoundTripKeepsTextsAndRoundsStartValues) {
  for (char separator : {',', '.'}) {
    SCOPED_TRACE(std::string("separator ") + separator);
    SetDecimalSeparator(separator);
    const ProjectContent saved = SampleProject();
    const fs::path file = "runde.omp";
    ASSERT_FALSE(SaveProject(saved, file, files_));

    ProjectContent loaded;
    loaded.programs[MainProgram] = {"alt"};
    ASSERT_FALSE(LoadProject(loaded, file, files_));

    ProjectContent expected = saved;
    RoundConstants(expected);
    expected.variables.SetStartValue(3, {0.333333333333333, -2.5});
    expected.variables.SetStartValue(4, {1e20, 0.0});
    expected.variables.SetStartValue(6, {0.3, 0.0});
    ExpectSameProject(loaded, expected);
    // Umlauts are single bytes in the file.
    const std::string bytes = files_.files[file];
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
  const fs::path file = "kurz.omp";
  files_.files[file] = Join({"2", "i", "0"});
  ProjectContent project;
  const std::optional<ProjectError> error = LoadProject(project, file, files_);
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
    char reader = ',';  // the decimal separator the file is read with
  };
  const std::string e_comma = "'2,71828182845905' ist kein g\xFCltiger Gleitkommawert";
  const Row rows[] = {
      {"rule no integer", 16, "eins", "'eins' ist kein g\xFCltiger Integerwert"},
      // A file that reads under neither separator: the message of the reader's own.
      {"under '.', Pi written with '.'", 8, "3.14159265358979", e_comma, '.'},
      {"under '.', a field that is no number after e and Pi", 10, "x", e_comma, '.'},
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
    SetDecimalSeparator(row.reader);
    Fields fields = good;
    fields[row.field] = row.text;
    const fs::path file = "kaputt.omp";
    files_.files[file] = Join(fields);
    ProjectContent project = SampleProject();
    const std::optional<ProjectError> error = LoadProject(project, file, files_);
    ASSERT_TRUE(error);
    // The message every front end shows, in the "Fehler" box.
    EXPECT_FALSE(error->fault);
    EXPECT_EQ(error->message,
              "Die Datei \"kaputt.omp\" ist keine g\xFCltige Projektdatei: " + row.message + ".");
    ExpectSameProject(project, SampleProject());
  }
}

// A project with decimal numbers in a term and in program lines, and its file under `separator`.
ProjectContent DecimalProject() {
  ProjectContent p = SampleProject();
  p.functions.SetTerm(23, "#^2+0,5");
  p.programs[MainProgram] = {"x:=[1,5|-0,25]*2,5e-1", "ZeichneKreis(0;,5)", "Wenn(x>1)"};
  return p;
}

TEST_F(ProjectFileTest, FileOfTheOtherSeparatorIsReadAndConverted) {
  std::string german;
  ASSERT_FALSE(ProjectToBytes(DecimalProject(), german));
  ProjectContent english = DecimalProject();
  english.functions.SetTerm(23, "#^2+0.5");
  english.programs[MainProgram] = {"x:=[1.5|-0.25]*2.5e-1", "ZeichneKreis(0;.5)", "Wenn(x>1)"};
  SetDecimalSeparator('.');
  std::string english_bytes;
  ASSERT_FALSE(ProjectToBytes(english, english_bytes));
  // What each reader makes of the file its own separator wrote, and writes again.
  ProjectContent own_comma;
  ProjectContent own_dot;
  ASSERT_FALSE(LoadProjectFromBytes(own_dot, english_bytes));
  std::string dot_again;
  ASSERT_FALSE(ProjectToBytes(own_dot, dot_again));
  SetDecimalSeparator(',');
  ASSERT_FALSE(LoadProjectFromBytes(own_comma, german));
  std::string comma_again;
  ASSERT_FALSE(ProjectToBytes(own_comma, comma_again));
  struct Row {
    const char* name;
    char reader;
    const std::string* bytes;
    bool converted;
  };
  const Row rows[] = {
      {"German file, English reader", '.', &german, true},
      {"English file, German reader", ',', &english_bytes, true},
      {"German file, German reader", ',', &german, false},
      {"English file, English reader", '.', &english_bytes, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    SetDecimalSeparator(row.reader);
    EXPECT_EQ(FileDecimalSeparator(*row.bytes),
              row.converted ? (row.reader == ',' ? '.' : ',') : row.reader);
    ProjectContent loaded;
    bool converted = !row.converted;
    ASSERT_FALSE(LoadProjectFromBytes(loaded, *row.bytes, "p.omp", &converted));
    EXPECT_EQ(converted, row.converted);
    ExpectSameProject(loaded, row.reader == ',' ? own_comma : own_dot);
    // Saved again, it is the file the reader's own separator writes.
    std::string again;
    ASSERT_FALSE(ProjectToBytes(loaded, again));
    EXPECT_EQ(again, row.reader == ',' ? comma_again : dot_again);
  }
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
  EXPECT_TRUE(SaveProject(big, "gross.omp", files_));
  EXPECT_EQ(files_.files.count("gross.omp"), 0u);
}

// ---------------------------------------------------------------------------------------
// Save never destroys work.

TEST_F(ProjectFileTest, FileFailuresAreFramedWithTheFileName) {
  files_.failures["weg.omp"] = {"Zugriff verweigert", false};
  files_.failures["riesig.omp"] = {{}, true};
  files_.files["klein.omp"] = Join(NewProjectFields());
  struct Row {
    const char* name;
    fs::path file;
    std::string message;
  };
  const Row rows[] = {
      {"the reason as the files give it", "weg.omp",
       "Die Datei \"weg.omp\" konnte nicht ge\366ffnet werden: Zugriff verweigert."},
      {"too large", "riesig.omp",
       "Die Datei \"riesig.omp\" konnte nicht ge\366ffnet werden: Sie ist zu gro\xDF f\xFCr eine "
       "Projektdatei."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ProjectContent project = SampleProject();
    const std::optional<ProjectError> error = LoadProject(project, row.file, files_);
    ASSERT_TRUE(error);
    EXPECT_FALSE(error->fault);
    EXPECT_EQ(error->message, row.message);
    ExpectSameProject(project, SampleProject());
  }
  const std::optional<ProjectError> error = SaveProject(SampleProject(), "weg.omp", files_);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->message,
            "Das Projekt konnte nicht in der Datei \"weg.omp\" gespeichert werden: Zugriff "
            "verweigert.");
  ProjectContent project;
  EXPECT_FALSE(LoadProject(project, "klein.omp", files_));
}

TEST_F(ProjectFileTest, ControlCharactersInQuotedTextsAreShown) {
  // A project file written with a line break after every separator, and texts that hold
  // control characters: a quote shows them, it never breaks a line.
  Fields crlf = NewProjectFields();
  for (std::size_t k = 1; k < crlf.size(); ++k) crlf[k] = "\r\n" + crlf[k];
  struct Row {
    const char* name;
    std::string bytes;
    std::string label;
    std::string message;
  };
  const Row rows[] = {
      {"real after a line break", Join(crlf), "crlf.omp",
       "Die Datei \"crlf.omp\" ist keine g\xFCltige Projektdatei: '??0' ist kein g\xFCltiger "
       "Gleitkommawert."},
      {"integer with a tab, a NUL and an escape", Join({std::string("\t2\0\x1B\x7F", 5)}), "x.omp",
       "Die Datei \"x.omp\" ist keine g\xFCltige Projektdatei: '?2??"
       "?' ist kein g\xFCltiger Integerwert."},
      {"file name with a line break", Join({"2"}), "zwei\nzeilen.omp",
       "Die Datei \"zwei?zeilen.omp\" ist keine g\xFCltige Projektdatei: Sie endet vorzeitig."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ProjectContent project;
    const std::optional<ProjectError> error = LoadProjectFromBytes(project, row.bytes, row.label);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->message, row.message);
  }
  ProjectContent project = SampleProject();
  project.variables.SetName(5, "a\tb\xA7");
  std::string bytes;
  const std::optional<ProjectError> refused = ProjectToBytes(project, bytes);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->message.rfind("Das Projekt wurde nicht gespeichert: Der Name der Variablen "
                                   "\"a?b\xA7\" enth\xE4lt",
                                   0),
            0u)
      << refused->message;
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
    const fs::path file = "p.omp";
    files_.files[file] = "alt";
    const std::optional<ProjectError> error = SaveProject(project, file, files_);
    ASSERT_TRUE(error);
    EXPECT_FALSE(error->fault);
    const std::string expected =
        "Das Projekt wurde nicht gespeichert: " + row.what +
        " enth\xE4lt das Zeichen \"\xA7\", das in Projektdateien die Felder "
        "trennt. Bitte entfernen Sie es.";
    EXPECT_EQ(error->message, expected);
    EXPECT_EQ(files_.files[file], "alt");
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
