// What ombrix-cli shows of a run's inside: "run --lines" (a line per program line that
// runs, with the variables the line before changed; "--break" marks where the run would
// pause) and "eval --explain" (the working texts of each term's rewriting).
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "logic/app/runtime.h"
#include "logic/evaluator/evaluate.h"
#include "logic/program/run_debug.h"

namespace ombrix::cli {

struct LineOptions {
  bool lines = false;
  std::vector<std::int32_t> breaks;  // 1-based main-program lines
};

inline constexpr const char* kLinesFlag = "--lines";
inline constexpr const char* kBreakOption = "--break";

// Reads "--lines" or "--break N"; false, with the reason on `err`, for a bad value.
[[nodiscard]] bool ReadLineOption(const std::string& name, const std::string& value,
                                  LineOptions& options, std::ostream& err);
// "--break" without "--lines": false, with the reason on `err`.
[[nodiscard]] bool CheckLineOptions(const LineOptions& options, std::ostream& err);

// Runs the main program as RunControl::StepMain does; with "--lines", through the run
// engine's line listener and breakpoints, printing on `out`.
class LinePrinter {
 public:
  LinePrinter(const LineOptions& options, Runtime& runtime, std::ostream& out);
  RunOutcome StepMain(StepBudget budget);

 private:
  RunControl& control_;
  std::ostream& out_;
  RunDebugger* debugger_ = nullptr;  // only with "--lines"
};

// The working texts of `term`, one a line, the last as "eval" prints it (with `display`
// the display form), then an empty line.
void WriteExplanation(const std::string& term, const EvalContext& context, bool display,
                      std::ostream& out);

}  // namespace ombrix::cli
