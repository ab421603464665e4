#include "ui/start_arguments.h"

#include <QFileInfo>

#include "platform/qt_text.h"

namespace ombrix {

namespace {

const char* const kUsage =
    "Aufruf: ombrix [PROJEKT.omp]\n"
    "Startet Ombrix, auf Wunsch gleich mit dem Projekt PROJEKT.omp.\n";

StartRequest Refuse(const QString& reason) {
  return {StartRequest::Refused, QString(),
          QStringLiteral("ombrix: ") + reason + QLatin1Char('\n') + ToQt(kUsage)};
}

}  // namespace

StartRequest ReadStartArguments(const QStringList& arguments) {
  QStringList files;
  bool options_ended = false;
  for (const QString& argument : arguments) {
    if (!options_ended && argument == QLatin1String("--")) {
      options_ended = true;
    } else if (!options_ended &&
               (argument == QLatin1String("--help") || argument == QLatin1String("-h"))) {
      return {StartRequest::Help, QString(), ToQt(kUsage)};
    } else if (!options_ended && argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
      return Refuse(ToQt("unbekannte Option \x84") + argument + ToQt("\x93"));
    } else if (argument.isEmpty()) {
      return Refuse(ToQt("leerer Dateiname"));
    } else {
      files.append(argument);
    }
  }
  if (files.size() > 1) return Refuse(ToQt("nur ein Projekt auf einmal"));
  StartRequest request;
  if (!files.isEmpty()) request.project = QFileInfo(files.front()).absoluteFilePath();
  return request;
}

}  // namespace ombrix
