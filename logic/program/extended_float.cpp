#include "logic/program/extended_float.h"

#include <algorithm>
#include <bit>

#include "logic/complex/bits.h"
#include "logic/complex/wide_multiply.h"

namespace ombrix {

namespace {

constexpr std::uint64_t kTopBit = std::uint64_t{1} << 63;

// 128 bits as two halves.
struct Wide {
  std::uint64_t hi;
  std::uint64_t lo;
};

Wide Product(std::uint64_t a, std::uint64_t b) {
  const WideProduct p = MultiplyWide(a, b);
  return {p.high, p.low};
}

// Shifted right by `n`; any bit shifted out sets the lowest bit, which keeps the rounding
// right as long as 64 bits lie below the significand.
Wide ShiftRightJam(Wide x, int n) {
  if (n == 0) return x;
  if (n >= 128) return {0, (x.hi | x.lo) != 0 ? 1u : 0u};
  if (n >= 64) {
    const std::uint64_t lost = x.lo | (n > 64 ? x.hi << (128 - n) : 0);
    return {0, (n == 64 ? x.hi : x.hi >> (n - 64)) | (lost != 0 ? 1u : 0u)};
  }
  const std::uint64_t lost = x.lo << (64 - n);
  return {x.hi >> n, (x.lo >> n) | (x.hi << (64 - n)) | (lost != 0 ? 1u : 0u)};
}

int LeadingZeros(std::uint64_t x) { return std::countl_zero(x); }

// (high * 2^64) / divisor and its remainder, for high below the divisor, whose top bit is
// set: two quotient digits of 32 bits, each estimated from the divisor's upper half and
// corrected (Knuth's algorithm D).
std::uint64_t DivideWide(std::uint64_t high, std::uint64_t divisor, std::uint64_t& remainder) {
  constexpr std::uint64_t kBase = std::uint64_t{1} << 32;
  const std::uint64_t d1 = divisor >> 32, d0 = divisor & 0xFFFFFFFFu;
  std::uint64_t rest = high;
  std::uint64_t quotient = 0;
  for (int digit = 0; digit < 2; ++digit) {
    std::uint64_t q = rest / d1;
    std::uint64_t r = rest - q * d1;
    while (q >= kBase || q * d0 > (r << 32)) {
      --q;
      r += d1;
      if (r >= kBase) break;
    }
    rest = (rest << 32) - q * divisor;  // the true value is below the divisor
    quotient = (quotient << 32) | q;
  }
  remainder = rest;
  return quotient;
}

}  // namespace

ExtendedFloat::ExtendedFloat(double x) {
  const auto bits = BitCast<std::uint64_t>(x);
  negative_ = (bits >> 63) != 0;
  const auto biased = static_cast<int>((bits >> 52) & 0x7FF);
  std::uint64_t m = bits & ((std::uint64_t{1} << 52) - 1);
  int e = biased - 1075;  // x = m * 2^e
  if (biased == 0) {
    e = -1074;
  } else {
    m |= std::uint64_t{1} << 52;
  }
  if (m == 0) return;
  const int shift = LeadingZeros(m);
  significand_ = m << shift;
  exponent_ = e + 63 - shift;
}

ExtendedFloat ExtendedFloat::Rounded(bool negative, int exponent, std::uint64_t significand,
                                     bool round, bool sticky) {
  ExtendedFloat r;
  r.negative_ = negative;
  r.exponent_ = exponent;
  r.significand_ = significand;
  if (round && (sticky || (significand & 1) != 0)) {
    if (++r.significand_ == 0) {
      r.significand_ = kTopBit;
      ++r.exponent_;
    }
  }
  return r;
}

ExtendedFloat operator+(const ExtendedFloat& a, const ExtendedFloat& b) {
  if (a.IsZero() && b.IsZero()) {
    ExtendedFloat zero;
    zero.negative_ = a.negative_ && b.negative_;
    return zero;
  }
  if (b.IsZero()) return a;
  if (a.IsZero()) return b;
  const bool b_larger =
      b.exponent_ > a.exponent_ || (b.exponent_ == a.exponent_ && b.significand_ > a.significand_);
  const ExtendedFloat& large = b_larger ? b : a;
  const ExtendedFloat& small = b_larger ? a : b;
  // The larger significand over 64 zero bits, the smaller one shifted into place.
  const std::uint64_t x = large.significand_;
  const Wide y =
      ShiftRightJam({small.significand_, 0}, std::min(large.exponent_ - small.exponent_, 128));
  int exponent = large.exponent_;
  Wide sum{};
  if (large.negative_ == small.negative_) {
    sum = {x + y.hi, y.lo};
    if (sum.hi < x) {  // a carry out of the top
      sum = ShiftRightJam(sum, 1);
      sum.hi |= kTopBit;
      ++exponent;
    }
  } else {
    sum = {x - y.hi - (y.lo != 0 ? 1 : 0), 0 - y.lo};
    if (sum.hi == 0 && sum.lo == 0) return ExtendedFloat();  // x - x is +0
    const int shift = sum.hi != 0 ? LeadingZeros(sum.hi) : 64 + LeadingZeros(sum.lo);
    if (shift >= 64) {
      sum = {sum.lo << (shift - 64), 0};
    } else if (shift > 0) {
      sum = {(sum.hi << shift) | (sum.lo >> (64 - shift)), sum.lo << shift};
    }
    exponent -= shift;
  }
  return ExtendedFloat::Rounded(large.negative_, exponent, sum.hi, (sum.lo & kTopBit) != 0,
                                (sum.lo << 1) != 0);
}

ExtendedFloat operator*(const ExtendedFloat& a, const ExtendedFloat& b) {
  const bool negative = a.negative_ != b.negative_;
  if (a.IsZero() || b.IsZero()) {
    ExtendedFloat zero;
    zero.negative_ = negative;
    return zero;
  }
  Wide p = Product(a.significand_, b.significand_);
  int exponent = a.exponent_ + b.exponent_;
  if ((p.hi & kTopBit) == 0) {
    p = {(p.hi << 1) | (p.lo >> 63), p.lo << 1};
  } else {
    ++exponent;
  }
  return ExtendedFloat::Rounded(negative, exponent, p.hi, (p.lo & kTopBit) != 0, (p.lo << 1) != 0);
}

// The quotient of the significands with one bit more than the result keeps, and the
// remainder for the rest.
ExtendedFloat operator/(const ExtendedFloat& a, const ExtendedFloat& b) {
  const bool negative = a.negative_ != b.negative_;
  if (a.IsZero()) {
    ExtendedFloat zero;
    zero.negative_ = negative;
    return zero;
  }
  const std::uint64_t divisor = b.significand_;
  std::uint64_t dividend = a.significand_;
  int exponent = a.exponent_ - b.exponent_;
  // Both significands lie in [2^63, 2^64): their quotient in (1/2, 2).
  const bool at_least_one = dividend >= divisor;
  if (at_least_one) dividend -= divisor;
  std::uint64_t rest = 0;
  const std::uint64_t fraction = DivideWide(dividend, divisor, rest);
  if (at_least_one) {
    return ExtendedFloat::Rounded(negative, exponent, kTopBit | (fraction >> 1),
                                  (fraction & 1) != 0, rest != 0);
  }
  // Below one: the fraction's top bit is set, and the next bit comes from the remainder.
  const bool carry = (rest & kTopBit) != 0;
  rest <<= 1;
  const bool round = carry || rest >= divisor;
  if (round) rest -= divisor;
  return ExtendedFloat::Rounded(negative, exponent - 1, fraction, round, rest != 0);
}

std::strong_ordering operator<=>(const ExtendedFloat& a, const ExtendedFloat& b) {
  const auto sign = [](const ExtendedFloat& x) { return x.IsZero() ? 0 : (x.negative_ ? -1 : 1); };
  if (sign(a) != sign(b) || sign(a) == 0) return sign(a) <=> sign(b);
  std::strong_ordering magnitude = a.exponent_ <=> b.exponent_;
  if (magnitude == std::strong_ordering::equal) magnitude = a.significand_ <=> b.significand_;
  return a.negative_ ? 0 <=> magnitude : magnitude;
}

double ExtendedFloat::ToDouble() const {
  const std::uint64_t sign = negative_ ? kTopBit : 0;
  if (IsZero()) return BitCast<double>(sign);
  std::uint64_t mantissa = 0;
  bool round = false;
  bool sticky = false;
  std::uint64_t biased = 0;
  if (exponent_ >= -1022) {
    mantissa = significand_ >> 11;
    round = ((significand_ >> 10) & 1) != 0;
    sticky = (significand_ & 0x3FF) != 0;
    biased = static_cast<std::uint64_t>(exponent_) + 1023;  // exponent_ >= -1022
  } else {
    // In units of the least subnormal, 2^-1074.
    const int shift = -(exponent_ + 1011);
    if (shift > 64) {
      sticky = true;
    } else if (shift == 64) {
      round = (significand_ & kTopBit) != 0;
      sticky = (significand_ << 1) != 0;
    } else {
      mantissa = significand_ >> shift;
      round = ((significand_ >> (shift - 1)) & 1) != 0;
      sticky = (significand_ & ((std::uint64_t{1} << (shift - 1)) - 1)) != 0;
    }
  }
  if (round && (sticky || (mantissa & 1) != 0)) ++mantissa;
  if (biased == 0) return BitCast<double>(sign | mantissa);  // a carry makes the least normal
  if (mantissa == std::uint64_t{1} << 53) {
    mantissa >>= 1;
    ++biased;
  }
  return BitCast<double>(sign | (biased << 52) | (mantissa & ((std::uint64_t{1} << 52) - 1)));
}

std::int64_t ExtendedFloat::TowardZero() const {
  if (IsZero() || exponent_ < 0) return 0;
  const auto magnitude = static_cast<std::int64_t>(significand_ >> (63 - exponent_));
  return negative_ ? -magnitude : magnitude;
}

}  // namespace ombrix
