// The plans against the text path. Arbitrary bytes: the first line is the term of a user
// function "f", the second a term, the rest the lines of a main program. The term is
// evaluated both ways under both decimal separators, the program is run both ways for a
// bounded number of steps; any difference in result texts, values, faults, message boxes,
// canvas calls, variable values or step counts aborts. Inputs are bounded (short texts,
// few lines and steps, small powers), so that a minute tries tens of thousands of them.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "logic/app/runtime.h"
#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"
#include "logic/evaluator/evaluate.h"
#include "logic/evaluator/plan.h"
#include "logic/evaluator/result_text.h"
#include "logic/program/drawing_state.h"
#include "logic/program/interpreter.h"
#include "logic/program/project_content.h"

namespace {

// What one input may hold and cost.
constexpr std::size_t kMaxInput = 512;
constexpr std::size_t kMaxBody = 64;
constexpr std::size_t kMaxTerm = 128;
constexpr std::size_t kMaxLines = 16;
constexpr int kMaxSteps = 100;
constexpr std::size_t kMaxCanvasCalls = 20000;
// Products the term's powers may take together, on both paths alike.
constexpr double kTermPowerProducts = 1 << 16;

// Powers in the function and the program, whose evaluation no budget of ours bounds, take
// a single digit as exponent: with the step limit that keeps every run short.
bool SmallPowersOnly(std::string_view text) {
  for (std::size_t at = text.find('^'); at != std::string_view::npos; at = text.find('^', at + 1)) {
    std::size_t digit = at + 1;
    if (digit < text.size() && (text[digit] == '-' || text[digit] == '+')) ++digit;
    if (digit >= text.size() || text[digit] < '0' || text[digit] > '9') return false;
    if (digit + 1 < text.size() && text[digit + 1] >= '0' && text[digit + 1] <= '9') return false;
  }
  return true;
}

// Whether the body of "f" may call "f" or "g" ("g" calls "f"): every such recursion runs to
// the expansion limit, seconds per input, and that limit has tests of its own. Names are
// found anywhere in a term, so any "f(" or "g(" counts ("Lg(" too).
bool CallsItself(std::string_view body) {
  std::string text;
  for (char c : body) {
    if (c != ' ') text += static_cast<char>(c == 'F' ? 'f' : c == 'G' ? 'g' : c);
  }
  return text.find("f(") != std::string::npos || text.find("g(") != std::string::npos;
}

class LoggingBoxes : public ombrix::MessageBoxes {
 public:
  void Show(ombrix::MessageKind, const std::string& text, const std::string&) override {
    log += "box:" + text + "\n";
  }
  bool Confirm(const std::string& text) override {
    log += "confirm:" + text + "\n";
    return true;
  }
  std::string log;
};

// Every call with its arguments, in order.
class LoggingCanvas final : public ombrix::Canvas {
 public:
  int Width() const override { return 400; }
  int Height() const override { return 400; }
  void SetPixel(int x, int y, ombrix::Colour c) override { Add('p', x, y, static_cast<int>(c)); }
  void SetPenColour(ombrix::Colour c) override { Add('c', static_cast<int>(c)); }
  void MoveTo(int x, int y) override { Add('m', x, y); }
  void LineTo(int x, int y) override { Add('l', x, y); }
  void SetBrushSolid(bool solid) override { Add('b', solid); }
  void FillRect(int a, int b, int c, int d) override { Add('r', a, b, c, d); }
  void Ellipse(int a, int b, int c, int d) override { Add('e', a, b, c, d); }
  std::vector<int> calls;

 private:
  template <class... T>
  void Add(char kind, T... values) {
    if (calls.size() > kMaxCanvasCalls) return;  // enough to tell two runs apart
    calls.push_back(kind);
    (calls.push_back(static_cast<int>(values)), ...);
  }
};

[[noreturn]] void Differ(const char* what, std::string_view a, std::string_view b) {
  std::fprintf(stderr, "%s differ:\n  text path: %.*s\n  plans:     %.*s\n", what,
               static_cast<int>(a.size()), a.data(), static_cast<int>(b.size()), b.data());
  std::abort();
}

std::string Bits(ombrix::TComplex z) {
  char out[40];
  std::uint64_t re, im;
  std::memcpy(&re, &z.Re, sizeof re);
  std::memcpy(&im, &z.Im, sizeof im);
  std::snprintf(out, sizeof out, "%016llx %016llx", static_cast<unsigned long long>(re),
                static_cast<unsigned long long>(im));
  return out;
}

void Prepare(ombrix::ProjectContent& project, std::string_view body) {
  const auto add_function = [&](const char* name, std::string term) {
    const int k = project.functions.LastFunction() + 1;
    project.functions.SetLastFunction(k);
    project.functions.SetName(k, name);
    project.functions.SetTerm(k, std::move(term));
  };
  add_function("f", std::string(body));
  add_function("g", "f(#)+x");
  add_function("G", "#*#");
  const auto add_variable = [&](const char* name, ombrix::TComplex start) {
    const int j = project.variables.LastVariable() + 1;
    project.variables.SetLastVariable(j);
    project.variables.SetName(j, name);
    project.variables.SetStartValue(j, start);
    project.variables.SetCurrentValue(j, start);
  };
  add_variable("x", {0.5, -2.0});
  add_variable("X", {4, 0});
  add_variable("n", {});
  add_variable("z", {0.1, 0.3});
}

// Result text or fault, then the boxes, of one evaluation.
std::string Outcome(std::string_view term, const ombrix::EvalContext& context, LoggingBoxes& boxes,
                    bool value) {
  boxes.log.clear();
  std::string out;
  try {
    if (value) {
      const ombrix::TermValue v = ombrix::EvaluateTermValue(term, context);
      out = v.error.empty() ? Bits(v.value) : v.error;
    } else {
      out = ombrix::EvaluateTerm(term, context);
    }
  } catch (const ombrix::Fault& fault) {
    out = std::string("fault:") + fault.what();
  }
  return out + "\n" + boxes.log;
}

std::string ValueText(const ombrix::EvalContext& context, std::string_view term,
                      LoggingBoxes& boxes) {
  // The text path's result read back as callers read it.
  boxes.log.clear();
  std::string out;
  try {
    const std::string result = ombrix::EvaluateTermText(term, context);
    out = ombrix::IsErrorText(result) ? result : Bits(ombrix::ParseNumberText(result));
  } catch (const ombrix::Fault& fault) {
    out = std::string("fault:") + fault.what();
  }
  return out + "\n" + boxes.log;
}

struct RunLog {
  std::string boxes;
  std::vector<int> canvas;
  std::string state;
};

RunLog Run(std::string_view body, const ombrix::ProgramText& program, bool plans) {
  LoggingCanvas canvas;
  LoggingBoxes boxes;
  ombrix::Runtime runtime({canvas, boxes});
  ombrix::ProjectContent& project = runtime.Project();
  Prepare(project, body);
  project.programs[ombrix::MainProgram] = program;
  const ombrix::InterpreterState& state = runtime.State();
  ombrix::Interpreter& interpreter = runtime.Interp();
  interpreter.UsePlans(plans);
  runtime.Flags().MainRunning = true;
  project.variables.CopyStartToCurrent();
  int steps = 0;
  while (steps < kMaxSteps && state.CurrentLine[ombrix::MainProgram] >= 0 &&
         static_cast<std::size_t>(state.CurrentLine[ombrix::MainProgram]) < program.size() &&
         canvas.calls.size() <= kMaxCanvasCalls) {
    ++steps;
    if (!interpreter.ExecuteStep(ombrix::MainProgram)) break;
  }
  RunLog log{boxes.log, canvas.calls, "steps " + std::to_string(steps)};
  log.state += " line " + std::to_string(state.CurrentLine[ombrix::MainProgram]);
  for (int j = 0; j <= project.variables.LastVariable(); ++j) {
    log.state += " " + Bits(project.variables.CurrentValue(j));
  }
  return log;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxInput) return -1;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string_view body = "#*2";
  std::string_view term = input;
  std::string_view rest;
  if (const std::size_t first = input.find('\n'); first != std::string_view::npos) {
    body = input.substr(0, first);
    term = input.substr(first + 1);
    if (const std::size_t second = term.find('\n'); second != std::string_view::npos) {
      rest = term.substr(second + 1);
      term = term.substr(0, second);
    }
  }
  if (body.size() > kMaxBody || term.size() > kMaxTerm || CallsItself(body) ||
      !SmallPowersOnly(body) || !SmallPowersOnly(rest)) {
    return -1;
  }

  ombrix::ProjectContent project;
  Prepare(project, body);
  ombrix::DrawingState drawing;
  LoggingBoxes text_boxes, plan_boxes;
  ombrix::PlanCache plans;
  const ombrix::EvalContext text{project.functions, project.variables, drawing, text_boxes,
                                 kTermPowerProducts};
  const ombrix::EvalContext planned{project.functions, project.variables,  drawing,
                                    plan_boxes,        kTermPowerProducts, &plans};
  for (char separator : {',', '.'}) {
    ombrix::SetDecimalSeparator(separator);
    std::string a, b;
    text_boxes.log.clear();
    try {
      a = ombrix::EvaluateTermText(term, text) + "\n";
    } catch (const ombrix::Fault& fault) {
      a = std::string("fault:") + fault.what() + "\n";
    }
    a += text_boxes.log;
    b = Outcome(term, planned, plan_boxes, false);
    if (a != b) Differ("result texts", a, b);
    a = ValueText(text, term, text_boxes);
    b = Outcome(term, planned, plan_boxes, true);
    if (a != b) Differ("values", a, b);
  }

  if (!rest.empty()) {
    ombrix::SetDecimalSeparator(',');
    ombrix::ProgramText program;
    std::size_t from = 0;
    while (from <= rest.size() && program.size() < kMaxLines) {
      const std::size_t end = std::min(rest.find('\n', from), rest.size());
      std::string line;
      for (char c : rest.substr(from, end - from)) {
        if (c != ' ') line += c;  // stored lines hold no space
      }
      program.push_back(line);
      from = end + 1;
    }
    const RunLog a = Run(body, program, false);
    const RunLog b = Run(body, program, true);
    if (a.boxes != b.boxes) Differ("message boxes", a.boxes, b.boxes);
    if (a.canvas != b.canvas) Differ("canvas calls", "", "");
    if (a.state != b.state) Differ("runs", a.state, b.state);
  }
  return 0;
}
