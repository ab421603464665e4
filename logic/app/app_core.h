// The application core: the runtime, the project document, the run scheduler and the live
// restart, built and wired once from the platform pieces a front end supplies. The front
// end keeps its widgets (or its page) and drives the core: it chooses files, shows boxes,
// calls Slice from its event loop and shows what the core's views tell it.
#pragma once

#include <chrono>

#include "logic/app/live_restart.h"
#include "logic/app/project_document.h"
#include "logic/app/run_scheduler.h"
#include "logic/app/runtime.h"

namespace ombrix {

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
