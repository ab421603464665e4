// The tree a plan is read into: the terms of a working text with their operands and the
// values (built-in calls, bracket groups) they stand on, in the order the text path meets
// them. The plan builder writes it; it is lowered into a FlatPlan once, then dropped.
#pragma once

#include <vector>

#include "logic/complex/complex.h"
#include "logic/evaluator/flat_plan.h"
#include "logic/evaluator/plan.h"

namespace ombrix {

struct PlanCache::Plan {
  enum class Source : unsigned char { Empty, Constant, Variable, Pair, Comparison };
  struct Operand {
    char op;
    Source source;
    double sign;
    int index;  // variable, or the value of `values`
    TComplex constant;
  };
  // A built-in call (k >= 0) on its argument term, or a bracket group's term (k < 0).
  struct Value {
    int k;
    int term;
  };
  struct Term {
    bool comparison = false;
    char compare = 0;
    // A lone value operand: the sum is a value that has made the round trip already (or
    // its negation, or 0), so reading it back changes nothing. Also a lone number whose
    // text holds it exactly.
    bool read_back = false;
    bool folded = false;  // a lone number: the sum is `sum`, worked out when built
    TComplex sum;
    int left = -1, right = -1;
    int first = 0, count = 0;  // operands
  };

  bool usable = false;
  int root = -1;
  std::vector<Term> terms;
  std::vector<Operand> operands;
  std::vector<Value> values;
};

// The steps of a built plan (an unusable one stays unusable).
FlatPlan LowerPlan(const PlanCache::Plan& plan);
// The steps of a built plan appended to `into` (operations and registers), ending with a
// Value operation; the register of the term's value read back, or -1 (nothing appended)
// for an unusable plan.
int AppendLoweredPlan(const PlanCache::Plan& plan, FlatPlan& into);

}  // namespace ombrix
