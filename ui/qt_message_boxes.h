// The message boxes of the window: QMessageBox with the German titles and buttons.
#pragma once

#include <QPointer>
#include <QWidget>

#include "logic/complex/messages.h"

namespace ombrix {

class QtMessageBoxes final : public MessageBoxes {
 public:
  // Boxes are centred over `parent`, or over the active window while it is null.
  explicit QtMessageBoxes(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  void Show(MessageKind kind, const std::string& text,
            const std::string& title = kApplicationTitle) override;
  bool Confirm(const std::string& text) override;

 private:
  QWidget* Owner() const;
  QPointer<QWidget> parent_;
};

}  // namespace ombrix
