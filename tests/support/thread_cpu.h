// The CPU time of the calling thread: what a computation itself costs, however many
// other processes share the machine (a bound on it cannot fail because of their load).
#pragma once

#include <ctime>

namespace ombrix::testing {

inline double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace ombrix::testing
