#include "ui/reader_wait.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

namespace ombrix {

namespace {

// Input that would start something in the window while it waits.
bool IsUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
      return true;
    default:
      return false;
  }
}

bool StopsTheLoad(const QKeyEvent& key) {
  return key.key() == Qt::Key_Escape || key.key() == Qt::Key_F2;
}

}  // namespace

WindowReaderWait::WindowReaderWait(QWidget& window) : window_(window) {
  QCoreApplication::instance()->installEventFilter(this);
  QApplication::setOverrideCursor(Qt::BusyCursor);
}

WindowReaderWait::~WindowReaderWait() {
  QApplication::restoreOverrideCursor();
  QCoreApplication::instance()->removeEventFilter(this);
}

bool WindowReaderWait::Wait(int fd, int milliseconds) {
  if (!abandoned_) {
    QEventLoop loop;
    QSocketNotifier answer(fd, QSocketNotifier::Read);
    QObject::connect(&answer, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return abandoned_;
}

bool WindowReaderWait::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &window_ && event->type() == QEvent::Close) {
    abandoned_ = true;
    close_asked_ = true;
    event->ignore();
    return true;
  }
  if (!IsUserInput(event->type())) return false;
  if (event->type() == QEvent::ShortcutOverride) {
    event->accept();  // no action's shortcut fires; the key press comes here next
  } else if (event->type() == QEvent::KeyPress &&
             StopsTheLoad(*static_cast<const QKeyEvent*>(event))) {
    abandoned_ = true;
  }
  return true;
}

}  // namespace ombrix
