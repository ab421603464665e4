#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "logic/complex/fault.h"
#include "logic/program/canvas.h"
#include "logic/program/drawing_state.h"

namespace ombrix {
namespace {

TEST(DrawingState, InitialValues) {
  DrawingState state;
  EXPECT_EQ(state.ReMin(), -5);
  EXPECT_EQ(state.ReMax(), 5);
  EXPECT_EQ(state.ImMin(), -5);
  EXPECT_EQ(state.ImMax(), 5);
  EXPECT_EQ(state.MousePosition(), (TComplex{1, 2}));
  EXPECT_EQ(state.Width(), 400);
  EXPECT_EQ(state.Height(), 400);
  EXPECT_EQ(DrawingState::TickSpacingRe, 1.0);
  EXPECT_EQ(state.DrawColour(), kBlack);
}

TEST(DrawingState, PlaneToPixel) {
  DrawingState state;
  struct Row {
    const char* name;
    std::int32_t actual;
    std::int32_t expected;
  };
  for (const Row& row : {
           Row{"origin x", state.PlaneToPixelX(0), 200},
           Row{"origin y", state.PlaneToPixelY(0), 200},
           Row{"right edge is just outside", state.PlaneToPixelX(5), 400},
           Row{"lower edge", state.PlaneToPixelY(-5), 400},
           Row{"left edge", state.PlaneToPixelX(-5), 0},
           Row{"upper edge", state.PlaneToPixelY(5), 0},
           Row{"left of the picture rounds toward the edge", state.PlaneToPixelX(-5.03), 0},
           Row{"further left", state.PlaneToPixelX(-5.05), -1},
           Row{"length along x", state.LengthToPixelsX(1), 40},
           Row{"length along y", state.LengthToPixelsY(1), -39},
           Row{"39.5 pixels along x", state.LengthToPixelsX(0.9875), 40},
           Row{"39.5 pixels along y", state.LengthToPixelsY(-0.9875), 40},
       }) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.actual, row.expected);
  }
}

TEST(DrawingState, HugeValuesSaturate) {
  DrawingState state;
  const std::int32_t max = std::numeric_limits<std::int32_t>::max();
  const std::int32_t min = std::numeric_limits<std::int32_t>::min();
  EXPECT_EQ(state.PlaneToPixelX(1E300), max);
  EXPECT_EQ(state.PlaneToPixelX(-1E300), min);
  EXPECT_EQ(state.PlaneToPixelY(1E300), min);
  EXPECT_EQ(state.LengthToPixelsX(1.7E308), max);
  EXPECT_EQ(state.LengthToPixelsY(1.7E308), min);
  EXPECT_EQ(state.PlaneToPixelX(53687086.0), 2147483640);
  state.SetScale(-1E-300, 1E-300, -1, 1);
  EXPECT_EQ(state.PlaneToPixelX(1), max);
}

TEST(DrawingState, PixelToPlaneAndMouse) {
  DrawingState state;
  struct Row {
    const char* name;
    int x, y;
    TComplex expected;
  };
  for (const Row& row : {
           Row{"top left", 0, 0, {-5, 5}},
           Row{"bottom right", 400, 400, {5, -5}},
           Row{"centre", 200, 200, {0, 0}},
           Row{"one pixel right of centre", 201, 200, {0.025, 0}},
       }) {
    SCOPED_TRACE(row.name);
    state.SetMousePosition(row.x, row.y);
    EXPECT_DOUBLE_EQ(state.MousePosition().Re, row.expected.Re);
    EXPECT_DOUBLE_EQ(state.MousePosition().Im, row.expected.Im);
  }
  // Stored without the zero cut.
  state.SetScale(-1E-20, 1E-20, -1E-20, 1E-20);
  state.SetMousePosition(300, 100);
  EXPECT_DOUBLE_EQ(state.MousePosition().Re, 5E-21);
  EXPECT_DOUBLE_EQ(state.MousePosition().Im, 5E-21);
}

TEST(DrawingState, ScaleChangesTheMapping) {
  DrawingState state;
  state.SetScale(0, 10, 0, 10);
  EXPECT_EQ(state.PlaneToPixelY(0), 400);
  EXPECT_EQ(state.PlaneToPixelX(0), 0);
  EXPECT_EQ(state.PlaneToPixelX(10), 400);
  EXPECT_EQ(state.ReMax(), 10);
}

TEST(DrawingState, SizeComesFromTheAttachedPicture) {
  DrawingState state;
  BlankCanvas picture(800, 200);
  state.AttachPicture(&picture);
  EXPECT_EQ(state.Width(), 800);
  EXPECT_EQ(state.Height(), 200);
  EXPECT_EQ(state.PlaneToPixelX(0), 400);
  EXPECT_EQ(state.PlaneToPixelY(0), 100);
  EXPECT_EQ(state.PixelToPlaneRe(800), 5);
  state.AttachPicture(nullptr);
  EXPECT_EQ(state.Width(), 400);
}

TEST(DrawingState, EmptyPictureFaultsInsteadOfDividingByZero) {
  DrawingState state;
  BlankCanvas picture(0, 0);
  state.AttachPicture(&picture);
  EXPECT_THROW(state.PixelToPlaneRe(10), Fault);
  EXPECT_EQ(state.PlaneToPixelX(3), 0);  // multiplying by 0 is harmless
}

}  // namespace
}  // namespace ombrix
