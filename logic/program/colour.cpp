#include "logic/program/colour.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>

namespace ombrix {

namespace {

// Every number below is an integer: fixed point with 2^48 for 1 for the parts of w (a part
// below 2^10 stays within 58 bits), angles in 2^-32 radians, ratios and HSL values with 2^30
// for 1.
constexpr int kValueBits = 30;
constexpr std::int64_t kOne = std::int64_t{1} << kValueBits;
constexpr double kPartOne = 0x1p48;

// The tables: atan(t), sqrt(1 + t²) and its inverse at t = k/1024, for t from 0 to 1, read
// between their nodes along a straight line (off by 1.2E-7 of their value at most).
constexpr int kTableBits = 10;
constexpr int kNodes = (1 << kTableBits) + 1;
constexpr int kBetweenBits = kValueBits - kTableBits;

// π · 2^60, rounded down, and π/2 in 2^-32 radians.
constexpr std::int64_t kPi60 = 0x3243F6A8885A308D;
constexpr std::int64_t kHalfPi = (kPi60 >> 28) / 2;

// atan(t) · 2^32 at the nodes, computed when compiling by CORDIC in integers: (1, t) is
// turned onto the x axis by turns of ±atan(2^-i), whose angles come from their series.
constexpr std::array<std::int64_t, kNodes + 1> kAtanTable = [] {
  constexpr int kSteps = 36;
  std::array<std::int64_t, kSteps> turns{};  // atan(2^-i) · 2^60
  turns[0] = kPi60 / 4;
  for (int i = 1; i < kSteps; ++i) {
    for (int k = 0; 60 - i * (2 * k + 1) >= 0; ++k) {
      const std::int64_t term = (std::int64_t{1} << (60 - i * (2 * k + 1))) / (2 * k + 1);
      turns[static_cast<std::size_t>(i)] += k % 2 == 0 ? term : -term;
    }
  }
  std::array<std::int64_t, kNodes + 1> table{};
  for (int node = 0; node < kNodes; ++node) {
    std::int64_t x = std::int64_t{1} << 50;
    std::int64_t y = std::int64_t{node} << (50 - kTableBits);
    std::int64_t angle = 0;
    for (int i = 0; i < kSteps; ++i) {
      const std::int64_t dx = y >> i;
      const std::int64_t dy = x >> i;
      const bool clockwise = y >= 0;
      x += clockwise ? dx : -dx;
      y -= clockwise ? dy : -dy;
      angle += clockwise ? turns[static_cast<std::size_t>(i)] : -turns[static_cast<std::size_t>(i)];
    }
    table[static_cast<std::size_t>(node)] = (angle + (std::int64_t{1} << 27)) >> 28;
  }
  table[kNodes] = table[kNodes - 1];  // t = 1 reads its node and the one after
  return table;
}();

// sqrt(1 + t²) · 2^29 at the nodes: the integer square root of 2^58 + (t · 2^29)².
constexpr int kLengthBits = 29;
constexpr std::array<std::int64_t, kNodes + 1> kLengthTable = [] {
  std::array<std::int64_t, kNodes + 1> table{};
  for (int node = 0; node < kNodes; ++node) {
    const std::uint64_t square =
        (std::uint64_t{1} << (2 * kLengthBits)) +
        (std::uint64_t(node) * std::uint64_t(node) << (2 * (kLengthBits - kTableBits)));
    std::uint64_t root = std::uint64_t{1} << kLengthBits;
    for (std::uint64_t bit = std::uint64_t{1} << (kLengthBits - 1); bit != 0; bit >>= 1) {
      if ((root + bit) * (root + bit) <= square) root += bit;
    }
    table[static_cast<std::size_t>(node)] = static_cast<std::int64_t>(root);
  }
  table[kNodes] = table[kNodes - 1];
  return table;
}();

// 1 / sqrt(1 + t²) · 2^30 at the nodes.
constexpr std::array<std::int64_t, kNodes + 1> kInverseLengthTable = [] {
  std::array<std::int64_t, kNodes + 1> table{};
  for (std::size_t node = 0; node < table.size(); ++node) {
    const std::int64_t length = kLengthTable[node];
    table[node] = ((std::int64_t{1} << (kLengthBits + kValueBits)) + length / 2) / length;
  }
  return table;
}();

std::int64_t Between(const std::array<std::int64_t, kNodes + 1>& table, std::int64_t t) {
  const auto node = static_cast<std::size_t>(t >> kBetweenBits);
  const std::int64_t part = t & ((std::int64_t{1} << kBetweenBits) - 1);
  return table[node] + ((table[node + 1] - table[node]) * part >> kBetweenBits);
}

// 2^28 times 3/π and 2/π: an angle in 2^-32 radians times these, shifted right by 30, is
// in sixths of the circle, or in quarters, with 2^30 for 1.
constexpr std::int64_t kSixths = (std::int64_t{3} << 60) / (kPi60 >> 28);
constexpr std::int64_t kQuarters = (std::int64_t{2} << 60) / (kPi60 >> 28);

// Where in 0xRRGGBB the channel stands that takes the chroma, and the one that takes the
// part that rises or falls with the hue, in each sixth of the circle.
constexpr std::array<int, 6> kChromaShift = {16, 8, 8, 0, 0, 16};
constexpr std::array<int, 6> kRisingShift = {8, 16, 0, 8, 16, 0};

// 255 · v rounded to 1/256 and then to a whole number, halves up.
Colour Channel(std::int64_t v) {
  constexpr int kFine = kValueBits - 8;
  const std::int64_t fine = (255 * v + (std::int64_t{1} << (kFine - 1))) >> kFine;
  return static_cast<Colour>((fine + 128) >> 8);
}

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
  const auto re = static_cast<std::int64_t>(a * kPartOne);
  const auto im = static_cast<std::int64_t>(b * kPartOne);
  // The larger part, at least 2^38, shifted into [2^32, 2^33), the smaller beside it, and
  // one division for all the ratios: 2^62 / h.
  const int shift =
      static_cast<int>(std::bit_width(static_cast<std::uint64_t>(std::max(re, im)))) - 33;
  const std::int64_t h = std::max(re, im) >> shift;
  const std::int64_t l = std::min(re, im) >> shift;
  const std::int64_t inverse = (std::int64_t{1} << 62) / h;
  const std::int64_t t = l * inverse >> 32;  // l / h, the tangent of the angle to the nearer axis
  // The argument: within the first quadrant, then the quadrant from the signs.
  std::int64_t arg = Between(kAtanTable, t);
  if (im > re) arg = kHalfPi - arg;
  if (w.Re < 0) arg = 2 * kHalfPi - arg;
  if (w.Im < 0) arg = 4 * kHalfPi - arg;
  std::int64_t hue = arg * kSixths >> kValueBits;  // six sectors of kOne each
  if (hue >= 6 * kOne) hue -= 6 * kOne;
  // |w| = h · 2^(shift - 48) · sqrt(1 + t²); atan(|w|) from |w| up to 1, else from 1 / |w|.
  const std::int64_t modulus = h * Between(kLengthTable, t) >> (kLengthBits + 18 - shift);
  const std::int64_t lift =
      modulus <= kOne ? Between(kAtanTable, modulus)
                      : kHalfPi - Between(kAtanTable, inverse * Between(kInverseLengthTable, t) >>
                                                          (14 + shift));
  const std::int64_t light = std::clamp<std::int64_t>(lift * kQuarters >> kValueBits, 0, kOne);
  const std::int64_t chroma = kOne - std::abs(2 * light - kOne);  // even: the base is exact
  const std::int64_t base = light - chroma / 2;
  const auto sector = static_cast<std::size_t>(hue >> kValueBits);
  const std::int64_t within = hue & (kOne - 1);
  const std::int64_t rising = chroma * (sector % 2 == 0 ? within : kOne - within) >> kValueBits;
  // The base in every channel, then the chroma and the rising part in theirs.
  const Colour base_channel = Channel(base);
  return base_channel * 0x010101u +
         ((Channel(base + chroma) - base_channel) << kChromaShift[sector]) +
         ((Channel(base + rising) - base_channel) << kRisingShift[sector]);
}

}  // namespace ombrix
