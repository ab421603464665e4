#include "ui/picture_files.h"

#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>

#include "platform/qt_text.h"

namespace ombrix {

namespace {

// The extension as written in the name (without the dot), as the message shows it.
QString ExtensionOf(const QString& path) {
  const QString name = QFileInfo(path).fileName();
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  return dot < 0 ? QString() : name.mid(dot + 1);
}

// The Qt format that reads or writes a lower-cased extension, empty if none.
QByteArray FormatOf(const QString& lowerExtension) {
  if (lowerExtension == QLatin1String("bmp")) return "BMP";
  if (lowerExtension == QLatin1String("ico")) return "ICO";
  if (lowerExtension == QLatin1String("jpg") || lowerExtension == QLatin1String("jpeg"))
    return "JPG";
  if (lowerExtension == QLatin1String("png")) return "PNG";
  return {};
}

bool IsMetafile(const QString& lowerExtension) {
  return lowerExtension == QLatin1String("emf") || lowerExtension == QLatin1String("wmf");
}

std::string InvalidPictureMessage(const QByteArray& format) {
  if (format == "BMP") return "Bitmap ist ung\xFCltig";
  if (format == "ICO") return "Symbol ist ung\xFCltig";
  if (format == "JPG") return "JPEG-Bild ist ung\xFCltig";
  return "PNG-Bild ist ung\xFCltig";
}

}  // namespace

std::string UnknownExtensionMessage(const QString& path) {
  return "Unbekannte Bilddateierweiterung (." + FromQt(ExtensionOf(path)) + ")";
}

std::variant<QImage, std::string> LoadPictureFile(const QString& path) {
  const QByteArray format = FormatOf(ExtensionOf(path).toLower());
  if (format.isEmpty()) return UnknownExtensionMessage(path);
  if (!QFileInfo(path).isFile()) {
    return "Datei " + FromQt(path) + " kann nicht ge\366ffnet werden";
  }
  QImageReader reader(path, format);
  reader.setDecideFormatFromContent(false);
  QImage loaded = reader.read();
  if (loaded.isNull() || loaded.width() <= 0 || loaded.height() <= 0) {
    return InvalidPictureMessage(format);
  }
  // Transparent parts of icons and PNGs show white, as on the window's white picture.
  QImage picture(loaded.size(), QImage::Format_RGB32);
  if (picture.isNull()) return InvalidPictureMessage(format);
  picture.fill(Qt::white);
  {
    QPainter painter(&picture);
    painter.drawImage(0, 0, loaded);
  }
  return picture;
}

std::optional<std::string> SavePictureFile(const QImage& image, const QString& path) {
  const QString extension = ExtensionOf(path).toLower();
  if (IsMetafile(extension)) return UnknownExtensionMessage(path);
  QByteArray format = FormatOf(extension);
  if (format.isEmpty()) format = "BMP";
  const std::string cannotCreate = "Datei " + FromQt(path) + " kann nicht erstellt werden";
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return cannotCreate;
  QImageWriter writer(&file, format);
  if (!writer.write(image)) {
    file.cancelWriting();
    return cannotCreate;
  }
  if (!file.commit()) return cannotCreate;
  return std::nullopt;
}

}  // namespace ombrix
