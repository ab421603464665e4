#include "ui/examples.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace ombrix {

QString ExamplesFolder(const QString& program_folder) {
  const QString installed =
      QDir(program_folder).filePath(QStringLiteral(OMBRIX_INSTALLED_EXAMPLES));
  if (QFileInfo(installed).isDir()) return QDir::cleanPath(installed);
  QString source = QStringLiteral(OMBRIX_SOURCE_EXAMPLES);  // moved out when returned
  if (QFileInfo(source).isDir()) return source;
  return QString();
}

QString ExamplesFolder() { return ExamplesFolder(QCoreApplication::applicationDirPath()); }

std::vector<Example> ListExamples(const QString& folder) {
  std::vector<Example> examples;
  if (folder.isEmpty()) return examples;
  const QDir dir(folder);
  QStringList files = dir.entryList({QStringLiteral("*.omp")}, QDir::Files, QDir::Name);
  QSet<QString> listed;
  QFile titles(dir.filePath(QStringLiteral("titel.txt")));
  if (titles.open(QIODevice::ReadOnly | QIODevice::Text)) {
    for (const QString& raw : QString::fromUtf8(titles.readAll()).split(QLatin1Char('\n'))) {
      const QString line = raw.trimmed();
      const qsizetype eq = line.indexOf(QLatin1Char('='));
      if (line.startsWith(QLatin1Char('#')) || eq <= 0) continue;
      const QString file = line.left(eq).trimmed();
      const QString title = line.mid(eq + 1).trimmed();
      if (!files.contains(file) || listed.contains(file) || title.isEmpty()) continue;
      listed.insert(file);
      examples.push_back({title, dir.filePath(file)});
    }
  }
  for (const QString& file : files) {
    if (!listed.contains(file))
      examples.push_back({QFileInfo(file).completeBaseName(), dir.filePath(file)});
  }
  return examples;
}

}  // namespace ombrix
