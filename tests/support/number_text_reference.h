// Reading a number text as a test followed by a parse, each part read with TextToReal
// (which tests/complex checks against an independent reading); what ReadNumberText and
// ParseNumberText are compared with.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"
#include "logic/evaluator/result_text.h"
#include "tests/support/real_text_check.h"

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
    if (!IsPairText(text)) return ComplexFromReal(TextToReal(text));
    const std::string_view inner = text.substr(1, text.size() - 2);
    const std::size_t bar = inner.find('|');
    return TComplex{TextToReal(inner.substr(0, bar)), TextToReal(inner.substr(bar + 1))};
  });
}

}  // namespace ombrix::testing
