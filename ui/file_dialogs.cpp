#include "ui/file_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

#include "logic/app/project_document.h"
#include "platform/qt_text.h"
#include "ui/session.h"

namespace ombrix {

namespace {

const char* const kProjectFilter = "Nur Ombrix-Projekte (*.omp)|*.omp|Alle Dateien (*.*)|*.*";

// Both picture dialogs list the same formats; PNG is read and written through Qt.
const char* const kPictureFilter =
    "Alle (*.jpg;*.jpeg;*.bmp;*.png;*.ico;*.emf;*.wmf)|*.jpg;*.jpeg;*.bmp;*.png;*.ico;*.emf;*.wmf|"
    "JPEG-Grafikdatei (*.jpg)|*.jpg,*.jpeg|Bitmaps (*.bmp)|*.bmp|PNG-Grafikdatei (*.png)|*.png|"
    "Symbole (*.ico)|*.ico|Erweiterte Metadateien (*.emf)|*.emf|Metadateien (*.wmf)|*.wmf";

const char* const kExportFilter = "SVG-Grafik (*.svg)|*.svg|PDF-Dokument (*.pdf)|*.pdf";

}  // namespace

QStringList ToolkitFilterToQt(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList out;
  static const QRegularExpression trailing_patterns(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
  static const QRegularExpression separators(QStringLiteral("[;,]"));
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i];
    description.remove(trailing_patterns);
    QStringList patterns = parts[i + 1].split(separators, Qt::SkipEmptyParts);
    for (QString& p : patterns) p = p.trimmed();
    out << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return out;
}

FileDialogSetup DialogSetup(FileDialogKind kind) {
  FileDialogSetup setup{kind, false, {}, {}, {}, {}, {}, false};
  switch (kind) {
    case FileDialogKind::OpenProject:
    case FileDialogKind::SaveProject:
      setup.save = kind == FileDialogKind::SaveProject;
      setup.title = setup.save ? ToQt("Projekt speichern") : ToQt("Projekt \366ffnen");
      setup.filters = ToolkitFilterToQt(ToQt(kProjectFilter));
      setup.default_suffix = QStringLiteral("omp");
      setup.selected_filter = setup.filters.value(0);
      break;
    case FileDialogKind::OpenPicture:
    case FileDialogKind::SavePicture:
      setup.save = kind == FileDialogKind::SavePicture;
      setup.title =
          setup.save ? ToQt("Ombrix-Bild speichern unter") : ToQt("Ombrix-Bild \366ffnen");
      setup.filters = ToolkitFilterToQt(ToQt(kPictureFilter));
      setup.default_suffix = QStringLiteral("bmp");
      setup.selected_filter = setup.filters.value(2);  // "Bitmaps"
      break;
    case FileDialogKind::ExportPicture:
      setup.save = true;
      setup.title = QStringLiteral("Ombrix-Bild exportieren");
      setup.filters = ToolkitFilterToQt(ToQt(kExportFilter));
      setup.default_suffix = QStringLiteral("svg");
      setup.suffix_from_filter = true;
      setup.selected_filter = setup.filters.value(0);
      break;
  }
  return setup;
}

FileDialogSetup ProjectDialogSetup(FileDialogKind kind, const ProjectDocument& document) {
  FileDialogSetup setup = DialogSetup(kind);
  setup.start = QDir::homePath();
  // A copy of an example is offered under the example's name, in the home folder.
  if (kind == FileDialogKind::SaveProject && !document.CopyOf().empty()) {
    setup.start = QDir(setup.start).filePath(FileName(document.CopyOf()));
  }
  if (document.Named()) {
    const QFileInfo project(FileName(document.File()));
    setup.start =
        kind == FileDialogKind::SaveProject ? project.absoluteFilePath() : project.absolutePath();
  }
  return setup;
}

std::optional<QString> QtFileDialogs::Choose(const FileDialogSetup& setup) {
  QFileDialog dialog(parent_, setup.title);
  dialog.setAcceptMode(setup.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(setup.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setNameFilters(setup.filters);
  dialog.selectNameFilter(setup.selected_filter);
  dialog.setDefaultSuffix(setup.default_suffix);
  if (setup.suffix_from_filter) {
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& f) {
      static const QRegularExpression first_suffix(QStringLiteral("\\*\\.(\\w+)"));
      const QRegularExpressionMatch match = first_suffix.match(f);
      if (match.hasMatch()) dialog.setDefaultSuffix(match.captured(1));
    });
  }
  if (!setup.start.isEmpty()) {
    const QFileInfo start(setup.start);
    if (start.isDir()) {
      dialog.setDirectory(setup.start);
    } else {
      dialog.setDirectory(start.absolutePath());
      dialog.selectFile(start.fileName());
    }
  }
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty() || files.front().isEmpty()) return std::nullopt;
  return files.front();
}

}  // namespace ombrix
