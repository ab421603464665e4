#include "platform/qt_text.h"

#include <QLocale>

#include "logic/complex/cp1252.h"
#include "logic/complex/num_text.h"

namespace ombrix {

QString ToQt(std::string_view cp1252) {
  const std::string utf8 = Cp1252ToUtf8(cp1252);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string FromQt(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return Utf8ToCp1252(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

char SystemDecimalSeparator() {
  const QString point = QLocale::system().decimalPoint();
  // Only ',' and '.' are separators the number texts know; anything else reads as '.'.
  return point == QStringLiteral(",") ? ',' : '.';
}

void ApplySystemDecimalSeparator() { SetDecimalSeparator(SystemDecimalSeparator()); }

}  // namespace ombrix
