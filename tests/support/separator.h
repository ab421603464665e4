// Sets the decimal separator for one test and restores ',' afterwards.
#pragma once

#include "logic/complex/num_text.h"

namespace ombrix::testing {

class SeparatorScope {
 public:
  explicit SeparatorScope(char separator) { SetDecimalSeparator(separator); }
  ~SeparatorScope() { SetDecimalSeparator(','); }
  SeparatorScope(const SeparatorScope&) = delete;
  SeparatorScope& operator=(const SeparatorScope&) = delete;
};

}  // namespace ombrix::testing
