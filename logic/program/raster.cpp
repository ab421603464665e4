#include "logic/program/raster.h"

#include <cmath>

namespace ombrix::raster {

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

}  // namespace ombrix::raster
