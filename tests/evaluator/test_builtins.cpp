#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <random>
#include <string>

#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"
#include "logic/evaluator/builtins.h"
#include "logic/evaluator/result_text.h"
#include "tests/evaluator/eval_world.h"
#include "tests/support/random_doubles.h"

namespace ombrix {
namespace {

using testing::EvalWorld;
using testing::WithSeparator;

using Row = testing::TermRow;
using testing::ExpectRows;

TEST(Builtins, ComplexFunctions) {
  EvalWorld world;
  ExpectRows(
      {
          {"modulus", "Betrag(3+4*i)", "[5|0]"},
          {"root of a negative number", "Wurzel(-4)", "[0|2]"},
          {"root of i has the argument pi/4", "Wurzel(i)", "[0,707106781186548|0,707106781186547]"},
          {"root of zero", "Wurzel(0)", "[0|0]"},
          {"root in the second quadrant", "Wurzel(-3-4*i)", "[-1|2]"},
          {"argument of -1", "Arc(-1)", "[3,14159265358979|0]"},
          {"argument of -i", "Arc(-i)", "[4,71238898038469|0]"},
          {"argument of 1-i", "Arc(1-i)", "[-0,785398163397448|0]"},
          {"argument of 0", "Arc(0)", "?7'[0|0]' ?"},
          {"unit circle", "E(Pi)", "[-1|0]"},
          {"unit circle of a complex value", "E(1+i)", "?7'[1|1]' ?"},
          {"real part", "Re(3+4*i)", "[3|0]"},
          {"imaginary part", "Im(3+4*i)", "[4|0]"},
          {"conjugate", "Konj(3+4*i)", "[3|-4]"},
      },
      world);
}

TEST(Builtins, RealFunctions) {
  EvalWorld world;
  ExpectRows(
      {
          {"sin of a complex value", "Sin(i)", "?7'[0|1]' ?"},
          {"sin", "Sin(0,5)", "[0,479425538604203|0]"},
          {"cos", "Cos(0)", "[1|0]"},
          {"tan near pi/2 is large, no error", "Tan(Pi/2)", "[-286411383293069|0]"},
          {"asin out of range", "ASin(2)", "?7'[2|0]' ?"},
          {"acos", "ACos(-1)", "[3,14159265358979|0]"},
          {"atan", "ATan(1)", "[0,785398163397448|0]"},
          {"exp", "Exp(1)", "[2,71828182845905|0]"},
          {"exp overflow", "Exp(1000)", "?7'[1000|0]' ?"},
          {"exp underflow is silent", "Exp(-1000)", "[0|0]"},
          {"ln of -1", "Ln(-1)", "?7'[-1|0]' ?"},
          {"ln of 0", "Ln(0)", "?7'[0|0]' ?"},
          {"ln", "Ln(e)", "[1|0]"},
          {"lg of 0", "Lg(0)", "?7'[0|0]' ?"},
          {"lg", "Lg(1000)", "[3|0]"},
          {"argument error wins over the rule", "Sin(x)", "?1'?5x !' ?"},
      },
      world);
}

TEST(Builtins, ConstantsAndDrawingState) {
  EvalWorld world;
  ExpectRows(
      {
          {"pi", "pi", "[3,14159265358979|0]"},
          {"PI", "PI", "[3,14159265358979|0]"},
          {"Pi", "Pi", "[3,14159265358979|0]"},
          {"e", "e", "[2,71828182845905|0]"},
          {"i", "i", "[0|1]"},
          {"mouse", "MausPos()", "[1|2]"},
          {"mouse ignores its argument", "MausPos(7)", "[1|2]"},
          {"mouse lower case", "mauspos(0)", "[1|2]"},
          {"mouse argument still evaluated", "MausPos(1/0)", "?1'?0Division '/'' ?"},
          {"mouse without brackets is a name", "MausPos", "?5mauspos !"},
          {"pixel width", "DeltaRe()", "[0,025|0]"},
          {"pixel height", "DeltaIm()", "[0,025|0]"},
          {"left edge", "ReMin()", "[-5|0]"},
          {"right edge", "ReMax()", "[5|0]"},
          {"lower edge", "ImMin()", "[-5|0]"},
          {"upper edge", "ImMax()", "[5|0]"},
      },
      world);
}

TEST(Builtins, DrawingStateIsReadAtEveryCall) {
  EvalWorld world;
  SetDecimalSeparator(',');
  world.drawing.re_max = 15;
  world.drawing.width = 200;
  world.drawing.mouse = {1E-15, -3};  // the mouse position is cut
  EXPECT_EQ(world.Eval("DeltaRe()"), "[0,1|0]");
  EXPECT_EQ(world.Eval("MausPos()"), "[0|-3]");
  world.drawing.width = 0;
  EXPECT_THROW(world.Eval("DeltaRe()"), Fault);
  EXPECT_THROW(world.Eval("DeltaRe()"), Fault);  // nothing kept of a failure
}

TEST(Builtins, ScaleBuiltinsFollowWhatTheyReadUnderACountedScale) {
  constexpr int kReMax = static_cast<int>(Builtin::ReMax);
  struct ChangeRow {
    const char* name;
    const char* term;  // 0 before the change
    void (*change)(EvalWorld&);
    const char* after;
  };
  const std::vector<ChangeRow> rows = {
      {"a new scale, counted", "ReMin()+ReMax()",
       [](EvalWorld& w) { w.drawing.re_min = static_cast<double>(++w.drawing.count); }, "[6|0]"},
      {"a narrower picture", "DeltaRe()-DeltaIm()", [](EvalWorld& w) { w.drawing.width = 200; },
       "[0,025|0]"},
      {"a lower picture", "DeltaIm()-DeltaRe()", [](EvalWorld& w) { w.drawing.height = 200; },
       "[0,025|0]"},
      {"a narrower picture beside bounds", "ReMin()+ReMax()+DeltaRe()-DeltaIm()",
       [](EvalWorld& w) { w.drawing.width = 200; }, "[0,025|0]"},
      {"a scale past the limit", "(ReMax())*0",
       [](EvalWorld& w) { w.drawing.re_max = static_cast<double>(++w.drawing.count) * 2e100; },
       "?8'[2e100|0] !"},
      {"a rule set later", "ReMax(i)-ImMax()",
       [](EvalWorld& w) { w.functions.SetArgumentRule(kReMax, kRuleReal); }, "?7'[0|1]' ?"},
  };
  for (const ChangeRow& row : rows) {
    SCOPED_TRACE(row.name);
    EvalWorld world;
    SetDecimalSeparator(',');
    EXPECT_EQ(world.Eval(row.term), "[0|0]");
    row.change(world);
    EXPECT_EQ(world.Eval(row.term), row.after);
    EXPECT_EQ(world.Eval(row.term), row.after);  // from what the call before kept
  }
}

TEST(Builtins, UserFunctionCannotTakeOverABuiltinName) {
  EvalWorld world;
  SetDecimalSeparator(',');
  world.AddFunction("Betrag", "99");
  EXPECT_EQ(world.Eval("betrag(-2)"), "[2|0]");
}

TEST(Builtins, RealValuesAreNotCut) {
  testing::FakeDrawing drawing;
  const std::optional<TComplex> value =
      ComputeBuiltin(3, {3.141592653589793, 0}, kRuleReal, drawing);
  ASSERT_TRUE(value.has_value());
  EXPECT_GT(value->Re, 1E-16);
  EXPECT_LT(value->Re, 1.3E-16);
  SetDecimalSeparator(',');
  EXPECT_EQ(MakePairText(*value), "[1,22464679914735E-16|0]");
}

TEST(Builtins, RulesComeFromTheTable) {
  struct RuleRow {
    const char* name;
    int rule;
    TComplex z;
    bool allowed;
  };
  testing::FakeDrawing drawing;
  for (const RuleRow& row : {
           RuleRow{"none takes a complex value", kRuleNone, {1, 1}, true},
           RuleRow{"real refuses a complex value", kRuleReal, {1, 1}, false},
           RuleRow{"integer refuses a fraction", kRuleInteger, {1.5, 0}, false},
           RuleRow{"integer takes an integer", kRuleInteger, {2, 0}, true},
           RuleRow{"nonzero refuses 0", kRuleNonZero, {0, 0}, false},
           RuleRow{"nonzero with real", kRuleNonZero | kRuleReal, {0, 1}, false},
           RuleRow{"all bits set", -1, {0, 0}, false},
           RuleRow{"all bits set, nonzero", -1, {3, 0}, true},
       }) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ComputeBuiltin(14, row.z, row.rule, drawing).has_value(), row.allowed);
  }
}

// Where the maths library reports through errno, the values tell the same failures: a
// domain error, a pole or an overflow, while an underflow stays silent. Edge arguments
// and seeded random ones, bit patterns and moderate values.
TEST(Builtins, FailuresAreThoseErrnoReports) {
  if ((math_errhandling & MATH_ERRNO) == 0) GTEST_SKIP() << "the maths library sets no errno";
  struct MathsRow {
    Builtin builtin;
    double (*compute)(double);
  };
  const MathsRow rows[] = {
      {Builtin::Sin, [](double x) { return std::sin(x); }},
      {Builtin::Cos, [](double x) { return std::cos(x); }},
      {Builtin::Tan, [](double x) { return std::tan(x); }},
      {Builtin::ASin, [](double x) { return std::asin(x); }},
      {Builtin::ACos, [](double x) { return std::acos(x); }},
      {Builtin::ATan, [](double x) { return std::atan(x); }},
      {Builtin::Exp, [](double x) { return std::exp(x); }},
      {Builtin::Ln, [](double x) { return std::log(x); }},
      {Builtin::Lg, [](double x) { return std::log10(x); }},
  };
  std::mt19937_64 random(4711);
  std::vector<double> arguments = {709.78, 709.79, -745.1, -745.2, -708.5};
  while (arguments.size() < 20000) arguments.push_back(testing::RandomInteresting(random));
  testing::FakeDrawing drawing;
  for (const MathsRow& row : rows) {
    for (const double x : arguments) {
      errno = 0;
      const double y = row.compute(x);
      const bool reported = errno != 0 && !(errno == ERANGE && std::isfinite(y));
      const int k = static_cast<int>(row.builtin);
      ASSERT_EQ(ComputeBuiltin(k, ComplexFromReal(x), kRuleReal, drawing).has_value(), !reported)
          << kBuiltinNames[static_cast<std::size_t>(k)] << "(" << x << ")";
    }
  }
}

}  // namespace
}  // namespace ombrix
