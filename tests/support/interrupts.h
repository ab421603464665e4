// An interrupt for tests: counts how often a computation asks it (once per
// kProductsPerPoll products of a power) and says stop at the asking given.
#pragma once

#include "logic/complex/interrupt.h"

namespace ombrix::testing {

class CountingInterrupt final : public Interrupt {
 public:
  explicit CountingInterrupt(long stop_at = 0) : stop_at_(stop_at) {}
  bool StopNow() override { return ++polls == stop_at_; }
  long polls = 0;

 private:
  long stop_at_;  // 0: never
};

}  // namespace ombrix::testing
