// The integers and binary pieces the exact decimal conversions share: a number in limbs
// large enough for an 801-digit text, and a double taken apart into m * 2^e.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cstdint>

#include "logic/complex/bits.h"

namespace ombrix::exact_decimal {

// A non-negative integer in 32-bit limbs, least significant first, without leading zero
// limbs. The largest number formed here is below 2^2700: a 801-digit text compared with
// a midpoint between two doubles (see CompareWithMidpoint).
class Big {
 public:
  Big() = default;
  explicit Big(std::uint64_t v) {
    limbs_[0] = static_cast<std::uint32_t>(v);
    limbs_[1] = static_cast<std::uint32_t>(v >> 32);
    size_ = 2;
    Trim();
  }

  bool IsZero() const { return size_ == 0; }

  void MulAddSmall(std::uint32_t factor, std::uint32_t add) {
    std::uint64_t carry = add;
    for (int i = 0; i < size_; ++i) {
      const std::uint64_t p = std::uint64_t{limbs_[i]} * factor + carry;
      limbs_[i] = static_cast<std::uint32_t>(p);
      carry = p >> 32;
    }
    if (carry != 0) Push(static_cast<std::uint32_t>(carry));
  }
  void MulSmall(std::uint32_t factor) { MulAddSmall(factor, 0); }

  void MulPow5(int k) {
    constexpr std::uint32_t kPow5To13 = 1220703125;
    for (; k >= 13; k -= 13) MulSmall(kPow5To13);
    std::uint32_t rest = 1;
    for (; k > 0; --k) rest *= 5;
    if (rest != 1) MulSmall(rest);
  }

  void ShiftLeft(int bits) {
    if (size_ == 0 || bits == 0) return;
    const int words = bits / 32;
    const int rest = bits % 32;
    assert(size_ + words + 1 <= kLimbs);
    if (rest == 0) {
      for (int i = size_ - 1; i >= 0; --i) limbs_[i + words] = limbs_[i];
    } else {
      limbs_[size_ + words] = limbs_[size_ - 1] >> (32 - rest);
      for (int i = size_ - 1; i > 0; --i) {
        limbs_[i + words] = (limbs_[i] << rest) | (limbs_[i - 1] >> (32 - rest));
      }
      limbs_[words] = limbs_[0] << rest;
      ++size_;
    }
    std::fill(limbs_.begin(), limbs_.begin() + words, 0u);
    size_ += words;
    Trim();
  }

  void MulPow10(int k) {
    MulPow5(k);
    ShiftLeft(k);
  }

  void Add(const Big& other) {
    const int n = std::max(size_, other.size_);
    std::uint64_t carry = 0;
    for (int i = 0; i < n; ++i) {
      const std::uint64_t sum = std::uint64_t{Limb(i)} + other.Limb(i) + carry;
      limbs_[i] = static_cast<std::uint32_t>(sum);
      carry = sum >> 32;
    }
    size_ = n;
    if (carry != 0) Push(static_cast<std::uint32_t>(carry));
  }

  // *this -= other * factor; the result must not be negative.
  void SubMul(const Big& other, std::uint32_t factor) {
    std::uint64_t carry = 0;
    std::uint64_t borrow = 0;
    for (int i = 0; i < size_; ++i) {
      const std::uint64_t p = std::uint64_t{other.Limb(i)} * factor + carry;
      carry = p >> 32;
      const std::uint64_t sub = (p & 0xFFFFFFFFu) + borrow;
      borrow = sub > limbs_[i] ? 1 : 0;
      limbs_[i] = static_cast<std::uint32_t>(limbs_[i] - sub);
    }
    Trim();
  }

  // The quotient of *this by `divisor` (at most a few digits), *this becoming the
  // remainder. The top limbs give a quotient never too large; what is left is taken off
  // one divisor at a time.
  std::uint32_t DivSmallQuotient(const Big& divisor) {
    const int n = divisor.size_;
    if (size_ < n) return 0;
    const std::uint64_t top = (std::uint64_t{Limb(n)} << 32) | Limb(n - 1);
    auto quotient = static_cast<std::uint32_t>(top / (std::uint64_t{divisor.limbs_[n - 1]} + 1));
    if (quotient != 0) SubMul(divisor, quotient);
    while (Compare(*this, divisor) >= 0) {
      SubMul(divisor, 1);
      ++quotient;
    }
    return quotient;
  }

  friend int Compare(const Big& a, const Big& b) {
    if (a.size_ != b.size_) return a.size_ < b.size_ ? -1 : 1;
    for (int i = a.size_ - 1; i >= 0; --i) {
      if (a.limbs_[i] != b.limbs_[i]) return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
    }
    return 0;
  }

 private:
  static constexpr int kLimbs = 96;

  std::uint32_t Limb(int i) const { return i < size_ ? limbs_[i] : 0; }
  void Push(std::uint32_t limb) {
    assert(size_ < kLimbs);
    limbs_[size_++] = limb;
  }
  void Trim() {
    while (size_ > 0 && limbs_[size_ - 1] == 0) --size_;
  }

  std::array<std::uint32_t, kLimbs> limbs_{};
  int size_ = 0;
};

inline Big Sum(Big a, const Big& b) {
  a.Add(b);
  return a;
}

inline Big Times(Big a, std::uint32_t factor) {
  a.MulSmall(factor);
  return a;
}

// A positive finite double (or 0) as m * 2^e exactly, m below 2^53.
struct Binary {
  std::uint64_t m;
  int e;
};

inline Binary Decompose(double magnitude) {
  const auto bits = BitCast<std::uint64_t>(magnitude);
  const auto biased = static_cast<int>(bits >> 52);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased == 0) return {fraction, -1074};
  return {fraction | (std::uint64_t{1} << 52), biased - 1075};
}

inline int BitLength(std::uint64_t v) { return static_cast<int>(std::bit_width(v)); }

// floor(log10(2^b)), or one off: where the digits start, before the exact check.
inline int DecimalExponentGuess(const Binary& v) {
  const int b = v.e + BitLength(v.m) - 1;
  return (b * 315653) >> 20;
}

}  // namespace ombrix::exact_decimal
