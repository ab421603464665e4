#include "logic/program/picture_shapes.h"

#include <algorithm>
#include <cmath>

namespace ombrix {

namespace {

// Shapes this far beyond the picture (in pixels) make the export fall back to pixels:
// viewers draw coordinates in the millions badly or not at all.
constexpr double kReach = 32768;

struct Point {
  double x = 0, y = 0;
};

// Cuts the segment p .. q to the box (Liang and Barsky); false when nothing is left.
bool ClipSegment(Point& p, Point& q, double left, double top, double right, double bottom) {
  const double dx = q.x - p.x, dy = q.y - p.y;
  double t0 = 0, t1 = 1;
  const double edges[4][2] = {
      {-dx, p.x - left}, {dx, right - p.x}, {-dy, p.y - top}, {dy, bottom - p.y}};
  for (const auto& [step, room] : edges) {
    if (step == 0) {
      if (room < 0) return false;
      continue;
    }
    const double t = room / step;
    if (step < 0) {
      t0 = std::max(t0, t);
    } else {
      t1 = std::min(t1, t);
    }
    if (t0 > t1) return false;
  }
  const Point start = p;
  p = {start.x + dx * t0, start.y + dy * t0};
  q = {start.x + dx * t1, start.y + dy * t1};
  return true;
}

// Takes the canvas calls of a replay and turns them into shapes on the pixel grid: a
// pixel is its square, a line runs through the centres of the pixels it covers and ends
// where its end pixel begins, an ellipse's outline runs through its outermost pixels.
class ShapeCanvas final : public Canvas {
 public:
  ShapeCanvas(int width, int height) : width_(width), height_(height) {}

  bool TooFar() const { return too_far_; }
  std::vector<ShapeGroup>& Groups() { return groups_; }

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void SetPixel(int x, int y, Colour colour) override {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    Add(false, colour, {Shape::Kind::Rect, double(x), double(y), 1, 1});
  }
  void SetPenColour(Colour colour) override { pen_ = colour; }
  void MoveTo(int x, int y) override {
    pen_x_ = x;
    pen_y_ = y;
  }
  void LineTo(int x, int y) override;
  void SetBrushSolid(bool solid) override { brush_solid_ = solid; }
  void FillRect(int left, int top, int right, int bottom) override {
    if (!brush_solid_) return;
    const double l = std::max(0, std::min(left, right));
    const double r = std::min(width_, std::max(left, right));
    const double t = std::max(0, std::min(top, bottom));
    const double b = std::min(height_, std::max(top, bottom));
    if (l < r && t < b) Add(false, kWhite, {Shape::Kind::Rect, l, t, r - l, b - t});
  }
  void Ellipse(int left, int top, int right, int bottom) override;

 private:
  void Add(bool stroke, Colour colour, const Shape& shape) {
    if (groups_.empty() || groups_.back().stroke != stroke || groups_.back().colour != colour) {
      groups_.push_back({stroke, colour, {}});
    }
    groups_.back().shapes.push_back(shape);
  }

  int width_;
  int height_;
  Colour pen_ = kBlack;
  bool brush_solid_ = true;
  int pen_x_ = 0;
  int pen_y_ = 0;
  bool too_far_ = false;
  std::vector<ShapeGroup> groups_;
};

void ShapeCanvas::LineTo(int x, int y) {
  const double x0 = pen_x_, y0 = pen_y_;
  pen_x_ = x;
  pen_y_ = y;
  const double dx = x - x0, dy = y - y0;
  const double steps = std::max(std::fabs(dx), std::fabs(dy));
  if (steps == 0) return;
  // Half a step back along the line: the first pixel is covered whole, the end pixel not.
  const double back_x = 0.5 * dx / steps, back_y = 0.5 * dy / steps;
  Point p{x0 + 0.5 - back_x, y0 + 0.5 - back_y};
  Point q{x + 0.5 - back_x, y + 0.5 - back_y};
  if (!ClipSegment(p, q, -1, -1, width_ + 1, height_ + 1)) return;
  Add(true, pen_, {Shape::Kind::Segment, p.x, p.y, q.x, q.y});
}

void ShapeCanvas::Ellipse(int left, int top, int right, int bottom) {
  if (right <= left || bottom <= top) return;
  const double l = left, t = top, r = right, b = bottom;
  if (r <= 0 || l >= width_ || b <= 0 || t >= height_) return;
  // An outline wholly around the picture leaves nothing of itself on it.
  const double cx = (l + r) / 2, cy = (t + b) / 2, a = (r - l) / 2 - 1, c = (b - t) / 2 - 1;
  if (a > 0 && c > 0) {
    bool around = true;
    for (const double px : {-1.0, width_ + 1.0}) {
      for (const double py : {-1.0, height_ + 1.0}) {
        const double u = (px - cx) / a, v = (py - cy) / c;
        around = around && u * u + v * v < 1;
      }
    }
    if (around) {
      if (brush_solid_)
        Add(false, kWhite, {Shape::Kind::Rect, 0, 0, double(width_), double(height_)});
      return;
    }
  }
  if (l < -kReach || t < -kReach || r > width_ + kReach || b > height_ + kReach) {
    too_far_ = true;
    return;
  }
  // The outline pixels lie half a pixel inside the rectangle where the figure meets its
  // edges and reach beyond that between them: a quarter pixel in keeps the shape closest.
  const Shape through_outer_pixels{Shape::Kind::Ellipse, l + 0.25, t + 0.25, r - l - 0.5,
                                   b - t - 0.5};
  if (brush_solid_) Add(false, kWhite, through_outer_pixels);
  Add(true, pen_, through_outer_pixels);
}

}  // namespace

std::optional<std::vector<ShapeGroup>> RecordShapes(const DrawingRecord& record, int width,
                                                    int height) {
  if (!record.Complete()) return std::nullopt;
  ShapeCanvas shapes(width, height);
  if (!record.Replay(shapes, kMaxExportShapes) || shapes.TooFar()) return std::nullopt;
  return std::move(shapes.Groups());
}

}  // namespace ombrix
