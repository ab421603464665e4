#include "logic/program/picture_svg.h"

#include <cmath>
#include <cstdint>

namespace ombrix {

namespace {

// A coordinate with at most four decimals (a ten-thousandth of a pixel), the same text on
// every platform.
void AppendNumber(std::string& out, double value) {
  const auto scaled = static_cast<std::int64_t>(std::llround(value * 10000));
  std::uint64_t magnitude =
      scaled < 0 ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
  if (scaled < 0) out += '-';
  out += std::to_string(magnitude / 10000);
  magnitude %= 10000;
  if (magnitude == 0) return;
  std::string decimals = std::to_string(10000 + magnitude).substr(1);
  while (decimals.back() == '0') decimals.pop_back();
  out += '.';
  out += decimals;
}

void AppendPoint(std::string& out, char command, double x, double y) {
  out += command;
  AppendNumber(out, x);
  out += ' ';
  AppendNumber(out, y);
}

std::string ColourText(Colour colour) {
  static const char* const kDigits = "0123456789abcdef";
  std::string text = "#";
  for (int shift = 20; shift >= 0; shift -= 4) text += kDigits[(colour >> shift) & 0xF];
  return text;
}

// Every figure runs clockwise on the screen, so that under the non-zero rule an area
// covered twice stays covered.
void AppendShape(std::string& d, const Shape& shape) {
  switch (shape.kind) {
    case Shape::Kind::Rect:
      AppendPoint(d, 'M', shape.x0, shape.y0);
      d += 'h';
      AppendNumber(d, shape.x1);
      d += 'v';
      AppendNumber(d, shape.y1);
      d += 'h';
      AppendNumber(d, -shape.x1);
      d += 'Z';
      break;
    case Shape::Kind::Segment:
      AppendPoint(d, 'M', shape.x0, shape.y0);
      AppendPoint(d, 'L', shape.x1, shape.y1);
      break;
    case Shape::Kind::Ellipse: {
      const double rx = shape.x1 / 2, ry = shape.y1 / 2;
      const double cx = shape.x0 + rx, cy = shape.y0 + ry;
      std::string radii;
      AppendNumber(radii, rx);
      radii += ' ';
      AppendNumber(radii, ry);
      radii += " 0 1 1 ";
      AppendPoint(d, 'M', cx + rx, cy);
      d += 'A' + radii;
      AppendNumber(d, cx - rx);
      d += ' ';
      AppendNumber(d, cy);
      d += 'A' + radii;
      AppendNumber(d, cx + rx);
      d += ' ';
      AppendNumber(d, cy);
      d += 'Z';
      break;
    }
  }
}

}  // namespace

std::string PictureSvgDocument(int width, int height, const std::vector<ShapeGroup>* shapes,
                               std::string_view image_href) {
  const std::string w = std::to_string(width), h = std::to_string(height);
  std::string svg =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
      "version=\"1.1\" width=\"" +
      w + "\" height=\"" + h + "\" viewBox=\"0 0 " + w + " " + h + "\">\n<title>Ombrix</title>\n";
  if (!image_href.empty()) {
    svg += "<image x=\"0\" y=\"0\" width=\"" + w + "\" height=\"" + h +
           "\" preserveAspectRatio=\"none\" style=\"image-rendering:pixelated\" xlink:href=\"";
    svg += image_href;
    svg += "\"/>\n";
  } else if (shapes != nullptr) {
    svg += "<rect x=\"0\" y=\"0\" width=\"" + w + "\" height=\"" + h + "\" fill=\"#ffffff\"/>\n";
  }
  if (shapes != nullptr) {
    for (const ShapeGroup& group : *shapes) {
      std::string d;
      for (const Shape& shape : group.shapes) AppendShape(d, shape);
      svg += group.stroke
                 ? "<path fill=\"none\" stroke=\"" + ColourText(group.colour) +
                       "\" stroke-width=\"1\" stroke-linecap=\"butt\" "
                       "stroke-linejoin=\"miter\" d=\""
                 : "<path fill=\"" + ColourText(group.colour) + "\" fill-rule=\"nonzero\" d=\"";
      svg += d + "\"/>\n";
    }
  }
  svg += "</svg>\n";
  return svg;
}

}  // namespace ombrix
