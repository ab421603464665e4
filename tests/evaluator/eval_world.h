// A fresh evaluation world for the evaluator tests: tables, a drawing view and
// recording message boxes.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "logic/complex/num_text.h"
#include "logic/evaluator/evaluate.h"
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

  double re_min = -5, re_max = 5, im_min = -5, im_max = 5;
  TComplex mouse{1.0, 2.0};
  int width = 400, height = 400;
};

struct EvalWorld {
  FunctionTable functions;
  VariableTable variables;
  FakeDrawing drawing;
  RecordingMessageBoxes boxes;
  EvalContext context{functions, variables, drawing, boxes};

  std::string Eval(std::string_view term) { return EvaluateTerm(term, context); }

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
