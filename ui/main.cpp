// Ombrix: creates the session, the window and its dialogs, and runs the event loop.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QStyle>
#include <QTranslator>

#include "platform/qt_text.h"
#include "ui/Unitform1.h"
#include "ui/file_dialogs.h"
#include "ui/qt_message_boxes.h"
#include "ui/session.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Ombrix"));
  // Qt's own texts (file dialogs) in German, when the translation is installed.
  QTranslator qtTexts;
  if (qtTexts.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qtTexts);
  }
  ombrix::ApplySystemDecimalSeparator();

  ombrix::Session session;
  ombrix::QtMessageBoxes boxes;
  ombrix::QtFileDialogs files;
  ombrix::TForm1 form(session, boxes, files);
  boxes.SetParent(&form);
  files.SetParent(&form);
  form.adjustSize();
  if (const QScreen* screen = form.screen()) {
    form.move(screen->availableGeometry().center() - form.rect().center());
  }
  form.show();
  return QApplication::exec();
}
