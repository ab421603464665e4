// CPU time of the calling thread or of the whole process: what a computation itself costs,
// however many other processes share the machine (a bound on it cannot fail because of
// their load).
#pragma once

#include <ctime>

namespace ombrix::testing {

inline double CpuSeconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

inline double ThreadCpuSeconds() { return CpuSeconds(CLOCK_THREAD_CPUTIME_ID); }
// Qt may work in threads of its own: a window's cost is the process's.
inline double ProcessCpuSeconds() { return CpuSeconds(CLOCK_PROCESS_CPUTIME_ID); }

}  // namespace ombrix::testing
