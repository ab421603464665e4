#include "ui/session.h"

#include <QByteArray>
#include <QFile>
#include <string>

namespace ombrix {

std::filesystem::path FilePath(const QString& name) {
  const QByteArray encoded = QFile::encodeName(name);
  return std::filesystem::path(std::string(encoded.constData(), encoded.size()));
}

QString FileName(const std::filesystem::path& path) {
  return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

ProjectFileNameRef& ProjectFileNameRef::operator=(const QString& name) {
  document_.SetFile(name == QLatin1String(kUnnamedProject) ? std::filesystem::path()
                                                           : FilePath(name));
  return *this;
}

ProjectFileNameRef::operator QString() const {
  return document_.Named() ? FileName(document_.File()) : QString::fromLatin1(kUnnamedProject);
}

Session::Session()
    : core({canvas, boxes, files}),
      project(core.runtime.Project()),
      drawing(core.runtime.Drawing()),
      flags(core.runtime.Flags()),
      interp(core.runtime.State()),
      controls(core.document.Controls()),
      ProjectChanged(core.document.ChangedFlag()),
      ProjectFileName(core.document) {
  core.runtime.Interp().RecordDrawing(&record.commands);
}

}  // namespace ombrix
