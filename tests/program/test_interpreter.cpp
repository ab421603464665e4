#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"
#include "logic/program/interpreter.h"
#include "tests/program/interpreter_world.h"

namespace ombrix {
namespace {

using testing::RunError;
using testing::World;
using Lines = std::vector<std::string>;

const char* const kSyntax = "Syntaxfehler";
const char* const kBadArgument = "Unzul\xE4ssiges Argument in Funktion";
const char* const kUnknownVariable = "Unbekannter Variablenname";
const char* const kUnknownCommand = "Unbekanntes Kommando";

class InterpreterTest : public ::testing::Test {
 protected:
  void SetUp() override { SetDecimalSeparator('.'); }
};

// Programs that end normally, with the values they leave behind in x and the steps taken.
struct ValueRow {
  const char* name;
  Lines program;
  double x;    // real part of x afterwards
  long steps;  // 0: not checked
};

TEST_F(InterpreterTest, ProgramsThatRunToTheirEnd) {
  const std::vector<ValueRow> rows = {
      {"empty lines cost a step each", {"", "", ""}, 0, 3},
      {"assignment", {"x:=3"}, 3, 1},
      {"name in another case", {"X:=3"}, 3, 1},
      {"comparison result reads as a number", {"x:=2<3"}, 1, 1},
      {"Wenn(0) runs only the Andernfalls part",
       {"Wenn(0)", "x:=1", "Andernfalls", "x:=x+10", "EndeWenn", "x:=x+100"},
       110,
       4},
      {"Wenn(1) skips the Andernfalls part",
       {"Wenn(1)", "x:=1", "Andernfalls", "x:=x+10", "EndeWenn", "x:=x+100"},
       101,
       4},
      {"Wenn(0) without Andernfalls", {"Wenn(0)", "x:=1", "EndeWenn", "x:=x+2"}, 2, 0},
      {"Wenn(0) passes over a nested Wenn",
       {"Wenn(0)", "Wenn(1)", "x:=1", "Andernfalls", "x:=2", "EndeWenn", "Andernfalls", "x:=x+5",
        "EndeWenn"},
       5,
       0},
      {"a complex condition is true", {"Wenn(i)", "x:=7", "EndeWenn"}, 7, 0},
      {"Wiederhole(3) runs its body three times",
       {"Wiederhole(3)", "x:=x+1", "EndeWiederhole"},
       3,
       0},
      {"Wiederhole(0) skips", {"Wiederhole(0)", "x:=x+1", "EndeWiederhole", "x:=x+5"}, 5, 0},
      {"Wiederhole(-2) skips", {"Wiederhole(-2)", "x:=x+1", "EndeWiederhole"}, 0, 0},
      {"nested Wiederhole",
       {"Wiederhole(2)", "Wiederhole(3)", "x:=x+1", "EndeWiederhole", "EndeWiederhole"},
       6,
       0},
      {"skipping Wiederhole passes over a nested one",
       {"Wiederhole(0)", "Wiederhole(3)", "EndeWiederhole", "x:=9", "EndeWiederhole"},
       0,
       0},
      {"Fuer 1..3 leaves the variable at 3",
       {"F\xFCr(k;1;3;1)", "x:=x+k", "EndeF\xFCr", "x:=x*10+k"},
       63,
       0},
      {"Fuer 3..1 with step 1 runs once with 3", {"F\xFCr(k;3;1;1)", "x:=x+k", "EndeF\xFCr"}, 3, 0},
      {"Fuer 3..1 with step -1 runs with 3, 2, 1",
       {"F\xFCr(k;3;1;-1)", "x:=x*10+k", "EndeF\xFCr"},
       321,
       0},
      {"a body that changes the loop variable changes the count",
       {"F\xFCr(k;1;10;1)", "x:=x+1", "k:=k+4", "EndeF\xFCr"},
       2,
       0},
      {"Solange re-evaluates its condition", {"Solange(x<3)", "x:=x+1", "EndeSolange"}, 3, 0},
      {"Solange that is false at once skips", {"Solange(x>0)", "x:=5", "EndeSolange"}, 0, 1},
      {"a condition that becomes an error ends the loop silently",
       {"Solange(1/(2-x))", "x:=x+1", "EndeSolange", "x:=x+10"},
       12,
       0},
      {"keywords ignore case",
       {"WENN(1)", "x:=1", "ANDERNFALLS", "x:=2", "endewenn", "F\xDCR(k;1;2;1)", "x:=x+1",
        "ENDEF\xDCR"},
       3,
       0},
      {"EndeWenn with an argument is still EndeWenn", {"Wenn(1)", "x:=4", "EndeWenn(x)"}, 4, 3},
      {"the constants can be assigned", {"pi:=2", "x:=Pi"}, 2, 2},
      {"SetzeSkala changes what the built-ins read",
       {"SetzeSkala(0;8;-1;1)", "x:=DeltaRe()*100"},
       2,
       2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    World world;
    world.AddVariable("x");
    world.AddVariable("k");
    EXPECT_TRUE(world.Run(row.program));
    EXPECT_TRUE(world.boxes.boxes.empty()) << world.boxes.Texts()[0];
    EXPECT_EQ(world.Value("x").Re, row.x);
    if (row.steps) {
      EXPECT_EQ(world.steps, row.steps);
    }
    EXPECT_TRUE(world.flags.MainRunning);
  }
}

// Names ending in "e" before "+" or "-": the sign is the next operator, with plans and
// from the texts alike.
TEST_F(InterpreterTest, NamesEndingInEBeforeASign) {
  struct Row {
    const char* name;
    Lines program;
    double summe;
  };
  const std::vector<Row> rows = {
      {"counter ending in e", {"summe:=2", "summe:=summe+1"}, 3},
      {"in a loop", {"Wiederhole(4)", "summe:=summe+1", "EndeWiederhole"}, 4},
      {"minus after the name", {"summe:=10", "summe:=summe-1-summe-1"}, -2},
      {"the constant e", {"summe:=e+1"}, 3.71828182845905},
      {"in a condition", {"Solange(summe-3<0)", "summe:=summe+1", "EndeSolange"}, 3},
      {"in a command's argument", {"SetzeSkala(summe-5;summe+5;-5;5)", "summe:=ReMax()"}, 5},
  };
  for (const bool plans : {true, false}) {
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(row.name) + (plans ? " with plans" : " from the texts"));
      World world;
      world.AddVariable("summe");
      world.interpreter.UsePlans(plans);
      EXPECT_TRUE(world.Run(row.program));
      EXPECT_TRUE(world.boxes.boxes.empty()) << world.boxes.Texts()[0];
      EXPECT_EQ(world.Value("summe").Re, row.summe);
    }
  }
}

TEST_F(InterpreterTest, ForLoopStepsRunWithEachValue) {
  World world;
  world.AddVariable("k");
  world.AddVariable("s");
  ASSERT_TRUE(world.Run({"F\xFCr(k;1;3;1)", "s:=s*10+k", "EndeF\xFCr"}));
  EXPECT_EQ(world.Value("s").Re, 123);
  EXPECT_EQ(world.Value("k").Re, 3);
  EXPECT_EQ(world.steps, 1 + 3 * 2);  // the opening line runs once
}

// Programs that fail, with the boxes they show and the line they stop on.
struct FailRow {
  const char* name;
  Lines program;
  std::vector<std::string> boxes;
};

TEST_F(InterpreterTest, RunErrorsNameTheMessageTheLineAndTheProgram) {
  const std::vector<FailRow> rows = {
      {"unknown variable after evaluating the right side",
       {"x:=1", "y:=1"},
       {RunError(kUnknownVariable, 2, "y:=1")}},
      {"right side is checked before the name",
       {"y:=(1"},
       {RunError("Fehlerhafte Klammerung", 1, "y:=(1")}},
      {"an error of the right side keeps its code",
       {"x:=1/0"},
       {RunError("Unzul\xE4ssiges Argument bei Rechenoperator", 1, "x:=1/0")}},
      {"a line that is nothing known", {"", "Hallo"}, {RunError(kUnknownCommand, 2, "Hallo")}},
      {"a failing colour shows two boxes",
       {"x:=1", "SetzeFarbe(1/0)"},
       {RunError("Unzul\xE4ssiges Argument bei Rechenoperator", 2, "SetzeFarbe(1/0)"),
        RunError(kBadArgument, 2, "SetzeFarbe(1/0)")}},
      {"command without brackets",
       {"ZeichnePunkt"},
       {RunError(kSyntax, 1, "ZeichnePunkt"), RunError(kBadArgument, 1, "ZeichnePunkt")}},
      {"command without its closing bracket",
       {"ZeichnePunkt(1"},
       {RunError(kSyntax, 1, "ZeichnePunkt(1"), RunError(kBadArgument, 1, "ZeichnePunkt(1")}},
      {"too few arguments",
       {"ZeichneLinie(1)"},
       {RunError(kSyntax, 1, "ZeichneLinie(1)"), RunError(kBadArgument, 1, "ZeichneLinie(1)")}},
      {"failing argument of a command shows two boxes",
       {"ZeichnePunkt(nix)"},
       {RunError("Unbekannter Funktionsname", 1, "ZeichnePunkt(nix)"),
        RunError(kBadArgument, 1, "ZeichnePunkt(nix)")}},
      {"failing argument of Wenn",
       {"Wenn(1/0)", "EndeWenn"},
       {RunError("Unzul\xE4ssiges Argument bei Rechenoperator", 1, "Wenn(1/0)"),
        RunError(kBadArgument, 1, "Wenn(1/0)")}},
      {"Wenn(0) without Andernfalls or EndeWenn",
       {"Wenn(0)", "x:=1"},
       {RunError("Fehlerhafte 'Wenn'-Konstruktion", 1, "Wenn(0)")}},
      {"Andernfalls without EndeWenn",
       {"Wenn(1)", "x:=1", "Andernfalls", "x:=2"},
       {RunError("Fehlerhafte 'Wenn'-Konstruktion", 3, "Andernfalls")}},
      {"Wiederhole(2.5)",
       {"Wiederhole(2.5)", "EndeWiederhole"},
       {RunError(kBadArgument, 1, "Wiederhole(2.5)")}},
      {"Wiederhole(i)",
       {"Wiederhole(i)", "EndeWiederhole"},
       {RunError(kBadArgument, 1, "Wiederhole(i)")}},
      {"Wiederhole(0) without EndeWiederhole",
       {"Wiederhole(0)"},
       {RunError("Fehlerhafte 'Wiederhole'-Konstruktion", 1, "Wiederhole(0)")}},
      {"false Solange without EndeSolange",
       {"Solange(x>0)", "x:=1"},
       {RunError("Fehlerhafte 'Solange'-Konstruktion", 1, "Solange(x>0)")}},
      {"Solange with a failing condition reports its code",
       {"Solange(nix<3)", "EndeSolange"},
       {RunError(kSyntax, 1, "Solange(nix<3)")}},
      {"Fuer with step 0",
       {"F\xFCr(k;1;3;0)", "EndeF\xFCr"},
       {RunError(kBadArgument, 1, "F\xFCr(k;1;3;0)")}},
      {"Fuer with a complex bound",
       {"F\xFCr(k;1;3*i;1)", "EndeF\xFCr"},
       {RunError(kBadArgument, 1, "F\xFCr(k;1;3*i;1)")}},
      {"Fuer with an unknown variable",
       {"F\xFCr(nix;1;3;1)", "EndeF\xFCr"},
       {RunError(kUnknownVariable, 1, "F\xFCr(nix;1;3;1)")}},
      {"Fuer with too few arguments",
       {"F\xFCr(k;1;3)"},
       {RunError(kSyntax, 1, "F\xFCr(k;1;3)"), RunError(kBadArgument, 1, "F\xFCr(k;1;3)")}},
      {"SetzeSkala refusing its arguments",
       {"SetzeSkala(1;1;0;1)"},
       {RunError(kBadArgument, 1, "SetzeSkala(1;1;0;1)")}},
      {"an assignment anywhere in the line wins",
       {"ZeichnePunkt(a:=1)"},
       {RunError("Fehlerhafte Klammerung", 1, "ZeichnePunkt(a:=1)")}},
      // The closing keyword of a loop that was never opened.
      {"EndeSolange without a loop",
       {"x:=1", "EndeSolange"},
       {RunError("Fehlerhafte 'Solange'-Konstruktion", 2, "EndeSolange")}},
      {"EndeWiederhole without a loop",
       {"EndeWiederhole"},
       {RunError("Fehlerhafte 'Wiederhole'-Konstruktion", 1, "EndeWiederhole")}},
      {"EndeFuer without a loop", {"EndeF\xFCr"}, {RunError(kSyntax, 1, "EndeF\xFCr")}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    World world;
    world.AddVariable("x");
    world.AddVariable("k");
    EXPECT_FALSE(world.Run(row.program));
    EXPECT_EQ(world.boxes.Texts(), row.boxes);
    for (const auto& box : world.boxes.boxes) EXPECT_EQ(box.kind, MessageKind::Error);
    EXPECT_FALSE(world.flags.MainRunning);
    EXPECT_TRUE(world.flags.MouseHandlerEnabled);  // only the failing program's flag
  }
}

TEST_F(InterpreterTest, ErrorsOfTheMouseProgramNameItAndClearItsFlag) {
  World world;
  world.flags.MainRunning = true;
  world.flags.MouseHandlerEnabled = true;
  world.project.programs[MouseHandlerProgram] = {"", "Hallo"};
  EXPECT_EQ(world.run.RunMouseProgram(), RunOutcome::Failed);
  EXPECT_EQ(world.boxes.Texts(),
            std::vector<std::string>{RunError(kUnknownCommand, 2, "Hallo", MouseHandlerProgram)});
  const std::string tail = "\n\nin: 'Ereignisbehandlung f\xFCr 'Mausknopf gedr\374ckt''";
  EXPECT_TRUE(world.boxes.Texts()[0].ends_with(tail));
  EXPECT_TRUE(world.flags.MainRunning);
  EXPECT_FALSE(world.flags.MouseHandlerEnabled);
  EXPECT_EQ(world.state.CurrentLine[MouseHandlerProgram], 1);  // the editor opens on it
}

TEST_F(InterpreterTest, MouseProgramRunsFromItsFirstLineEachTime) {
  World world;
  world.AddVariable("n");
  world.flags.MouseHandlerEnabled = true;
  world.project.programs[MouseHandlerProgram] = {"n:=n+1", "ZeichnePunkt(MausPos())"};
  world.drawing.SetMousePosition(200, 200);
  EXPECT_EQ(world.run.RunMouseProgram(), RunOutcome::Ended);
  world.drawing.SetMousePosition(240, 160);
  EXPECT_EQ(world.run.RunMouseProgram(), RunOutcome::Ended);
  EXPECT_EQ(world.Value("n").Re, 2);
  EXPECT_EQ(world.canvas.calls,
            (std::vector<std::string>{"SetPixel 200 200 000000", "SetPixel 240 160 000000"}));
}

TEST_F(InterpreterTest, EndlessMouseProgramStopsAtTheStepBound) {
  struct Row {
    std::int64_t limit;
    const char* steps;
  };
  for (const Row& row : {Row{1000, "1000 Schritten"}, Row{1, "1 Schritt"}}) {
    SCOPED_TRACE(row.steps);
    World world;
    world.flags.MouseHandlerEnabled = true;
    world.project.programs[MouseHandlerProgram] = {"Solange(1)", "EndeSolange"};
    world.run.SetMouseStepLimit(row.limit);
    EXPECT_EQ(world.run.RunMouseProgram(), RunOutcome::Failed);
    ASSERT_EQ(world.boxes.boxes.size(), 1u);
    EXPECT_EQ(world.boxes.boxes[0].kind, MessageKind::Error);
    EXPECT_EQ(world.boxes.Texts()[0], RunError(std::string("Das Programm wurde nach ") + row.steps +
                                                   " abgebrochen, ohne sein Ende zu erreichen",
                                               2, "EndeSolange", MouseHandlerProgram));
    EXPECT_FALSE(world.flags.MouseHandlerEnabled);
  }
  EXPECT_EQ(kMouseHandlerStepLimit, 1000000);
}

TEST_F(InterpreterTest, FaultInsideAStepIsReportedOnceAndStopsTheProgram) {
  struct Row {
    const char* name;
    Lines program;
    std::string message;
    int line;  // 0-based line the program stops on
  };
  const std::vector<Row> rows = {
      {"number text that is no number",
       {"x:=1", "x:=1e2e3"},
       "'1e2e3' ist kein g\xFCltiger Gleitkommawert.",
       1},
      {"loop variable overflowing",
       {"F\xFCr(x;-17e307;-175e306;-17e307)", "", "EndeF\xFCr"},
       "Gleitkomma\374berlauf.",
       2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    World world;
    world.AddVariable("x");
    EXPECT_FALSE(world.Run(row.program));
    ASSERT_EQ(world.boxes.boxes.size(), 1u);
    EXPECT_EQ(world.boxes.boxes[0].kind, MessageKind::Fault);
    EXPECT_EQ(world.boxes.boxes[0].text, row.message);
    EXPECT_FALSE(world.flags.MainRunning);
    EXPECT_EQ(world.state.CurrentLine[MainProgram], row.line);
  }
}

TEST_F(InterpreterTest, FaultInTheMouseProgramClearsOnlyItsFlag) {
  World world;
  world.AddVariable("x");
  world.flags.MainRunning = true;
  world.flags.MouseHandlerEnabled = true;
  world.project.programs[MouseHandlerProgram] = {"x:=1e2e3"};
  EXPECT_EQ(world.run.RunMouseProgram(), RunOutcome::Failed);
  EXPECT_EQ(world.boxes.boxes.size(), 1u);
  EXPECT_TRUE(world.flags.MainRunning);
  EXPECT_FALSE(world.flags.MouseHandlerEnabled);
}

TEST_F(InterpreterTest, BlockStacksStopGrowingAtTheirBound) {
  struct Row {
    const char* name;
    std::string line;
    std::string message;
  };
  const std::vector<Row> rows = {
      {"Solange", "Solange(1)", "Fehlerhafte 'Solange'-Konstruktion"},
      {"Wiederhole", "Wiederhole(2)", "Fehlerhafte 'Wiederhole'-Konstruktion"},
      {"Fuer", "F\xFCr(x;1;2;1)", kSyntax},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    World world;
    world.AddVariable("x");
    world.state.BlockStack[MainProgram].resize(kMaxBlockRecords - 1);
    EXPECT_TRUE(world.Run({row.line}));  // the last record that fits
    EXPECT_EQ(world.state.BlockStack[MainProgram].size(), kMaxBlockRecords);
    EXPECT_FALSE(world.Run({row.line}));
    EXPECT_EQ(world.boxes.Texts(), std::vector<std::string>{RunError(row.message, 1, row.line)});
    EXPECT_EQ(world.state.BlockStack[MainProgram].size(), kMaxBlockRecords);
  }
}

TEST_F(InterpreterTest, OpenLoopsOfLongConditionsStopAtTheirBytes) {
  World world;
  world.flags.MouseHandlerEnabled = true;
  // A loop opened at every mouse event and never closed; its condition is 1 MiB long.
  const std::string condition = std::string((std::size_t{1} << 20) - 1, '0') + "1";
  const std::string line = "Solange(" + condition + ")";
  world.project.programs[MouseHandlerProgram] = {line};
  const std::size_t record = sizeof(BlockRecord) + condition.size();
  // Earlier events have left records of nearly 64 MiB; two more fit.
  world.state.block_bytes[MouseHandlerProgram] = kMaxBlockBytes - 2 * record;
  EXPECT_EQ(world.run.RunMouseProgram(), RunOutcome::Ended);
  EXPECT_EQ(world.run.RunMouseProgram(), RunOutcome::Ended);
  EXPECT_EQ(world.run.RunMouseProgram(), RunOutcome::Failed);
  EXPECT_EQ(world.boxes.Texts(),
            std::vector<std::string>{
                RunError("Fehlerhafte 'Solange'-Konstruktion", 1, line, MouseHandlerProgram)});
  EXPECT_EQ(world.state.BlockStack[MouseHandlerProgram].size(), 2u);
  EXPECT_EQ(world.state.block_bytes[MouseHandlerProgram], kMaxBlockBytes);
  EXPECT_LE(kMaxBlockBytes, std::size_t{64} << 20);
}

TEST_F(InterpreterTest, ClosedLoopsGiveTheirBytesBack) {
  World world;
  world.AddVariable("x");
  EXPECT_TRUE(world.Run({"x:=0", "Solange(x<3)", "x:=x+1", "EndeSolange"}));
  EXPECT_TRUE(world.state.BlockStack[MainProgram].empty());
  EXPECT_EQ(world.state.block_bytes[MainProgram], 0u);
}

TEST_F(InterpreterTest, RecordsLeftByAStoppedRunStayBelowLaterOnes) {
  World world;
  world.AddVariable("x");
  // The first run stops inside its loop; its record stays and a closing keyword of the
  // next run uses it.
  EXPECT_FALSE(world.Run({"Wiederhole(5)", "x:=x+1", "EndeWiederhole"}, 2));
  EXPECT_EQ(world.state.BlockStack[MainProgram].size(), 1u);
  EXPECT_TRUE(world.Run({"x:=0", "EndeWiederhole"}));
  EXPECT_TRUE(world.state.BlockStack[MainProgram].empty() ||
              world.state.BlockStack[MainProgram].back().remaining_count < 5);
  EXPECT_TRUE(world.boxes.boxes.empty());
}

TEST_F(InterpreterTest, ClosingKeywordsDoNotCheckTheKindOfTheirRecord) {
  World world;
  world.AddVariable("x");
  // EndeWiederhole closes the Solange record: its count of 0 drops to -1 and it pops.
  EXPECT_TRUE(world.Run({"Solange(1)", "x:=x+1", "EndeWiederhole", "x:=x+10"}));
  EXPECT_EQ(world.Value("x").Re, 11);
  EXPECT_TRUE(world.state.BlockStack[MainProgram].empty());
}

TEST_F(InterpreterTest, JumpsBackLandOnTheFirstBodyLine) {
  World world;
  world.AddVariable("x");
  world.project.programs[MainProgram] = {"Wiederhole(2)", "x:=x+1", "EndeWiederhole"};
  world.project.variables.CopyStartToCurrent();
  std::vector<int> lines;
  while (static_cast<std::size_t>(world.state.CurrentLine[0]) < 3) {
    lines.push_back(world.state.CurrentLine[0]);
    ASSERT_TRUE(world.interpreter.ExecuteStep(MainProgram));
    EXPECT_EQ(world.state.ArgumentCursor[0], 0);
  }
  EXPECT_EQ(lines, (std::vector<int>{0, 1, 2, 1, 2}));
}

// An interpreter keeps what it read of each line; a second run after a change must behave
// as a fresh interpreter that reads everything from the texts.
TEST_F(InterpreterTest, ASecondRunSeesEveryChange) {
  struct Row {
    const char* name;
    Lines program;
    void (*change)(World&);
    double x;  // real part of x after the second run
  };
  const std::vector<Row> rows = {
      {"a line's text at the same place",
       {"x:=1", "x:=x+1"},
       [](World& w) { w.project.programs[MainProgram][1] = "x:=x+5"; },
       6},
      {"the arguments of a command line",
       {"Wenn(1)", "x:=2", "EndeWenn"},
       [](World& w) { w.project.programs[MainProgram][0] = "Wenn(0)"; },
       0},
      {"a loop's condition",
       {"x:=0", "Solange(x<3)", "x:=x+1", "EndeSolange"},
       [](World& w) { w.project.programs[MainProgram][1] = "Solange(x<5)"; },
       5},
      {"a function's term",
       {"x:=f(2)"},
       [](World& w) { w.project.functions.SetTerm(23, "#+1"); },
       3},
      {"the variable an assignment stores to",
       {"x:=7"},
       [](World& w) {
         w.project.variables.SetName(3, "q");
         w.project.variables.SetName(4, "x");
       },
       7},
      {"the decimal separator", {"x:=1.5*2"}, [](World&) { SetDecimalSeparator(','); }, 0},
      {"a line a skipped Wenn passed over becomes its Andernfalls",
       {"Wenn(0)", "x:=1", "x:=x+2", "EndeWenn", "x:=x+4"},
       [](World& w) { w.project.programs[MainProgram][1] = "Andernfalls"; },
       6},
      {"a line a skipped loop passed over opens another loop of its kind",
       {"Wiederhole(0)", "x:=1", "x:=x+3", "EndeWiederhole", "x:=x+5"},
       [](World& w) { w.project.programs[MainProgram][1] = "Wiederhole(2)"; },
       0},
      {"the lines a skip ended on are gone",
       {"Wenn(0)", "x:=1", "EndeWenn", "x:=x+2"},
       [](World& w) { w.project.programs[MainProgram].resize(2); },
       0},
      {"the loop variable's name passes to another variable",
       {"F\xFCr(x;1;3;1)", "EndeF\xFCr"},
       [](World& w) {
         w.project.variables.SetName(3, "q");
         w.project.variables.SetName(4, "x");
       },
       3},
      {"lines added in front",
       {"x:=x+1"},
       [](World& w) {
         w.project.programs[MainProgram] = {"x:=10", "x:=x*2", "x:=x+1"};
       },
       21},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    SetDecimalSeparator('.');
    World world;
    testing::AddFunction(world.project.functions, "f", "#*#");
    world.AddVariable("x");
    world.AddVariable("y");
    world.Run(row.program);
    row.change(world);
    world.boxes.boxes.clear();
    world.Run(world.project.programs[MainProgram]);

    World fresh;
    fresh.project = world.project;
    fresh.interpreter.UsePlans(false);
    fresh.Run(fresh.project.programs[MainProgram]);
    EXPECT_EQ(world.boxes.Texts(), fresh.boxes.Texts());
    EXPECT_EQ(world.steps, fresh.steps);
    EXPECT_EQ(world.Value("x").Re, row.x);
    EXPECT_EQ(fresh.Value("x").Re, row.x);
  }
  SetDecimalSeparator('.');
}

TEST_F(InterpreterTest, ArgumentsAreReadUpToTheirSeparator) {
  struct Row {
    const char* name;
    std::string line;
    std::vector<std::string> texts;  // successive ReadArgumentText results
  };
  const std::vector<Row> rows = {
      {"two arguments", "ZeichneLinie(1;2)", {"1", "2", "?1"}},
      {"brackets inside an argument", "F\xFCr(k;f(1;2);(3)+4;5)", {"k", "f(1;2)", "(3)+4", "5"}},
      {"no bracket at all", "ZeichneSkala", {"?1", "?1"}},
      {"missing closing bracket", "Wenn(x", {"?1"}},
      {"empty argument", "Wenn()", {"", "?1"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    World world;
    world.project.programs[MainProgram] = {row.line};
    const std::size_t bracket = row.line.find('(');
    world.state.ArgumentCursor[0] =
        static_cast<int>(bracket == std::string::npos ? row.line.size() + 2 : bracket + 2);
    for (const auto& expected : row.texts) {
      EXPECT_EQ(world.interpreter.ReadArgumentText(MainProgram), expected);
    }
  }
}

TEST_F(InterpreterTest, PreconditionViolationsAnswerFalseWithoutABox) {
  World world;
  world.project.programs[MainProgram] = {"x:=1"};
  world.state.CurrentLine[0] = 1;
  EXPECT_FALSE(world.interpreter.ExecuteStep(MainProgram));
  world.state.CurrentLine[0] = -3;
  EXPECT_FALSE(world.interpreter.ExecuteStep(MainProgram));
  EXPECT_FALSE(world.interpreter.ExecuteStep(2));
  EXPECT_TRUE(world.boxes.boxes.empty());
}

TEST_F(InterpreterTest, MousePositionIsShownInHundredths) {
  struct Row {
    const char* name;
    TComplex position;
    std::string text;
  };
  const std::vector<Row> rows = {
      {"positive rounds half up", {1.234, 0}, "1.23"},
      {"negative toward zero after adding a half", {-1.236, 0}, "-1.23"},
      {"negative just below", {-1.234, 0}, "-1.22"},
      {"both parts; -5 shows as -4.99", {-5, 5}, "-4.99+5*i"},
      {"origin", {0, 0}, "0"},
      {"beyond 32 bits", {30000000.004, 0}, "30000000"},
      {"beyond 64 bits shown as it is", {1e300, 0}, "1E300"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(MousePositionText(row.position), row.text);
  }
  SetDecimalSeparator(',');
  EXPECT_EQ(MousePositionText({1.234, -2.5}), "1,23-2,49*i");
}

// Rows for every shape of line the line cache keeps, each run twice through one
// interpreter (the second run uses what the first one kept) and compared with an
// interpreter that reads every line from its text: steps, boxes, canvas, values, records.
struct AgreeRow {
  const char* name;
  Lines program;
  void (*change)(World&) = nullptr;  // between the two runs
  long limit = 0;                    // steps per run; 0: the test's own bound
};

void ExpectAgreesWithTheTexts(const AgreeRow& row, long limit = 100000) {
  if (row.limit > 0) limit = row.limit;
  World cached, texts;
  texts.interpreter.UsePlans(false);
  for (World* w : {&cached, &texts}) {
    w->AddVariable("x");
    w->AddVariable("k");
    testing::AddFunction(w->project.functions, "f", "#*#");
    w->Run(row.program, limit);
  }
  ASSERT_EQ(testing::Observed(cached), testing::Observed(texts)) << "first run";
  for (World* w : {&cached, &texts}) {
    if (row.change != nullptr) row.change(*w);
    w->Run(w->project.programs[MainProgram], limit);
  }
  EXPECT_EQ(testing::Observed(cached), testing::Observed(texts)) << "second run";
}

Lines Repeated(int times, Lines body) {
  Lines program = {"Wiederhole(" + std::to_string(times) + ")"};
  program.insert(program.end(), body.begin(), body.end());
  program.push_back("EndeWiederhole");
  return program;
}

TEST_F(InterpreterTest, LineCacheAgreesWithTheTextsForEveryShape) {
  const std::vector<AgreeRow> rows = {
      {"Wenn(0) skipping to Andernfalls again and again",
       Repeated(3, {"Wenn(0)", "x:=x+1", "Andernfalls", "x:=x+10", "EndeWenn"})},
      {"Wenn(0) skipping to EndeWenn past a nested Wenn",
       Repeated(3, {"Wenn(x>100)", "Wenn(1)", "x:=0", "EndeWenn", "EndeWenn", "x:=x+7"})},
      {"Andernfalls skipping to its EndeWenn",
       Repeated(3, {"Wenn(1)", "x:=x+1", "Andernfalls", "x:=x+10", "EndeWenn"})},
      {"a Wenn that skips every other time",
       Repeated(4, {"Wenn(k)", "x:=x+1", "Andernfalls", "x:=x+10", "EndeWenn", "k:=1-k"})},
      {"Solange that never runs, passing over another kind",
       Repeated(2, {"Solange(0)", "Wiederhole(5)", "EndeSolange", "x:=x+1"})},
      {"Wiederhole(0) inside a loop", Repeated(3, {"Wiederhole(k)", "x:=x+1", "EndeWiederhole"})},
      {"Solange with its condition at each EndeSolange",
       {"Solange(x<5)", "x:=x+1", "EndeSolange", "Solange(x<7)", "x:=x+1", "EndeSolange"}},
      {"nested Fuer loops",
       {"F\xFCr(k;1;3;1)", "F\xFCr(x;k;1;-1)", "ZeichnePunkt(x+k*i)", "EndeF\xFCr", "EndeF\xFCr"}},
      {"Fuer over an unknown name", {"F\xFCr(nix;1;2;1)", "EndeF\xFCr"}},
      {"Fuer whose name does not end", {"F\xFCr(x"}},
      {"commands and their arguments", Repeated(2, {"ZeichneLinie(x;x+1)", "x:=f(x+1)"})},
      {"EndeWiederhole closing a Solange record",
       {"Solange(1)", "x:=x+1", "EndeWiederhole", "x:=x+10"}},
      {"closing keywords without records", {"EndeSolange"}},
      {"Wenn(0) without its end the second time round",
       {"Wiederhole(2)", "Wenn(k)", "k:=0", "EndeWiederhole"}},
      {"Andernfalls without EndeWenn in a loop", Repeated(2, {"Wenn(1)", "x:=x+1", "Andernfalls"})},
      {"an unbalanced Wiederhole(0)", {"Wiederhole(0)", "Wiederhole(1)", "EndeWiederhole"}},
      {"an endless loop stopped at the step bound", {"Solange(1)", "x:=x+1", "EndeSolange"}},
      {"a skipped block gains a nested block of its kind",
       Repeated(2, {"Wiederhole(0)", "x:=1", "EndeWiederhole", "x:=x+1", "EndeWiederhole"}),
       [](World& w) { w.project.programs[MainProgram][2] = "Wiederhole(0)"; }},
      {"a skipped block's end moves down",
       {"Wenn(0)", "x:=1", "EndeWenn", "x:=x+2", "EndeWenn", "x:=x+4"},
       [](World& w) { w.project.programs[MainProgram][2] = "x:=x+8"; }},
      {"a Solange line whose condition changes",
       {"Solange(x<3)", "x:=x+1", "EndeSolange"},
       [](World& w) { w.project.programs[MainProgram][0] = "Solange(x<4)"; }},
      {"a Fuer line that becomes an assignment",
       {"F\xFCr(x;1;3;1)", "k:=k+x", "EndeF\xFCr"},
       [](World& w) { w.project.programs[MainProgram][0] = "x:=5"; }},
      {"a Solange whose test fails at its start", {"Solange(nix<1)", "x:=1", "EndeSolange"}},
      {"a Solange whose test fails at its end, which ends the loop",
       {"Solange(1/(3-x))", "x:=x+1", "EndeSolange", "k:=x"}},
      {"a nested loop left by a failure, its records left for the next run",
       {"Solange(1)", "F\xFCr(k;1;3;1)", "x:=x+k", "Wenn(x>10)", "x:=nix", "EndeWenn", "EndeF\xFCr",
        "EndeSolange"}},
      {"the step bound reached inside nested loops",
       {"Solange(x<100)", "Wiederhole(3)", "x:=x+1", "EndeWiederhole", "EndeSolange"},
       nullptr,
       7},
      {"the step bound reached at the test of a Solange",
       {"Solange(x<100)", "x:=x+1", "EndeSolange"},
       nullptr,
       6},
      {"a loop's end edited between runs",
       {"Solange(x<3)", "x:=x+1", "EndeSolange", "k:=k+1"},
       [](World& w) { w.project.programs[MainProgram][2] = "EndeWiederhole"; },
       5},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ExpectAgreesWithTheTexts(row, 2000);
  }
}

// More lines than any bound the cache once had, and more distinct terms than plans are
// kept: the handles held by the lines go stale when the plans start afresh and are found
// anew.
TEST_F(InterpreterTest, LongProgramsAndManyTermsAgreeWithTheTexts) {
  Lines distinct;
  for (int n = 0; n < 5000; ++n) distinct.push_back("x:=x+" + std::to_string(n));
  ASSERT_GT(distinct.size(), PlanCache::kMaxPlans);
  Lines long_program = {"Wenn(0)"};
  long_program.resize(70000);  // empty lines cost a step each
  long_program[66000] = "EndeWenn";
  long_program[67000] = "Wiederhole(2)";
  long_program[67001] = "x:=x+1";
  long_program[67002] = "ZeichnePunkt(x)";
  long_program[67003] = "EndeWiederhole";
  long_program[69999] = "k:=x*3";
  const std::vector<AgreeRow> rows = {
      {"more distinct terms than plans, run twice in a loop", Repeated(2, distinct)},
      {"the terms edited between runs", Repeated(2, distinct),
       [](World& w) {
         for (std::string& line : w.project.programs[MainProgram]) {
           if (line.rfind("x:=x+", 0) == 0) line += "1";
         }
       }},
      {"lines past 65536 with a skip and a loop", long_program},
      {"a line past 65536 edited", long_program,
       [](World& w) { w.project.programs[MainProgram][67001] = "x:=x+5"; }},
      {"a skip's end past 65536 moved", long_program,
       [](World& w) {
         w.project.programs[MainProgram][66000] = "";
         w.project.programs[MainProgram][68000] = "EndeWenn";
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ExpectAgreesWithTheTexts(row, 200000);
  }
}

// The debugger lets a learner edit the program between two steps and go on.
TEST_F(InterpreterTest, EditsBetweenStepsAgreeWithTheTexts) {
  struct Row {
    const char* name;
    Lines program;
    long before;  // steps before the edit
    int line;     // the edited line (0-based)
    std::string text;
  };
  const Lines wenn_loop =
      Repeated(3, {"Wenn(0)", "x:=x+1", "x:=x+2", "EndeWenn", "x:=x+4", "EndeWenn"});
  const std::vector<Row> rows = {
      {"a line inside a skipped block becomes its end", wenn_loop, 4, 2, "EndeWenn"},
      {"the skipping line itself", wenn_loop, 4, 1, "Wenn(1)"},
      {"the end of a skipped block goes", wenn_loop, 4, 4, "x:=x+8"},
      {"an open loop's condition line",
       {"Solange(x<3)", "x:=x+1", "EndeSolange"},
       3,
       0,
       "Solange(x<9)"},
      {"an open loop's closing line", {"Solange(x<3)", "x:=x+1", "EndeSolange"}, 3, 2, "EndeWenn"},
      {"a Fuer loop's line while it runs",
       {"F\xFCr(x;1;5;1)", "k:=k+x", "EndeF\xFCr"},
       3,
       0,
       "F\xFCr(k;1;5;1)"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    World cached, texts;
    texts.interpreter.UsePlans(false);
    for (World* w : {&cached, &texts}) {
      w->AddVariable("x");
      w->AddVariable("k");
      w->project.programs[MainProgram] = row.program;
      w->run.Start();
      (void)w->run.StepMain({row.before, std::nullopt});
      w->project.programs[MainProgram][static_cast<std::size_t>(row.line)] = row.text;
      (void)w->run.StepMain({1000, std::nullopt});
      w->steps = static_cast<long>(w->run.LinesRun());
    }
    EXPECT_EQ(testing::Observed(cached), testing::Observed(texts));
  }
}

TEST_F(InterpreterTest, TheDebuggerReadsLineFormsFromTheInterpreter) {
  World world;
  world.AddVariable("x");
  world.project.programs[MainProgram] = {"x:=1", "ZeichnePunkt(x)", "EndeSolange"};
  world.Run(world.project.programs[MainProgram]);
  struct Row {
    const char* name;
    int line;
    std::size_t assign;
    int command;
    int closing;
  };
  const std::vector<Row> rows = {
      {"an assignment", 0, 1, -1, -1},
      {"a command", 1, std::string::npos, static_cast<int>(Command::ZeichnePunkt), -1},
      {"a closing keyword", 2, std::string::npos, -1, static_cast<int>(BlockKind::Solange)},
      {"past the end", 3, std::string::npos, -1, -1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const LineForm form = world.interpreter.FormOf(MainProgram, row.line);
    EXPECT_EQ(form.assign, row.assign);
    EXPECT_EQ(form.command, row.command);
    EXPECT_EQ(form.closing, row.closing);
  }
  // A line edited since it ran is read from its new text.
  world.project.programs[MainProgram][0] = "Wenn(x)";
  EXPECT_EQ(world.interpreter.FormOf(MainProgram, 0).opening, static_cast<int>(BlockKind::Wenn));
}

}  // namespace
}  // namespace ombrix
