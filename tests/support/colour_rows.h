// The colours that pin the colour wheel of "SetzeFarbe": a term as a program writes it
// (no decimal separator) and the colour it gives, 0xRRGGBB.
#pragma once

#include <cstdint>
#include <vector>

namespace ombrix::testing {

struct ColourRow {
  const char* term;
  std::uint32_t colour;
};

inline const std::vector<ColourRow>& ColourRows() {
  static const std::vector<ColourRow> rows = {
      {"0", 0x000000},
      {"1", 0xFF0000},
      {"Cos(2*Pi/3)+i*Sin(2*Pi/3)", 0x00FF00},
      {"Cos(4*Pi/3)+i*Sin(4*Pi/3)", 0x0000FF},
      {"-1", 0x00FFFF},
      {"2", 0xFF6868},
      // 1E300 itself fails the evaluator's overflow test, as every term above 1E100 does.
      {"-1E300", 0xFFFFFF},
      // The borders of the six sectors, on them and a hair either side.
      {"E(Pi/3)", 0xFFFF00},
      {"E(Pi/3-1E-12)", 0xFFFF00},
      {"E(Pi/3+1E-12)", 0xFFFF00},
      {"E(5*Pi/3)", 0xFF00FF},
      {"E(-1E-12)", 0xFF0000},
      {"2*E(Pi)", 0x68FFFF},
      {"E(4*Pi/3+1E-12)/2", 0x000097},
      // Exact halves round up: the green of i is 127.5.
      {"i", 0x80FF00},
      {"-i", 0x8000FF},
      {"Wurzel(3)", 0xFF5555},
  };
  return rows;
}

}  // namespace ombrix::testing
