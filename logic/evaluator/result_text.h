// Result texts: pair texts "[re|im]", comparison texts "1"/"0", error texts "?"+code+detail.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "logic/complex/complex.h"
#include "logic/complex/num_text.h"

namespace ombrix {

bool IsRealText(std::string_view text);
bool IsPairText(std::string_view text);
bool IsNumberText(std::string_view text);
// "[" + re + "|" + im + "]", each part as RealToText writes it under `separator`: the one
// writer of pair texts.
std::string PairText(TComplex z, char separator = DecimalSeparator());
inline std::string MakePairText(TComplex z) { return PairText(z); }
// Any text that is no number text reads as 0; a text that only looks like a number
// (1e2e3, [|]) throws the conversion Fault.
TComplex ParseNumberText(std::string_view text);
// IsNumberText and ParseNumberText with one look at the text: the value of a number text
// (or the same Fault), nothing for any other text.
[[nodiscard]] std::optional<TComplex> ReadNumberText(std::string_view text);
// The same without a fault: nothing where ReadNumberText would fault, too.
[[nodiscard]] std::optional<TComplex> ReadNumberTextIfSound(std::string_view text);
std::string ToDisplayText(std::string_view text);
// The German message of an error text's first two characters (case-sensitive).
std::string ErrorMessageText(std::string_view text);

inline bool IsErrorText(std::string_view text) { return !text.empty() && text[0] == '?'; }

}  // namespace ombrix
