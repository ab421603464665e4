// Long powers kept for the rest of their evaluation and after it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "logic/complex/bits.h"
#include "logic/complex/complex.h"
#include "logic/complex/interrupt.h"

namespace ombrix {

// Long powers by the exact bits of base and exponent. A power is a function of these
// alone, so a plan that meets a failure after its powers and gives way to the text path
// hands over what it formed: no power is formed twice. Short powers are not kept.
class PowerMemo {
 public:
  static bool WorthKeeping(std::int32_t n) {
    return n >= kProductsPerPoll || n <= -kProductsPerPoll;
  }
  bool Find(TComplex base, std::int32_t n, TComplex& power) const {
    for (const Kept& kept : kept_) {
      if (kept.used && kept.n == n && Same(kept.base, base)) {
        power = kept.power;
        return true;
      }
    }
    return false;
  }
  void Keep(TComplex base, std::int32_t n, TComplex power) {
    kept_[next_] = {base, n, power, true};
    next_ = (next_ + 1) % kept_.size();
  }

 private:
  static bool Same(TComplex a, TComplex b) {
    return BitCast<std::uint64_t>(a.Re) == BitCast<std::uint64_t>(b.Re) &&
           BitCast<std::uint64_t>(a.Im) == BitCast<std::uint64_t>(b.Im);
  }
  struct Kept {
    TComplex base;
    std::int32_t n = 0;
    TComplex power;
    bool used = false;
  };
  std::array<Kept, 8> kept_{};
  std::size_t next_ = 0;
};

}  // namespace ombrix
