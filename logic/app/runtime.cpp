#include "logic/app/runtime.h"

namespace ombrix {

Runtime::Runtime(const RuntimeParts& parts)
    : picture_(parts.picture),
      boxes_(parts.boxes),
      history_(parts.picture),
      interpreter_(project_, drawing_, history_, parts.boxes, flags_, state_),
      run_(interpreter_, project_, drawing_, flags_, state_),
      debugger_(run_, interpreter_, project_, drawing_, state_, history_) {
  drawing_.AttachPicture(&parts.picture);
  SetClock(parts.clock);
}

void Runtime::SetClock(const SliceClock::Clock& clock) {
  clock_ = clock;
  run_.SetMouseClock(clock);
  debugger_.SetClock(clock);  // the slices' and the tempo's
}

}  // namespace ombrix
