#include "logic/program/plane_mapping.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "logic/complex/bits.h"

namespace ombrix {
namespace {

// Sign, exponent and significand as the x87 format holds them, or the fault's message.
std::string Bits(const ExtendedFloat& x) {
  return (x.negative() ? "-" : "+") + std::to_string(x.exponent()) + " " +
         std::to_string(x.significand());
}

std::string Bits(long double x) {
  std::uint64_t significand = 0;
  std::uint16_t sign_exponent = 0;
  std::memcpy(&significand, &x, sizeof significand);
  std::memcpy(&sign_exponent, reinterpret_cast<const char*>(&x) + 8, sizeof sign_exponent);
  const int exponent = significand == 0 ? 0 : (sign_exponent & 0x7FFF) - 16383;
  return ((sign_exponent & 0x8000) != 0 ? "-" : "+") + std::to_string(exponent) + " " +
         std::to_string(significand);
}

template <class F>
std::string Outcome(F&& f) {
  try {
    return std::to_string(f());
  } catch (const Fault& fault) {
    return fault.what();
  }
}

// Doubles of every kind: bit patterns over the whole range, subnormals, values a few
// units from a pixel's edge on common scales, small integers and their halves.
double RandomDouble(std::mt19937_64& random) {
  switch (random() % 6) {
    case 0: {
      const auto x = BitCast<double>(random());
      return std::isfinite(x) ? x : 1.0;
    }
    case 1:
      return BitCast<double>(random() % 100000) * (random() % 2 == 0 ? 1 : -1);
    case 2: {
      double x = static_cast<double>(static_cast<std::int64_t>(random() % 801) - 400) / 80.0;
      for (int k = static_cast<int>(random() % 7) - 3; k != 0; k += k < 0 ? 1 : -1) {
        x = std::nextafter(x, k < 0 ? -HUGE_VAL : HUGE_VAL);
      }
      return x;
    }
    case 3:
      return static_cast<double>(static_cast<std::int64_t>(random() % 2001) - 1000) / 2.0;
    case 4:
      return std::ldexp(static_cast<double>(random() >> 11),
                        static_cast<int>(random() % 200) - 150);
    default:
      return std::uniform_real_distribution<double>(-10.0, 10.0)(random);
  }
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
    const double a = RandomDouble(random), b = RandomDouble(random), c = RandomDouble(random);
    // Sums and differences of doubles, then products and quotients of those, as the
    // mapping forms them.
    const long double ld = static_cast<long double>(a) - b, le = static_cast<long double>(c) + a;
    const ExtendedFloat xd = ExtendedFloat(a) - ExtendedFloat(b);
    const ExtendedFloat xe = ExtendedFloat(c) + ExtendedFloat(a);
    ASSERT_EQ(Bits(xd), Bits(ld)) << a << " - " << b;
    ASSERT_EQ(Bits(xe), Bits(le)) << c << " + " << a;
    ASSERT_EQ(Bits(xd * xe), Bits(ld * le)) << a << " " << b << " " << c;
    ASSERT_EQ(Bits(xd + xe), Bits(ld + le)) << a << " " << b << " " << c;
    if (le != 0) {
      const long double lq = ld / le;
      const ExtendedFloat xq = xd / xe;
      ASSERT_EQ(Bits(xq), Bits(lq)) << a << " " << b << " " << c;
      ASSERT_EQ(Bits(xq * ExtendedFloat(400.0) + ExtendedFloat(0.5)), Bits(lq * 400 + 0.5L));
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
  using Hardware = PlaneMapping<long double>;
  using Portable = PlaneMapping<ExtendedFloat>;
  std::mt19937_64 random(2718);
  for (int n = 0; n < kRandomCount && !::testing::Test::HasFailure(); ++n) {
    double low = RandomDouble(random), high = RandomDouble(random);
    if (random() % 4 != 0) {
      low = -5.0 + static_cast<double>(random() % 5);
      high = low + static_cast<double>(1 + random() % 10) / static_cast<double>(1 + random() % 4);
    }
    double v = random() % 2 == 0 ? RandomDouble(random) : low + (high - low) * RandomDouble(random);
    if (!std::isfinite(v)) v = high;  // the plane holds finite values only
    const int size = random() % 3 == 0 ? static_cast<int>(random() % 1000) : 400;
    const double pixel = static_cast<double>(static_cast<std::int64_t>(random() % 1200) - 400);
    const auto same = [&](const char* what, const std::function<std::string(bool)>& f) {
      ASSERT_EQ(f(false), f(true)) << what << " low " << low << " high " << high << " v " << v
                                   << " size " << size << " pixel " << pixel;
    };
    same("to pixel", [&](bool portable) {
      return Outcome([&] {
        return portable ? Portable::ToPixel(low, v, low, high, size)
                        : Hardware::ToPixel(low, v, low, high, size);
      });
    });
    same("length", [&](bool portable) {
      return Outcome([&] {
        return portable ? Portable::LengthToPixels(v, low, high, size)
                        : Hardware::LengthToPixels(v, low, high, size);
      });
    });
    same("from left", [&](bool portable) {
      return Outcome([&] {
        return BitCast<std::uint64_t>(portable ? Portable::FromLeft(low, high, pixel, size)
                                               : Hardware::FromLeft(low, high, pixel, size));
      });
    });
    same("from top", [&](bool portable) {
      return Outcome([&] {
        return BitCast<std::uint64_t>(portable ? Portable::FromTop(low, high, pixel, size)
                                               : Hardware::FromTop(low, high, pixel, size));
      });
    });
  }
}

}  // namespace
}  // namespace ombrix
