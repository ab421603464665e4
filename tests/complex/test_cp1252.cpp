#include <gtest/gtest.h>

#include <string>

#include "logic/complex/cp1252.h"
#include "logic/complex/fault.h"

namespace ombrix {
namespace {

TEST(LowerCase1252, LikeTheWindowsLocale) {
  struct Row {
    const char* in;
    const char* out;
  };
  const Row rows[] = {
      {"WENN", "wenn"},
      {"F\xDCR", "f\xFCr"},                      // FÜR
      {"\xC4\xD6\xDC", "\xE4\xF6\xFC"},          // ÄÖÜ
      {"\xDF", "\xDF"},                          // ß has no upper case here
      {"\xD7", "\xD7"},                          // × stays
      {"\xC0\xDE", "\xE0\xFE"},                  // À Þ
      {"\x8A\x8C\x8E\x9F", "\x9A\x9C\x9E\xFF"},  // Š Œ Ž Ÿ
      {"[1E5|2]", "[1e5|2]"},
      {"\xA7", "\xA7"},
  };
  for (const Row& row : rows) EXPECT_EQ(LowerCase1252(row.in), row.out) << row.in;
}

TEST(Utf8Conversion, RoundTripsEveryByte) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
}

TEST(Utf8Conversion, KnownCharacters) {
  EXPECT_EQ(Cp1252ToUtf8("f\xFCr \x80 \xA7"), "f\xC3\xBCr \xE2\x82\xAC \xC2\xA7");
  EXPECT_EQ(Utf8ToCp1252("Gr\303\266\303\237e"), "Gr\366\337e");
}

TEST(Utf8Conversion, WhatWindows1252CannotHoldBecomesQuestionMark) {
  EXPECT_EQ(Utf8ToCp1252("\xE4\xB8\xAD"), "?");        // a CJK character
  EXPECT_EQ(Utf8ToCp1252("\xF0\x9F\x98\x80x"), "?x");  // an emoji
  EXPECT_EQ(Utf8ToCp1252("a\377b"),
            "a?b");                      // an invalid byte
  EXPECT_EQ(Utf8ToCp1252("\xC3"), "?");  // cut short
  // Overlong forms, surrogates and code points beyond Unicode are no characters.
  // Each byte of such a sequence becomes "?".
  EXPECT_EQ(Utf8ToCp1252("\xC0\xAF"), "??");            // overlong "/"
  EXPECT_EQ(Utf8ToCp1252("\xE0\x82\xA7"), "???");       // overlong "\xA7"
  EXPECT_EQ(Utf8ToCp1252("\xED\xA0\x80"), "???");       // a surrogate
  EXPECT_EQ(Utf8ToCp1252("\xF4\x90\x80\x80"), "????");  // above U+10FFFF
}

TEST(FaultDisplayText, AddsFullStopAfterLettersOnly) {
  EXPECT_EQ(FaultDisplayText("Gleitkommadivision durch Null"), "Gleitkommadivision durch Null.");
  EXPECT_EQ(FaultDisplayText("Ende."), "Ende.");
  EXPECT_EQ(FaultDisplayText("Frage?"), "Frage?.");
  EXPECT_EQ(FaultDisplayText("a!"), "a!");
  EXPECT_EQ(FaultDisplayText(""), "");
}

}  // namespace
}  // namespace ombrix
