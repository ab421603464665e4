#include "logic/evaluator/term_rules.h"

#include <array>

#include "logic/complex/cp1252.h"
#include "logic/evaluator/evaluate.h"

namespace ombrix {

namespace {

// Bit 0: the character lower-cases to another one; bit 1: a blank.
const std::array<unsigned char, 256>& NormaliseFlags() {
  static const std::array<unsigned char, 256> flags = [] {
    std::array<unsigned char, 256> f{};
    for (int c = 0; c < 256; ++c) {
      const char ch = static_cast<char>(c);
      f[static_cast<std::size_t>(c)] = static_cast<unsigned char>(LowerChar1252(ch) != ch);
    }
    f[' '] = 2;
    return f;
  }();
  return flags;
}

bool NeedsNormalising(std::string_view s, unsigned char mask) {
  const auto& flags = NormaliseFlags();
  unsigned char any = 0;
  for (char c : s) any |= flags[static_cast<unsigned char>(c)];
  return (any & mask) != 0;
}

std::size_t MaxNesting(std::string_view s) {
  std::ptrdiff_t depth = 0, deepest = 0;
  for (char c : s) {
    if (c == '(') {
      deepest = std::max(deepest, ++depth);
    } else if (c == ')') {
      --depth;
    }
  }
  return static_cast<std::size_t>(deepest);
}

}  // namespace

std::string WrappedError(ErrorCode code, std::string_view text) {
  std::string out;
  out.reserve(text.size() + 6);
  out += '?';
  out += CodeChar(code);
  out += '\'';
  out += text;
  out += "' ?";
  return out;
}

std::string Normalise(std::string_view term) {
  if (!NeedsNormalising(term, 3)) return std::string(term);
  std::string out;
  out.reserve(term.size());
  for (char c : term) {
    if (c != ' ') out += LowerChar1252(c);
  }
  return out;
}

void LowerInPlace(std::string& text) {
  if (!NeedsNormalising(text, 1)) return;
  for (char& c : text) c = LowerChar1252(c);
}

LevelStart StartLevel(std::string_view text, int depth, std::size_t& text_read,
                      const EvalBounds& bounds) {
  if (!BracketCountsEqual(text)) return LevelStart::BadBrackets;
  if (!text.empty() && text[0] == '?') return LevelStart::ErrorText;
  text_read += text.size();
  if ((depth == 0 && MaxNesting(text) > static_cast<std::size_t>(bounds.depth)) ||
      depth > bounds.depth || text_read > bounds.text_read) {
    return LevelStart::TooDeep;
  }
  return LevelStart::Go;
}

}  // namespace ombrix
