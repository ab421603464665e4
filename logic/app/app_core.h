// The application core: the runtime, the project document, the run scheduler and the live
// restart, built and wired once from the platform pieces a front end supplies. The front
// end keeps its widgets (or its page) and drives the core: it chooses files, shows boxes,
// calls Slice from its event loop and shows what the core's views tell it.
#pragma once

#include <chrono>
#include <new>

#include "logic/app/live_restart.h"
#include "logic/app/project_document.h"
#include "logic/app/run_scheduler.h"
#include "logic/app/runtime.h"
#include "logic/complex/fault.h"

namespace ombrix {

inline constexpr const char* kOutOfMemory = "Zu wenig Arbeitsspeicher";

// Runs one of a front end's event handlers: a fault that reaches it is shown as the
// top-level handler shows it, and the front end's loop goes on.
template <class Handler>
void ShowingFaults(MessageBoxes& boxes, Handler&& handler) {
  try {
    handler();
  } catch (const Fault& fault) {
    boxes.Show(MessageKind::Fault, FaultDisplayText(fault.what()));
  } catch (const std::bad_alloc&) {
    boxes.Show(MessageKind::Fault, FaultDisplayText(kOutOfMemory));
  }
}

// What a front end supplies: the picture, the boxes, its files, a clock (see RuntimeParts).
struct AppParts {
  Canvas& picture;
  MessageBoxes& boxes;
  const FileStore& files;
  SliceClock::Clock clock = &std::chrono::steady_clock::now;
};

struct AppCore {
  explicit AppCore(const AppParts& parts);
  AppCore(const AppCore&) = delete;
  AppCore& operator=(const AppCore&) = delete;

  // The first steps of opening a project or an example: both programs off, and nothing
  // unsaved is lost without the question. False when the user kept the changes.
  [[nodiscard]] bool ReadyToOpen();

  Runtime runtime;
  ProjectDocument document;
  RunScheduler scheduler;
  LiveRestart live;
};

}  // namespace ombrix
