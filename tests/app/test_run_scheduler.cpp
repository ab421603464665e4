// The run scheduler as a front end's event loop sees it: what it is told, in order, for a
// start, an end, a failure of either program, a long line, the run window's steps.
#include "logic/app/run_scheduler.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/app/app_world.h"

namespace ombrix {
namespace {

using testing::AppWorld;
using testing::Join;
using testing::Told;

const char* const kLongLine = "x:=1,0000001^2147483647";  // seconds of products

struct SchedulerRow {
  const char* name;
  ProgramText main;
  ProgramText mouse;
  std::function<void(AppWorld&)> act;
  Told told;
  std::vector<std::string> boxes;  // their first words
};

void Start(AppWorld& world) { world.core.scheduler.Start(); }

TEST(RunScheduler, TellsTheFrontEndWhatARunDoesInOrder) {
  const Told started{"switches: main on", "first slice"};
  const Told& stopped = testing::kStopped;
  const SchedulerRow rows[] = {
      {"an empty program ends at once, with the success message",
       {},
       {},
       Start,
       Join({started, stopped}),
       {"Das Hauptprogramm"}},
      {"a slice that spends its budget goes on",
       {"Solange(1)", "EndeSolange"},
       {},
       Start,
       Join({started, {"goes on"}}),
       {}},
      {"a failed line: both off, then the editor",
       {"x:=1", "Hallo"},
       {},
       Start,
       Join({started, {"failed 0"}, stopped, {"switches: main off", "edit 0"}}),
       {"Zeile 2"}},
      {"a failed mouse-click run while the main program runs",
       {"Solange(1)", "EndeSolange"},
       {"Hallo"},
       [](AppWorld& world) {
         world.core.scheduler.Start();
         world.core.runtime.Run().PressMouse();
         world.core.scheduler.RunMouseProgram();
       },
       Join({started, {"goes on", "failed 1"}, stopped, {"switches: main off", "edit 1"}}),
       {"Zeile 1"}},
      {"a single step from stopped starts the run, paused before line 1",
       {"x:=1"},
       {},
       [](AppWorld& world) { world.core.scheduler.SingleStep(); },
       {"switches: main on", "goes on"},
       {}},
      {"no step under an open box",
       {"x:=1"},
       {},
       [](AppWorld& world) {
         world.blocked = true;
         world.core.scheduler.SingleStep();
       },
       {},
       {}},
      // The front end's turn stops the run inside the line, which is abandoned; a slice
      // asked for meanwhile does nothing.
      {"Abbrechen inside a long line",
       {"x:=1", kLongLine},
       {},
       [](AppWorld& world) {
         world.tick = std::chrono::milliseconds(40);
         world.on_turn = [&world] {
           world.core.scheduler.Slice(world.budget);
           world.core.scheduler.Stop();
         };
         world.core.scheduler.Start();
       },
       Join({started, {"busy", "turn"}, stopped, {"not busy"}}),
       {}},
  };
  for (const SchedulerRow& row : rows) {
    SCOPED_TRACE(row.name);
    AppWorld world;
    world.Main() = row.main;
    world.Mouse() = row.mouse;
    row.act(world);
    EXPECT_EQ(world.told, row.told);
    ASSERT_EQ(world.boxes.boxes.size(), row.boxes.size());
    for (std::size_t n = 0; n < row.boxes.size(); ++n) {
      EXPECT_NE(world.boxes.boxes[n].text.find(row.boxes[n]), std::string::npos);
    }
  }
}

TEST(RunScheduler, AnAbandonedLongLineLeavesItsVariableAndCountsNoLine) {
  AppWorld world;
  world.Main() = {"x:=1", kLongLine};
  world.tick = std::chrono::milliseconds(40);
  world.on_turn = [&world] { world.core.scheduler.Stop(); };
  world.core.scheduler.Start();
  EXPECT_EQ(world.core.runtime.Project().variables.CurrentValue(3).Re, 1.0);
  EXPECT_EQ(world.core.runtime.Run().LinesRun(), 1);
  EXPECT_FALSE(world.core.scheduler.Busy());
}

TEST(RunScheduler, PausedItSaysWhereAndNoSliceIsDue) {
  AppWorld world;
  world.Main() = {"x:=1", "x:=2"};
  EXPECT_EQ(world.core.scheduler.PauseStatus(), "");
  world.core.scheduler.SingleStep();
  world.core.scheduler.SingleStep();
  EXPECT_EQ(world.core.scheduler.PauseStatus(), "Angehalten vor Zeile 2 \x96 F5 setzt fort");
  EXPECT_EQ(world.core.scheduler.NextSliceIn(), std::nullopt);
  world.core.scheduler.Continue();
  EXPECT_EQ(world.core.scheduler.NextSliceIn(), std::chrono::nanoseconds(0));
  world.RunToEnd();
  EXPECT_FALSE(world.core.scheduler.MainSwitch());
}

}  // namespace
}  // namespace ombrix
