// The one exception of the system: a floating-point fault or a failed text-to-number
// conversion. It ends the current action; the message is the platform's German text
// (Windows-1252 bytes).
#pragma once

#include <stdexcept>
#include <string>

namespace ombrix {

class Fault : public std::runtime_error {
 public:
  // A NUL byte (from a file or a term) is shown as "?": what() would end the text there.
  explicit Fault(const std::string& message) : std::runtime_error(Visible(message)) {}

 private:
  static std::string Visible(std::string text);
};

// Messages, Windows-1252.
extern const char* const kFaultDivisionByZero;    // "Gleitkommadivision durch Null"
extern const char* const kFaultInvalidOperation;  // "Ungültige Gleitkommaoperation"
extern const char* const kFaultOverflow;          // "Gleitkommaüberlauf"

[[noreturn]] void ThrowInvalidFloat(
    const std::string& text);  // "'%s' ist kein gültiger Gleitkommawert"
[[noreturn]] void ThrowInvalidInteger(
    const std::string& text);  // "'%s' ist kein gültiger Integerwert"

// What the application's top-level handler shows for a fault: the message, with a
// full stop added when its last character sorts after ".".
std::string FaultDisplayText(const std::string& message);

}  // namespace ombrix
