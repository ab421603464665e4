#include "logic/program/debug_settings.h"

namespace ombrix {

DebugSettings ParkDebugSettings(RunDebugger& debugger) {
  DebugSettings parked{debugger.Breakpoints(), debugger.Watches(), debugger.Tempo()};
  debugger.ClearBreakpoints();
  for (auto n = static_cast<int>(parked.watches.size()); n-- > 0;) debugger.RemoveWatch(n);
  debugger.SetTempo(0);
  return parked;
}

void RestoreDebugSettings(RunDebugger& debugger, const DebugSettings& settings) {
  for (const std::int32_t line : settings.breakpoints) debugger.SetBreakpoint(line, true);
  for (const Watch& watch : settings.watches) debugger.AddWatch(watch.term, watch.stop_on_change);
  debugger.SetTempo(settings.tempo);
}

}  // namespace ombrix
