#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "logic/program/interpreter.h"
#include "tests/program/costed_lines.h"
#include "tests/program/interpreter_world.h"
#include "tests/support/example_programs.h"

namespace ombrix {
namespace {

using testing::Observed;
using testing::World;
using Lines = std::vector<std::string>;

// How a long line's interrupt stops the run when it is asked for the `at`th time: by the
// run flag alone, as anything the window does meanwhile may clear it, or by "Abbrechen".
struct StopInLine {
  int at = 0;  // none
  bool abandons = false;
};

// Runs `program` in calls of `chunk` lines each (the last ones may stop anywhere inside
// a loop), with `edit` put in place of line `edit_line` after the first call, and returns
// what a user could see afterwards, and the lines run as each poll of a long line saw them.
std::string RunInChunks(const Lines& program, bool compiled, long chunk, int edit_line = -1,
                        const std::string& edit = {}, StopInLine stop = {}) {
  World world;
  for (const char* name : {"x", "y", "p", "z", "n", "c"}) world.AddVariable(name);
  world.interpreter.UseCompiledLines(compiled);
  int polls = 0;
  std::string seen;
  world.run.SetLineWait([&] {
    seen += std::to_string(world.run.LinesRun()) + " ";
    if (++polls != stop.at) return;
    if (stop.abandons) world.run.Stop();
    world.flags.MainRunning = false;
  });
  world.Run(program, chunk);
  long steps = world.steps;
  if (edit_line >= 0) world.project.programs[MainProgram][edit_line] = edit;
  for (int call = 0;
       call < 5000 && world.flags.MainRunning && world.state.CurrentLine[MainProgram] >= 0;
       ++call) {
    const std::int64_t before = world.run.LinesRun();
    if (world.run.StepMain({chunk, std::nullopt}) == RunOutcome::Failed) break;
    steps += static_cast<long>(world.run.LinesRun() - before);
    // Where each call stopped and what it left in the variables.
    seen += "\nat " + std::to_string(world.state.CurrentLine[MainProgram]);
    for (int j = 0; j <= world.project.variables.LastVariable(); ++j) {
      const TComplex v = world.project.variables.CurrentValue(j);
      char bits[64];
      std::snprintf(bits, sizeof bits, " %a,%a", v.Re, v.Im);
      seen += bits;
    }
  }
  world.steps = steps;
  return seen + Observed(world);
}

// The compiled routine must leave exactly what the steps leave, whatever bound of a call
// stops it and wherever a fault or an edit meets it.
TEST(CompiledLinesTest, LeaveWhatTheStepsLeave) {
  struct Row {
    const char* name;
    Lines program;
    // A line put in place of another after the first call (none: line -1).
    struct {
      int line = -1;
      std::string text;
    } edit;
  };
  // The Julia example on 2 x 3 points.
  Lines julia = testing::JuliaProgram();
  julia[3] = "F\xFCr(y;0;1;1)";
  julia[4] = "F\xFCr(x;0;2;1)";
  // The scale and the picture size its built-ins read change between two points.
  Lines rescaled = julia;
  rescaled.insert(rescaled.begin() + 5, "SetzeSkala(-8/5;8/5+x;-8/5;8/5)");
  // The drawing loop "z:=z^2+c" from z = 0, its count from `start` stepped by `step` while
  // `test` holds, and a line after it where one is given.
  const auto drawing = [](const char* c, const char* start, const char* test, const char* step,
                          const char* after = nullptr) {
    Lines lines = {"z:=0",
                   std::string("c:=") + c,
                   std::string("n:=") + start,
                   std::string("Solange(") + test + ")",
                   "z:=z^2+c",
                   step,
                   "EndeSolange"};
    if (after != nullptr) lines.emplace_back(after);
    return lines;
  };
  const std::vector<Row> rows = {
      {"a drawing loop", julia, {}},
      {"a drawing loop whose scale changes at every point", rescaled, {}},
      {"both parts of a Wenn",
       {"x:=0", "Wiederhole(4)", "x:=x+1", "Wenn(x%2)", "ZeichneKreis(x;1)", "Andernfalls",
        "ZeichnePunkt(x)", "EndeWenn", "EndeWiederhole"},
       {}},
      {"a loop edited between calls", julia, {10, "n:=n+2"}},
      {"a loop's condition edited between calls", julia, {8, "Solange(n<3)"}},
      {"a skipped block edited between calls",
       {"x:=0", "Wiederhole(6)", "x:=x+1", "Wenn(0)", "y:=1", "n:=2", "EndeWenn", "EndeWiederhole"},
       {5, "Andernfalls"}},
      {"an overflow inside a loop", {"z:=10", "Wiederhole(20)", "z:=z^2", "EndeWiederhole"}, {}},
      {"a division by zero in a command",
       {"x:=2", "Solange(x>-1)", "ZeichnePunkt(1/x)", "x:=x-1", "EndeSolange"},
       {}},
      {"nested loops with the same condition",
       {"x:=0", "Solange(x<3)", "n:=0", "Solange(x<3)", "x:=x+1", "EndeSolange", "EndeSolange"},
       {}},
      {"a loop end with no loop", {"x:=1", "EndeWiederhole", "x:=2"}, {}},
      {"a loop's variable counted beyond the largest value",
       {"F\xFCr(x;9e99;1e100;5e99)", "y:=x", "EndeF\xFCr"},
       {}},
      {"loop ends of the other kind",
       {"F\xFCr(x;1;3;1)", "Wiederhole(2)", "y:=y+1", "EndeF\xFCr", "EndeWiederhole", "EndeF\xFCr"},
       {}},
      {"an unknown line inside a loop", {"Wiederhole(3)", "x:=x+1", "Hallo", "EndeWiederhole"}, {}},
      {"a count that is no integer", {"Wiederhole(5/2)", "x:=x+1", "EndeWiederhole"}, {}},
      {"a complex condition",
       {"x:=i", "Wenn(x)", "n:=1", "EndeWenn", "Solange(x)", "x:=0", "EndeSolange"},
       {}},
      {"a loop's end edited between calls", julia, {11, "EndeWiederhole"}},
      {"an assignment edited into a command between calls", julia, {10, "ZeichnePunkt(n)"}},
      {"a division by zero in an assignment",
       {"x:=2", "Solange(x>-2)", "y:=1/x", "x:=x-1", "EndeSolange"},
       {}},
      {"assigned values at the edges of their reads",
       {"x:=1/3", "y:=x*3", "z:=2^53+1", "n:=999999999999999+1", "c:=1e-14+x-x", "p:=x*1e-20"},
       {}},
      {"a loop's square and count at the edges of their reads",
       {"z:=1e-5", "c:=1e-9", "n:=1e15-3", "Wiederhole(4)", "z:=z^2+c", "n:=n+1", "EndeWiederhole",
        "z:=1e50", "z:=z^2+c"},
       {}},
      {"a loop on a product of comparisons",
       {"x:=3", "Solange((x<9)*(x>0))", "x:=x-1", "EndeSolange"},
       {}},
      {"a loop on a product with a complex side",
       {"x:=0", "Solange((x<3)*(x+i>-1))", "x:=x+1", "EndeSolange"},
       {}},
      {"an assignment to an unknown variable",
       {"Wiederhole(3)", "x:=x+1", "q:=x", "EndeWiederhole"},
       {}},
      // Drawing loops whose passes run in one piece, and loops near that shape.
      {"a drawing loop ended by its count",
       drawing("1/10", "0", "(Betrag(z)<2)*(n<99)", "n:=n+1", "x:=n"),
       {}},
      {"a drawing loop's whole count stepping past the digits a text keeps",
       drawing("1/10", "1", "(Betrag(z)<2)*(n<1002754604531711)", "n:=n+17592186044416", "x:=n"),
       {}},
      {"a drawing loop counting down through 0 by whole steps",
       drawing("1/10", "3", "(Betrag(z)<2)*(n>-4)", "n:=n-1", "x:=n"),
       {}},
      {"a drawing loop's test decided by the read of its side",
       drawing("1", "0", "(Betrag(z)<5)*(n<9)", "n:=n+1"),
       {}},
      {"a drawing loop's square past the limit",
       drawing("1e30", "0", "(Betrag(z)<1e90)*(n<9)", "n:=n+1"),
       {}},
      {"a drawing loop's count past the limit",
       drawing("1/10", "1", "(Betrag(z)<2)*(n>0)", "n:=n+3e99"),
       {}},
      {"a drawing loop's count turned complex",
       drawing("0", "0", "(Betrag(z)<2)*(n<5)", "n:=n+i"),
       {}},
      {"a drawing loop with a line of another shape",
       {"z:=0", "c:=1/10", "n:=0", "x:=0", "Solange((Betrag(z)<2)*(n<6))", "z:=z^2+c", "x:=x+z*2",
        "n:=n+1", "EndeSolange"},
       {}},
      {"a drawing loop of four lines",
       {"x:=0", "y:=1/2", "n:=9", "p:=0", "Solange((Betrag(y)>1/1000)*(n>0))", "y:=-y^2+x",
        "n:=n-1", "x:=x+1/8", "p:=p+2", "EndeSolange"},
       {}},
      {"a drawing loop of five lines",
       {"x:=0", "y:=1/2", "n:=9", "p:=0", "Solange((Betrag(y)>1/1000)*(n>0))", "y:=-y^2+x",
        "n:=n-1", "x:=x+1/8", "p:=p+2", "c:=c+1", "EndeSolange"},
       {}},
      {"a drawing loop whose square adds its own variable",
       {"z:=1/10", "n:=0", "Solange((Betrag(z)<2)*(n<20))", "z:=z^2+z", "n:=n+1", "EndeSolange"},
       {}},
      {"a drawing loop counting before its square",
       {"z:=0", "c:=1/4", "n:=0", "Solange((Betrag(z)<2)*(n<40))", "n:=n+1", "z:=z^2+c",
        "EndeSolange"},
       {}},
      {"a drawing loop squaring the negated value",
       {"z:=0", "c:=1/4", "n:=0", "Solange((Betrag(z)<2)*(n<40))", "z:=-z^2+c", "n:=n+1",
        "EndeSolange"},
       {}},
      {"a short drawing loop opened again and again",
       {"c:=1/10", "Wiederhole(9)", "z:=0", "n:=0", "Solange((Betrag(z)<2)*(n<3))", "z:=z^2+c",
        "n:=n+1", "EndeSolange", "EndeWiederhole"},
       {}},
      {"a drawing loop's square edited into a cube between calls", julia, {9, "z:=z^3+c"}},
      {"a drawing loop's square edited into another sum between calls", julia, {9, "z:=z^2-p"}},
  };
  for (const Row& row : rows) {
    for (const long chunk : {1L, 2L, 3L, 7L, 10L, 31L, 100000L}) {
      SCOPED_TRACE(std::string(row.name) + ", calls of " + std::to_string(chunk));
      EXPECT_EQ(RunInChunks(row.program, true, chunk, row.edit.line, row.edit.text),
                RunInChunks(row.program, false, chunk, row.edit.line, row.edit.text));
    }
  }
}

// A run flag cleared while a long line asks its interrupt must stop the run after that
// line, as the steps find it, wherever the line stands in a loop.
TEST(CompiledLinesTest, AFlagClearedInsideALineStopsAfterIt) {
  // Asks its interrupt twice, and again in every later loop: the base changes.
  const std::string dear = "y:=(1+x/1e9)^9000";
  const std::vector<std::pair<const char*, Lines>> programs = {
      {"before a loop's end", {"Wiederhole(3)", "x:=x+1", dear, "EndeWiederhole", "x:=0"}},
      {"before an assignment", {"x:=0", "Solange(x<3)", dear, "x:=x+1", "EndeSolange"}},
      {"in a block after a command",
       {"Wiederhole(2)", "ZeichnePunkt(x)", "Wenn(1)", dear, "EndeWenn", "x:=x+1",
        "EndeWiederhole"}},
  };
  for (const auto& [name, program] : programs) {
    for (const StopInLine stop : {StopInLine{1}, StopInLine{4}, StopInLine{3, true}}) {
      for (const long chunk : {1L, 4L, 100000L}) {
        SCOPED_TRACE(std::string(name) + ", stopped at poll " + std::to_string(stop.at) +
                     (stop.abandons ? " by Abbrechen" : "") + ", calls of " +
                     std::to_string(chunk));
        EXPECT_EQ(RunInChunks(program, true, chunk, -1, {}, stop),
                  RunInChunks(program, false, chunk, -1, {}, stop));
      }
    }
  }
}

// Slices of a time budget, some with a step limit too, on a clock that moves by a tick at
// every reading and by a poll whenever a long line asks its interrupt: the routine must
// end every slice after the same line as the steps, reading the clock as often.
std::string SlicedRun(const Lines& program, bool compiled, std::chrono::nanoseconds budget,
                      long chunk) {
  using namespace std::chrono_literals;
  SetDecimalSeparator('.');
  World world;
  world.AddVariable("x");
  world.AddVariable("y");
  world.interpreter.UseCompiledLines(compiled);
  std::chrono::nanoseconds now{};
  world.run.SetLineWait([&now] { now += 3us; });
  world.run.Slices().SetClock([&now] { return std::chrono::steady_clock::time_point(now += 1us); });
  world.project.programs[MainProgram] = program;
  world.run.Start();
  std::string slices;
  RunOutcome outcome = RunOutcome::Running;
  for (int slice = 0; slice < 5000 && outcome == RunOutcome::Running; ++slice) {
    outcome = world.run.StepMain({chunk, budget});
    slices += std::to_string(world.run.LinesRun()) + "/" +
              std::to_string(world.run.Slices().Readings()) + " ";
  }
  return slices + "\n" + Observed(world);
}

TEST(CompiledLinesTest, SlicesEndWhereTheStepsEndThem) {
  using namespace std::chrono_literals;
  for (const testing::CostedProgram& row : testing::CostedPrograms()) {
    for (const std::chrono::nanoseconds budget : {0ns, 20000ns, 300000ns}) {
      for (const long chunk : {0L, 1L, 37L, 1000L}) {
        SCOPED_TRACE(std::string(row.name) + ", a budget of " + std::to_string(budget.count()) +
                     " ns, calls of " + std::to_string(chunk) + " lines");
        EXPECT_EQ(SlicedRun(row.lines, true, budget, chunk),
                  SlicedRun(row.lines, false, budget, chunk));
      }
    }
  }
}

// However often lines are edited, the routine keeps about what the program needs.
TEST(CompiledLinesTest, EditsLeaveTheRoutineBounded) {
  for (const int body : {1, 100}) {  // lines of the loop, each edited at every call
    SCOPED_TRACE(std::to_string(body) + " lines edited at every call");
    Lines program(static_cast<std::size_t>(body) + 2, "x:=x+1");
    program.front() = "Wiederhole(1000000)";
    program.back() = "EndeWiederhole";
    World world;
    world.AddVariable("x");
    world.Run(program, 1);
    std::size_t most = 0;
    for (int call = 1; call <= 12000 / body; ++call) {
      for (int n = 1; n <= body; ++n)
        world.project.programs[MainProgram][n] = "x:=x+" + std::to_string(call % 7);
      ASSERT_NE(world.run.StepMain({2 * body + 3, std::nullopt}), RunOutcome::Failed);
      most = std::max(most, world.interpreter.CompiledOperations());
    }
    EXPECT_LE(most, 2 * LineRoutine::kMinUnused + 40 * static_cast<std::size_t>(body));
  }
}

}  // namespace
}  // namespace ombrix
