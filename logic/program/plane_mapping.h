// The mapping between plane coordinates and pixels, computed in the x87 extended format:
// with the hardware's long double where it is that format, else with ExtendedFloat, which
// gives the same bits, so that every platform draws the same pixels. A template, so that
// tests can hold the two against each other where both exist.
#pragma once

#include <cfloat>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "logic/complex/fault.h"
#include "logic/program/extended_float.h"

namespace ombrix {

inline std::int64_t TowardZero(long double x) { return static_cast<std::int64_t>(x); }
inline std::int64_t TowardZero(const ExtendedFloat& x) { return x.TowardZero(); }
inline double Rounded(long double x) { return static_cast<double>(x); }
inline double Rounded(const ExtendedFloat& x) { return x.ToDouble(); }

template <class Wide>
struct PlaneMapping {
  // A divisor of 0 faults as the floating-point unit would.
  static Wide Divided(const Wide& a, const Wide& b) {
    if (b == Wide(0.0)) throw Fault(a == Wide(0.0) ? kFaultInvalidOperation : kFaultDivisionByZero);
    return a / b;
  }

  // Truncation toward zero to 32 bits; values beyond the range saturate.
  static std::int32_t Truncate(const Wide& x) {
    if (x != x) return 0;  // not a number
    if (x >= Wide(2147483647.0)) return std::numeric_limits<std::int32_t>::max();
    if (x <= Wide(-2147483648.0)) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(TowardZero(x));
  }

  // Storing a value that no double can hold is an overflow.
  static double ToDouble(const Wide& x) {
    if (x > Wide(DBL_MAX) || x < Wide(-DBL_MAX)) throw Fault(kFaultOverflow);
    return Rounded(x);
  }

  // truncate(distance / span * size + 0.5)
  static std::int32_t ToPixels(const Wide& distance, const Wide& span, int size) {
    return Truncate(Divided(distance, span) * Wide(size) + Wide(0.5));
  }
  // truncate((to - from) / (high - low) * size + 0.5)
  static std::int32_t ToPixel(double from, double to, double low, double high, int size) {
    return ToPixels(Wide(to) - Wide(from), Wide(high) - Wide(low), size);
  }
  // truncate(length / (high - low) * size + 0.5)
  static std::int32_t LengthToPixels(double length, double low, double high, int size) {
    return ToPixels(Wide(length), Wide(high) - Wide(low), size);
  }
  // low + (high - low) * pixel / size
  static double FromLeft(double low, double high, double pixel, int size) {
    return ToDouble(Wide(low) + Divided((Wide(high) - Wide(low)) * Wide(pixel), Wide(size)));
  }
  // low + (1 - pixel / size) * (high - low)
  static double FromTop(double low, double high, double pixel, int size) {
    return ToDouble(Wide(low) +
                    (Wide(1.0) - Divided(Wide(pixel), Wide(size))) * (Wide(high) - Wide(low)));
  }
};

// Whether long double is the x87 extended format itself.
inline constexpr bool kLongDoubleIsExtended = LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384;

// The mapping the drawing state uses.
using ExtendedMapping = std::conditional_t<kLongDoubleIsExtended, PlaneMapping<long double>,
                                           PlaneMapping<ExtendedFloat>>;

}  // namespace ombrix
