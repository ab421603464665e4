#include "logic/evaluator/term_rules.h"

namespace ombrix {

std::size_t MaxNesting(std::string_view text) {
  std::ptrdiff_t depth = 0, deepest = 0;
  for (char c : text) {
    if (c == '(') {
      deepest = std::max(deepest, ++depth);
    } else if (c == ')') {
      --depth;
    }
  }
  return static_cast<std::size_t>(deepest);
}

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

}  // namespace ombrix
