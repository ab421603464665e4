// Plans against the text path: the round trip of values, many random terms, and the
// changes that make a plan stale.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"
#include "logic/evaluator/plan.h"
#include "tests/evaluator/eval_world.h"
#include "tests/evaluator/term_maker.h"
#include "tests/support/interrupts.h"
#include "tests/support/round_trip_check.h"

namespace ombrix {
namespace {

using testing::AddTables;
using testing::EvalWorld;
using testing::ExpectRoundTripAgrees;
using testing::TermMaker;

constexpr char kSeparators[] = {',', '.'};

TEST(RoundTripReal, NamedValues) {
  const double named[] = {
      1.0 / 3,
      2.0 / 3,
      0.1 + 0.2,
      -2.5,
      1E15,
      1E15 + 1,
      999999999999999.5,
      123456789012345678.0,
      0.000123,
      1.5E-7,
      -0.0,
      9.9035203142830422e27,  // just above a power of two close below 1E28
      1.7976931348623157e308,
      std::numeric_limits<double>::denorm_min(),
      std::numeric_limits<double>::infinity(),
      std::numeric_limits<double>::quiet_NaN(),
      0.99999999999999994,
      9.9999999999999995,
      0.015625,
      1E-300,
      1E300,
  };
  for (char sep : kSeparators) {
    SetDecimalSeparator(sep);
    for (double x : named) ExpectRoundTripAgrees(x);
  }
}

TEST(RoundTripReal, RandomBitsAndRandomDecades) {
  std::mt19937_64 random(20261209);
  std::uniform_int_distribution<int> decade(-320, 310);
  std::uniform_real_distribution<double> mantissa(1.0, 10.0);
  SetDecimalSeparator(',');
  for (int n = 0; n < 100000; ++n) {
    const std::uint64_t bits = random();
    double x;
    std::memcpy(&x, &bits, sizeof x);
    ExpectRoundTripAgrees(x);
    ExpectRoundTripAgrees(mantissa(random) * std::pow(10.0, decade(random)));
    // Near the halfway points of the 15-digit grid, where the rounding decides.
    const double grid = std::round(mantissa(random) * 1E14) / 1E14;
    ExpectRoundTripAgrees(grid + 5E-15 * (random() % 2 ? 1 : -1));
  }
}

TEST(Plans, AgreeWithTheTextOnRandomTerms) {
  EvalWorld world;
  AddTables(world);
  TermMaker maker(11);
  std::vector<std::string> terms;
  for (int n = 0; n < 100000; ++n) terms.push_back(maker.Term());
  for (char sep : kSeparators) {
    SetDecimalSeparator(sep);
    for (const std::string& term : terms) {
      try {
        world.Eval(term);
      } catch (const Fault&) {
        // the same fault on both paths, compared by Eval
      }
      if (::testing::Test::HasFailure()) return;
    }
  }
  // Many are computed from plans, not left to the texts (the rest are mostly errors).
  const PlanCache::Counts& counts = world.plans.Stats();
  EXPECT_GT(counts.fast * 4, counts.fast + counts.fallback);
}

TEST(Plans, StaleAfterEveryChangeOfMeaning) {
  struct Row {
    const char* name;
    const char* term;
    void (*change)(EvalWorld&);
    const char* before;
    const char* after;
  };
  const Row rows[] = {
      {"a function's term", "f(3)", [](EvalWorld& w) { w.functions.SetTerm(23, "#+1"); }, "[9|0]",
       "[4|0]"},
      {"a function's name", "f(3)", [](EvalWorld& w) { w.functions.SetName(23, "g"); }, "[9|0]",
       "?5f[3|0] !"},
      {"the last function", "f(3)", [](EvalWorld& w) { w.functions.SetLastFunction(22); }, "[9|0]",
       "?5f[3|0] !"},
      {"a variable's name", "v+1", [](EvalWorld& w) { w.variables.SetName(3, "w"); }, "[3|0]",
       "?5v !"},
      {"the last variable", "v+1", [](EvalWorld& w) { w.variables.SetLastVariable(2); }, "[3|0]",
       "?5v !"},
      {"the decimal separator", "1,5+1", [](EvalWorld&) { SetDecimalSeparator('.'); }, "[2,5|0]",
       "?1'1,5' ?"},
      {"tables replaced as a whole", "f(3)",
       [](EvalWorld& w) {
         FunctionTable other;
         other.SetLastFunction(23);
         other.SetName(23, "f");
         other.SetTerm(23, "#");
         w.functions = other;
       },
       "[9|0]", "[3|0]"},
      {"a value (read when computed)", "v+1",
       [](EvalWorld& w) {
         w.variables.SetCurrentValue(3, {5, 0});
       },
       "[3|0]", "[6|0]"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    SetDecimalSeparator(',');
    EvalWorld world;
    world.AddFunction("f", "#*#");
    world.AddVariable("v", {2, 0});
    EXPECT_EQ(world.Eval(row.term), row.before);
    EXPECT_EQ(EvaluateTerm(row.term, world.plan_context), row.before);
    row.change(world);
    EXPECT_EQ(world.Eval(row.term), row.after);
    EXPECT_EQ(EvaluateTerm(row.term, world.plan_context), row.after);
  }
  SetDecimalSeparator(',');
}

TEST(Plans, LeftToTheTextWhereTheyCannotBeSure) {
  struct Row {
    const char* name;
    const char* term;
  };
  const Row rows[] = {
      {"an error text", "1/0"},
      {"a division message", "1E-7^-2"},
      {"a fault", "1e2e3+1"},
      {"a power beyond the budget", "2^2147483647*2^2147483647*2^2147483647"},
      {"a function name holding a bar", "2*a|b(1)"},
      {"a self-calling function", "loop(1)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EvalWorld world;
    AddTables(world);
    if (std::string(row.term).find('|') != std::string::npos) world.AddFunction("a|b", "#");
    try {
      world.Eval(row.term);
    } catch (const Fault&) {
    }
    EXPECT_EQ(world.plans.Stats().fast, 0u);
    EXPECT_GE(world.plans.Stats().fallback, 1u);
  }
}

// A plan answers up to its bounds and gives way past them, well before the text path's
// guards; either way the result is the text path's.
TEST(Plans, GiveWayPastTheirBounds) {
  struct Row {
    const char* name;
    std::string term;
    bool planned;
  };
  const auto chain = [](int links) {
    std::string term = "1";
    for (int k = 0; k < links; ++k) term += "<2";
    return term;
  };
  const Row rows[] = {
      {"brackets at the plan's bound", testing::NestedBrackets(64), true},
      {"brackets one past", testing::NestedBrackets(65), false},
      // Each call is a level of a plan, and the innermost argument's brackets one more.
      {"calls at the plan's bound", testing::NestedCalls(63), true},
      {"calls one past", testing::NestedCalls(64), false},
      {"a comparison chain at the plan's bound", chain(64), true},
      {"a comparison chain one past", chain(65), false},
  };
  SetDecimalSeparator(',');
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EvalWorld world;
    const std::string expected = EvaluateTermText(row.term, world.context);
    EXPECT_EQ(world.Eval(row.term), expected);
    EXPECT_EQ(world.plans.Stats().fast > 0, row.planned);
  }
}

// A plan that meets a failure after a long power gives way to the text path, which is
// handed the power instead of forming it again: the products (counted by the asking of
// an interrupt, once per 4096) are those of the power alone.
TEST(Plans, AFailureAfterALongPowerFormsThePowerOnce) {
  struct Row {
    const char* name;
    const char* term;
    const char* expected;
  };
  const Row rows[] = {
      {"division by zero after the power", "1,0000001^1000000/0", "?0Division '/'"},
      {"power in a bracket before the failure", "(1,0000001^1000000)*7%0", "?0Rest-Operator '%'"},
      {"failure of a comparison side", "1,0000001^1000000<i", "?0'1,0000001^1000000<i' ?"},
      {"power inside a built-in's argument", "sin(1,0000001^1000000*i)",
       "?7'[0|1,10517091261431]' ?"},
      {"no failure: the plan answers", "1,0000001^1000000", "[1,10517091261431|0]"},
  };
  SetDecimalSeparator(',');
  EvalWorld alone;
  testing::CountingInterrupt power_only;
  alone.context.interrupt = &power_only;
  EvaluateTermText("1,0000001^1000000", alone.context);
  ASSERT_GT(power_only.polls, 200);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EvalWorld world;
    testing::CountingInterrupt counted;
    world.plan_context.interrupt = &counted;
    EXPECT_EQ(EvaluateTerm(row.term, world.plan_context), row.expected);
    EXPECT_EQ(counted.polls, power_only.polls);
    world.plan_context.interrupt = nullptr;
    EXPECT_EQ(world.Eval(row.term), row.expected);  // the text path agrees
  }
}

}  // namespace
}  // namespace ombrix
