// The message boxes of the window: QMessageBox with the German titles and buttons.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <utility>

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

// Passes every box on to the boxes attached, first calling `before`: the window shows what
// the programs drew before a box stops everything else. Until boxes are attached a box
// shows nothing and a question is answered "Abbrechen".
class HookedMessageBoxes final : public MessageBoxes {
 public:
  void Attach(MessageBoxes* boxes, std::function<void()> before = {}) {
    boxes_ = boxes;
    before_ = std::move(before);
  }

  void Show(MessageKind kind, const std::string& text,
            const std::string& title = kApplicationTitle) override {
    if (before_) before_();
    if (boxes_ != nullptr) boxes_->Show(kind, text, title);
  }
  bool Confirm(const std::string& text) override {
    if (before_) before_();
    return boxes_ != nullptr && boxes_->Confirm(text);
  }

 private:
  MessageBoxes* boxes_ = nullptr;
  std::function<void()> before_;
};

}  // namespace ombrix
