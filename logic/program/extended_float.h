// A number in the x87 extended format, computed in integers: a sign, a 64-bit significand
// and an exponent, each operation rounded to nearest with ties to even as the hardware
// rounds. For the plane-to-pixel mapping where long double is another format (64 or 128
// bits); it gives the hardware's bits. The exponent is not bounded: values formed from
// doubles by a few operations never come near the format's limits.
#pragma once

#include <compare>
#include <cstdint>

namespace ombrix {

class ExtendedFloat {
 public:
  constexpr ExtendedFloat() = default;  // +0
  explicit ExtendedFloat(double x);

  friend ExtendedFloat operator+(const ExtendedFloat& a, const ExtendedFloat& b);
  friend ExtendedFloat operator-(const ExtendedFloat& a, const ExtendedFloat& b) { return a + -b; }
  friend ExtendedFloat operator*(const ExtendedFloat& a, const ExtendedFloat& b);
  // b must not be 0.
  friend ExtendedFloat operator/(const ExtendedFloat& a, const ExtendedFloat& b);
  ExtendedFloat operator-() const {
    ExtendedFloat r = *this;
    r.negative_ = !r.negative_;
    return r;
  }

  friend bool operator==(const ExtendedFloat& a, const ExtendedFloat& b) {
    return (a <=> b) == std::strong_ordering::equal;
  }
  friend std::strong_ordering operator<=>(const ExtendedFloat& a, const ExtendedFloat& b);

  // Rounded to the nearest double, ties to even, below the normal range to the nearest
  // subnormal; the value must not lie above the largest double.
  double ToDouble() const;
  // The integer part; the magnitude must be below 2^63.
  std::int64_t TowardZero() const;

  // The value is significand() * 2^(exponent() - 63), negated when negative(); the
  // significand's top bit is set, or it is 0 for a zero.
  bool negative() const { return negative_; }
  int exponent() const { return exponent_; }
  std::uint64_t significand() const { return significand_; }

 private:
  bool negative_ = false;
  int exponent_ = 0;
  std::uint64_t significand_ = 0;

  bool IsZero() const { return significand_ == 0; }
  // The nearest value to significand * 2^(exponent - 63) + round/2 + sticky (a bit below
  // it), the significand normalised.
  static ExtendedFloat Rounded(bool negative, int exponent, std::uint64_t significand, bool round,
                               bool sticky);
};

}  // namespace ombrix
