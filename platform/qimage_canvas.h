// The picture as a QImage (RGB32), drawn without antialiasing with the conventions of
// the Canvas interface. Shared by the window and the command-line tool.
#pragma once

#include <QImage>
#include <cstdint>

#include "logic/program/canvas.h"

namespace ombrix {

class QImageCanvas final : public Canvas {
 public:
  explicit QImageCanvas(int width = 400, int height = 400);  // white

  const QImage& Image() const { return image_; }
  // Takes over a loaded picture (converted to RGB32); pen and brush stay as they are.
  void SetImage(const QImage& image);

  int Width() const override;
  int Height() const override;
  void SetPixel(int x, int y, Colour colour) override;
  void SetPenColour(Colour colour) override;
  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void SetBrushSolid(bool solid) override;
  void FillRect(int left, int top, int right, int bottom) override;
  void Ellipse(int left, int top, int right, int bottom) override;
  bool CanReadBack() const override { return true; }
  Colour Pixel(int x, int y) const override;

 private:
  // Pixels x0 .. x1 (both included) of row y, clipped to the picture.
  void Span(std::int64_t y, std::int64_t x0, std::int64_t x1, Colour colour);

  QImage image_;
  Colour pen_ = kBlack;
  bool brush_solid_ = true;
  int pen_x_ = 0;
  int pen_y_ = 0;
};

}  // namespace ombrix
