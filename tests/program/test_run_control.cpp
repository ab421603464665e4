#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logic/complex/num_text.h"
#include "logic/program/run_control.h"
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

}  // namespace
}  // namespace ombrix
