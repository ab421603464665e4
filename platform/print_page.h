// The printed page: the picture at the top, as wide as the printable area allows up to
// 16 cm, its aspect kept, and under it one line naming the project and the date.
#pragma once

#include <QDate>
#include <QImage>
#include <QRectF>
#include <QString>

#include "platform/picture_export.h"

class QPainter;

namespace ombrix {

inline constexpr double kMaxPrintWidthCm = 16.0;

struct PrintLayout {
  QRectF picture;
  QRectF caption;
};

// Where picture and caption go on the printable area `page` (device pixels) of a device
// with `dpi` dots per inch, for a picture of `picture` pixels and a caption line
// `caption_height` high: centred across the page, at its top; a page too short for the
// width leaves the picture smaller, never the caption off the page.
PrintLayout LayOutPrintPage(const QRectF& page, double dpi, QSize picture, double caption_height);

// "julia.omp – 09.12.2026": the project's file name without its folder, or
// "Neues Projekt" while it has none (`unnamed`), and the date. A Qt string, so that any
// file name survives.
QString PrintCaption(const QString& project_file, bool unnamed, const QDate& date);

// Paints the page onto the painter's device, whose printable area is `page` in device
// pixels; the caption in one line, shortened with "…" if it is too long.
PictureForm PaintPrintPage(QPainter& painter, const QRectF& page, const QImage& pixels,
                           const PictureRecord& record, const QString& caption);

}  // namespace ombrix
