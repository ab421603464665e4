#include "ui/file_dialogs.h"

#include <QFileDialog>
#include <QRegularExpression>

namespace ombrix {

namespace {

const char* const kProjectFilter = "Nur Ombrix-Projekte (*.omp)|*.omp|Alle Dateien (*.*)|*.*";

// Both picture dialogs list the same formats; PNG is read and written through Qt.
const char* const kPictureFilter =
    "Alle (*.jpg;*.jpeg;*.bmp;*.png;*.ico;*.emf;*.wmf)|*.jpg;*.jpeg;*.bmp;*.png;*.ico;*.emf;*.wmf|"
    "JPEG-Grafikdatei (*.jpg)|*.jpg,*.jpeg|Bitmaps (*.bmp)|*.bmp|PNG-Grafikdatei (*.png)|*.png|"
    "Symbole (*.ico)|*.ico|Erweiterte Metadateien (*.emf)|*.emf|Metadateien (*.wmf)|*.wmf";

QString Utf8(const char* text) { return QString::fromUtf8(text); }

}  // namespace

QStringList ToolkitFilterToQt(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList out;
  static const QRegularExpression trailingPatterns(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
  static const QRegularExpression separators(QStringLiteral("[;,]"));
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i];
    description.remove(trailingPatterns);
    QStringList patterns = parts[i + 1].split(separators, Qt::SkipEmptyParts);
    for (QString& p : patterns) p = p.trimmed();
    out << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return out;
}

FileDialogSpec DialogSpec(FileDialogKind kind) {
  FileDialogSpec spec{kind, false, {}, {}, {}, {}};
  switch (kind) {
    case FileDialogKind::OpenProject:
    case FileDialogKind::SaveProject:
      spec.save = kind == FileDialogKind::SaveProject;
      spec.title = spec.save ? Utf8("Projekt speichern")
                             : Utf8(
                                   "Projekt \xC3\xB6"
                                   "ffnen");
      spec.filters = ToolkitFilterToQt(Utf8(kProjectFilter));
      spec.defaultSuffix = QStringLiteral("omp");
      spec.selectedFilter = spec.filters.value(0);
      break;
    case FileDialogKind::OpenPicture:
    case FileDialogKind::SavePicture:
      spec.save = kind == FileDialogKind::SavePicture;
      spec.title = spec.save ? Utf8("Ombrix-Bild speichern unter")
                             : Utf8(
                                   "Ombrix-Bild \xC3\xB6"
                                   "ffnen");
      spec.filters = ToolkitFilterToQt(Utf8(kPictureFilter));
      spec.defaultSuffix = QStringLiteral("bmp");
      spec.selectedFilter = spec.filters.value(2);  // "Bitmaps"
      break;
  }
  return spec;
}

std::optional<QString> QtFileDialogs::Choose(const FileDialogSpec& spec) {
  QFileDialog dialog(parent_, spec.title);
  dialog.setAcceptMode(spec.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(spec.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setNameFilters(spec.filters);
  dialog.selectNameFilter(spec.selectedFilter);
  dialog.setDefaultSuffix(spec.defaultSuffix);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty() || files.front().isEmpty()) return std::nullopt;
  return files.front();
}

}  // namespace ombrix
