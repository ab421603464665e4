// The picture as plain pixels, drawn as the window's picture is drawn (raster.h): for
// front ends without Qt, the browser's among them.
#pragma once

#include <cstdint>
#include <vector>

#include "logic/program/canvas.h"

namespace ombrix {

class PixelCanvas final : public Canvas {
 public:
  explicit PixelCanvas(int width = 400, int height = 400);  // white

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void SetPixel(int x, int y, Colour colour) override;
  void SetPenColour(Colour colour) override { pen_ = colour; }
  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void SetBrushSolid(bool solid) override { brush_solid_ = solid; }
  void FillRect(int left, int top, int right, int bottom) override;
  void Ellipse(int left, int top, int right, int bottom) override;
  bool CanReadBack() const override { return true; }
  Colour Pixel(int x, int y) const override;

  // Row by row from the top, 0xRRGGBB each.
  const std::vector<Colour>& Pixels() const { return pixels_; }
  // Takes over a loaded picture of that size (`pixels` row by row, as Pixels gives them;
  // missing ones white).
  void Replace(int width, int height, std::vector<Colour> pixels);
  // Raised by every call that may change a pixel: a front end repaints when it moved.
  std::uint64_t Changes() const { return changes_; }

 private:
  // Pixels x0 .. x1 (both included) of row y, clipped to the picture.
  void Span(std::int64_t y, std::int64_t x0, std::int64_t x1, Colour colour);

  int width_;
  int height_;
  std::vector<Colour> pixels_;
  Colour pen_ = kBlack;
  bool brush_solid_ = true;
  int pen_x_ = 0;
  int pen_y_ = 0;
  std::uint64_t changes_ = 0;
};

}  // namespace ombrix
