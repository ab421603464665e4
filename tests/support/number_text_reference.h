// Reading a number text as a test followed by a parse, each part with the copying
// reading; what ReadNumberText and ParseNumberText are compared with.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "logic/complex/fault.h"
#include "logic/evaluator/result_text.h"
#include "tests/support/text_to_real_reference.h"

namespace ombrix::testing {

// What reading a text as a number gives: "none", the fault's message, or the bits of
// both parts.
template <class Read>
std::string NumberOutcome(Read&& read) {
  try {
    const std::optional<TComplex> z = read();
    if (!z) return "none";
    return std::to_string(BitsOf(z->Re).bits) + " " + std::to_string(BitsOf(z->Im).bits);
  } catch (const Fault& fault) {
    return fault.what();
  }
}

// A value exactly when IsNumberText says so, read part by part (the real part first, so
// its fault comes first).
inline std::string ReferenceNumberOutcome(std::string_view text) {
  return NumberOutcome([&]() -> std::optional<TComplex> {
    if (!IsNumberText(text)) return std::nullopt;
    if (!IsPairText(text)) return ComplexFromReal(TextToRealReference(text));
    const std::string_view inner = text.substr(1, text.size() - 2);
    const std::size_t bar = inner.find('|');
    return TComplex{TextToRealReference(inner.substr(0, bar)),
                    TextToRealReference(inner.substr(bar + 1))};
  });
}

}  // namespace ombrix::testing
