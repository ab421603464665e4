// The statement interpreter: one program line per step.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "logic/complex/messages.h"
#include "logic/program/canvas.h"
#include "logic/program/drawing_state.h"
#include "logic/program/project_content.h"

namespace ombrix {

// "SetzeSkala", "LöscheBild", "SetzeFarbe", "ZeichnePunkt", "LöschePunkt",
// "ZeichneLinie", "LöscheLinie", "ZeichneKreis", "LöscheKreis", "ZeichneSkala"
inline constexpr int kCommandCount = 10;
extern const std::array<const char*, kCommandCount> CommandWords;

// Flags of the main window that the interpreter clears on a failed step.
struct RunFlags {
  bool MainRunning = false;
  bool MouseHandlerEnabled = false;
  bool MouseButtonDown = false;
};

struct BlockRecord {
  std::int32_t Kind = 0;  // 2 Solange, 3 Wiederhole, 4 Für
  std::int32_t StartLine = 0;
  std::int32_t VariableIndex = 0;
  std::int32_t RemainingCount = 0;
  std::string Condition;
  double EndValue = 0;
  double Step = 0;
};

// Per program slot: next line (0-based), argument cursor (1-based, 0 after a line
// change), and the stack of open loops.
struct InterpreterState {
  std::array<std::int32_t, 2> CurrentLine{};
  std::array<std::int32_t, 2> ArgumentCursor{};
  std::array<std::vector<BlockRecord>, 2> BlockStack;

  void ResetCounters(int slot) {
    CurrentLine[slot] = 0;
    ArgumentCursor[slot] = 0;
  }
};

// Carries out command `number` (0, 1, 3 .. 9) with its arguments; "" on success,
// else the error code ("?7").
std::string PerformCommand(int number, const TComplex* arguments, DrawingState& drawing,
                           Canvas& canvas);

class Interpreter {
 public:
  Interpreter(ProjectContent& project, DrawingState& drawing, Canvas& canvas,
              MessageBoxes& boxes, RunFlags& flags, InterpreterState& state);

  // Executes the line at CurrentLine[k] (which the caller checked is below the line
  // count). False after an error was reported; the caller stops. A Fault inside the
  // step is reported once as the top-level handler would, clears the slot's run flag
  // and answers false.
  bool ExecuteStep(int k);

  // Shows the run-time error box for the current line of program k and clears its flag.
  void ReportRunError(int k, const std::string& code);

  InterpreterState& State() { return state_; }

 private:
  ProjectContent& project_;
  DrawingState& drawing_;
  Canvas& canvas_;
  MessageBoxes& boxes_;
  RunFlags& flags_;
  InterpreterState& state_;
};

}  // namespace ombrix
