// Arbitrary bytes as a term, and as the term of a user function "f" (the part before the
// first line break), evaluated under both decimal separators. Only the fault may escape.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"
#include "logic/evaluator/evaluate.h"
#include "logic/program/drawing_state.h"

namespace {

class DiscardingBoxes : public ombrix::MessageBoxes {
 public:
  void Show(ombrix::MessageKind, const std::string&, const std::string&) override {}
  bool Confirm(const std::string&) override { return true; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string_view term = input;
  std::string_view body = "#*2";
  if (const std::size_t line = input.find('\n'); line != std::string_view::npos) {
    body = input.substr(0, line);
    term = input.substr(line + 1);
  }

  ombrix::FunctionTable functions;
  ombrix::VariableTable variables;
  ombrix::DrawingState drawing;
  DiscardingBoxes boxes;
  functions.SetLastFunction(ombrix::kFirstUserFunction + 1);
  functions.SetName(ombrix::kFirstUserFunction, "f");
  functions.SetTerm(ombrix::kFirstUserFunction, std::string(body));
  functions.SetName(ombrix::kFirstUserFunction + 1, "g");
  functions.SetTerm(ombrix::kFirstUserFunction + 1, "f(#)+x");
  variables.SetLastVariable(3);
  variables.SetName(3, "x");
  variables.SetCurrentValue(3, {0.5, -2.0});
  // Far below the window's budget, so every input stays within the per-input time limit.
  const ombrix::EvalContext context{functions, variables, drawing, boxes, 1 << 22};

  for (char separator : {',', '.'}) {
    ombrix::SetDecimalSeparator(separator);
    try {
      // Evaluates the term and turns the result into its display text or message.
      ombrix::EvaluateForDisplay(term, context);
    } catch (const ombrix::Fault&) {
      // A fault ends the action; that is a valid outcome.
    }
  }
  return 0;
}
