// The working texts of a term's rewriting: their order for known terms, and that the
// last one is always what the evaluation gives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"
#include "logic/evaluator/evaluate.h"
#include "tests/evaluator/eval_world.h"
#include "tests/evaluator/term_maker.h"

namespace ombrix {
namespace {

using testing::EvalWorld;

std::vector<std::string> Explain(EvalWorld& world, const std::string& term) {
  std::vector<std::string> texts;
  ExplainTerm(term, world.context, texts);
  return texts;
}

TEST(ExplainTerm, KnownChains) {
  struct Row {
    const char* name;
    const char* term;
    std::vector<std::string> texts;
  };
  const std::vector<Row> rows = {
      {"built-in, user function, groups, operands",
       "2*Sin(x)+f(3)",
       {"2*sin(x)+f(3)", "2*[0,479425538604203|0]+f(3)", "2*[0,479425538604203|0]+((3)^2)",
        "2*[0,479425538604203|0]+[9|0]", "+[2|0]*[0,479425538604203|0]+[9|0]",
        "[9,95885107720841|0]"}},
      {"a comparison shows its two values", "X+1 < 3", {"x+1<3", "[1,5|0]<[3|0]", "1"}},
      {"a chain of comparisons folds its right side", "1<2<3", {"1<2<3", "[1|0]<1", "0"}},
      {"a failing pass ends the chain",
       "1/(1-1)",
       {"1/(1-1)", "1/[0|0]", "+[1|0]/[0|0]", "?0Division '/'"}},
      {"an error inside a group ends it at once", "(1/0)+1", {"(1/0)+1", "?0Division '/'"}},
      {"bracket counts", "((2)", {"((2)", "?6'((2)' ?"}},
      {"the empty term", "", {"", "+[0|0]", "[0|0]"}},
      {"an error text passed in stays", "?5q !", {"?5q!"}},
  };
  EvalWorld world;
  world.AddVariable("x", ComplexFromReal(0.5));
  world.AddFunction("f", "#^2");
  SetDecimalSeparator(',');
  for (const Row& row : rows) {
    EXPECT_EQ(Explain(world, row.term), row.texts) << row.name;
  }
}

TEST(ExplainTerm, LastTextIsTheResultForRandomTerms) {
  EvalWorld world;
  testing::AddTables(world);
  testing::TermMaker maker(19);
  for (char sep : {',', '.'}) {
    SetDecimalSeparator(sep);
    for (int n = 0; n < 5000; ++n) {
      const std::string term = maker.Term();
      std::string expected, expected_fault;
      try {
        expected = EvaluateTermText(term, world.context);
      } catch (const Fault& fault) {
        expected_fault = fault.what();
      }
      std::vector<std::string> texts;
      std::string fault;
      try {
        ExplainTerm(term, world.context, texts);
      } catch (const Fault& f) {
        fault = f.what();
      }
      ASSERT_EQ(fault, expected_fault) << term;
      if (!fault.empty()) continue;
      ASSERT_FALSE(texts.empty()) << term;
      ASSERT_EQ(texts.back(), expected) << term;
      // The first text is the normalised term, unless that is already the result.
      if (texts.size() > 1) {
        EXPECT_EQ(texts.front().find(' '), std::string::npos) << term;
      }
    }
  }
}

}  // namespace
}  // namespace ombrix
