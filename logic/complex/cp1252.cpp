#include "logic/complex/cp1252.h"

#include <array>
#include <cstdint>

namespace ombrix {

namespace {

// Unicode code points of the bytes 0x80..0x9F. The five bytes Windows-1252 leaves
// undefined map to the C1 controls of the same number, so they survive a round trip.
constexpr std::array<std::uint16_t, 32> kHighTable = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr std::array<unsigned char, 256> MakeLowerTable() {
  std::array<unsigned char, 256> t{};
  for (int c = 0; c < 256; ++c) t[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c);
  for (int c = 'A'; c <= 'Z'; ++c)
    t[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c + 32);
  for (int c = 0xC0; c <= 0xDE; ++c) {
    if (c != 0xD7) t[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c + 32);
  }
  t[0x8A] = 0x9A;  // Š š
  t[0x8C] = 0x9C;  // Œ œ
  t[0x8E] = 0x9E;  // Ž ž
  t[0x9F] = 0xFF;  // Ÿ ÿ
  return t;
}

constexpr std::array<unsigned char, 256> kLowerTable = MakeLowerTable();

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

char FromCodePoint(std::uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (std::size_t i = 0; i < kHighTable.size(); ++i) {
    if (kHighTable[i] == cp) return static_cast<char>(0x80 + i);
  }
  // Windows-1252 cannot hold this character: it becomes "?".
  return '?';
}

}  // namespace

char LowerChar1252(char c) { return static_cast<char>(kLowerTable[static_cast<unsigned char>(c)]); }

std::string LowerCase1252(std::string_view s) {
  std::string out(s);
  LowerCase1252InPlace(out);
  return out;
}

void LowerCase1252InPlace(std::string& s) {
  for (char& c : s) c = LowerChar1252(c);
}

std::string Cp1252ToUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size() + s.size() / 4);
  for (char ch : s) {
    const auto b = static_cast<unsigned char>(ch);
    if (b < 0x80) {
      out += ch;
    } else if (b < 0xA0) {
      AppendUtf8(out, kHighTable[b - 0x80]);
    } else {
      AppendUtf8(out, b);
    }
  }
  return out;
}

std::string Utf8ToCp1252(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  std::size_t i = 0;
  const std::size_t n = s.size();
  while (i < n) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::uint32_t cp = 0;
    std::size_t len = 0;
    if (b < 0x80) {
      cp = b;
      len = 1;
    } else if ((b & 0xE0) == 0xC0) {
      cp = b & 0x1F;
      len = 2;
    } else if ((b & 0xF0) == 0xE0) {
      cp = b & 0x0F;
      len = 3;
    } else if ((b & 0xF8) == 0xF0) {
      cp = b & 0x07;
      len = 4;
    } else {
      out += '?';  // a stray continuation or invalid byte
      ++i;
      continue;
    }
    bool valid = i + len <= n;
    for (std::size_t k = 1; valid && k < len; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) {
        valid = false;
      } else {
        cp = (cp << 6) | (c & 0x3F);
      }
    }
    // Overlong forms, surrogates and code points beyond Unicode are invalid UTF-8; an
    // overlong form could otherwise smuggle in a character such as "\xA7".
    constexpr std::uint32_t kLowest[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (valid && (cp < kLowest[len] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)) {
      valid = false;
    }
    if (!valid) {
      out += '?';
      ++i;
      continue;
    }
    out += FromCodePoint(cp);
    i += len;
  }
  return out;
}

}  // namespace ombrix
