#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "logic/program/interpreter.h"

namespace ombrix {

const std::array<const char*, kCommandCount> CommandWords = {
    "SetzeSkala",   "L\xF6scheBild",  "SetzeFarbe",   "ZeichnePunkt",   "L\xF6schePunkt",
    "ZeichneLinie", "L\xF6scheLinie", "ZeichneKreis", "L\xF6scheKreis", "ZeichneSkala"};

namespace {

enum Command {
  kSetzeSkala = 0,
  kLoescheBild = 1,
  kZeichnePunkt = 3,
  kLoeschePunkt = 4,
  kZeichneLinie = 5,
  kLoescheLinie = 6,
  kZeichneKreis = 7,
  kLoescheKreis = 8,
  kZeichneSkala = 9,
};

// Past this many ticks on one axis only the ticks that land on a pixel of the picture
// are drawn, one per pixel.
constexpr double kMaxTicks = 10000;

// Pixel sums such as a centre minus a radius, kept inside the canvas's int range.
int Clamp(std::int64_t v) {
  return static_cast<int>(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
}

// Every integer from truncate(low) to truncate(high), mapped to its pixel by `toPixel`;
// `draw` gets each pixel. A range too wide for a plain loop (or beyond 32 bits) visits
// each pixel row or column of the picture once instead and draws the tick of an integer
// in range that lands there, if there is one.
template <class ToPixel, class PixelCentre, class Draw>
void DrawTicks(double low, double high, int size, ToPixel toPixel, PixelCentre centre, Draw draw) {
  const double first = std::trunc(low);
  const double last = std::trunc(high);
  constexpr double kMin = std::numeric_limits<std::int32_t>::min();
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  if (last - first + 1 <= kMaxTicks && first >= kMin && last <= kMax) {
    for (auto i = static_cast<std::int64_t>(first); i <= static_cast<std::int64_t>(last); ++i) {
      draw(toPixel(static_cast<double>(i)));
    }
    return;
  }
  for (int p = 0; p < size; ++p) {
    const double c = centre(p);
    if (!std::isfinite(c)) continue;
    const double nearest = std::clamp(std::nearbyint(c), first, last);
    for (const double candidate : {nearest, nearest - 1, nearest + 1}) {
      if (candidate < first || candidate > last) continue;
      if (toPixel(candidate) == p) {
        draw(p);
        break;
      }
    }
  }
}

void DrawScale(const DrawingState& drawing, Canvas& canvas) {
  const int w = canvas.Width();
  const int h = canvas.Height();
  const std::int32_t x0 = drawing.PlaneToPixelX(0);
  const std::int32_t y0 = drawing.PlaneToPixelY(0);
  canvas.SetPenColour(kBlue);
  if (x0 >= 0 && x0 < w) {
    canvas.MoveTo(x0, 0);
    canvas.LineTo(x0, h);
  }
  if (y0 >= 0 && y0 < h) {
    canvas.MoveTo(0, y0);
    canvas.LineTo(w, y0);
  }
  const double re = DrawingState::TickSpacingRe;
  const double im = DrawingState::TickSpacingIm;
  DrawTicks(
      drawing.ReMin() / re, drawing.ReMax() / re, w,
      [&](double i) { return drawing.PlaneToPixelX(i * re); },
      [&](int x) { return drawing.PixelToPlaneRe(x) / re; },
      [&](int x) {
        canvas.MoveTo(x, Clamp(std::int64_t{y0} - 2));
        canvas.LineTo(x, Clamp(std::int64_t{y0} + 2));
      });
  DrawTicks(
      drawing.ImMin() / im, drawing.ImMax() / im, h,
      [&](double j) { return drawing.PlaneToPixelY(j * im); },
      [&](int y) { return drawing.PixelToPlaneIm(y) / im; },
      [&](int y) {
        canvas.MoveTo(Clamp(std::int64_t{x0} - 2), y);
        canvas.LineTo(Clamp(std::int64_t{x0} + 2), y);
      });
}

void DrawCircle(const TComplex* a, Colour colour, const DrawingState& drawing, Canvas& canvas) {
  const std::int64_t cx = drawing.PlaneToPixelX(a[0].Re);
  const std::int64_t cy = drawing.PlaneToPixelY(a[0].Im);
  const double r = ComplexAbs(a[1]);
  // The radii are rounded separately, so a circle may come out one pixel flatter.
  const std::int64_t rx = std::llabs(drawing.LengthToPixelsX(r));
  const std::int64_t ry = std::llabs(drawing.LengthToPixelsY(r));
  canvas.SetBrushSolid(false);
  canvas.SetPenColour(colour);
  canvas.Ellipse(Clamp(cx - rx), Clamp(cy - ry), Clamp(cx + rx), Clamp(cy + ry));
}

}  // namespace

int CommandArgumentCount(int number) {
  switch (number) {
    case kSetzeSkala:
      return 4;
    case kZeichnePunkt:
    case kLoeschePunkt:
      return 1;
    case kZeichneLinie:
    case kLoescheLinie:
    case kZeichneKreis:
    case kLoescheKreis:
      return 2;
    default:
      return 0;
  }
}

std::string PerformCommand(int number, const TComplex* a, DrawingState& drawing, Canvas& canvas) {
  switch (number) {
    case kSetzeSkala:
      if (a[0].Re >= a[1].Re || a[2].Re >= a[3].Re) return "?7";
      if (!IsRealValue(a[0]) || !IsRealValue(a[1]) || !IsRealValue(a[2]) || !IsRealValue(a[3])) {
        return "?7";
      }
      // Values never reach here as NaN or infinity; refuse them all the same rather than
      // leave a scale the mapping cannot use.
      if (!std::isfinite(a[0].Re) || !std::isfinite(a[1].Re) || !std::isfinite(a[2].Re) ||
          !std::isfinite(a[3].Re)) {
        return "?7";
      }
      drawing.SetScale(a[0].Re, a[1].Re, a[2].Re, a[3].Re);
      return "";
    case kLoescheBild:
      canvas.SetBrushSolid(true);
      canvas.FillRect(0, 0, canvas.Width(), canvas.Height());
      return "";
    case kZeichnePunkt:
    case kLoeschePunkt:
      canvas.SetPixel(drawing.PlaneToPixelX(a[0].Re), drawing.PlaneToPixelY(a[0].Im),
                      number == kZeichnePunkt ? DrawingState::DrawColour : kWhite);
      return "";
    case kZeichneLinie:
    case kLoescheLinie:
      canvas.SetPenColour(number == kZeichneLinie ? DrawingState::DrawColour : kWhite);
      canvas.MoveTo(drawing.PlaneToPixelX(a[0].Re), drawing.PlaneToPixelY(a[0].Im));
      canvas.LineTo(drawing.PlaneToPixelX(a[1].Re), drawing.PlaneToPixelY(a[1].Im));
      return "";
    case kZeichneKreis:
    case kLoescheKreis:
      DrawCircle(a, number == kZeichneKreis ? DrawingState::DrawColour : kWhite, drawing, canvas);
      return "";
    case kZeichneSkala:
      DrawScale(drawing, canvas);
      return "";
    default:
      // "SetzeFarbe" and unknown numbers: the interpreter never passes them.
      return "?9";
  }
}

}  // namespace ombrix
