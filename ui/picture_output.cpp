#include "ui/picture_output.h"

#include <QClipboard>
#include <QDate>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include "logic/project/project_file.h"
#include "platform/print_page.h"

namespace ombrix {

void PrintPicture(QWidget* parent, const Session& session) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(QStringLiteral("Ombrix"));
  const bool unnamed = session.ProjectFileName == QLatin1String(kUnnamedProject);
  const QString caption = PrintCaption(session.ProjectFileName, unnamed, QDate::currentDate());
  QPrintPreviewDialog preview(&printer, parent);
  QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, [&](QPrinter* target) {
    QPainter painter(target);
    // The painter's origin is the top-left corner of the printable area.
    const QRectF page(QPointF(0, 0), target->pageRect(QPrinter::DevicePixel).size());
    PaintPrintPage(painter, page, session.canvas.Image(), session.record, caption);
  });
  preview.exec();
}

QMimeData* PictureMimeData(const QImage& pixels, const PictureRecord& record) {
  auto* data = new QMimeData;
  data->setImageData(pixels);
  data->setData(QStringLiteral("image/svg+xml"), PictureSvg(pixels, record));
  return data;
}

void CopyPicture(const Session& session) {
  if (QClipboard* clipboard = QGuiApplication::clipboard()) {
    clipboard->setMimeData(PictureMimeData(session.canvas.Image(), session.record));
  }
}

}  // namespace ombrix
