// The one boundary between the system's Windows-1252 texts and Qt's Unicode strings,
// and the regional decimal separator.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace ombrix {

QString ToQt(std::string_view cp1252);
// A character Windows-1252 cannot hold becomes "?".
std::string FromQt(const QString& text);

// ',' or '.' as QLocale::system() writes decimals.
char SystemDecimalSeparator();
// Sets the process-wide separator from the system locale.
void ApplySystemDecimalSeparator();

}  // namespace ombrix
