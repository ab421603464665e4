#include "logic/project/controls_file.h"
#include "platform/posix_file_store.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "logic/complex/num_text.h"
#include "logic/program/drawing_state.h"
#include "tests/project/project_world.h"
#include "tests/support/separator.h"
#include "tests/support/tables.h"

namespace ombrix {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

struct Folder {
  Folder() : path(fs::temp_directory_path() / ("ombrix-regler-" + std::to_string(::getpid()))) {
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~Folder() { fs::remove_all(path); }
  fs::path path;
};

ControlSet JuliaControls() {
  ControlSet set;
  set.live = true;
  set.controls.push_back({ControlKind::Point, "c"});
  set.controls.push_back({ControlKind::Slider, "n", 2, 12, 1});
  set.controls.push_back({ControlKind::Slider, "t", -0.1, 1e-3, 1.0 / 3});
  return set;
}

TEST(ControlsText, RoundTripsEveryNumberBitForBitUnderEitherSeparator) {
  for (const char separator : {',', '.'}) {
    testing::SeparatorScope scoped(separator);
    const ControlSet set = JuliaControls();
    ControlSet back;
    ASSERT_EQ(ControlsFromText(ControlsToText(set), back), std::nullopt);
    ASSERT_EQ(back.controls.size(), 3u);
    EXPECT_TRUE(back.live);
    EXPECT_EQ(back.controls[0].kind, ControlKind::Point);
    EXPECT_EQ(back.controls[0].variable, "c");
    EXPECT_EQ(back.controls[2].minimum, -0.1);
    EXPECT_EQ(back.controls[2].maximum, 1e-3);
    EXPECT_EQ(back.controls[2].step, 1.0 / 3);
  }
}

TEST(ControlsText, IsTheDocumentedLines) {
  ControlSet set;
  set.controls.push_back({ControlKind::Slider, "n", 2, 12, 1});
  set.controls.push_back({ControlKind::Point, "w"});
  EXPECT_EQ(ControlsToText(set),
            "Ombrix-Regler\t1\nlive\t0\nSchieberegler\tn\t2\t12\t1\nPunkt\tw\n");
}

struct BrokenRow {
  const char* name;
  const char* text;
  const char* reason_part;
};

class BrokenControlsText : public ::testing::TestWithParam<BrokenRow> {};

TEST_P(BrokenControlsText, IsRefusedWholeWithTheLineAndTheReason) {
  ControlSet set = JuliaControls();
  const std::optional<std::string> reason = ControlsFromText(GetParam().text, set);
  ASSERT_TRUE(reason.has_value());
  EXPECT_NE(reason->find(GetParam().reason_part), std::string::npos) << *reason;
  EXPECT_EQ(set.controls.size(), 3u) << "a refused text leaves the set alone";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BrokenControlsText,
    ::testing::Values(
        BrokenRow{"Empty", "", "leer"}, BrokenRow{"OnlyBlankLines", "\n\r\n", "leer"},
        BrokenRow{"WrongHeader", "Ombrix-Regler\t2\n", "erste Zeile"},
        BrokenRow{"ProjectBytes", "2\xA7i\xA7", "erste Zeile"},
        BrokenRow{"UnknownWord", "Ombrix-Regler\t1\nKnopf\tx\n", "Zeile 2"},
        BrokenRow{"PointWithRange", "Ombrix-Regler\t1\nPunkt\tw\t1\n", "kein Regler"},
        BrokenRow{"SliderShort", "Ombrix-Regler\t1\nSchieberegler\tn\t1\t2\n", "kein Regler"},
        BrokenRow{"CommaNumber", "Ombrix-Regler\t1\nSchieberegler\tn\t0,5\t2\t1\n", "Zahl"},
        BrokenRow{"Infinite", "Ombrix-Regler\t1\nSchieberegler\tn\t0\tinf\t1\n", "Zahl"},
        BrokenRow{"NoName", "Ombrix-Regler\t1\nPunkt\t\n", "Name"},
        BrokenRow{"Reversed", "Ombrix-Regler\t1\nSchieberegler\tn\t5\t1\t1\n", "kleiner"},
        BrokenRow{"ZeroStep", "Ombrix-Regler\t1\nSchieberegler\tn\t0\t1\t0\n", "0"},
        BrokenRow{"TooManySteps", "Ombrix-Regler\t1\nSchieberegler\tn\t0\t1\t1e-9\n", "Million"},
        BrokenRow{"Twice", "Ombrix-Regler\t1\nPunkt\tw\nPunkt\tW\n", "schon"},
        BrokenRow{"ImaginaryUnit", "Ombrix-Regler\t1\nPunkt\ti\n", "imagin\xE4re"},
        BrokenRow{"ConstantE", "Ombrix-Regler\t1\nSchieberegler\tE\t0\t1\t1\n", "Konstante 'E'"},
        BrokenRow{"ConstantPi", "Ombrix-Regler\t1\nPunkt\tpI\n", "Konstante 'pI'"},
        BrokenRow{"NameEndingInCarriageReturn", "Ombrix-Regler\t1\nPunkt\tw\r\r\n", "'w?'"},
        BrokenRow{"LiveWord", "Ombrix-Regler\t1\nlive\tja\n", "Zeile 2"}),
    [](const auto& row) { return std::string(row.param.name); });

// Side files of `count` point controls, one variable each.
std::string PointLines(std::size_t count) {
  std::string text = "Ombrix-Regler\t1\n";
  for (std::size_t k = 0; k < count; ++k) text += "Punkt\tv" + std::to_string(k) + "\n";
  return text;
}

TEST(ControlsText, MoreControlsThanVariablesAreRefused) {
  ControlSet set;
  ASSERT_EQ(ControlsFromText(PointLines(kMaxControls), set), std::nullopt);
  EXPECT_EQ(set.controls.size(), 125u);
  // One more, and a whole side file of them (the largest a side file may be).
  for (const std::size_t count : {kMaxControls + 1, std::size_t{81513}}) {
    SCOPED_TRACE(count);
    const std::string text = PointLines(count);
    ASSERT_LE(text.size(), kMaxControlsFileSize);
    EXPECT_EQ(ControlsFromText(text, set), "Zeile 127: Mehr als 125 Regler sind nicht m\xF6glich.");
  }
}

TEST(ControlsText, ToleratesCarriageReturnsAndBlankLines) {
  ControlSet set;
  ASSERT_EQ(ControlsFromText("\r\nOmbrix-Regler\t1\r\n\r\nlive\t1\r\nPunkt\tw", set), std::nullopt);
  EXPECT_TRUE(set.live);
  ASSERT_EQ(set.controls.size(), 1u);
  EXPECT_EQ(set.controls[0].variable, "w");
}

struct SliderRow {
  const char* name;
  Control slider;
  int positions;
  double value_at_last;
};

class SliderMath : public ::testing::TestWithParam<SliderRow> {};

TEST_P(SliderMath, CountsPositionsAndStaysInItsRange) {
  const SliderRow& row = GetParam();
  EXPECT_EQ(SliderPositions(row.slider), row.positions);
  EXPECT_EQ(SliderValue(row.slider, 0), row.slider.minimum);
  EXPECT_DOUBLE_EQ(SliderValue(row.slider, row.positions), row.value_at_last);
  EXPECT_LE(SliderValue(row.slider, row.positions + 5), row.slider.maximum);
  EXPECT_EQ(SliderValue(row.slider, -3), row.slider.minimum);
  for (int k = 0; k <= row.positions; ++k) {
    EXPECT_EQ(SliderPosition(row.slider, SliderValue(row.slider, k)), k);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SliderMath,
    ::testing::Values(SliderRow{"Whole", {ControlKind::Slider, "n", 2, 12, 1}, 10, 12},
                      SliderRow{"Tenths", {ControlKind::Slider, "a", 0, 1, 0.1}, 10, 1},
                      SliderRow{"StepBeyondEnd", {ControlKind::Slider, "a", 0, 1, 0.3}, 3, 0.9},
                      SliderRow{"Negative", {ControlKind::Slider, "a", -3, -1, 0.5}, 4, -1}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(SliderMath, PositionOfValuesOutsideTheRangeIsItsEnd) {
  const Control slider{ControlKind::Slider, "n", 2, 12, 1};
  EXPECT_EQ(SliderPosition(slider, -100), 0);
  EXPECT_EQ(SliderPosition(slider, 1e300), 10);
  EXPECT_EQ(SliderPosition(slider, std::nan("")), 0);
  EXPECT_EQ(SliderPosition(slider, 6.4), 4);
}

struct Tables {
  Tables() { testing::AddVariable(project.variables, "n", ComplexFromReal(3)); }
  ProjectContent project;
  DrawingState drawing;
  mutable testing::SilentMessageBoxes boxes;
  EvalContext Context() const { return {project.functions, project.variables, drawing, boxes}; }
};

TEST(MakeSlider, EvaluatesEachTermOnce) {
  testing::SeparatorScope scoped(',');
  Tables t;
  Control slider;
  ASSERT_EQ(MakeSlider("n", {"-Pi", "2*Pi", "Pi/10"}, t.Context(), slider), std::nullopt);
  EXPECT_EQ(slider.variable, "n");
  EXPECT_NEAR(slider.minimum, -3.141592653589793, 1e-13);
  EXPECT_NEAR(slider.step, 0.3141592653589793, 1e-13);
  EXPECT_EQ(SliderPositions(slider), 30);
}

struct MakeRow {
  const char* name;
  SliderTerms terms;
  const char* reason_part;
};

class MakeSliderRefuses : public ::testing::TestWithParam<MakeRow> {};

TEST_P(MakeSliderRefuses, WithAGermanReason) {
  testing::SeparatorScope scoped(',');
  Tables t;
  Control slider;
  const std::optional<std::string> reason = MakeSlider("n", GetParam().terms, t.Context(), slider);
  ASSERT_TRUE(reason.has_value());
  EXPECT_NE(reason->find(GetParam().reason_part), std::string::npos) << *reason;
}

INSTANTIATE_TEST_SUITE_P(Rows, MakeSliderRefuses,
                         ::testing::Values(MakeRow{"SyntaxError", {"(1", "2", "1"}, "Minimum"},
                                           MakeRow{"UnknownName", {"0", "q", "1"}, "Maximum"},
                                           MakeRow{"Complex", {"0", "2", "i"}, "reelle"},
                                           MakeRow{"Reversed", {"2", "0", "1"}, "kleiner"},
                                           MakeRow{"NegativeStep", {"0", "2", "-1"}, "0"}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(CheckControlVariable, RefusesTheConstantsUnknownNamesSecondControlsAndOneTooMany) {
  Tables t;
  ControlSet set;
  set.controls.push_back({ControlKind::Point, "N"});
  for (const char* name : {"i", "e", "Pi", "I", "PI", "zz", "n"}) {
    EXPECT_TRUE(CheckControlVariable(t.project.variables, set, name).has_value()) << name;
  }
  EXPECT_EQ(CheckControlVariable(t.project.variables, ControlSet{}, "n"), std::nullopt);
  ControlSet full;
  ASSERT_EQ(ControlsFromText(PointLines(kMaxControls), full), std::nullopt);
  EXPECT_EQ(CheckControlVariable(t.project.variables, full, "n"),
            "Mehr als 125 Regler sind nicht m\xF6glich.");
}

TEST(ControlsFile, ASaveThatFailsChangesNeitherFile) {
  const fs::path file = "p.omp";
  const fs::path side = ControlsFilePath(file);
  struct Row {
    const char* name;
    fs::path failing;
    ControlSet controls;
  };
  const Row rows[] = {
      {"project read-only", file, JuliaControls()},
      {"side file read-only", side, JuliaControls()},
      {"project read-only, no controls left", file, ControlSet{}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    testing::MemoryFileStore files;
    files.files[file] = "alt";
    files.files[side] = "alte Regler";
    files.failures[row.failing] = FileFailure{"Zugriff verweigert", false};
    const std::optional<ProjectError> error =
        SaveProjectAndControls(ProjectContent{}, row.controls, file, files);
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->message.find(row.failing.string()), std::string::npos) << error->message;
    EXPECT_EQ(files.files[file], "alt");
    EXPECT_EQ(files.files[side], "alte Regler");
  }
}

TEST(ControlsFile, IsSavedBesideTheProjectWhoseBytesStayAsWithoutControls) {
  Folder folder;
  ProjectContent project;
  testing::AddVariable(project.variables, "c");
  const fs::path plain = folder.path / "plain.omp";
  const fs::path with = folder.path / "with.omp";
  ASSERT_EQ(SaveProject(project, plain), std::nullopt);
  ASSERT_EQ(SaveProjectAndControls(project, JuliaControls(), with), std::nullopt);
  EXPECT_EQ(ReadBytes(with), ReadBytes(plain));
  EXPECT_EQ(ControlsFilePath(with), folder.path / "with.omp.regler");
  EXPECT_EQ(ReadBytes(ControlsFilePath(with)), ControlsToText(JuliaControls()));

  const LoadedControls loaded = LoadControls(with);
  EXPECT_EQ(loaded.message, std::nullopt);
  EXPECT_EQ(ControlsToText(loaded.set), ControlsToText(JuliaControls()));
}

TEST(ControlsFile, SavingWithoutControlsRemovesAnOldSideFile) {
  Folder folder;
  const fs::path file = folder.path / "p.omp";
  ASSERT_EQ(SaveProjectAndControls(ProjectContent{}, JuliaControls(), file), std::nullopt);
  ASSERT_TRUE(fs::exists(ControlsFilePath(file)));
  ASSERT_EQ(SaveProjectAndControls(ProjectContent{}, ControlSet{}, file), std::nullopt);
  EXPECT_FALSE(fs::exists(ControlsFilePath(file)));
  EXPECT_TRUE(fs::exists(file));
}

TEST(ControlsFile, AnUnsavableProjectWritesNeitherFile) {
  Folder folder;
  ProjectContent project;
  project.programs[MainProgram].push_back(
      "a\xA7"
      "b");
  const fs::path file = folder.path / "p.omp";
  EXPECT_TRUE(SaveProjectAndControls(project, JuliaControls(), file).has_value());
  EXPECT_FALSE(fs::exists(file));
  EXPECT_FALSE(fs::exists(ControlsFilePath(file)));
}

TEST(ControlsFile, AMissingSideFileIsNoControlsAndNoMessage) {
  Folder folder;
  const LoadedControls loaded = LoadControls(folder.path / "none.omp");
  EXPECT_TRUE(loaded.set.Empty());
  EXPECT_EQ(loaded.message, std::nullopt);
}

TEST(ControlsFile, ABrokenSideFileGivesNoControlsAndAMessageNamingIt) {
  Folder folder;
  const fs::path file = folder.path / "p.omp";
  WriteBytes(ControlsFilePath(file), "Ombrix-Regler\t1\nPunkt\n");
  LoadedControls loaded = LoadControls(file);
  EXPECT_TRUE(loaded.set.Empty());
  ASSERT_TRUE(loaded.message.has_value());
  EXPECT_NE(loaded.message->find("p.omp.regler"), std::string::npos);
  EXPECT_NE(loaded.message->find("ohne Regler"), std::string::npos);

  fs::remove(ControlsFilePath(file));
  fs::create_directory(ControlsFilePath(file));
  loaded = LoadControls(file);
  EXPECT_TRUE(loaded.set.Empty());
  EXPECT_TRUE(loaded.message.has_value()) << "a folder of that name";
}

}  // namespace
}  // namespace ombrix
