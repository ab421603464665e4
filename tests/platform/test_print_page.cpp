// The printed page: where the picture and its caption go, the caption's text, and the
// page as a printer or a PDF file receives it.
#include "platform/print_page.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPdfWriter>
#include <QtPdf/QPdfSelection>
#include <optional>

#include "platform/qt_text.h"
#include "tests/platform/picture_world.h"

namespace ombrix {
namespace {

using testing::PictureWorld;

constexpr double kCm = 1200 / 2.54;  // device pixels of a 1200 dpi printer

// Fonts need a GUI application; the tests run without a display.
class PrintPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetDecimalSeparator('.');
    qputenv("QT_QPA_PLATFORM", "offscreen");
    application_.emplace(argc_, argv_);
  }
  void TearDown() override { application_.reset(); }

 private:
  int argc_ = 1;
  char name_[16] = "tests_platform";
  char* argv_[2] = {name_, nullptr};
  std::optional<QGuiApplication> application_;
};

TEST_F(PrintPageTest, ThePictureFillsTheWidthUpTo16cmAndKeepsItsAspect) {
  struct Row {
    const char* name;
    QRectF page;  // cm
    QSize picture;
    QRectF expected;  // cm
  };
  const double caption = 0.5;
  const std::vector<Row> rows = {
      {"A4 upright: 16 cm, centred", {0, 0, 19, 27.7}, {400, 400}, {1.5, 0, 16, 16}},
      {"a narrow page: its whole width", {0, 0, 10, 27.7}, {400, 400}, {0, 0, 10, 10}},
      {"a wide picture keeps its aspect", {0, 0, 19, 27.7}, {600, 300}, {1.5, 0, 16, 8}},
      {"a short page: the caption stays on it", {0, 0, 27.7, 8}, {400, 400}, {10.25, 0, 7.2, 7.2}},
      {"an offset printable area", {2, 3, 12, 20}, {400, 400}, {2, 3, 12, 12}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const auto cm = [](const QRectF& r) {
      return QRectF(r.x() * kCm, r.y() * kCm, r.width() * kCm, r.height() * kCm);
    };
    const PrintLayout layout = LayOutPrintPage(cm(row.page), 1200, row.picture, caption * kCm);
    const QRectF expected = cm(row.expected);
    EXPECT_NEAR(layout.picture.left(), expected.left(), 1);
    EXPECT_NEAR(layout.picture.top(), expected.top(), 1);
    EXPECT_NEAR(layout.picture.width(), expected.width(), 1);
    EXPECT_NEAR(layout.picture.height(), expected.height(), 1);
    EXPECT_NEAR(layout.caption.top(), layout.picture.bottom() + 0.3 * kCm, 1);
    EXPECT_LE(layout.caption.bottom(), cm(row.page).bottom() + 1);
  }
}

TEST_F(PrintPageTest, TheCaptionNamesTheProjectFileAndTheDate) {
  const QDate date(2026, 12, 9);
  struct Row {
    const char* name;
    QString file;
    bool unnamed;
    QString caption;
  };
  const std::vector<Row> rows = {
      {"a saved project", QStringLiteral("/home/lehrer/Wurzeln.omp"), false,
       ToQt("Wurzeln.omp \x96 09.12.2026")},
      {"never saved", QStringLiteral("{ohne Namen}"), true, ToQt("Neues Projekt \x96 09.12.2026")},
      {"any letters of the file name", QString::fromUtf8("/tmp/\xE5\x9B\xBE/Kreis \xCF\x80.omp"),
       false, QString::fromUtf8("Kreis \xCF\x80.omp \xE2\x80\x93 09.12.2026")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(PrintCaption(row.file, row.unnamed, date), row.caption);
  }
}

TEST_F(PrintPageTest, ThePageHoldsThePictureAndItsCaptionOnly) {
  PictureWorld w;
  ASSERT_TRUE(w.Run({"ZeichneLinie(-5;5)", "ZeichneKreis(0;4)"}));
  // An upright page of 20 x 28 cm at 100 dpi: the picture 16 cm (630 px) wide, 2 cm in.
  const double dpi = 100;
  QImage page(787, 1102, QImage::Format_RGB32);
  page.setDotsPerMeterX(qRound(dpi / 0.0254));
  page.setDotsPerMeterY(qRound(dpi / 0.0254));
  page.fill(Qt::white);
  {
    QPainter painter(&page);
    EXPECT_EQ(PaintPrintPage(painter, QRectF(0, 0, 787, 1102), w.Pixels(), w.record,
                             QStringLiteral("Wurzeln.omp")),
              PictureForm::Shapes);
  }
  const PrintLayout layout = LayOutPrintPage(QRectF(0, 0, 787, 1102), dpi, {400, 400}, 40);
  EXPECT_NEAR(layout.picture.width(), 16 / 2.54 * dpi, 0.5);
  // The line across the middle of the picture, and nothing left of the picture.
  const int middle = qRound(layout.picture.center().y());
  int darkest = 255;
  for (int y = middle - 2; y <= middle + 2; ++y) {
    darkest = std::min(darkest, qGray(page.pixel(qRound(layout.picture.center().x()), y)));
    EXPECT_EQ(page.pixel(qFloor(layout.picture.left()) - 2, y), qRgb(255, 255, 255));
  }
  EXPECT_LT(darkest, 100);
  // Ink below the picture only in the caption's line.
  int caption_ink = 0, other_ink = 0;
  for (int y = qCeil(layout.picture.bottom()) + 1; y < page.height(); ++y) {
    for (int x = 0; x < page.width(); ++x) {
      if (qGray(page.pixel(x, y)) > 128) continue;
      (y < layout.picture.bottom() + 0.3 / 2.54 * dpi + 40 ? caption_ink : other_ink)++;
    }
  }
  EXPECT_GT(caption_ink, 20);
  EXPECT_EQ(other_ink, 0);
}

TEST_F(PrintPageTest, APdfPageCarriesTheCaptionAsText) {
  PictureWorld w;
  ASSERT_TRUE(w.Run({"ZeichneKreis(0;1)"}));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
  {
    QPdfWriter pdf(&buffer);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    QPainter painter(&pdf);
    const QString caption = PrintCaption(QStringLiteral("/x/Kreis.omp"), false, QDate(2026, 1, 2));
    PaintPrintPage(painter, QRectF(0, 0, pdf.width(), pdf.height()), w.Pixels(), w.record, caption);
  }
  buffer.close();
  ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
  QPdfDocument document;
  document.load(&buffer);
  ASSERT_EQ(document.pageCount(), 1);
  EXPECT_TRUE(document.getAllText(0).text().contains(QStringLiteral("Kreis.omp")));
  EXPECT_TRUE(document.getAllText(0).text().contains(QStringLiteral("02.01.2026")));
}

}  // namespace
}  // namespace ombrix
