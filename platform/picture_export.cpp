#include "platform/picture_export.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/picture_files.h"
#include "platform/qt_text.h"

namespace ombrix {

namespace {

// Shapes this far beyond the picture (in pixels) make the export fall back to pixels:
// viewers draw coordinates in the millions badly or not at all.
constexpr double kReach = 32768;
constexpr double kPointsPerPixel = 0.75;  // 96 pixels to the inch

QColor ToQColor(Colour colour) { return QColor::fromRgb(0xFF000000u | (colour & 0xFFFFFFu)); }

// Consecutive shapes of one colour and kind, painted as one path.
struct Group {
  bool stroke = false;  // outlines with a pen one pixel wide, or filled areas
  Colour colour = kBlack;
  QPainterPath path;
};

// Takes the canvas calls of a replay and turns them into shapes on the pixel grid: a
// pixel is its square, a line runs through the centres of the pixels it covers and ends
// where its end pixel begins, an ellipse's outline runs through its outermost pixels.
class ShapeCanvas final : public Canvas {
 public:
  ShapeCanvas(int width, int height) : width_(width), height_(height) {}

  bool TooFar() const { return too_far_; }
  const std::vector<Group>& Groups() const { return groups_; }

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void SetPixel(int x, int y, Colour colour) override {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    PathFor(false, colour).addRect(QRectF(x, y, 1, 1));
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
    const QRectF area = QRectF(QPointF(left, top), QPointF(right, bottom)) & Frame();
    if (!area.isEmpty()) PathFor(false, kWhite).addRect(area);
  }
  void Ellipse(int left, int top, int right, int bottom) override;

 private:
  QRectF Frame() const { return QRectF(0, 0, width_, height_); }
  QPainterPath& PathFor(bool stroke, Colour colour) {
    if (groups_.empty() || groups_.back().stroke != stroke || groups_.back().colour != colour) {
      groups_.push_back({stroke, colour, QPainterPath()});
      groups_.back().path.setFillRule(Qt::WindingFill);  // a pixel set twice stays set
    }
    return groups_.back().path;
  }

  int width_;
  int height_;
  Colour pen_ = kBlack;
  bool brush_solid_ = true;
  int pen_x_ = 0;
  int pen_y_ = 0;
  bool too_far_ = false;
  std::vector<Group> groups_;
};

// Cuts the segment p .. q to `box` (Liang and Barsky); false when nothing is left.
bool ClipSegment(QPointF& p, QPointF& q, const QRectF& box) {
  const double dx = q.x() - p.x(), dy = q.y() - p.y();
  double t0 = 0, t1 = 1;
  const double edges[4][2] = {{-dx, p.x() - box.left()},
                              {dx, box.right() - p.x()},
                              {-dy, p.y() - box.top()},
                              {dy, box.bottom() - p.y()}};
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
  const QPointF start = p;
  p = start + QPointF(dx, dy) * t0;
  q = start + QPointF(dx, dy) * t1;
  return true;
}

void ShapeCanvas::LineTo(int x, int y) {
  const double x0 = pen_x_, y0 = pen_y_;
  pen_x_ = x;
  pen_y_ = y;
  const double dx = x - x0, dy = y - y0;
  const double steps = std::max(std::fabs(dx), std::fabs(dy));
  if (steps == 0) return;
  // Half a step back along the line: the first pixel is covered whole, the end pixel not.
  const QPointF back(0.5 * dx / steps, 0.5 * dy / steps);
  QPointF p = QPointF(x0 + 0.5, y0 + 0.5) - back;
  QPointF q = QPointF(x + 0.5, y + 0.5) - back;
  if (!ClipSegment(p, q, Frame().adjusted(-1, -1, 1, 1))) return;
  QPainterPath& path = PathFor(true, pen_);
  path.moveTo(p);
  path.lineTo(q);
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
      if (brush_solid_) PathFor(false, kWhite).addRect(Frame());
      return;
    }
  }
  if (l < -kReach || t < -kReach || r > width_ + kReach || b > height_ + kReach) {
    too_far_ = true;
    return;
  }
  // The outline pixels lie half a pixel inside the rectangle where the figure meets its
  // edges and reach beyond that between them: a quarter pixel in keeps the shape closest.
  const QRectF through_outer_pixels(l + 0.25, t + 0.25, r - l - 0.5, b - t - 0.5);
  if (brush_solid_) PathFor(false, kWhite).addEllipse(through_outer_pixels);
  PathFor(true, pen_).addEllipse(through_outer_pixels);
}

// The record as shapes, or nothing when it cannot be drawn that way.
std::optional<std::vector<Group>> RecordShapes(const QImage& pixels, const PictureRecord& record) {
  const DrawingRecord& commands = record.commands;
  if (!commands.Complete()) return std::nullopt;
  if (commands.OnPicture() && record.ground.size() != pixels.size()) return std::nullopt;
  ShapeCanvas shapes(pixels.width(), pixels.height());
  if (!commands.Replay(shapes, kMaxExportShapes) || shapes.TooFar()) return std::nullopt;
  return shapes.Groups();
}

}  // namespace

void PictureRecord::Load(QImageCanvas& canvas, const QImage& image) {
  canvas.SetImage(image);
  ground = canvas.Image();  // shared until the first command draws
  commands.Restart(true);
}

void PictureRecord::Clear(QImageCanvas& canvas) {
  canvas.SetBrushSolid(true);
  canvas.FillRect(0, 0, canvas.Width(), canvas.Height());
  ground = QImage();
  commands.Restart(false);
}

PictureForm PaintPicture(QPainter& painter, const QImage& pixels, const PictureRecord& record) {
  const QRectF frame(0, 0, pixels.width(), pixels.height());
  const std::optional<std::vector<Group>> shapes = RecordShapes(pixels, record);
  painter.save();
  painter.setClipRect(frame, Qt::IntersectClip);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);  // pixels stay squares
  painter.setRenderHint(QPainter::LosslessImageRendering, true);
  painter.setRenderHint(QPainter::Antialiasing, true);
  if (!shapes) {
    painter.drawImage(frame, pixels);
    painter.restore();
    return PictureForm::Pixels;
  }
  if (record.commands.OnPicture()) {
    painter.drawImage(frame, record.ground);
  } else {
    painter.fillRect(frame, Qt::white);
  }
  for (const Group& group : *shapes) {
    if (group.stroke) {
      QPen pen(ToQColor(group.colour), 1.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
      pen.setCosmetic(false);
      painter.strokePath(group.path, pen);
    } else {
      painter.fillPath(group.path, ToQColor(group.colour));
    }
  }
  painter.restore();
  return PictureForm::Shapes;
}

PictureForm PaintPictureInto(QPainter& painter, const QRectF& target, const QImage& pixels,
                             const PictureRecord& record) {
  if (pixels.isNull()) return PictureForm::Pixels;
  painter.save();
  painter.translate(target.topLeft());
  painter.scale(target.width() / pixels.width(), target.height() / pixels.height());
  const PictureForm form = PaintPicture(painter, pixels, record);
  painter.restore();
  return form;
}

QByteArray PictureSvg(const QImage& pixels, const PictureRecord& record) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  QSvgGenerator svg;
  svg.setOutputDevice(&buffer);
  svg.setSize(pixels.size());
  svg.setViewBox(QRectF(0, 0, pixels.width(), pixels.height()));
  svg.setResolution(96);
  svg.setTitle(QStringLiteral("Ombrix"));
  QPainter painter;
  if (!painter.begin(&svg)) return {};
  PaintPicture(painter, pixels, record);
  painter.end();
  return bytes;
}

QByteArray PicturePdf(const QImage& pixels, const PictureRecord& record) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::WriteOnly)) return {};
  QPdfWriter pdf(&buffer);
  pdf.setTitle(QStringLiteral("Ombrix"));
  pdf.setCreator(QStringLiteral("Ombrix"));
  const QSizeF page(pixels.width() * kPointsPerPixel, pixels.height() * kPointsPerPixel);
  pdf.setPageSize(QPageSize(page, QPageSize::Point, QString(), QPageSize::ExactMatch));
  pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
  QPainter painter;
  if (!painter.begin(&pdf)) return {};
  PaintPictureInto(painter, QRectF(0, 0, pdf.width(), pdf.height()), pixels, record);
  painter.end();
  return bytes;
}

std::optional<std::string> WriteVectorPicture(const QImage& pixels, const PictureRecord& record,
                                              const QString& path, VectorFormat format) {
  const QByteArray bytes =
      format == VectorFormat::Svg ? PictureSvg(pixels, record) : PicturePdf(pixels, record);
  if (bytes.isEmpty()) return "Datei " + FromQt(path) + " kann nicht erstellt werden";
  return WritePictureBytes(path, bytes);
}

std::optional<std::string> ExportPictureFile(const QImage& pixels, const PictureRecord& record,
                                             const QString& path) {
  const QString extension = QFileInfo(path).suffix().toLower();
  if (extension == QLatin1String("svg"))
    return WriteVectorPicture(pixels, record, path, VectorFormat::Svg);
  if (extension == QLatin1String("pdf"))
    return WriteVectorPicture(pixels, record, path, VectorFormat::Pdf);
  return UnknownExtensionMessage(path);
}

}  // namespace ombrix
