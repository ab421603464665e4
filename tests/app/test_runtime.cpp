// The one owner of the runtime: what a front end supplies reaches every part, and the
// parts are wired to each other.
#include "logic/app/runtime.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "logic/complex/num_text.h"
#include "tests/program/debug_world.h"
#include "tests/support/recording.h"

namespace ombrix {
namespace {

using testing::PixelCanvas;
using testing::RecordingMessageBoxes;

TEST(Runtime, DrawsOnThePictureItIsGivenAndTakesItsSize) {
  SetDecimalSeparator('.');
  PixelCanvas picture(600, 300);
  RecordingMessageBoxes boxes;
  Runtime runtime({picture, boxes});
  runtime.Project().programs[MainProgram] = {"ZeichnePunkt(0)", "Hallo"};
  runtime.Run().Start();
  EXPECT_EQ(runtime.Run().StepMain({}), RunOutcome::Failed);
  EXPECT_EQ(runtime.Drawing().PlaneToPixelX(5), 600);
  EXPECT_EQ(picture.Pixel(300, 150), kBlack);
  ASSERT_EQ(boxes.boxes.size(), 1u);  // the interpreter's box, through the boxes given
  EXPECT_FALSE(runtime.Flags().MainRunning);
  EXPECT_EQ(runtime.State().CurrentLine[MainProgram], 1);
}

TEST(Runtime, TheDebuggerStepsBackOnThePictureThroughTheHistory) {
  PixelCanvas picture;
  RecordingMessageBoxes boxes;
  Runtime runtime({picture, boxes});
  runtime.Project().programs[MainProgram] = {"ZeichnePunkt(0)", "ZeichnePunkt(1)"};
  RunDebugger& debugger = runtime.Debugger();
  debugger.SetHistoryEnabled(true);
  EXPECT_EQ(debugger.SingleStep(), RunOutcome::Running);  // starts, before line 1
  EXPECT_EQ(debugger.SingleStep(), RunOutcome::Running);
  EXPECT_EQ(picture.Pixel(200, 200), kBlack);
  EXPECT_EQ(debugger.StepBack(), std::nullopt);
  EXPECT_EQ(picture.Pixel(200, 200), kWhite);
  EXPECT_EQ(runtime.State().CurrentLine[MainProgram], 0);
}

// One clock for every part that reads one: the tempo and the mouse-click run's bound.
TEST(Runtime, TheClockItIsGivenReachesTheTempoAndTheMouseBound) {
  PixelCanvas picture;
  RecordingMessageBoxes boxes;
  std::chrono::steady_clock::time_point now{std::chrono::hours(1)};
  std::chrono::seconds tick{0};  // what each reading moves the clock
  Runtime runtime({picture, boxes, [&] { return now += tick; }});
  RunDebugger& debugger = runtime.Debugger();
  debugger.SetTempo(1);
  runtime.Project().programs[MainProgram] = {"", "", ""};
  debugger.Start();
  EXPECT_EQ(debugger.Slice({}), RunOutcome::Running);
  EXPECT_EQ(debugger.StepsRun(), 1);
  EXPECT_EQ(debugger.UntilNextLine(), std::chrono::seconds(1));

  tick = std::chrono::seconds(1);
  runtime.Project().programs[MouseHandlerProgram] = {"Solange(1)", "EndeSolange"};
  EXPECT_EQ(runtime.Run().RunMouseProgram(), RunOutcome::Failed);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_NE(boxes.boxes[0].text.find("nach 10 Sekunden"), std::string::npos);
}

}  // namespace
}  // namespace ombrix
