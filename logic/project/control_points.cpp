#include "logic/project/control_points.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace ombrix {

namespace {

double Moved(double from, int pixels, double at_zero, double at_one, double edge_low,
             double edge_high) {
  if (pixels == 0) return from;
  const double to = from + (at_one - at_zero) * pixels;
  const double low = std::min(edge_low, edge_high);
  const double high = std::max(edge_low, edge_high);
  return to > from ? std::max(from, std::min(to, high)) : std::min(from, std::max(to, low));
}

}  // namespace

std::optional<HandlePixel> PointHandle(const Control& control, const VariableTable& variables,
                                       const DrawingState& drawing) {
  if (control.kind != ControlKind::Point) return std::nullopt;
  const int j = ControlVariable(variables, control);
  if (j < 0) return std::nullopt;
  const TComplex value = variables.StartValue(j);
  const std::int32_t x = drawing.PlaneToPixelX(value.Re);
  const std::int32_t y = drawing.PlaneToPixelY(value.Im);
  if (std::abs(static_cast<std::int64_t>(x)) > kHandleReach ||
      std::abs(static_cast<std::int64_t>(y)) > kHandleReach) {
    return std::nullopt;
  }
  return HandlePixel{x, y};
}

TComplex DraggedValue(TComplex from, int dx, int dy, const DrawingState& drawing) {
  const DrawingState& d = drawing;
  const int right = std::max(0, d.Width() - 1);
  const int bottom = std::max(0, d.Height() - 1);
  return MakeComplex(Moved(from.Re, dx, d.PixelToPlaneRe(0), d.PixelToPlaneRe(1),
                           d.PixelToPlaneRe(0), d.PixelToPlaneRe(right)),
                     Moved(from.Im, dy, d.PixelToPlaneIm(0), d.PixelToPlaneIm(1),
                           d.PixelToPlaneIm(0), d.PixelToPlaneIm(bottom)));
}

}  // namespace ombrix
