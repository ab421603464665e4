#include "ui/reader_wait.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <optional>

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

}  // namespace

WindowHold::WindowHold(QWidget& window)
    : window_(window), dialog_(QApplication::activeModalWidget()) {
  QCoreApplication::instance()->installEventFilter(this);
  QApplication::setOverrideCursor(Qt::BusyCursor);
}

WindowHold::~WindowHold() {
  QApplication::restoreOverrideCursor();
  QCoreApplication::instance()->removeEventFilter(this);
}

void WindowHold::Turn() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

bool WindowHold::eventFilter(QObject* watched, QEvent* event) {
  if ((watched == &window_ || (dialog_ != nullptr && watched == dialog_)) &&
      event->type() == QEvent::Close) {
    abandoned_ = true;
    close_asked_ = close_asked_ || watched == &window_;  // the dialog stays open
    event->ignore();
    return true;
  }
  if (!IsUserInput(event->type())) return false;
  // A box that opened meanwhile (a mouse-click program's failure) is answered as always;
  // its modality keeps the window's own input away.
  if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal != dialog_) {
    return false;
  }
  if (event->type() == QEvent::ShortcutOverride) {
    event->accept();  // no action's shortcut fires; the key press comes here next
  } else if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<const QKeyEvent*>(event)->key();
    if (key == Qt::Key_Escape || key == Qt::Key_F2) abandoned_ = true;
    if (key == Qt::Key_F2) abbrechen_asked_ = true;
  }
  return true;
}

bool ClickRunWait::Turn() {
  if (!hold_) hold_ = std::make_unique<WindowHold>(window_);
  hold_->Turn();
  return hold_ != nullptr && hold_->Abandoned();  // a box may have released it
}

ClickRunWait::Asked ClickRunWait::End() {
  Asked asked;
  asked.held = hold_ != nullptr;
  asked.abbrechen = asked.held && hold_->AbbrechenAsked();
  asked.close = asked.held && hold_->CloseAsked();
  hold_.reset();
  return asked;
}

bool WindowReaderWait::Wait(int fd, int milliseconds) {
  if (!hold_.Abandoned()) {
    QEventLoop loop;
    std::optional<QSocketNotifier> answer;
    if (fd >= 0) {
      answer.emplace(fd, QSocketNotifier::Read);
      QObject::connect(&*answer, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
    }
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return hold_.Abandoned();
}

}  // namespace ombrix
