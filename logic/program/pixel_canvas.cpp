#include "logic/program/pixel_canvas.h"

#include <algorithm>
#include <utility>

#include "logic/program/raster.h"

namespace ombrix {

PixelCanvas::PixelCanvas(int width, int height)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), kWhite) {}

void PixelCanvas::Replace(int width, int height, std::vector<Colour> pixels) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  pixels_ = std::move(pixels);
  pixels_.resize(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), kWhite);
  ++changes_;
}

Colour PixelCanvas::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return kWhite;
  return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                 static_cast<std::size_t>(x)];
}

void PixelCanvas::SetPixel(int x, int y, Colour colour) { Span(y, x, x, colour); }

void PixelCanvas::MoveTo(int x, int y) {
  pen_x_ = x;
  pen_y_ = y;
}

void PixelCanvas::LineTo(int x, int y) {
  const int x0 = pen_x_, y0 = pen_y_;
  pen_x_ = x;
  pen_y_ = y;
  raster::Line(x0, y0, x, y, width_, height_, [this](int px, int py) { Span(py, px, px, pen_); });
}

void PixelCanvas::Span(std::int64_t y, std::int64_t x0, std::int64_t x1, Colour colour) {
  if (y < 0 || y >= height_) return;
  x0 = std::max<std::int64_t>(x0, 0);
  x1 = std::min<std::int64_t>(x1, width_ - 1);
  if (x0 > x1) return;
  Colour* const row = pixels_.data() + static_cast<std::size_t>(y * width_);
  std::fill(row + static_cast<std::size_t>(x0), row + static_cast<std::size_t>(x1) + 1,
            colour & 0xFFFFFFu);
  ++changes_;
}

void PixelCanvas::FillRect(int left, int top, int right, int bottom) {
  // A hollow brush fills nothing; the brush colour is always white.
  if (!brush_solid_) return;
  const std::int64_t y0 = std::max(top, 0);
  const std::int64_t y1 = std::min(bottom, height_);
  for (std::int64_t y = y0; y < y1; ++y) Span(y, left, std::int64_t{right} - 1, kWhite);
}

void PixelCanvas::Ellipse(int left, int top, int right, int bottom) {
  raster::Ellipse(left, top, right, bottom, height_,
                  [this](std::int64_t y, std::int64_t first, std::int64_t last, bool inside) {
                    if (!inside) {
                      Span(y, first, last, pen_);
                    } else if (brush_solid_) {
                      Span(y, first, last, kWhite);
                    }
                  });
}

}  // namespace ombrix
