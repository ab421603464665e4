#include "logic/evaluator/result_text.h"

#include <array>

#include "logic/complex/cp1252.h"
#include "logic/complex/num_text.h"
#include "logic/evaluator/error_codes.h"

namespace ombrix {

namespace {

// The character test of IsRealText. A text is lower-cased only when it holds an "E",
// which is then read as "e"; every other character is tested as lower-casing leaves it.
bool IsRealTextAnyCase(std::string_view text) {
  const bool lower = text.find('E') != std::string_view::npos;
  const char sep = DecimalSeparator();
  int separators = 0;
  for (char c : text) {
    if (lower) c = LowerChar1252(c);
    if (c == sep) {
      if (++separators > 1) return false;
    } else if (!((c >= '0' && c <= '9') || c == '-' || c == '+' || c == 'e')) {
      return false;
    }
  }
  return true;
}

// Splits a pair text into its two parts; false when the text is no pair text.
bool SplitPair(std::string_view text, std::string_view& re, std::string_view& im) {
  if (text.size() < 2 || text.front() != '[' || text.back() != ']') return false;
  const std::size_t bar = text.find('|');
  if (bar == std::string_view::npos || bar >= text.size() - 1) return false;
  re = text.substr(1, bar - 1);
  im = text.substr(bar + 1, text.size() - bar - 2);
  return IsRealTextAnyCase(re) && IsRealTextAnyCase(im);
}

}  // namespace

bool IsRealText(std::string_view text) { return IsRealTextAnyCase(text); }

bool IsPairText(std::string_view text) {
  std::string_view re, im;
  return SplitPair(text, re, im);
}

bool IsNumberText(std::string_view text) { return IsPairText(text) || IsRealText(text); }

std::string PairText(TComplex z, char separator) {
  std::string out;
  out.reserve(32);
  out += '[';
  AppendRealText(out, z.Re, separator);
  out += '|';
  AppendRealText(out, z.Im, separator);
  out += ']';
  return out;
}

std::optional<TComplex> ReadNumberText(std::string_view text) {
  std::string_view re, im;
  if (SplitPair(text, re, im)) return TComplex{TextToReal(re), TextToReal(im)};
  if (IsRealText(text)) return ComplexFromReal(TextToReal(text));
  return std::nullopt;
}

std::optional<TComplex> ReadNumberTextIfSound(std::string_view text) {
  std::string_view re, im;
  double a = 0.0, b = 0.0;
  if (SplitPair(text, re, im)) {
    if (ReadReal(re, a) != RealRead::kNumber || ReadReal(im, b) != RealRead::kNumber) return {};
    return TComplex{a, b};
  }
  if (!IsRealText(text) || ReadReal(text, a) != RealRead::kNumber) return {};
  return ComplexFromReal(a);
}

TComplex ParseNumberText(std::string_view text) {
  return ReadNumberText(text).value_or(TComplex{});
}

std::string ToDisplayText(std::string_view text) {
  if (IsPairText(text)) return ComplexToText(ParseNumberText(text));
  return std::string(text);
}

namespace {

struct CodeMessage {
  ErrorCode code;
  const char* message;
};

// Looked up in this order; the first code that matches gives the message.
constexpr std::array<CodeMessage, 11> kErrorMessages = {{
    {ErrorCode::BadOperatorArgument, "? Unzul\xE4ssiges Argument bei Rechenoperator"},
    {ErrorCode::Syntax, "? Syntaxfehler"},
    {ErrorCode::BadWenn, "? Fehlerhafte 'Wenn'-Konstruktion"},
    {ErrorCode::BadSolange, "? Fehlerhafte 'Solange'-Konstruktion"},
    {ErrorCode::BadWiederhole, "? Fehlerhafte 'Wiederhole'-Konstruktion"},
    {ErrorCode::UnknownFunction, "? Unbekannter Funktionsname"},
    {ErrorCode::BadBrackets, "? Fehlerhafte Klammerung"},
    {ErrorCode::BadFunctionArgument, "? Unzul\xE4ssiges Argument in Funktion"},
    {ErrorCode::Overflow, "? Berechnung liefert zu gro\337es Ergebnis"},
    {ErrorCode::UnknownCommand, "? Unbekanntes Kommando"},
    {ErrorCode::UnknownVariable, "? Unbekannter Variablenname"},
}};

}  // namespace

std::string ErrorMessageText(std::string_view text) {
  if (text.size() >= 2 && text[0] == '?') {
    for (const CodeMessage& entry : kErrorMessages) {
      if (text[1] == CodeChar(entry.code)) return entry.message;
    }
  }
  return "? Unbekannter Fehler";
}

}  // namespace ombrix
