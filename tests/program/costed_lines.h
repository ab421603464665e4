// Lines with a cost on a clock of their own, for the time bound of a slice: the clock
// moves only by what the lines cost, `line` for every line begun and `poll` for every
// time a long line asks its interrupt (once per kProductsPerPoll products of a power).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "logic/program/interpreter.h"
#include "logic/program/run_control.h"

namespace ombrix::testing {

class CostedLines final : public StepObserver {
 public:
  CostedLines(Interpreter& interpreter, RunControl& run, std::chrono::nanoseconds line,
              std::chrono::nanoseconds poll)
      : line_(line) {
    interpreter.SetStepObserver(this);
    run.SetLineWait([this, poll] { now += poll; });
    run.Slices().SetClock([this] { return std::chrono::steady_clock::time_point(now); });
  }
  void BeforeStep(int) override {
    line_began = now;
    now += line_;
  }

  std::chrono::nanoseconds now{};
  std::chrono::nanoseconds line_began{};  // when the last line began

 private:
  std::chrono::nanoseconds line_;
};

// Slices of `budget`, each run by `slice`, until one answers other than Running (at most
// 100,000): each must have run past its budget and no line beyond the first one that
// ended past it. The last answer and how many slices ran.
template <class Slice>
std::pair<RunOutcome, std::int64_t> RunInSlices(const CostedLines& cost,
                                                std::chrono::nanoseconds budget, Slice&& slice) {
  RunOutcome outcome = RunOutcome::Running;
  std::int64_t slices = 0;
  while (outcome == RunOutcome::Running && slices < 100000) {
    const auto start = cost.now;
    outcome = slice();
    ++slices;
    if (outcome == RunOutcome::Running) {
      EXPECT_GE(cost.now - start, budget);
      EXPECT_LT(cost.line_began - start, budget);
    }
  }
  return {outcome, slices};
}

// Programs whose lines cost alike, turn dear, or alternate, with a variable "x" (and "y").
struct CostedProgram {
  const char* name;
  std::vector<std::string> lines;
};

inline std::vector<CostedProgram> CostedPrograms() {
  // 488 polls of the interrupt: a dear line.
  const std::string dear = "y:=1.0000001^2000000";
  return {
      {"cheap lines", {"Wiederhole(30000)", "x:=x+1", "EndeWiederhole"}},
      {"lines that turn dear",
       {"Wiederhole(9000)", "x:=x+1", "EndeWiederhole", "Wiederhole(3)", dear, "EndeWiederhole"}},
      {"cheap and dear lines in turn", {"Wiederhole(3)", "x:=x+1", dear, "EndeWiederhole"}},
      {"a failure after cheap lines", {"Wiederhole(7000)", "x:=x+1", "EndeWiederhole", "Unsinn"}},
  };
}

}  // namespace ombrix::testing
