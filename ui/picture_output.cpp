#include "ui/picture_output.h"

#include <QClipboard>
#include <QDate>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTimer>
#include <optional>
#include <string>
#include <variant>

#include "logic/complex/fault.h"
#include "platform/picture_files.h"
#include "platform/print_page.h"
#include "ui/reader_wait.h"

namespace ombrix {

namespace {

void ShowFailure(Session& session, const std::string& error) {
  session.boxes.Show(MessageKind::Fault, FaultDisplayText(error));
}

}  // namespace

void OpenPicture(QWidget& window, Session& session, const QString& path) {
  std::variant<QImage, std::string> loaded;
  bool abandoned = false;
  bool close_asked = false;
  {
    WindowReaderWait wait(window);
    loaded = LoadPictureFile(path, &wait);
    abandoned = wait.Abandoned();
    close_asked = wait.CloseAsked();
  }
  if (close_asked) QTimer::singleShot(0, &window, &QWidget::close);
  if (abandoned) return;  // the user stopped it: nothing to say
  if (const std::string* error = std::get_if<std::string>(&loaded)) {
    ShowFailure(session, *error);
    return;
  }
  session.record.Load(session.canvas, std::get<QImage>(loaded));
}

void SavePicture(Session& session, const QString& path) {
  if (const std::optional<std::string> error = SavePictureFile(session.canvas.Image(), path)) {
    ShowFailure(session, *error);
  }
}

void ExportPicture(Session& session, const QString& path) {
  if (const std::optional<std::string> error =
          ExportPictureFile(session.canvas.Image(), session.record, path)) {
    ShowFailure(session, *error);
  }
}

void PrintPicture(QWidget* parent, const Session& session) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(QStringLiteral("Ombrix"));
  const bool unnamed = !session.core.document.Named();
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

namespace {

const QString kSvgType = QStringLiteral("image/svg+xml");

// The SVG is made only when a program pastes it: a large drawing takes a while, and
// "Bild kopieren" must not hold up a running program.
class PictureMime final : public QMimeData {
 public:
  PictureMime(const QImage& pixels, const PictureRecord& record)
      : pixels_(pixels), record_(record) {
    setImageData(pixels);
  }
  QStringList formats() const override { return QMimeData::formats() << kSvgType; }
  bool hasFormat(const QString& type) const override {
    return type == kSvgType || QMimeData::hasFormat(type);
  }

 protected:
  QVariant retrieveData(const QString& type, QMetaType meta) const override {
    if (type == kSvgType) return PictureSvg(pixels_, record_);
    return QMimeData::retrieveData(type, meta);
  }

 private:
  QImage pixels_;
  PictureRecord record_;  // a copy: the picture goes on changing
};

}  // namespace

QMimeData* PictureMimeData(const QImage& pixels, const PictureRecord& record) {
  return new PictureMime(pixels, record);
}

void CopyPicture(const Session& session) {
  if (QClipboard* clipboard = QGuiApplication::clipboard()) {
    clipboard->setMimeData(PictureMimeData(session.canvas.Image(), session.record));
  }
}

}  // namespace ombrix
