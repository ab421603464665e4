#include "logic/complex/fault.h"

namespace ombrix {

const char* const kFaultDivisionByZero = "Gleitkommadivision durch Null";
const char* const kFaultInvalidOperation = "Ung\xFCltige Gleitkommaoperation";
const char* const kFaultOverflow = "Gleitkomma\374berlauf";

std::string Fault::Visible(std::string text) {
  for (char& c : text) {
    if (c == '\0') c = '?';
  }
  return text;
}

void ThrowInvalidFloat(const std::string& text) {
  throw Fault("'" + text + "' ist kein g\xFCltiger Gleitkommawert");
}

void ThrowInvalidInteger(const std::string& text) {
  throw Fault("'" + text + "' ist kein g\xFCltiger Integerwert");
}

std::string FaultDisplayText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

}  // namespace ombrix
