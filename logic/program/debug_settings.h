// What a run window sets on the debugger (breakpoints, watched terms, the tempo) belongs
// to the window and to its project: it acts only while the window is open, waits here
// while the window is closed, and a new or another project forgets it.
#pragma once

#include <cstdint>
#include <vector>

#include "logic/program/run_debug.h"

namespace ombrix {

struct DebugSettings {
  std::vector<std::int32_t> breakpoints;
  std::vector<Watch> watches;  // their terms and "stop on change"
  int tempo = 0;
};

// Takes the settings off the debugger: until they are restored a run goes at full speed
// and pauses on none of them. Discarded, they are forgotten.
DebugSettings ParkDebugSettings(RunDebugger& debugger);
// Puts parked settings back (the run window opens again).
void RestoreDebugSettings(RunDebugger& debugger, const DebugSettings& settings);

}  // namespace ombrix
