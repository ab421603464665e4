#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logic/program/interpreter.h"
#include "tests/program/interpreter_world.h"

namespace ombrix {
namespace {

using testing::Observed;
using testing::World;
using Lines = std::vector<std::string>;

// Runs `program` in calls of `chunk` lines each (the last ones may stop anywhere inside
// a loop), with `edit` put in place of line `edit_line` after the first call, and returns
// what a user could see afterwards.
std::string RunInChunks(const Lines& program, bool compiled, long chunk, int edit_line = -1,
                        const std::string& edit = {}) {
  World world;
  for (const char* name : {"x", "z", "n", "k", "c"}) world.AddVariable(name);
  world.interpreter.UseCompiledLines(compiled);
  world.Run(program, chunk);
  long steps = world.steps;
  if (edit_line >= 0) world.project.programs[MainProgram][edit_line] = edit;
  for (int call = 0;
       call < 400 && world.flags.MainRunning && world.state.CurrentLine[MainProgram] >= 0; ++call) {
    const std::int64_t before = world.run.LinesRun();
    if (world.run.StepMain({chunk, std::nullopt}) == RunOutcome::Failed) break;
    steps += static_cast<long>(world.run.LinesRun() - before);
  }
  world.steps = steps;
  return Observed(world);
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
  const Lines julia = {"c:=-4/5+156/1000*i",
                       "F\xFCr(k;0;3;1)",
                       "z:=k/4",
                       "n:=0",
                       "Solange((Betrag(z)<2)*(n<30))",
                       "z:=z^2+c",
                       "n:=n+1",
                       "EndeSolange",
                       "Wenn((n=30)+(n%2)*(n>3))",
                       "ZeichnePunkt(z)",
                       "Andernfalls",
                       "ZeichneKreis(z;n/100)",
                       "EndeWenn",
                       "EndeF\xFCr"};
  const std::vector<Row> rows = {
      {"a drawing loop", julia, {}},
      {"a loop edited between calls", julia, {6, "n:=n+2"}},
      {"a loop's condition edited between calls", julia, {4, "Solange(n<3)"}},
      {"an overflow inside a loop", {"z:=10", "Wiederhole(20)", "z:=z^2", "EndeWiederhole"}, {}},
      {"a division by zero in a command",
       {"x:=2", "Solange(x>-1)", "ZeichnePunkt(1/x)", "x:=x-1", "EndeSolange"},
       {}},
      {"nested loops with the same condition",
       {"x:=0", "Solange(x<3)", "n:=0", "Solange(x<3)", "x:=x+1", "EndeSolange", "EndeSolange"},
       {}},
      {"a loop end with no loop", {"x:=1", "EndeWiederhole", "x:=2"}, {}},
      {"an unknown line inside a loop", {"Wiederhole(3)", "x:=x+1", "Hallo", "EndeWiederhole"}, {}},
      {"a count that is no integer", {"Wiederhole(5/2)", "x:=x+1", "EndeWiederhole"}, {}},
      {"a complex condition",
       {"x:=i", "Wenn(x)", "n:=1", "EndeWenn", "Solange(x)", "x:=0", "EndeSolange"},
       {}},
  };
  for (const Row& row : rows) {
    for (const long chunk : {1L, 2L, 3L, 7L, 100000L}) {
      SCOPED_TRACE(std::string(row.name) + ", calls of " + std::to_string(chunk));
      EXPECT_EQ(RunInChunks(row.program, true, chunk, row.edit.line, row.edit.text),
                RunInChunks(row.program, false, chunk, row.edit.line, row.edit.text));
    }
  }
}

}  // namespace
}  // namespace ombrix
