// Qt Test support for the system's Windows-1252 texts: data rows of std::string and
// readable failure output.
#pragma once

#include <QStringList>
#include <QTest>
#include <string>
#include <vector>

#include "platform/qt_text.h"

Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(std::vector<std::string>)

template <>
inline char* QTest::toString(const std::string& text) {
  return QTest::toString(ombrix::ToQt(text));
}
template <>
inline char* QTest::toString(const std::vector<std::string>& texts) {
  QStringList list;
  for (const std::string& t : texts) list << ombrix::ToQt(t);
  return QTest::toString(list.join(QStringLiteral(" | ")));
}
