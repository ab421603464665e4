// The list of drawing commands beside the picture: what it keeps, when it starts afresh,
// its bound, and that drawing it again makes the same canvas calls as the run did.
#include "logic/program/drawing_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logic/complex/num_text.h"
#include "tests/program/interpreter_world.h"

namespace ombrix {
namespace {

using testing::RecordingCanvas;
using testing::World;

// The interpreter world with a record beside its canvas, as every front end has it.
struct RecordedWorld : World {
  RecordedWorld() {
    interpreter.RecordDrawing(&record);
    AddVariable("k");
  }
  DrawingRecord record;
};

// An entry as "Command v0 v1 v2 v3", for readable comparisons.
std::vector<std::string> Listed(const DrawingRecord& record) {
  std::vector<std::string> out;
  for (const DrawingRecord::Entry& e : record.Entries()) {
    std::string text = CommandWords[static_cast<std::size_t>(e.command)];
    for (const double v : e.values) text += " " + RealToText(v);
    out.push_back(text);
  }
  return out;
}

class DrawingRecordTest : public ::testing::Test {
 protected:
  void SetUp() override { SetDecimalSeparator('.'); }
};

TEST_F(DrawingRecordTest, KeepsTheCommandsSinceThePictureWasLastCleared) {
  const std::string initial = "SetzeSkala -5 5 -5 5";
  struct Row {
    const char* name;
    std::vector<std::string> program;
    std::vector<std::string> entries;
  };
  const std::vector<Row> rows = {
      {"nothing drawn", {"x:=1"}, {}},
      {"a point after the scale it ran under",
       {"ZeichnePunkt(1+2*i)"},
       {initial, "ZeichnePunkt 1 2 0 0"}},
      {"both arguments of a line", {"ZeichneLinie(0;1-i)"}, {initial, "ZeichneLinie 0 0 1 -1"}},
      {"a circle keeps its complex radius",
       {"L\xF6scheKreis(i;3*i)"},
       {initial, "L\xF6scheKreis 0 1 0 3"}},
      {"the axes need no arguments", {"ZeichneSkala"}, {initial, "ZeichneSkala 0 0 0 0"}},
      {"a new scale before the next command",
       {"ZeichnePunkt(0)", "SetzeSkala(0;10;0;20)", "ZeichnePunkt(0)"},
       {initial, "ZeichnePunkt 0 0 0 0", "SetzeSkala 0 10 0 20", "ZeichnePunkt 0 0 0 0"}},
      {"scales without drawing leave only the last",
       {"SetzeSkala(0;1;0;1)", "SetzeSkala(0;2;0;2)", "ZeichnePunkt(1)"},
       {"SetzeSkala 0 2 0 2", "ZeichnePunkt 1 0 0 0"}},
      {"the same scale again adds nothing",
       {"ZeichnePunkt(0)", "SetzeSkala(-5;5;-5;5)", "ZeichnePunkt(1)"},
       {initial, "ZeichnePunkt 0 0 0 0", "ZeichnePunkt 1 0 0 0"}},
      {"a refused scale changes nothing", {"SetzeSkala(1;1;0;1)"}, {}},
      {"L\xF6scheBild starts afresh",
       {"ZeichnePunkt(0)", "L\xF6scheBild", "ZeichnePunkt(1)"},
       {initial, "ZeichnePunkt 1 0 0 0"}},
      {"L\xF6scheBild last leaves nothing", {"ZeichneSkala", "L\xF6scheBild"}, {}},
      {"a colour before the next command, once",
       {"SetzeFarbe(1)", "SetzeFarbe(2)", "ZeichnePunkt(0)", "SetzeFarbe(2)", "ZeichnePunkt(1)"},
       {initial, "SetzeFarbe 16738408 0 0 0", "ZeichnePunkt 0 0 0 0", "ZeichnePunkt 1 0 0 0"}},
      {"the colour again after L\xF6scheBild",
       {"SetzeFarbe(1)", "ZeichnePunkt(0)", "L\xF6scheBild", "ZeichnePunkt(1)"},
       {initial, "SetzeFarbe 16711680 0 0 0", "ZeichnePunkt 1 0 0 0"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RecordedWorld w;
    w.Run(row.program);
    EXPECT_EQ(Listed(w.record), row.entries);
    EXPECT_TRUE(w.record.Complete());
  }
}

TEST_F(DrawingRecordTest, TheMouseProgramDrawsIntoTheSameList) {
  RecordedWorld w;
  w.project.programs[MouseHandlerProgram] = {"ZeichnePunkt(MausPos())"};
  w.Run({"SetzeFarbe(1)", "ZeichneLinie(0;1)"});
  w.run.PressMouse();
  w.run.MoveMouse(0, 0);
  ASSERT_EQ(w.run.RunMouseProgram(), RunOutcome::Ended) << w.boxes.Texts().back();
  // In the colour the main program set: the two share it.
  EXPECT_EQ(Listed(w.record),
            (std::vector<std::string>{"SetzeSkala -5 5 -5 5", "SetzeFarbe 16711680 0 0 0",
                                      "ZeichneLinie 0 0 1 0", "ZeichnePunkt -5 5 0 0"}));
}

TEST_F(DrawingRecordTest, GivesUpPastItsBoundAndStartsAgainOnAClearedPicture) {
  RecordedWorld w;
  const std::string points = std::to_string(DrawingRecord::kMaxEntries);
  // The scale and kMaxEntries - 1 points fill the list; one more point is too many.
  w.Run({"F\xFCr(k;2;" + points + ";1)", "ZeichnePunkt(k)", "EndeF\xFCr"}, 10000000);
  EXPECT_TRUE(w.record.Complete());
  EXPECT_EQ(w.record.Entries().size(), DrawingRecord::kMaxEntries);
  w.Run({"F\xFCr(k;1;" + points + ";1)", "ZeichnePunkt(k)", "EndeF\xFCr"}, 10000000);
  EXPECT_FALSE(w.record.Complete());
  EXPECT_TRUE(w.record.Entries().empty());
  EXPECT_EQ(w.record.Entries().capacity(), 0u);  // its memory is given back
  RecordingCanvas replayed;
  EXPECT_FALSE(w.record.Replay(replayed, 1000000));
  w.Run({"ZeichnePunkt(0)"});
  EXPECT_FALSE(w.record.Complete());  // still more than it holds since the picture was cleared
  w.Run({"L\xF6scheBild", "ZeichnePunkt(0)"});
  EXPECT_TRUE(w.record.Complete());
  EXPECT_EQ(w.record.Entries().size(), 2u);
}

TEST_F(DrawingRecordTest, ARestartTellsWhetherALoadedPictureLiesBelow) {
  DrawingRecord record;
  EXPECT_FALSE(record.OnPicture());
  record.Restart(true);
  EXPECT_TRUE(record.OnPicture());
  record.Add(static_cast<int>(Command::LoescheBild), nullptr, DrawingState());
  EXPECT_FALSE(record.OnPicture());  // cleared white
}

TEST_F(DrawingRecordTest, DrawingItAgainMakesTheCallsOfTheRun) {
  const std::vector<std::vector<std::string>> programs = {
      {"ZeichnePunkt(0)", "L\xF6schePunkt(1+i)", "ZeichneLinie(-3;4*i)", "L\xF6scheLinie(0;1)"},
      {"ZeichneKreis(0;1)", "L\xF6scheKreis(0;i)", "ZeichneSkala"},
      {"SetzeSkala(0;10;0;10)", "ZeichneSkala", "SetzeSkala(-1E6;1E6;-3;3)", "ZeichneSkala",
       "ZeichneKreis(2;3)"},
      {"ZeichnePunkt(2)", "L\xF6scheBild", "SetzeSkala(-2;2;-1;1)", "ZeichneKreis(0;1)"},
      {"SetzeFarbe(2)", "ZeichnePunkt(0)", "SetzeFarbe(i)", "ZeichneLinie(0;1)", "SetzeFarbe(0)",
       "ZeichneKreis(0;1)", "L\xF6scheLinie(0;i)"},
      {"F\xFCr(k;1;50;1)", "ZeichneLinie(0;k*(1+i)/10)", "SetzeSkala(-k;k;-k;k)", "EndeF\xFCr"},
  };
  for (const auto& program : programs) {
    SCOPED_TRACE(program.front());
    RecordedWorld w;
    w.Run(program);
    // What the run drew after its last "LöscheBild".
    std::vector<std::string> drawn = w.canvas.calls;
    for (std::size_t i = drawn.size(); i-- > 0;) {
      if (drawn[i].rfind("FillRect", 0) == 0) {
        drawn.erase(drawn.begin(), drawn.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        break;
      }
    }
    RecordingCanvas replayed;
    ASSERT_TRUE(w.record.Replay(replayed, 1000000));
    EXPECT_EQ(replayed.calls, drawn);
  }
}

TEST_F(DrawingRecordTest, DrawingItAgainStopsAtTheBoundOfCalls) {
  RecordedWorld w;
  w.Run({"ZeichneSkala", "ZeichnePunkt(0)"});  // 2 axes and 22 ticks, then one pixel
  RecordingCanvas enough, short_of_one;
  EXPECT_TRUE(w.record.Replay(enough, 25));
  EXPECT_FALSE(w.record.Replay(short_of_one, 24));
  EXPECT_EQ(short_of_one.calls.size() + 1, enough.calls.size());
}

// A command the record holds but that refuses when drawn again (no command any run
// records) makes the replay fail, so that an export falls back to the pixels.
TEST_F(DrawingRecordTest, DrawingItAgainFailsAtACommandThatRefuses) {
  RecordedWorld w;
  w.Run({"ZeichnePunkt(0)"});
  const TComplex none[2] = {};
  w.record.Add(kCommandCount, none, w.drawing);
  w.record.Add(static_cast<int>(Command::ZeichnePunkt), none, w.drawing);
  RecordingCanvas replayed;
  EXPECT_FALSE(w.record.Replay(replayed, 1000000));
  EXPECT_EQ(replayed.calls, std::vector<std::string>{"SetPixel 200 200 000000"});
}

}  // namespace
}  // namespace ombrix
