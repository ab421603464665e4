// Which pixels the drawing calls cover, for every picture that keeps pixels (the window's,
// ombrix-cli's, the browser's): the same pixels everywhere. Only the rows and columns
// inside the picture are visited, however far away the figure's corners lie.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>

namespace ombrix::raster {

// The steps t in [0, n) whose coordinate start + sign * t lies in [0, size): first and
// last, empty where first > last.
inline std::pair<std::int64_t, std::int64_t> StepsInside(std::int64_t start, std::int64_t sign,
                                                         std::int64_t n, std::int64_t size) {
  if (sign > 0) return {std::max<std::int64_t>(0, -start), std::min(n - 1, size - 1 - start)};
  return {std::max<std::int64_t>(0, start - (size - 1)), std::min(n - 1, start)};
}

// Calls plot(x, y) for each pixel inside the width x height picture of the line from
// (x0, y0) to (x1, y1), the end pixel left out. Each pixel is computed from its step along
// the longer axis (the other coordinate rounded, halves away from the start).
template <class Plot>
void Line(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, int width, int height,
          Plot&& plot) {
  const std::int64_t dx = x1 - x0, dy = y1 - y0;
  const std::int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  if (adx == 0 && ady == 0) return;
  const bool along_x = adx >= ady;
  const std::int64_t major0 = along_x ? x0 : y0, minor0 = along_x ? y0 : x0;
  const std::int64_t major_sign = (along_x ? dx : dy) < 0 ? -1 : 1;
  const std::int64_t minor_sign = (along_x ? dy : dx) < 0 ? -1 : 1;
  const std::int64_t n = along_x ? adx : ady, m = along_x ? ady : adx;
  const auto [t_first, t_last] = StepsInside(major0, major_sign, n, along_x ? width : height);
  const auto un = static_cast<std::uint64_t>(n);
  for (std::int64_t t = t_first; t <= t_last; ++t) {
    // floor(t m / n + 1/2); t m stays below 2^64 as both lie below 2^32.
    const std::uint64_t tm = static_cast<std::uint64_t>(t) * static_cast<std::uint64_t>(m);
    const std::uint64_t offset = tm / un + (2 * (tm % un) >= un ? 1 : 0);
    const std::int64_t minor = minor0 + minor_sign * static_cast<std::int64_t>(offset);
    const std::int64_t major = major0 + major_sign * t;
    const std::int64_t px = along_x ? major : minor, py = along_x ? minor : major;
    if (px < 0 || py < 0 || px >= width || py >= height) continue;
    plot(static_cast<int>(px), static_cast<int>(py));
  }
}

using Interval = std::pair<std::int64_t, std::int64_t>;  // both ends included

// The pixels of row y whose square reaches into the ellipse with centre (cx, cy) and half
// axes a and b: computed the same way at every call, so drawing a figure again in white
// covers exactly the same pixels.
std::optional<Interval> EllipseRow(std::int64_t y, double cx, double cy, double a, double b);

// Calls span(y, first, last, inside) for the rows inside a picture of `height` rows of the
// ellipse inscribed in the rectangle (left, top) .. (right, bottom), right and bottom
// exclusive: the pixels whose squares reach into it form the figure; those with a
// neighbour (left, right, above, below) outside it are the outline (inside false), the
// rest the inside. Spans are not clipped to the picture's width.
template <class Span>
void Ellipse(int left, int top, int right, int bottom, int height, Span&& span) {
  if (right <= left || bottom <= top) return;
  const double cx = (static_cast<double>(left) + right) / 2;
  const double cy = (static_cast<double>(top) + bottom) / 2;
  const double a = (static_cast<double>(right) - left) / 2;
  const double b = (static_cast<double>(bottom) - top) / 2;
  const std::int64_t y0 = std::max(top, 0);
  const std::int64_t y1 = std::min<std::int64_t>(std::int64_t{bottom} - 1, height - 1);
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
      span(y, first, last, false);
      continue;
    }
    span(y, first, inner_first - 1, false);
    span(y, inner_last + 1, last, false);
    span(y, inner_first, inner_last, true);
  }
}

}  // namespace ombrix::raster
