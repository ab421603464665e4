// Number texts of doubles: the standard library's floating-point to_chars and from_chars
// where it has them, else the exact conversions of exact_decimal.h. Both give the same
// characters and the same bits.
#pragma once

#include <charconv>

#include "logic/complex/exact_decimal.h"

namespace ombrix {

#if defined(__cpp_lib_to_chars)
inline constexpr bool kLibraryRealChars = true;

inline std::to_chars_result ScientificChars(char* first, char* last, double x, int precision) {
  return std::to_chars(first, last, x, std::chars_format::scientific, precision);
}
inline std::to_chars_result ShortestChars(char* first, char* last, double x) {
  return std::to_chars(first, last, x);
}
inline std::from_chars_result RealFromChars(const char* first, const char* last, double& value) {
  return std::from_chars(first, last, value);
}
#else
inline constexpr bool kLibraryRealChars = false;

inline std::to_chars_result ScientificChars(char* first, char* last, double x, int precision) {
  return ExactScientificChars(first, last, x, precision);
}
inline std::to_chars_result ShortestChars(char* first, char* last, double x) {
  return ExactShortestChars(first, last, x);
}
inline std::from_chars_result RealFromChars(const char* first, const char* last, double& value) {
  return ExactFromChars(first, last, value);
}
#endif

}  // namespace ombrix
