// A fresh world for interpreter tests: a runtime on a canvas that records its calls in the
// trace form of "ombrix-cli run", and recorded message boxes.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "logic/app/runtime.h"
#include "logic/complex/num_text.h"
#include "logic/program/interpreter.h"
#include "logic/program/run_control.h"
#include "tests/support/recording.h"
#include "tests/support/tables.h"

namespace ombrix::testing {

class RecordingCanvas final : public Canvas {
 public:
  int Width() const override { return 400; }
  int Height() const override { return 400; }
  void SetPixel(int x, int y, Colour c) override {
    Add("SetPixel " + std::to_string(x) + " " + std::to_string(y) + " " + Hex(c));
  }
  void SetPenColour(Colour c) override { Add("PenColor " + Hex(c)); }
  void MoveTo(int x, int y) override {
    Add("MoveTo " + std::to_string(x) + " " + std::to_string(y));
  }
  void LineTo(int x, int y) override {
    Add("LineTo " + std::to_string(x) + " " + std::to_string(y));
  }
  void SetBrushSolid(bool solid) override {
    Add(std::string("BrushStyle ") + (solid ? "solid" : "none"));
  }
  void FillRect(int l, int t, int r, int b) override { Add("FillRect " + Rect(l, t, r, b)); }
  void Ellipse(int l, int t, int r, int b) override { Add("Ellipse " + Rect(l, t, r, b)); }

  std::vector<std::string> calls;
  std::size_t limit = 100000;  // a runaway test keeps its memory

 private:
  void Add(std::string call) {
    if (calls.size() < limit) calls.push_back(std::move(call));
  }
  static std::string Hex(Colour c) {
    char text[8];
    std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(c));
    return text;
  }
  static std::string Rect(int l, int t, int r, int b) {
    return std::to_string(l) + " " + std::to_string(t) + " " + std::to_string(r) + " " +
           std::to_string(b);
  }
};

struct World {
  RecordingCanvas canvas;
  RecordingMessageBoxes boxes;
  Runtime runtime{{canvas, boxes}};
  ProjectContent& project = runtime.Project();
  DrawingState& drawing = runtime.Drawing();
  RunFlags& flags = runtime.Flags();
  InterpreterState& state = runtime.State();
  Interpreter& interpreter = runtime.Interp();
  RunControl& run = runtime.Run();

  // A user variable with its start value; returns its index.
  int AddVariable(const std::string& name, TComplex start = {}) {
    return testing::AddVariable(project.variables, name, start);
  }
  TComplex Value(const std::string& lowered) const {
    return project.variables.CurrentValue(project.variables.FindVariable(lowered));
  }

  // "Starten" and the steps of the main program as every front end runs them: to its
  // end, a failed step or `limit` steps. True when the program reached its end; `steps`
  // counts the steps.
  bool Run(std::vector<std::string> lines, long limit = 100000) {
    project.programs[MainProgram] = std::move(lines);
    run.Start();
    const std::int64_t before = run.LinesRun();
    const RunOutcome outcome = run.StepMain({limit, std::nullopt});
    steps = static_cast<long>(run.LinesRun() - before);
    return outcome == RunOutcome::Ended;
  }

  long steps = 0;
};

// What runs leave that a user or a later step can see, as one text: the steps, where each
// program stands, every box, every canvas call, every current value (exact bits) and both
// block stacks. Two worlds agree when their texts are equal.
inline std::string Observed(const World& w) {
  const auto bits = [](double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%a", v);
    return std::string(text);
  };
  std::string out = "steps " + std::to_string(w.steps);
  for (int k : {MainProgram, MouseHandlerProgram}) {
    out += " line " + std::to_string(w.state.CurrentLine[k]) + " cursor " +
           std::to_string(w.state.ArgumentCursor[k]) + " bytes " +
           std::to_string(w.state.block_bytes[k]);
    for (const BlockRecord& r : w.state.BlockStack[k]) {
      out += "\nrecord " + std::to_string(static_cast<int>(r.kind)) + " " +
             std::to_string(r.start_line) + " " + std::to_string(r.variable_index) + " " +
             std::to_string(r.remaining_count) + " '" + r.condition + "' " + bits(r.end_value) +
             " " + bits(r.step);
    }
  }
  for (const auto& box : w.boxes.boxes) out += "\nbox " + box.text;
  for (const auto& call : w.canvas.calls) out += "\n" + call;
  for (int j = 0; j <= w.project.variables.LastVariable(); ++j) {
    const TComplex v = w.project.variables.CurrentValue(j);
    out += "\n" + w.project.variables.Name(j) + " " + bits(v.Re) + " " + bits(v.Im);
  }
  return out;
}

// The run-error box text for line `number` (1-based) of program `slot`.
inline std::string RunError(const std::string& message, int number, const std::string& line,
                            int slot = MainProgram) {
  return message + ":\n\nZeile " + std::to_string(number) + ": '" + line + "'\n\nin: '" +
         ProgramNames[slot] + "'";
}

}  // namespace ombrix::testing
