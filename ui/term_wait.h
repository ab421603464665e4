// Terms the window evaluates outside a run (the variable dialog's values, a slider's
// range, the watched terms and a line's rewriting): while one takes long the window
// repaints and Escape or "Abbrechen" (F2) abandons it, as they stop a long program line.
#pragma once

#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>

#include "logic/complex/interrupt.h"

class QWidget;

namespace ombrix {

class WindowHold;

class TermWait final : public Interrupt {
 public:
  explicit TermWait(QWidget& window);
  ~TermWait() override;
  TermWait(const TermWait&) = delete;
  TermWait& operator=(const TermWait&) = delete;

  // Asked inside long powers: after the first few hundredths of a second the window's
  // events are handled now and then, with its input held back but the stop keys.
  bool StopNow() override;
  // Once the evaluations are over: "Abbrechen" came with the stop.
  std::function<void()> OnAbbrechen;

 private:
  void Over();

  QWidget& window_;
  std::unique_ptr<WindowHold> hold_;
  QTimer over_;  // fires when the event loop is back, after the evaluations
  bool polling_ = false;
  bool turning_ = false;
  std::chrono::steady_clock::time_point first_poll_;
  std::chrono::steady_clock::time_point last_turn_;
};

}  // namespace ombrix
