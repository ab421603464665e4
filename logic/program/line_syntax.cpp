#include "logic/program/line_syntax.h"

#include <array>
#include <cstdint>

#include "logic/complex/cp1252.h"

namespace ombrix {

namespace {

// The keyword tables lower-cased once; comparing a lower-cased head with them is the
// same test as KeywordIndex without lower-casing every entry at every line.
template <std::size_t N>
struct LoweredTable {
  explicit LoweredTable(const std::array<const char*, N>& table) {
    for (std::size_t i = 0; i < N; ++i) entries[i] = LowerCase1252(table[i]);
  }
  int Find(std::string_view lowered) const {
    for (std::size_t i = 0; i < N; ++i) {
      if (entries[i] == lowered) return static_cast<int>(i);
    }
    return -1;
  }
  std::array<std::string, N> entries;
};

const LoweredTable<kKeywordCount>& LoweredOpening() {
  static const LoweredTable<kKeywordCount> table(OpeningKeywords);
  return table;
}
const LoweredTable<kKeywordCount>& LoweredClosing() {
  static const LoweredTable<kKeywordCount> table(ClosingKeywords);
  return table;
}
const LoweredTable<kCommandCount>& LoweredCommands() {
  static const LoweredTable<kCommandCount> table(CommandWords);
  return table;
}

}  // namespace

std::size_t ArgumentEnd(std::string_view line, std::size_t start) {
  std::int64_t depth = 0;
  for (std::size_t i = start; i < line.size(); ++i) {
    const char c = line[i];
    if ((c == ';' || c == ')') && depth == 0) return i;
    if (c == '(') ++depth;
    if (c == ')') --depth;
  }
  return std::string_view::npos;
}

LineForm ReadLineForm(std::string_view line) {
  LineForm form;
  form.assign = line.find(":=");
  form.bracket = line.find('(');
  const std::string head = LowerCase1252(LineHead(line));
  form.command = LoweredCommands().Find(head);
  form.opening = LoweredOpening().Find(head);
  form.closing = LoweredClosing().Find(head);
  return form;
}

std::size_t LineArguments(std::string_view line, const LineForm& form, std::span<TermSpan> out) {
  if (out.empty()) return 0;
  if (form.assign != std::string::npos) {
    out[0] = {form.assign + 2, line.size()};
    return 1;
  }
  if (form.bracket == std::string::npos) return 0;
  std::size_t count = 0;
  std::size_t start = form.bracket + 1;
  while (count < out.size()) {
    const std::size_t end = ArgumentEnd(line, start);
    if (end == std::string_view::npos) break;
    out[count++] = {start, end};
    start = end + 1;
  }
  return count;
}

EvaluatedArguments ArgumentsEvaluated(const LineForm& form) {
  if (form.assign != std::string::npos) return {0, 1};
  if (form.command >= 0) return {0, CommandArgumentCount(form.command)};
  if (form.opening == static_cast<int>(BlockKind::Fuer)) return {1, kForBounds};
  if (form.opening >= 0 && form.opening != static_cast<int>(BlockKind::Andernfalls)) {
    return {0, kBlockArguments};
  }
  return {};
}

}  // namespace ombrix
