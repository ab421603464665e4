// Seeded arguments for the maths functions, by range: what drawings pass, and where the code
// of the fast path and the results turn (multiples of pi/2, the tables' sixty-fourths, the
// ends of the ranges, values near 1). Shared by the tests and the hand-run
// cross-check, with the text the failures show.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "logic/complex/bits.h"
#include "tests/support/random_doubles.h"

namespace ombrix::testing::maths {

using Random = std::mt19937_64;
using Generator = double (*)(Random&);

inline double Unit(Random& random) {
  return std::uniform_real_distribution<double>(-1.0, 1.0)(random);
}

// x moved by up to 2^k units in the last place, k random up to `spread`.
inline double Around(double x, Random& random, int spread = 40) {
  const auto limit = std::int64_t{1} << (random() % static_cast<unsigned>(spread + 1));
  const auto steps = static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(limit)) *
                     (random() % 2 == 0 ? 1 : -1);
  const auto bits = BitCast<std::int64_t>(std::fabs(x)) + steps;
  return std::copysign(BitCast<double>(bits < 0 ? 0 : bits), x);
}

inline double Pick(Random& random, std::initializer_list<double> points) {
  return points.begin()[random() % points.size()];
}

inline double Signed(double x, Random& random) { return random() % 2 == 0 ? x : -x; }

inline double AnyInteresting(Random& random) { return RandomInteresting(random); }

inline double Angle(Random& random) {
  return Unit(random) * std::ldexp(1.0, static_cast<int>(random() % 12));
}

inline double HugeAngle(Random& random) {
  return Signed(std::ldexp(1.5 + Unit(random) / 2, static_cast<int>(random() % 1020)), random);
}

// k pi/2 and k pi/2 of the doubles, k up to 2^40.
inline double NearQuarterTurn(Random& random) {
  const auto k = static_cast<double>(random() % (std::uint64_t{1} << (random() % 41)));
  return Signed(Around(k * 1.5707963267948966, random, 12), random);
}

// j/64, (j + 1/2)/64, pi/4 and the end of the unreduced arguments, and their inverses.
inline double NearTableEdge(Random& random) {
  const double j = static_cast<double>(random() % 65) + (random() % 2 == 0 ? 0 : 0.5);
  return Signed(Around(Pick(random, {j / 64, 0.785, 0.7853981633974483, 1 / j}), random, 20),
                random);
}

inline double Fraction(Random& random) {
  return Signed(std::ldexp(std::fabs(Unit(random)), -static_cast<int>(random() % 60)), random);
}

// +-1, 1/2, 1/sqrt(2) from inside.
inline double NearOneInside(Random& random) {
  const double x = Around(Pick(random, {1.0, 0.5, 0.7071067811865476, 1 - 0x1p-30}), random);
  return Signed(std::fabs(x) >= 1 ? 0.5 : x, random);
}

inline double ExpRange(Random& random) {
  return std::uniform_real_distribution<double>(-746.0, 710.0)(random);
}

// Overflow, underflow, the subnormal results, tiny arguments and the halves between the
// multiples of ln 2 / 128.
inline double ExpEdge(Random& random) {
  const double k = static_cast<double>(static_cast<std::int64_t>(random() % 2001) - 1000);
  return Around(Pick(random, {709.782712893384, 709.79, -708.3964185322641, -745.1332191019411,
                              -745.2, 0x1p-54, -0x1p-54, (k + 0.5) * 0.005415212348111709}),
                random, 30);
}

// Any positive double, subnormals included.
inline double Positive(Random& random) { return BitCast<double>(random() >> 1); }

inline double LogUniform(Random& random) {
  return std::exp(std::uniform_real_distribution<double>(-700, 700)(random));
}

// 1, 1 + i/128, sqrt 2, powers of 10.
inline double NearOneLog(Random& random) {
  const double i = static_cast<double>(random() % 129);
  return Around(Pick(random, {1.0, 1 + i / 128, 0.5 + i / 256, 1.4142135623730951, 1000.0, 0.1}),
                random);
}

// A double's exact value as text, for the failure messages; every NaN alike.
inline std::string Bits(double x) {
  char text[40];
  std::snprintf(text, sizeof text, "%a", x);
  return std::isnan(x) ? "nan" : text;
}

// The arguments of each function's sweep.
inline std::vector<Generator> TrigArguments() {
  return {AnyInteresting, Angle, HugeAngle, NearQuarterTurn, NearTableEdge};
}
inline std::vector<Generator> RatioArguments() {
  return {AnyInteresting, Fraction, NearOneInside, NearTableEdge};
}
inline std::vector<Generator> AtanArguments() {
  return {AnyInteresting, Angle, HugeAngle, NearTableEdge};
}
inline std::vector<Generator> ExpArguments() { return {AnyInteresting, ExpRange, ExpEdge}; }
inline std::vector<Generator> LogArguments() {
  return {AnyInteresting, Positive, NearOneLog, LogUniform};
}

}  // namespace ombrix::testing::maths
