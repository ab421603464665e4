// The live restart: a control's change with "live" off, on, while dragging, under a box,
// after a failure, and a live run that takes long.
#include "logic/app/live_restart.h"

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

struct LiveRow {
  const char* name;
  bool live;
  ProgramText main;
  std::function<void(AppWorld&)> act;
  Told told;
  std::int64_t starts;
  std::int64_t pictures;
  std::size_t boxes;
  bool live_after;
};

void Change(AppWorld& world) { world.core.live.ControlChanged(false); }

TEST(LiveRestart, StartsAnewOnEveryChangeAndNeverShowsItsFailureTwice) {
  const Told restart{"hold picture", "switches: main on", "first slice"};
  const Told& stopped = testing::kStopped;
  const ProgramText endless{"Solange(1)", "EndeSolange"};
  const LiveRow rows[] = {
      {"live off: the change only marks the project", false, {"x:=1"}, Change, {}, 0, 0, 0, false},
      {"live on: a picture without the success message",
       true,
       {"x:=1"},
       Change,
       Join({restart, stopped}),
       1,
       1,
       0,
       true},
      {"under an open box the next change restarts",
       true,
       {"x:=1"},
       [](AppWorld& world) {
         world.blocked = true;
         Change(world);
       },
       {},
       0,
       0,
       0,
       true},
      {"a failure switches live off; the next change shows nothing",
       true,
       {"Hallo"},
       [](AppWorld& world) {
         Change(world);
         Change(world);
       },
       Join({restart, {"live off", "failed 0"}, stopped, {"switches: main off", "edit 0"}}),
       1,
       0,
       1,
       false},
      // While a handle is held the picture being drawn is finished first.
      {"dragging: the newest value starts when the picture is done",
       true,
       {"x:=1", "x:=2"},
       [](AppWorld& world) {
         world.budget = {1, std::nullopt};
         Change(world);
         world.core.live.ControlChanged(true);
         world.core.live.ControlChanged(true);
         world.RunToEnd();
       },
       // Both changes while it was drawn make one more picture, started when it was done.
       Join({restart, {"goes on", "goes on"}, stopped, restart, {"goes on", "goes on"}, stopped}),
       2,
       2,
       0,
       true},
      {"a live run that takes long shows its drawing", true, endless,
       [](AppWorld& world) {
         world.tick = std::chrono::milliseconds(400);
         Change(world);
         world.core.scheduler.Slice(world.budget);
       },
       Join({restart, {"goes on", "show drawing", "goes on"}}), 1, 0, 0, true},
  };
  for (const LiveRow& row : rows) {
    SCOPED_TRACE(row.name);
    AppWorld world;
    world.Main() = row.main;
    world.core.document.Controls().live = row.live;
    row.act(world);
    EXPECT_EQ(world.told, row.told);
    EXPECT_TRUE(world.core.document.Changed());
    EXPECT_EQ(world.core.runtime.Run().Starts(), row.starts);
    EXPECT_EQ(world.core.live.PicturesFinished(), row.pictures);
    EXPECT_EQ(world.boxes.boxes.size(), row.boxes);
    EXPECT_EQ(world.core.document.Controls().live, row.live_after);
  }
}

}  // namespace
}  // namespace ombrix
