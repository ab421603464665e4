#include "platform/qimage_canvas.h"

#include <algorithm>

#include "logic/program/raster.h"

namespace ombrix {

namespace {

constexpr QRgb ToRgb(Colour colour) { return 0xFF000000u | (colour & 0xFFFFFFu); }

}  // namespace

QImageCanvas::QImageCanvas(int width, int height)
    : image_(std::max(width, 0), std::max(height, 0), QImage::Format_RGB32) {
  image_.fill(ToRgb(kWhite));
}

void QImageCanvas::SetImage(const QImage& image) {
  image_ = image.convertToFormat(QImage::Format_RGB32);
}

int QImageCanvas::Width() const { return image_.width(); }
int QImageCanvas::Height() const { return image_.height(); }

Colour QImageCanvas::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return kWhite;
  return reinterpret_cast<const QRgb*>(image_.constScanLine(y))[x] & 0xFFFFFFu;
}

void QImageCanvas::SetPixel(int x, int y, Colour colour) {
  if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return;
  reinterpret_cast<QRgb*>(image_.scanLine(y))[x] = ToRgb(colour);
}

void QImageCanvas::SetPenColour(Colour colour) { pen_ = colour; }

void QImageCanvas::MoveTo(int x, int y) {
  pen_x_ = x;
  pen_y_ = y;
}

void QImageCanvas::LineTo(int x, int y) {
  const int x0 = pen_x_, y0 = pen_y_;
  pen_x_ = x;
  pen_y_ = y;
  raster::Line(x0, y0, x, y, image_.width(), image_.height(),
               [this](int px, int py) { SetPixel(px, py, pen_); });
}

void QImageCanvas::SetBrushSolid(bool solid) { brush_solid_ = solid; }

void QImageCanvas::Span(std::int64_t y, std::int64_t x0, std::int64_t x1, Colour colour) {
  if (y < 0 || y >= image_.height()) return;
  x0 = std::max<std::int64_t>(x0, 0);
  x1 = std::min<std::int64_t>(x1, image_.width() - 1);
  if (x0 > x1) return;
  QRgb* row = reinterpret_cast<QRgb*>(image_.scanLine(static_cast<int>(y)));
  std::fill(row + x0, row + x1 + 1, ToRgb(colour));
}

void QImageCanvas::FillRect(int left, int top, int right, int bottom) {
  // A hollow brush fills nothing; the brush colour is always white.
  if (!brush_solid_) return;
  const std::int64_t y0 = std::max(top, 0);
  const std::int64_t y1 = std::min(bottom, image_.height());
  for (std::int64_t y = y0; y < y1; ++y) Span(y, left, std::int64_t{right} - 1, kWhite);
}

// The outline with the pen, the inside with the white brush when it is solid.
void QImageCanvas::Ellipse(int left, int top, int right, int bottom) {
  raster::Ellipse(left, top, right, bottom, image_.height(),
                  [this](std::int64_t y, std::int64_t first, std::int64_t last, bool inside) {
                    if (!inside) {
                      Span(y, first, last, pen_);
                    } else if (brush_solid_) {
                      Span(y, first, last, kWhite);
                    }
                  });
}

}  // namespace ombrix
