// Loading and saving the drawing picture. Errors are German Windows-1252 texts.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <optional>
#include <string>
#include <variant>

#include "platform/metafile.h"

namespace ombrix {

// Makes `bytes` the content of the file at `path` as a project is saved: the old file
// stays on failure, and only a plain file is replaced (not a named pipe or a device).
[[nodiscard]] std::optional<std::string> WritePictureBytes(const QString& path,
                                                           const QByteArray& bytes);

// "Unbekannte Bilddateierweiterung (.%s)", the extension as written in the name.
std::string UnknownExtensionMessage(const QString& path);

// Reads a BMP, ICO, JPEG, PNG, EMF or WMF picture, chosen by the file's extension, at the
// file's own size; transparent parts become white. Every other extension is refused. The
// result is an RGB32 image that can be drawn on, or the error text. A metafile is drawn by
// the reader, for which `wait` (if given) waits.
[[nodiscard]] std::variant<QImage, std::string> LoadPictureFile(const QString& path,
                                                                ReaderWait* wait = nullptr);

// Writes the picture in the format the extension names (bmp, png, jpg/jpeg, ico, and emf
// and wmf as one bitmap record); any other name gets bitmap data, the picture's own
// format. The old file is replaced only when the whole picture was written.
[[nodiscard]] std::optional<std::string> SavePictureFile(const QImage& image, const QString& path);

}  // namespace ombrix
