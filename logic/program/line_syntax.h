// The grammar of a program line, from its text alone: whether it is an assignment, a
// command or a block keyword, and where its arguments stand. The interpreter steps by it,
// and the views of a run show a line's terms by it.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "logic/program/commands.h"
#include "logic/program/program_text.h"

namespace ombrix {

// What a step needs of a line before its arguments: where ":=" stands, where the first
// "(" stands, and the positions of the lower-cased head in the command and keyword tables
// (-1 when none).
struct LineForm {
  std::size_t assign = std::string::npos;
  std::size_t bracket = std::string::npos;
  int command = -1;
  int opening = -1;
  int closing = -1;
};
LineForm ReadLineForm(std::string_view line);

// Where the argument that starts at `start` ends: the first ";" or ")" outside brackets;
// npos when the line ends first.
std::size_t ArgumentEnd(std::string_view line, std::size_t start);

// What the block keywords read: "Wenn", "Solange" and "Wiederhole" one term; "Für" the
// name of its variable, then start, end and step.
inline constexpr int kBlockArguments = 1;
inline constexpr int kForBounds = 3;
// The most arguments any line reads.
inline constexpr int kMaxLineArguments =
    kMaxCommandArguments > 1 + kForBounds ? kMaxCommandArguments : 1 + kForBounds;

// The text of a term: [start, end) of its line.
struct TermSpan {
  std::size_t start = 0;
  std::size_t end = 0;
};
// The right-hand side of an assignment; for any other line its arguments from the first
// "(" on that end before the line does, at most out.size(). Returns how many.
std::size_t LineArguments(std::string_view line, const LineForm& form, std::span<TermSpan> out);

// Which of a line's arguments a step evaluates as terms: `count` of them from `first`
// (the right-hand side of an assignment is argument 0). A closing keyword evaluates none
// of its own.
struct EvaluatedArguments {
  int first = 0;
  int count = 0;
};
EvaluatedArguments ArgumentsEvaluated(const LineForm& form);

}  // namespace ombrix
