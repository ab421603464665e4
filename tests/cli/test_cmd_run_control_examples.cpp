// The example projects with controls: written by the generator below (run with
// OMBRIX_WRITE_EXAMPLES=1 to write them into examples/), each beside its side file. No
// field holds a decimal separator: a start value with a fraction is written as digits with
// an exponent (-8E-1), which reads back the same under either regional setting.
#include <gtest/gtest.h>

#include <QImage>
#include <complex>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "logic/complex/num_text.h"
#include "logic/project/controls_file.h"
#include "logic/project/project_file.h"
#include "platform/posix_file_store.h"
#include "tests/cli/cli_run_util.h"
#include "tests/support/colour_wheel.h"
#include "tests/support/example_programs.h"
#include "tests/support/tables.h"

namespace ombrix::cli {
namespace {

namespace fs = std::filesystem;
using ombrix::testing::AddFunction;
using ombrix::testing::AddVariable;
using testing::ReadBytes;

const fs::path kExamples = fs::path(OMBRIX_SOURCE_DIR) / "examples";

// "-0.8" as "-8E-1", "2.71828182845905" as "271828182845905E-14"; other texts unchanged.
std::string WithoutSeparator(const std::string& text) {
  const std::size_t dot = text.find('.');
  if (dot == std::string::npos || text.find_first_of("eE") != std::string::npos) return text;
  const bool negative = text[0] == '-';
  std::string digits =
      text.substr(negative ? 1 : 0, dot - (negative ? 1 : 0)) + text.substr(dot + 1);
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
  return (negative ? "-" : "") + digits + "E-" + std::to_string(text.size() - dot - 1);
}

// The project file of an example: its start values without a separator.
std::string ExampleBytes(const ProjectContent& project) {
  SetDecimalSeparator('.');
  std::string bytes;
  EXPECT_FALSE(ProjectToBytes(project, bytes));
  std::string out;
  std::size_t pos = 0;
  const std::size_t value_fields_end = 1 + 3 * (project.variables.LastVariable() + 1);
  for (std::size_t n = 0; const std::optional<std::string_view> field = ReadField(bytes, pos);
       ++n) {
    const bool value_field = n >= 1 && n < value_fields_end && (n - 1) % 3 != 0;
    out += (value_field ? WithoutSeparator(std::string(*field)) : std::string(*field)) + '\xA7';
  }
  return out;
}

struct ControlExample {
  const char* file;
  ProjectContent project;
  ControlSet controls;
};

ControlExample JuliaWithPoint() {
  ControlExample e{"julia-regler.omp", {}, {}};
  ProjectContent& p = e.project;
  for (const char* name : {"x", "y", "p", "z", "n"}) AddVariable(p.variables, name);
  AddVariable(p.variables, "c", {-0.8, 0.156});
  // The Julia example without its assignment to c: the point gives c its start value.
  p.programs[MainProgram] = ombrix::testing::JuliaProgram();
  p.programs[MainProgram].erase(p.programs[MainProgram].begin() + 2);

  e.controls.live = true;
  e.controls.controls = {{ControlKind::Point, "c"}};
  return e;
}

// The n roots of z^n = w: the first from the modulus and angle of w, the others turned by
// the n-th roots of unity.
ControlExample RootsWithSliderAndPoint() {
  ControlExample e{"einheitswurzeln-regler.omp", {}, {}};
  ProjectContent& p = e.project;
  AddVariable(p.variables, "n", {5, 0});
  AddVariable(p.variables, "w", {1, 1});
  AddVariable(p.variables, "z");
  AddVariable(p.variables, "q");
  p.programs[MainProgram] = {
      "SetzeSkala(-2;2;-2;2)",
      "L\xF6scheBild",
      "ZeichneSkala",
      "ZeichneKreis(0;1)",
      "z:=0",
      "Wenn(Betrag(w)>0)",
      "z:=Exp(Ln(Betrag(w))/n)*E(Arc(w)/n)",
      "EndeWenn",
      "ZeichneKreis(0;z)",
      "q:=E(2*Pi/n)",
      "Wiederhole(n)",
      "ZeichneLinie(0;z)",
      "ZeichneKreis(z;1/25)",
      "z:=z*q",
      "EndeWiederhole",
  };
  e.controls.live = true;
  e.controls.controls = {{ControlKind::Slider, "n", 1, 24, 1}, {ControlKind::Point, "w"}};
  return e;
}

ControlExample GridWithExponent() {
  ControlExample e{"quadratgitter-regler.omp", {}, {}};
  ProjectContent& p = e.project;
  AddFunction(p.functions, "f", "#^m");
  for (const char* name : {"k", "s", "n", "p", "w"}) AddVariable(p.variables, name);
  AddVariable(p.variables, "m", {2, 0});
  p.programs[MainProgram] = {
      "SetzeSkala(-5;5;-5;5)",
      "L\xF6scheBild",
      "ZeichneSkala",
      "F\xFCr(k;-6;6;1)",
      "s:=k/4",
      "p:=f(-3/2+s*i)",
      "F\xFCr(n;-29;30;1)",
      "w:=f(n/20+s*i)",
      "ZeichneLinie(p;w)",
      "p:=w",
      "EndeF\xFCr",
      "p:=f(s-3/2*i)",
      "F\xFCr(n;-29;30;1)",
      "w:=f(s+n/20*i)",
      "ZeichneLinie(p;w)",
      "p:=w",
      "EndeF\xFCr",
      "EndeF\xFCr",
  };
  e.controls.live = true;
  e.controls.controls = {{ControlKind::Slider, "m", 1, 4, 1}};
  return e;
}

std::vector<ControlExample> ControlExamples() {
  return {JuliaWithPoint(), RootsWithSliderAndPoint(), GridWithExponent()};
}

TEST(WithoutSeparator, WritesDigitsWithAnExponent) {
  EXPECT_EQ(WithoutSeparator("-0.8"), "-8E-1");
  EXPECT_EQ(WithoutSeparator("0.156"), "156E-3");
  EXPECT_EQ(WithoutSeparator("2.71828182845905"), "271828182845905E-14");
  EXPECT_EQ(WithoutSeparator("12"), "12");
  EXPECT_EQ(WithoutSeparator("1.5E-20"), "1.5E-20");
}

TEST(ControlExamples, AreWhatTheirGeneratorWrites) {
  const bool write = std::getenv("OMBRIX_WRITE_EXAMPLES") != nullptr;
  for (const ControlExample& example : ControlExamples()) {
    SCOPED_TRACE(example.file);
    const fs::path file = kExamples / example.file;
    const std::string bytes = ExampleBytes(example.project);
    const std::string side = ControlsToText(example.controls);
    EXPECT_EQ(bytes.find_first_of(".,"), std::string::npos) << "a decimal separator";
    if (write) {
      std::ofstream(file, std::ios::binary) << bytes;
      std::ofstream(ControlsFilePath(file), std::ios::binary) << side;
    }
    EXPECT_EQ(ReadBytes(file), bytes);
    EXPECT_EQ(ReadBytes(ControlsFilePath(file)), side);
    // Each starts by setting its scale and clearing the picture.
    ASSERT_GE(example.project.programs[MainProgram].size(), 2u);
    EXPECT_EQ(example.project.programs[MainProgram][0].rfind("SetzeSkala(", 0), 0u);
    EXPECT_EQ(example.project.programs[MainProgram][1], "L\xF6scheBild");
    for (const char separator : {',', '.'}) {
      SetDecimalSeparator(separator);
      ProjectContent loaded;
      ASSERT_FALSE(LoadProject(loaded, file));
      const LoadedControls controls = LoadControls(file);
      EXPECT_EQ(controls.message, std::nullopt);
      for (const Control& control : controls.set.controls) {
        const int j = ControlVariable(loaded.variables, control);
        ASSERT_GE(j, 0) << control.variable;
        const TComplex start = loaded.variables.StartValue(j);
        const TComplex built = example.project.variables.StartValue(j);
        EXPECT_EQ(start.Re, built.Re);
        EXPECT_EQ(start.Im, built.Im);
      }
    }
  }
}

TEST(ControlExamples, RunAcrossTheirControlsRange) {
  struct Row {
    const char* file;
    std::vector<std::string> settings;
  };
  const Row rows[] = {
      {"julia-regler.omp", {"c=-1/10+65/100*i"}},
      {"einheitswurzeln-regler.omp", {"n=1", "w=0"}},
      {"einheitswurzeln-regler.omp", {"n=24", "w=-2-2*i"}},
      {"quadratgitter-regler.omp", {"m=1"}},
      {"quadratgitter-regler.omp", {"m=4"}},
      {"phasenportraet.omp", {"c=-3+3*i"}},  // the pole on the first pixel
      {"phasenportraet.omp", {"a=c", "b=c"}},
  };
  for (const Row& row : rows) {
    std::vector<std::string> args = {"--decimal-separator", ",", "--max-steps", "100000"};
    for (const std::string& setting : row.settings) args.insert(args.end(), {"--set", setting});
    args.push_back((kExamples / row.file).string());
    const testing::Result r = testing::Invoke("run", args);
    EXPECT_TRUE(r.status == kExitOk || r.status == kExitStepLimit) << row.file << ": " << r.err;
    EXPECT_EQ(r.err.find("Fehler"), std::string::npos) << r.err;
  }
}

// The phase portrait of (z-a)(z-b)/(z-c) with its points moved: each pixel has the colour
// of the function's value at the pixel's point of the plane.
TEST(ControlExamples, PhasePortraitPixelsHaveTheColourOfTheFunction) {
  const testing::ScratchDir dir("ombrix-phase-");
  const fs::path png = dir.Path() / "bild.png";
  const std::complex<double> a(1, -1), b(-2, 1), c(1, 3.0 / 2);
  const testing::Result r =
      testing::Invoke("run", {"--set", "a=1-i", "--set", "b=-2+i", "--set", "c=1+3/2*i", "--png",
                              png.string(), (kExamples / "phasenportraet.omp").string()});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  QImage image;
  ASSERT_TRUE(image.load(QString::fromStdString(png.string())));
  for (const auto& [x, y] :
       {std::pair{5, 7}, {133, 267}, {200, 150}, {340, 60}, {90, 380}, {260, 199}, {399, 399}}) {
    SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
    const std::complex<double> z(-3 + x * (6.0 / 400), 3 - y * (6.0 / 400));
    const std::complex<double> w = (z - a) * (z - b) / (z - c);
    const std::array<double, 3> expected = ombrix::testing::FormulaChannels(w.real(), w.imag());
    const QRgb seen = image.pixel(x, y);
    EXPECT_NEAR(qRed(seen), expected[0], 1);
    EXPECT_NEAR(qGreen(seen), expected[1], 1);
    EXPECT_NEAR(qBlue(seen), expected[2], 1);
  }
}

}  // namespace
}  // namespace ombrix::cli
