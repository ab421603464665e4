// Exports as shapes: rendered back at the picture's size they cover its pixels (but for
// anti-aliased edges) for every kind of command, fall back to the pixels when a drawing
// is too large, and are written as SVG or PDF files.
#include "platform/picture_export.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <optional>
#include <string>
#include <vector>

#include "platform/picture_files.h"
#include "platform/qt_text.h"
#include "tests/platform/picture_world.h"

namespace ombrix {
namespace {

using testing::Mismatches;
using testing::PictureWorld;
using testing::RenderPdf;
using testing::RenderSvg;

class PictureExportTest : public ::testing::Test {
 protected:
  void SetUp() override { SetDecimalSeparator('.'); }
};

// Colour bands and a diagonal, a picture as "Bild öffnen" might bring it.
QImage Ground(QSize size) {
  QImage image(size, QImage::Format_RGB32);
  for (int y = 0; y < size.height(); ++y) {
    for (int x = 0; x < size.width(); ++x) {
      image.setPixel(x, y, x == y ? qRgb(0, 0, 0) : qRgb(255, (x / 25) * 16, (y / 50) * 32));
    }
  }
  return image;
}

struct Drawing {
  const char* name;
  std::vector<std::string> program;
  bool on_picture = false;
};

const std::vector<Drawing>& Drawings() {
  static const std::vector<Drawing> drawings = {
      {"lines in every direction",
       {"ZeichneLinie(-4-4*i;4+3*i)", "ZeichneLinie(4;-4)", "ZeichneLinie(0;3*i)",
        "ZeichneLinie(1+4*i;-2-4*i)", "ZeichneLinie(-4.5+i;4.7+1.3*i)", "ZeichneLinie(2;2)",
        "ZeichneLinie(3-3*i;-1-2*i)"}},
      {"lines from far outside",
       {"ZeichneLinie(-1E9-1E8*i;1E9+3E8*i)", "ZeichneLinie(3-1E12*i;-2+1E12*i)",
        "ZeichneLinie(-1E6;-2E6)"}},
      {"circles and ellipses",
       {"ZeichneKreis(0;1)", "ZeichneKreis(1+i;3.3)", "ZeichneKreis(-4-4*i;0.05)",
        "ZeichneKreis(-3+3*i;0.02)", "ZeichneKreis(4.5;2)", "SetzeSkala(-5;5;-2;2)",
        "ZeichneKreis(0;1)"}},
      {"circles beyond the picture's edge",
       {"ZeichneKreis(0;100)", "ZeichneKreis(0;1E9)", "ZeichneKreis(1E9;1)"}},
      {"points", {"F\xFCr(k;1;300;1)", "ZeichnePunkt(k/40-4+(k/70-2)*i)", "EndeF\xFCr"}},
      {"erasures",
       {"ZeichneKreis(0;2)", "ZeichneLinie(-4;4)", "ZeichneLinie(-4*i;4*i)", "ZeichnePunkt(3+3*i)",
        "ZeichnePunkt(3.1+3*i)", "L\xF6scheKreis(0;2)", "L\xF6scheLinie(-4;0)",
        "L\xF6schePunkt(3+3*i)", "ZeichneKreis(1;1)", "L\xF6scheLinie(1-2*i;1+2*i)"}},
      {"the axes at two scales",
       {"ZeichneSkala", "SetzeSkala(0;10;0;10)", "ZeichneSkala", "SetzeSkala(-1E6;1E6;-3;30)",
        "ZeichneSkala"}},
      {"a loaded picture below",
       {"ZeichneKreis(0;2)", "L\xF6scheLinie(-5+i;5+i)", "ZeichnePunkt(1-i)", "ZeichneSkala"},
       true},
      {"in colour",
       {"SetzeFarbe(2)", "ZeichneKreis(0;2)", "SetzeFarbe(i)", "ZeichneLinie(-4;4*i)",
        "F\xFCr(k;1;300;1)", "SetzeFarbe(E(k/20)*k/100)", "ZeichnePunkt(k/40-4+(k/70-2)*i)",
        "EndeF\xFCr", "SetzeFarbe(-1)", "L\xF6scheLinie(-4;4)", "ZeichneKreis(1+i;1)",
        "ZeichneSkala"},
       true},
      {"drawn over a cleared picture",
       {"ZeichneLinie(-4;4)", "L\xF6scheBild", "ZeichneKreis(0;3)"},
       true},
  };
  return drawings;
}

PictureWorld& Drawn(PictureWorld& w, const Drawing& drawing) {
  if (drawing.on_picture) w.record.Load(w.canvas, Ground(QSize(400, 400)));
  EXPECT_TRUE(w.Run(drawing.program)) << w.boxes.Texts().front();
  return w;
}

TEST_F(PictureExportTest, ShapesRenderedBackMatchThePixels) {
  for (const Drawing& drawing : Drawings()) {
    SCOPED_TRACE(drawing.name);
    PictureWorld w;
    Drawn(w, drawing);
    QImage painted(w.Pixels().size(), QImage::Format_RGB32);
    {
      QPainter painter(&painted);
      EXPECT_EQ(PaintPicture(painter, w.Pixels(), w.record), PictureForm::Shapes);
    }
    EXPECT_EQ(Mismatches(w.Pixels(), painted), 0);
    EXPECT_EQ(Mismatches(w.Pixels(), RenderSvg(PictureSvg(w.Pixels(), w.record), {400, 400})), 0);
    EXPECT_EQ(Mismatches(w.Pixels(), RenderPdf(PicturePdf(w.Pixels(), w.record), {400, 400})), 0);
  }
}

TEST_F(PictureExportTest, TheComparisonSeesAShapeMissingOrMoved) {
  struct Row {
    const char* name;
    std::vector<std::string> drawn;
    std::vector<std::string> exported;
  };
  const std::vector<Row> rows = {
      {"a line missing", {"ZeichneKreis(0;1)", "ZeichneLinie(-4-3*i;4+i)"}, {"ZeichneKreis(0;1)"}},
      {"a circle missing", {"ZeichneLinie(-4;4)", "ZeichneKreis(1+i;2)"}, {"ZeichneLinie(-4;4)"}},
      {"a point missing", {"ZeichneLinie(-4;4)", "ZeichnePunkt(2+2*i)"}, {"ZeichneLinie(-4;4)"}},
      {"an erased point left",
       {"ZeichnePunkt(2+2*i)", "L\xF6schePunkt(2+2*i)"},
       {"ZeichnePunkt(2+2*i)"}},
      {"an erased circle left",
       {"ZeichneKreis(0;3)", "L\xF6scheKreis(0;3)"},
       {"ZeichneKreis(0;3)"}},
      {"the axes missing", {"ZeichnePunkt(1)", "ZeichneSkala"}, {"ZeichnePunkt(1)"}},
      {"a line two pixels off", {"ZeichneLinie(-4;4)"}, {"ZeichneLinie(-4+0.05*i;4+0.05*i)"}},
      {"a circle two pixels larger", {"ZeichneKreis(0;2)"}, {"ZeichneKreis(0;2.05)"}},
      {"a colour lost", {"SetzeFarbe(1)", "ZeichneLinie(-4;4)"}, {"ZeichneLinie(-4;4)"}},
      {"another colour",
       {"SetzeFarbe(i)", "ZeichneKreis(0;2)"},
       {"SetzeFarbe(-i)", "ZeichneKreis(0;2)"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    PictureWorld drawn, exported;
    ASSERT_TRUE(drawn.Run(row.drawn));
    ASSERT_TRUE(exported.Run(row.exported));
    const QByteArray svg = PictureSvg(exported.Pixels(), exported.record);
    EXPECT_GT(Mismatches(drawn.Pixels(), RenderSvg(svg, {400, 400})), 0);
  }
}

TEST_F(PictureExportTest, SharpAtAnySize) {
  PictureWorld w;
  ASSERT_TRUE(w.Run({"ZeichneLinie(-4;4)"}));
  // Four times the size: the line is four pixels high and nothing is grey beside it.
  const QImage big = RenderSvg(PictureSvg(w.Pixels(), w.record), {1600, 1600});
  for (int y = 790; y < 810; ++y) {
    SCOPED_TRACE(y);
    EXPECT_EQ(big.pixel(800, y), y >= 800 && y < 804 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
  }
}

TEST_F(PictureExportTest, LargeOrFarDrawingsAreExportedAsTheirPixels) {
  const std::string many = std::to_string(DrawingRecord::kMaxEntries + 1);
  struct Row {
    const char* name;
    std::vector<std::string> program;
  };
  const std::vector<Row> rows = {
      {"more commands than the list holds",
       {"F\xFCr(k;1;" + many + ";1)", "ZeichnePunkt(k/5000-2+k/4000*i)", "EndeF\xFCr"}},
      {"more drawing calls than an export takes",
       {"F\xFCr(k;1;3000;1)", "ZeichneSkala", "EndeF\xFCr"}},
      {"a circle too large to draw as one", {"ZeichneKreis(1E4;1E4-2)"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    PictureWorld w;
    ASSERT_TRUE(w.Run(row.program));
    QImage painted(w.Pixels().size(), QImage::Format_RGB32);
    {
      QPainter painter(&painted);
      EXPECT_EQ(PaintPicture(painter, w.Pixels(), w.record), PictureForm::Pixels);
    }
    EXPECT_EQ(painted, w.Pixels());
    const QByteArray svg = PictureSvg(w.Pixels(), w.record);
    EXPECT_TRUE(svg.contains("<image"));
    EXPECT_LT(svg.size(), 1000000);
    EXPECT_EQ(RenderSvg(svg, {400, 400}), w.Pixels());
    EXPECT_EQ(Mismatches(w.Pixels(), RenderPdf(PicturePdf(w.Pixels(), w.record), {400, 400})), 0);
  }
}

TEST_F(PictureExportTest, ALoadedPictureOfAnotherSizeKeepsItsFrame) {
  PictureWorld w;
  w.record.Load(w.canvas, Ground(QSize(600, 300)));
  ASSERT_TRUE(w.Run({"ZeichneKreis(0;2)", "ZeichneLinie(-5;5*i)"}));
  const QByteArray svg = PictureSvg(w.Pixels(), w.record);
  EXPECT_TRUE(svg.contains("viewBox=\"0 0 600 300\"")) << svg.left(600).toStdString();
  EXPECT_EQ(Mismatches(w.Pixels(), RenderSvg(svg, {600, 300})), 0);
  QPdfDocument pdf;
  QByteArray bytes = PicturePdf(w.Pixels(), w.record);
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  pdf.load(&buffer);
  EXPECT_EQ(pdf.pagePointSize(0), QSizeF(450, 225));  // 96 pixels to the inch, no margin
}

TEST_F(PictureExportTest, TheFileTakesTheFormatItsExtensionNames) {
  QTemporaryDir dir;
  PictureWorld w;
  ASSERT_TRUE(w.Run({"ZeichneKreis(0;1)"}));
  struct Row {
    const char* file;
    std::optional<std::string> error;
    const char* starts_with;
  };
  const std::vector<Row> rows = {
      {"bild.svg", std::nullopt, "<?xml"},
      {"BILD.SVG", std::nullopt, "<?xml"},
      {"bild.Pdf", std::nullopt, "%PDF"},
      {"bild.png", "Unbekannte Bilddateierweiterung (.png)", nullptr},
      {"bild", "Unbekannte Bilddateierweiterung (.)", nullptr},
      {"fehlt/bild.svg",
       "Datei " + FromQt(dir.filePath("fehlt/bild.svg")) + " kann nicht erstellt werden", nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.file);
    const QString path = dir.filePath(QString::fromLatin1(row.file));
    EXPECT_EQ(ExportPictureFile(w.Pixels(), w.record, path), row.error);
    QFile file(path);
    EXPECT_EQ(file.open(QIODevice::ReadOnly), row.starts_with != nullptr);
    if (row.starts_with != nullptr) {
      EXPECT_TRUE(file.readAll().startsWith(row.starts_with));
    }
  }
}

// As project saves refuse them, a named pipe in place of the file stays one: neither the
// export nor "Bild speichern unter" replaces it with a regular file.
TEST_F(PictureExportTest, ANamedPipeIsRefusedAndStaysOne) {
  QTemporaryDir dir;
  PictureWorld w;
  ASSERT_TRUE(w.Run({"ZeichneKreis(0;1)"}));
  for (const char* name : {"rohr.svg", "rohr.pdf", "rohr.bmp"}) {
    SCOPED_TRACE(name);
    const QString path = dir.filePath(QString::fromLatin1(name));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    const std::optional<std::string> error = path.endsWith(QLatin1String(".bmp"))
                                                 ? SavePictureFile(w.Pixels(), path)
                                                 : ExportPictureFile(w.Pixels(), w.record, path);
    EXPECT_EQ(error, "Datei " + FromQt(path) + " kann nicht erstellt werden");
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
  }
}

}  // namespace
}  // namespace ombrix
