#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "cli/cli.h"
#include "logic/complex/num_text.h"
#include "logic/project/project_file.h"
#include "platform/picture_files.h"
#include "tests/cli/cli_run_util.h"
#include "tests/support/colour_wheel.h"
#include "tests/support/example_programs.h"

namespace ombrix::cli {
namespace {

namespace fs = std::filesystem;

using testing::ReadBytes;
using testing::Result;

Result RunCli(std::vector<std::string> args) { return testing::Invoke("run", std::move(args)); }

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// --- The example projects -------------------------------------------------------------
// Written by the generator below so that no field holds a decimal separator and every
// example loads under either regional setting: fractions are terms (4/5), and the start
// values of e and Pi are written as digits with an exponent (271828182845905E-14), which
// reads back as the 15-digit value a normal save stores. Run with
// OMBRIX_WRITE_EXAMPLES=1 to write them into examples/.

void AddVariable(ProjectContent& p, const std::string& name, TComplex start = {}) {
  const int j = p.variables.LastVariable() + 1;
  p.variables.SetLastVariable(j);
  p.variables.SetName(j, name);
  p.variables.SetStartValue(j, start);
}

void AddFunction(ProjectContent& p, const std::string& name, const std::string& term) {
  const int k = p.functions.LastFunction() + 1;
  p.functions.SetLastFunction(k);
  p.functions.SetName(k, name);
  p.functions.SetTerm(k, term);
}

ProjectContent NewExample() { return ProjectContent{}; }

// The file bytes of an example: the constants' start values without a separator.
std::string ExampleBytes(const ProjectContent& project) {
  std::string bytes;
  EXPECT_FALSE(ProjectToBytes(project, bytes));
  const std::pair<double, const char*> constants[] = {{2.718281828459045, "271828182845905E-14"},
                                                      {3.141592653589793, "314159265358979E-14"}};
  for (const auto& [value, text] : constants) {
    const std::string field = "\xA7" + RealToText(value) + "\xA7";
    const std::size_t at = bytes.find(field);
    EXPECT_NE(at, std::string::npos) << field;
    if (at != std::string::npos)
      bytes.replace(at, field.size(), std::string("\xA7") + text + "\xA7");
  }
  return bytes;
}

ProjectContent Julia() {
  ProjectContent p = NewExample();
  for (const char* name : {"x", "y", "p", "z", "c", "n"}) AddVariable(p, name);
  p.programs[0] = ombrix::testing::JuliaProgram();
  return p;
}

ProjectContent RootsOfUnity() {
  ProjectContent p = NewExample();
  AddVariable(p, "n", {12, 0});
  AddVariable(p, "w");
  AddVariable(p, "z");
  p.programs[0] = {
      "SetzeSkala(-3/2;3/2;-3/2;3/2)",
      "L\xF6scheBild",
      "ZeichneSkala",
      "ZeichneKreis(0;1)",
      "w:=E(2*Pi/n)",
      "z:=1",
      "Wiederhole(n)",
      "ZeichneLinie(0;z)",
      "ZeichneKreis(z;1/25)",
      "z:=z*w",
      "EndeWiederhole",
  };
  return p;
}

ProjectContent Spiral() {
  ProjectContent p = NewExample();
  AddVariable(p, "q");
  AddVariable(p, "z");
  p.programs[0] = {
      "SetzeSkala(-5;5;-5;5)", "L\xF6scheBild", "ZeichneSkala",
      "q:=(1+i/12)*99/100",    "z:=4+i",        "Wiederhole(600)",
      "ZeichneLinie(z;z*q)",   "z:=z*q",        "EndeWiederhole",
  };
  return p;
}

ProjectContent FunctionPlot() {
  ProjectContent p = NewExample();
  AddFunction(p, "f", "#^3/10-2*#");
  AddFunction(p, "g", "3*Sin(#)");
  AddVariable(p, "x");
  AddVariable(p, "h");
  p.programs[0] = {
      "SetzeSkala(-5;5;-5;5)",
      "L\xF6scheBild",
      "ZeichneSkala",
      "h:=1/10",
      "x:=ReMin()",
      "Solange(x<ReMax())",
      "ZeichneLinie(x+f(x)*i;x+h+f(x+h)*i)",
      "ZeichneLinie(x+g(x)*i;x+h+g(x+h)*i)",
      "x:=x+h",
      "EndeSolange",
  };
  return p;
}

ProjectContent MousePainting() {
  ProjectContent p = NewExample();
  AddVariable(p, "a");
  AddVariable(p, "s");
  p.programs[0] = {
      "SetzeSkala(-5;5;-5;5)",
      "L\xF6scheBild",
      "ZeichneSkala",
  };
  p.programs[1] = {
      "Wenn(s)", "ZeichneLinie(a;MausPos())", "EndeWenn", "a:=MausPos()",
      "s:=1",    "ZeichneKreis(a;1/10)",
  };
  return p;
}

struct Example {
  const char* file;
  std::function<ProjectContent()> build;
};

const std::vector<Example>& Examples() {
  static const std::vector<Example> examples = {
      {"julia.omp", Julia},
      {"einheitswurzeln.omp", RootsOfUnity},
      {"spirale.omp", Spiral},
      {"funktionsplot.omp", FunctionPlot},
      {"mausmalen.omp", MousePainting},
  };
  return examples;
}

const fs::path kExamples = fs::path(OMBRIX_SOURCE_DIR) / "examples";

class CliRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetDecimalSeparator('.');
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    dir_ = fs::temp_directory_path() /
           ("ombrix-cli-run-" + std::to_string(::getpid()) + "-" + std::to_string(stamp));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  // A project with the two programs and the user variables x and n, saved under ".".
  std::string Project(std::vector<std::string> main, std::vector<std::string> mouse = {}) {
    ProjectContent project = NewExample();
    // Constants without fractions, so the file reads under either separator.
    project.variables.SetStartValue(1, {});
    project.variables.SetStartValue(2, {});
    AddVariable(project, "x");
    AddVariable(project, "n");
    project.programs[0] = std::move(main);
    project.programs[1] = std::move(mouse);
    const fs::path file = dir_ / ("p" + std::to_string(count_++) + ".omp");
    SetDecimalSeparator('.');
    EXPECT_FALSE(SaveProject(project, file));
    return file.string();
  }
  fs::path dir_;
  int count_ = 0;
};

TEST_F(CliRunTest, ExampleFilesAreWhatTheirGeneratorWrites) {
  const bool write = std::getenv("OMBRIX_WRITE_EXAMPLES") != nullptr;
  for (const auto& example : Examples()) {
    SCOPED_TRACE(example.file);
    const std::string bytes = ExampleBytes(example.build());
    EXPECT_EQ(bytes.find_first_of(".,"), std::string::npos) << "a decimal separator";
    if (write) std::ofstream(kExamples / example.file, std::ios::binary) << bytes;
    EXPECT_EQ(ReadBytes(kExamples / example.file), bytes);
    // Under either separator the constants load with their usual values.
    for (char separator : {',', '.'}) {
      SetDecimalSeparator(separator);
      ProjectContent loaded;
      ASSERT_FALSE(LoadProjectFromBytes(loaded, bytes));
      EXPECT_EQ(loaded.variables.StartValue(1).Re, 2.71828182845905);
      EXPECT_EQ(loaded.variables.StartValue(2).Re, 3.14159265358979);
    }
  }
}

TEST_F(CliRunTest, EveryExampleRunsUnderBothSeparators) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(kExamples)) {
    if (entry.path().extension() == ".omp") files.push_back(entry.path());
  }
  ASSERT_GE(files.size(), 5u);
  for (const char* separator : {",", "."}) {
    for (const auto& file : files) {
      SCOPED_TRACE(file.filename().string() + " " + separator);
      const Result r = RunCli({"--decimal-separator", separator, "--max-steps", "20000", "--click",
                               "200,200", "--click", "300,120", file.string()});
      EXPECT_TRUE(r.status == kExitOk || r.status == kExitStepLimit) << r.err;
      EXPECT_EQ(r.err.find("Fehler"), std::string::npos) << r.err;
      EXPECT_EQ(r.err.find("Ombrix 0.98"), std::string::npos) << r.err;
    }
  }
}

TEST_F(CliRunTest, MousePaintingDrawsAtEachClick) {
  const Result r = RunCli({"--trace", "--click", "200,200", "--click", "240,160",
                           (kExamples / "mausmalen.omp").string()});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  const std::vector<std::string> out = Lines(r.out);
  ASSERT_GE(out.size(), 9u);
  const std::vector<std::string> tail(out.end() - 9, out.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"BrushStyle none", "PenColor 000000",
                                            "Ellipse 196 197 204 203", "PenColor 000000",
                                            "MoveTo 200 200", "LineTo 240 160", "BrushStyle none",
                                            "PenColor 000000", "Ellipse 236 157 244 163"}));
  EXPECT_EQ(Lines(r.err),
            (std::vector<std::string>{"Information: Das Hauptprogramm wurde erfolgreich beendet.",
                                      "Mausposition: 0", "Mausposition: 1+i"}));
}

TEST_F(CliRunTest, TraceShowsEveryCanvasCall) {
  const Result r = RunCli({"--trace", Project({"ZeichnePunkt(1+i)", "ZeichneKreis(0;1)",
                                               "L\xC3\xB6scheLinie(0;1)", "L\xC3\xB6scheBild"})});
  // Program lines in the file are Windows-1252; the ones above are UTF-8 and unknown.
  EXPECT_EQ(r.status, kExitFailed);
  const Result ok = RunCli({"--trace", Project({"ZeichnePunkt(1+i)", "ZeichneKreis(0;1)",
                                                "L\xF6scheLinie(0;1)", "L\xF6scheBild"})});
  EXPECT_EQ(ok.status, kExitOk) << ok.err;
  EXPECT_EQ(Lines(ok.out), (std::vector<std::string>{
                               "SetPixel 240 160 000000", "BrushStyle none", "PenColor 000000",
                               "Ellipse 160 161 240 239", "PenColor FFFFFF", "MoveTo 200 200",
                               "LineTo 240 200", "BrushStyle solid", "FillRect 0 0 400 400"}));
  EXPECT_EQ(ok.err, "Information: Das Hauptprogramm wurde erfolgreich beendet.\n");
}

TEST_F(CliRunTest, TraceShowsTheColourOfEverySetzeFarbe) {
  // Project() leaves Pi at 0: first its usual value.
  std::vector<std::string> program = {"Pi:=314159265358979/100000000000000"}, expected;
  for (const ombrix::testing::ColourRow& row : ombrix::testing::kColourRows) {
    program.push_back(std::string("SetzeFarbe(") + row.term + ")");
    expected.push_back("PenColor " + ombrix::testing::ColourHex(row.colour));
  }
  const Result r = RunCli({"--trace", Project(program)});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(Lines(r.out), expected);
}

TEST_F(CliRunTest, ExitStatusAndMessages) {
  struct Row {
    const char* name;
    std::vector<std::string> main;
    std::vector<std::string> options;
    int status;
    std::vector<std::string> err;
  };
  const std::vector<Row> rows = {
      {"empty program",
       {},
       {},
       kExitOk,
       {"Information: Das Hauptprogramm wurde erfolgreich beendet."}},
      {"failed step",
       {"x:=1", "Hallo"},
       {},
       kExitFailed,
       {"Fehler: Unbekanntes Kommando:\\n\\nZeile 2: 'Hallo'\\n\\nin: 'Hauptprogramm'"}},
      {"fault",
       {"x:=1e2e3"},
       {},
       kExitFailed,
       {"Ombrix 0.98 (mit Formulon 2.11): '1e2e3' ist kein g\xC3\xBCltiger Gleitkommawert."}},
      {"step limit",
       {"Solange(1)", "EndeSolange"},
       {"--max-steps", "50"},
       kExitStepLimit,
       {"Das Hauptprogramm wurde nach 50 Schritten angehalten."}},
      {"limit of one step",
       {"Solange(1)", "EndeSolange"},
       {"--max-steps", "1"},
       kExitStepLimit,
       {"Das Hauptprogramm wurde nach 1 Schritt angehalten."}},
      {"limit of zero on an empty program",
       {},
       {"--max-steps=0"},
       kExitOk,
       {"Information: Das Hauptprogramm wurde erfolgreich beendet."}},
      {"limit not reached",
       {"x:=1", "x:=2"},
       {"--max-steps", "2"},
       kExitOk,
       {"Information: Das Hauptprogramm wurde erfolgreich beendet."}},
      {"two boxes of a failing argument",
       {"ZeichnePunkt(nix)"},
       {},
       kExitFailed,
       {"Fehler: Unbekannter Funktionsname:\\n\\nZeile 1: 'ZeichnePunkt(nix)'\\n\\nin: "
        "'Hauptprogramm'",
        "Fehler: Unzul\xC3\xA4ssiges Argument in Funktion:\\n\\nZeile 1: 'ZeichnePunkt(nix)'"
        "\\n\\nin: 'Hauptprogramm'"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<std::string> args = row.options;
    args.push_back(Project(row.main));
    const Result r = RunCli(args);
    EXPECT_EQ(r.status, row.status);
    EXPECT_EQ(Lines(r.err), row.err);
    EXPECT_EQ(r.out, "");
  }
}

TEST_F(CliRunTest, ClicksRunTheMouseProgramWhileItIsEnabled) {
  struct Row {
    const char* name;
    std::vector<std::string> main;
    std::vector<std::string> mouse;
    std::vector<std::string> clicks;
    int status;
    std::vector<std::string> err;
    std::vector<std::string> out;
  };
  const std::vector<Row> rows = {
      {"handler draws at the mouse",
       {},
       {"ZeichnePunkt(MausPos())"},
       {"200,200", "0,0", "400,400"},
       kExitOk,
       {"Information: Das Hauptprogramm wurde erfolgreich beendet.", "Mausposition: 0",
        "Mausposition: -4.99+5*i", "Mausposition: 5-4.99*i"},
       {"SetPixel 200 200 000000", "SetPixel 0 0 000000", "SetPixel 400 400 000000"}},
      {"a failed main program switches the handler off",
       {"Hallo"},
       {"ZeichnePunkt(MausPos())"},
       {"200,200"},
       kExitFailed,
       {"Fehler: Unbekanntes Kommando:\\n\\nZeile 1: 'Hallo'\\n\\nin: 'Hauptprogramm'",
        "Mausposition: 0"},
       {}},
      {"a failing handler reports and switches itself off",
       {},
       {"n:=n+1", "Wenn(n>1)", "Hallo", "EndeWenn", "ZeichnePunkt(MausPos())"},
       {"200,200", "240,200", "280,200"},
       kExitFailed,
       {"Information: Das Hauptprogramm wurde erfolgreich beendet.", "Mausposition: 0",
        "Mausposition: 1",
        "Fehler: Unbekanntes Kommando:\\n\\nZeile 3: 'Hallo'\\n\\nin: 'Ereignisbehandlung "
        "f\xC3\xBCr 'Mausknopf gedr\303\274ckt''",
        "Mausposition: 2"},
       {"SetPixel 200 200 000000"}},
      {"clicks after the step limit still reach the handler",
       {"Solange(1)", "EndeSolange"},
       {"ZeichnePunkt(MausPos())"},
       {"10,20"},
       kExitStepLimit,
       {"Das Hauptprogramm wurde nach 10 Schritten angehalten.", "Mausposition: -4.74+4.5*i"},
       {"SetPixel 10 20 000000"}},
      {"a click whose position overflows ends like a faulting event",
       {"SetzeSkala(-17e307;1;-1;1)"},
       {"ZeichnePunkt(MausPos())"},
       {"2147483647,0", "0,0"},
       kExitFailed,
       {"Information: Das Hauptprogramm wurde erfolgreich beendet.",
        "Ombrix 0.98 (mit Formulon 2.11): Gleitkomma\303\274berlauf.", "Mausposition: -1.7E308+i"},
       {"SetPixel 0 0 000000"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<std::string> args = {"--trace", "--max-steps", "10"};
    for (const auto& click : row.clicks) {
      args.push_back("--click");
      args.push_back(click);
    }
    args.push_back(Project(row.main, row.mouse));
    const Result r = RunCli(args);
    EXPECT_EQ(r.status, row.status);
    EXPECT_EQ(Lines(r.err), row.err);
    EXPECT_EQ(Lines(r.out), row.out);
  }
}

TEST_F(CliRunTest, PicturesTakeTheFormatOfTheirExtension) {
  const std::string project =
      Project({"ZeichneLinie(0;1)", "ZeichnePunkt(-1)", "SetzeFarbe(2)", "ZeichnePunkt(1+i)"});
  for (const char* name : {"bild.png", "bild.bmp", "bild.jpg", "BILD.PNG"}) {
    SCOPED_TRACE(name);
    const fs::path file = dir_ / name;
    const Result r = RunCli({"--png", file.string(), project});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    QImage image;
    ASSERT_TRUE(image.load(QString::fromStdString(file.string())));
    EXPECT_EQ(image.size(), QSize(400, 400));
    if (std::string(name) != "bild.jpg") {
      EXPECT_EQ(image.pixel(200, 200), qRgb(0, 0, 0));
      EXPECT_EQ(image.pixel(239, 200), qRgb(0, 0, 0));
      EXPECT_EQ(image.pixel(240, 200), qRgb(255, 255, 255));
      EXPECT_EQ(image.pixel(160, 200), qRgb(0, 0, 0));
      EXPECT_EQ(image.pixel(161, 200), qRgb(255, 255, 255));
      EXPECT_EQ(image.pixel(240, 160), qRgb(255, 104, 104));
    }
  }
}

TEST_F(CliRunTest, AProgramDrawsOverALoadedPicture) {
  const QString metafile = QStringLiteral(OMBRIX_SOURCE_DIR "/tests/platform/data/shapes.emf");
  const std::variant<QImage, std::string> loaded = LoadPictureFile(metafile);
  ASSERT_TRUE(std::holds_alternative<QImage>(loaded));
  const QImage& before = std::get<QImage>(loaded);
  const fs::path file = dir_ / "bild.png";
  const Result r = RunCli({"--picture", metafile.toStdString(), "--png", file.string(),
                           Project({"ZeichnePunkt(-2+2*i)"})});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  QImage image;
  ASSERT_TRUE(image.load(QString::fromStdString(file.string())));
  ASSERT_EQ(image.size(), before.size());  // the metafile's own size
  int changed = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixel(x, y) == before.pixel(x, y)) continue;
      ++changed;
      EXPECT_EQ(image.pixel(x, y), qRgb(0, 0, 0));
      EXPECT_EQ(before.pixel(x, y), qRgb(255, 0, 0));  // the point lies on the red rectangle
    }
  }
  EXPECT_EQ(changed, 1);
}

TEST_F(CliRunTest, ThePictureIsWrittenAlsoAfterAFailedStep) {
  const fs::path file = dir_ / "bild.png";
  const Result r = RunCli({"--png", file.string(), Project({"ZeichnePunkt(0)", "Hallo"})});
  EXPECT_EQ(r.status, kExitFailed);
  QImage image;
  ASSERT_TRUE(image.load(QString::fromStdString(file.string())));
  EXPECT_EQ(image.pixel(200, 200), qRgb(0, 0, 0));
}

// A field that is not a number shows as the window shows it, naming the file: its first 40
// bytes, each that prints nothing as "?", and "…" after a cut; every command alike.
TEST_F(CliRunTest, ABadFieldShowsAsInTheWindow) {
  struct Row {
    const char* name;
    std::string first_field;  // where the count of variables belongs
    std::string shown;        // UTF-8, between the quotes
  };
  const std::string forty(40, '7');
  const std::vector<Row> rows = {
      {"ten thousand digits", std::string(10000, '7'), forty + "\xE2\x80\xA6"},
      {"forty-one bytes", forty + "x", forty + "\xE2\x80\xA6"},
      {"forty bytes stay whole", forty.substr(1) + "x", forty.substr(1) + "x"},
      {"a line break and a tab", "1\n2\t3", "1?2?3"},
      {"bytes Windows-1252 leaves undefined", "\x81\x8D\x8F\x90\x9D", "?????"},
      {"a long field of control characters", std::string(5000, '\x01'),
       std::string(40, '?') + "\xE2\x80\xA6"},
      {"a picture file", "\x89PNG\r\n\x1A\n" + std::string("\0\0\0\rIHDR\0\0\x01", 11),
       "\xE2\x80\xB0PNG????????IHDR???"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const fs::path file = dir_ / "kaputt.omp";
    { std::ofstream(file, std::ios::binary) << row.first_field << '\xA7'; }
    const std::string expected = "Fehler: Die Datei \"" + file.string() +
                                 "\" ist keine g\xC3\xBCltige Projektdatei: '" + row.shown +
                                 "' ist kein g\xC3\xBCltiger Integerwert.\n";
    const Result run = RunCli({file.string()});
    EXPECT_EQ(run.status, kExitUsage);
    EXPECT_EQ(run.err, expected);
    EXPECT_EQ(testing::Invoke("format", {file.string()}).err, expected);
    EXPECT_EQ(testing::Invoke("resave", {file.string(), (dir_ / "neu.omp").string()}).err,
              expected);
    EXPECT_EQ(testing::Invoke("eval", {"--project", file.string(), "1"}).err, expected);
  }
}

TEST_F(CliRunTest, UsageAndFileErrors) {
  const std::string project = Project({"x:=1"});
  const fs::path existing = dir_ / "alt.png";
  { std::ofstream(existing) << "alt"; }
  struct Row {
    const char* name;
    std::vector<std::string> args;
    std::string err_start;
  };
  const std::vector<Row> rows = {
      {"no project", {}, "Aufruf: ombrix-cli run"},
      {"two projects", {project, project}, "Aufruf: ombrix-cli run"},
      {"unknown option", {"--farbe", project}, "Unbekannte Option: --farbe"},
      {"click without comma", {"--click", "12", project}, "Ein Mausklick"},
      {"click with letters", {"--click", "1,y", project}, "Ein Mausklick"},
      {"click beyond int", {"--click", "1,99999999999", project}, "Ein Mausklick"},
      {"negative step limit", {"--max-steps", "-1", project}, "Die Schrittzahl"},
      {"step limit missing", {project, "--max-steps"}, "Der Option --max-steps fehlt"},
      {"bad separator", {"--decimal-separator", ";", project}, "Das Dezimaltrennzeichen"},
      {"missing project file", {(dir_ / "fehlt.omp").string()}, "Fehler: "},
      {"unknown picture format",
       {"--png", (dir_ / "bild.xyz").string(), project},
       "Fehler: Das Bildformat"},
      {"broken picture to draw on",
       {"--picture", (dir_ / "alt.png").string(), project},
       "Ombrix 0.98 (mit Formulon 2.11): PNG-Bild ist ung\xC3\xBCltig."},
      {"picture of an unknown kind",
       {"--picture", (dir_ / "bild.xyz").string(), project},
       "Ombrix 0.98 (mit Formulon 2.11): Unbekannte Bilddateierweiterung (.xyz)"},
      {"picture in a missing folder",
       {"--png", (dir_ / "nix" / "b.png").string(), project},
       "Fehler: Das Bild konnte nicht"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const Result r = RunCli(row.args);
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_EQ(r.err.find(row.err_start),
              r.err.find("Information") == std::string::npos ? 0u : r.err.find('\n') + 1)
        << r.err;
  }
  EXPECT_EQ(ReadBytes(existing), "alt");
}

}  // namespace
}  // namespace ombrix::cli
