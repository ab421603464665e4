#include "logic/program/plane_mapping.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "logic/complex/bits.h"
#include "tests/support/random_doubles.h"

namespace ombrix {
namespace {

using testing::RandomInteresting;

// The same value and sign (exact: long double is checked to be the x87 format).
bool Same(const ExtendedFloat& x, long double y) {
  const long double m = std::ldexp(static_cast<long double>(x.significand()), x.exponent() - 63);
  return (x.negative() ? -m : m) == y && x.negative() == std::signbit(y);
}

// The four mappings of one case, faults included, as one text.
template <class Mapping>
std::string Mapped(double low, double high, double v, double pixel, int size) {
  std::string out;
  for (int kind = 0; kind < 4; ++kind) {
    try {
      switch (kind) {
        case 0:
          out += std::to_string(Mapping::ToPixel(low, v, low, high, size));
          break;
        case 1:
          out += std::to_string(Mapping::LengthToPixels(v, low, high, size));
          break;
        case 2:
          out += std::to_string(BitCast<std::uint64_t>(Mapping::FromLeft(low, high, pixel, size)));
          break;
        default:
          out += std::to_string(BitCast<std::uint64_t>(Mapping::FromTop(low, high, pixel, size)));
          break;
      }
    } catch (const Fault& fault) {
      out += fault.what();
    }
    out += ' ';
  }
  return out;
}

#ifdef NDEBUG
constexpr int kRandomCount = 1000000;
#else
constexpr int kRandomCount = 20000;
#endif

TEST(ExtendedFloat, RoundsEveryOperationAsTheHardware) {
  if (!kLongDoubleIsExtended) GTEST_SKIP() << "long double is not the x87 extended format";
  std::mt19937_64 random(311);
  for (int n = 0; n < kRandomCount && !::testing::Test::HasFailure(); ++n) {
    const double a = RandomInteresting(random), b = RandomInteresting(random),
                 c = RandomInteresting(random);
    // Sums and differences of doubles, then products and quotients of those, as the
    // mapping forms them.
    const long double ld = static_cast<long double>(a) - b, le = static_cast<long double>(c) + a;
    const ExtendedFloat xd = ExtendedFloat(a) - ExtendedFloat(b);
    const ExtendedFloat xe = ExtendedFloat(c) + ExtendedFloat(a);
    ASSERT_TRUE(Same(xd, ld) && Same(xe, le)) << a << " " << b << " " << c;
    ASSERT_TRUE(Same(xd * xe, ld * le) && Same(xd + xe, ld + le)) << a << " " << b << " " << c;
    if (le != 0) {
      const long double lq = ld / le;
      const ExtendedFloat xq = xd / xe;
      ASSERT_TRUE(Same(xq, lq) &&
                  Same(xq * ExtendedFloat(400.0) + ExtendedFloat(0.5), lq * 400 + 0.5L))
          << a << " " << b << " " << c;
      if (std::fabs(lq) <= DBL_MAX) {
        ASSERT_EQ(BitCast<std::uint64_t>(xq.ToDouble()),
                  BitCast<std::uint64_t>(static_cast<double>(lq)));
      }
    }
  }
}

// The six mappings on random scales and values, faults and saturation included.
TEST(PlaneMapping, PortableGivesTheHardwaresPixels) {
  if (!kLongDoubleIsExtended) GTEST_SKIP() << "long double is not the x87 extended format";
  std::mt19937_64 random(2718);
  for (int n = 0; n < kRandomCount && !::testing::Test::HasFailure(); ++n) {
    double low = RandomInteresting(random), high = RandomInteresting(random);
    if (random() % 4 != 0) {
      low = -5.0 + static_cast<double>(random() % 5);
      high = low + static_cast<double>(1 + random() % 10) / static_cast<double>(1 + random() % 4);
    }
    double v = random() % 2 == 0 ? RandomInteresting(random)
                                 : low + (high - low) * RandomInteresting(random);
    if (!std::isfinite(v)) v = high;  // the plane holds finite values only
    const int size = random() % 3 == 0 ? static_cast<int>(random() % 1000) : 400;
    const double pixel = static_cast<double>(static_cast<std::int64_t>(random() % 1200) - 400);
    ASSERT_EQ(Mapped<PlaneMapping<ExtendedFloat>>(low, high, v, pixel, size),
              Mapped<PlaneMapping<long double>>(low, high, v, pixel, size))
        << "low " << low << " high " << high << " v " << v << " size " << size << " pixel "
        << pixel;
  }
}

}  // namespace
}  // namespace ombrix
