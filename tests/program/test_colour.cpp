// The colour of a complex number: the rows that pin the wheel, through "SetzeFarbe" on
// both evaluator paths, and against the formula in doubles at many points.
#include "logic/program/colour.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "tests/program/interpreter_world.h"
#include "tests/support/colour_wheel.h"

namespace ombrix {
namespace {

using testing::ColourHex;
using testing::World;

TEST(Colour, PinnedRowsThroughSetzeFarbeOnBothPaths) {
  SetDecimalSeparator('.');
  for (const bool plans : {true, false}) {
    for (const testing::ColourRow& row : testing::kColourRows) {
      SCOPED_TRACE(std::string(row.term) + (plans ? " with plans" : " from the text"));
      World world;
      world.interpreter.UsePlans(plans);
      ASSERT_TRUE(world.Run({std::string("SetzeFarbe(") + row.term + ")", "ZeichnePunkt(0)"}));
      EXPECT_EQ(world.canvas.calls,
                (std::vector<std::string>{"PenColor " + ColourHex(row.colour),
                                          "SetPixel 200 200 " + ColourHex(row.colour)}));
    }
  }
}

// Values no term gives (beyond the overflow test, not a number) and the edges of the
// shortcuts to black and white.
TEST(Colour, ValuesBeyondWhatATermGives) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const auto& [w, colour] : {std::pair{TComplex{1E300, 0}, kWhite},
                                  {{nan, 1}, kBlack},
                                  {{0x1p-9, 0}, 0x010000},
                                  {{1023, 0}, kWhite}}) {
    EXPECT_EQ(ColourHex(ComplexColour(w)), ColourHex(colour)) << w.Re;
  }
}

// Wherever the formula's channel does not lie within 2E-4 of where the first rounding (to
// 1/256) turns, the colour is the formula's, rounded as the header says.
TEST(Colour, AgreesWithTheFormulaInDoubles) {
  std::mt19937_64 random(30);
  std::uniform_real_distribution<double> log_modulus(-8, 8), angle(-4, 4);
  int compared = 0;
  for (int n = 0; n < 200000; ++n) {
    const double r = std::exp(log_modulus(random)), t = angle(random);
    const TComplex w{r * std::cos(t), r * std::sin(t)};
    const Colour colour = ComplexColour(w);
    const std::array<double, 3> channels = testing::FormulaChannels(w.Re, w.Im);
    for (int c = 0; c < 3; ++c) {
      const double fine = channels[static_cast<std::size_t>(c)] * 256;
      if (std::fabs(fine - std::floor(fine) - 0.5) < 0.05) continue;
      const double expected = std::floor((std::floor(fine + 0.5) + 128) / 256);
      ASSERT_EQ((colour >> (16 - 8 * c)) & 0xFF, expected)
          << w.Re << " " << w.Im << " channel " << c << ": "
          << channels[static_cast<std::size_t>(c)];
      ++compared;
    }
  }
  EXPECT_GT(compared, 500000);
}

}  // namespace
}  // namespace ombrix
