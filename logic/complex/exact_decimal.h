// Conversions between doubles and decimal texts in integers alone, rounding exactly as
// the standard library's floating-point to_chars and from_chars do: for libraries that
// lack those (real_chars.h chooses). Every result is the exact decimal or binary value
// rounded once, so they agree with any correct library bit for bit.
#pragma once

#include <charconv>

namespace ombrix {

// As std::to_chars(first, last, x, std::chars_format::scientific, precision) for a
// finite x and a precision of 0 .. 40: "d.ddde+XX", the last digit rounded half to even.
std::to_chars_result ExactScientificChars(char* first, char* last, double x, int precision);

// As std::to_chars(first, last, x) for a finite x: the shortest text that reads back as
// x (the nearest of them, a tie to the even digit), in fixed style ("0.001", "120", whole
// numbers with all their digits) or scientific style ("1e-05", "1.5e+20"), whichever is
// shorter, fixed on a tie.
std::to_chars_result ExactShortestChars(char* first, char* last, double x);

// As std::from_chars(first, last, value) in the general format: an optional "-", digits
// with an optional ".", an optional exponent. Out of range (value untouched) where the
// text rounds to an infinity or, not being zero, to zero. The texts of infinities and
// NaN are refused as no number, as every caller refuses them anyway.
std::from_chars_result ExactFromChars(const char* first, const char* last, double& value);

}  // namespace ombrix
