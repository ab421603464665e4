#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "logic/complex/bits.h"
#include "logic/complex/complex.h"
#include "logic/complex/fault.h"
#include "tests/support/interrupts.h"
#include "tests/support/recording.h"

namespace ombrix {
namespace {

using testing::RecordingMessageBoxes;

constexpr double kPi = 3.141592653589793;

void ExpectExact(TComplex actual, double re, double im) {
  EXPECT_EQ(actual.Re, re);
  EXPECT_EQ(actual.Im, im);
  EXPECT_FALSE(std::signbit(actual.Re) && actual.Re == 0) << "real part is -0";
  EXPECT_FALSE(std::signbit(actual.Im) && actual.Im == 0) << "imaginary part is -0";
}

void ExpectNear15(TComplex actual, double re, double im) {
  EXPECT_NEAR(actual.Re, re, 1e-14 * std::max(1.0, std::fabs(re)));
  EXPECT_NEAR(actual.Im, im, 1e-14 * std::max(1.0, std::fabs(im)));
}

TEST(MakeComplex, CutsSmallPartsToPositiveZero) {
  ExpectExact(MakeComplex(1E-14, 5), 0, 5);
  ExpectExact(MakeComplex(2E-14, -1E-15), 2E-14, 0);
  ExpectExact(MakeComplex(-1E-20, 0), 0, 0);
  ExpectExact(MakeComplex(std::nan(""), 3), 0, 3);
  EXPECT_EQ(ComplexFromReal(1E-20).Re, 1E-20);
}

TEST(ComplexArithmetic, Basics) {
  RecordingMessageBoxes boxes;
  ExpectExact(ComplexDiv({1, 1}, {1, -1}, boxes), 0, 1);
  ExpectExact(TComplex{1E-7, 0} * TComplex{1E-7, 0}, 0, 0);
  ExpectExact(TComplex{1, 2} + TComplex{3, -2}, 4, 0);
  ExpectExact(TComplex{0.1, 0} + TComplex{0.2, 0} - TComplex{0.3, 0}, 0, 0);
  ExpectExact(-TComplex{1, 0}, -1, 0);
  ExpectExact(2.0 * TComplex{1, 3}, 2, 6);
  ExpectExact(ComplexConj({3, 4}), 3, -4);
  EXPECT_EQ(ComplexAbs({3, 4}), 5);
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST(ComplexArithmetic, EqualityIsExact) {
  EXPECT_TRUE(MakeComplex(3, 1E-15) == 3.0);
  EXPECT_FALSE((TComplex{3, 1E-15} == 3.0));
  EXPECT_TRUE(3.0 == MakeComplex(3, 0));
  EXPECT_TRUE((TComplex{1, 2} == TComplex{1, 2}));
  EXPECT_TRUE((TComplex{1, 2} != TComplex{1, 2.0000000000000004}));
}

struct AngleRow {
  const char* name;
  TComplex z;
  double arg;
};

class ComplexArgTest : public ::testing::TestWithParam<AngleRow> {};

TEST_P(ComplexArgTest, RangeIsMinusHalfPiToThreeHalfPi) {
  EXPECT_EQ(ComplexArg(GetParam().z), GetParam().arg);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ComplexArgTest,
    ::testing::Values(AngleRow{"One", {1, 0}, 0}, AngleRow{"MinusOne", {-1, 0}, kPi},
                      AngleRow{"I", {0, 1}, 1.5707963267948966},
                      AngleRow{"MinusI", {0, -1}, 4.71238898038469},
                      AngleRow{"Zero", {0, 0}, 4.71238898038469},
                      AngleRow{"OneMinusI", {1, -1}, -kPi / 4},
                      AngleRow{"MinusOneMinusI", {-1, -1}, std::atan(1.0) + kPi}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ComplexSqrt, HalfArgumentRoots) {
  ExpectExact(ComplexFromAngle(kPi / 2), 0, 1);
  ExpectExact(ComplexSqrt({-1, 0}), 0, 1);
  ExpectExact(ComplexSqrt({-4, 0}), 0, 2);
  ExpectExact(ComplexSqrt({0, 0}), 0, 0);
  ExpectNear15(ComplexSqrt({-3, -4}), -1, 2);
  ExpectNear15(ComplexSqrt({3, 4}), 2, 1);
  ExpectNear15(ComplexSqrt({0, 2}), 1, 1);
  ExpectNear15(ComplexSqrt({0, -1}), -std::sqrt(0.5), std::sqrt(0.5));
}

TEST(ComplexPowInt, ProductsAndOverflowMarker) {
  RecordingMessageBoxes boxes;
  ExpectExact(ComplexPowInt({0, 0}, 0, boxes), 1, 0);
  ExpectExact(ComplexPowInt({2, 0}, -2, boxes), 0.25, 0);
  ExpectExact(ComplexPowInt({1E60, 0}, 2, boxes), 1E101, 0);
  ExpectExact(ComplexPowInt({1E200, 0}, 1, boxes), 1E200, 0);
  EXPECT_LT(ComplexPowInt({10, 0}, 99, boxes).Re, 1.01E99);
  EXPECT_GT(ComplexPowInt({10, 0}, 99, boxes).Re, 0.99E99);
  ExpectExact(ComplexPowInt({10, 0}, 100, boxes), 1E101, 0);
  ExpectExact(ComplexPowInt({2, 0}, 2147483647, boxes), 1E101, 0);
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST(ComplexPowInt, CyclesAndZeroEndQuickly) {
  RecordingMessageBoxes boxes;
  // i^n cycles with period 4; these would take billions of products one by one.
  ExpectExact(ComplexPowInt({0, 1}, 2147483647, boxes), 0, -1);
  ExpectExact(ComplexPowInt({0, 1}, 2147483644, boxes), 1, 0);
  ExpectExact(ComplexPowInt({-1, 0}, 2147483647, boxes), -1, 0);
  ExpectExact(ComplexPowInt({0.5, 0}, 2147483647, boxes), 0, 0);
  // An uncut base does not repeat after reaching 1: (1, 1E-20)^3 is (1, 0), not the base.
  ExpectExact(ComplexPowInt({1, 1E-20}, 3, boxes), 1, 0);
}

// A long power asks its interrupt once per kProductsPerPoll products; a stop abandons it,
// and a power that is not stopped gives what it gives without being asked.
TEST(ComplexPowInt, LongPowersAskTheirInterrupt) {
  struct Row {
    const char* name;
    TComplex base;
    std::int64_t n;
    long stop_at;
    long polls;
    bool stopped;
  };
  const Row rows[] = {
      {"short power is never asked", {1.0000001, 0}, 4096, 0, 0, false},
      {"one poll per 4096 products", {1.0000001, 0}, 4097, 0, 1, false},
      {"long power runs to its end", {1.0000001, 0}, 100000, 0, 24, false},
      {"negative exponent asks as often", {1.0000001, 0}, -100000, 0, 24, false},
      {"a cycle ends before it is asked", {0, 1}, 2147483647, 0, 0, false},
      {"stop at the third asking", {1.0000001, 0}, 2147483647, 3, 3, true},
      {"stop in a complex power", {0.7, 0.71414}, 1000000, 5, 5, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RecordingMessageBoxes boxes;
    testing::CountingInterrupt interrupt(row.stop_at);
    if (row.stopped) {
      EXPECT_THROW(ComplexPowInt(row.base, row.n, boxes, &interrupt), Interrupted);
    } else {
      const TComplex asked = ComplexPowInt(row.base, row.n, boxes, &interrupt);
      ExpectExact(asked, ComplexPowInt(row.base, row.n, boxes).Re,
                  ComplexPowInt(row.base, row.n, boxes).Im);
    }
    EXPECT_EQ(interrupt.polls, row.polls);
    EXPECT_TRUE(boxes.boxes.empty());
  }
}

TEST(ComplexPowInt, MostNegativeExponentUsesWideInteger) {
  RecordingMessageBoxes boxes;
  ExpectExact(ComplexPowInt({1, 0}, -2147483648LL, boxes), 1, 0);
  ExpectExact(ComplexPowInt({-1, 0}, -2147483648LL, boxes), 1, 0);
}

// A power's outcome down to the bits, or the fault it raised.
std::string PowerOutcome(TComplex (*power)(TComplex, std::int64_t, MessageBoxes&, Interrupt*),
                         TComplex a, std::int64_t n) {
  RecordingMessageBoxes boxes;
  try {
    const TComplex v = power(a, n, boxes, nullptr);
    return std::to_string(BitCast<std::uint64_t>(v.Re)) + " " +
           std::to_string(BitCast<std::uint64_t>(v.Im));
  } catch (const Fault& fault) {
    return std::string("fault ") + fault.what();
  }
}

// The square in place gives what the products give, for every input.
TEST(ComplexPowInt, SquareInPlaceIsTheFirstProduct) {
  constexpr double kDenormal = std::numeric_limits<double>::denorm_min();
  constexpr double kInf = std::numeric_limits<double>::infinity();
  struct Row {
    const char* name;
    TComplex a;
  };
  const Row rows[] = {
      {"zero", {0, 0}},
      {"negative zeros", {-0.0, -0.0}},
      {"negative zero with i", {-0.0, 1}},
      {"square on the cut", {1E-7, 0}},
      {"square just above the cut", {1.0000001E-7, 1.0000001E-7}},
      {"imaginary part cut, real kept", {1, 5E-8}},
      {"uncut base", {1, 1E-20}},
      {"subnormal parts", {kDenormal, -kDenormal}},
      {"unit -1", {-1, 0}},
      {"unit i", {0, 1}},
      {"square exactly 1 from an uncut base", {-1, -1E-300}},
      {"modulus just below the limit", {0.99E50, 0}},
      {"modulus past the limit", {1E51, 0}},
      {"mixed parts past the limit", {7.1E49, 7.1E49}},
      {"parts that cancel", {1E60, 1E60}},
      {"product overflows", {1E155, 0}},
      {"imaginary product overflows", {1E160, 1E160}},
      {"huge and tiny", {1E150, 1E-150}},
      {"infinite operand", {kInf, 1}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(PowerOutcome(ComplexPowInt, row.a, 2),
              PowerOutcome(ComplexPowIntByProducts, row.a, 2))
        << row.name;
  }
  std::mt19937_64 random(20261209);
  std::uniform_real_distribution<double> moderate(-3.0, 3.0);
  for (int k = 0; k < 200000; ++k) {
    // Arbitrary bits reach every exponent; moderate values are the drawing loops'.
    const TComplex a = k % 2 == 0 ? TComplex{BitCast<double>(random()), BitCast<double>(random())}
                                  : TComplex{moderate(random), moderate(random)};
    if (std::isnan(a.Re) || std::isnan(a.Im)) continue;
    ASSERT_EQ(PowerOutcome(ComplexPowInt, a, 2), PowerOutcome(ComplexPowIntByProducts, a, 2))
        << a.Re << " " << a.Im;
  }
}

TEST(DivisionByZero, ShowsBoxThenFaults) {
  struct Row {
    const char* name;
    TComplex a;
    int boxes;
    const char* fault;
  };
  // A zero divisor: imaginary part first, 0/0 invalid, x/0 a division by zero.
  const Row rows[] = {
      {"RealQuotientNonZeroImaginary", {1, 2}, 1, "Gleitkommadivision durch Null"},
      {"RealQuotientZeroImaginary", {1, 0}, 1, "Ung\xFCltige Gleitkommaoperation"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RecordingMessageBoxes boxes;
    try {
      ComplexDivReal(row.a, 0.0, boxes);
      ADD_FAILURE() << "no fault";
    } catch (const Fault& f) {
      EXPECT_STREQ(f.what(), row.fault);
    }
    ASSERT_EQ(boxes.boxes.size(), static_cast<std::size_t>(row.boxes));
    EXPECT_EQ(boxes.boxes[0].text, "Leider Division durch Null aufgetreten!");
    EXPECT_EQ(boxes.boxes[0].title, "Ombrix 0.98 (mit Formulon 2.11)");
    EXPECT_EQ(boxes.boxes[0].kind, MessageKind::Plain);
  }
}

TEST(DivisionByZero, ComplexQuotientShowsTheBoxTwice) {
  RecordingMessageBoxes boxes;
  EXPECT_THROW(
      {
        try {
          ComplexDiv({5, 3}, {0, 0}, boxes);
        } catch (const Fault& f) {
          EXPECT_STREQ(f.what(), "Ung\xFCltige Gleitkommaoperation");
          throw;
        }
      },
      Fault);
  EXPECT_EQ(boxes.boxes.size(), 2u);
}

TEST(DivisionByZero, TinyDivisorWhoseSquareVanishes) {
  RecordingMessageBoxes boxes;
  EXPECT_THROW(ComplexDiv({1, 0}, {1E-170, 0}, boxes), Fault);
  EXPECT_EQ(boxes.boxes.size(), 1u);
  // 1E-7 squared is cut to 0, so its negative power divides by zero.
  RecordingMessageBoxes boxes2;
  EXPECT_THROW(ComplexPowInt({1E-7, 0}, -2, boxes2), Fault);
  EXPECT_EQ(boxes2.boxes.size(), 2u);
}

TEST(Overflow, FiniteOperandsThatOverflowFault) {
  const auto overflow = [](auto f) {
    try {
      f();
    } catch (const Fault& fault) {
      return std::string(fault.what()) == "Gleitkomma\374berlauf";
    }
    return false;
  };
  EXPECT_TRUE(overflow([] { return TComplex{1E200, 0} * TComplex{1E200, 0}; }));
  EXPECT_TRUE(overflow([] { return ComplexAbs({1E200, 1E200}); }));
  EXPECT_TRUE(overflow([] { return TComplex{1.7E308, 0} + TComplex{1.7E308, 0}; }));
  EXPECT_TRUE(overflow([] { return 1E300 * TComplex{1E300, 0}; }));
  // Underflow is silent.
  EXPECT_EQ((TComplex{1E-200, 0} * TComplex{1E-200, 0}).Re, 0.0);
}

TEST(IntegerValues, ThirtyTwoBitRange) {
  struct Row {
    TComplex z;
    bool real, integer;
  };
  const Row rows[] = {
      {{3, 0}, true, true},
      {{-2147483648.0, 0}, true, true},
      {{2147483647.0, 0}, true, true},
      {{2147483648.0, 0}, true, false},
      {{2.5, 0}, true, false},
      {{3, 1E-300}, false, false},
      {{1E20, 0}, true, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(IsRealValue(row.z), row.real) << row.z.Re;
    EXPECT_EQ(IsIntegerValue(row.z), row.integer) << row.z.Re;
  }
}

}  // namespace
}  // namespace ombrix
