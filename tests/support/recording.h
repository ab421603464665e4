// Test doubles for the platform interfaces: they record what the logic asked for.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "logic/complex/messages.h"

namespace ombrix::testing {

struct RecordedBox {
  MessageKind kind;
  std::string text;
  std::string title;
  bool confirm = false;  // a confirmation box
};

class RecordingMessageBoxes : public MessageBoxes {
 public:
  void Show(MessageKind kind, const std::string& text, const std::string& title) override {
    if (on_show) on_show();
    boxes.push_back({kind, text, title, false});
  }
  bool Confirm(const std::string& text) override {
    if (on_show) on_show();
    boxes.push_back({MessageKind::Information, text, kConfirmationTitle, true});
    if (answers.empty()) return true;
    bool a = answers.front();
    answers.pop_front();
    return a;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const auto& b : boxes) out.push_back(b.text);
    return out;
  }
  std::vector<RecordedBox> boxes;
  std::deque<bool> answers;       // answers for Confirm; OK when empty
  std::function<void()> on_show;  // called as each box opens
};

}  // namespace ombrix::testing
