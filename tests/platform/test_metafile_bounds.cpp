// Metafiles that pass every check of their header and records but cost too much to draw:
// the reader's bounds of time and memory end them with a German message, and the window's
// process never draws them itself; a caller waiting for the reader may stop it.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <QImage>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/metafile.h"
#include "tests/platform/metafile_writer.h"

namespace ombrix {
namespace {

using testing::ColorRef;
using testing::EmfWriter;
using testing::ManyLargeEllipses;
using testing::WmfWriter;

const std::string kTooCostly = "Metadatei ist zu aufwendig zum Zeichnen";

// 100 000 rectangles over a picture of 1000 x 1000 pixels (2.4 MB).
QByteArray ManyRectangles() {
  EmfWriter emf(0, 0, 1008, 1008);
  for (int i = 0; i < 100000; ++i) {
    const int x = (i * 37) % 900, y = (i * 91) % 900;
    emf.Rectangle(x, y, x + 100, y + 100);
  }
  return emf.Bytes();
}

// Dashed pens hundreds of pixels wide, along long zigzag lines.
QByteArray WideDashedPens() {
  EmfWriter emf(0, 0, 4008, 4008);
  emf.CreatePen(1, 1, 400, ColorRef(0, 0, 0)).Select(1);
  for (int line = 0; line < 2000; ++line) {
    std::vector<std::int32_t> params = {0, 0, 4000, 4000, 200};
    for (int p = 0; p < 200; ++p) params.insert(params.end(), {(p * 20) % 4000, (p % 2) * 4000});
    emf.Raw(testing::kEmrPolyline, params);
  }
  return emf.Bytes();
}

// Clip regions nested 50 000 deep, each drawing under all of them.
QByteArray DeepClipping() {
  EmfWriter emf(0, 0, 1008, 1008);
  for (int i = 0; i < 50000; ++i) {
    const int inset = i % 400;
    emf.Record(testing::kEmrSaveDc, {})
        .Record(testing::kEmrIntersectClipRect, {inset, inset, 1000 - inset, 1000 - inset})
        .Rectangle(0, 0, 1000, 1000);
  }
  return emf.Bytes();
}

// One 24-bit bitmap of 4096 x 4096 pixels (48 MB) stretched over the picture.
QByteArray LargeBitmap() {
  constexpr int kSide = 4096;
  QByteArray info;
  for (std::uint32_t v : {40u, std::uint32_t{kSide}, std::uint32_t{kSide}}) {
    testing::AppendLe(info, v, 4);
  }
  testing::AppendLe(info, 1, 2);
  testing::AppendLe(info, 24, 2);
  for (std::uint32_t v : {0u, std::uint32_t{kSide * kSide * 3}, 3780u, 3780u, 0u, 0u}) {
    testing::AppendLe(info, v, 4);
  }
  QByteArray bits(kSide * kSide * 3, '\0');
  for (int row = 0; row < kSide; ++row) {  // stripes, so that it is no single colour
    std::memset(bits.data() + row * kSide * 3, row % 251, kSide * 3);
  }
  const std::int32_t offset = 8 + 18 * 4;
  return EmfWriter(0, 0, kSide, kSide)
      .Raw(testing::kEmrStretchDiBits,
           {0, 0, kSide - 1, kSide - 1, 0, 0, 0, 0, kSide, kSide, offset, 40, offset + 40,
            kSide * kSide * 3, 0, 0x00CC0020, kSide, kSide},
           info + bits)
      .Bytes();
}

struct CostlyRow {
  const char* name;
  MetafileFormat format;
  QByteArray (*make)();
  QSize frame;
  bool may_finish;  // a fast machine (an optimised build) may draw it within the bounds
};

void PrintTo(const CostlyRow& row, std::ostream* os) { *os << row.name; }

double OwnCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class CostlyMetafile : public ::testing::TestWithParam<CostlyRow> {};

TEST_P(CostlyMetafile, IsDrawnOnlyInTheReaderAndEndsWithinItsBounds) {
  const CostlyRow& row = GetParam();
  const QByteArray bytes = row.make();
  const double before = OwnCpuSeconds();
  const auto loaded = DecodeMetafile(bytes, row.format);
  // The reader draws; this process only checks the records and takes the pixels.
  EXPECT_LT(OwnCpuSeconds() - before, 2.0);
  if (const auto* picture = std::get_if<QImage>(&loaded)) {
    EXPECT_TRUE(row.may_finish) << "drawn, although no machine draws it in time";
    EXPECT_EQ(picture->size(), row.frame);
  } else {
    EXPECT_EQ(std::get<std::string>(loaded), kTooCostly);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CostlyMetafile,
    ::testing::Values(
        CostlyRow{"emf_many_rectangles", MetafileFormat::Emf, ManyRectangles, {1008, 1008}, true},
        CostlyRow{"emf_wide_dashed_pens", MetafileFormat::Emf, WideDashedPens, {4008, 4008}, true},
        CostlyRow{"emf_deep_clipping", MetafileFormat::Emf, DeepClipping, {1008, 1008}, true},
        CostlyRow{"emf_large_bitmap", MetafileFormat::Emf, LargeBitmap, {4096, 4096}, true},
        CostlyRow{"wmf_many_large_ellipses",
                  MetafileFormat::Wmf,
                  ManyLargeEllipses,
                  {4000, 4000},
                  false}),
    [](const auto& row) { return std::string(row.param.name); });

// A wait that counts its turns, keeps the longest it was asked to wait, and stops the load
// at the turn given (0: never).
class CountingWait final : public ReaderWait {
 public:
  explicit CountingWait(int stop_at = 0) : stop_at_(stop_at) {}
  bool Wait(int fd, int milliseconds) override {
    ++turns;
    longest = std::max(longest, milliseconds);
    pollfd pfd{fd, POLLIN, 0};
    ::poll(&pfd, 1, milliseconds);
    return turns == stop_at_;
  }
  int turns = 0;
  int longest = 0;

 private:
  int stop_at_;
};

// No reader is left behind: every child of this process has been waited for.
bool NoChildLeft() { return ::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD; }

TEST(ReaderWait, TurnsWhileTheReaderDrawsAndStopsItWhenAsked) {
  const QByteArray slow = ManyLargeEllipses();
  for (const int stop_at : {1, 2, 5}) {
    SCOPED_TRACE(stop_at);
    CountingWait wait(stop_at);
    const auto loaded = DecodeMetafile(slow, MetafileFormat::Wmf, &wait);
    ASSERT_TRUE(std::holds_alternative<std::string>(loaded));
    EXPECT_EQ(std::get<std::string>(loaded), AbandonedMetafileMessage());
    EXPECT_EQ(wait.turns, stop_at);  // not asked again once it said stop
    EXPECT_LE(wait.longest, kReaderWaitSliceMs);
    EXPECT_TRUE(NoChildLeft());
  }
}

TEST(ReaderWait, PicturesLoadAlikeWithAndWithoutIt) {
  struct Row {
    const char* file;
    MetafileFormat format;
  };
  for (const Row& row :
       {Row{"shapes.emf", MetafileFormat::Emf}, Row{"shapes.wmf", MetafileFormat::Wmf}}) {
    SCOPED_TRACE(row.file);
    const QByteArray bytes = testing::Fixture(row.file);
    ASSERT_FALSE(bytes.isEmpty());
    CountingWait wait;
    const auto waited = DecodeMetafile(bytes, row.format, &wait);
    const auto blocked = DecodeMetafile(bytes, row.format);
    ASSERT_TRUE(std::holds_alternative<QImage>(waited));
    ASSERT_TRUE(std::holds_alternative<QImage>(blocked));
    EXPECT_EQ(std::get<QImage>(waited), std::get<QImage>(blocked));
    EXPECT_LE(wait.longest, kReaderWaitSliceMs);
    EXPECT_TRUE(NoChildLeft());
  }
}

}  // namespace
}  // namespace ombrix
