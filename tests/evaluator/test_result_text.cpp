#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <random>
#include <string>

#include "logic/complex/fault.h"
#include "logic/evaluator/result_text.h"
#include "tests/support/number_text_reference.h"
#include "tests/support/separator.h"

namespace ombrix {
namespace {

using testing::SeparatorScope;

TEST(IsRealText, CharactersOnlyNotOrder) {
  SeparatorScope sep(',');
  struct Row {
    const char* text;
    bool real;
  };
  const Row rows[] = {{"", true},       {"e", true},      {"+-", true},    {"1e5", true},
                      {"2,5", true},    {"1E5", true},    {"1.5", false},  {"2,5,1", false},
                      {"2i", false},    {"[1|2]", false}, {"1 2", false},  {"-1e-2", true},
                      {"2,5E-3", true}, {"E", true},      {"1E5X", false}, {"\304E", false},
                      {"1E5,,", false}};
  for (const Row& row : rows) EXPECT_EQ(IsRealText(row.text), row.real) << row.text;
}

TEST(IsRealText, PointSeparator) {
  SeparatorScope sep('.');
  EXPECT_TRUE(IsRealText("1.5"));
  EXPECT_FALSE(IsRealText("1,5"));
  EXPECT_FALSE(IsRealText("1.5.1"));
}

TEST(IsPairText, Forms) {
  SeparatorScope sep(',');
  struct Row {
    const char* text;
    bool pair;
  };
  const Row rows[] = {{"[1|2]", true},    {"[|]", true},      {"[1|2", false},    {"1|2]", false},
                      {"[1|2|3]", false}, {"[0,5|-1]", true}, {"[1E-5|0]", true}, {"[]", false},
                      {"[12]", false},    {"]", false},       {"[1|x]", false}};
  for (const Row& row : rows) EXPECT_EQ(IsPairText(row.text), row.pair) << row.text;
  EXPECT_TRUE(IsNumberText("[1|2]"));
  EXPECT_TRUE(IsNumberText("1"));
  EXPECT_FALSE(IsNumberText("?5x !"));
}

TEST(ParseNumberText, ValuesAndNonNumbers) {
  SeparatorScope sep(',');
  const TComplex error = ParseNumberText("?5x !");
  EXPECT_EQ(error.Re, 0);
  EXPECT_EQ(error.Im, 0);
  EXPECT_EQ(ParseNumberText("1").Re, 1);
  const TComplex z = ParseNumberText("[3|4]");
  EXPECT_EQ(z.Re, 3);
  EXPECT_EQ(z.Im, 4);
  // No zero cut on reading.
  EXPECT_EQ(ParseNumberText("[3|1E-15]").Im, 1E-15);
  EXPECT_EQ(ParseNumberText("[0,5|-1]").Re, 0.5);
  EXPECT_EQ(ParseNumberText("hallo").Re, 0);
}

TEST(ParseNumberText, TextsThatOnlyLookLikeNumbersFault) {
  SeparatorScope sep(',');
  const char* texts[] = {"1e2e3", "1ee2", "[|]", "[1|]", "e"};
  for (const char* text : texts) EXPECT_THROW(ParseNumberText(text), Fault) << text;
}

// A value exactly when IsNumberText says so, read part by part as the parse reads it;
// the same Fault where that faults.
TEST(ReadNumberText, OneLookAgreesWithTestThenParse) {
  std::mt19937 random(1110);
  int pairs = 0;
  for (const char sep : {',', '.'}) {
    SeparatorScope scope(sep);
    for (int k = 0; k < 20000; ++k) {
      std::string text = testing::RandomRealText(random, sep);
      if (random() % 3 != 0) {
        text = "[" + text + "|" + testing::RandomRealText(random, sep) + "]";
        if (random() % 10 == 0) text.erase(random() % text.size(), 1);
      }
      pairs += IsPairText(text);
      const std::string expected = testing::ReferenceNumberOutcome(text);
      ASSERT_EQ(testing::NumberOutcome([&] { return ReadNumberText(text); }), expected) << text;
      // The plans read their numbers without a fault: nothing where the text faults.
      const bool faults = expected.find("Gleitkomma") != std::string::npos;
      ASSERT_EQ(testing::NumberOutcome([&] { return ReadNumberTextIfSound(text); }),
                faults ? "none" : expected)
          << text;
      ASSERT_EQ(testing::NumberOutcome([&] { return std::optional{ParseNumberText(text)}; }),
                expected == "none" ? "0 0" : expected)
          << text;
    }
  }
  EXPECT_GT(pairs, 5000);
}

TEST(ToDisplayText, PairsBecomeDisplayForm) {
  SeparatorScope sep(',');
  EXPECT_EQ(ToDisplayText("[3|4]"), "3+4*i");
  EXPECT_EQ(ToDisplayText("1"), "1");
  EXPECT_EQ(ToDisplayText("?1'x' ?"), "?1'x' ?");
  EXPECT_EQ(ToDisplayText("[0,5|0]"), "0,5");
  SeparatorScope point('.');
  EXPECT_EQ(ToDisplayText("[0.5|-1]"), "0.5-i");
}

TEST(MakePairText, UsesTheSeparator) {
  {
    SeparatorScope sep(',');
    EXPECT_EQ(MakePairText({0.5, -1}), "[0,5|-1]");
    EXPECT_EQ(MakePairText({1E-5, 0}), "[1E-5|0]");
  }
  SeparatorScope sep('.');
  EXPECT_EQ(MakePairText({0.5, -1}), "[0.5|-1]");
}

// The separator passed in is the one written, whatever the current one is; whole numbers
// (their quick way) and cut digits alike.
TEST(PairText, WritesTheSeparatorPassedIn) {
  struct Row {
    const char* name;
    TComplex z;
    char separator;
    const char* text;
  };
  const Row rows[] = {
      {"WholeParts", {3, -4}, '.', "[3|-4]"},
      {"NegativeZeroParts", {-0.0, -0.0}, '.', "[0|0]"},
      {"LargestWholeBelowTenToFifteen", {999999999999999, -1}, ',', "[999999999999999|-1]"},
      {"TenToFifteenIsCut", {1E15, 1E14}, ',', "[1E15|100000000000000]"},
      {"FractionUnderPoint", {0.5, -2.5}, '.', "[0.5|-2.5]"},
      {"FractionUnderComma", {1.0 / 3, 1.5E-7}, ',', "[0,333333333333333|1,5E-7]"},
      {"SixteenDigitWholeNumber", {4503599627370497.0, 0}, '.', "[4.5035996273705E15|0]"},
      {"NotFinite",
       {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()},
       ',',
       "[INF|-INF]"},
  };
  for (const char current : {',', '.'}) {
    SeparatorScope sep(current);
    for (const Row& row : rows) {
      EXPECT_EQ(PairText(row.z, row.separator), row.text) << row.name << " under " << current;
    }
  }
}

TEST(ErrorMessageText, CodesAndCase) {
  struct Row {
    const char* text;
    const char* message;
  };
  const Row rows[] = {
      {"?0Division '/'", "? Unzul\xE4ssiges Argument bei Rechenoperator"},
      {"?1'x' ?", "? Syntaxfehler"},
      {"?2", "? Fehlerhafte 'Wenn'-Konstruktion"},
      {"?3", "? Fehlerhafte 'Solange'-Konstruktion"},
      {"?4", "? Fehlerhafte 'Wiederhole'-Konstruktion"},
      {"?5x !", "? Unbekannter Funktionsname"},
      {"?6'((2)' ?", "? Fehlerhafte Klammerung"},
      {"?7'[0|1]' ?", "? Unzul\xE4ssiges Argument in Funktion"},
      {"?8'200 !", "? Berechnung liefert zu gro\337es Ergebnis"},
      {"?9", "? Unbekanntes Kommando"},
      {"?A", "? Unbekannter Variablenname"},
      {"?a", "? Unbekannter Fehler"},  // lower-cased by the evaluator: no longer known
      {"??", "? Unbekannter Fehler"},
      {"[1|0]", "? Unbekannter Fehler"},
      {"?", "? Unbekannter Fehler"},
      {"", "? Unbekannter Fehler"},
  };
  for (const Row& row : rows) EXPECT_EQ(ErrorMessageText(row.text), row.message) << row.text;
}

}  // namespace
}  // namespace ombrix
