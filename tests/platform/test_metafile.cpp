// Metafiles made by Inkscape 1.2 (data/shapes.svg exported as data/shapes.emf and
// data/shapes.wmf): a red and a blue rectangle above a green ellipse and a black bar, on a
// transparent 160 x 120 page.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/metafile.h"
#include "platform/picture_files.h"
#include "tests/platform/metafile_writer.h"

namespace ombrix {
namespace {

using testing::Fixture;

QByteArray Patched(QByteArray bytes, int at, std::uint32_t value, int width = 4) {
  for (int i = 0; i < width; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
  return bytes;
}

std::uint32_t Rgb(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFFu; }

struct ShapeRow {
  const char* name;
  const char* file;
  MetafileFormat format;
  int width, height;
};

class InkscapeMetafile : public ::testing::TestWithParam<ShapeRow> {};

TEST_P(InkscapeMetafile, ShowsTheShapesInTheirColoursAtTheFrameSize) {
  const ShapeRow& row = GetParam();
  const auto loaded = DecodeMetafile(Fixture(row.file), row.format);
  ASSERT_TRUE(std::holds_alternative<QImage>(loaded)) << std::get<std::string>(loaded);
  const QImage& picture = std::get<QImage>(loaded);
  EXPECT_EQ(picture.size(), QSize(row.width, row.height));
  EXPECT_EQ(picture.format(), QImage::Format_RGB32);
  struct Spot {
    int x, y;
    std::uint32_t rgb;
  };
  // Points well inside each shape, and the white page between them.
  for (const Spot& spot : {Spot{40, 30, 0xFF0000}, Spot{120, 30, 0x0000FF}, Spot{80, 85, 0x00FF00},
                           Spot{80, 115, 0x000000}, Spot{80, 30, 0xFFFFFF}, Spot{4, 4, 0xFFFFFF},
                           Spot{15, 90, 0xFFFFFF}}) {
    EXPECT_EQ(Rgb(picture, spot.x, spot.y), spot.rgb) << "at " << spot.x << "," << spot.y;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, InkscapeMetafile,
    ::testing::Values(ShapeRow{"emf", "shapes.emf", MetafileFormat::Emf, 162, 121},
                      ShapeRow{"wmf", "shapes.wmf", MetafileFormat::Wmf, 160, 120}),
    [](const auto& row) { return std::string(row.param.name); });

struct SaveRow {
  const char* name;
  const char* file;
};

class SavedMetafile : public ::testing::TestWithParam<SaveRow> {};

TEST_P(SavedMetafile, LoadsAgainWithTheSamePixels) {
  QImage picture(123, 77, QImage::Format_RGB32);
  picture.fill(Qt::white);
  {
    QPainter painter(&picture);
    painter.fillRect(0, 0, 60, 40, QColor(200, 10, 20));
    painter.setPen(QColor(1, 2, 3));
    painter.drawLine(0, 76, 122, 0);
  }
  picture.setPixel(122, 76, qRgb(0, 128, 255));  // the far corner is kept as well
  QTemporaryDir dir;
  const QString path = dir.filePath(QLatin1String(GetParam().file));
  ASSERT_FALSE(SavePictureFile(picture, path).has_value());
  const auto loaded = LoadPictureFile(path);
  ASSERT_TRUE(std::holds_alternative<QImage>(loaded)) << std::get<std::string>(loaded);
  EXPECT_EQ(std::get<QImage>(loaded), picture);
}

INSTANTIATE_TEST_SUITE_P(Rows, SavedMetafile,
                         ::testing::Values(SaveRow{"emf", "b.emf"}, SaveRow{"wmf", "b.WMF"}),
                         [](const auto& row) { return std::string(row.param.name); });

// ------------------------------------------------------------ records of our own

using testing::ColorRef;
using testing::EmfWriter;
using testing::WmfWriter;

constexpr std::uint32_t kBlack = 0x000000, kWhite = 0xFFFFFF, kRed = 0xFF0000, kBlue = 0x0000FF;

// Within half the scale on every channel: an edge pixel that a smoothed line covers half.
bool Near(std::uint32_t a, std::uint32_t b) {
  for (int shift : {0, 8, 16}) {
    if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) >=
        0x80)
      return false;
  }
  return true;
}

// What one shape's records say: its box in picture pixels, whether it is an ellipse, the
// colour inside it and that of its outline.
struct Shape {
  QRect box;  // left, top, right, bottom as the record gives them
  bool ellipse;
  std::uint32_t fill, pen;
};

struct PlacedRow {
  const char* name;
  MetafileFormat format;
  QByteArray bytes;
  QSize size;
  Shape shape;
};

Shape Box(int l, int t, int r, int b, std::uint32_t fill = kWhite, std::uint32_t pen = kBlack) {
  return {QRect(QPoint(l, t), QPoint(r, b)), false, fill, pen};
}
Shape Round(int l, int t, int r, int b, std::uint32_t fill = kWhite, std::uint32_t pen = kBlack) {
  return {QRect(QPoint(l, t), QPoint(r, b)), true, fill, pen};
}

void PrintTo(const PlacedRow& row, std::ostream* os) { *os << row.name; }

// An EMF rectangle from 20 to 100 drawn with a pen and a brush of its own.
QByteArray RectangleWithPenAndBrush(std::uint32_t pen, std::uint32_t brush) {
  return EmfWriter(0, 0, 240, 240)
      .Bounds(20, 20, 99, 99)
      .CreatePen(1, 0, 1, pen)
      .CreateBrush(2, 0, brush)
      .Select(1)
      .Select(2)
      .Rectangle(20, 20, 100, 100)
      .Bytes();
}

std::vector<PlacedRow> PlacedRows() {
  const auto E = MetafileFormat::Emf;
  const auto W = MetafileFormat::Wmf;
  const QSize s200(200, 200), s240(240, 240);
  return {
      {"wmf_frame_larger_than_the_drawing", W,
       WmfWriter(0, 0, 200, 200, 96).Rectangle(20, 20, 100, 100).Bytes(), s200,
       Box(20, 20, 100, 100)},
      {"wmf_frame_at_72_units_per_inch", W,
       WmfWriter(0, 0, 150, 150, 72).Rectangle(15, 15, 75, 75).Bytes(), s200,
       Box(20, 20, 100, 100)},
      {"wmf_frame_away_from_the_origin", W,
       WmfWriter(50, 50, 250, 250, 96).WindowOrg(50, 50).Rectangle(70, 70, 150, 150).Bytes(), s200,
       Box(20, 20, 100, 100)},
      {"wmf_window_origin_inside_the_frame", W,
       WmfWriter(0, 0, 200, 200, 96).WindowOrg(50, 50).Rectangle(70, 70, 150, 150).Bytes(), s200,
       Box(70, 70, 150, 150)},
      {"wmf_anisotropic_window_of_the_frame", W,
       WmfWriter(0, 0, 1000, 1000, 480)
           .MapMode(8)
           .WindowExt(1000, 1000)
           .Rectangle(100, 100, 500, 500)
           .Bytes(),
       s200, Box(20, 20, 100, 100)},
      {"wmf_window_without_placeable_bounds", W,
       WmfWriter().WindowExt(200, 200).Rectangle(20, 20, 100, 100).Bytes(), QSize(266, 266),
       Box(27, 27, 133, 133)},
      {"wmf_ellipse_with_default_objects", W,
       WmfWriter(0, 0, 200, 200, 96).Ellipse(40, 60, 160, 140).Bytes(), s200,
       Round(40, 60, 160, 140)},
      {"wmf_selected_pen_and_brush", W,
       WmfWriter(0, 0, 200, 200, 96)
           .CreatePen(0, 3, ColorRef(255, 0, 0))
           .Select(0)
           .CreateBrush(0, ColorRef(0, 0, 255))
           .Select(1)
           .Rectangle(20, 20, 100, 100)
           .Bytes(),
       s200, Box(20, 20, 100, 100, kBlue, kRed)},
      {"emf_rectangle_with_default_objects", E,
       EmfWriter(0, 0, 240, 240).Bounds(20, 20, 99, 99).Rectangle(20, 20, 100, 100).Bytes(), s240,
       Box(20, 20, 100, 100)},
      {"emf_black_pen_and_white_brush_selected", E,
       RectangleWithPenAndBrush(ColorRef(0, 0, 0), ColorRef(255, 255, 255)), s240,
       Box(20, 20, 100, 100)},
      {"emf_coloured_pen_and_brush_selected", E,
       RectangleWithPenAndBrush(ColorRef(255, 0, 0), ColorRef(0, 0, 255)), s240,
       Box(20, 20, 100, 100, kBlue, kRed)},
      {"emf_stock_objects_selected", E,
       EmfWriter(0, 0, 240, 240)
           .Select(testing::kStockWhiteBrush)
           .Select(testing::kStockBlackPen)
           .Rectangle(20, 20, 100, 100)
           .Bytes(),
       s240, Box(20, 20, 100, 100)},
      {"emf_ellipse_with_default_objects", E,
       EmfWriter(0, 0, 240, 240).Bounds(40, 60, 159, 139).Ellipse(40, 60, 160, 140).Bytes(), s240,
       Round(40, 60, 160, 140)},
      {"emf_frame_away_from_the_origin", E,
       EmfWriter(48, 48, 288, 288).Bounds(68, 68, 147, 147).Rectangle(68, 68, 148, 148).Bytes(),
       s240, Box(20, 20, 100, 100)},
  };
}

class PlacedShape : public ::testing::TestWithParam<PlacedRow> {};

TEST_P(PlacedShape, StandsWhereItsRecordsSayInTheirColours) {
  const PlacedRow& row = GetParam();
  const auto loaded = DecodeMetafile(row.bytes, row.format);
  ASSERT_TRUE(std::holds_alternative<QImage>(loaded)) << std::get<std::string>(loaded);
  const QImage& picture = std::get<QImage>(loaded);
  ASSERT_EQ(picture.size(), row.size);
  const QRect& box = row.shape.box;
  const QPoint centre = box.center();
  EXPECT_EQ(Rgb(picture, centre.x(), centre.y()), row.shape.fill) << "inside";
  EXPECT_EQ(Rgb(picture, box.left() + 4, centre.y()), row.shape.fill) << "inside, at the left";
  EXPECT_EQ(Rgb(picture, centre.x(), box.bottom() - 4), row.shape.fill) << "inside, at the bottom";
  // The outline passes the middle of each side, within a pixel of the record's coordinate.
  auto outline = [&](int x, int y, int dx, int dy) {
    for (int step = -1; step <= 1; ++step) {
      if (Near(Rgb(picture, x + step * dx, y + step * dy), row.shape.pen)) return true;
    }
    return false;
  };
  EXPECT_TRUE(outline(box.left(), centre.y(), 1, 0)) << "left side";
  EXPECT_TRUE(outline(box.right() - 1, centre.y(), 1, 0)) << "right side";
  EXPECT_TRUE(outline(centre.x(), box.top(), 0, 1)) << "top side";
  EXPECT_TRUE(outline(centre.x(), box.bottom() - 1, 0, 1)) << "bottom side";
  // Around it the page stays white: beyond the box, and in the corners an ellipse leaves.
  for (const QPoint& p : {box.topLeft() - QPoint(4, 4), box.bottomRight() + QPoint(4, 4),
                          QPoint(box.left() - 4, centre.y()), QPoint(2, 2),
                          QPoint(row.size.width() - 3, row.size.height() - 3)}) {
    EXPECT_EQ(Rgb(picture, p.x(), p.y()), kWhite) << "outside at " << p.x() << "," << p.y();
  }
  const std::uint32_t corner = Rgb(picture, box.left() + 3, box.top() + 3);
  EXPECT_EQ(corner, row.shape.ellipse ? kWhite : row.shape.fill) << "a corner of the box";
}

INSTANTIATE_TEST_SUITE_P(Rows, PlacedShape, ::testing::ValuesIn(PlacedRows()),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(PlacedShape, EmfPolylineIsDrawnWithTheDefaultPenAndNotFilled) {
  const QByteArray bytes = EmfWriter(0, 0, 240, 240)
                               .Bounds(20, 20, 120, 120)
                               .Polyline({{20, 20}, {120, 20}, {120, 120}})
                               .Bytes();
  const auto loaded = DecodeMetafile(bytes, MetafileFormat::Emf);
  ASSERT_TRUE(std::holds_alternative<QImage>(loaded)) << std::get<std::string>(loaded);
  const QImage& picture = std::get<QImage>(loaded);
  EXPECT_TRUE(Near(Rgb(picture, 70, 20), kBlack) || Near(Rgb(picture, 70, 19), kBlack));
  EXPECT_TRUE(Near(Rgb(picture, 120, 70), kBlack) || Near(Rgb(picture, 119, 70), kBlack));
  EXPECT_EQ(Rgb(picture, 100, 40), kWhite);  // inside the open corner: a line, no fill
  EXPECT_EQ(Rgb(picture, 40, 100), kWhite);
}

// Paths left open: libemf2svg stops writing its document inside the path, so only part of
// the picture could be read, which is said in German (Qt SVG would warn only in English).
struct PartRow {
  const char* name;
  QByteArray bytes;
};

void PrintTo(const PartRow& row, std::ostream* os) { *os << row.name; }

class PartlyReadable : public ::testing::TestWithParam<PartRow> {};

TEST_P(PartlyReadable, IsReportedAsNotReadWhole) {
  const auto loaded = DecodeMetafile(GetParam().bytes, MetafileFormat::Emf);
  ASSERT_TRUE(std::holds_alternative<std::string>(loaded));
  EXPECT_EQ(std::get<std::string>(loaded), "Metadatei konnte nicht vollst\xE4ndig gelesen werden");
}

constexpr std::uint32_t kBeginPath = 59, kEndPath = 60, kStrokePath = 64, kMoveTo = 27,
                        kLineTo = 54;

INSTANTIATE_TEST_SUITE_P(Rows, PartlyReadable,
                         ::testing::Values(PartRow{"path_never_ended",
                                                   EmfWriter(0, 0, 240, 240)
                                                       .Record(kBeginPath, {})
                                                       .Record(kMoveTo, {20, 20})
                                                       .Record(kLineTo, {120, 20})
                                                       .Record(kLineTo, {120, 120})
                                                       .Bytes()},
                                           PartRow{"path_stroked_before_its_end",
                                                   EmfWriter(0, 0, 240, 240)
                                                       .Record(kBeginPath, {})
                                                       .Record(kMoveTo, {20, 20})
                                                       .Record(kLineTo, {120, 20})
                                                       .Record(kStrokePath, {0, 0, 240, 240})
                                                       .Bytes()}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(PartlyReadable, AClosedAndStrokedPathIsDrawn) {
  const QByteArray bytes = EmfWriter(0, 0, 240, 240)
                               .Record(kBeginPath, {})
                               .Record(kMoveTo, {20, 20})
                               .Record(kLineTo, {120, 20})
                               .Record(kEndPath, {})
                               .Record(kStrokePath, {0, 0, 240, 240})
                               .Bytes();
  const auto loaded = DecodeMetafile(bytes, MetafileFormat::Emf);
  ASSERT_TRUE(std::holds_alternative<QImage>(loaded)) << std::get<std::string>(loaded);
  EXPECT_TRUE(Near(Rgb(std::get<QImage>(loaded), 70, 20), kBlack) ||
              Near(Rgb(std::get<QImage>(loaded), 70, 19), kBlack));
}

struct BadRow {
  const char* name;
  MetafileFormat format;
  QByteArray bytes;
  bool too_large;  // else invalid
};

const std::string kInvalid = "Metadatei ist ung\xFCltig";

std::vector<BadRow> BadRows() {
  const QByteArray emf = Fixture("shapes.emf");
  const QByteArray wmf = Fixture("shapes.wmf");
  const auto E = MetafileFormat::Emf;
  const auto W = MetafileFormat::Wmf;
  return {
      {"emf_empty", E, QByteArray(), false},
      {"emf_text", E, QByteArray("no metafile at all"), false},
      {"emf_header_only", E, emf.left(88), false},
      {"emf_cut_in_half", E, emf.left(emf.size() / 2), false},
      {"emf_without_end_record", E, emf.left(emf.size() - 20), false},
      {"emf_wrong_signature", E, Patched(emf, 40, 0x20202020), false},
      {"emf_longer_than_the_file", E, Patched(emf, 48, 0x7FFFFFFF), false},
      {"emf_record_of_size_zero", E, Patched(emf, 0xD8 + 4, 0), false},
      {"emf_record_past_the_end", E, Patched(emf, 0xD8 + 4, 0x10000), false},
      {"emf_empty_frame", E, Patched(emf, 32, 0), false},
      {"emf_unset_reference_device", E, Patched(emf, 80, 0), false},
      {"emf_frame_of_a_kilometre", E, Patched(emf, 32, 100000000), true},
      {"emf_frame_wider_than_the_limit", E, Patched(emf, 32, 300000), true},
      {"emf_frame_over_the_area_limit", E, Patched(Patched(emf, 32, 240000), 36, 240000), true},
      {"emf_larger_than_any_metafile", E, QByteArray(kMaxMetafileBytes + 1, '\0'), true},
      {"wmf_empty", W, QByteArray(), false},
      {"wmf_text", W, QByteArray("no metafile at all"), false},
      {"wmf_placeable_header_only", W, wmf.left(22), false},
      {"wmf_cut_in_half", W, wmf.left(wmf.size() / 2), false},
      {"wmf_without_end_record", W, wmf.left(wmf.size() - 6), false},
      {"wmf_zero_units_per_inch", W, Patched(wmf, 14, 0, 2), false},
      {"wmf_wrong_header_size", W, Patched(wmf, 24, 7, 2), false},
      {"wmf_largest_record_beyond_the_file", W, Patched(wmf, 34, 0x7FFFFFFF), false},
      {"wmf_record_of_size_zero", W, Patched(wmf, 40, 0), false},
      {"wmf_record_past_the_end", W, Patched(wmf, 40, 0x100000), false},
      {"wmf_empty_bounds", W, Patched(wmf, 10, 0, 2), false},
      {"wmf_bounds_wider_than_the_limit", W, Patched(Patched(wmf, 10, 30000, 2), 14, 1, 2), true},
  };
}

class BadMetafile : public ::testing::TestWithParam<BadRow> {};

TEST_P(BadMetafile, EndsWithAGermanMessage) {
  const BadRow& row = GetParam();
  const auto loaded = DecodeMetafile(row.bytes, row.format);
  ASSERT_TRUE(std::holds_alternative<std::string>(loaded));
  const std::string& message = std::get<std::string>(loaded);
  if (row.too_large) {
    EXPECT_EQ(message, "Metadatei ist zu gro\xDF (h\366chstens 10000 \xD7 10000 Bildpunkte)");
  } else {
    EXPECT_EQ(message, kInvalid);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, BadMetafile, ::testing::ValuesIn(BadRows()),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(MetafileLibraries, WmfReadingUsesLibwmfsOwnFreeFunction) {
  // libuemf exports a wmf_free as well; libwmf calls its own only if it comes first. An
  // optimised build may leave libwmf out of this process, which then proves nothing.
  if (dlopen("libwmflite-0.2.so.7", RTLD_NOW | RTLD_NOLOAD) == nullptr) {
    GTEST_SKIP() << "libwmf is not loaded in this process";
  }
  Dl_info info{};
  void* const found = dlsym(RTLD_DEFAULT, "wmf_free");
  ASSERT_NE(found, nullptr);
  ASSERT_NE(dladdr(found, &info), 0);
  EXPECT_NE(std::string(info.dli_fname).find("libwmflite"), std::string::npos) << info.dli_fname;
}

}  // namespace
}  // namespace ombrix
