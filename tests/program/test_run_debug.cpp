// Watching a run: pause, single step, continue, breakpoints, tempo, watched terms, the
// terms of a line, and a step back that restores every part of the run state.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"
#include "logic/evaluator/evaluate.h"
#include "tests/program/costed_lines.h"
#include "tests/program/debug_world.h"
#include "tests/support/example_programs.h"
#include "tests/support/program_maker.h"

namespace ombrix {
namespace {

using testing::DebugWorld;
using testing::ProgramMaker;

// Runs on at unlimited tempo to the end, a failure or `limit` pauses; the 1-based lines
// it paused before, in order.
std::vector<std::int32_t> PausesUntilEnd(DebugWorld& w, int limit = 50) {
  std::vector<std::int32_t> pauses;
  w.debugger.Start();
  for (int n = 0; n < limit; ++n) {
    const RunOutcome outcome = w.debugger.Slice({});
    if (outcome != RunOutcome::Running) break;
    if (w.debugger.State() != DebugState::Paused) break;
    pauses.push_back(w.Next());
    w.debugger.Continue();
  }
  return pauses;
}

TEST(RunDebugger, SingleStepStartsLikeStartenAndRunsOneLineAtATime) {
  SetDecimalSeparator(',');
  DebugWorld w;
  const int a = w.AddVariable("a", ComplexFromReal(2));
  w.project.variables.SetCurrentValue(a, ComplexFromReal(99));
  w.state.CurrentLine[MouseHandlerProgram] = 4;
  w.Program({"a:=a+1", "a:=a*10"});

  EXPECT_EQ(w.debugger.SingleStep(), RunOutcome::Running);
  EXPECT_EQ(w.debugger.State(), DebugState::Paused);
  EXPECT_TRUE(w.flags.MainRunning);
  EXPECT_TRUE(w.flags.MouseHandlerEnabled);
  EXPECT_EQ(w.Value("a").Re, 2);  // start value, and no line ran yet
  EXPECT_EQ(w.Next(), 1);
  EXPECT_EQ(w.state.CurrentLine[MouseHandlerProgram], 0);
  EXPECT_EQ(w.debugger.LastPause(), PauseReason::SingleStep);

  EXPECT_EQ(w.debugger.SingleStep(), RunOutcome::Running);
  EXPECT_EQ(w.Value("a").Re, 3);
  EXPECT_EQ(w.Next(), 2);
  EXPECT_EQ(w.debugger.ChangedVariables(), std::vector<int>{a});
  EXPECT_EQ(w.debugger.LastLine(), (ProgramLine{MainProgram, 0}));

  EXPECT_EQ(w.debugger.SingleStep(), RunOutcome::Running);
  EXPECT_EQ(w.Value("a").Re, 30);
  EXPECT_EQ(w.debugger.State(), DebugState::Paused);  // paused at the end, not yet ended
  EXPECT_EQ(w.debugger.StepsRun(), 2);

  EXPECT_EQ(w.debugger.SingleStep(), RunOutcome::Ended);
  w.run.FinishMain();
  EXPECT_EQ(w.debugger.State(), DebugState::Stopped);
  EXPECT_EQ(w.boxes.Texts(), std::vector<std::string>{kMainProgramEnded});
}

TEST(RunDebugger, SingleStepOnAnEmptyProgramEndsAtOnce) {
  DebugWorld w;
  EXPECT_EQ(w.debugger.SingleStep(), RunOutcome::Ended);
}

TEST(RunDebugger, AFailedSingleStepEndsTheRunAsAFailedLineDoes) {
  SetDecimalSeparator(',');
  DebugWorld w;
  w.AddVariable("a");
  w.Program({"a:=1", "a:=q", "a:=3"});
  w.debugger.SetHistoryEnabled(true);
  (void)w.debugger.SingleStep();
  (void)w.debugger.SingleStep();
  EXPECT_EQ(w.debugger.SingleStep(), RunOutcome::Failed);
  w.run.AfterFailure();
  EXPECT_EQ(w.debugger.State(), DebugState::Stopped);
  EXPECT_FALSE(w.flags.MouseHandlerEnabled);
  EXPECT_EQ(w.debugger.LastLine(), (ProgramLine{MainProgram, 1}));
  EXPECT_EQ(w.Next(), 2);  // the editor opens on the failed line
  ASSERT_EQ(w.boxes.boxes.size(), 1u);
  EXPECT_EQ(w.debugger.StepBack(), std::string(kStepBackNotPaused));
  // The next start begins afresh, with an empty history.
  (void)w.debugger.SingleStep();
  EXPECT_EQ(w.debugger.StepBack(), std::string(kHistoryEmpty));
}

TEST(RunDebugger, AWatchThatFaultsShowsTheFault) {
  DebugWorld w;
  w.debugger.AddWatch("1e2e3+1");
  EXPECT_NE(w.debugger.Watches()[0].text.find("1e2e3"), std::string::npos)
      << w.debugger.Watches()[0].text;
  EXPECT_TRUE(w.boxes.boxes.empty());
  w.debugger.SetWatchTerm(0, "2+2");
  EXPECT_EQ(w.debugger.Watches()[0].text, "4");
  w.debugger.RemoveWatch(5);  // no such watch: nothing happens
  w.debugger.RemoveWatch(0);
  EXPECT_TRUE(w.debugger.Watches().empty());
}

TEST(RunDebugger, PausedCountsAsRunning) {
  SetDecimalSeparator(',');
  DebugWorld w;
  w.AddVariable("a");
  w.AddVariable("m");
  w.Program({"a:=a+1", "a:=a+1"});
  w.Program({"m:=m+1"}, MouseHandlerProgram);
  w.debugger.Start();
  w.debugger.Pause();
  ASSERT_EQ(w.debugger.State(), DebugState::Paused);
  EXPECT_TRUE(w.run.MainRunning());  // the actions stay locked, both boxes stay checked

  // No main line runs while paused, whatever the budget.
  EXPECT_EQ(w.debugger.Slice({}), RunOutcome::Running);
  EXPECT_EQ(w.Value("a").Re, 0);

  // The mouse-click program runs as a whole on a click.
  w.run.PressMouse();
  w.run.MoveMouse(10, 10);
  ASSERT_TRUE(w.run.MouseProgramDue());
  EXPECT_EQ(w.debugger.RunMouseProgram(), RunOutcome::Ended);
  EXPECT_EQ(w.Value("m").Re, 1);
  EXPECT_EQ(w.debugger.State(), DebugState::Paused);

  // "Abbrechen" ends the paused run as it ends a running one.
  w.run.Stop();
  EXPECT_EQ(w.debugger.State(), DebugState::Stopped);
  EXPECT_TRUE(w.flags.MouseHandlerEnabled);
  EXPECT_EQ(w.Value("a").Re, 0);
}

TEST(RunDebugger, StartedThroughRunControlForgetsThePause) {
  DebugWorld w;
  w.AddVariable("a");
  w.Program({"a:=a+1", "a:=a+1"});
  (void)w.debugger.SingleStep();
  w.run.Stop();
  w.run.Start();  // a front end that starts without the debugger
  EXPECT_EQ(w.debugger.State(), DebugState::Running);
  EXPECT_EQ(w.debugger.Slice({}), RunOutcome::Ended);
  EXPECT_EQ(w.Value("a").Re, 2);
}

TEST(RunDebugger, BreakpointsPauseBeforeTheirLine) {
  struct Row {
    const char* name;
    std::vector<std::string> program;
    std::vector<std::int32_t> breakpoints;  // 1-based
    std::vector<std::int32_t> pauses;       // 1-based, in order
  };
  const std::vector<Row> rows = {
      {"a loop body pauses at every pass",
       {"Wiederhole(3)", "n:=n+1", "EndeWiederhole"},
       {2},
       {2, 2, 2}},
      {"the first line pauses at once", {"n:=1", "n:=2"}, {1}, {1}},
      {"two breakpoints in order", {"n:=1", "n:=2", "n:=3"}, {3, 2}, {2, 3}},
      {"a line beyond the end is never met", {"n:=1"}, {9}, {}},
      {"a skipped branch is never met", {"Wenn(0)", "n:=1", "EndeWenn", "n:=2"}, {2}, {}},
      {"the closing line of a loop", {"F\xFCr(n;1;2;1)", "EndeF\xFCr"}, {2}, {2, 2}},
  };
  for (const Row& row : rows) {
    DebugWorld w;
    w.AddVariable("n");
    w.Program(row.program);
    for (const std::int32_t line : row.breakpoints) w.debugger.SetBreakpoint(line - 1, true);
    EXPECT_EQ(PausesUntilEnd(w), row.pauses) << row.name;
    EXPECT_EQ(w.debugger.Slice({}), RunOutcome::Ended) << row.name;
  }
}

TEST(RunDebugger, BreakpointsSurviveEditingWhereTheLineStillExists) {
  DebugWorld w;
  w.Program({"n:=1", "n:=2", "n:=3"});
  w.debugger.ToggleBreakpoint(2);
  w.debugger.ToggleBreakpoint(0);
  w.debugger.ToggleBreakpoint(0);  // off again
  EXPECT_EQ(w.debugger.Breakpoints(), std::vector<std::int32_t>{2});
  w.Program({"n:=1", "n:=2"});
  EXPECT_TRUE(w.debugger.Breakpoints().empty());
  w.Program({"n:=1", "n:=2", "n:=5", "n:=6"});
  EXPECT_EQ(w.debugger.Breakpoints(), std::vector<std::int32_t>{2});
}

TEST(RunDebugger, AWatchMarkedStopOnChangePausesAfterTheStepThatChangedIt) {
  SetDecimalSeparator(',');
  DebugWorld w;
  w.AddVariable("k");
  w.AddVariable("m");
  w.Program({"F\xFCr(k;1;5;1)", "m:=m+k", "EndeF\xFCr"});
  w.debugger.AddWatch("m");  // changes often, but does not stop the run
  w.debugger.AddWatch("m>5", true);
  w.debugger.Start();
  EXPECT_EQ(w.debugger.Slice({}), RunOutcome::Running);
  ASSERT_EQ(w.debugger.State(), DebugState::Paused);
  EXPECT_EQ(w.debugger.LastPause(), PauseReason::WatchChanged);
  EXPECT_EQ(w.Value("m").Re, 6);  // 1 + 2 + 3
  EXPECT_EQ(w.debugger.Watches()[1].text, "1");
  EXPECT_TRUE(w.debugger.Watches()[1].changed);
  EXPECT_EQ(w.debugger.Watches()[0].text, "6");
  w.debugger.Continue();
  EXPECT_EQ(w.debugger.Slice({}), RunOutcome::Ended);
  EXPECT_EQ(w.debugger.Watches()[0].text, "15");
}

// The system's settings change the separator during a run: only a new value stops it.
TEST(RunDebugger, AWatchDoesNotStopForANewDecimalSeparatorAlone) {
  SetDecimalSeparator(',');
  DebugWorld w;
  w.AddVariable("a", ComplexFromReal(1.5));
  w.Program({"a:=a", "a:=a", "a:=a*2"});
  w.debugger.AddWatch("a", true);
  (void)w.debugger.SingleStep();
  SetDecimalSeparator('.');
  w.debugger.Continue();
  EXPECT_EQ(w.debugger.Slice({}), RunOutcome::Running);
  EXPECT_EQ(w.Value("a").Re, 3);  // paused after the doubling, not before
  SetDecimalSeparator(',');
}

TEST(RunDebugger, WatchesChangeNothing) {
  SetDecimalSeparator(',');
  struct Row {
    const char* name;
    const char* term;
    const char* text;  // what the watch shows
  };
  const std::vector<Row> rows = {
      {"a value in display form", "a*2", "3"},
      {"an error's message", "q+1", "? Unbekannter Funktionsname"},
      {"a box becomes the text", "(1e-7)^-2", "Leider Division durch Null aufgetreten!"},
      {"a mouse position", "MausPos()", "1+2*i"},
  };
  DebugWorld w;
  w.AddVariable("a", ComplexFromReal(1.5));
  w.Program({"a:=a", "ZeichnePunkt(0)"});
  (void)w.debugger.SingleStep();
  for (const Row& row : rows) w.debugger.AddWatch(row.term);
  const testing::RunSnapshot before = w.Snapshot();
  const long calls = w.picture.calls;
  w.debugger.RefreshWatches();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(w.debugger.Watches()[i].text, rows[i].text) << rows[i].name;
  }
  EXPECT_TRUE(w.boxes.boxes.empty());
  EXPECT_EQ(w.picture.calls, calls);
  EXPECT_TRUE(w.Snapshot() == before);
}

// What a watch shows, from its text alone: the display form, the error's message, the
// first box the evaluation would open, or the fault's message.
std::string DisplayFromText(DebugWorld& w, const std::string& term) {
  testing::RecordingMessageBoxes boxes;
  const EvalContext context{w.project.functions, w.project.variables, w.drawing, boxes};
  std::string text;
  try {
    text = EvaluateForDisplay(term, context);
  } catch (const Fault& fault) {
    text = FaultDisplayText(fault.what());
  }
  return boxes.boxes.empty() ? text : boxes.boxes.front().text;
}

// After every step (and every mouse-click run between steps), each watch shows what its
// term gives read from its text, and is marked changed exactly when that differs from
// after the step before; a watch marked "stop on change" pauses the run after the first
// such step, however the value came to change.
TEST(RunDebugger, WatchesFollowEveryWayAValueCanChange) {
  SetDecimalSeparator(',');
  struct Row {
    const char* name;
    std::vector<std::string> program;
    std::vector<std::string> mouse_program;  // run after every third step
    std::string term;
  };
  const std::vector<Row> rows = {
      {"a variable it reads", {"F\xFCr(k;1;4;1)", "m:=m+k", "EndeF\xFCr"}, {}, "m*2"},
      {"only variables it does not read", {"F\xFCr(k;1;4;1)", "m:=m+k", "EndeF\xFCr"}, {}, "3"},
      {"through a function", {"F\xFCr(k;1;4;1)", "a:=a+1", "EndeF\xFCr"}, {}, "f(2)"},
      {"through MausPos", {"F\xFCr(k;1;9;1)", "EndeF\xFCr"}, {"m:=m"}, "MausPos()"},
      {"through a scale change",
       {"F\xFCr(k;1;3;1)", "SetzeSkala(-k;k;-5;5)", "EndeF\xFCr"},
       {},
       "ReMin()+DeltaRe()"},
      {"a comparison", {"F\xFCr(k;1;6;1)", "EndeF\xFCr"}, {}, "k>3"},
      {"an error that comes and goes", {"F\xFCr(k;-2;2;1)", "EndeF\xFCr"}, {}, "Wurzel(k)"},
      {"a box", {"F\xFCr(k;1;3;1)", "m:=k-2", "EndeF\xFCr"}, {}, "1/m"},
      {"digits beyond the fifteenth", {"Wiederhole(4)", "m:=m+1e-16", "EndeWiederhole"}, {}, "1+m"},
  };
  for (const bool stop : {false, true}) {
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(row.name) + (stop ? ", stop on change" : ""));
      DebugWorld w;
      for (const char* name : {"k", "m", "a"}) w.AddVariable(name);
      testing::AddFunction(w.project.functions, "f", "#+a");
      w.Program(row.program);
      w.Program(row.mouse_program, MouseHandlerProgram);
      w.debugger.SetHistoryEnabled(true);
      w.debugger.Start();
      w.debugger.AddWatch(row.term, stop);
      std::string before = DisplayFromText(w, row.term);
      for (int step = 1; step < 60 && w.debugger.State() != DebugState::Stopped; ++step) {
        SCOPED_TRACE(step);
        if (step % 3 == 0 && !row.mouse_program.empty()) {
          w.run.MoveMouse(step * 7, 400 - step * 5);
          (void)w.debugger.RunMouseProgram();
        } else if (stop) {
          w.debugger.Continue();
          if (w.debugger.Slice({1, std::nullopt}) != RunOutcome::Running) break;
        } else if (w.debugger.SingleStep() != RunOutcome::Running) {
          break;
        }
        const std::string now = DisplayFromText(w, row.term);
        const Watch& watch = w.debugger.Watches()[0];
        EXPECT_EQ(watch.text, now);
        EXPECT_EQ(watch.changed, now != before);
        if (stop) {
          EXPECT_EQ(w.debugger.State() == DebugState::Paused, now != before);
        }
        before = now;
      }
    }
  }
}

TEST(RunDebugger, TempoBoundsTheLinesPerSecond) {
  DebugWorld w;
  w.AddVariable("n");
  w.Program({"Wiederhole(100)", "n:=n+1", "EndeWiederhole"});
  auto now = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
  w.debugger.SetClock([&] { return now; });
  w.debugger.SetTempo(4);  // one line every 250 ms
  w.debugger.Start();
  (void)w.debugger.Slice({});
  EXPECT_EQ(w.debugger.StepsRun(), 1);
  now += std::chrono::milliseconds(100);
  (void)w.debugger.Slice({});
  EXPECT_EQ(w.debugger.StepsRun(), 1);
  EXPECT_EQ(w.debugger.UntilNextLine(), std::chrono::milliseconds(150));
  now += std::chrono::milliseconds(150);
  (void)w.debugger.Slice({});
  EXPECT_EQ(w.debugger.StepsRun(), 2);
  w.debugger.SetTempo(0);
  EXPECT_EQ(w.debugger.Slice({}), RunOutcome::Ended);
  EXPECT_EQ(w.Value("n").Re, 100);
}

TEST(RunDebugger, TermsOfALine) {
  struct Row {
    const char* name;
    const char* line;
    std::vector<std::string> terms;
  };
  const std::vector<Row> rows = {
      {"an assignment's right side", "a:=a+1", {"a+1"}},
      {"a command's arguments", "ZeichneLinie(a;b*(1;2))", {"a", "b*(1;2)"}},
      {"the bounds of a loop", "F\xFCr(a;1;5;1)", {"1", "5", "1"}},
      {"a condition", "Wenn(a>1)", {"a>1"}},
      {"a command without arguments", "L\xF6scheBild", {}},
      {"a closing keyword", "EndeWenn", {}},
  };
  DebugWorld w;
  for (const Row& row : rows) {
    w.Program({row.line});
    EXPECT_EQ(w.debugger.TermsOfLine({MainProgram, 0}), row.terms) << row.name;
  }
  EXPECT_TRUE(w.debugger.TermsOfLine({MainProgram, 1}).empty());
  EXPECT_TRUE(w.debugger.TermsOfLine({7, 0}).empty());
}

TEST(RunDebugger, TheClosingLineOfALoopShowsItsCondition) {
  SetDecimalSeparator(',');
  DebugWorld w;
  w.AddVariable("n");
  w.Program({"Solange(n<2)", "n:=n+1", "EndeSolange"});
  (void)w.debugger.SingleStep();
  (void)w.debugger.SingleStep();
  (void)w.debugger.SingleStep();
  EXPECT_EQ(w.debugger.TermsOfLine(w.debugger.NextLine()), std::vector<std::string>{"n<2"});
  EXPECT_EQ(w.debugger.Rewriting("n<2"), (std::vector<std::string>{"n<2", "[1|0]<[2|0]", "1"}));
}

TEST(RunDebugger, TheLineListenerSeesEveryLineAndWhatTheOneBeforeChanged) {
  SetDecimalSeparator(',');
  DebugWorld w;
  const int a = w.AddVariable("a");
  const int b = w.AddVariable("b");
  w.Program({"a:=1", "b:=2", "b:=2"});
  w.Program({"a:=5"}, MouseHandlerProgram);
  std::vector<std::string> lines;
  w.debugger.SetLineListener([&](const RunDebugger::LineEvent& event) {
    std::string text = (event.line.program == MainProgram ? "H " : "M ") +
                       std::to_string(event.line.line + 1) + ":";
    for (const int j : event.changed) text += " " + std::to_string(j);
    lines.push_back(text);
  });
  w.debugger.Start();
  (void)w.debugger.Slice({2, std::nullopt});
  w.run.PressMouse();
  (void)w.debugger.RunMouseProgram();
  EXPECT_EQ(w.debugger.Slice({}), RunOutcome::Ended);
  const std::string sa = std::to_string(a), sb = std::to_string(b);
  EXPECT_EQ(lines, (std::vector<std::string>{"H 1:", "H 2: " + sa, "M 1: " + sb, "H 3: " + sa}));
}

// --- Step back ---

void SetUpRandomWorld(DebugWorld& w, const std::vector<std::string>& program) {
  w.AddVariable("a", ComplexFromReal(0.5));
  w.AddVariable("b", {1, -1});
  w.AddVariable("c");
  w.Program(program);
  w.debugger.SetHistoryEnabled(true);
}

// The Julia drawing's variables and `program`, or a random program's world.
void SetUpJuliaOrRandom(DebugWorld& w, bool julia, const std::vector<std::string>& program) {
  if (!julia) return SetUpRandomWorld(w, program);
  for (const char* name : {"x", "y", "p", "z", "c", "n"}) w.AddVariable(name);
  w.Program(program);
  w.debugger.SetHistoryEnabled(true);
}

// Started by a single step and then `steps` more; the steps that ran while paused.
int StepFreshly(DebugWorld& w, int steps) {
  (void)w.debugger.SingleStep();
  int done = 0;
  while (done < steps && w.debugger.State() == DebugState::Paused && !w.run.MainAtEnd()) {
    if (w.debugger.SingleStep() != RunOutcome::Running) break;
    if (w.debugger.State() != DebugState::Paused) break;
    ++done;
  }
  return done;
}

TEST(RunDebugger, StepBackRestoresWhatAFreshRunHasAtThatStep) {
  SetDecimalSeparator(',');
  std::mt19937 random(5);
  int compared = 0;
  for (std::uint32_t seed = 1; seed <= 150; ++seed) {
    const std::vector<std::string> program = ProgramMaker(seed).Program();
    DebugWorld stepped;
    SetUpRandomWorld(stepped, program);
    const int done = StepFreshly(stepped, 1 + static_cast<int>(random() % 300));
    if (done == 0 || stepped.debugger.State() != DebugState::Paused) continue;
    const int back = 1 + static_cast<int>(random() % static_cast<unsigned>(done));
    for (int i = 0; i < back; ++i) {
      ASSERT_EQ(stepped.debugger.StepBack(), std::nullopt) << "seed " << seed << " back " << i;
    }
    DebugWorld fresh;
    SetUpRandomWorld(fresh, program);
    ASSERT_EQ(StepFreshly(fresh, done - back), done - back);
    ASSERT_TRUE(stepped.Snapshot() == fresh.Snapshot())
        << "seed " << seed << ", " << done << " steps, " << back << " back";
    EXPECT_EQ(stepped.debugger.StepsRun(), fresh.debugger.StepsRun());
    // And on again from there: the same as the fresh run going on.
    StepFreshly(stepped, 0);
    ++compared;
  }
  EXPECT_GT(compared, 80);
}

TEST(RunDebugger, AMouseClickRunIsOneStepOfTheHistory) {
  SetDecimalSeparator(',');
  const std::vector<std::string> program = {"Wiederhole(50)", "a:=a+1", "ZeichnePunkt(a/10)",
                                            "EndeWiederhole"};
  DebugWorld w;
  SetUpRandomWorld(w, program);
  w.Program({"b:=b*2", "ZeichneKreis(0;b)", "Wiederhole(3)"}, MouseHandlerProgram);
  StepFreshly(w, 5);
  w.run.PressMouse();
  w.run.MoveMouse(3, 4);
  ASSERT_EQ(w.debugger.RunMouseProgram(), RunOutcome::Ended);
  for (int i = 0; i < 3; ++i) (void)w.debugger.SingleStep();
  EXPECT_EQ(w.debugger.HistorySteps(), 9u);  // 5 steps, the mouse-click run, 3 steps
  for (int i = 0; i < 4; ++i) ASSERT_EQ(w.debugger.StepBack(), std::nullopt);

  DebugWorld fresh;
  SetUpRandomWorld(fresh, program);
  StepFreshly(fresh, 5);
  fresh.run.MoveMouse(3, 4);
  EXPECT_TRUE(w.Snapshot() == fresh.Snapshot());
}

TEST(RunDebugger, StepBackSaysWhyItCannot) {
  DebugWorld w;
  w.AddVariable("a");
  w.Program({"a:=1", "a:=2", "a:=3"});
  EXPECT_EQ(w.debugger.StepBack(), std::string(kStepBackNotPaused));
  w.debugger.SetHistoryEnabled(true);
  (void)w.debugger.SingleStep();
  EXPECT_EQ(w.debugger.StepBack(), std::string(kHistoryEmpty));
  (void)w.debugger.SingleStep();
  w.debugger.Continue();
  EXPECT_EQ(w.debugger.StepBack(), std::string(kStepBackNotPaused));  // running
  w.debugger.Pause();
  EXPECT_EQ(w.debugger.StepBack(), std::nullopt);
  EXPECT_EQ(w.Next(), 1);
  EXPECT_EQ(w.debugger.LastPause(), PauseReason::SteppedBack);

  // Without a picture that reads back there is no history at all.
  DebugWorld blind;
  blind.picture.readable = false;
  blind.debugger.SetHistoryEnabled(true);
  EXPECT_FALSE(blind.debugger.HistoryEnabled());
}

TEST(RunDebugger, TheHistoryKeepsToItsBound) {
  SetDecimalSeparator(',');
  DebugWorld w;
  w.AddVariable("a");
  w.Program({"Wiederhole(100000)", "a:=a+1", "ZeichnePunkt(a/100-2)", "EndeWiederhole"});
  w.debugger.SetHistoryEnabled(true);
  w.debugger.SetHistoryLimit(8192);
  (void)w.debugger.SingleStep();
  for (int i = 0; i < 1000; ++i) (void)w.debugger.SingleStep();
  EXPECT_LE(w.debugger.HistoryBytes(), 8192u);
  const std::size_t kept = w.debugger.HistorySteps();
  EXPECT_GT(kept, 10u);
  EXPECT_LT(kept, 1000u);
  for (std::size_t i = 0; i < kept; ++i) ASSERT_EQ(w.debugger.StepBack(), std::nullopt);
  EXPECT_EQ(w.debugger.StepBack(), std::string(kHistoryExhausted));
  EXPECT_EQ(w.debugger.HistoryBytes(), 0u);

  // A step larger than the whole bound is not kept, and nothing before it either (the
  // picture still holds the points of the steps that fell away: clearing it changes
  // about a hundred pixels, while a step that draws one point takes a few dozen bytes).
  w.Program({"ZeichnePunkt(0)", "L\xF6scheBild", "a:=1"});
  w.debugger.SetHistoryLimit(256);
  w.debugger.Start();
  w.debugger.Pause();
  (void)w.debugger.SingleStep();
  (void)w.debugger.SingleStep();
  EXPECT_EQ(w.debugger.HistorySteps(), 0u);
  EXPECT_EQ(w.debugger.StepBack(), std::string(kHistoryExhausted));
}

TEST(RunDebugger, TheDefaultBoundHoldsFarMoreThanAThousandStepsOfTheJuliaDrawing) {
  SetDecimalSeparator(',');
  const std::vector<std::string> julia = testing::JuliaProgram();
  const auto set_up = [&](DebugWorld& w) {
    for (const char* name : {"x", "y", "p", "z", "c", "n"}) w.AddVariable(name);
    w.Program(julia);
    w.debugger.SetHistoryEnabled(true);
  };
  constexpr int kSteps = 30000, kBack = 1500;
  DebugWorld w;
  set_up(w);
  ASSERT_EQ(StepFreshly(w, kSteps), kSteps);
  EXPECT_EQ(w.debugger.HistorySteps(), static_cast<std::size_t>(kSteps));
  // What a step takes, on average, leaves room for far more than a thousand steps.
  EXPECT_LT(w.debugger.HistoryBytes() / kSteps * 1000, kDefaultHistoryBytes / 50);
  for (int i = 0; i < kBack; ++i) ASSERT_EQ(w.debugger.StepBack(), std::nullopt);
  DebugWorld fresh;
  set_up(fresh);
  StepFreshly(fresh, kSteps - kBack);
  EXPECT_TRUE(w.Snapshot() == fresh.Snapshot());
}

// What a step takes in the history, frames included, by what it changed.
TEST(RunDebugger, AStepTakesBytesByWhatItChanged) {
  SetDecimalSeparator(',');
  struct Row {
    const char* name;
    const char* line;
    std::size_t most_bytes;
  };
  const Row rows[] = {
      {"a step that changes nothing", "a:=a", 10},
      {"a write of one half", "a:=a+1", 21},
      {"a write of both halves", "b:=b*2", 29},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    DebugWorld w;
    SetUpRandomWorld(w, std::vector<std::string>(40, row.line));
    ASSERT_EQ(StepFreshly(w, 30), 30);
    const std::size_t before = w.debugger.HistoryBytes();
    (void)w.debugger.SingleStep();
    EXPECT_LE(w.debugger.HistoryBytes() - before, row.most_bytes);
    ASSERT_EQ(w.debugger.StepBack(), std::nullopt);
    DebugWorld fresh;
    SetUpRandomWorld(fresh, std::vector<std::string>(40, row.line));
    StepFreshly(fresh, 30);
    EXPECT_TRUE(w.Snapshot() == fresh.Snapshot());
  }
}

// A step back from a history that went round its bound, its records lying across the
// end of its room, and from one filled by slices that ran many steps each: every kept
// step comes back as a run stepped one line at a time had it.
TEST(RunDebugger, StepBackAcrossTheRingsEndAndAfterLongSlices) {
  SetDecimalSeparator(',');
  const std::vector<std::string> program = {
      "Wiederhole(500)",       "a:=a+1",          "Wenn(a>3)",  "b:=b*i",        "EndeWenn",
      "ZeichnePunkt(a/100-2)", "F\xFCr(c;0;2;1)", "EndeF\xFCr", "EndeWiederhole"};
  struct Row {
    const char* name;
    std::size_t limit;
    std::int64_t slice_lines;  // 0: single steps
    bool watch;                // a watch that does not stop on change
    std::int32_t breakpoint;   // -1: none
  };
  const Row rows[] = {
      {"single steps round a small bound", 700, 0, false, -1},
      {"slices round a small bound", 700, 37, false, -1},
      {"slices under the whole bound", kDefaultHistoryBytes, 250, false, -1},
      {"slices with a watch", 4000, 50, true, -1},
      {"slices with a breakpoint past the end", 4000, 50, false, 900},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    constexpr int kSteps = 1200;
    DebugWorld w;
    SetUpRandomWorld(w, program);
    w.debugger.SetHistoryLimit(row.limit);
    if (row.watch) w.debugger.AddWatch("a+b");
    if (row.breakpoint >= 0) w.debugger.SetBreakpoint(row.breakpoint, true);
    if (row.slice_lines == 0) {
      ASSERT_EQ(StepFreshly(w, kSteps), kSteps);
    } else {
      w.debugger.Start();
      while (w.debugger.StepsRun() + row.slice_lines <= kSteps) {
        ASSERT_EQ(w.debugger.Slice({row.slice_lines, std::nullopt}), RunOutcome::Running);
      }
      while (w.debugger.StepsRun() < kSteps) (void)w.debugger.Slice({1, std::nullopt});
      w.debugger.Pause();
    }
    const std::size_t kept = w.debugger.HistorySteps();
    ASSERT_GT(kept, 5u);
    ASSERT_LE(w.debugger.HistoryBytes(), row.limit);
    for (std::size_t i = 0; i < kept; ++i) ASSERT_EQ(w.debugger.StepBack(), std::nullopt);
    EXPECT_EQ(w.debugger.StepBack(),
              std::string(kept < kSteps ? kHistoryExhausted : kHistoryEmpty));
    DebugWorld fresh;
    SetUpRandomWorld(fresh, program);
    const int back_to = kSteps - static_cast<int>(kept);
    StepFreshly(fresh, back_to);
    EXPECT_EQ(w.debugger.StepsRun(), back_to);
    EXPECT_TRUE(w.Snapshot() == fresh.Snapshot());
  }
}

// How a run goes on: `steps` main-program lines, `slice` of them at a time, and after
// each slice a mouse-click run when `mouse`.
struct Script {
  int steps;
  std::int64_t slice;
  bool mouse;
};

// Follows the script by slices at unlimited tempo (each slice one batch of lines), or
// line by line with single steps, then pauses; at most `most_events` steps of the
// history (main-program steps and mouse-click runs). The steps of the history taken, or
// -1 when a line failed; a main program that ends sooner ends the script there.
int Follow(DebugWorld& w, const Script& script, bool sliced,
           int most_events = std::numeric_limits<int>::max()) {
  if (sliced) {
    w.debugger.Start();
  } else {
    (void)w.debugger.SingleStep();
  }
  int steps = 0, events = 0;
  while (steps < script.steps && events < most_events && !w.run.MainAtEnd()) {
    const auto lines = std::min<std::int64_t>(script.slice, script.steps - steps);
    if (sliced) {
      const std::int64_t before = w.debugger.StepsRun();
      if (w.debugger.Slice({lines, std::nullopt}) == RunOutcome::Failed) return -1;
      const auto ran = static_cast<int>(w.debugger.StepsRun() - before);
      steps += ran;
      events += ran;
    } else {
      for (std::int64_t i = 0; i < lines && events < most_events && !w.run.MainAtEnd(); ++i) {
        if (w.debugger.SingleStep() == RunOutcome::Failed) return -1;
        ++steps;
        ++events;
      }
    }
    if (script.mouse && events < most_events) {
      w.run.MoveMouse(steps % 400, 7 * steps % 400);
      if (w.debugger.RunMouseProgram() != RunOutcome::Ended) return -1;
      ++events;
    }
  }
  if (sliced) w.debugger.Pause();
  return events;
}

// Slices that run many lines each keep every step as single steps do: after the slices
// the run tells the same last line and changes as a run stepped line by line, and after
// any number of steps back it stands where that run stood as many steps earlier.
TEST(RunDebugger, StepsKeptInSlicesComeBackAsSingleStepsLeftThem) {
  SetDecimalSeparator(',');
  struct Row {
    std::string name;
    std::vector<std::string> program;
    bool julia;  // the Julia drawing's variables; else those of the random programs
    Script script;
    int back;  // -1: every step the history keeps
    std::size_t limit = kDefaultHistoryBytes;
    std::vector<std::string> mouse_program = {};
    bool may_fail = false;  // a random program may fail or end at once, and is not compared then
  };
  std::vector<Row> rows = {
      {"the Julia drawing in long slices",
       testing::JuliaProgram(),
       true,
       {40000, 7000, false},
       2500},
      {"the Julia drawing in slices of a few lines",
       testing::JuliaProgram(),
       true,
       {3000, 7, false},
       -1},
      {"the Julia drawing with a mouse-click run after each slice",
       testing::JuliaProgram(),
       true,
       {6000, 500, true},
       1000,
       kDefaultHistoryBytes,
       {"n:=n*2+1", "ZeichneKreis(p;n/100)", "Wiederhole(2)", "p:=p+i"}},
      {"every kind of loop under a bound whose oldest blocks fall away",
       {"Wiederhole(900)", "a:=a+1", "Wenn(a>3)", "b:=b*i", "EndeWenn", "ZeichnePunkt(a/100-2)",
        "F\xFCr(c;0;2;1)", "Solange(c<5)", "c:=c+2", "EndeSolange", "EndeF\xFCr", "EndeWiederhole"},
       false,
       {3000, 400, false},
       -1,
       6000},
  };
  // The forms a record takes at their edges, each taken back a step, a few and all the way.
  std::vector<std::string> far = {"a:=0", "Solange(a<40)", "a:=a+1", "Wenn(a>1000)"};
  far.insert(far.end(), 200, "b:=b+1");
  far.push_back("EndeWenn");
  far.insert(far.end(), 150, "c:=c");
  far.push_back("EndeSolange");
  std::string long_condition = "(a<3)";
  while (long_condition.size() < 300) long_condition += "*(b=b)";
  const std::vector<Row> edges = {
      {"counters up by one from below 0 and at the digits' end",
       {"a:=0-1,5", "b:=9007199254740990", "c:=0", "Wiederhole(500)", "a:=a+1", "b:=b+1", "c:=c+1",
        "c:=c-1", "a:=a+i", "EndeWiederhole"},
       false,
       {1500, 250, false},
       0},
      {"jumps further than a byte both ways", far, false, {2000, 300, false}, 0},
      {"loop records of every kind, one with a long condition",
       {"F\xFCr(c;0;2;1)", "Wiederhole(2)", "Solange(" + long_condition + ")", "a:=a+1",
        "EndeSolange", "b:=b+1", "a:=0", "EndeWiederhole", "EndeF\xFCr"},
       false,
       {59, 9, false},
       0},
      {"a mouse-click program that leaves a loop open on its stack",
       {"Wiederhole(1000)", "a:=a+1", "EndeWiederhole"},
       false,
       {900, 40, true},
       0,
       kDefaultHistoryBytes,
       {"b:=b+1", "Solange(a<1000000)", "c:=c+1"}},
  };
  for (const Row& edge : edges) {
    for (const int back : {1, 8, 20, -1}) {
      rows.push_back(edge);
      rows.back().name += ", " + std::to_string(back) + " back";
      rows.back().back = back;
    }
  }
  for (std::uint32_t seed = 1; seed <= 80; ++seed) {
    rows.push_back({"random program " + std::to_string(seed),
                    ProgramMaker(seed).Program(),
                    false,
                    {1 + static_cast<int>(seed * 37 % 250), 1 + seed % 29, seed % 4 == 0},
                    static_cast<int>(seed * 13 % 200),
                    kDefaultHistoryBytes,
                    {},
                    true});
  }
  const auto set_up = [](DebugWorld& w, const Row& row) {
    SetUpJuliaOrRandom(w, row.julia, row.program);
    w.Program(row.mouse_program, MouseHandlerProgram);
    w.debugger.SetHistoryLimit(row.limit);
    w.run.PressMouse();
  };
  int compared = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    DebugWorld sliced, stepped;
    set_up(sliced, row);
    set_up(stepped, row);
    const int events = Follow(stepped, row.script, false);
    ASSERT_EQ(Follow(sliced, row.script, true), events);
    if (events <= 0 && row.may_fail) continue;  // failed, or a program of no lines
    ASSERT_GT(events, 0);
    ASSERT_EQ(sliced.debugger.State(), DebugState::Paused);
    EXPECT_TRUE(sliced.Snapshot() == stepped.Snapshot());
    EXPECT_EQ(sliced.debugger.StepsRun(), stepped.debugger.StepsRun());
    EXPECT_EQ(sliced.debugger.ChangedVariables(), stepped.debugger.ChangedVariables());
    EXPECT_EQ(sliced.debugger.LastLine(), stepped.debugger.LastLine());
    EXPECT_EQ(sliced.debugger.HistorySteps(), stepped.debugger.HistorySteps());
    const auto kept = static_cast<int>(sliced.debugger.HistorySteps());
    const int back = row.back < 0 ? kept : std::min(row.back, kept);
    for (int i = 0; i < back; ++i) ASSERT_EQ(sliced.debugger.StepBack(), std::nullopt) << i;
    DebugWorld fresh;
    set_up(fresh, row);
    ASSERT_EQ(Follow(fresh, row.script, false, events - back), events - back);
    EXPECT_TRUE(sliced.Snapshot() == fresh.Snapshot()) << back << " back";
    EXPECT_EQ(sliced.debugger.StepsRun(), fresh.debugger.StepsRun());
    if (back == kept) {
      EXPECT_EQ(sliced.debugger.StepBack(),
                std::string(kept < events ? kHistoryExhausted : kHistoryEmpty));
    }
    ++compared;
  }
  EXPECT_GT(compared, 40);
}

// What the steps of a run take in the history on average, the log's framing included: a
// step that changes nothing takes two bytes, a counter that went up by one keeps no
// value, and the Julia drawing's first steps take under fourteen bytes each, though
// most of its writes keep both halves of a value (sixteen bytes).
TEST(RunDebugger, TheStepsOfARunTakeAFewBytesEach) {
  SetDecimalSeparator(',');
  std::vector<std::string> unchanged = {"Solange(a<1000)", "a:=a+1"};
  unchanged.insert(unchanged.end(), 300, "c:=c");
  unchanged.push_back("EndeSolange");
  struct Row {
    const char* name;
    std::vector<std::string> program;
    bool julia;
    double most_bytes;  // a step on average
  };
  const Row rows[] = {
      {"counters up by one and a loop's jump back",
       {"Solange(a<100000)", "a:=a+1", "b:=b+i", "EndeSolange"},
       false,
       4},
      {"steps that change nothing, and jumps back further than a byte", unchanged, false, 2.1},
      {"the Julia drawing", testing::JuliaProgram(), true, 14},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    DebugWorld w;
    SetUpJuliaOrRandom(w, row.julia, row.program);
    w.debugger.Start();
    for (int slice = 0; slice < 30; ++slice) {
      ASSERT_EQ(w.debugger.Slice({1000, std::nullopt}), RunOutcome::Running);
    }
    ASSERT_EQ(w.debugger.HistorySteps(), 30000u);
    const double bytes = static_cast<double>(w.debugger.HistoryBytes()) / 30000;
    EXPECT_LE(bytes, row.most_bytes);
  }
}

// The debugger's slices keep to their time budget as the run engine's do, whether it
// steps line by line (a breakpoint that is never met, the history on) or not, and take
// the same steps to the same outcome as a run without a bound.
TEST(RunDebugger, TimedSlicesEndWithinTheirBudgetAndOneLine) {
  using namespace std::chrono_literals;
  SetDecimalSeparator('.');
  constexpr auto kBudget = 5ms;
  struct Way {
    const char* name;
    bool line_by_line;
  };
  for (const Way way : {Way{"idle", false}, Way{"line by line", true}}) {
    for (const testing::CostedProgram& row : testing::CostedPrograms()) {
      SCOPED_TRACE(std::string(way.name) + ", " + row.name);
      DebugWorld whole, sliced;
      for (DebugWorld* w : {&whole, &sliced}) {
        w->AddVariable("x");
        w->AddVariable("y");
        w->Program(row.lines);
        if (way.line_by_line) {
          w->debugger.SetBreakpoint(1000, true);
          w->debugger.SetHistoryEnabled(true);
        }
      }
      whole.debugger.Start();
      const RunOutcome expected = whole.debugger.Slice({});

      testing::CostedLines cost(sliced.interpreter, sliced.run, 1us, 1ms);
      sliced.debugger.Start();
      const auto [outcome, slices] = testing::RunInSlices(cost, kBudget, [&] {
        return sliced.debugger.Slice({0, kBudget});
      });
      EXPECT_EQ(outcome, expected);
      EXPECT_EQ(sliced.debugger.StepsRun(), whole.debugger.StepsRun());
      EXPECT_EQ(sliced.Snapshot(), whole.Snapshot());
      EXPECT_EQ(sliced.debugger.HistorySteps(), whole.debugger.HistorySteps());
      EXPECT_LE(sliced.run.Slices().Readings(), 4 * slices + sliced.debugger.StepsRun() / 64);
    }
  }
}

}  // namespace
}  // namespace ombrix
