// The colour wheel of "SetzeFarbe": the rows that pin it, and its formula in doubles.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <string>

namespace ombrix::testing {

// Terms as a program writes them and the colour "SetzeFarbe" gives them, 0xRRGGBB: the
// pinned rows (1E300 itself fails the overflow test of every term above 1E100), the borders
// of the sectors and a hair beside them, and halves rounded up (the green of i is 127.5).
struct ColourRow {
  const char* term;
  std::uint32_t colour;
};
inline constexpr ColourRow kColourRows[] = {{"0", 0x000000},
                                            {"1", 0xFF0000},
                                            {"Cos(2*Pi/3)+i*Sin(2*Pi/3)", 0x00FF00},
                                            {"Cos(4*Pi/3)+i*Sin(4*Pi/3)", 0x0000FF},
                                            {"-1", 0x00FFFF},
                                            {"2", 0xFF6868},
                                            {"-1E300", 0xFFFFFF},
                                            {"E(Pi/3)", 0xFFFF00},
                                            {"E(Pi/3+1E-12)", 0xFFFF00},
                                            {"E(5*Pi/3)", 0xFF00FF},
                                            {"E(-1E-12)", 0xFF0000},
                                            {"i", 0x80FF00},
                                            {"-i", 0x8000FF}};

// As the trace writes a colour: RRGGBB.
inline std::string ColourHex(std::uint32_t colour) {
  char text[8];
  std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(colour));
  return text;
}

// 255 times each channel's HSL value: the hue from the argument, L = (2/π)·atan(|w|).
inline std::array<double, 3> FormulaChannels(double re, double im) {
  constexpr double kPi = std::numbers::pi;
  double hue = std::atan2(im, re);
  if (hue < 0) hue += 2 * kPi;
  const double sixths = hue / (kPi / 3);
  const double light = 2 / kPi * std::atan(std::hypot(re, im));
  const double c = 1 - std::fabs(2 * light - 1);
  const double x = c * (1 - std::fabs(std::fmod(sixths, 2) - 1));
  const double m = light - c / 2;
  const double by_sector[6][3] = {{c, x, 0}, {x, c, 0}, {0, c, x}, {0, x, c}, {x, 0, c}, {c, 0, x}};
  const double* v = by_sector[static_cast<int>(sixths) % 6];
  return {255 * (v[0] + m), 255 * (v[1] + m), 255 * (v[2] + m)};
}

}  // namespace ombrix::testing
