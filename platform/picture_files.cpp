#include "platform/picture_files.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <filesystem>
#include <functional>
#include <string_view>

#include "platform/metafile.h"
#include "platform/posix_file_store.h"
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
QByteArray FormatOf(const QString& lower_extension) {
  if (lower_extension == QLatin1String("bmp")) return "BMP";
  if (lower_extension == QLatin1String("ico")) return "ICO";
  if (lower_extension == QLatin1String("jpg") || lower_extension == QLatin1String("jpeg"))
    return "JPG";
  if (lower_extension == QLatin1String("png")) return "PNG";
  return {};
}

std::optional<MetafileFormat> MetafileFormatOf(const QString& lower_extension) {
  if (lower_extension == QLatin1String("emf")) return MetafileFormat::Emf;
  if (lower_extension == QLatin1String("wmf")) return MetafileFormat::Wmf;
  return std::nullopt;
}

std::string CannotOpenMessage(const QString& path) {
  return "Datei " + FromQt(path) + " kann nicht ge\366ffnet werden";
}

std::variant<QImage, std::string> LoadMetafile(const QString& path, MetafileFormat format,
                                               ReaderWait* wait) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return CannotOpenMessage(path);
  // One byte more than allowed is enough to refuse a file that is too large.
  const QByteArray bytes = file.read(kMaxMetafileBytes + 1);
  return DecodeMetafile(bytes, format, wait);
}

// The picture's bytes, made in memory first.
[[nodiscard]] std::optional<std::string> WriteWhole(const QString& path,
                                                    const std::function<bool(QIODevice&)>& write) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::WriteOnly) || !write(buffer)) {
    return "Datei " + FromQt(path) + " kann nicht erstellt werden";
  }
  buffer.close();
  return WritePictureBytes(path, bytes);
}

std::string InvalidPictureMessage(const QByteArray& format) {
  if (format == "BMP") return "Bitmap ist ung\xFCltig";
  if (format == "ICO") return "Symbol ist ung\xFCltig";
  if (format == "JPG") return "JPEG-Bild ist ung\xFCltig";
  return "PNG-Bild ist ung\xFCltig";
}

}  // namespace

std::optional<std::string> WritePictureBytes(const QString& path, const QByteArray& bytes) {
  // As a project is saved: a failed write leaves the old file, and only a plain file (or
  // none yet) is replaced; a named pipe or a device there is refused, not replaced.
  const QByteArray name = QFile::encodeName(path);
  if (PosixFileStore().Replace(std::filesystem::path(std::string(name.constData(), name.size())),
                               std::string_view(bytes.constData(), bytes.size()))) {
    return "Datei " + FromQt(path) + " kann nicht erstellt werden";
  }
  return std::nullopt;
}

std::string UnknownExtensionMessage(const QString& path) {
  return "Unbekannte Bilddateierweiterung (." + FromQt(ExtensionOf(path)) + ")";
}

std::variant<QImage, std::string> LoadPictureFile(const QString& path, ReaderWait* wait) {
  const QString extension = ExtensionOf(path).toLower();
  const std::optional<MetafileFormat> metafile = MetafileFormatOf(extension);
  const QByteArray format = FormatOf(extension);
  if (format.isEmpty() && !metafile) return UnknownExtensionMessage(path);
  if (!QFileInfo(path).isFile()) return CannotOpenMessage(path);
  if (metafile) return LoadMetafile(path, *metafile, wait);
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
  if (const std::optional<MetafileFormat> metafile = MetafileFormatOf(extension)) {
    const QByteArray bytes = EncodeMetafile(image, *metafile);
    if (bytes.isEmpty()) return "Datei " + FromQt(path) + " kann nicht erstellt werden";
    return WriteWhole(path, [&](QIODevice& file) { return file.write(bytes) == bytes.size(); });
  }
  QByteArray format = FormatOf(extension);
  if (format.isEmpty()) format = "BMP";
  return WriteWhole(path,
                    [&](QIODevice& file) { return QImageWriter(&file, format).write(image); });
}

}  // namespace ombrix
