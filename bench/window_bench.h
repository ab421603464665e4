// What every window benchmark shares: the process's CPU clock and a main() that gives the
// widgets their application, offscreen unless a platform is asked for.
#pragma once

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QtGlobal>

#include "tests/support/cpu_time.h"

namespace ombrix::bench {

// On a busy machine the wall-clock rate says more about the other processes than about the
// window: the benchmarks count the process's CPU time.
using testing::ProcessCpuSeconds;

inline int RunWindowBenchmarks(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace ombrix::bench
