#include "ui/term_wait.h"

#include <QWidget>

#include "ui/reader_wait.h"

namespace ombrix {

namespace {

// As inside a long program line: the window repaints and a stop comes through well
// within a tenth of a second; a term shorter than that never shows the busy cursor.
constexpr std::chrono::milliseconds kTurnInterval{30};

}  // namespace

TermWait::TermWait(QWidget& window) : window_(window) {
  over_.setSingleShot(true);
  over_.setInterval(1);  // not 0: a turn of the event loop must not meet it again at once
  QObject::connect(&over_, &QTimer::timeout, [this] { Over(); });
}

TermWait::~TermWait() = default;

bool TermWait::StopNow() {
  const auto now = std::chrono::steady_clock::now();
  if (!polling_) {
    polling_ = true;
    first_poll_ = now;
    last_turn_ = now;
    over_.start();
  }
  if (!hold_) {
    if (now - first_poll_ < kTurnInterval) return false;
    hold_ = std::make_unique<WindowHold>(window_);
  }
  // A term evaluated while the events are handled (a refresh) only asks.
  if (!turning_ && now - last_turn_ >= kTurnInterval) {
    turning_ = true;
    hold_->Turn();
    turning_ = false;
    last_turn_ = std::chrono::steady_clock::now();
  }
  return hold_->Abandoned();
}

void TermWait::Over() {
  if (turning_) {
    over_.start();  // the events of a turn: the evaluation goes on
    return;
  }
  const bool abbrechen = hold_ && hold_->AbbrechenAsked();
  const bool close = hold_ && hold_->CloseAsked();
  hold_.reset();
  polling_ = false;
  if (abbrechen && OnAbbrechen) OnAbbrechen();
  if (close) window_.close();
}

}  // namespace ombrix
