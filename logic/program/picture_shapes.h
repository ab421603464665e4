// The drawing record as shapes on the pixel grid, for pictures that stay sharp at any size
// (SVG, PDF, the printer, the clipboard): lines, circles and points keep the pixel
// positions the commands gave them, so that at the picture's own size the shapes cover
// its pixels. Front ends paint the shapes with their own painter; picture_svg.h writes them.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "logic/program/canvas.h"
#include "logic/program/drawing_record.h"

namespace ombrix {

// One figure in picture pixels (x to the right, y down).
struct Shape {
  enum class Kind {
    Rect,     // the area x0, y0 .. x0 + x1, y0 + y1 (x1, y1: width and height)
    Segment,  // the line from (x0, y0) to (x1, y1)
    Ellipse,  // the ellipse in the box x0, y0, width x1, height y1
  };
  Kind kind = Kind::Rect;
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// Consecutive figures of one colour and kind, painted together: outlines with a pen one
// pixel wide (flat ends, mitred corners), or filled areas; a pixel covered twice stays
// covered (non-zero winding).
struct ShapeGroup {
  bool stroke = false;
  Colour colour = kBlack;
  std::vector<Shape> shapes;
};

// More drawing calls than this (a Julia set has 160,000 points) and the picture is given
// as its pixels instead, so that files stay small.
inline constexpr std::size_t kMaxExportShapes = 60000;

// The record's commands as shapes on a picture of `width` x `height` pixels, or nothing
// when they cannot be drawn that way: the record is incomplete, makes more than
// kMaxExportShapes drawing calls, or a figure reaches too far beyond the picture.
std::optional<std::vector<ShapeGroup>> RecordShapes(const DrawingRecord& record, int width,
                                                    int height);

}  // namespace ombrix
