// The picture of "ombrix-cli run" in the desktop tool: a QImage, picture files through Qt.
#include <QByteArray>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>
#include <QString>
#include <string>
#include <variant>

#include "cli/cli.h"
#include "cli/run_export.h"
#include "cli/run_picture.h"
#include "logic/complex/cp1252.h"
#include "logic/complex/fault.h"
#include "platform/picture_files.h"
#include "platform/qimage_canvas.h"
#include "platform/qt_text.h"

namespace ombrix::cli {

namespace {

// Saves through a temporary file, so a failed write leaves an existing picture intact.
// The format follows the extension; "" on success, else the German reason.
std::string SavePicture(const QImage& image, const std::string& path) {
  const QString file_name = QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
  const QByteArray format = QFileInfo(file_name).suffix().toLower().toLatin1();
  if (format.isEmpty() || !QImageWriter::supportedImageFormats().contains(format)) {
    return "Das Bildformat von '" + Utf8ToCp1252(path) +
           "' wird nicht unterst\xFCtzt (m\xF6glich sind etwa .png, .bmp, .jpg)";
  }
  QSaveFile file(file_name);
  if (!file.open(QIODevice::WriteOnly)) {
    return "Das Bild konnte nicht in '" + Utf8ToCp1252(path) + "' gespeichert werden";
  }
  QImageWriter writer(&file, format);
  if (!writer.write(image) || !file.commit()) {
    file.cancelWriting();
    return "Das Bild konnte nicht in '" + Utf8ToCp1252(path) + "' gespeichert werden";
  }
  return "";
}

class QtRunPicture final : public RunPicture {
 public:
  Canvas& canvas() override { return picture_; }
  DrawingRecord* commands() override { return &record_.commands; }

  // As "Bild öffnen", the drawing takes the picture's size.
  bool Load(const std::string& path, MessageBoxes& boxes) override {
    const GuiForFonts fonts;  // for the text of metafiles
    std::variant<QImage, std::string> loaded =
        LoadPictureFile(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())));
    if (const std::string* problem = std::get_if<std::string>(&loaded)) {
      boxes.Show(MessageKind::Fault, FaultDisplayText(*problem));
      return false;
    }
    record_.Load(picture_, std::get<QImage>(loaded));
    return true;
  }

  bool Write(const PictureOutputs& outputs, MessageBoxes& boxes) override {
    if (outputs.png) {
      const std::string problem = SavePicture(picture_.Image(), *outputs.png);
      if (!problem.empty()) {
        boxes.Show(MessageKind::Error, problem);
        return false;
      }
    }
    std::vector<VectorOutput> vectors;
    for (const auto& [option, path] : outputs.vectors) TakeVectorOption(option, path, vectors);
    return WriteVectorOutputs(vectors, picture_.Image(), record_, boxes);
  }

 private:
  QImageCanvas picture_;
  PictureRecord record_;
};

}  // namespace

std::unique_ptr<RunPicture> MakeRunPicture(bool) { return std::make_unique<QtRunPicture>(); }

bool ApplySystemSeparator() {
  ApplySystemDecimalSeparator();
  return true;
}

}  // namespace ombrix::cli
