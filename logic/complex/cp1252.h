// Windows-1252 texts: lower-casing as that locale does it, and the conversions at
// the boundaries (widgets, command line).
#pragma once

#include <string>
#include <string_view>

namespace ombrix {

char LowerChar1252(char c);
std::string LowerCase1252(std::string_view s);
void LowerCase1252InPlace(std::string& s);

std::string Cp1252ToUtf8(std::string_view s);
// A character Windows-1252 cannot hold becomes "?"; invalid UTF-8 bytes too.
std::string Utf8ToCp1252(std::string_view s);

}  // namespace ombrix
