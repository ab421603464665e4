#include "logic/program/slice_clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

namespace ombrix {
namespace {

using std::chrono::nanoseconds;
using namespace std::chrono_literals;

// Lines whose cost is given per line (the line's index within the slice), on a clock that
// moves only by what the lines cost. A dear line may ask its interrupt, as a long power
// does, which tells the slice clock.
struct Line {
  nanoseconds cost;
  bool asks_interrupt = false;
};
using Lines = std::function<Line(std::int64_t)>;

struct SliceRun {
  std::int64_t lines = 0;
  nanoseconds elapsed{};
  nanoseconds before_last{};  // the elapsed time when the last line began
  std::int64_t readings = 0;
};

SliceRun RunSlice(SliceClock& clock, nanoseconds& now, nanoseconds budget, const Lines& lines) {
  SliceRun run;
  const nanoseconds start = now;
  const std::int64_t readings = clock.Readings();
  clock.Begin(budget);
  for (;;) {
    const Line line = lines(run.lines);
    run.before_last = now - start;
    if (line.asks_interrupt) clock.LineIsLong();
    now += line.cost;
    ++run.lines;
    if (clock.Spent() || run.lines > 100000000) break;
  }
  run.elapsed = now - start;
  run.readings = clock.Readings() - readings;
  return run;
}

// A slice ends at the first line that ends beyond its budget, whatever the lines cost,
// and reads the clock far less often than once per line where the lines are cheap.
TEST(SliceClockTest, ASliceEndsWithinItsBudgetAndOneLine) {
  struct Row {
    const char* name;
    nanoseconds budget;
    Lines lines;
    std::int64_t most_readings;  // in this slice, Begin's included
  };
  const auto every = [](nanoseconds cost) { return [cost](std::int64_t) { return Line{cost}; }; };
  const std::vector<Row> rows = {
      {"cheap lines", 5ms, every(100ns), 250},
      {"lines of a microsecond", 5ms, every(1us), 100},
      {"lines dearer than the budget", 5ms, every(10ms), 2},
      {"no budget left", 0ns, every(100ns), 2},
      {"lines that turn dear and ask their interrupt", 5ms,
       [](std::int64_t i) {
         return i < 20000 ? Line{100ns} : Line{10ms, true};
       },
       250},
      {"one dear line among cheap ones", 5ms,
       [](std::int64_t i) {
         return i == 30000 ? Line{4ms, true} : Line{100ns};
       },
       300},
      {"lines that turn dear slowly", 5ms,
       [](std::int64_t i) { return Line{nanoseconds(100 + i / 10)}; }, 300},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    nanoseconds now{};
    SliceClock clock([&now] { return std::chrono::steady_clock::time_point(now); });
    const SliceRun run = RunSlice(clock, now, row.budget, row.lines);
    EXPECT_GE(run.elapsed, row.budget);
    EXPECT_LT(run.before_last, std::max(row.budget, 1ns));
    EXPECT_LE(run.readings, row.most_readings);
  }
}

// A line that turns dear without asking its interrupt is seen within the longest stride,
// and the next slice starts counting from one line again.
TEST(SliceClockTest, ADearLineWithoutInterruptIsSeenWithinTheLongestStride) {
  nanoseconds now{};
  SliceClock clock([&now] { return std::chrono::steady_clock::time_point(now); });
  const auto turns_dear = [](std::int64_t i) { return i < 40000 ? Line{100ns} : Line{1ms}; };
  const SliceRun first = RunSlice(clock, now, 5ms, turns_dear);
  EXPECT_LE(first.lines, 40000 + SliceClock::kMaxStride);
  EXPECT_LE(first.elapsed, 4ms + SliceClock::kMaxStride * 1ms);
  // The cost seen in the last slice does not carry a long stride into the next one.
  const SliceRun second = RunSlice(clock, now, 5ms, [](std::int64_t) { return Line{1ms}; });
  EXPECT_EQ(second.lines, 5);
  EXPECT_EQ(second.elapsed, 5ms);
}

// Without a budget the clock is never read, and no line ends the slice.
TEST(SliceClockTest, NoBudgetReadsNoClock) {
  int readings = 0;
  SliceClock clock([&readings] {
    ++readings;
    return std::chrono::steady_clock::time_point{};
  });
  clock.Begin(std::nullopt);
  for (int i = 0; i < 1000; ++i) {
    clock.LineIsLong();
    EXPECT_FALSE(clock.Spent());
  }
  EXPECT_EQ(readings, 0);
}

}  // namespace
}  // namespace ombrix
