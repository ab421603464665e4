// A little JSON writer for the session's answers: texts go in as Windows-1252 and come
// out as UTF-8 with the characters JSON needs escaped.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "logic/complex/cp1252.h"

namespace ombrix::web {

class Json {
 public:
  Json& Begin() { return Open('{'); }
  Json& End() { return Close('}'); }
  Json& BeginList() { return Open('['); }
  Json& EndList() { return Close(']'); }
  // The next element of a list; BeginItem begins it as an object.
  Json& Item() {
    Separate();
    return *this;
  }
  Json& BeginItem() { return Item().Begin(); }
  Json& Key(std::string_view key) {
    Separate();
    out_ += '"';
    out_ += key;
    out_ += "\":";
    return *this;
  }
  Json& String(std::string_view cp1252) {
    out_ += '"';
    for (const char c : Cp1252ToUtf8(cp1252)) {
      const auto byte = static_cast<unsigned char>(c);
      if (c == '"' || c == '\\') {
        out_ += '\\';
        out_ += c;
      } else if (byte < 0x20) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
        out_ += escaped;
      } else {
        out_ += c;
      }
    }
    out_ += '"';
    return *this;
  }
  Json& Strings(const std::vector<std::string>& texts) {
    BeginList();
    for (const std::string& text : texts) Item().String(text);
    return EndList();
  }
  Json& Number(double value) {
    char text[32];
    if (!std::isfinite(value)) {
      out_ += "null";
    } else {
      std::snprintf(text, sizeof text,
                    value == std::trunc(value) && std::fabs(value) < 1e15 ? "%.0f" : "%.17g",
                    value);
      out_ += text;
    }
    return *this;
  }
  Json& Bool(bool value) {
    out_ += value ? "true" : "false";
    return *this;
  }
  Json& Raw(std::string_view json) {
    out_ += json;
    return *this;
  }
  const std::string& Text() const { return out_; }

 private:
  Json& Open(char bracket) {
    out_ += bracket;
    first_.push_back(true);
    return *this;
  }
  Json& Close(char bracket) {
    out_ += bracket;
    first_.pop_back();
    return *this;
  }
  void Separate() {
    if (first_.empty()) return;
    if (!first_.back()) out_ += ',';
    first_.back() = false;
  }

  std::string out_;
  std::vector<bool> first_;
};

}  // namespace ombrix::web
