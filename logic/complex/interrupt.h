// How a long computation learns that it is to stop: it asks its Interrupt now and then,
// and when the answer is yes it throws Interrupted through itself. Whoever began the
// program line catches it and leaves everything as it was before the line.
#pragma once

#include <cstdint>

namespace ombrix {

class Interrupt {
 public:
  virtual ~Interrupt() = default;
  // Asked once per kProductsPerPoll products of a power; true abandons the computation.
  virtual bool StopNow() = 0;
};

// Often enough for a prompt stop (a few microseconds apart), rarely enough to cost
// nothing measurable. A power of two, so the count is tested with a mask.
inline constexpr std::int64_t kProductsPerPoll = 4096;

// Thrown through a computation whose Interrupt said stop. No Fault: nothing is shown.
struct Interrupted {};

}  // namespace ombrix
