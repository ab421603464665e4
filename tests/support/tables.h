// Filling the tables in tests, benchmarks and fuzz targets: an entry after the last one,
// and message boxes that show nothing.
#pragma once

#include <string>

#include "logic/complex/messages.h"
#include "logic/evaluator/tables.h"

namespace ombrix::testing {

// A user function; returns its index.
inline int AddFunction(FunctionTable& functions, const std::string& name, const std::string& term) {
  const int k = functions.LastFunction() + 1;
  functions.SetLastFunction(k);
  functions.SetName(k, name);
  functions.SetTerm(k, term);
  return k;
}

// A user variable whose start and current value are `value`; returns its index.
inline int AddVariable(VariableTable& variables, const std::string& name, TComplex value = {}) {
  const int j = variables.LastVariable() + 1;
  variables.SetLastVariable(j);
  variables.SetName(j, name);
  variables.SetStartValue(j, value);
  variables.SetCurrentValue(j, value);
  return j;
}

// Boxes for runs that only need to go on: every confirmation is "OK".
class SilentMessageBoxes : public MessageBoxes {
 public:
  void Show(MessageKind, const std::string&, const std::string&) override {}
  bool Confirm(const std::string&) override { return true; }
};

}  // namespace ombrix::testing
