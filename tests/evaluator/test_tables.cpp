#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logic/complex/num_text.h"
#include "logic/evaluator/tables.h"
#include "tests/evaluator/eval_world.h"

namespace ombrix {
namespace {

using testing::EvalWorld;
using testing::WithSeparator;

TEST(Tables, InitialContent) {
  FunctionTable functions;
  VariableTable variables;
  EXPECT_EQ(functions.FirstUserFunction(), 23);
  EXPECT_EQ(functions.LastFunction(), 22);
  EXPECT_EQ(variables.LastVariable(), 2);
  EXPECT_EQ(functions.Name(0), "MausPos");
  EXPECT_EQ(functions.Name(13), "E");
  EXPECT_EQ(functions.Name(22), "ImMax");
  EXPECT_EQ(functions.Term(3), "");
  EXPECT_EQ(functions.ArgumentRule(3), kRuleReal);
  EXPECT_EQ(functions.ArgumentRule(12), kRuleNonZero);
  EXPECT_EQ(functions.ArgumentRule(13), kRuleReal);
  EXPECT_EQ(functions.ArgumentRule(14), kRuleNone);
  EXPECT_EQ(variables.Name(0), "i");
  EXPECT_EQ(variables.Name(1), "e");
  EXPECT_EQ(variables.Name(2), "Pi");
  for (int j = 0; j < 3; ++j) {
    EXPECT_EQ(variables.StartValue(j), variables.CurrentValue(j));
  }
  EXPECT_EQ(variables.StartValue(0), ImaginaryUnit);
  EXPECT_EQ(variables.StartValue(1).Re, 2.718281828459045);
  EXPECT_EQ(variables.StartValue(2).Re, 3.141592653589793);
}

TEST(Tables, NewNameRule) {
  struct Row {
    const char* label;
    std::string name;
    bool valid;
  };
  const Row rows[] = {
      {"single letter", "f", true},
      {"upper case and digit", "F2", true},
      {"underscore inside", "a_1", true},
      {"underscore last", "z_", true},
      {"all upper case", "ZW", true},
      {"empty", "", false},
      {"digit first", "2f", false},
      {"underscore first", "_a", false},
      {"minus inside", "f-2", false},
      {"blank inside", "f 2", false},
      {"umlaut", "f\xE4", false},
      {"upper umlaut first", "\xC4x", false},
      {"sharp s", "ma\xDF", false},
      {"plus last", "fx+", false},
      {"blank last", "fx ", false},
      {"bracket last", "f(", false},
      {"control character", "f\x01", false},
      {"byte above z", "f{", false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(IsValidNewName(row.name), row.valid) << row.label;
  }
}

TEST(Tables, FindFunctionCallAt) {
  FunctionTable functions;
  functions.SetLastFunction(23);
  functions.SetName(23, "Sinus");
  struct Row {
    const char* name;
    const char* text;
    std::size_t p;
    int expected;
  };
  for (const Row& row : {
           Row{"built-in at the start", "sin(1)", 0, 3},
           Row{"case ignored", "SIN(1)", 0, 3},
           Row{"inside a longer word", "xsin(1)", 1, 3},
           Row{"not before the name", "xsin(1)", 0, -1},
           Row{"name without bracket", "sin", 0, -1},
           Row{"bracket must follow at once", "sin 1(", 0, -1},
           Row{"function E", "e(1)", 0, 13},
           Row{"constant e is no call", "e+1", 0, -1},
           Row{"longer built-in name", "remin(0)", 0, 19},
           Row{"shorter name inside", "deltare(0)", 5, 14},
           Row{"user function", "sinus(2)", 0, 23},
           Row{"umlaut name lower-cased", "\xC4(1)", 0, -1},
           Row{"position past the end", "sin(1)", 6, -1},
           Row{"text ends inside the name", "si", 0, -1},
       }) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(functions.FindFunctionCallAt(row.text, row.p), row.expected);
  }
  functions.SetLastFunction(24);
  functions.SetName(24, "\xC4rger");
  EXPECT_EQ(functions.FindFunctionCallAt("\xE4RGER(1)", 0), 24);
  // A user function named like a built-in is never found: the lower index wins.
  functions.SetName(24, "Sin");
  EXPECT_EQ(functions.FindFunctionCallAt("sin(1)", 0), 3);
}

TEST(Tables, FindVariable) {
  VariableTable variables;
  variables.SetLastVariable(4);
  variables.SetName(3, "X");
  variables.SetName(4, "x");
  EXPECT_EQ(variables.FindVariable("x"), 3);  // the lower index wins
  EXPECT_EQ(variables.FindVariable("pi"), 2);
  EXPECT_EQ(variables.FindVariable("Pi"), -1);  // callers pass lower case
  EXPECT_EQ(variables.FindVariable("y"), -1);
  EXPECT_EQ(variables.FindVariable(""), -1);
}

TEST(Tables, ResetForgetsUserEntriesButKeepsTheirTexts) {
  FunctionTable functions;
  VariableTable variables;
  functions.SetLastFunction(23);
  functions.SetName(23, "f");
  functions.SetTerm(23, "#+1");
  functions.SetName(3, "Sinus");
  variables.SetLastVariable(3);
  variables.SetName(3, "x");
  variables.SetName(2, "Tau");
  variables.SetStartValue(2, ComplexFromReal(6.28));
  variables.SetCurrentValue(3, ComplexFromReal(7));
  variables.SetCurrentValue(2, ComplexFromReal(9));

  functions.Reset();
  variables.Reset();
  EXPECT_EQ(functions.LastFunction(), 22);
  EXPECT_EQ(variables.LastVariable(), 2);
  EXPECT_EQ(functions.FindFunctionCallAt("f(1)", 0), -1);
  EXPECT_EQ(functions.FindFunctionCallAt("sin(1)", 0), 3);
  EXPECT_EQ(functions.Name(23), "f");
  EXPECT_EQ(functions.Term(23), "#+1");
  EXPECT_EQ(variables.FindVariable("x"), -1);
  EXPECT_EQ(variables.Name(3), "x");
  EXPECT_EQ(variables.Name(2), "Pi");
  EXPECT_EQ(variables.StartValue(2).Re, 3.141592653589793);
  EXPECT_EQ(variables.CurrentValue(2).Re, 9.0);  // current values are not touched
}

TEST(Tables, LimitsAreRefusedNotOverrun) {
  FunctionTable functions;
  VariableTable variables;
  functions.SetLastFunction(500);
  EXPECT_EQ(functions.LastFunction(), 127);
  functions.SetLastFunction(3);
  EXPECT_EQ(functions.LastFunction(), 22);
  variables.SetLastVariable(1000);
  EXPECT_EQ(variables.LastVariable(), 127);
  variables.SetLastVariable(-5);
  EXPECT_EQ(variables.LastVariable(), -1);
  EXPECT_EQ(variables.FindVariable("i"), -1);
  // Writes outside the table are ignored.
  functions.SetName(128, "x");
  functions.SetTerm(-1, "x");
  functions.SetTerm(5, "x");
  variables.SetName(-1, "x");
  EXPECT_EQ(functions.Term(5), "");
  EXPECT_EQ(functions.Term(500), "");
}

TEST(Tables, CopyStartToCurrentUpToTheLastVariable) {
  VariableTable variables;
  variables.SetLastVariable(3);
  variables.SetStartValue(3, {1, 2});
  variables.SetStartValue(4, {5, 6});
  variables.CopyStartToCurrent();
  EXPECT_EQ(variables.CurrentValue(3), (TComplex{1, 2}));
  EXPECT_EQ(variables.CurrentValue(4), (TComplex{0, 0}));
}

TEST(SubstituteArgument, EveryHashTakesTheWholeArgument) {
  EXPECT_EQ(SubstituteArgument("#*#", "(2+1)"), "(2+1)*(2+1)");
  EXPECT_EQ(SubstituteArgument("2#3", "(5)"), "2(5)3");
  EXPECT_EQ(SubstituteArgument("42", "(5)"), "42");
  EXPECT_EQ(SubstituteArgument("", "(5)"), "");
}

TEST(Tables, ReachesItself) {
  struct Function {
    const char* name;
    const char* term;
  };
  struct Row {
    const char* name;
    std::vector<Function> functions;
    std::vector<bool> expected;  // per user function, in table order
  };
  const std::vector<Row> rows = {
      {"plain term", {{"d", "#+#"}}, {false}},
      {"calls itself", {{"f", "f(#)+1"}}, {true}},
      {"calls itself in another case", {{"Ab", "2*aB(#)"}}, {true}},
      {"calls itself with a blank before the bracket", {{"f", "sin(f (#))"}}, {true}},
      {"calls itself with a blank inside the name", {{"my f", "my f(#)"}}, {true}},
      {"its argument's bracket follows its name", {{"f", "f#"}}, {true}},
      {"through another function",
       {{"f", "g(#)"}, {"g", "1+f(#)"}, {"h", "f(#)"}},
       {true, true, false}},
      {"a chain that ends", {{"f", "g(#)"}, {"g", "h(#)"}, {"h", "#*2"}}, {false, false, false}},
      {"a name that ends another may be a call", {{"f", "elf(#)"}, {"elf", "#"}}, {true, false}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EvalWorld world;
    for (const Function& f : row.functions) world.AddFunction(f.name, f.term);
    for (std::size_t j = 0; j < row.expected.size(); ++j) {
      EXPECT_EQ(world.functions.ReachesItself(kFirstUserFunction + static_cast<int>(j)),
                row.expected[j])
          << row.functions[j].name;
    }
  }
  // A changed term is seen at once.
  EvalWorld world;
  const int f = world.AddFunction("f", "#");
  EXPECT_FALSE(world.functions.ReachesItself(f));
  world.functions.SetTerm(f, "f(#)");
  EXPECT_TRUE(world.functions.ReachesItself(f));
  world.functions.SetName(f, "g");
  EXPECT_FALSE(world.functions.ReachesItself(f));
}

TEST(UserFunctions, ExpansionCases) {
  struct Row {
    const char* name;
    const char* term;
    const char* expected;
  };
  for (char sep : {',', '.'}) {
    SetDecimalSeparator(sep);
    EvalWorld world;
    world.AddFunction("f", "#*#");
    world.AddFunction("g", "#+x");
    world.AddFunction("h", "#^2");
    world.AddFunction("k", "h(#)+1");
    world.AddFunction("m", "2#3");
    world.AddFunction("Const", "42");
    world.AddFunction("Big", "#*1E5");
    world.AddFunction("sin", "99");
    world.AddVariable("x", ComplexFromReal(5));
    for (const Row& row : {
             Row{"argument with brackets", "f(2+1)", "[9|0]"},
             Row{"sees the caller's variables", "g(1)", "[6|0]"},
             Row{"nested expansion", "k(3)", "[10|0]"},
             Row{"hash in a body is no comparison", "m(5)", "?1'2[5|0]3' ?"},
             Row{"argument not evaluated without hash", "const(1/0)", "[42|0]"},
             Row{"body keeps its case until lowered", "big(2)", "[200000|0]"},
             Row{"upper-case call", "F(3)", "[9|0]"},
             Row{"built-in name wins", "sin(0)", "[0|0]"},
             Row{"function name inside a product", "2*f(0,5)", "[0,5|0]"},
         }) {
      SCOPED_TRACE(std::string(row.name) + " under '" + sep + "'");
      EXPECT_EQ(world.Eval(WithSeparator(row.term)), WithSeparator(row.expected));
    }
    // After an assignment the same call sees the new value.
    world.variables.SetCurrentValue(world.variables.FindVariable("x"), ComplexFromReal(7));
    EXPECT_EQ(world.Eval("g(1)"), "[8|0]");
  }
}

TEST(UserFunctions, VariablesByNameWithoutRegardToCase) {
  SetDecimalSeparator(',');
  EvalWorld world;
  world.AddVariable("X", ComplexFromReal(3));
  world.AddVariable("x", ComplexFromReal(4));
  EXPECT_EQ(world.Eval("x"), "[3|0]");
  EXPECT_EQ(world.Eval("X"), "[3|0]");
  EXPECT_EQ(world.Eval("-x"), "[-3|0]");
  EXPECT_EQ(world.Eval("2*-X"), "[-6|0]");
}

}  // namespace
}  // namespace ombrix
