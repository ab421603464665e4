#include "platform/print_page.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <algorithm>

#include "platform/qt_text.h"

namespace ombrix {

namespace {

constexpr double kCmPerInch = 2.54;
constexpr double kCaptionPoints = 10;
constexpr double kCaptionGapCm = 0.3;  // between the picture and its caption

}  // namespace

PrintLayout LayOutPrintPage(const QRectF& page, double dpi, QSize picture, double caption_height) {
  const double per_cm = dpi / kCmPerInch;
  const double gap = kCaptionGapCm * per_cm;
  double width = std::min(page.width(), kMaxPrintWidthCm * per_cm);
  const double aspect =
      picture.width() > 0 && picture.height() > 0 ? double(picture.height()) / picture.width() : 1;
  const double room = std::max(0.0, page.height() - gap - caption_height);
  width = std::max(0.0, std::min(width, room / aspect));
  const double height = width * aspect;
  const double left = page.left() + (page.width() - width) / 2;
  PrintLayout layout;
  layout.picture = QRectF(left, page.top(), width, height);
  layout.caption = QRectF(page.left(), page.top() + height + gap, page.width(), caption_height);
  return layout;
}

QString PrintCaption(const QString& project_file, bool unnamed, const QDate& date) {
  const QString name =
      unnamed ? QStringLiteral("Neues Projekt") : QFileInfo(project_file).fileName();
  return name + ToQt(" \x96 ") + date.toString(QStringLiteral("dd.MM.yyyy"));
}

PictureForm PaintPrintPage(QPainter& painter, const QRectF& page, const QImage& pixels,
                           const PictureRecord& record, const QString& caption) {
  QPaintDevice* device = painter.device();
  const double dpi = device != nullptr ? device->logicalDpiY() : 96;
  QFont font = painter.font();
  font.setPointSizeF(kCaptionPoints);
  const QFontMetricsF metrics(font, device);
  const PrintLayout layout = LayOutPrintPage(page, dpi, pixels.size(), metrics.height());
  const PictureForm form = PaintPictureInto(painter, layout.picture, pixels, record);
  painter.save();
  painter.setFont(font);
  painter.setPen(Qt::black);
  const QString line = metrics.elidedText(caption, Qt::ElideMiddle, layout.caption.width());
  painter.drawText(layout.caption, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, line);
  painter.restore();
  return form;
}

}  // namespace ombrix
