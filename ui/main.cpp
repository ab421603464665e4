// Ombrix: creates the session, the window and its dialogs, and runs the event loop.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QTranslator>
#include <cstdio>

#include "platform/qt_text.h"
#include "ui/Unitform1.h"
#include "ui/file_dialogs.h"
#include "ui/qt_message_boxes.h"
#include "ui/session.h"
#include "ui/start_arguments.h"

namespace {

// Prints what the request says instead of starting; its exit status, or -1 to start.
int Answer(const ombrix::StartRequest& request) {
  if (request.kind == ombrix::StartRequest::Window) return -1;
  const bool help = request.kind == ombrix::StartRequest::Help;
  std::fputs(request.message.toLocal8Bit().constData(), help ? stdout : stderr);
  return help ? 0 : 2;
}

}  // namespace

int main(int argc, char* argv[]) {
  // The help and an argument error need no display: they are answered before the toolkit
  // starts, which ends the program where it finds none.
  QStringList raw;
  for (int n = 1; n < argc; ++n) raw.append(QString::fromLocal8Bit(argv[n]));
  if (const int status = Answer(ombrix::ReadStartArguments(ombrix::WithoutToolkitOptions(raw)));
      status >= 0) {
    return status;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Ombrix"));
  // Qt's own texts (file dialogs) in German, when the translation is installed.
  QTranslator qt_texts;
  if (qt_texts.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qt_texts);
  }
  ombrix::ApplySystemDecimalSeparator();
  // Qt has taken its own options (-platform, -style ...) out of the list by now.
  const ombrix::StartRequest request = ombrix::ReadStartArguments(QApplication::arguments().mid(1));
  if (const int status = Answer(request); status >= 0) return status;

  ombrix::Session session;
  ombrix::QtMessageBoxes boxes;
  ombrix::QtFileDialogs files;
  ombrix::TForm1 form(session, boxes, files);
  boxes.SetParent(&form);
  files.SetParent(&form);
  form.adjustSize();
  if (const QScreen* screen = form.screen()) {
    // The frame's title bar is not known before the window is shown; allow for one.
    constexpr int kTitleBar = 32;
    form.FitScreenHeight(screen->availableGeometry().height() - kTitleBar);
    form.move(screen->availableGeometry().center() - form.rect().center());
  }
  form.show();
  // Opened once the window is up, so that the editors on its programs open over it.
  if (!request.project.isEmpty()) {
    QTimer::singleShot(0, &form, [&form, &request] {
      form.OpenProjectFile(request.project, ombrix::TForm1::OpenedFrom::CommandLine);
    });
  }
  return QApplication::exec();
}
