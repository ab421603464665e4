// A front end made of test doubles for the application core: pixels, recorded boxes,
// files in memory, a clock that moves only when told, and views that write down what the
// core tells them. Its event loop is the test: Slice is called where a window's timer
// would call it.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "logic/app/app_core.h"
#include "logic/complex/num_text.h"
#include "tests/program/debug_world.h"
#include "tests/project/project_world.h"
#include "tests/support/recording.h"
#include "tests/support/tables.h"

namespace ombrix::testing {

// What the views were told, in order, and the parts such a list is made of.
using Told = std::vector<std::string>;
inline Told Join(const std::vector<Told>& parts) {
  Told all;
  for (const Told& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}
// The main program stopped: its switch off, no slice due, the drawing on show.
inline const Told kStopped{"switches: main off", "waits", "show drawing"};

struct AppWorld final : RunView, LiveView {
  AppWorld() {
    SetDecimalSeparator(',');
    AddVariable(core.runtime.Project().variables, "x");
    core.scheduler.SetView(this);
    core.live.SetView(this);
  }
  ~AppWorld() override {
    core.scheduler.SetView(nullptr);
    core.live.SetView(nullptr);
  }

  PixelCanvas picture;
  RecordingMessageBoxes boxes;
  MemoryFileStore files;
  std::chrono::steady_clock::time_point now{std::chrono::hours(1)};
  std::chrono::milliseconds tick{0};  // what each reading of the clock moves it
  AppCore core{{picture, boxes, files, [this] { return now += tick; }}};
  StepBudget budget{1000, std::nullopt};  // of each slice
  Told told;                              // what the views were told, in order
  bool blocked = false;                   // a box or a dialog is open
  std::function<void()> on_turn;          // the front end's events inside a long line

  ProgramText& Main() { return core.runtime.Project().programs[MainProgram]; }
  ProgramText& Mouse() { return core.runtime.Project().programs[MouseHandlerProgram]; }
  // Slices until the main program no longer runs (or a bound).
  void RunToEnd() {
    for (int i = 0; i < 1000 && core.scheduler.MainRunning(); ++i) core.scheduler.Slice(budget);
  }
  // The project file `name` in the store: main program `main`, variable x at `x`.
  void WriteProject(const std::string& name, const ProgramText& main, double x = 0) {
    ProjectContent content;
    AddVariable(content.variables, "x", ComplexFromReal(x));
    content.programs[MainProgram] = main;
    std::string bytes;
    if (ProjectToBytes(content, bytes)) throw std::logic_error("cannot write " + name);
    files.files[name] = bytes;
  }

  void SwitchesChanged() override {
    told.push_back(core.scheduler.MainSwitch() ? "switches: main on" : "switches: main off");
  }
  void FirstSlice() override {
    told.emplace_back("first slice");
    core.scheduler.Slice(budget);
  }
  void RunGoesOn() override { told.emplace_back("goes on"); }
  void RunWaits() override { told.emplace_back("waits"); }
  bool Blocked() const override { return blocked; }
  void Busy(bool busy) override { told.emplace_back(busy ? "busy" : "not busy"); }
  void Turn() override {
    told.emplace_back("turn");
    if (on_turn) on_turn();
  }
  void StepFailed(int program) override { told.push_back("failed " + std::to_string(program)); }
  void EditFailedLine(int program) override { told.push_back("edit " + std::to_string(program)); }
  void HoldPicture() override { told.emplace_back("hold picture"); }
  void ShowDrawing() override { told.emplace_back("show drawing"); }
  void LiveSwitchedOff() override { told.emplace_back("live off"); }
};

}  // namespace ombrix::testing
