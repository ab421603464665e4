// Values compared by their bits: a step back restores them to the last bit, and a watched
// term changes only when what it reads does.
#pragma once

#include <cstdint>

#include "logic/complex/bits.h"
#include "logic/complex/complex.h"
#include "logic/program/drawing_state.h"

namespace ombrix {

inline bool SameBits(double a, double b) {
  return BitCast<std::uint64_t>(a) == BitCast<std::uint64_t>(b);
}
inline bool SameBits(TComplex a, TComplex b) {
  return SameBits(a.Re, b.Re) && SameBits(a.Im, b.Im);
}
inline bool SameBits(const PlaneScale& a, const PlaneScale& b) {
  return SameBits(a.re_min, b.re_min) && SameBits(a.re_max, b.re_max) &&
         SameBits(a.im_min, b.im_min) && SameBits(a.im_max, b.im_max);
}

}  // namespace ombrix
