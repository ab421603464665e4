// A fresh evaluation world for the evaluator tests: tables, a drawing view and
// recording message boxes. Every term is evaluated by the text path and by the plans.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"
#include "logic/evaluator/evaluate.h"
#include "logic/evaluator/plan.h"
#include "logic/evaluator/result_text.h"
#include "tests/support/recording.h"
#include "tests/support/tables.h"

namespace ombrix::testing {

class FakeDrawing : public DrawingView {
 public:
  double ReMin() const override { return re_min; }
  double ReMax() const override { return re_max; }
  double ImMin() const override { return im_min; }
  double ImMax() const override { return im_max; }
  TComplex MousePosition() const override { return mouse; }
  int Width() const override { return width; }
  int Height() const override { return height; }
  std::uint64_t ScaleCount() const override { return count; }

  double re_min = -5, re_max = 5, im_min = -5, im_max = 5;
  TComplex mouse{1.0, 2.0};
  int width = 400, height = 400;
  std::uint64_t count = 0;  // raised by a test with each change of the scale
};

struct EvalWorld {
  FunctionTable functions;
  VariableTable variables;
  FakeDrawing drawing;
  RecordingMessageBoxes boxes;
  EvalContext context{functions, variables, drawing, boxes};
  // The same tables read through plans, with boxes of their own.
  PlanCache plans;
  RecordingMessageBoxes plan_boxes;
  EvalContext plan_context{functions, variables, drawing, plan_boxes, kPowerProductBudget, &plans};

  // The text path's result; the plans must give the same text, value, fault and boxes.
  std::string Eval(std::string_view term) {
    struct Outcome {
      std::string text;
      std::string fault;
      std::vector<std::string> boxes;
      bool operator==(const Outcome&) const = default;
    };
    const auto outcome = [&](auto evaluate, RecordingMessageBoxes& shown) {
      Outcome out;
      const std::size_t before = shown.boxes.size();
      try {
        out.text = evaluate();
      } catch (const Fault& fault) {
        out.fault = fault.what();
      }
      for (std::size_t b = before; b < shown.boxes.size(); ++b) {
        out.boxes.push_back(shown.boxes[b].text);
      }
      return out;
    };
    plan_context.power_products = context.power_products;
    const Outcome text = outcome([&] { return EvaluateTermText(term, context); }, boxes);
    const Outcome planned = outcome([&] { return EvaluateTerm(term, plan_context); }, plan_boxes);
    EXPECT_TRUE(text == planned) << "term '" << term << "': text path '" << text.text << "' "
                                 << text.fault << ", plans '" << planned.text << "' "
                                 << planned.fault;
    if (text.fault.empty() && text.boxes.empty() && !IsErrorText(text.text)) {
      const TComplex read = ParseNumberText(text.text);
      const TermValue value = EvaluateTermValue(term, plan_context);
      EXPECT_TRUE(value.error.empty() && SameBits(value.value.Re, read.Re) &&
                  SameBits(value.value.Im, read.Im))
          << "value of '" << term << "'";
    }
    if (!text.fault.empty()) throw Fault(text.fault);
    return text.text;
  }

  static bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

  int AddFunction(const std::string& name, const std::string& term) {
    return testing::AddFunction(functions, name, term);
  }
  int AddVariable(const std::string& name, TComplex value) {
    return testing::AddVariable(variables, name, value);
  }
};

// Rows are written with ',' as the decimal separator; under '.' every ',' becomes '.'.
inline std::string WithSeparator(std::string text) {
  for (char& c : text) {
    if (c == ',') c = DecimalSeparator();
  }
  return text;
}

// "1" inside `depth` bracket pairs.
inline std::string NestedBrackets(int depth) {
  const auto n = static_cast<std::size_t>(depth);
  return std::string(n, '(') + "1" + std::string(n, ')');
}

// "1" inside `depth` calls of Re, one in the other's argument.
inline std::string NestedCalls(int depth) {
  std::string term = "1";
  for (int k = 0; k < depth; ++k) term = "re(" + term + ")";
  return term;
}

struct TermRow {
  const char* name;
  const char* term;
  const char* expected;  // written with ',' as the separator
};

// Every row under ',' and under '.'.
inline void ExpectRows(const std::vector<TermRow>& rows, EvalWorld& world) {
  for (char sep : {',', '.'}) {
    SetDecimalSeparator(sep);
    for (const TermRow& row : rows) {
      SCOPED_TRACE(std::string(row.name) + " under '" + sep + "'");
      EXPECT_EQ(world.Eval(WithSeparator(row.term)), WithSeparator(row.expected)) << row.term;
    }
  }
}

}  // namespace ombrix::testing
