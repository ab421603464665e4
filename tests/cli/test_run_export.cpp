// "ombrix-cli run --svg OUT --pdf OUT": the picture at the end of the run as shapes that
// match the pixels "--png" writes, the pixels for a large drawing, and the errors.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "logic/project/project_file.h"
#include "tests/cli/cli_run_util.h"
#include "tests/platform/picture_world.h"

namespace ombrix::cli {
namespace {

using testing::Invoke;
using testing::Result;

class CliExportTest : public ::testing::Test {
 protected:
  void SetUp() override { SetDecimalSeparator('.'); }

  std::string Path(const char* name) const {
    return dir_.filePath(QString::fromUtf8(name)).toStdString();
  }
  std::string Project(std::vector<std::string> main) {
    ProjectContent project;
    project.programs[MainProgram] = std::move(main);
    const std::string file = Path("p.omp");
    EXPECT_FALSE(SaveProject(project, file));
    return file;
  }
  QByteArray Read(const char* name) const {
    QFile file(QString::fromStdString(Path(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  QTemporaryDir dir_;
};

TEST_F(CliExportTest, SvgAndPdfMatchThePngOfTheSameRun) {
  struct Row {
    const char* name;
    std::vector<std::string> program;
    bool shapes;  // drawn as shapes, not embedded as pixels
  };
  const std::vector<Row> rows = {
      {"roots of unity",
       {"ZeichneSkala", "ZeichneKreis(0;4)", "ZeichneLinie(0;4)", "ZeichneLinie(0;-2+3.46*i)",
        "ZeichneLinie(0;-2-3.46*i)", "ZeichnePunkt(2)", "L\xF6scheKreis(0;4)"},
       true},
      {"more points than the list keeps",
       {"Wiederhole(25000)", "ZeichnePunkt(MausPos())", "EndeWiederhole"},
       false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Result r = Invoke("run", {"--png", Path("b.png"), "--svg", Path("b.svg"), "--pdf",
                                    Path("b.pdf"), Project(row.program)});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    QImage png;
    ASSERT_TRUE(png.load(QString::fromStdString(Path("b.png"))));
    const QByteArray svg = Read("b.svg");
    EXPECT_EQ(svg.contains("<image"), !row.shapes);
    EXPECT_EQ(ombrix::testing::Mismatches(png, ombrix::testing::RenderSvg(svg, {400, 400})), 0);
    EXPECT_EQ(
        ombrix::testing::Mismatches(png, ombrix::testing::RenderPdf(Read("b.pdf"), {400, 400})), 0);
  }
}

TEST_F(CliExportTest, TheFormatIsTheOptionsWhateverTheName) {
  const Result r = Invoke(
      "run", {"--svg", Path("bild.pdf"), "--pdf", Path("bild"), Project({"ZeichneKreis(0;1)"})});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_TRUE(Read("bild.pdf").startsWith("<?xml"));
  EXPECT_TRUE(Read("bild").startsWith("%PDF"));
}

TEST_F(CliExportTest, ALoadedPictureLiesBelowTheShapes) {
  QImage ground(200, 100, QImage::Format_RGB32);
  ground.fill(QColor(0, 200, 0));
  ASSERT_TRUE(ground.save(QString::fromStdString(Path("grund.png"))));
  const Result r = Invoke("run", {"--picture", Path("grund.png"), "--svg", Path("b.svg"), "--png",
                                  Path("b.png"), Project({"ZeichneLinie(-5;5)"})});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  const QByteArray svg = Read("b.svg");
  EXPECT_TRUE(svg.contains("<image"));
  EXPECT_TRUE(svg.contains("<path"));
  EXPECT_TRUE(svg.contains("viewBox=\"0 0 200 100\""));
  QImage png;
  ASSERT_TRUE(png.load(QString::fromStdString(Path("b.png"))));
  EXPECT_EQ(ombrix::testing::Mismatches(png, ombrix::testing::RenderSvg(svg, {200, 100})), 0);
}

TEST_F(CliExportTest, WrittenAlsoAfterAFailedStep) {
  const Result r = Invoke("run", {"--svg", Path("b.svg"), Project({"ZeichnePunkt(0)", "Hallo"})});
  EXPECT_EQ(r.status, kExitFailed);
  EXPECT_TRUE(Read("b.svg").contains("<path"));
}

TEST_F(CliExportTest, Errors) {
  struct Row {
    const char* name;
    std::vector<std::string> args;
    std::string err_line;
  };
  const std::string project = Project({"ZeichnePunkt(0)"});
  const std::string missing = Path("fehlt/b.svg");
  const std::vector<Row> rows = {
      {"no value", {project, "--svg"}, "Der Option --svg fehlt"},
      {"a folder that is not there",
       {"--svg", missing, project},
       "Fehler: Datei " + missing + " kann nicht erstellt werden"},
      {"a pdf there neither",
       {"--pdf", Path("fehlt/b.pdf"), project},
       "Fehler: Datei " + Path("fehlt/b.pdf") + " kann nicht erstellt werden"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Result r = Invoke("run", row.args);
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.find(row.err_line), std::string::npos) << r.err;
  }
}

}  // namespace
}  // namespace ombrix::cli
