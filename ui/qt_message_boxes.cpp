#include "ui/qt_message_boxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "platform/qt_text.h"

namespace ombrix {

namespace {

QMessageBox::Icon IconOf(MessageKind kind) {
  switch (kind) {
    case MessageKind::Error:
    case MessageKind::Fault:
      return QMessageBox::Critical;
    case MessageKind::Information:
      return QMessageBox::Information;
    case MessageKind::Plain:
      break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

QWidget* QtMessageBoxes::Owner() const {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  if (parent_) return parent_.data();
  return QApplication::activeWindow();
}

void QtMessageBoxes::Show(MessageKind kind, const std::string& text, const std::string& title) {
  QWidget* owner = Owner();
  QMessageBox box(IconOf(kind), ToQt(MessageTitle(kind, title)), ToQt(text), QMessageBox::NoButton,
                  owner);
  // A plain box under a title of its own is the window's (the about box): it shows the
  // program's icon. The plain boxes of the computations keep the application's title.
  if (kind == MessageKind::Plain && title != kApplicationTitle) {
    const QIcon icon = owner != nullptr ? owner->windowIcon() : QApplication::windowIcon();
    if (!icon.isNull()) box.setIconPixmap(icon.pixmap(64, 64));
  }
  QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  box.exec();
}

bool QtMessageBoxes::Confirm(const std::string& text) {
  QMessageBox box(QMessageBox::Question, ToQt(kConfirmationTitle), ToQt(text),
                  QMessageBox::NoButton, Owner());
  QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  QPushButton* cancel = box.addButton(QStringLiteral("Abbrechen"), QMessageBox::RejectRole);
  // Every question here is whether to throw something away: Enter must not do it.
  box.setDefaultButton(cancel);
  box.setEscapeButton(cancel);
  box.exec();
  return box.clickedButton() == ok;
}

}  // namespace ombrix
