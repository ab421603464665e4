// The maths functions, whose fast path settles all but the hardest roundings, against the
// integer path alone: bit for bit over named hard cases and a seeded sweep of every range
// where the code and the results turn. OMBRIX_MATHS_ARGUMENTS sets the sweep's count per
// range for long runs.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "logic/complex/exact_maths.h"
#include "logic/complex/exact_maths_integer.h"
#include "tests/support/maths_arguments.h"

namespace ombrix {
namespace {

using namespace testing::maths;
using Function = double (*)(double);

struct Pair {
  const char* name;
  Function fast;
  Function exact;
  std::vector<Generator> arguments;
};

std::vector<Pair> Pairs() {
  return {
      {"sin", exact::Sin, exact::integer::Sin, TrigArguments()},
      {"cos", exact::Cos, exact::integer::Cos, TrigArguments()},
      {"tan", exact::Tan, exact::integer::Tan, TrigArguments()},
      {"asin", exact::ASin, exact::integer::ASin, RatioArguments()},
      {"acos", exact::ACos, exact::integer::ACos, RatioArguments()},
      {"atan", exact::ATan, exact::integer::ATan, AtanArguments()},
      {"exp", exact::Exp, exact::integer::Exp, ExpArguments()},
      {"log", exact::Log, exact::integer::Log, LogArguments()},
      {"log10", exact::Log10, exact::integer::Log10, LogArguments()},
  };
}

struct HardCase {
  const char* name;
  double x;
};

// Each argument goes to every function: where one's fast path ends, another's turns.
TEST(ExactMathsFast, AgreesWithTheIntegerPathOnHardCases) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const HardCase rows[] = {
      {"zero", 0.0},
      {"negative zero", -0.0},
      {"the least subnormal", 0x1p-1074},
      {"the largest subnormal, negative", -0x0.fffffffffffffp-1022},
      {"the least normal", 0x1p-1022},
      {"below the trig fast path", 0x1.fffffffffffffp-28},
      {"where the trig fast path starts", 0x1p-27},
      {"where exp's fast path starts, negative: e^x a hair above a middle", -0x1p-54},
      {"the double below pi/4", 0x1.921fb54442d18p-1},
      {"where the unreduced sine ends", 0.785},
      {"the double nearest pi/2", 0x1.921fb54442d18p0},
      {"the double nearest pi", 0x1.921fb54442d18p1},
      {"the double nearest 29 pi/2, negative", -0x1.6c6cbc45dc8dep+5},
      {"the multiple of pi/2 nearest a double of all", 0x1.6ac5b262ca1ffp+849},
      {"a huge angle", 1e22},
      {"the largest double", DBL_MAX},
      {"the largest double, negative", -DBL_MAX},
      {"below 1/sqrt 2: asin's turn", 0x1.6a09e667f3bccp-1},
      {"above 1/sqrt 2", -0x1.6a09e667f3bcdp-1},
      {"e^x within 2^-53 units of a middle", -0x1.0000000000001p-54},
      {"just below 1: ln a hair from a middle", 0x1.ffffffffffffep-1},
      {"just above 1: ln within 2^-47 units of a middle", 0x1.0000000000006p0},
      {"the double below 1", 0x1.fffffffffffffp-1},
      {"the double above 1", 0x1.0000000000001p0},
      {"one", 1.0},
      {"minus one", -1.0},
      {"the double nearest sqrt 2", 0x1.6a09e667f3bcdp0},
      {"where atan's fast path ends", 0x1p62},
      {"e^x near the top", 709.782712893384},
      {"e^x beyond the top", 709.79},
      {"e^x at the least normal", -708.3964185322641},
      {"e^x at half the least subnormal", -745.1332191019411},
      {"e^x below the least subnormal", -745.2},
      {"a power of ten", 1e22},
      {"infinity", kInf},
      {"minus infinity", -kInf},
      {"not a number", std::numeric_limits<double>::quiet_NaN()},
  };
  for (const Pair& f : Pairs()) {
    for (const HardCase& row : rows) {
      EXPECT_EQ(Bits(f.fast(row.x)), Bits(f.exact(row.x))) << f.name << ": " << row.name;
    }
  }
}

long ArgumentCount() {
  if (const char* text = std::getenv("OMBRIX_MATHS_ARGUMENTS")) return std::atol(text);
#ifdef NDEBUG
  return 10000;
#else
  return 800;
#endif
}

TEST(ExactMathsFast, AgreesWithTheIntegerPathOverRandomArguments) {
  const long count = ArgumentCount();
  Random random(31);
  for (const Pair& f : Pairs()) {
    for (const Generator argument : f.arguments) {
      for (long n = 0; n < count; ++n) {
        const double x = argument(random);
        ASSERT_EQ(Bits(f.fast(x)), Bits(f.exact(x))) << f.name << "(" << Bits(x) << ")";
      }
    }
  }
}

}  // namespace
}  // namespace ombrix
