#include "platform/qimage_canvas.h"

#include "logic/app/runtime.h"
#include "logic/complex/num_text.h"
#include "logic/program/interpreter.h"
#include "logic/program/pixel_canvas.h"
#include "tests/support/cpu_time.h"
#include "tests/support/recording.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace ombrix {
namespace {

using Pixels = std::set<std::pair<int, int>>;

// Every pixel that is not white.
Pixels Coloured(const QImageCanvas& canvas) {
  Pixels out;
  for (int y = 0; y < canvas.Height(); ++y) {
    for (int x = 0; x < canvas.Width(); ++x) {
      if ((canvas.Image().pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) out.insert({x, y});
    }
  }
  return out;
}

Pixels OfColour(const QImageCanvas& canvas, QRgb colour) {
  Pixels out;
  for (int y = 0; y < canvas.Height(); ++y) {
    for (int x = 0; x < canvas.Width(); ++x) {
      if ((canvas.Image().pixel(x, y) & 0xFFFFFF) == colour) out.insert({x, y});
    }
  }
  return out;
}

void Line(QImageCanvas& c, int x0, int y0, int x1, int y1) {
  c.MoveTo(x0, y0);
  c.LineTo(x1, y1);
}

struct Figure {
  const char* name;
  std::function<void(QImageCanvas&)> draw;  // draws with the current pen
  bool visible;                             // leaves at least one pixel in the picture
};

const std::vector<Figure>& Figures() {
  static const std::vector<Figure> figures = {
      {"horizontal line", [](QImageCanvas& c) { Line(c, 200, 200, 240, 200); }, true},
      {"shallow line", [](QImageCanvas& c) { Line(c, 3, 7, 391, 150); }, true},
      {"steep line backwards", [](QImageCanvas& c) { Line(c, 390, 399, 17, 2); }, true},
      {"line through from far outside",
       [](QImageCanvas& c) { Line(c, INT_MIN, INT_MIN + 7, INT_MAX, INT_MAX - 3); }, true},
      {"line wholly outside", [](QImageCanvas& c) { Line(c, -50, -10, -1, 500); }, false},
      {"point", [](QImageCanvas& c) { c.SetPixel(17, 399, c.Width() ? 0 : 0); }, true},
      {"circle", [](QImageCanvas& c) { c.Ellipse(160, 161, 240, 239); }, true},
      {"flat ellipse", [](QImageCanvas& c) { c.Ellipse(10, 100, 390, 104); }, true},
      {"ellipse one pixel wide", [](QImageCanvas& c) { c.Ellipse(30, 30, 31, 60); }, true},
      {"huge ellipse crossing the picture",
       [](QImageCanvas& c) { c.Ellipse(-2000000000, -100, 2000000200, 300); }, true},
      {"ellipse around the whole picture",
       [](QImageCanvas& c) { c.Ellipse(INT_MIN, INT_MIN, INT_MAX, INT_MAX); }, false},
  };
  return figures;
}

TEST(QImageCanvasTest, StartsWhiteAtTheRequestedSize) {
  QImageCanvas canvas;
  EXPECT_EQ(canvas.Width(), 400);
  EXPECT_EQ(canvas.Height(), 400);
  EXPECT_EQ(canvas.Image().format(), QImage::Format_RGB32);
  EXPECT_TRUE(Coloured(canvas).empty());
}

TEST(QImageCanvasTest, AFigureDrawnThenErasedLeavesAWhitePicture) {
  for (const auto& figure : Figures()) {
    SCOPED_TRACE(figure.name);
    QImageCanvas canvas;
    canvas.SetBrushSolid(false);
    canvas.SetPenColour(kBlack);
    if (std::string(figure.name) == "point") {
      canvas.SetPixel(17, 399, kBlack);
    } else {
      figure.draw(canvas);
    }
    EXPECT_EQ(!Coloured(canvas).empty(), figure.visible);
    canvas.SetPenColour(kWhite);
    if (std::string(figure.name) == "point") {
      canvas.SetPixel(17, 399, kWhite);
    } else {
      figure.draw(canvas);
    }
    EXPECT_TRUE(Coloured(canvas).empty());
  }
}

TEST(QImageCanvasTest, ErasingOneFigureLeavesAnOverlappingOneUntouchedOutsideIt) {
  QImageCanvas both, only;
  for (QImageCanvas* c : {&both, &only}) {
    c->SetBrushSolid(false);
    c->SetPenColour(kBlack);
    Line(*c, 0, 200, 400, 200);
  }
  both.Ellipse(100, 100, 300, 300);
  both.SetPenColour(kWhite);
  both.Ellipse(100, 100, 300, 300);
  // Only the pixels the circle shares with the line have gone.
  const Pixels line = Coloured(only);
  const Pixels left = Coloured(both);
  for (const auto& p : left) EXPECT_TRUE(line.count(p));
  EXPECT_GE(left.size(), line.size() - 2);
}

struct LineRow {
  const char* name;
  int x0, y0, x1, y1;
  Pixels expected;
};

TEST(QImageCanvasTest, LinesLeaveOutTheirEndPixel) {
  const std::vector<LineRow> rows = {
      {"right", 2, 5, 6, 5, {{2, 5}, {3, 5}, {4, 5}, {5, 5}}},
      {"left", 6, 5, 2, 5, {{6, 5}, {5, 5}, {4, 5}, {3, 5}}},
      {"down", 1, 1, 1, 4, {{1, 1}, {1, 2}, {1, 3}}},
      {"diagonal", 0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}}},
      {"two by one", 0, 0, 4, 2, {{0, 0}, {1, 1}, {2, 1}, {3, 2}}},
      {"single step", 9, 9, 10, 9, {{9, 9}}},
      {"zero length", 9, 9, 9, 9, {}},
      {"clipped at the left edge", -3, 0, 2, 0, {{0, 0}, {1, 0}}},
      {"end beyond the right edge", 397, 0, 405, 0, {{397, 0}, {398, 0}, {399, 0}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    QImageCanvas canvas;
    Line(canvas, row.x0, row.y0, row.x1, row.y1);
    EXPECT_EQ(Coloured(canvas), row.expected);
  }
}

TEST(QImageCanvasTest, LineToMovesThePenToItsEnd) {
  QImageCanvas canvas;
  canvas.MoveTo(0, 0);
  canvas.LineTo(3, 0);
  canvas.LineTo(3, 2);  // continues from (3, 0), which the first line left out
  EXPECT_EQ(Coloured(canvas), (Pixels{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {3, 1}}));
}

TEST(QImageCanvasTest, EllipseStaysInsideItsRectangleAndTouchesEachEdge) {
  struct Row {
    const char* name;
    int l, t, r, b;
  };
  const std::vector<Row> rows = {
      {"circle of radius 40 by 39", 160, 161, 240, 239},
      {"small circle", 10, 10, 14, 14},
      {"tall ellipse", 50, 20, 60, 380},
      {"odd sizes", 7, 8, 20, 13},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    QImageCanvas canvas;
    canvas.SetBrushSolid(false);
    canvas.Ellipse(row.l, row.t, row.r, row.b);
    const Pixels set = Coloured(canvas);
    ASSERT_FALSE(set.empty());
    int min_x = INT_MAX, max_x = INT_MIN, min_y = INT_MAX, max_y = INT_MIN;
    for (const auto& [x, y] : set) {
      min_x = std::min(min_x, x);
      max_x = std::max(max_x, x);
      min_y = std::min(min_y, y);
      max_y = std::max(max_y, y);
    }
    EXPECT_EQ(min_x, row.l);
    EXPECT_EQ(max_x, row.r - 1);
    EXPECT_EQ(min_y, row.t);
    EXPECT_EQ(max_y, row.b - 1);
    // The figure is mirror-symmetric in its rectangle.
    for (const auto& [x, y] : set) {
      EXPECT_TRUE(set.count({row.l + row.r - 1 - x, y}));
      EXPECT_TRUE(set.count({x, row.t + row.b - 1 - y}));
    }
  }
}

TEST(QImageCanvasTest, HollowEllipseIsAThinClosedOutline) {
  QImageCanvas canvas;
  canvas.SetBrushSolid(false);
  canvas.Ellipse(160, 161, 240, 239);
  const Pixels set = Coloured(canvas);
  // Thin: the middle row holds just its two ends; closed: every pixel has an outline
  // neighbour (8-connected) on both sides, so a walk around never breaks.
  EXPECT_TRUE(set.count({160, 199}));
  EXPECT_TRUE(set.count({239, 199}));
  EXPECT_FALSE(set.count({161, 199}));
  EXPECT_FALSE(set.count({200, 199}));
  for (const auto& [x, y] : set) {
    int neighbours = 0;
    for (int dx = -1; dx <= 1; ++dx) {
      for (int dy = -1; dy <= 1; ++dy) {
        if ((dx || dy) && set.count({x + dx, y + dy})) ++neighbours;
      }
    }
    EXPECT_GE(neighbours, 2) << x << "," << y;
  }
}

TEST(QImageCanvasTest, BrushDecidesWhetherRectanglesAndEllipsesAreFilled) {
  QImage black(400, 400, QImage::Format_RGB32);
  black.fill(qRgb(0, 0, 0));

  QImageCanvas canvas;
  canvas.SetImage(black);
  canvas.SetBrushSolid(false);
  canvas.FillRect(0, 0, 400, 400);
  EXPECT_TRUE(OfColour(canvas, 0xFFFFFF).empty());

  canvas.SetBrushSolid(true);
  canvas.FillRect(10, 20, 13, 22);  // right and bottom exclusive
  EXPECT_EQ(OfColour(canvas, 0xFFFFFF),
            (Pixels{{10, 20}, {11, 20}, {12, 20}, {10, 21}, {11, 21}, {12, 21}}));

  canvas.SetImage(black);
  canvas.SetPenColour(kBlue);
  canvas.Ellipse(100, 100, 200, 200);  // solid brush: white inside a blue outline
  EXPECT_TRUE(OfColour(canvas, 0xFFFFFF).count({150, 150}));
  EXPECT_TRUE(OfColour(canvas, 0x0000FF).count({100, 149}));
  EXPECT_TRUE(OfColour(canvas, 0x000000).count({100, 100}));
}

TEST(QImageCanvasTest, FillingTheWholePictureClearsItAndClipsTheRest) {
  QImageCanvas canvas;
  canvas.SetPenColour(kBlack);
  Line(canvas, 0, 0, 400, 400);
  canvas.SetPixel(399, 0, kBlue);
  canvas.SetBrushSolid(true);
  canvas.FillRect(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
  EXPECT_TRUE(Coloured(canvas).empty());
}

TEST(QImageCanvasTest, PixelsOutsideThePictureAreIgnored) {
  QImageCanvas canvas;
  for (const auto& [x, y] :
       std::vector<std::pair<int, int>>{{-1, 0}, {0, -1}, {400, 0}, {0, 400}, {INT_MIN, INT_MAX}}) {
    canvas.SetPixel(x, y, kBlack);
  }
  EXPECT_TRUE(Coloured(canvas).empty());
  canvas.SetPixel(399, 399, kBlue);
  EXPECT_EQ(canvas.Image().pixel(399, 399), qRgb(0, 0, 255));
}

TEST(QImageCanvasTest, GiantFiguresFinishAtOnce) {
  const double start = testing::ThreadCpuSeconds();
  QImageCanvas canvas;
  for (int i = 0; i < 20; ++i) {
    Line(canvas, INT_MIN, INT_MAX, INT_MAX, INT_MIN + i);
    canvas.Ellipse(INT_MIN, INT_MIN + i, INT_MAX, INT_MAX);
    canvas.Ellipse(-1000000000, 0, 1000000000, 400);
  }
  EXPECT_LT(testing::ThreadCpuSeconds() - start, 5.0);  // this thread's work, whatever the load
}

TEST(QImageCanvasTest, TakesOverALoadedPictureAsRgb32) {
  QImage small(20, 10, QImage::Format_ARGB32);
  small.fill(qRgba(1, 2, 3, 255));
  QImageCanvas canvas;
  canvas.SetImage(small);
  EXPECT_EQ(canvas.Width(), 20);
  EXPECT_EQ(canvas.Height(), 10);
  EXPECT_EQ(canvas.Image().format(), QImage::Format_RGB32);
  canvas.SetPixel(19, 9, kWhite);
  EXPECT_EQ(canvas.Image().pixel(19, 9), qRgb(255, 255, 255));
}

// A program run on the picture: what it draws and erases again leaves no trace.
TEST(QImageCanvasTest, ProgramsThatEraseWhatTheyDrewLeaveAWhitePicture) {
  struct Row {
    const char* name;
    std::vector<std::string> program;
    std::size_t coloured;  // non-white pixels afterwards
  };
  const std::vector<Row> rows = {
      {"line", {"ZeichneLinie(0;1+2*i)", "L\xF6scheLinie(0;1+2*i)"}, 0},
      {"circle", {"ZeichneKreis(1;2)", "L\xF6scheKreis(1;2)"}, 0},
      {"point", {"ZeichnePunkt(3-i)", "L\xF6schePunkt(3-i)"}, 0},
      {"crossing figures erased in another order",
       {"ZeichneKreis(0;3)", "ZeichneLinie(-5;5*i)", "ZeichnePunkt(0)", "L\xF6scheKreis(0;3)",
        "L\xF6schePunkt(0)", "L\xF6scheLinie(-5;5*i)"},
       0},
      {"scale and circle cleared", {"ZeichneSkala", "ZeichneKreis(0;1)", "L\xF6scheBild"}, 0},
      {"a line leaves 40 pixels", {"ZeichneLinie(0;1)"}, 40},
      {"a clipped point leaves none", {"ZeichnePunkt(5+5*i)"}, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    SetDecimalSeparator('.');
    QImageCanvas canvas;
    testing::RecordingMessageBoxes boxes;
    Runtime runtime({canvas, boxes});
    runtime.Project().programs[MainProgram] = row.program;
    for (std::size_t line = 0; line < row.program.size(); ++line) {
      ASSERT_TRUE(runtime.Interp().ExecuteStep(MainProgram));
    }
    EXPECT_EQ(Coloured(canvas).size(), row.coloured);
  }
}

TEST(QImageCanvasTest, ScaleIsDrawnInBlue) {
  SetDecimalSeparator('.');
  QImageCanvas canvas;
  testing::RecordingMessageBoxes boxes;
  Runtime runtime({canvas, boxes});
  runtime.Project().programs[MainProgram] = {"ZeichneSkala"};
  ASSERT_TRUE(runtime.Interp().ExecuteStep(MainProgram));
  const Pixels blue = OfColour(canvas, 0x0000FF);
  EXPECT_EQ(blue, Coloured(canvas));
  // Both axes over the whole picture, and tick marks two pixels to either side.
  for (int p = 0; p < 400; ++p) {
    EXPECT_TRUE(blue.count({200, p}));
    EXPECT_TRUE(blue.count({p, 200}));
  }
  EXPECT_TRUE(blue.count({240, 198}));
  EXPECT_TRUE(blue.count({240, 201}));
  EXPECT_FALSE(blue.count({240, 202}));  // the end pixel of a tick is left out
  EXPECT_TRUE(blue.count({0, 198}));
}

// The plain pixel picture of the browser draws what the window draws: seeded random
// calls, lines and figures reaching far outside, in black, blue and white.
TEST(QImageCanvasTest, PixelCanvasDrawsTheSamePixels) {
  QImageCanvas window;
  PixelCanvas plain;
  std::mt19937 random(1912);
  const auto coordinate = [&random] {
    return random() % 8 == 0 ? static_cast<int>(random()) : static_cast<int>(random() % 500) - 50;
  };
  for (int call = 0; call < 3000; ++call) {
    const int x0 = coordinate(), y0 = coordinate(), x1 = coordinate(), y1 = coordinate();
    const Colour pen = std::array<Colour, 3>{kBlack, kBlue, kWhite}[random() % 3];
    for (Canvas* c : std::initializer_list<Canvas*>{&window, &plain}) {
      switch (call % 6) {
        case 0:
          c->SetPenColour(pen);
          break;
        case 1:
          c->MoveTo(x0, y0);
          c->LineTo(x1, y1);
          break;
        case 2:
          c->SetBrushSolid(x0 % 2 == 0);
          c->Ellipse(x0, y0, x0 + std::abs(x1 % 300), y0 + std::abs(y1 % 300));
          break;
        case 3:
          c->FillRect(x0, y0, x1, y1);
          break;
        default:
          c->SetPixel(x0, y0, kBlack);
          break;
      }
    }
  }
  for (int y = 0; y < window.Height(); ++y) {
    for (int x = 0; x < window.Width(); ++x) {
      ASSERT_EQ(window.Pixel(x, y), plain.Pixel(x, y)) << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace ombrix
