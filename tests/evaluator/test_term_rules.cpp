// The rules both readings of a term share, where a fault would show in both alike and
// so never as a difference between them.
#include "logic/evaluator/term_rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "logic/complex/bits.h"
#include "tests/support/recording.h"

namespace ombrix {
namespace {

// Sums (of a value and itself) and squares about the bounds of their quick tests meet the
// operators' checked steps and the overflow test.
TEST(SumAndSquare, MeetTheCheckedSteps) {
  const std::tuple<const char*, TComplex, TComplex> rows[] = {
      {"tiny parts cut", {1E-15, 2}, {1E-8, 2}},
      {"beside the limit", {5E99, 1E-15}, {5E49, 5E49}},
      {"past the limit", {6E99, 0}, {7.1E49, 7.1E49}}};
  testing::RecordingMessageBoxes boxes;
  for (const auto& [name, a, root] : rows) {
    double products = 0;
    TComplex sum = a, power, square = ComplexPowInt(root, 2, boxes);
    EXPECT_TRUE(SumStep('+', a, sum) != Overflows(a + a) && sum == a + a) << name;
    EXPECT_TRUE((PowerOf(root, {2, 0}, {products, 1E9, boxes, nullptr, nullptr}, power) ==
                 PassFailure::None) != Overflows(square) &&
                (Overflows(square) || power == square))
        << name;
  }
}

// The remainder's integer path gives fmod's bits, a zero's sign included, up to 2^53.
TEST(Remainder, HasTheBitsOfFmod) {
  const std::tuple<const char*, double, double> rows[] = {
      {"a zero of a negative", -6, 3},
      {"a negative divisor", 7, -2},
      {"a sum just below 2^53", 0x1p53 - 11, 10},
      {"a fraction", 7, 2.5},
      {"not a number", std::nan(""), 2}};
  const auto bits = [](double x) { return BitCast<std::uint64_t>(x); };
  for (const auto& [name, a, b] : rows) {
    EXPECT_EQ(bits(Remainder(a, b)), bits(std::fmod(a, b))) << name;
  }
}

TEST(Normalise, LowerCaseWithoutBlanks) {
  struct Row {
    const char* name;
    std::string term;
    std::string expected;
  };
  const Row rows[] = {
      {"already normal", "sin(x)+1", "sin(x)+1"},
      {"blanks anywhere", " s i n ( x ) ", "sin(x)"},
      {"only blanks", "   ", ""},
      {"upper case", "SIN(X)", "sin(x)"},
      {"umlauts", "\xC4\xD6\xDC", "\xE4\xF6\xFC"},
      {"letters above 0x80", "\x8A\x8C\x8E\x9F", "\x9A\x9C\x9E\xFF"},
      {"sharp s and lower umlauts stay", "\xDF\xE4", "\xDF\xE4"},
      {"tabs and other controls stay", "A\tB\x01", "a\tb\x01"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Normalise(row.term), row.expected);
    if (row.term.find(' ') == std::string::npos) {
      std::string lowered = row.term;
      LowerInPlace(lowered);
      EXPECT_EQ(lowered, row.expected);
    }
  }
}

// The splits of a whole chain: every split of the right side after the one before.
std::vector<std::size_t> Splits(std::string_view text) {
  ComparisonFinder finder(text);
  std::vector<std::size_t> splits;
  for (std::size_t from = 0;;) {
    const std::size_t split = finder.Split(from);
    if (split == std::string_view::npos) return splits;
    splits.push_back(split);
    from = split + 1;
  }
}

TEST(ComparisonFinder, SplitsAtTheLargestFirstOccurrence) {
  struct Row {
    const char* name;
    const char* text;
    std::vector<std::size_t> splits;
  };
  const Row rows[] = {
      {"none", "1+2", {}},
      {"one", "1<2", {1}},
      {"a later kind wins", "1<2=1", {3}},
      {"the first of one kind", "1<2<3", {1, 3}},
      {"all five", "1~2#3>4=5<6", {9}},
      {"all five backwards", "1<2=3>4#5~6", {9}},
      {"a chain of two kinds", "1=2<3=4<5", {3, 7}},
      {"at the ends", "<1=", {2}},
  };
  const std::string padding(80, '0');
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Splits(row.text), row.splits);
    // Long texts are searched another way; the splits must be the same.
    std::vector<std::size_t> padded = row.splits;
    for (std::size_t& split : padded) split += padding.size();
    EXPECT_EQ(Splits(padding + row.text), padded);
  }
}

TEST(StartLevel, ChecksBeforeTheCalls) {
  constexpr EvalBounds kSmall{2, 0, 0, 0, 10};
  struct Row {
    const char* name;
    const char* text;
    int depth;
    LevelStart expected;
  };
  const Row rows[] = {
      {"plain", "1+2", 0, LevelStart::Go},
      {"bracket counts differ", "(1", 0, LevelStart::BadBrackets},
      {"an error text", "?5x !", 0, LevelStart::ErrorText},
      {"an error text with odd brackets", "?(", 0, LevelStart::BadBrackets},
      {"nesting at the bound", "((1))", 0, LevelStart::Go},
      {"nesting past the bound", "(((1)))", 0, LevelStart::TooDeep},
      {"deeper levels do not count nesting", "(((1)))", 1, LevelStart::Go},
      {"a level at the bound", "1", 2, LevelStart::Go},
      {"a level past it", "1", 3, LevelStart::TooDeep},
      {"more text than may be read", "12345678901", 0, LevelStart::TooDeep},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::size_t read = 0;
    EXPECT_EQ(StartLevel(row.text, row.depth, read, kSmall), row.expected);
  }
  // The text read adds up over the levels of one evaluation.
  std::size_t read = 0;
  EXPECT_EQ(StartLevel("12345", 0, read, kSmall), LevelStart::Go);
  EXPECT_EQ(StartLevel("12345", 1, read, kSmall), LevelStart::Go);
  EXPECT_EQ(StartLevel("1", 1, read, kSmall), LevelStart::TooDeep);
}

}  // namespace
}  // namespace ombrix
