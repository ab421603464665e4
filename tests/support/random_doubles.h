// Seeded random doubles for the tests that hold two computations against each other: bit
// patterns over the whole range, and values where results turn.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>

#include "logic/complex/bits.h"

namespace ombrix::testing {

// A finite double from its bits: any magnitude, subnormals included.
inline double RandomBits(std::mt19937_64& random) {
  for (;;) {
    const auto x = BitCast<double>(random());
    if (std::isfinite(x)) return x;
  }
}

// A bit pattern, a value in [-10, 10) or [-1, 1), a power of two from 2^-1075 to 2^1024
// times [-1, 1), a multiple of pi/2, 1/80 or 1/2 below 1000 or of pi/2 up to 2^40 a few units
// off, or 1 a few units off.
inline double RandomInteresting(std::mt19937_64& random) {
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  const auto units_off = [&random](double x) {
    for (int n = static_cast<int>(random() % 7) - 3; n != 0; n += n < 0 ? 1 : -1) {
      x = std::nextafter(x, n < 0 ? -HUGE_VAL : HUGE_VAL);
    }
    return x;
  };
  switch (random() % 6) {
    case 0:
      return RandomBits(random);
    case 1:
      return unit(random) * (random() % 2 == 0 ? 10 : 1);
    case 2:
      return std::ldexp(unit(random), static_cast<int>(random() % 2100) - 1075);
    case 3: {
      constexpr double kSteps[] = {1.5707963267948966, 1.0 / 80, 0.5};
      const double k = static_cast<double>(static_cast<std::int64_t>(random() % 2001) - 1000);
      return units_off(k * kSteps[random() % 3]);
    }
    case 4:
      return units_off(std::floor(std::ldexp(std::fabs(unit(random)), 40)) * 1.5707963267948966);
    default:
      return units_off(1.0);
  }
}

}  // namespace ombrix::testing
