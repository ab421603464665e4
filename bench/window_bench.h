// What every window benchmark shares: the process's CPU clock and a main() that gives the
// widgets their application, offscreen unless a platform is asked for.
#pragma once

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QtGlobal>
#include <ctime>

namespace ombrix::bench {

// CPU seconds of the whole process (Qt may work in threads of its own): on a busy machine
// the wall-clock rate says more about the other processes than about the window.
inline double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

inline int RunWindowBenchmarks(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace ombrix::bench
