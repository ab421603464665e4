#include <gtest/gtest.h>

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <string>

#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"
#include "tests/support/real_text_check.h"
#include "tests/support/round_trip_check.h"
#include "tests/support/separator.h"

namespace ombrix {
namespace {

using testing::BitsOf;
using testing::ExpectRoundTripAgrees;
using testing::Reading;
using testing::ReadingOf;
using testing::SeparatorScope;

struct RealRow {
  const char* name;
  double value;
  const char* comma;
  const char* point;  // nullptr: the same as under ','
};

class RealToTextTest : public ::testing::TestWithParam<RealRow> {};

TEST_P(RealToTextTest, UnderBothSeparators) {
  const RealRow& row = GetParam();
  {
    SeparatorScope sep(',');
    EXPECT_EQ(RealToText(row.value), row.comma);
  }
  {
    SeparatorScope sep('.');
    std::string expected = row.point ? row.point : row.comma;
    EXPECT_EQ(RealToText(row.value), expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RealToTextTest,
    ::testing::Values(
        RealRow{"Three", 3, "3", nullptr}, RealRow{"MinusTwoPointFive", -2.5, "-2,5", "-2.5"},
        RealRow{"PointOnePlusPointTwo", 0.1 + 0.2, "0,3", "0.3"},
        RealRow{"OneThird", 1.0 / 3, "0,333333333333333", "0.333333333333333"},
        RealRow{"TwoThirds", 2.0 / 3, "0,666666666666667", "0.666666666666667"},
        RealRow{"FiveHundredths", 0.05, "0,05", "0.05"},
        RealRow{"OneTenThousandth", 0.0001, "0,0001", "0.0001"},
        RealRow{"SmallFixed", 0.000123, "0,000123", "0.000123"},
        RealRow{"OneHundredThousandth", 0.00001, "1E-5", nullptr},
        RealRow{"OnePointFiveEMinus7", 1.5e-7, "1,5E-7", "1.5E-7"},
        RealRow{"Fifteen100", 1500, "1500", nullptr},
        RealRow{"FifteenDigits", 123456789012345.0, "123456789012345", nullptr},
        RealRow{"TenToFifteen", 1e15, "1E15", nullptr},
        RealRow{"NineteenDigits", 1234567890123456789.0, "1,23456789012346E18",
                "1.23456789012346E18"},
        RealRow{"TenToHundredOne", 1e101, "1E101", nullptr},
        RealRow{"NegativeZero", -0.0, "0", nullptr},
        // The 16th digit alone decides, after an 18-digit round.
        RealRow{"SixteenthDigitFour", 1.0000000000000049, "1", nullptr},
        RealRow{"SixteenthDigitFive", 1.0000000000000051, "1,00000000000001", "1.00000000000001"},
        RealRow{"CarryToTen", 9.99999999999999999, "10", nullptr},
        RealRow{"CarryFifteenNines", 9.999999999999996, "10", nullptr},
        RealRow{"FourteenNinesThenFour", 9.999999999999995, "9,99999999999999", "9.99999999999999"},
        RealRow{"JustBelowTenThousandth", 0.00009999999999999999, "0,0001", "0.0001"},
        RealRow{"AlmostTenToFifteen", 999999999999999.4, "999999999999999", nullptr},
        RealRow{"CarryIntoTenToFifteen", 999999999999999.6, "1E15", nullptr},
        RealRow{"PiDigits", 3.141592653589793, "3,14159265358979", "3.14159265358979"},
        RealRow{"E", 2.718281828459045, "2,71828182845905", "2.71828182845905"},
        RealRow{"SmallScientific", 1.2345e-10, "1,2345E-10", "1.2345E-10"},
        RealRow{"Subnormal", 5e-324, "4,94065645841247E-324", "4.94065645841247E-324"},
        RealRow{"Largest", std::numeric_limits<double>::max(), "1,79769313486232E308",
                "1.79769313486232E308"},
        RealRow{"PaddedInteger", 1e14, "100000000000000", nullptr},
        RealRow{"Infinity", std::numeric_limits<double>::infinity(), "INF", nullptr},
        RealRow{"MinusInfinity", -std::numeric_limits<double>::infinity(), "-INF", nullptr},
        RealRow{"NotANumber", std::numeric_limits<double>::quiet_NaN(), "NAN", nullptr}),
    [](const auto& row) { return std::string(row.param.name); });

struct DisplayRow {
  const char* name;
  TComplex z;
  const char* comma;
  const char* point;
};

class ComplexToTextTest : public ::testing::TestWithParam<DisplayRow> {};

TEST_P(ComplexToTextTest, UnderBothSeparators) {
  const DisplayRow& row = GetParam();
  {
    SeparatorScope sep(',');
    EXPECT_EQ(ComplexToText(row.z), row.comma);
  }
  {
    SeparatorScope sep('.');
    EXPECT_EQ(ComplexToText(row.z), row.point ? row.point : row.comma);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ComplexToTextTest,
    ::testing::Values(DisplayRow{"Zero", {0, 0}, "0", nullptr},
                      DisplayRow{"I", {0, 1}, "i", nullptr},
                      DisplayRow{"MinusI", {0, -1}, "-i", nullptr},
                      DisplayRow{"TwoI", {0, 2}, "2*i", nullptr},
                      DisplayRow{"MinusTwoPointFiveI", {0, -2.5}, "-2,5*i", "-2.5*i"},
                      DisplayRow{"MinusThree", {-3, 0}, "-3", nullptr},
                      DisplayRow{"ThreePlusI", {3, 1}, "3+i", nullptr},
                      DisplayRow{"ThreeMinusI", {3, -1}, "3-i", nullptr},
                      DisplayRow{"ThreePlusFourI", {3, 4}, "3+4*i", nullptr},
                      DisplayRow{"ThreeMinusFourI", {3, -4}, "3-4*i", nullptr},
                      DisplayRow{"SmallImaginary", {0.5, 0.00001}, "0,5+1E-5*i", "0.5+1E-5*i"},
                      DisplayRow{"LargeReal", {1e20, -2}, "1E20-2*i", nullptr},
                      DisplayRow{"AlmostOneCoefficient", {3, 0.9999999999999999}, "3+1*i", nullptr},
                      DisplayRow{"AlmostI", {0, 0.9999999999999999}, "1*i", nullptr}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(TextToReal, ReadsNumbers) {
  SeparatorScope sep(',');
  EXPECT_EQ(TextToReal("  -3,5  "), -3.5);
  EXPECT_EQ(TextToReal("+2"), 2);
  EXPECT_EQ(TextToReal("1e3"), 1000);
  EXPECT_EQ(TextToReal("1E-5"), 0.00001);
  EXPECT_EQ(TextToReal(","), 0);
  EXPECT_EQ(TextToReal("1E"), 1);
  EXPECT_EQ(TextToReal("1e+"), 1);
  EXPECT_EQ(TextToReal("1E-400"), 0);
  EXPECT_EQ(TextToReal("0,30000000000000004"), 0.30000000000000004);
  EXPECT_EQ(TextToReal("0,3"), 0.3);
  EXPECT_EQ(TextToReal("2,71828182845905"), 2.71828182845905);
  EXPECT_EQ(TextToReal("000123,4500"), 123.45);
  EXPECT_EQ(TextToReal(",5"), 0.5);
  EXPECT_EQ(TextToReal("5,"), 5);
  EXPECT_EQ(TextToReal("1E0308"), 1e308);
}

TEST(TextToReal, UnderPointSeparator) {
  SeparatorScope sep('.');
  EXPECT_EQ(TextToReal("3.5"), 3.5);
  EXPECT_THROW(TextToReal("3,5"), Fault);
}

struct BadRow {
  const char* name;
  const char* text;
  const char* message;
};

class TextToRealFailure : public ::testing::TestWithParam<BadRow> {};

TEST_P(TextToRealFailure, FaultsWithPlatformMessage) {
  SeparatorScope sep(',');
  try {
    TextToReal(GetParam().text);
    ADD_FAILURE() << "no fault";
  } catch (const Fault& f) {
    EXPECT_EQ(std::string(f.what()), GetParam().message);
  }
  // The reading without a fault names the same failure.
  double value = 0.0;
  const bool overflow = std::string(GetParam().message) == "Gleitkomma\374berlauf";
  EXPECT_EQ(ReadReal(GetParam().text, value), overflow ? RealRead::kOverflow : RealRead::kInvalid);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TextToRealFailure,
    ::testing::Values(
        BadRow{"ExponentReachesFiveHundred", "1E5000",
               "'1E5000' ist kein g\xFCltiger Gleitkommawert"},
        BadRow{"PointUnderComma", "3.5", "'3.5' ist kein g\xFCltiger Gleitkommawert"},
        BadRow{"Empty", "", "'' ist kein g\xFCltiger Gleitkommawert"},
        BadRow{"Blanks", "   ", "'   ' ist kein g\xFCltiger Gleitkommawert"},
        BadRow{"TwoExponents", "1e2e3", "'1e2e3' ist kein g\xFCltiger Gleitkommawert"},
        BadRow{"DoubleE", "1ee2", "'1ee2' ist kein g\xFCltiger Gleitkommawert"},
        BadRow{"SignOnly", "-", "'-' ist kein g\xFCltiger Gleitkommawert"},
        BadRow{"InnerBlank", "1 2", "'1 2' ist kein g\xFCltiger Gleitkommawert"},
        BadRow{"BeyondExtended", "1E4999", "'1E4999' ist kein g\xFCltiger Gleitkommawert"},
        BadRow{"JustAboveExtendedRange", "1,2E4932",
               "'1,2E4932' ist kein g\xFCltiger Gleitkommawert"},
        BadRow{"JustBelowExtendedRange", "1,1E4932", "Gleitkomma\374berlauf"},
        BadRow{"Overflow", "1E400", "Gleitkomma\374berlauf"},
        BadRow{"JustAboveDoubleRange", "1,8E308", "Gleitkomma\374berlauf"}),
    [](const auto& row) { return std::string(row.param.name); });

// Texts read straight from their bytes (no separator, or '.'), through a copy of their
// digits (','), and rounding, range and sign cases where the two could part.
struct ReadRow {
  const char* name;
  char separator;
  const char* text;
  double value;
  const char* fault;  // nullptr: `value`, bit for bit
};

class TextToRealReading : public ::testing::TestWithParam<ReadRow> {};

constexpr const char* kOverflow = "Gleitkomma\374berlauf";

TEST_P(TextToRealReading, ValueBitsOrFault) {
  const ReadRow& row = GetParam();
  SeparatorScope sep(row.separator);
  const Reading expected = row.fault != nullptr ? Reading{0, row.fault} : BitsOf(row.value);
  EXPECT_EQ(ReadingOf([&] { return TextToReal(row.text); }), expected) << row.text;
  double value = 0.0;
  const RealRead read = ReadReal(row.text, value);
  if (row.fault == nullptr) {
    EXPECT_EQ(read, RealRead::kNumber) << row.text;
    EXPECT_EQ(BitsOf(value), expected) << row.text;
  } else {
    EXPECT_EQ(read, std::string(row.fault) == kOverflow ? RealRead::kOverflow : RealRead::kInvalid)
        << row.text;
  }
  // The rows hold for the independent reading too, which the random texts rely on.
  if (const std::optional<Reading> independent =
          testing::IndependentReading(row.text, row.separator)) {
    EXPECT_EQ(*independent, expected) << row.text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TextToRealReading,
    ::testing::Values(
        ReadRow{"OnlyTheSeparator", ',', ",", 0, nullptr},
        ReadRow{"SignAndSeparator", ',', "-,", -0.0, nullptr},
        ReadRow{"ExponentOfFourThousandNineHundredNinetyNine", '.', "0e-4999", 0, nullptr},
        ReadRow{"ExponentOfFiveThousandIsNoNumber", '.', "0e5000", 0,
                "'0e5000' ist kein g\xFCltiger Gleitkommawert"},
        ReadRow{"ExponentWithoutMantissa", ',', "e5", 0,
                "'e5' ist kein g\xFCltiger Gleitkommawert"},
        ReadRow{"TabBeforeTheNumber", ',', "\t1", 0, "'\t1' ist kein g\xFCltiger Gleitkommawert"},
        ReadRow{"TheOtherSeparator", ',', "1.5", 0, "'1.5' ist kein g\xFCltiger Gleitkommawert"},
        ReadRow{"TwoSeparators", '.', "1.5.", 0, "'1.5.' ist kein g\xFCltiger Gleitkommawert"},
        ReadRow{"TwoSigns", '.', "+-1", 0, "'+-1' ist kein g\xFCltiger Gleitkommawert"},
        ReadRow{"InfinityIsNoNumber", '.', "inf", 0, "'inf' ist kein g\xFCltiger Gleitkommawert"},
        ReadRow{"HexIsNoNumber", '.', "0x1p3", 0, "'0x1p3' ist kein g\xFCltiger Gleitkommawert"},
        ReadRow{"PointWithExponent", '.', "1.5e3", 1500, nullptr},
        ReadRow{"PointWithoutFractionDigits", '.', "5.", 5, nullptr},
        ReadRow{"PointWithoutFractionDigitsThenExponent", '.', "5.e3", 5000, nullptr},
        ReadRow{"PointWithoutIntegerDigits", '.', ".5", 0.5, nullptr},
        ReadRow{"PointLeadingAndTrailingZeros", '.', "000123.4500", 123.45, nullptr},
        ReadRow{"CommaTextWithoutSeparator", ',', "  -125e-2  ", -1.25, nullptr},
        ReadRow{"CommaWithoutFractionDigitsThenExponent", ',', "5,E3", 5000, nullptr},
        ReadRow{"ExponentSignWithoutDigits", '.', "2E-", 2, nullptr},
        ReadRow{"ExponentWithManyLeadingZeros", ',',
                "1e00000000000000000000000000000000000000000000000005", 1e5, nullptr},
        ReadRow{"HalfwayRoundsToEven", ',', "9007199254740993", 9007199254740992.0, nullptr},
        ReadRow{"PastHalfwayInTheFortiethDigitComma", ',',
                "9007199254740993,000000000000000000000001", 9007199254740994.0, nullptr},
        ReadRow{"PastHalfwayInTheFortiethDigitPoint", '.',
                "9007199254740993.000000000000000000000001", 9007199254740994.0, nullptr},
        ReadRow{"SmallestSubnormal", ',', "4,9406564584124654E-324", 4.9406564584124654e-324,
                nullptr},
        ReadRow{"BelowHalfTheSmallestSubnormal", '.', "2E-324", 0, nullptr},
        ReadRow{"NegativeUnderflowKeepsTheSign", ',', "-1E-330", -0.0, nullptr},
        ReadRow{"NegativeZero", ',', "-0,000", -0.0, nullptr},
        ReadRow{"NegativeFarBelowTheRange", '.', "-1E-400", -0.0, nullptr},
        ReadRow{"LargestDouble", ',', "1,7976931348623157E308", 1.7976931348623157e308, nullptr},
        ReadRow{"RoundsAboveTheLargestDouble", '.', "1.7976931348623159E308", 0, kOverflow},
        ReadRow{"TopOfTheExtendedRange", ',', "1,18973149535723176502E4932", 0, kOverflow},
        ReadRow{"TopOfTheExtendedRangeTrailingZeros", '.', "1.18973149535723176502000E4932", 0,
                kOverflow},
        ReadRow{"OneDigitAboveTheExtendedRange", ',', "1,189731495357231765021E4932", 0,
                "'1,189731495357231765021E4932' ist kein g\xFCltiger Gleitkommawert"},
        ReadRow{"IntegerDigitsAboveTheExtendedRange", '.', "11897314953572317650213E4910", 0,
                "'11897314953572317650213E4910' ist kein g\xFCltiger Gleitkommawert"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(TextToReal, VeryManyDigits) {
  // More digits than the stack holds: the value is still read exactly.
  for (const char sep : {',', '.'}) {
    SeparatorScope scope(sep);
    const std::string small = std::string("0") + sep + std::string(300, '0') + "25";
    EXPECT_EQ(ReadingOf([&] { return TextToReal(small); }), BitsOf(2.5e-301)) << sep;
    const std::string big = "1" + std::string(250, '0') + sep + std::string(100, '0') + "1";
    EXPECT_EQ(ReadingOf([&] { return TextToReal(big); }), BitsOf(1e250)) << sep;
  }
}

TEST(TextToReal, AgreesWithTheCLibraryOnRandomTexts) {
  std::mt19937 random(1109);
  int values = 0;
  int faults = 0;
  for (const char sep : {',', '.'}) {
    SeparatorScope scope(sep);
    for (int k = 0; k < 25000; ++k) {
      const std::string text = testing::RandomRealText(random, sep);
      const std::optional<Reading> expected = testing::IndependentReading(text, sep);
      if (!expected) continue;
      ASSERT_EQ(ReadingOf([&] { return TextToReal(text); }), *expected)
          << "'" << text << "' under '" << sep << "'";
      ++(expected->fault.empty() ? values : faults);
    }
  }
  // Both outcomes are well represented.
  EXPECT_GT(values, 12500);
  EXPECT_GT(faults, 8000);
}

TEST(RealToText, RoundTripsFifteenDigits) {
  // Every text RealToText writes reads back, and writing it again gives the same text.
  SeparatorScope sep(',');
  const double values[] = {1.0 / 3,   2.0 / 3, 1e-5, 123456.789, 9.87654321e123,
                           -4.2e-200, 0.1,     1e15, 7e-300,     5e-324};
  for (double v : values) {
    const std::string text = RealToText(v);
    EXPECT_EQ(RealToText(TextToReal(text)), text) << text;
  }
}

// AppendRealText keeps what `out` holds and writes the separator passed in; RealToText is
// it under the current one.
TEST(AppendRealText, AppendsUnderTheSeparatorPassedIn) {
  struct Row {
    const char* name;
    double value;
    char separator;
    const char* text;
  };
  const Row rows[] = {
      {"Whole", -1500, '.', "x=-1500"},
      {"FractionUnderPoint", -2.5, '.', "x=-2.5"},
      {"FractionUnderComma", 0.000123, ',', "x=0,000123"},
      {"ScientificUnderPoint", 1.2345e-10, '.', "x=1.2345E-10"},
      {"SixteenthDigitCarries", 999999999999999.6, '.', "x=1E15"},
      {"NotANumber", std::numeric_limits<double>::quiet_NaN(), ',', "x=NAN"},
  };
  for (const char current : {',', '.'}) {
    SeparatorScope sep(current);
    for (const Row& row : rows) {
      std::string out = "x=";
      AppendRealText(out, row.value, row.separator);
      EXPECT_EQ(out, row.text) << row.name << " under " << current;
      if (row.separator == current) {
        EXPECT_EQ("x=" + RealToText(row.value), out) << row.name;
      }
    }
  }
}

TEST(RealToText, TheLargestDoubleDoesNotReadBack) {
  // Rounded to 15 digits it lies above the double range: reading it overflows.
  SeparatorScope sep(',');
  EXPECT_THROW(TextToReal(RealToText(std::numeric_limits<double>::max())), Fault);
}

TEST(RoundTripReal, TakesThePathTheBuildAskedFor) {
#if defined(OMBRIX_PORTABLE_ROUND_TRIP)
  EXPECT_EQ(RoundTripPath(), RoundTripKind::kPortable);
#elif defined(__SIZEOF_INT128__) && LDBL_MANT_DIG == 64
  EXPECT_EQ(RoundTripPath(), RoundTripKind::kQuick);
#elif defined(__SIZEOF_INT128__)
  EXPECT_EQ(RoundTripPath(), RoundTripKind::kWide);
#elif LDBL_MANT_DIG == 64
  EXPECT_EQ(RoundTripPath(), RoundTripKind::kExtended);
#else
  EXPECT_EQ(RoundTripPath(), RoundTripKind::kPortable);
#endif
}

// A value given by its text (read by the C++ library, not by TextToReal), moved by a
// number of units in the last place.
struct RoundTripRow {
  const char* name;
  const char* text;
  int ulps;
};

double RowValue(const RoundTripRow& row) {
  double x = 0;
  const char* end = row.text + std::strlen(row.text);
  EXPECT_EQ(RealFromChars(row.text, end, x).ptr, end) << row.text;
  for (int k = 0; k < row.ulps; ++k) x = std::nextafter(x, HUGE_VAL);
  for (int k = 0; k > row.ulps; --k) x = std::nextafter(x, -HUGE_VAL);
  return x;
}

class RoundTripRealTest : public ::testing::TestWithParam<RoundTripRow> {};

TEST_P(RoundTripRealTest, GivesTheTextsBitsUnderBothSeparators) {
  const double x = RowValue(GetParam());
  for (const char separator : {',', '.'}) {
    SeparatorScope sep(separator);
    ExpectRoundTripAgrees(x);
    ExpectRoundTripAgrees(-x);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RoundTripRealTest,
    ::testing::Values(
        RoundTripRow{"TenToMinusEight", "1e-8", 0},
        RoundTripRow{"BelowTenToMinusEight", "1e-8", -1},
        RoundTripRow{"AboveTenToMinusEight", "1e-8", 1},
        RoundTripRow{"BelowTenToMinusFour", "1e-4", -1},
        RoundTripRow{"AboveTenToMinusFour", "1e-4", 1}, RoundTripRow{"BelowOneTenth", "0.1", -1},
        RoundTripRow{"OneTenth", "0.1", 0}, RoundTripRow{"BelowOne", "1", -1},
        RoundTripRow{"AboveOne", "1", 1}, RoundTripRow{"BelowTen", "10", -1},
        RoundTripRow{"AboveTen", "10", 1}, RoundTripRow{"BelowTenToFourteen", "1e14", -1},
        RoundTripRow{"AboveTenToFourteen", "1e14", 1},
        RoundTripRow{"ThreeBelowTenToFifteen", "1e15", -3},
        RoundTripRow{"OneBelowTenToFifteen", "1e15", -1}, RoundTripRow{"TenToFifteen", "1e15", 0},
        RoundTripRow{"OneAboveTenToFifteen", "1e15", 1},
        RoundTripRow{"ThreeAboveTenToFifteen", "1e15", 3},
        RoundTripRow{"BelowTenToSixteen", "1e16", -1}, RoundTripRow{"AboveTenToSixteen", "1e16", 1},
        RoundTripRow{"BelowTenToTwentyTwo", "1e22", -1},
        RoundTripRow{"AboveTenToTwentyThree", "1e23", 1},
        RoundTripRow{"SixteenthDigitFiveBelow", "1.234567890123455", -1},
        RoundTripRow{"SixteenthDigitFive", "1.234567890123455", 0},
        RoundTripRow{"SixteenthDigitFiveAbove", "1.234567890123455", 1},
        RoundTripRow{"EighteenDigitsTieBelow", "0.123456789012344950", -1},
        RoundTripRow{"EighteenDigitsTie", "0.123456789012344950", 0},
        RoundTripRow{"EighteenDigitsTieAbove", "0.123456789012344950", 1},
        RoundTripRow{"JustBelowTheStep", "7.77777777777777449999", 0},
        RoundTripRow{"CarryOutOfTheFirstDigit", "9.999999999999995", 0},
        RoundTripRow{"CarryJustMissed", "9.999999999999994", 0},
        RoundTripRow{"CarryAtTheFractionsEnd", "99999999999999.95", 0},
        RoundTripRow{"LargestFractionBelowTenToFifteen", "999999999999999.875", 0},
        RoundTripRow{"HalfBelowTenToFifteen", "999999999999999.5", 0},
        RoundTripRow{"SmallestSubnormal", "4.9406564584124654e-324", 0},
        RoundTripRow{"LargestSubnormal", "2.2250738585072009e-308", 0},
        RoundTripRow{"SmallestNormal", "2.2250738585072014e-308", 0},
        RoundTripRow{"BelowTenToMinusThreeHundred", "1e-300", -1},
        RoundTripRow{"TenToMinusThreeHundred", "1e-300", 0},
        RoundTripRow{"AboveTenToMinusThreeHundred", "1e-300", 1},
        RoundTripRow{"BelowTenToThreeHundred", "1e300", -1},
        RoundTripRow{"TenToThreeHundred", "1e300", 0},
        RoundTripRow{"AboveTenToThreeHundred", "1e300", 1},
        RoundTripRow{"FifteenDigits", "0.123456789012345", 0},
        RoundTripRow{"SixteenDigits", "0.1234567890123456", 0},
        RoundTripRow{"SeventeenDigits", "0.12345678901234567", 0},
        RoundTripRow{"SixteenDigitsLarge", "123456789012345.6", 0},
        RoundTripRow{"SeventeenDigitsSmall", "1.2345678901234567e-8", 0},
        RoundTripRow{"SixteenDigitsAboveTenToFifteen", "1234567890123456", 1}),
    [](const auto& row) { return std::string(row.param.name); });

// Seeded random values, many more in an optimised build: bit patterns across the whole
// range, magnitudes from 1E-9 to 1E17, and values a hair from a step of the 15-digit cut.
TEST(RoundTripReal, AgreesWithTheTextsOnRandomValues) {
#ifdef NDEBUG
  constexpr int kValues = 1000000;
#else
  constexpr int kValues = 60000;
#endif
  std::mt19937_64 random(151209);
  std::uniform_real_distribution<double> decade(-9.0, 17.0);
  std::uniform_int_distribution<std::int64_t> digits15(100000000000000, 999999999999999);
  std::uniform_int_distribution<int> scale(-2, 24);
  SeparatorScope sep(',');
  for (int n = 0; n < kValues && !::testing::Test::HasFailure(); ++n) {
    const std::uint64_t bits = random();
    double x;
    std::memcpy(&x, &bits, sizeof x);
    ExpectRoundTripAgrees(x);
    ExpectRoundTripAgrees(std::pow(10.0, decade(random)));
    // digits15 + 0.4995 (the step) times a power of ten, and its neighbours.
    char text[40];
    const auto end = std::to_chars(text, text + sizeof text, digits15(random)).ptr;
    const std::string step = std::string(text, end) + "4995e" + std::to_string(-scale(random) - 4);
    double y = 0;
    RealFromChars(step.data(), step.data() + step.size(), y);
    ExpectRoundTripAgrees(y);
    ExpectRoundTripAgrees(std::nextafter(y, 0.0));
    ExpectRoundTripAgrees(std::nextafter(y, HUGE_VAL));
  }
}

// The doubles of one binary exponent pass into the next decade at one significand, which
// the quick round trip looks up: the powers of ten and of two and their neighbours, over
// the exponents it covers and beyond both ends.
TEST(RoundTripReal, AgreesAtEveryDecadeAndBinaryEnd) {
  struct Row {
    const char* name;
    double (*at)(int);
    int from, to;
  };
  const Row rows[] = {
      {"powers of ten",
       [](int e) {
         return RowValue({"", ("1e" + std::to_string(e)).c_str(), 0});
       },
       -16, 18},
      {"powers of two", [](int e) { return std::ldexp(1.0, e); }, -56, 56},
  };
  SeparatorScope sep(',');
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    for (int e = row.from; e <= row.to; ++e) {
      double up = row.at(e);
      double down = up;
      // Sixteen digits and more on either side of the end.
      for (const double x : {up * 1.0000000000000123, up * 0.99999999999998765}) {
        ExpectRoundTripAgrees(x);
      }
      for (int ulp = 0; ulp < 4; ++ulp) {
        for (const double x : {up, down, -up, -down}) ExpectRoundTripAgrees(x);
        up = std::nextafter(up, HUGE_VAL);
        down = std::nextafter(down, 0.0);
      }
    }
  }
}

TEST(RemoveSpaces, OnlyCodeThirtyTwo) {
  EXPECT_EQ(RemoveSpaces("a b  c"), "abc");
  EXPECT_EQ(RemoveSpaces("   "), "");
  EXPECT_EQ(RemoveSpaces("a\tb"), "a\tb");
  EXPECT_EQ(RemoveSpaces(" x := 1 "), "x:=1");
}

}  // namespace
}  // namespace ombrix
