#pragma once

#include "logic/complex/cp1252.h"

namespace ombrix {

template <std::size_t N>
int KeywordIndex(std::string_view word, const std::array<const char*, N>& table) {
  const std::string lowered = LowerCase1252(word);
  for (std::size_t i = 0; i < N; ++i) {
    if (lowered == LowerCase1252(table[i])) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace ombrix
