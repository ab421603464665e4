// Arbitrary bytes as the two programs of a project: the lines before the first line
// "---" form the main program, the lines after it the mouse-click program. The main
// program is started as "Starten" does and stepped to its end, a failed step or a step
// bound; then the mouse-click program runs for two presses at different pixels. A few
// user functions and variables are preset. Failures are reported through the message
// boxes; nothing may escape ExecuteStep.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "logic/app/runtime.h"
#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"
#include "tests/support/tables.h"

namespace {

using ombrix::testing::AddFunction;
using ombrix::testing::AddVariable;

// Draws nothing; counts the calls.
class NullCanvas final : public ombrix::Canvas {
 public:
  int Width() const override { return 400; }
  int Height() const override { return 400; }
  void SetPixel(int, int, ombrix::Colour) override { ++calls; }
  void SetPenColour(ombrix::Colour) override { ++calls; }
  void MoveTo(int, int) override { ++calls; }
  void LineTo(int, int) override { ++calls; }
  void SetBrushSolid(bool) override { ++calls; }
  void FillRect(int, int, int, int) override { ++calls; }
  void Ellipse(int, int, int, int) override { ++calls; }
  std::size_t calls = 0;
};

constexpr int kMainStepBound = 2000;
constexpr std::int64_t kMouseStepBound = 50;
// A scale of 10,000 ticks per axis makes 40,000 calls in one step, which is fine for a
// window but adds up over thousands of steps under the sanitizers; past this many calls
// the run is stopped as a user would stop it.
constexpr std::size_t kCanvasCallBudget = 2000000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  // A leading "," selects the comma as the decimal separator for this input.
  ombrix::SetDecimalSeparator(!input.empty() && input[0] == ',' ? ',' : '.');

  NullCanvas canvas;
  ombrix::testing::SilentMessageBoxes boxes;
  ombrix::Runtime runtime({canvas, boxes});
  ombrix::ProjectContent& project = runtime.Project();
  AddFunction(project.functions, "f", "#^2");
  AddFunction(project.functions, "g", "f(#)+x");
  AddFunction(project.functions, "h", "Wenn(#>0;#;-#)");
  AddVariable(project.variables, "x", {0.5, -2.0});
  AddVariable(project.variables, "y", {});
  AddVariable(project.variables, "k", {3, 0});
  AddVariable(project.variables, "n", {});

  // Stored program lines hold no spaces, as the editor stores them.
  int slot = ombrix::MainProgram;
  std::size_t begin = 0;
  while (begin <= input.size()) {
    std::size_t end = input.find('\n', begin);
    if (end == std::string_view::npos) end = input.size();
    std::string_view line = input.substr(begin, end - begin);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line == "---" && slot == ombrix::MainProgram) {
      slot = ombrix::MouseHandlerProgram;
    } else {
      project.programs[slot].push_back(ombrix::RemoveSpaces(line));
    }
    begin = end + 1;
  }

  const ombrix::DrawingState& drawing = runtime.Drawing();
  ombrix::RunControl& run = runtime.Run();
  run.SetMouseStepLimit(kMouseStepBound);

  // "Starten", then the idle steps, one line at a time so that the canvas budget holds.
  run.Start();
  for (int steps = 0; steps < kMainStepBound && canvas.calls < kCanvasCallBudget; ++steps) {
    const ombrix::RunOutcome outcome = run.StepMain({1, std::nullopt});
    if (outcome == ombrix::RunOutcome::Failed) run.AfterFailure();
    if (outcome != ombrix::RunOutcome::Running || !run.MainRunning()) break;
  }

  // Two presses over the picture; a failed step switches the handler off. Records that
  // the main program left open stay below those of the handler.
  run.SetMouseProgramEnabled(true);
  for (const auto& [x, y] : {std::pair{200, 200}, std::pair{17, 383}}) {
    if (canvas.calls >= kCanvasCallBudget) break;
    run.PressMouse();
    try {
      run.MoveMouse(x, y);
    } catch (const ombrix::Fault&) {
      // A position beyond the doubles on a huge scale ends the mouse event, as the
      // window's top-level handler ends it.
      run.ReleaseMouse();
      continue;
    }
    (void)ombrix::MousePositionText(drawing.MousePosition());
    if (run.MouseProgramDue() && run.RunMouseProgram() == ombrix::RunOutcome::Failed) {
      run.AfterFailure();
    }
    run.ReleaseMouse();
  }
  return 0;
}
