#include "platform/picture_export.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "logic/program/picture_svg.h"
#include "platform/picture_files.h"
#include "platform/qt_text.h"

namespace ombrix {

namespace {

QColor ToQColor(Colour colour) { return QColor::fromRgb(0xFF000000u | (colour & 0xFFFFFFu)); }

constexpr double kPointsPerPixel = 0.75;  // 96 pixels to the inch

// The record as shapes, or nothing when it cannot be drawn that way.
std::optional<std::vector<ShapeGroup>> ShapesOf(const QImage& pixels, const PictureRecord& record) {
  if (record.commands.OnPicture() && record.ground.size() != pixels.size()) return std::nullopt;
  return RecordShapes(record.commands, pixels.width(), pixels.height());
}

QPainterPath PathOf(const ShapeGroup& group) {
  QPainterPath path;
  path.setFillRule(Qt::WindingFill);  // a pixel set twice stays set
  for (const Shape& shape : group.shapes) {
    switch (shape.kind) {
      case Shape::Kind::Rect:
        path.addRect(QRectF(shape.x0, shape.y0, shape.x1, shape.y1));
        break;
      case Shape::Kind::Segment:
        path.moveTo(shape.x0, shape.y0);
        path.lineTo(shape.x1, shape.y1);
        break;
      case Shape::Kind::Ellipse:
        path.addEllipse(QRectF(shape.x0, shape.y0, shape.x1, shape.y1));
        break;
    }
  }
  return path;
}

// A data URL of the image as PNG, for the SVG document.
std::string PngDataUrl(const QImage& image) {
  QByteArray png;
  QBuffer buffer(&png);
  if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) return {};
  return "data:image/png;base64," + png.toBase64().toStdString();
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
  const std::optional<std::vector<ShapeGroup>> shapes = ShapesOf(pixels, record);
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
  for (const ShapeGroup& group : *shapes) {
    if (group.stroke) {
      QPen pen(ToQColor(group.colour), 1.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
      pen.setCosmetic(false);
      painter.strokePath(PathOf(group), pen);
    } else {
      painter.fillPath(PathOf(group), ToQColor(group.colour));
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
  const std::optional<std::vector<ShapeGroup>> shapes = ShapesOf(pixels, record);
  std::string below;
  if (!shapes) {
    below = PngDataUrl(pixels);
  } else if (record.commands.OnPicture()) {
    below = PngDataUrl(record.ground);
  }
  const std::string svg =
      PictureSvgDocument(pixels.width(), pixels.height(), shapes ? &*shapes : nullptr, below);
  return QByteArray(svg.data(), static_cast<qsizetype>(svg.size()));
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
