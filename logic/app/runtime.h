// The one owner of a running Ombrix: the project's content, the drawing state, the run
// flags, the interpreter with its state, the run engine, the history's canvas and the
// debugger, wired to each other once. A front end supplies only its platform pieces (the
// picture, the message boxes, a clock) and drives the run through Run() and Debugger().
#pragma once

#include <chrono>

#include "logic/complex/messages.h"
#include "logic/program/canvas.h"
#include "logic/program/drawing_state.h"
#include "logic/program/history_canvas.h"
#include "logic/program/interpreter.h"
#include "logic/program/project_content.h"
#include "logic/program/run_control.h"
#include "logic/program/run_debug.h"
#include "logic/program/slice_clock.h"

namespace ombrix {

// What a front end supplies. The programs draw on `picture` (through the history's
// canvas, so that a step can be undone when the picture reads its pixels back), and the
// drawing state takes the picture's size from it; every box goes through `boxes`; the
// slices' time budget, the mouse-click run's time bound and the tempo read `clock`.
struct RuntimeParts {
  Canvas& picture;
  MessageBoxes& boxes;
  SliceClock::Clock clock = &std::chrono::steady_clock::now;
};

class Runtime {
 public:
  explicit Runtime(const RuntimeParts& parts);
  Runtime(const Runtime&) = delete;
  Runtime& operator=(const Runtime&) = delete;

  ProjectContent& Project() { return project_; }
  const ProjectContent& Project() const { return project_; }
  DrawingState& Drawing() { return drawing_; }
  const DrawingState& Drawing() const { return drawing_; }
  RunFlags& Flags() { return flags_; }
  InterpreterState& State() { return state_; }
  const InterpreterState& State() const { return state_; }
  Interpreter& Interp() { return interpreter_; }
  RunControl& Run() { return run_; }
  HistoryCanvas& History() { return history_; }
  RunDebugger& Debugger() { return debugger_; }
  Canvas& Picture() { return picture_; }
  MessageBoxes& Boxes() { return boxes_; }

  // One clock for the slices, the mouse-click run's bound and the tempo.
  void SetClock(const SliceClock::Clock& clock);
  const SliceClock::Clock& Clock() const { return clock_; }

 private:
  Canvas& picture_;
  MessageBoxes& boxes_;
  ProjectContent project_;
  DrawingState drawing_;
  RunFlags flags_;
  InterpreterState state_;
  HistoryCanvas history_;
  Interpreter interpreter_;
  RunControl run_;
  RunDebugger debugger_;
  SliceClock::Clock clock_;
};

}  // namespace ombrix
