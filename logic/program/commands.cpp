#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "logic/complex/table_order.h"
#include "logic/program/colour.h"
#include "logic/program/interpreter.h"

namespace ombrix {

namespace {

struct CommandRow {
  Command id;
  const char* word;
  int arguments;  // read from the line; text after them is ignored
};

constexpr std::array<CommandRow, kCommandCount> kCommands = {{
    {Command::SetzeSkala, "SetzeSkala", 4},
    {Command::LoescheBild, "L\xF6scheBild", 0},
    {Command::SetzeFarbe, "SetzeFarbe", 1},
    {Command::ZeichnePunkt, "ZeichnePunkt", 1},
    {Command::LoeschePunkt, "L\xF6schePunkt", 1},
    {Command::ZeichneLinie, "ZeichneLinie", 2},
    {Command::LoescheLinie, "L\xF6scheLinie", 2},
    {Command::ZeichneKreis, "ZeichneKreis", 2},
    {Command::LoescheKreis, "L\xF6scheKreis", 2},
    {Command::ZeichneSkala, "ZeichneSkala", 0},
}};
static_assert(InEnumOrder(kCommands));

// Past this many ticks on one axis only the ticks that land on a pixel of the picture
// are drawn, one per pixel.
constexpr double kMaxTicks = 10000;

// Pixel sums such as a centre minus a radius, kept inside the canvas's int range.
int Clamp(std::int64_t v) {
  return static_cast<int>(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
}

// Every integer from truncate(low) to truncate(high), mapped to its pixel by `to_pixel`;
// `draw` gets each pixel. A range too wide for a plain loop (or beyond 32 bits) visits
// each pixel row or column of the picture once instead and draws the tick of an integer
// in range that lands there, if there is one.
template <class ToPixel, class PixelCentre, class Draw>
void DrawTicks(double low, double high, int size, ToPixel to_pixel, PixelCentre centre, Draw draw) {
  const double first = std::trunc(low);
  const double last = std::trunc(high);
  constexpr double kMin = std::numeric_limits<std::int32_t>::min();
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  if (last - first + 1 <= kMaxTicks && first >= kMin && last <= kMax) {
    for (auto i = static_cast<std::int64_t>(first); i <= static_cast<std::int64_t>(last); ++i) {
      draw(to_pixel(static_cast<double>(i)));
    }
    return;
  }
  for (int p = 0; p < size; ++p) {
    const double c = centre(p);
    if (!std::isfinite(c)) continue;
    const double nearest = std::clamp(std::nearbyint(c), first, last);
    for (const double candidate : {nearest, nearest - 1, nearest + 1}) {
      if (candidate < first || candidate > last) continue;
      if (to_pixel(candidate) == p) {
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

const std::array<const char*, kCommandCount> CommandWords =
    TableColumn(kCommands, &CommandRow::word);

int CommandArgumentCount(int number) {
  if (number < 0 || number >= kCommandCount) return 0;
  return kCommands[static_cast<std::size_t>(number)].arguments;
}

std::optional<ErrorCode> PerformCommand(int number, const TComplex* a, DrawingState& drawing,
                                        Canvas& canvas) {
  const auto command = static_cast<Command>(number);
  switch (command) {
    case Command::SetzeSkala:
      if (a[0].Re >= a[1].Re || a[2].Re >= a[3].Re) return ErrorCode::BadFunctionArgument;
      if (!IsRealValue(a[0]) || !IsRealValue(a[1]) || !IsRealValue(a[2]) || !IsRealValue(a[3])) {
        return ErrorCode::BadFunctionArgument;
      }
      // Values never reach here as NaN or infinity; refuse them all the same rather than
      // leave a scale the mapping cannot use.
      if (!std::isfinite(a[0].Re) || !std::isfinite(a[1].Re) || !std::isfinite(a[2].Re) ||
          !std::isfinite(a[3].Re)) {
        return ErrorCode::BadFunctionArgument;
      }
      drawing.SetScale(a[0].Re, a[1].Re, a[2].Re, a[3].Re);
      return std::nullopt;
    case Command::LoescheBild:
      canvas.SetBrushSolid(true);
      canvas.FillRect(0, 0, canvas.Width(), canvas.Height());
      return std::nullopt;
    case Command::SetzeFarbe:
      // The pen takes the colour as well, so that a trace of the canvas shows it.
      drawing.SetDrawColour(ComplexColour(a[0]));
      canvas.SetPenColour(drawing.DrawColour());
      return std::nullopt;
    case Command::ZeichnePunkt:
    case Command::LoeschePunkt:
      canvas.SetPixel(drawing.PlaneToPixelX(a[0].Re), drawing.PlaneToPixelY(a[0].Im),
                      command == Command::ZeichnePunkt ? drawing.DrawColour() : kWhite);
      return std::nullopt;
    case Command::ZeichneLinie:
    case Command::LoescheLinie:
      canvas.SetPenColour(command == Command::ZeichneLinie ? drawing.DrawColour() : kWhite);
      canvas.MoveTo(drawing.PlaneToPixelX(a[0].Re), drawing.PlaneToPixelY(a[0].Im));
      canvas.LineTo(drawing.PlaneToPixelX(a[1].Re), drawing.PlaneToPixelY(a[1].Im));
      return std::nullopt;
    case Command::ZeichneKreis:
    case Command::LoescheKreis:
      DrawCircle(a, command == Command::ZeichneKreis ? drawing.DrawColour() : kWhite, drawing,
                 canvas);
      return std::nullopt;
    case Command::ZeichneSkala:
      DrawScale(drawing, canvas);
      return std::nullopt;
    default:
      // Unknown numbers: the interpreter never passes them.
      return ErrorCode::UnknownCommand;
  }
}

}  // namespace ombrix
