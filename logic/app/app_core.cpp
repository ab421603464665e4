#include "logic/app/app_core.h"

namespace ombrix {

AppCore::AppCore(const AppParts& parts)
    : runtime({parts.picture, parts.boxes, parts.clock}),
      document(runtime, parts.files),
      scheduler(runtime),
      live(scheduler, document, runtime) {
  scheduler.SetListener(&live);
}

bool AppCore::ReadyToOpen() {
  scheduler.SwitchOffBoth();
  return document.MayDiscard();
}

}  // namespace ombrix
