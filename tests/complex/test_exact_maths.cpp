#include "logic/complex/exact_maths.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "tests/support/maths_arguments.h"
#include "tests/support/random_doubles.h"

#ifdef OMBRIX_HAVE_MPFR
#include <mpfr.h>
#endif

namespace ombrix {
namespace {

using testing::maths::Bits;
using Function = double (*)(double);

struct ValueRow {
  const char* name;
  Function f;
  double x;
  double value;
};

// Correctly rounded values (by mpmath), the far ends of the range and what the built-ins
// read as failures.
TEST(ExactMaths, GivesTheCorrectlyRoundedValue) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  const ValueRow rows[] = {
      {"sin of the double nearest pi", exact::Sin, 3.141592653589793, 0x1.1a62633145c07p-53},
      {"sin of a huge argument", exact::Sin, 1e22, -0x1.b453ab76bf397p-1},
      {"cos of a huge argument", exact::Cos, 1e22, 0x1.0be2cef01c8f4p-1},
      {"cos near pi/2", exact::Cos, 1.5707963267948966, 0x1.1a62633145c07p-54},
      {"tan near pi/2", exact::Tan, 1.5707963267948966, 0x1.d02967c31cdb5p+53},
      {"sin of a tiny argument is the argument", exact::Sin, -0x1.fffffp-28, -0x1.fffffp-28},
      {"sin keeps the sign of zero", exact::Sin, -0.0, -0.0},
      {"exp 1", exact::Exp, 1.0, 0x1.5bf0a8b145769p+1},
      {"exp near the top", exact::Exp, 709.7, 0x1.d75ae7a50ee14p+1023},
      {"exp to the least subnormal", exact::Exp, -745.0, 0x0.0000000000001p-1022},
      {"exp beyond the top", exact::Exp, 710.0, kInf},
      {"exp below the least", exact::Exp, -746.0, 0.0},
      {"log 2", exact::Log, 2.0, 0x1.62e42fefa39efp-1},
      {"log of the least subnormal", exact::Log, 5e-324, -0x1.74385446d71c3p+9},
      {"log of 1 is 0", exact::Log, 1.0, 0.0},
      {"log of 0", exact::Log, 0.0, -kInf},
      {"log of a negative number", exact::Log, -1.0, kNaN},
      {"log10 of a power of ten", exact::Log10, 1000.0, 3.0},
      {"log10 of the largest exact power", exact::Log10, 1e22, 22.0},
      {"asin 1/2", exact::ASin, 0.5, 0x1.0c152382d7366p-1},
      {"asin beyond 1", exact::ASin, 2.0, kNaN},
      {"acos -1/2", exact::ACos, -0.5, 0x1.0c152382d7366p+1},
      {"acos just below 1", exact::ACos, 0.9999999999999999, 0x1.0000000000000p-26},
      {"acos of 1 is 0", exact::ACos, 1.0, 0.0},
      {"atan 1", exact::ATan, 1.0, 0x1.921fb54442d18p-1},
      {"atan of a huge argument", exact::ATan, -1e300, -0x1.921fb54442d18p0},
  };
  for (const ValueRow& row : rows) EXPECT_EQ(Bits(row.f(row.x)), Bits(row.value)) << row.name;
}

#ifdef OMBRIX_HAVE_MPFR
#ifdef NDEBUG
constexpr int kArgumentCount = 200000;
#else
constexpr int kArgumentCount = 5000;
#endif

struct MpfrRow {
  const char* name;
  Function f;
  int (*reference)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);
};

TEST(ExactMaths, AgreesWithMpfrOnRandomArguments) {
  const MpfrRow rows[] = {
      {"sin", exact::Sin, mpfr_sin},       {"cos", exact::Cos, mpfr_cos},
      {"tan", exact::Tan, mpfr_tan},       {"asin", exact::ASin, mpfr_asin},
      {"acos", exact::ACos, mpfr_acos},    {"atan", exact::ATan, mpfr_atan},
      {"exp", exact::Exp, mpfr_exp},       {"log", exact::Log, mpfr_log},
      {"log10", exact::Log10, mpfr_log10},
  };
  // Doubles exactly, subnormals included.
  mpfr_set_emin(-1073);
  mpfr_set_emax(1024);
  mpfr_t in;
  mpfr_t out;
  mpfr_init2(in, 53);
  mpfr_init2(out, 53);
  std::mt19937_64 random(5522);
  for (const MpfrRow& row : rows) {
    for (int n = 0; n < kArgumentCount; ++n) {
      const double x = testing::RandomInteresting(random);
      mpfr_set_d(in, x, MPFR_RNDN);
      const int ternary = row.reference(out, in, MPFR_RNDN);
      mpfr_subnormalize(out, ternary, MPFR_RNDN);
      ASSERT_EQ(Bits(row.f(x)), Bits(mpfr_get_d(out, MPFR_RNDN)))
          << row.name << "(" << Bits(x) << ")";
    }
  }
  mpfr_clear(in);
  mpfr_clear(out);
}
#endif

}  // namespace
}  // namespace ombrix
