// The bits of a value as another type of the same size: std::bit_cast where the library
// has it, the compiler's built-in where only that exists.
#pragma once

#include <version>

#if defined(__cpp_lib_bit_cast)
#include <bit>
#endif

namespace ombrix {

template <class To, class From>
constexpr To BitCast(const From& from) noexcept {
  static_assert(sizeof(To) == sizeof(From));
#if defined(__cpp_lib_bit_cast)
  return std::bit_cast<To>(from);
#else
  return __builtin_bit_cast(To, from);
#endif
}

}  // namespace ombrix
