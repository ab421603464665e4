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
#include <string>
#include <string_view>
#include <vector>

#include "logic/evaluator/flat_plan.h"
#include "logic/evaluator/plan.h"
#include "logic/program/line_syntax.h"

namespace ombrix {

// What a line does with the values of its terms, named by the Host operation after them.
struct RoutineStep {
  enum class Kind : std::uint8_t {
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
    // The first operation of every line not yet found current in the call (LineRoutine's
    // kEnter): the line's slot compared with its text, and on into its operations.
    Enter,
  };
  Kind kind = Kind::Next;
  std::int32_t line = 0;
  std::int32_t value = -1;     // the register of the term's value
  std::int32_t cursor = 0;     // the argument cursor (the loop ends)
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
  };
  // Where `at` sends a line not found current in the call: a step of its own (steps[0]).
  static constexpr FlatOp kEnter{FlatOp::Code::Host};
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
  std::vector<RoutineStep> steps{RoutineStep{RoutineStep::Kind::Enter}};
  std::vector<Line> lines;  // by line of the main program, and one never compiled past them
  std::vector<Skip> skips;  // by line, as `lines`
  // By line, as `lines`: the first operation of a line found compiled for the reading its
  // slot holds in the call `at_in` (LineCache::Epoch), else kEnter. The texts do not
  // change within a call, so a line found current holds for the rest of that call, and
  // the end of a line finds the next one's operations in one read.
  std::vector<const FlatOp*> at;
  std::vector<std::int32_t> entered;  // the lines whose `at` is not kEnter
  std::uint64_t at_in = 0;
  std::size_t used = 0;    // the operations of the lines' current compilations
  PlanCache::Stamp stamp;  // what the terms were lowered for
  // The condition of the last "Solange" record popped, kept for its buffer: a drawing loop
  // entered once per pixel then allocates nothing for its record.
  std::string spare;

  void Clear(const PlanCache::Stamp& now) {
    code = FlatPlan{};
    steps.assign(1, RoutineStep{RoutineStep::Kind::Enter});
    lines.clear();
    skips.clear();
    at.clear();
    entered.clear();
    used = 0;
    stamp = now;
  }
  // `count` lines (one past the main program's included), none found current yet.
  void Fit(std::size_t count) {
    if (lines.size() == count) return;
    lines.resize(count);
    skips.resize(count);
    at.assign(count, &kEnter);
    entered.clear();
  }
  // No line found current any more: a new call, or the operations have moved.
  void Forget() {
    for (const std::int32_t n : entered) at[static_cast<std::size_t>(n)] = &kEnter;
    entered.clear();
  }
  // Line `n` found current in the call `at_in`, its operations from `first`.
  void Entered(std::size_t n, const FlatOp* first) {
    at[n] = first;
    entered.push_back(static_cast<std::int32_t>(n));
  }
  // Line `n` is compiled again: its old operations are unused from now on. True where the
  // routine has started afresh.
  bool Recompiling(std::size_t n) {
    if (lines[n].entry >= 0) used -= lines[n].count;
    const std::size_t unused = code.ops.size() - used;
    if (unused <= kMinUnused || unused <= used) return false;
    const std::size_t count = lines.size();
    Clear(stamp);
    Fit(count);
    return true;
  }
};

}  // namespace ombrix
