// The picture's read-back, and the history's record of what a figure changed: undoing
// the recorded changes of random figures gives back the picture to the last byte.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "logic/program/run_debug.h"
#include "platform/qimage_canvas.h"

namespace ombrix {
namespace {

TEST(QImageCanvas, PixelReadsBackWhatWasDrawn) {
  QImageCanvas canvas(10, 5);
  canvas.SetPixel(3, 4, 0x123456);
  EXPECT_TRUE(canvas.CanReadBack());
  EXPECT_EQ(canvas.Pixel(3, 4), 0x123456u);
  EXPECT_EQ(canvas.Pixel(0, 0), kWhite);
  EXPECT_EQ(canvas.Pixel(10, 0), kWhite);  // outside: white, as a clipped picture
}

TEST(HistoryCanvas, UndoingTheRecordOfRandomFiguresRestoresThePicture) {
  std::mt19937 random(77);
  const auto coordinate = [&] { return static_cast<int>(random() % 520) - 60; };
  QImageCanvas picture(400, 300);
  HistoryCanvas canvas(picture);
  for (int round = 0; round < 300; ++round) {
    const QImage before = picture.Image().copy();
    std::vector<HistoryCanvas::PixelChange> log;
    canvas.Record(&log);
    for (int figure = 0; figure < 4; ++figure) {
      canvas.SetPenColour(random() % 2 ? kBlack : kWhite);
      canvas.SetBrushSolid(random() % 3 == 0);
      switch (random() % 5) {
        case 0:
          canvas.SetPixel(coordinate(), coordinate(), random() % 2 ? kBlack : kBlue);
          break;
        case 1:
          canvas.MoveTo(coordinate(), coordinate());
          canvas.LineTo(coordinate(), coordinate());
          break;
        case 2:
          canvas.Ellipse(coordinate(), coordinate(), coordinate(), coordinate());
          break;
        case 3:
          if (random() % 8 == 0) canvas.FillRect(0, 0, 400, 300);
          break;
        default:
          canvas.LineTo(coordinate(), coordinate());
          break;
      }
    }
    canvas.Record(nullptr);
    const QImage after = picture.Image().copy();
    for (auto p = log.rbegin(); p != log.rend(); ++p) {
      canvas.SetPixel(static_cast<int>(p->index % 400), static_cast<int>(p->index / 400),
                      p->old_colour);
    }
    ASSERT_TRUE(picture.Image() == before) << "round " << round;
    picture.SetImage(after);  // on from the drawn picture
  }
}

}  // namespace
}  // namespace ombrix
