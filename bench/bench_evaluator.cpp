// Timing of EvaluateTerm on typical program-line terms.
#include <benchmark/benchmark.h>

#include <string>

#include "logic/complex/num_text.h"
#include "logic/evaluator/evaluate.h"
#include "logic/program/drawing_state.h"
#include "tests/support/tables.h"

namespace {

struct EvalBench {
  ombrix::FunctionTable functions;
  ombrix::VariableTable variables;
  ombrix::DrawingState drawing;
  ombrix::testing::SilentMessageBoxes boxes;
  ombrix::EvalContext context{functions, variables, drawing, boxes};

  EvalBench() {
    ombrix::SetDecimalSeparator(',');
    AddVariable("z", {0.3, -0.4});
    AddVariable("c", {-0.75, 0.1});
    AddVariable("x", {0.5, 0});
    AddFunction("f", "#^2");
    AddFunction("g", "f(#)+1");
    AddFunction("h", "g(#)*2");
    AddFunction("k", "h(#)-f(#)");
  }
  void AddVariable(const std::string& name, ombrix::TComplex v) {
    ombrix::testing::AddVariable(variables, name, v);
  }
  void AddFunction(const std::string& name, const std::string& term) {
    ombrix::testing::AddFunction(functions, name, term);
  }
};

void BM_Evaluate(benchmark::State& state, const char* term) {
  EvalBench bench;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ombrix::EvaluateTerm(term, bench.context));
  }
}

BENCHMARK_CAPTURE(BM_Evaluate, z_squared_plus_c, "z^2+c");
BENCHMARK_CAPTURE(BM_Evaluate, traced_line, "2*Sin(x)+f(3)");
BENCHMARK_CAPTURE(BM_Evaluate, modulus_comparison, "Betrag(z)<2");
BENCHMARK_CAPTURE(BM_Evaluate, nested_brackets_40, "((z+1)*(c-2)/((x+3)*(z-c)))^2-(x*(12+i))");
BENCHMARK_CAPTURE(BM_Evaluate, function_chain, "k(z+c)");
BENCHMARK_CAPTURE(BM_Evaluate, mandelbrot_step, "Re(z)*Re(z)+Im(z)*Im(z)<4");

}  // namespace

BENCHMARK_MAIN();
