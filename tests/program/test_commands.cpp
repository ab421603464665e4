#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "logic/complex/num_text.h"
#include "logic/program/interpreter.h"
#include "tests/program/interpreter_world.h"
#include "tests/support/cpu_time.h"

namespace ombrix {
namespace {

using testing::RunError;
using testing::World;
using Calls = std::vector<std::string>;

class CommandsTest : public ::testing::Test {
 protected:
  void SetUp() override { SetDecimalSeparator('.'); }
};

// The axes and eleven ticks per axis of the initial scale.
Calls InitialScale() {
  Calls calls = {"PenColor 0000FF", "MoveTo 200 0", "LineTo 200 400", "MoveTo 0 200",
                 "LineTo 400 200"};
  for (int i = -5; i <= 5; ++i) {
    const int x = 200 + 40 * i;
    calls.push_back("MoveTo " + std::to_string(x) + " 198");
    calls.push_back("LineTo " + std::to_string(x) + " 202");
  }
  for (int j = -5; j <= 5; ++j) {
    const int y = 200 - 40 * j;
    calls.push_back("MoveTo 198 " + std::to_string(y));
    calls.push_back("LineTo 202 " + std::to_string(y));
  }
  return calls;
}

struct Row {
  const char* name;
  std::vector<std::string> program;
  Calls calls;
};

TEST_F(CommandsTest, CommandsMakeTheseCanvasCalls) {
  const std::vector<Row> rows = {
      {"point at the origin", {"ZeichnePunkt(0)"}, {"SetPixel 200 200 000000"}},
      {"point at the top-right corner is just outside",
       {"ZeichnePunkt(5+5*i)"},
       {"SetPixel 400 0 000000"}},
      {"point at the bottom-left corner", {"ZeichnePunkt(-5-5*i)"}, {"SetPixel 0 400 000000"}},
      {"text after the last argument is ignored",
       {"ZeichnePunkt(1;2)"},
       {"SetPixel 240 200 000000"}},
      {"erasing a point", {"L\xF6schePunkt(1+i)"}, {"SetPixel 240 160 FFFFFF"}},
      {"left of the picture rounds toward its edge",
       {"ZeichnePunkt(-5-1/100)"},
       {"SetPixel 0 200 000000"}},
      {"line", {"ZeichneLinie(0;1)"}, {"PenColor 000000", "MoveTo 200 200", "LineTo 240 200"}},
      {"erasing a line",
       {"L\xF6scheLinie(0;1)"},
       {"PenColor FFFFFF", "MoveTo 200 200", "LineTo 240 200"}},
      {"circle with separately rounded radii",
       {"ZeichneKreis(0;1)"},
       {"BrushStyle none", "PenColor 000000", "Ellipse 160 161 240 239"}},
      {"the radius is the modulus",
       {"ZeichneKreis(0;i)"},
       {"BrushStyle none", "PenColor 000000", "Ellipse 160 161 240 239"}},
      {"erasing a circle",
       {"L\xF6scheKreis(1+i;2)"},
       {"BrushStyle none", "PenColor FFFFFF", "Ellipse 160 81 320 239"}},
      {"clearing after a circle sets the brush solid first",
       {"ZeichneKreis(0;1)", "L\xF6scheBild"},
       {"BrushStyle none", "PenColor 000000", "Ellipse 160 161 240 239", "BrushStyle solid",
        "FillRect 0 0 400 400"}},
      {"clearing with brackets", {"L\xF6scheBild()"}, {"BrushStyle solid", "FillRect 0 0 400 400"}},
      {"axes of the initial scale", {"ZeichneSkala"}, InitialScale()},
      {"a new scale draws nothing", {"SetzeSkala(0;10;0;10)"}, {}},
      {"a colour for points, lines and circles; erasing stays white, the axes blue",
       {"SetzeFarbe(2)", "ZeichnePunkt(0)", "ZeichneLinie(0;1)", "ZeichneKreis(0;1)",
        "L\xF6schePunkt(0)", "ZeichneSkala"},
       [] {
         Calls calls = {"PenColor FF6868", "SetPixel 200 200 FF6868", "PenColor FF6868",
                        "MoveTo 200 200",  "LineTo 240 200",          "BrushStyle none",
                        "PenColor FF6868", "Ellipse 160 161 240 239", "SetPixel 200 200 FFFFFF"};
         for (const std::string& call : InitialScale()) calls.push_back(call);
         return calls;
       }()},
      {"command words ignore case",
       {"zeichnepunkt(0)", "ZEICHNEPUNKT(0)"},
       {"SetPixel 200 200 000000", "SetPixel 200 200 000000"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    World world;
    EXPECT_TRUE(world.Run(row.program));
    EXPECT_TRUE(world.boxes.boxes.empty());
    EXPECT_EQ(world.canvas.calls, row.calls);
  }
}

TEST_F(CommandsTest, ScaleWithTheOriginInTheCorner) {
  World world;
  ASSERT_TRUE(world.Run({"SetzeSkala(0;10;0;10)", "ZeichneSkala"}));
  Calls expected = {"PenColor 0000FF", "MoveTo 0 0", "LineTo 0 400"};  // no real axis
  for (int i = 0; i <= 10; ++i) {
    expected.push_back("MoveTo " + std::to_string(40 * i) + " 398");
    expected.push_back("LineTo " + std::to_string(40 * i) + " 402");
  }
  for (int j = 0; j <= 10; ++j) {
    expected.push_back("MoveTo -2 " + std::to_string(400 - 40 * j));
    expected.push_back("LineTo 2 " + std::to_string(400 - 40 * j));
  }
  EXPECT_EQ(world.canvas.calls, expected);
  EXPECT_EQ(world.drawing.PlaneToPixelY(0), 400);
  EXPECT_EQ(world.drawing.PlaneToPixelX(0), 0);
}

TEST_F(CommandsTest, RefusedScalesLeaveTheScaleUnchanged) {
  const std::vector<std::string> lines = {
      "SetzeSkala(1;1;0;1)", "SetzeSkala(2;1;0;1)", "SetzeSkala(0;1;1;1)",
      "SetzeSkala(0;1;0;i)", "SetzeSkala(i;2;0;1)", "SetzeSkala(0;1;0;1+i)",
  };
  for (const auto& line : lines) {
    SCOPED_TRACE(line);
    World world;
    EXPECT_FALSE(world.Run({line}));
    EXPECT_EQ(world.boxes.Texts(),
              std::vector<std::string>{RunError("Unzul\xE4ssiges Argument in Funktion", 1, line)});
    EXPECT_EQ(world.drawing.ReMin(), -5);
    EXPECT_EQ(world.drawing.ReMax(), 5);
    EXPECT_EQ(world.drawing.ImMin(), -5);
    EXPECT_EQ(world.drawing.ImMax(), 5);
  }
}

TEST_F(CommandsTest, EveryCommandWordHasItsNumberAndArgumentCount) {
  const std::vector<std::pair<std::string, int>> words = {
      {"SetzeSkala", 4},     {"L\xF6scheBild", 0}, {"SetzeFarbe", 1},     {"ZeichnePunkt", 1},
      {"L\xF6schePunkt", 1}, {"ZeichneLinie", 2},  {"L\xF6scheLinie", 2}, {"ZeichneKreis", 2},
      {"L\xF6scheKreis", 2}, {"ZeichneSkala", 0}};
  ASSERT_EQ(words.size(), CommandWords.size());
  for (std::size_t i = 0; i < words.size(); ++i) {
    EXPECT_EQ(CommandWords[i], words[i].first);
    EXPECT_EQ(CommandArgumentCount(static_cast<int>(i)), words[i].second);
  }
}

// Scales so wide that a tick per integer would mean billions of calls, or bounds beyond
// 32 bits: at most one tick per pixel row or column, each inside the picture.
TEST_F(CommandsTest, VeryWideScalesDrawOnlyTheTicksThatCanBeSeen) {
  struct WideRow {
    const char* name;
    std::string scale;
    std::size_t axes;  // how many axes cross the picture
  };
  const std::vector<WideRow> rows = {
      {"a billion each way", "SetzeSkala(-10^9;10^9;-10^9;10^9)", 2},
      {"bounds beyond 32 bits", "SetzeSkala(-3*10^9;5*10^9;-10^12;10^12)", 2},
      {"far from the origin", "SetzeSkala(10^17;10^17+1000;10^17;10^17+1000)", 0},
      {"just over the tick bound", "SetzeSkala(0;10001;0;10001)", 1},
      {"almost the widest", "SetzeSkala(-10^99;10^99;-10^99;10^99)", 2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    World world;
    const double start = testing::ThreadCpuSeconds();
    ASSERT_TRUE(world.Run({row.scale, "ZeichneSkala"}));
    EXPECT_LT(testing::ThreadCpuSeconds() - start, 10.0);  // this thread's work, whatever the load
    const Calls& calls = world.canvas.calls;
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0], "PenColor 0000FF");
    const std::size_t ticks = (calls.size() - 1) / 2 - row.axes;
    EXPECT_GT(ticks, 0u);
    EXPECT_LE(ticks, 800u);
    std::set<std::string> distinct(calls.begin(), calls.end());
    EXPECT_GE(distinct.size() + 1, calls.size() - 1) << "a tick drawn twice";
  }
}

TEST_F(CommandsTest, TicksOfAWideScaleFallOnIntegers) {
  World world;
  ASSERT_TRUE(world.Run({"SetzeSkala(0;20000;-1;1)", "ZeichneSkala"}));
  int ticks = 0;
  for (std::size_t i = 0; i + 1 < world.canvas.calls.size(); ++i) {
    const std::string& call = world.canvas.calls[i];
    int x = 0, y = 0;
    if (std::sscanf(call.c_str(), "MoveTo %d %d", &x, &y) == 2 && y == 198) {
      ++ticks;
      EXPECT_GE(x, 0);
      EXPECT_LT(x, 400);
    }
  }
  // 20001 integers in 400 columns of 50 units: every column shows one.
  EXPECT_EQ(ticks, 400);
}

TEST_F(CommandsTest, HugeCirclesAndFarPointsStayInTheIntRange) {
  World world;
  ASSERT_TRUE(world.Run({"ZeichneKreis(0;10^50)", "ZeichnePunkt(10^50-10^50*i)",
                         "ZeichneLinie(-10^90;10^90*i)", "ZeichneKreis(10^90;10^90)"}));
  const Calls& calls = world.canvas.calls;
  ASSERT_EQ(calls.size(), 10u);
  // Pixel values saturate at the 32-bit bounds and their sums are clamped, not wrapped.
  EXPECT_EQ(calls[2], "Ellipse -2147483447 -2147483448 2147483647 2147483647");
  EXPECT_EQ(calls[3], "SetPixel 2147483647 2147483647 000000");
  EXPECT_EQ(calls[5], "MoveTo -2147483648 200");
  EXPECT_EQ(calls[6], "LineTo 200 -2147483648");
  EXPECT_EQ(calls[9], "Ellipse 0 -2147483448 2147483647 2147483647");
}

}  // namespace
}  // namespace ombrix
