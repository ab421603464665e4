#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logic/complex/num_text.h"
#include "logic/program/run_control.h"
#include "tests/program/costed_lines.h"
#include "tests/program/interpreter_world.h"

namespace ombrix {
namespace {

using testing::World;

class RunControlTest : public ::testing::Test {
 protected:
  void SetUp() override { SetDecimalSeparator('.'); }
};

// One call of StepMain after "Starten": what it answers, how many lines it ran and which
// flags it leaves. The success message waits for FinishMain; a failure leaves the other
// program's flag to AfterFailure.
TEST_F(RunControlTest, OneBudgetOfTheMainProgram) {
  struct Row {
    const char* name;
    std::vector<std::string> program;
    StepBudget budget;
    RunOutcome outcome;
    std::int64_t lines;
    bool main_running;
    bool mouse_enabled;
    std::size_t boxes;
  };
  const std::vector<Row> rows = {
      {"empty program ends at once", {}, {}, RunOutcome::Ended, 0, true, true, 0},
      {"runs to its end", {"x:=1", "x:=x+1"}, {}, RunOutcome::Ended, 2, true, true, 0},
      {"a line budget stops short",
       {"x:=1", "x:=2", "x:=3"},
       {2, {}},
       RunOutcome::Running,
       2,
       true,
       true,
       0},
      {"a spent time budget still runs one line",
       {"x:=1", "x:=2"},
       {0, std::chrono::nanoseconds(0)},
       RunOutcome::Running,
       1,
       true,
       true,
       0},
      {"a failed step", {"x:=1", "Unsinn"}, {}, RunOutcome::Failed, 1, false, true, 1},
      {"a line budget stops inside a loop",
       {"Solange(1)", "x:=x+1", "EndeSolange"},
       {5, {}},
       RunOutcome::Running,
       5,
       true,
       true,
       0},
      {"a failed step inside a loop counts the lines before it",
       {"Solange(1)", "x:=x+1", "Wenn(x=3)", "Unsinn", "EndeWenn", "EndeSolange"},
       {},
       RunOutcome::Failed,
       9,
       false,
       true,
       1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    World world;
    world.AddVariable("x");
    world.project.programs[MainProgram] = row.program;
    world.run.Start();
    EXPECT_EQ(world.run.StepMain(row.budget), row.outcome);
    EXPECT_EQ(world.run.LinesRun(), row.lines);
    EXPECT_EQ(world.flags.MainRunning, row.main_running);
    EXPECT_EQ(world.flags.MouseHandlerEnabled, row.mouse_enabled);
    EXPECT_EQ(world.boxes.boxes.size(), row.boxes);
  }
}

TEST_F(RunControlTest, StartTakesTheStartValuesAndTheFirstLines) {
  World world;
  const int x = world.AddVariable("x", {2, 0});
  world.project.variables.SetCurrentValue(x, {7, 0});
  world.state.CurrentLine = {5, 3};
  world.state.ArgumentCursor = {4, 4};
  world.run.Start();
  EXPECT_EQ(world.Value("x"), (TComplex{2, 0}));
  EXPECT_EQ(world.state.CurrentLine, (std::array<std::int32_t, 2>{0, 0}));
  EXPECT_EQ(world.state.ArgumentCursor, (std::array<std::int32_t, 2>{0, 0}));
  EXPECT_TRUE(world.flags.MainRunning);
  EXPECT_TRUE(world.flags.MouseHandlerEnabled);
}

TEST_F(RunControlTest, TheEndIsReportedByFinishMain) {
  World world;
  world.run.Start();
  ASSERT_EQ(world.run.StepMain({}), RunOutcome::Ended);
  world.run.FinishMain();
  EXPECT_FALSE(world.flags.MainRunning);
  EXPECT_TRUE(world.flags.MouseHandlerEnabled);  // the mouse-click program stays on
  ASSERT_EQ(world.boxes.boxes.size(), 1u);
  EXPECT_EQ(world.boxes.boxes[0].kind, MessageKind::Information);
  EXPECT_EQ(world.boxes.boxes[0].text, kMainProgramEnded);
}

// The mouse-click program runs only while the button is down and it is switched on; a
// failure switches both programs off and lets go of the button.
TEST_F(RunControlTest, TheMouseProgramAndItsFailure) {
  World world;
  world.project.programs[MouseHandlerProgram] = {"Unsinn"};
  world.run.Start();
  EXPECT_FALSE(world.run.MouseProgramDue());
  world.run.PressMouse();
  world.run.MoveMouse(200, 200);
  EXPECT_TRUE(world.run.MouseProgramDue());
  world.run.SetMouseProgramEnabled(false);
  EXPECT_FALSE(world.run.MouseProgramDue());
  world.run.SetMouseProgramEnabled(true);
  ASSERT_EQ(world.run.RunMouseProgram(), RunOutcome::Failed);
  EXPECT_TRUE(world.flags.MainRunning);
  world.run.AfterFailure();
  EXPECT_FALSE(world.flags.MainRunning);
  EXPECT_FALSE(world.flags.MouseHandlerEnabled);
  EXPECT_FALSE(world.flags.MouseButtonDown);
}

// A power of 2 000 000 products asks its interrupt about 500 times: long enough to stop.
const char* const kLongPower = "1.0000001^2000000";
std::string WithLongPower(const std::string& before, const std::string& after = "") {
  return before + kLongPower + after;
}

// A long main-program line that is stopped from inside (as "Abbrechen" comes in while the
// window handles its events) is abandoned: variables, counters, loops, scale and picture
// stay as they were before the line, and no box is shown.
TEST_F(RunControlTest, AStopInsideALineAbandonsIt) {
  struct Row {
    const char* name;
    std::vector<std::string> program;
    std::int32_t line;  // where the run stands afterwards (the abandoned line)
    double x;
    std::size_t loops;
  };
  const std::vector<Row> rows = {
      {"assignment", {"x:=1", WithLongPower("x:=")}, 1, 1, 0},
      {"command argument", {"x:=2", WithLongPower("SetzeSkala(-5;5;-5;", ")")}, 1, 2, 0},
      {"Solange condition", {WithLongPower("Solange(", ">0)"), "EndeSolange"}, 0, 0, 0},
      {"Wiederhole count", {WithLongPower("Wiederhole(", "*0+2)"), "EndeWiederhole"}, 0, 0, 0},
      {"F\xFCr bounds", {WithLongPower("F\xFCr(x;1;", ";1)"), "EndeF\xFCr"}, 0, 0, 0},
      {"condition at EndeSolange",
       {"Solange(1.0000001^(x*2000000)>0)", "x:=1", "EndeSolange"},
       2,
       1,
       1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    World world;
    world.AddVariable("x");
    world.project.programs[MainProgram] = row.program;
    int waits = 0;
    world.run.SetLineWait([&] {
      EXPECT_TRUE(world.run.LineInProgress());
      if (++waits == 3) world.run.Stop();
    });
    world.run.Start();
    const std::int64_t lines_before = row.line;
    EXPECT_EQ(world.run.StepMain({}), RunOutcome::Running);
    EXPECT_EQ(waits, 3);  // no poll after the stop
    EXPECT_FALSE(world.run.LineInProgress());
    EXPECT_FALSE(world.flags.MainRunning);
    EXPECT_EQ(world.run.LinesRun(), lines_before);
    EXPECT_EQ(world.state.CurrentLine[MainProgram], row.line);
    EXPECT_EQ(world.state.ArgumentCursor[MainProgram], 0);
    EXPECT_EQ(world.state.BlockStack[MainProgram].size(), row.loops);
    EXPECT_EQ(world.Value("x").Re, row.x);
    EXPECT_EQ(world.drawing.ReMin(), -5.0);
    EXPECT_EQ(world.drawing.ImMax(), 5.0);
    EXPECT_TRUE(world.canvas.calls.empty());
    EXPECT_TRUE(world.boxes.boxes.empty()) << world.boxes.Texts()[0];
    // Stepped without a run, the interpreter meets no interrupt of the abandoned line.
    EXPECT_EQ(world.interpreter.CurrentInterrupt(), nullptr);
  }
}

// "Starten" from inside a long line (the check box clicked twice meanwhile) abandons the
// line and leaves the new run at its start.
TEST_F(RunControlTest, AStartInsideALineAbandonsItForTheNewRun) {
  World world;
  world.AddVariable("x", {5, 0});
  world.project.programs[MainProgram] = {"x:=1", WithLongPower("x:=")};
  bool restarted = false;
  world.run.SetLineWait([&] {
    if (!restarted) {
      restarted = true;
      world.run.Stop();
      world.run.Start();
    }
  });
  world.run.Start();
  EXPECT_EQ(world.run.StepMain({}), RunOutcome::Running);
  EXPECT_TRUE(world.flags.MainRunning);
  EXPECT_EQ(world.state.CurrentLine[MainProgram], 0);
  EXPECT_EQ(world.Value("x").Re, 5.0);
  EXPECT_EQ(world.run.LinesRun(), 1);
}

// A line that is asked but not stopped gives what it gives without being asked.
TEST_F(RunControlTest, ALineThatIsNotStoppedKeepsItsResult) {
  const std::vector<std::string> program = {WithLongPower("x:="), "x:=x+1.0000002^2000000*i"};
  World asked;
  World quiet;
  for (World* world : {&asked, &quiet}) {
    world->AddVariable("x");
    world->project.programs[MainProgram] = program;
  }
  int waits = 0;
  asked.run.SetLineWait([&] { ++waits; });
  for (World* world : {&asked, &quiet}) {
    world->run.Start();
    EXPECT_EQ(world->run.StepMain({}), RunOutcome::Ended);
  }
  EXPECT_GT(waits, 2 * 400);
  EXPECT_EQ(asked.Value("x"), quiet.Value("x"));
  EXPECT_EQ(asked.run.LinesRun(), 2);
}

// The time bound of the mouse-click program holds between steps and inside a long line:
// the clock is read after every step and while the powers are formed. The message says
// that time ended the run, whatever the steps.
TEST_F(RunControlTest, TheMouseTimeBoundStopsBetweenStepsAndInsideALongLine) {
  struct Row {
    const char* name;
    std::vector<std::string> program;
    int line;  // 1-based, the line that was stopped
    std::string text;
  };
  const std::string scale =
      WithLongPower("SetzeSkala(-5-", "-" + std::string(kLongPower) + ";5;-5;5)");
  const std::vector<Row> rows = {
      {"between steps", {"Solange(1)", "EndeSolange"}, 2, "EndeSolange"},
      {"first line", {WithLongPower("x:=")}, 1, WithLongPower("x:=")},
      {"inside a loop", {"Solange(1)", scale, "EndeSolange"}, 2, scale},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    World world;
    world.AddVariable("x", {4, 0});
    world.project.variables.CopyStartToCurrent();
    world.project.programs[MouseHandlerProgram] = row.program;
    world.run.SetMouseProgramEnabled(true);
    // Each reading of the clock takes a second: the 10-second bound ends the run within
    // ten readings.
    std::chrono::steady_clock::time_point now{};
    world.run.SetMouseClock([&now] { return now += std::chrono::seconds(1); });
    EXPECT_EQ(world.run.RunMouseProgram(), RunOutcome::Failed);
    ASSERT_EQ(world.boxes.boxes.size(), 1u);
    EXPECT_EQ(world.boxes.Texts()[0],
              testing::RunError("Das Programm wurde nach 10 Sekunden abgebrochen, ohne sein Ende "
                                "zu erreichen",
                                row.line, row.text, MouseHandlerProgram));
    EXPECT_FALSE(world.flags.MouseHandlerEnabled);
    EXPECT_EQ(world.Value("x").Re, 4.0);
    EXPECT_EQ(world.drawing.ReMin(), -5.0);
    EXPECT_LE(now.time_since_epoch(), std::chrono::seconds(12));
  }
  EXPECT_EQ(kMouseHandlerTimeLimit, std::chrono::seconds(10));
}

// A long mouse-click run hands the front end a turn between its steps and inside its long
// lines; when the turn ends it, the run ends as it stands, without a box and without the
// failure's reaction, its last whole line's changes kept.
TEST_F(RunControlTest, TheMouseWaitTurnsAndMayEndTheRun) {
  struct Row {
    const char* name;
    std::vector<std::string> program;
    int ended_at_turn;  // 0: the wait never ends the run
    double x_min, x_max;
  };
  const std::vector<std::string> loop = {"Solange(x<50)", "x:=x+1", "EndeSolange"};
  const std::vector<Row> rows = {
      {"a long run that ends by itself", loop, 0, 50, 50},
      {"ended between two steps", loop, 2, 1, 49},
      {"ended inside a long line", {"x:=1", WithLongPower("x:=")}, 1, 1, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    World world;
    world.AddVariable("x");
    world.project.programs[MouseHandlerProgram] = row.program;
    world.run.SetMouseProgramEnabled(true);
    int turns = 0;
    std::chrono::steady_clock::time_point now{};
    world.run.SetMouseWait([&] { return ++turns == row.ended_at_turn; },
                           std::chrono::milliseconds(10),
                           [&now] { return now += std::chrono::milliseconds(1); });
    EXPECT_EQ(world.run.RunMouseProgram(), RunOutcome::Ended);
    EXPECT_EQ(world.run.MouseRunEndedByWait(), row.ended_at_turn > 0);
    EXPECT_FALSE(world.run.MouseRunInProgress());
    EXPECT_GE(turns, 1);
    EXPECT_GE(world.Value("x").Re, row.x_min);
    EXPECT_LE(world.Value("x").Re, row.x_max);
    EXPECT_TRUE(world.boxes.boxes.empty());
    EXPECT_TRUE(world.flags.MouseHandlerEnabled);
  }
}

// Slices of a time budget on a clock that moves only by what the lines cost: each ends
// with the first line that ends beyond its budget, the clock is read far less often than
// once per line, and the run takes the same steps to the same values and outcome as one
// without a bound.
TEST_F(RunControlTest, TimedSlicesEndWithinTheirBudgetAndOneLine) {
  using namespace std::chrono_literals;
  constexpr auto kBudget = 5ms;
  for (const testing::CostedProgram& row : testing::CostedPrograms()) {
    SCOPED_TRACE(row.name);
    World whole, sliced;
    for (World* world : {&whole, &sliced}) {
      world->AddVariable("x");
      world->AddVariable("y");
      world->project.programs[MainProgram] = row.lines;
    }
    whole.run.Start();
    const RunOutcome expected = whole.run.StepMain({});
    EXPECT_EQ(whole.run.Slices().Readings(), 0);

    testing::CostedLines cost(sliced.interpreter, sliced.run, 1us, 1ms);
    sliced.run.Start();
    const auto [outcome, slices] = testing::RunInSlices(cost, kBudget, [&] {
      return sliced.run.StepMain({0, kBudget});
    });
    EXPECT_EQ(outcome, expected);
    EXPECT_EQ(sliced.run.LinesRun(), whole.run.LinesRun());
    EXPECT_EQ(sliced.Value("x"), whole.Value("x"));
    EXPECT_EQ(sliced.Value("y"), whole.Value("y"));
    EXPECT_EQ(sliced.boxes.Texts(), whole.boxes.Texts());
    EXPECT_LE(sliced.run.Slices().Readings(), 4 * slices + sliced.run.LinesRun() / 64);
  }
}

}  // namespace
}  // namespace ombrix
