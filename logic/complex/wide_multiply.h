// The 128-bit product of two 64-bit integers: with the compiler's 128-bit integers on
// 64-bit processors, which multiply so in one instruction, else from 32-bit halves (on
// WebAssembly's 32-bit machine the 128-bit type would call a library routine). Both give
// the same bits.
#pragma once

#include <cstdint>

namespace ombrix {

struct WideProduct {
  std::uint64_t high;
  std::uint64_t low;
};

inline WideProduct MultiplyWide(std::uint64_t a, std::uint64_t b) {
#if defined(__SIZEOF_INT128__) && UINTPTR_MAX > 0xFFFFFFFFu
  const unsigned __int128 p = static_cast<unsigned __int128>(a) * b;
  return {static_cast<std::uint64_t>(p >> 64), static_cast<std::uint64_t>(p)};
#else
  const std::uint64_t a0 = a & 0xFFFFFFFFu, a1 = a >> 32;
  const std::uint64_t b0 = b & 0xFFFFFFFFu, b1 = b >> 32;
  const std::uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
  const std::uint64_t mid = (p00 >> 32) + (p01 & 0xFFFFFFFFu) + (p10 & 0xFFFFFFFFu);
  return {p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32), (mid << 32) | (p00 & 0xFFFFFFFFu)};
#endif
}

}  // namespace ombrix
