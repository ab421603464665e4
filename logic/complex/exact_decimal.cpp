#include "logic/complex/exact_decimal.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "logic/complex/bits.h"

namespace ombrix {

namespace {

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

Big Sum(Big a, const Big& b) {
  a.Add(b);
  return a;
}

Big Times(Big a, std::uint32_t factor) {
  a.MulSmall(factor);
  return a;
}

// A positive finite double (or 0) as m * 2^e exactly, m below 2^53.
struct Binary {
  std::uint64_t m;
  int e;
};

Binary Decompose(double magnitude) {
  const auto bits = BitCast<std::uint64_t>(magnitude);
  const auto biased = static_cast<int>(bits >> 52);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased == 0) return {fraction, -1074};
  return {fraction | (std::uint64_t{1} << 52), biased - 1075};
}

int BitLength(std::uint64_t v) { return static_cast<int>(std::bit_width(v)); }

// floor(log10(2^b)), or one off: where the digits start, before the exact check.
int DecimalExponentGuess(const Binary& v) {
  const int b = v.e + BitLength(v.m) - 1;
  return (b * 315653) >> 20;
}

// r / s = v * 10^-k: the fraction whose integer part is the first digit of v.
struct Scaled {
  Big r;
  Big s;
  int k;
};

Scaled ScaleToFirstDigit(const Binary& v) {
  Scaled out{Big(v.m), Big(1), DecimalExponentGuess(v)};
  if (v.e >= 0) {
    out.r.ShiftLeft(v.e);
  } else {
    out.s.ShiftLeft(-v.e);
  }
  if (out.k >= 0) {
    out.s.MulPow10(out.k);
  } else {
    out.r.MulPow10(-out.k);
  }
  while (Compare(out.r, out.s) < 0) {
    out.r.MulSmall(10);
    --out.k;
  }
  for (Big ten_s = Times(out.s, 10); Compare(out.r, ten_s) >= 0; ten_s = Times(out.s, 10)) {
    out.s = ten_s;
    ++out.k;
  }
  return out;
}

// Writes "e+XX": the sign and at least two digits, as printf's %e does.
char* PutExponent(char* p, int exponent) {
  *p++ = 'e';
  *p++ = exponent < 0 ? '-' : '+';
  const int magnitude = exponent < 0 ? -exponent : exponent;
  char digits[8];
  int n = 0;
  for (int m = magnitude; m > 0 || n < 2; m /= 10) digits[n++] = static_cast<char>('0' + m % 10);
  while (n > 0) *p++ = digits[--n];
  return p;
}

int ExponentLength(int exponent) {
  const int magnitude = exponent < 0 ? -exponent : exponent;
  return magnitude >= 100 ? 5 : 4;  // "e+XX" or "e+XXX"
}

// The room a shortest text may need: a sign, 17 digits, a point and "e-308".
constexpr std::ptrdiff_t kShortestRoom = 32;

std::to_chars_result TooSmall(char* last) { return {last, std::errc::value_too_large}; }

#if defined(__SIZEOF_INT128__)
// The first `count` digits (at most 18) of v > 0 rounded half to even, and the place k of
// the first, where v * 10^(count - 1 - k) is formed exactly in 128 bits: from about 1E-10
// to 1E38, most values. False elsewhere.
bool WideDigits(const Binary& v, int count, char* digits, int& k) {
  using Wide = unsigned __int128;
  constexpr std::array<std::uint64_t, 28> kPowersOf5 = [] {
    std::array<std::uint64_t, 28> p{};
    p[0] = 1;
    for (std::size_t i = 1; i < p.size(); ++i) p[i] = p[i - 1] * 5;
    return p;
  }();
  constexpr std::array<std::uint64_t, 20> kPowersOf10 = [] {
    std::array<std::uint64_t, 20> p{};
    p[0] = 1;
    for (std::size_t i = 1; i < p.size(); ++i) p[i] = p[i - 1] * 10;
    return p;
  }();
  const std::uint64_t low = kPowersOf10[static_cast<std::size_t>(count - 1)];
  const std::uint64_t high = low * 10;
  k = DecimalExponentGuess(v);
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int t = count - 1 - k;
    Wide whole = 0;
    bool above_half = false;
    bool at_half = false;
    if (t >= 0) {
      if (t >= static_cast<int>(kPowersOf5.size())) return false;
      const Wide product = Wide{v.m} * kPowersOf5[static_cast<std::size_t>(t)];  // < 2^116
      const int shift = v.e + t;
      if (shift >= 0) {
        if (shift > 11) return false;
        whole = product << shift;
      } else {
        if (shift <= -128) return false;
        whole = product >> -shift;
        const Wide rest = product & ((Wide{1} << -shift) - 1);
        const Wide half = Wide{1} << (-shift - 1);
        above_half = rest > half;
        at_half = rest == half;
      }
    } else {
      const int u = -t;
      if (u >= static_cast<int>(kPowersOf10.size()) || v.e < 0 || v.e > 74) return false;
      const Wide value = Wide{v.m} << v.e;
      const std::uint64_t divisor = kPowersOf10[static_cast<std::size_t>(u)];
      whole = value / divisor;
      const Wide twice_rest = (value % divisor) * 2;
      above_half = twice_rest > divisor;
      at_half = twice_rest == divisor;
    }
    if (whole < low) {
      --k;
      continue;
    }
    if (whole >= high) {
      ++k;
      continue;
    }
    auto d = static_cast<std::uint64_t>(whole);
    if (above_half || (at_half && (d & 1) != 0)) ++d;
    if (d == high) {
      d = low;
      ++k;
    }
    for (int i = count - 1; i >= 0; --i, d /= 10) digits[i] = static_cast<char>('0' + d % 10);
    return true;
  }
  return false;
}
#endif

// The first `count` digits of v > 0 rounded half to even, and the place k of the first.
void SignificantDigits(const Binary& v, int count, char* digits, int& k) {
#if defined(__SIZEOF_INT128__)
  if (count <= 18 && WideDigits(v, count, digits, k)) return;
#endif
  Scaled scaled = ScaleToFirstDigit(v);
  k = scaled.k;
  for (int i = 0; i < count; ++i) {
    if (i > 0) scaled.r.MulSmall(10);
    digits[i] = static_cast<char>('0' + scaled.r.DivSmallQuotient(scaled.s));
  }
  const int half = Compare(Times(scaled.r, 2), scaled.s);
  if (half > 0 || (half == 0 && (digits[count - 1] - '0') % 2 == 1)) {
    int i = count - 1;
    while (i >= 0 && digits[i] == '9') digits[i--] = '0';
    if (i < 0) {
      digits[0] = '1';
      ++k;
    } else {
      ++digits[i];
    }
  }
}

}  // namespace

std::to_chars_result ExactScientificChars(char* first, char* last, double x, int precision) {
  precision = std::clamp(precision, 0, 40);
  if (last - first < precision + 8) return TooSmall(last);
  char digits[48];
  int k = 0;
  if (x == 0.0) {
    std::fill(digits, digits + precision + 1, '0');
  } else {
    SignificantDigits(Decompose(x < 0 ? -x : x), precision + 1, digits, k);
  }
  char* p = first;
  if (std::signbit(x)) *p++ = '-';
  *p++ = digits[0];
  if (precision > 0) {
    *p++ = '.';
    p = std::copy(digits + 1, digits + precision + 1, p);
  }
  return {PutExponent(p, k), std::errc()};
}

namespace {

// The shortest digits that read back as v > 0 (Steele and White's free-format digits, as
// Burger and Dybvig give them): v lies in [low, high], the halves of the gaps to its
// neighbours, ends included when the significand is even (reading rounds ties to even).
// Returns the digit count; v is then about 0.d1d2... * 10^k.
int ShortestDigits(double v, char* digits, int& k) {
  const Binary b = Decompose(v);
  const bool even = b.m % 2 == 0;
  // Below a power of two the gap is half as wide.
  const bool unequal = b.m == (std::uint64_t{1} << 52) && b.e > -1074;
  const int r_shift = unequal ? 2 : 1;
  Big r(b.m);
  Big s(1);
  Big high(unequal ? 2 : 1);
  Big low(1);
  if (b.e >= 0) {
    r.ShiftLeft(b.e + r_shift);
    s.ShiftLeft(r_shift);
    high.ShiftLeft(b.e);
    low.ShiftLeft(b.e);
  } else {
    r.ShiftLeft(r_shift);
    s.ShiftLeft(r_shift - b.e);
  }
  k = DecimalExponentGuess(b) - 1;  // never above the first digit's place
  if (k >= 0) {
    s.MulPow10(k);
  } else {
    r.MulPow10(-k);
    high.MulPow10(-k);
    low.MulPow10(-k);
  }
  const auto above = [even](const Big& rest, const Big& margin, const Big& scale) {
    const int c = Compare(Sum(rest, margin), scale);
    return even ? c >= 0 : c > 0;
  };
  while (above(r, high, s)) {
    s.MulSmall(10);
    ++k;
  }
  int n = 0;
  for (;;) {
    r.MulSmall(10);
    high.MulSmall(10);
    low.MulSmall(10);
    auto digit = static_cast<int>(r.DivSmallQuotient(s));
    const int c_low = Compare(r, low);
    const bool near_low = even ? c_low <= 0 : c_low < 0;
    const bool near_high = above(r, high, s);
    if (!near_low && !near_high) {
      digits[n++] = static_cast<char>('0' + digit);
      continue;
    }
    if (near_low && near_high) {
      const int half = Compare(Times(r, 2), s);
      if (half > 0 || (half == 0 && digit % 2 == 1)) ++digit;
    } else if (near_high) {
      ++digit;
    }
    digits[n++] = static_cast<char>('0' + digit);
    return n;
  }
}

}  // namespace

std::to_chars_result ExactShortestChars(char* first, char* last, double x) {
  if (last - first < kShortestRoom) return TooSmall(last);
  char* p = first;
  if (std::signbit(x)) *p++ = '-';
  if (x == 0.0) {
    *p++ = '0';
    return {p, std::errc()};
  }
  char digits[24];
  int k = 0;
  const int n = ShortestDigits(x < 0 ? -x : x, digits, k);
  const int scientific = n + (n > 1 ? 1 : 0) + ExponentLength(k - 1);
  const int fixed = k <= 0 ? 2 - k + n : (k < n ? n + 1 : k);
  if (scientific < fixed) {
    *p++ = digits[0];
    if (n > 1) {
      *p++ = '.';
      p = std::copy(digits + 1, digits + n, p);
    }
    return {PutExponent(p, k - 1), std::errc()};
  }
  if (k <= 0) {
    *p++ = '0';
    *p++ = '.';
    p = std::fill_n(p, -k, '0');
    p = std::copy(digits, digits + n, p);
  } else if (k < n) {
    p = std::copy(digits, digits + k, p);
    *p++ = '.';
    p = std::copy(digits + k, digits + n, p);
  } else {
    // A whole number, written with all its digits as the library writes it, not with the
    // shortest digits and zeros.
    char exact[64];
    ExactScientificChars(exact, exact + sizeof exact, x < 0 ? -x : x, k - 1);
    *p++ = exact[0];
    if (k > 1) p = std::copy(exact + 2, exact + 1 + k, p);
  }
  return {p, std::errc()};
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A midpoint between two doubles has at most 767 significant digits, so a text with more
// compares with every one of them as its first 800 digits followed by a 1 do.
constexpr int kKeptDigits = 800;

// The significant digits of a number text and where they stand: the value is
// 0.d1d2...dn * 10^exponent, d1 not 0, dn not 0.
struct DecimalText {
  char digits[kKeptDigits + 1];
  int count = 0;
  long long exponent = 0;
};

// sign(digits * 10^q - midpoint * 2^p) for the text's digits `d` (as a number) and
// q = exponent - count.
int CompareWithMidpoint(const Big& d, long long q, std::uint64_t midpoint, int p) {
  Big left = d;
  Big right(midpoint);
  const auto q_int = static_cast<int>(q);
  if (q_int >= 0) {
    left.MulPow5(q_int);
  } else {
    right.MulPow5(-q_int);
  }
  if (q_int >= p) {
    left.ShiftLeft(q_int - p);
  } else {
    right.ShiftLeft(p - q_int);
  }
  return Compare(left, right);
}

double NextUp(double v) { return BitCast<double>(BitCast<std::uint64_t>(v) + 1); }
double NextDown(double v) { return BitCast<double>(BitCast<std::uint64_t>(v) - 1); }

// The nearest double to 0.digits * 10^exponent when the first 19 digits scaled in
// doubles are a few units off at most; 0 or infinite where the text rounds so far.
double NearestDouble(const DecimalText& text, bool& out_of_range) {
  out_of_range = false;
  const int first = std::min(text.count, 19);
  std::uint64_t leading = 0;
  for (int i = 0; i < first; ++i)
    leading = leading * 10 + static_cast<unsigned>(text.digits[i] - '0');
  auto guess = static_cast<double>(leading);
  for (auto q = static_cast<int>(text.exponent) - first; q != 0;) {
    const int step = std::clamp(q, -22, 22);
    double power = 1.0;
    for (int i = 0; i < (step < 0 ? -step : step); ++i) power *= 10.0;
    guess = step < 0 ? guess / power : guess * power;
    q -= step;
  }
  guess = std::clamp(guess, std::numeric_limits<double>::denorm_min(), DBL_MAX);

  Big d;
  for (int i = 0; i < text.count; ++i)
    d.MulAddSmall(10, static_cast<unsigned>(text.digits[i] - '0'));
  const long long q = text.exponent - text.count;
  for (;;) {
    const Binary g = Decompose(guess);
    const int up = CompareWithMidpoint(d, q, 2 * g.m + 1, g.e - 1);
    if (up > 0 || (up == 0 && g.m % 2 == 1)) {
      if (guess == DBL_MAX) {
        out_of_range = true;
        return 0.0;
      }
      guess = NextUp(guess);
      continue;
    }
    const double below = NextDown(guess);
    const Binary b = Decompose(below);
    const int down = CompareWithMidpoint(d, q, 2 * b.m + 1, b.e - 1);
    if (down < 0 || (down == 0 && b.m % 2 == 0)) {
      if (below == 0.0) {
        out_of_range = true;
        return 0.0;
      }
      guess = below;
      continue;
    }
    return guess;
  }
}

// The digits of [int_begin, int_end) and [frac_begin, frac_end) into `text`; false when
// all of them are zero.
bool CollectDigits(const char* int_begin, const char* int_end, const char* frac_begin,
                   const char* frac_end, DecimalText& text) {
  while (int_begin < int_end && *int_begin == '0') ++int_begin;
  long long exponent = int_end - int_begin;
  if (int_begin == int_end) {
    while (frac_begin < frac_end && *frac_begin == '0') {
      ++frac_begin;
      --exponent;
    }
    if (frac_begin == frac_end) return false;
  }
  bool dropped = false;  // a non-zero digit beyond the kept ones
  const auto take = [&](const char* begin, const char* end) {
    for (const char* c = begin; c < end; ++c) {
      if (text.count < kKeptDigits) {
        text.digits[text.count++] = *c;
      } else if (*c != '0') {
        dropped = true;
      }
    }
  };
  take(int_begin, int_end);
  take(frac_begin, frac_end);
  while (text.digits[text.count - 1] == '0') --text.count;
  if (dropped) text.digits[text.count++] = '1';
  text.exponent = exponent;
  return true;
}

}  // namespace

std::from_chars_result ExactFromChars(const char* first, const char* last, double& value) {
  const char* p = first;
  const bool negative = p < last && *p == '-';
  if (negative) ++p;
  const char* const int_begin = p;
  while (p < last && IsDigit(*p)) ++p;
  const char* const int_end = p;
  const char* frac_begin = p;
  const char* frac_end = p;
  if (p < last && *p == '.') {
    frac_begin = ++p;
    while (p < last && IsDigit(*p)) ++p;
    frac_end = p;
  }
  if (int_begin == int_end && frac_begin == frac_end) return {first, std::errc::invalid_argument};
  long long exponent = 0;
  if (p < last && (*p == 'e' || *p == 'E')) {
    const char* e = p + 1;
    const bool exp_negative = e < last && *e == '-';
    if (e < last && (*e == '-' || *e == '+')) ++e;
    if (e < last && IsDigit(*e)) {
      for (; e < last && IsDigit(*e); ++e) {
        if (exponent < 1000000000) exponent = exponent * 10 + (*e - '0');
      }
      if (exp_negative) exponent = -exponent;
      p = e;
    }
  }
  DecimalText text;
  if (!CollectDigits(int_begin, int_end, frac_begin, frac_end, text)) {
    value = negative ? -0.0 : 0.0;
    return {p, std::errc()};
  }
  text.exponent += exponent;
  // 10^309 and more overflow; below 10^-324 is less than half the least double.
  if (text.exponent >= 310 || text.exponent < -323) return {p, std::errc::result_out_of_range};
  double magnitude = 0.0;
  const long long q = text.exponent - text.count;
#if FLT_EVAL_METHOD == 0
  constexpr std::array<double, 23> kPowers = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (text.count <= 15 && q >= -22 && q <= 22) {
    // Digits and power both exact: one rounding, the right one.
    std::uint64_t digits = 0;
    for (int i = 0; i < text.count; ++i)
      digits = digits * 10 + static_cast<unsigned>(text.digits[i] - '0');
    const auto d = static_cast<double>(digits);
    magnitude = q >= 0 ? d * kPowers[static_cast<std::size_t>(q)]
                       : d / kPowers[static_cast<std::size_t>(-q)];
    value = negative ? -magnitude : magnitude;
    return {p, std::errc()};
  }
#endif
  bool out_of_range = false;
  magnitude = NearestDouble(text, out_of_range);
  if (out_of_range) return {p, std::errc::result_out_of_range};
  value = negative ? -magnitude : magnitude;
  return {p, std::errc()};
}

}  // namespace ombrix
