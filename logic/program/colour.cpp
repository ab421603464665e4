#include "logic/program/colour.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace ombrix {

namespace {

// Angles are radians times 2^60; lengths have 2^48 for 1 (a part below 2^10 and its
// growth in the passes stay within 63 bits); the HSL values have 2^30 for 1.
constexpr int kAngleBits = 60;
constexpr std::int64_t kPi = 0x3243F6A8885A308D;  // π · 2^60, rounded down
constexpr double kLengthOne = 0x1p48;
constexpr int kValueBits = 30;
constexpr std::int64_t kOne = std::int64_t{1} << kValueBits;

// Steps of each CORDIC pass: the angle comes out to within atan(2^-31).
constexpr int kSteps = 32;

// atan(2^-i) · 2^60: π/4, then the series x - x³/3 + x⁵/5 - …, whose terms fall by 4^i.
constexpr std::array<std::int64_t, kSteps> kAtans = [] {
  std::array<std::int64_t, kSteps> atans{};
  atans[0] = kPi / 4;
  for (int i = 1; i < kSteps; ++i) {
    std::int64_t sum = 0;
    for (int k = 0; kAngleBits - i * (2 * k + 1) >= 0; ++k) {
      const std::int64_t term = (std::int64_t{1} << (kAngleBits - i * (2 * k + 1))) / (2 * k + 1);
      sum += k % 2 == 0 ? term : -term;
    }
    atans[static_cast<std::size_t>(i)] = sum;
  }
  return atans;
}();

// The length kSteps steps give a vector of length 1, the product of sqrt(1 + 4^-i)
// (1.6467602…), times kLengthOne.
constexpr std::int64_t kGain = 0x1A592148CFB85;

// Turns (x, y), with x > 0 or the angle within a right angle, onto the positive x axis by
// turns of ±atan(2^-i); answers the angle turned, atan2(y, x), and leaves in x the
// vector's length times kGain. Without branches: their outcome would be a coin toss.
std::int64_t TurnOntoAxis(std::int64_t& x, std::int64_t y) {
  std::int64_t angle = 0;
  for (int i = 0; i < kSteps; ++i) {
    const std::int64_t back = y >> 63;  // 0 turns clockwise, -1 counterclockwise
    const std::int64_t dx = ((y >> i) ^ back) - back;
    const std::int64_t dy = ((x >> i) ^ back) - back;
    x += dx;
    y -= dy;
    angle += (kAtans[static_cast<std::size_t>(i)] ^ back) - back;
  }
  return angle;
}

// a / b for a value with 2^30 for 1, b being that value's 1 times 2^60 (rounded).
std::int64_t Ratio(std::int64_t a, std::int64_t b) {
  return a /
         ((b + (std::int64_t{1} << (kAngleBits - kValueBits - 1))) >> (kAngleBits - kValueBits));
}

// The channel (0 red, 1 green, 2 blue) that takes the chroma, and the one that takes the
// part that rises or falls with the hue, in each sixth of the circle.
constexpr std::array<int, 6> kChromaChannel = {0, 1, 1, 2, 2, 0};
constexpr std::array<int, 6> kRisingChannel = {1, 0, 2, 1, 0, 2};

}  // namespace

Colour ComplexColour(TComplex w) {
  const double a = std::fabs(w.Re);
  const double b = std::fabs(w.Im);
  if (std::isnan(a) || std::isnan(b)) return kBlack;
  // Beyond these every channel rounds to 255, or to 0: a part of 1024 or more gives
  // L > 1 - 1/1600, both parts below 1/1024 give L < 1/1100.
  const double most = std::max(a, b);
  if (most >= 0x1p10) return kWhite;
  if (most < 0x1p-10) return kBlack;
  // Multiplying by a power of two is exact; the cast drops what lies below 2^-48.
  std::int64_t x = static_cast<std::int64_t>(a * kLengthOne);
  const std::int64_t y = static_cast<std::int64_t>(b * kLengthOne);
  std::int64_t arg = TurnOntoAxis(x, y);  // within the first quadrant; x is kGain · |w|
  std::int64_t unit = kGain;
  const std::int64_t lift = TurnOntoAxis(unit, x);  // atan(|w|)
  if (w.Re < 0) arg = kPi - arg;
  if (w.Im < 0) arg = 2 * kPi - arg;
  if (arg < 0) arg += 2 * kPi;
  std::int64_t hue = Ratio(arg, kPi / 3);  // six sectors of kOne each
  if (hue >= 6 * kOne) hue -= 6 * kOne;
  const std::int64_t light = std::clamp<std::int64_t>(Ratio(lift, kPi / 2), 0, kOne);
  const std::int64_t chroma = kOne - std::abs(2 * light - kOne);  // even: the base is exact
  const std::int64_t base = light - chroma / 2;
  const auto sector = static_cast<std::size_t>(hue >> kValueBits);
  const std::int64_t within = hue & (kOne - 1);
  std::array<std::int64_t, 3> rgb = {base, base, base};
  rgb[static_cast<std::size_t>(kChromaChannel[sector])] += chroma;
  rgb[static_cast<std::size_t>(kRisingChannel[sector])] +=
      chroma * (sector % 2 == 0 ? within : kOne - within) >> kValueBits;
  Colour colour = 0;
  for (const std::int64_t v : rgb) {
    constexpr int kFine = kValueBits - 10;  // 255 · v in 1/1024, then in whole numbers
    const std::int64_t fine = (255 * v + (std::int64_t{1} << (kFine - 1))) >> kFine;
    colour = colour << 8 | static_cast<Colour>((fine + 512) >> 10);
  }
  return colour;
}

}  // namespace ombrix
