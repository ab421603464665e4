// The codes of error texts. An error text is "?", a code character and a detail that
// nobody parses; the code alone selects the message.
#pragma once

#include <string>
#include <string_view>

namespace ombrix {

enum class ErrorCode : char {
  BadOperatorArgument = '0',  // "Unzulässiges Argument bei Rechenoperator"
  Syntax = '1',
  BadWenn = '2',
  BadSolange = '3',
  BadWiederhole = '4',
  UnknownFunction = '5',
  BadBrackets = '6',
  BadFunctionArgument = '7',  // "Unzulässiges Argument in Funktion"
  Overflow = '8',
  UnknownCommand = '9',
  UnknownVariable = 'A',  // upper case: a lower-cased "?a" is no longer this code
};

constexpr char CodeChar(ErrorCode code) { return static_cast<char>(code); }

// "?" and the code, no detail: what a failed step reports.
inline std::string ErrorText(ErrorCode code) { return std::string{'?', CodeChar(code)}; }

}  // namespace ombrix
