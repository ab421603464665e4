#include "logic/complex/exact_decimal.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "logic/complex/bits.h"
#include "logic/complex/real_chars.h"
#include "tests/support/random_doubles.h"
#include "tests/support/real_text_check.h"

namespace ombrix {
namespace {

std::string Scientific(double x, int precision) {
  char buffer[64];
  const auto r = ExactScientificChars(buffer, buffer + sizeof buffer, x, precision);
  return std::string(buffer, r.ptr);
}

std::string Shortest(double x) {
  char buffer[64];
  const auto r = ExactShortestChars(buffer, buffer + sizeof buffer, x);
  return std::string(buffer, r.ptr);
}

// What reading gives: the bits, or "range"/"invalid", and how much was read.
std::string Parsed(const std::string& text, bool library = false) {
  double value = 0.25;
  const char* last = text.data() + text.size();
  const std::from_chars_result r =
      library ? RealFromChars(text.data(), last, value) : ExactFromChars(text.data(), last, value);
  const std::string used = " @" + std::to_string(r.ptr - text.data());
  if (r.ec == std::errc::result_out_of_range) return "range" + used;
  if (r.ec != std::errc()) return "invalid" + used;
  char hex[24];
  std::snprintf(hex, sizeof hex, "%016llx",
                static_cast<unsigned long long>(BitCast<std::uint64_t>(value)));
  return hex + used;
}

struct WriteRow {
  const char* name;
  double value;
  int precision;  // -1: shortest
  const char* text;
};

TEST(ExactDecimal, WritesAsTheLibraryDoes) {
  const WriteRow rows[] = {
      {"one", 1.0, 17, "1.00000000000000000e+00"},
      {"a tenth", 0.1, 17, "1.00000000000000006e-01"},
      {"the least double", 5e-324, 17, "4.94065645841246544e-324"},
      {"the largest double", DBL_MAX, 17, "1.79769313486231571e+308"},
      {"a tie goes to the even digit", 2.5, 0, "2e+00"},
      {"a tie goes up to the even digit", 3.5, 0, "4e+00"},
      {"a tie carries into a new digit", 9.5, 0, "1e+01"},
      {"a tie in the last place", 1.125, 2, "1.12e+00"},
      {"zero", 0.0, 3, "0.000e+00"},
      {"shortest tenth", 0.1, -1, "0.1"},
      {"shortest 1E16 as exponent", 1e16, -1, "1e+16"},
      {"shortest 0.001 fixed", 0.001, -1, "0.001"},
      {"shortest 0.0001 as exponent", 0.0001, -1, "1e-04"},
      {"shortest the least double", 5e-324, -1, "5e-324"},
      {"shortest the largest double", DBL_MAX, -1, "1.7976931348623157e+308"},
      {"shortest 17 digits", 12345678901234567.0, -1, "12345678901234568"},
      {"shortest whole with all digits", 1121435268358571819008.0, -1, "1121435268358571819008"},
      {"shortest negative zero", -0.0, -1, "-0"},
      {"shortest below a power of two", 9007199254740991.0, -1, "9007199254740991"},
      {"shortest a power of two", 0x1p-1022, -1, "2.2250738585072014e-308"},
  };
  for (const WriteRow& row : rows) {
    EXPECT_EQ(row.precision < 0 ? Shortest(row.value) : Scientific(row.value, row.precision),
              row.text)
        << row.name;
  }
}

struct ReadRow {
  const char* name;
  std::string text;
  const char* reading;
};

TEST(ExactDecimal, ReadsAsTheLibraryDoes) {
  const std::string ones(800, '1');
  const ReadRow rows[] = {
      {"a subnormal", "1e-320", "00000000000007e8 @6"},
      {"above half the least double", "2.4703282292062328e-324", "0000000000000001 @23"},
      {"below half the least double", "2.4703282292062327e-324", "range @23"},
      {"far below", "1e-400", "range @6"},
      {"the largest double", "1.7976931348623158e308", "7fefffffffffffff @22"},
      {"beyond the largest", "1.7976931348623159e308", "range @22"},
      {"a huge exponent", "1e99999999999999999999", "range @22"},
      {"zero with a huge exponent", "0e999999999999", "0000000000000000 @14"},
      {"negative zero", "-0", "8000000000000000 @2"},
      {"no integer digits", ".5", "3fe0000000000000 @2"},
      {"an exponent without digits", "1e+", "3ff0000000000000 @1"},
      {"a plus sign", "+1", "invalid @0"},
      {"a blank", " 1", "invalid @0"},
      {"infinity is no number here", "inf", "invalid @0"},
      {"a tie to the even below", "9007199254740993", "4340000000000000 @16"},
      {"a tie to the even above", "9007199254740995", "4340000000000002 @16"},
      {"a tie broken by a far digit", "9007199254740993." + std::string(900, '0') + "1",
       "4340000000000001 @918"},
      {"800 digits", "0." + ones, "3fbc71c71c71c71c @802"},
  };
  for (const ReadRow& row : rows) EXPECT_EQ(Parsed(row.text), row.reading) << row.name;
}

// Seeded random doubles and texts against the standard library's own conversions, where
// it has them; many more in an optimised build.
#ifdef NDEBUG
constexpr int kRandomCount = 200000;
#else
constexpr int kRandomCount = 10000;
#endif

TEST(ExactDecimal, WritesAsTheStandardLibraryOnRandomValues) {
  if (!kLibraryRealChars) GTEST_SKIP() << "the library has no floating-point to_chars";
  std::mt19937_64 random(20240611);
  std::uniform_real_distribution<double> decade(-30.0, 30.0);
  for (int n = 0; n < kRandomCount / 2 && !::testing::Test::HasFailure(); ++n) {
    for (const double x : {testing::RandomBits(random), std::pow(10.0, decade(random))}) {
      char buffer[64];
      for (const int precision : {17, 16, 14, 0}) {
        const auto r = ScientificChars(buffer, buffer + sizeof buffer, x, precision);
        ASSERT_EQ(Scientific(x, precision), std::string(buffer, r.ptr)) << precision;
      }
      const auto r = ShortestChars(buffer, buffer + sizeof buffer, x);
      ASSERT_EQ(Shortest(x), std::string(buffer, r.ptr));
    }
  }
}

// The texts of the number-text tests (any digits, exponents, stray characters), the
// midpoints between large doubles, and written doubles a unit off in a last digit.
std::string RandomNumberText(std::mt19937_64& random, std::mt19937& texts) {
  switch (random() % 4) {
    case 0: {  // between two doubles above 2^53: an odd multiple of half a step
      const auto shift = static_cast<int>(random() % 10);
      const std::uint64_t m = (std::uint64_t{1} << 52) | (random() >> 12);
      return std::to_string(((2 * m + 1) << shift) >> 1);
    }
    case 1: {
      char buffer[64];
      const auto precision = 15 + static_cast<int>(random() % 8);
      const auto r =
          ScientificChars(buffer, buffer + sizeof buffer, testing::RandomBits(random), precision);
      std::string written(buffer, r.ptr);
      char& digit = written[written.find('e') - 1];
      if (random() % 2 == 0 && digit < '9') ++digit;
      return written;
    }
    default:
      return testing::RandomRealText(texts, '.');
  }
}

TEST(ExactDecimal, ReadsAsTheStandardLibraryOnRandomTexts) {
  if (!kLibraryRealChars) GTEST_SKIP() << "the library has no floating-point from_chars";
  std::mt19937_64 random(77031);
  std::mt19937 texts(77032);
  for (int n = 0; n < kRandomCount && !::testing::Test::HasFailure(); ++n) {
    const std::string text = RandomNumberText(random, texts);
    const std::string library = Parsed(text, true);
    // Infinities and NaN are no numbers here, as no caller takes them.
    if (library.starts_with("7ff") || library.starts_with("fff")) continue;
    ASSERT_EQ(Parsed(text), library) << text;
  }
}

}  // namespace
}  // namespace ombrix
