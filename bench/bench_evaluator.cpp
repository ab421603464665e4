// Timing of EvaluateTerm on typical program-line terms, and of reading the number texts
// the text path passes between its steps.
#include <benchmark/benchmark.h>

#include <array>
#include <complex>
#include <string>
#include <vector>

#include "logic/complex/num_text.h"
#include "logic/evaluator/evaluate.h"
#include "logic/evaluator/result_text.h"
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
BENCHMARK_CAPTURE(BM_Evaluate, loop_condition, "(Betrag(z)<2)*(x<1000)");
BENCHMARK_CAPTURE(BM_Evaluate, nested_brackets_40, "((z+1)*(c-2)/((x+3)*(z-c)))^2-(x*(12+i))");
BENCHMARK_CAPTURE(BM_Evaluate, function_chain, "k(z+c)");
BENCHMARK_CAPTURE(BM_Evaluate, mandelbrot_step, "Re(z)*Re(z)+Im(z)*Im(z)<4");

// Texts as RealToText writes them, and as users type them.
constexpr std::array<const char*, 6> kRealTexts = {
    "0,333333333333333", "-1,5E-7", "123456789012345", "2,71828182845905", "5", "1e3"};
constexpr std::array<const char*, 4> kPairTexts = {"[0,3|-0,4]", "[1,23456789012346E18|-2,5E-7]",
                                                   "[-0,75|0]", "[1|0]"};

void BM_TextToReal(benchmark::State& state, char separator) {
  ombrix::SetDecimalSeparator(separator);
  std::array<std::string, kRealTexts.size()> texts;
  for (std::size_t k = 0; k < texts.size(); ++k) {
    texts[k] = kRealTexts[k];
    for (char& c : texts[k]) {
      if (c == ',') c = separator;
    }
  }
  for (auto _ : state) {
    for (const std::string& text : texts) benchmark::DoNotOptimize(ombrix::TextToReal(text));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(texts.size()));
  ombrix::SetDecimalSeparator(',');
}
BENCHMARK_CAPTURE(BM_TextToReal, comma, ',');
BENCHMARK_CAPTURE(BM_TextToReal, point, '.');

// A number text as an operand or a comparison side is read: is it one, and its value;
// first tested, then parsed, and in one look.
void BM_TestThenParseNumberText(benchmark::State& state) {
  ombrix::SetDecimalSeparator(',');
  for (auto _ : state) {
    for (const char* text : kPairTexts) {
      if (ombrix::IsNumberText(text)) benchmark::DoNotOptimize(ombrix::ParseNumberText(text));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kPairTexts.size()));
}
BENCHMARK(BM_TestThenParseNumberText);

void BM_ReadNumberText(benchmark::State& state) {
  ombrix::SetDecimalSeparator(',');
  for (auto _ : state) {
    for (const char* text : kPairTexts) benchmark::DoNotOptimize(ombrix::ReadNumberText(text));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kPairTexts.size()));
}
BENCHMARK(BM_ReadNumberText);

// The values a Mandelbrot drawing makes: the parts of z along the orbits of points across
// the set's frame, each one read back after every step as a term's result is.
std::vector<double> MandelbrotOrbitValues() {
  std::vector<double> values;
  for (int row = 0; row < 20; ++row) {
    for (int column = 0; column < 20; ++column) {
      const std::complex<double> c(-2.0 + 2.5 * column / 19, -1.25 + 2.5 * row / 19);
      std::complex<double> z = 0;
      for (int n = 0; n < 50 && std::norm(z) < 4; ++n) {
        z = z * z + c;
        values.push_back(z.real());
        values.push_back(z.imag());
      }
    }
  }
  return values;
}

void BM_RoundTripReal(benchmark::State& state) {
  ombrix::SetDecimalSeparator(',');
  const std::vector<double> values = MandelbrotOrbitValues();
  for (auto _ : state) {
    for (const double x : values) {
      double out = 0;
      benchmark::DoNotOptimize(ombrix::RoundTripReal(x, out));
      benchmark::DoNotOptimize(out);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(values.size()));
}
BENCHMARK(BM_RoundTripReal);

}  // namespace

BENCHMARK_MAIN();
