#include "platform/qimage_canvas.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

namespace ombrix {

namespace {

constexpr QRgb ToRgb(Colour colour) { return 0xFF000000u | (colour & 0xFFFFFFu); }

using Interval = std::pair<std::int64_t, std::int64_t>;  // both ends included

// The pixels of row y whose square reaches into the ellipse inscribed in the rectangle
// (left, top) .. (right, bottom), right and bottom exclusive: the figure touches all four
// edges of the rectangle and never leaves it. Computed the same way at every call, so
// drawing a figure again in white covers exactly the same pixels.
std::optional<Interval> EllipseRow(std::int64_t y, double cx, double cy, double a, double b) {
  const double dy = std::max(0.0, std::fabs(static_cast<double>(y) + 0.5 - cy) - 0.5);
  const double v = dy / b;
  if (!(v < 1)) return std::nullopt;
  const double w = a * std::sqrt(1 - v * v);
  // Pixel x is in when its nearest point lies closer than w to the centre column.
  const double first = std::floor(cx - w - 1) + 1;
  const double last = std::ceil(cx + w) - 1;
  if (first > last) return std::nullopt;
  return Interval{static_cast<std::int64_t>(first), static_cast<std::int64_t>(last)};
}

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

// Each pixel of the line is computed from its step along the longer axis (the other
// coordinate rounded, halves away from the start), so only the steps that fall inside
// the picture are visited, however far away the ends lie. The end pixel is left out.
void QImageCanvas::LineTo(int x, int y) {
  const std::int64_t x0 = pen_x_, y0 = pen_y_;
  pen_x_ = x;
  pen_y_ = y;
  const std::int64_t dx = std::int64_t{x} - x0, dy = std::int64_t{y} - y0;
  const std::int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  if (adx == 0 && ady == 0) return;
  const bool along_x = adx >= ady;
  const std::int64_t major0 = along_x ? x0 : y0, minor0 = along_x ? y0 : x0;
  const std::int64_t major_sign = (along_x ? dx : dy) < 0 ? -1 : 1;
  const std::int64_t minor_sign = (along_x ? dy : dx) < 0 ? -1 : 1;
  const std::int64_t n = along_x ? adx : ady, m = along_x ? ady : adx;
  const std::int64_t major_size = along_x ? image_.width() : image_.height();
  // Steps t in [0, n) whose major coordinate major0 + majorSign * t lies in [0, majorSize).
  std::int64_t t_first = 0, t_last = n - 1;
  if (major_sign > 0) {
    t_first = std::max(t_first, -major0);
    t_last = std::min(t_last, major_size - 1 - major0);
  } else {
    t_first = std::max(t_first, major0 - (major_size - 1));
    t_last = std::min(t_last, major0);
  }
  for (std::int64_t t = t_first; t <= t_last; ++t) {
    const __int128 offset = (__int128{2} * t * m + n) / (__int128{2} * n);
    const std::int64_t minor = minor0 + minor_sign * static_cast<std::int64_t>(offset);
    const std::int64_t major = major0 + major_sign * t;
    const std::int64_t px = along_x ? major : minor, py = along_x ? minor : major;
    if (px < 0 || py < 0 || px >= image_.width() || py >= image_.height()) continue;
    SetPixel(static_cast<int>(px), static_cast<int>(py), pen_);
  }
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

// The pixels whose squares reach into the inscribed ellipse form the figure; those of
// them with a neighbour (left, right, above, below) outside it are the outline, drawn
// with the pen, and the rest is filled with the white brush when it is solid. Only the
// rows of the picture are visited.
void QImageCanvas::Ellipse(int left, int top, int right, int bottom) {
  if (right <= left || bottom <= top) return;
  const double cx = (static_cast<double>(left) + right) / 2;
  const double cy = (static_cast<double>(top) + bottom) / 2;
  const double a = (static_cast<double>(right) - left) / 2;
  const double b = (static_cast<double>(bottom) - top) / 2;
  const std::int64_t y0 = std::max(top, 0);
  const std::int64_t y1 = std::min<std::int64_t>(std::int64_t{bottom} - 1, image_.height() - 1);
  for (std::int64_t y = y0; y <= y1; ++y) {
    const auto row = EllipseRow(y, cx, cy, a, b);
    if (!row) continue;
    const auto above = EllipseRow(y - 1, cx, cy, a, b);
    const auto below = EllipseRow(y + 1, cx, cy, a, b);
    const auto [first, last] = *row;
    std::int64_t inner_first = first + 1, inner_last = last - 1;
    if (above && below) {
      inner_first = std::max({inner_first, above->first, below->first});
      inner_last = std::min({inner_last, above->second, below->second});
    } else {
      inner_first = last + 1;  // a top or bottom row is outline throughout
      inner_last = last;
    }
    if (inner_first > inner_last) {
      Span(y, first, last, pen_);
      continue;
    }
    Span(y, first, inner_first - 1, pen_);
    Span(y, inner_last + 1, last, pen_);
    if (brush_solid_) Span(y, inner_first, inner_last, kWhite);
  }
}

}  // namespace ombrix
