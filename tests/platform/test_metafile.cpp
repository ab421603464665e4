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

namespace ombrix {
namespace {

QByteArray Fixture(const char* name) {
  QFile file(QStringLiteral(OMBRIX_SOURCE_DIR "/tests/platform/data/") + QLatin1String(name));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

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

class InkscapeMetafile : public testing::TestWithParam<ShapeRow> {};

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
    testing::Values(ShapeRow{"emf", "shapes.emf", MetafileFormat::Emf, 162, 121},
                    ShapeRow{"wmf", "shapes.wmf", MetafileFormat::Wmf, 160, 120}),
    [](const auto& row) { return std::string(row.param.name); });

struct SaveRow {
  const char* name;
  const char* file;
};

class SavedMetafile : public testing::TestWithParam<SaveRow> {};

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
                         testing::Values(SaveRow{"emf", "b.emf"}, SaveRow{"wmf", "b.WMF"}),
                         [](const auto& row) { return std::string(row.param.name); });

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

class BadMetafile : public testing::TestWithParam<BadRow> {};

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

INSTANTIATE_TEST_SUITE_P(Rows, BadMetafile, testing::ValuesIn(BadRows()),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(MetafileLibraries, WmfReadingUsesLibwmfsOwnFreeFunction) {
  // libuemf exports a wmf_free as well; libwmf calls its own only if it comes first.
  Dl_info info{};
  void* const found = dlsym(RTLD_DEFAULT, "wmf_free");
  ASSERT_NE(found, nullptr);
  ASSERT_NE(dladdr(found, &info), 0);
  EXPECT_NE(std::string(info.dli_fname).find("libwmflite"), std::string::npos) << info.dli_fname;
}

}  // namespace
}  // namespace ombrix
