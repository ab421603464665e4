// The picture for other programs: the drawing painted again as shapes (SVG, PDF, the
// printer, the clipboard), true to its pixels. Lines, circles and points keep the pixel
// positions the commands gave them, so that at the picture's own size the shapes cover
// its pixels; at any other size they stay sharp.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QString>
#include <cstddef>
#include <optional>
#include <string>

#include "logic/program/drawing_record.h"
#include "logic/program/picture_shapes.h"
#include "platform/qimage_canvas.h"

class QPainter;

namespace ombrix {

// What the picture was drawn from: the commands since it was last cleared or loaded and,
// when they started on a loaded picture, that picture.
struct PictureRecord {
  DrawingRecord commands;
  QImage ground;  // used only while commands.OnPicture()

  // The canvas takes over a loaded picture (the start picture, "Bild öffnen"); the
  // commands start afresh on it.
  void Load(QImageCanvas& canvas, const QImage& image);
  // The canvas is cleared to white outside any command ("Neues Projekt").
  void Clear(QImageCanvas& canvas);
};

enum class PictureForm {
  Shapes,  // the ground picture, then every command as shapes
  Pixels,  // the picture's pixels as one image
};

// Paints the picture onto the rectangle (0, 0) .. (width, height) of the painter's
// coordinates, one unit per picture pixel, clipped to it; answers the form it took.
// Pixels when the record is incomplete, too large, or reaches too far beyond the picture.
PictureForm PaintPicture(QPainter& painter, const QImage& pixels, const PictureRecord& record);
// The same, scaled onto `target`.
PictureForm PaintPictureInto(QPainter& painter, const QRectF& target, const QImage& pixels,
                             const PictureRecord& record);

// Whole documents whose view box or page is the picture's frame (one pixel is 1/96 inch):
// no margin, no caption.
QByteArray PictureSvg(const QImage& pixels, const PictureRecord& record);
QByteArray PicturePdf(const QImage& pixels, const PictureRecord& record);

enum class VectorFormat { Svg, Pdf };

// Writes the SVG or PDF document to `path`, whatever its extension; the German reason
// when it cannot. The old file is replaced only when the whole picture was written.
[[nodiscard]] std::optional<std::string> WriteVectorPicture(const QImage& pixels,
                                                            const PictureRecord& record,
                                                            const QString& path,
                                                            VectorFormat format);
// The same in the format the extension names, "svg" or "pdf" (case ignored); any other is
// refused with "Unbekannte Bilddateierweiterung (.%s)".
[[nodiscard]] std::optional<std::string> ExportPictureFile(const QImage& pixels,
                                                           const PictureRecord& record,
                                                           const QString& path);

}  // namespace ombrix
