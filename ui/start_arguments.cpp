#include "ui/start_arguments.h"

#include <QFileInfo>
#include <algorithm>
#include <iterator>

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

// The options of QGuiApplication and QApplication (and those of the X11 platform), with
// one dash; Qt takes them with two dashes as well.
const char* const kToolkitOptionsWithValue[] = {
    "-platform",
    "-platformpluginpath",
    "-platformtheme",
    "-plugin",
    "-qwindowgeometry",
    "-qwindowicon",
    "-qwindowtitle",
    "-session",
    "-display",
    "-geometry",
    "-title",
    "-icon",
    "-name",
    "-style",
    "-stylesheet",
};
const char* const kToolkitFlags[] = {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};
// Written with their value after "=".
const char* const kToolkitOptionsWithEquals[] = {
    "-style=", "-stylesheet=", "-qmljsdebugger=", "-dialogs=", "-fontengine="};

}  // namespace

QStringList WithoutToolkitOptions(const QStringList& arguments) {
  QStringList left;
  for (qsizetype n = 0; n < arguments.size(); ++n) {
    // Qt takes its options wherever they stand, even after "--".
    const QString& argument = arguments[n];
    const QString option = argument.startsWith(QLatin1String("--")) ? argument.mid(1) : argument;
    const auto is = [&](const char* name) { return option == QLatin1String(name); };
    const auto starts = [&](const char* name) { return option.startsWith(QLatin1String(name)); };
    if (std::any_of(std::begin(kToolkitOptionsWithValue), std::end(kToolkitOptionsWithValue), is)) {
      ++n;  // and its value
    } else if (!std::any_of(std::begin(kToolkitFlags), std::end(kToolkitFlags), is) &&
               !std::any_of(std::begin(kToolkitOptionsWithEquals),
                            std::end(kToolkitOptionsWithEquals), starts)) {
      left.append(argument);
    }
  }
  return left;
}

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
