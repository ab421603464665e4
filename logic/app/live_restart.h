// Controls with "live" on: every change of a start value starts the main program anew as
// "Starten" does, abandoning a run still going and without the success message, while the
// last finished picture stays on show until the new one is done (or has taken long).
// While a handle is held, the picture being drawn is finished first and the newest value
// then starts the next one (at the latest when the handle is let go). A failure switches
// "live" off: its box is shown once.
#pragma once

#include <chrono>
#include <cstdint>

#include "logic/app/project_document.h"
#include "logic/app/run_scheduler.h"

namespace ombrix {

// A live run that takes longer than this shows its drawing instead of the last picture,
// so that a long or endless main program is not hidden behind it.
inline constexpr std::chrono::milliseconds kLiveHoldLimit{1500};

// What a front end shows of the live restart. Every member does nothing by default.
class LiveView {
 public:
  virtual ~LiveView() = default;
  // Keep showing the picture as it is now while the programs draw anew.
  virtual void HoldPicture() {}
  // Show what the programs draw again.
  virtual void ShowDrawing() {}
  // A failure switched "live" off (a drag under way ends too).
  virtual void LiveSwitchedOff() {}
};

class LiveRestart final : public RunListener {
 public:
  LiveRestart(RunScheduler& scheduler, ProjectDocument& document, const Runtime& runtime);
  LiveRestart(const LiveRestart&) = delete;
  LiveRestart& operator=(const LiveRestart&) = delete;

  void SetView(LiveView* view);  // none: a view that shows nothing

  // A control set a start value: the project has changed, and with "live" on the run
  // starts anew; `dragging` while a handle or a slider is held.
  void ControlChanged(bool dragging);
  // The handle or slider was let go: a change that waited starts the run now.
  void DragEnded();
  // Starts anew now, unless a step or a box is under way (then the next change does).
  void Restart();

  bool Active() const { return active_; }                      // the run is a live one
  std::int64_t PicturesFinished() const { return pictures_; }  // live runs that ended

  void Stopped() override;
  [[nodiscard]] bool ReportEnd() override;
  void EndedQuietly() override;
  void Failed() override;
  void GoesOn() override;

 private:
  RunScheduler& scheduler_;
  ProjectDocument& document_;
  const Runtime& runtime_;  // its clock
  LiveView default_view_;
  LiveView* view_ = &default_view_;
  bool active_ = false;
  std::int64_t pictures_ = 0;
  bool pending_ = false;         // a change while dragging waits for the picture
  bool pending_at_end_ = false;  // ... and the picture has just been finished
  bool restarting_ = false;      // the stop is Restart's own
  std::chrono::steady_clock::time_point started_{};
};

}  // namespace ombrix
