#include "logic/app/live_restart.h"

namespace ombrix {

LiveRestart::LiveRestart(RunScheduler& scheduler, ProjectDocument& document, const Runtime& runtime)
    : scheduler_(scheduler), document_(document), runtime_(runtime) {}

void LiveRestart::SetView(LiveView* view) { view_ = view != nullptr ? view : &default_view_; }

void LiveRestart::ControlChanged(bool dragging) {
  document_.MarkChanged();
  if (!document_.Controls().live) return;
  // While a handle is held, a picture that is being drawn is finished first; the newest
  // value is taken when it is done, or when the handle is let go.
  if (dragging && active_ && scheduler_.MainRunning()) {
    pending_ = true;
    return;
  }
  Restart();
}

void LiveRestart::DragEnded() {
  if (pending_) Restart();
}

void LiveRestart::Restart() {
  pending_ = false;
  if (!scheduler_.MayStepNow()) return;
  view_->HoldPicture();
  restarting_ = true;
  if (scheduler_.MainRunning()) scheduler_.Stop();
  restarting_ = false;
  active_ = true;
  started_ = runtime_.Clock()();
  scheduler_.Start();
}

void LiveRestart::Stopped() {
  if (restarting_) return;
  active_ = false;
  pending_ = false;
  view_->ShowDrawing();
}

bool LiveRestart::ReportEnd() {
  pending_at_end_ = pending_;
  return !active_;
}

void LiveRestart::EndedQuietly() {
  ++pictures_;
  if (pending_at_end_) Restart();  // the value the handle reached while it was drawn
}

void LiveRestart::Failed() {
  if (!active_) return;
  // The failure's box has been shown once; more changes would show it again.
  document_.Controls().live = false;
  view_->LiveSwitchedOff();
}

void LiveRestart::GoesOn() {
  if (active_ && runtime_.Clock()() - started_ > kLiveHoldLimit) view_->ShowDrawing();
}

}  // namespace ombrix
