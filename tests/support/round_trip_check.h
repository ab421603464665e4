// RoundTripReal against the texts it stands for: TextToReal(RealToText(x)), bit for bit.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <ios>
#include <optional>

#include "logic/complex/bits.h"
#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"

namespace ombrix::testing {

// TextToReal(RealToText(x)), or nothing when reading the text back faults.
inline std::optional<double> ThroughText(double x) {
  try {
    return TextToReal(RealToText(x));
  } catch (const Fault&) {
    return std::nullopt;
  }
}

// RoundTripReal gives the text's bits, or leaves `x` to the texts only where they cannot be
// read back or near the range's ends; a result it calls fixed comes back unchanged itself.
inline void ExpectRoundTripAgrees(double x) {
  double out = 0;
  bool fixed = false;
  if (!RoundTripReal(x, out, &fixed)) {
    const double m = std::fabs(x);
    EXPECT_TRUE(!std::isfinite(x) || m > 1E300 || m < 1E-300) << std::hexfloat << x;
    return;
  }
  const std::optional<double> text = ThroughText(x);
  ASSERT_TRUE(text.has_value()) << std::hexfloat << x;
  EXPECT_EQ(BitCast<std::uint64_t>(out), BitCast<std::uint64_t>(*text))
      << std::hexfloat << x << " gives " << out << ", the text " << *text;
  if (fixed) {
    const std::optional<double> again = ThroughText(out);
    EXPECT_TRUE(again && BitCast<std::uint64_t>(*again) == BitCast<std::uint64_t>(out))
        << std::hexfloat << out;
  }
}

}  // namespace ombrix::testing
