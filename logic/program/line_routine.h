// The lines of the main program compiled into one routine over registers: each line's
// terms become the operations of its plans (one run of flat operations for all of them),
// and what the line does with their values becomes a step of the interpreter's own
// between them (FlatOp::Code::Host). The interpreter runs it while nothing watches the
// steps; a line it cannot run, or a term whose value only the text path can say, is left to
// the interpreter's steps. Variables, loop records and the line counter stay where the
// steps keep them, written as each line ends, so that whatever stops a run finds them as
// the steps leave them.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "logic/evaluator/flat_plan.h"
#include "logic/evaluator/plan.h"
#include "logic/program/line_syntax.h"

namespace ombrix {

// What a line does with the values of its terms, named by the Host operation after them.
struct RoutineStep {
  enum class Kind : std::uint8_t {
    Argument,     // the argument cursor as the step leaves it before argument `value`
    Next,         // nothing but the step: an empty line, "EndeWenn"
    Wenn,         // on into the block, or past it where `value` is 0
    Andernfalls,  // reached by running through the "Wenn" part: on past the "EndeWenn"
    Solange,      // opens the loop on `value`, or passes over it
    // The top record's condition is the one `partner`'s line holds (FlatOp::Code::LoopTest;
    // the loop's end is FlatOp::Code::LoopEnd).
    SolangeTest,
    Wiederhole,     // opens the loop `value` times
    WiederholeEnd,  // the top record's count
    Fuer,           // `variable` from `arguments`, the loop opened
    FuerEnd,        // the top record's variable one step on
    Command,        // `command` with `arguments`
  };
  Kind kind = Kind::Next;
  std::int32_t line = 0;
  std::int32_t value = -1;     // the register of the term's value
  std::int32_t cursor = 0;     // the argument cursor (Argument, and the loop ends)
  std::int32_t variable = -1;  // Fuer
  std::int32_t partner = -1;   // the "Solange" line whose condition SolangeTest expects
  std::uint64_t fill = 0;      // the reading of the partner's slot it was compiled from
  std::int32_t command = -1;
  std::array<std::int32_t, kMaxLineArguments> arguments{};  // registers
};

struct LineRoutine {
  // What a line's entry holds besides an operation's index.
  static constexpr std::int32_t kNotCompiled = -1;  // not for the slot's reading it has now
  static constexpr std::int32_t kLeftToSteps = -2;  // a line only the steps can run
  struct Line {
    std::int32_t entry = kNotCompiled;  // the index of the line's first operation
    std::uint64_t fill = 0;             // the slot's reading it was compiled from
    std::size_t count = 0;              // its operations
    // The call that runs steps (LineCache::Epoch) in which the line was found compiled for
    // the reading its slot holds: the texts do not change within a call, so it holds for
    // the rest of that call.
    std::uint64_t current_in = 0;
    const FlatOp* at = nullptr;  // the first operation, while `current_in` holds
  };
  // A line compiled again leaves its old operations behind, unused. Once they are more than
  // these and more than the ones in use, the routine starts afresh: it holds at most about
  // twice what the program's lines need, however often they are edited, and a program of
  // any size compiles each line once.
  static constexpr std::size_t kMinUnused = std::size_t{1} << 12;

  // Where a line's skip (past its block, or to its "Andernfalls") ended, found in the call
  // `in`: the walk reads texts only, which do not change within a call.
  struct Skip {
    std::uint64_t in = 0;
    std::int32_t to = 0;
  };

  FlatPlan code;  // the operations and registers of every compiled line
  std::vector<RoutineStep> steps;
  std::vector<Line> lines;  // by line of the main program, and one never compiled past them
  std::vector<Skip> skips;  // by line, as `lines`
  std::size_t used = 0;     // the operations of the lines' current compilations
  PlanCache::Stamp stamp;   // what the terms were lowered for

  void Clear(const PlanCache::Stamp& now) {
    code = FlatPlan{};
    steps.clear();
    lines.clear();
    skips.clear();
    used = 0;
    stamp = now;
  }
  // The operations have moved: no line's `at` holds.
  void Moved() {
    for (Line& line : lines) line.current_in = 0;
  }
  // Line `n` is compiled again: its old operations are unused from now on. True where the
  // routine has started afresh.
  bool Recompiling(std::size_t n) {
    if (lines[n].entry >= 0) used -= lines[n].count;
    const std::size_t unused = code.ops.size() - used;
    if (unused <= kMinUnused || unused <= used) return false;
    const std::size_t count = lines.size();
    Clear(stamp);
    lines.resize(count);
    skips.resize(count);
    return true;
  }
};

}  // namespace ombrix
