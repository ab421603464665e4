// The Julia example started from the menu with the run window "Ablauf" open (unlimited
// tempo, so the step-back history records every line), against the same window with the
// run window never opened; each iteration runs both, in turn, and reports their ratio.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <ctime>
#include <filesystem>
#include <optional>

#include "bench/window_bench.h"
#include "logic/complex/num_text.h"
#include "logic/project/project_file.h"
#include "tests/support/tables.h"
#include "ui/Unitform1.h"
#include "ui/Unitformablauf.h"
#include "ui/file_dialogs.h"
#include "ui/session.h"

namespace {

using namespace ombrix;

using bench::ProcessCpuSeconds;

const std::filesystem::path kJulia =
    std::filesystem::path(OMBRIX_SOURCE_DIR) / "examples/julia.omp";

// CPU seconds from "Starten" to the end of the run, or nothing when it did not end well.
enum class RunWindow { Closed, Open, OpenWithoutHistory };

std::optional<double> JuliaInWindow(RunWindow run_window) {
  const bool run_window_open = run_window != RunWindow::Closed;
  Session session;
  testing::SilentMessageBoxes boxes;
  ScriptedFileDialogs files;
  TForm1 form(session, boxes, files);
  form.show();
  if (LoadProject(session.project, kJulia)) return std::nullopt;
  if (run_window_open) form.StartAblaufAnzeigenExecute();
  // What the window itself costs, apart from the history's recording.
  if (run_window == RunWindow::OpenWithoutHistory) form.Debugger().SetHistoryEnabled(false);
  QCoreApplication::processEvents();
  QEventLoop loop;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (!session.flags.MainRunning) loop.quit();
  });
  watch.start(1);
  const double start = ProcessCpuSeconds();
  form.StartStarten->trigger();
  loop.exec();
  const double seconds = ProcessCpuSeconds() - start;
  // Ended, not failed: the counter stands past the last line.
  const auto lines = static_cast<std::int32_t>(session.project.programs[MainProgram].size());
  if (session.interp.CurrentLine[MainProgram] != lines) return std::nullopt;
  if ((run_window == RunWindow::Open) != form.Debugger().HistoryEnabled()) return std::nullopt;
  return seconds;
}

void BM_RunWindowJulia(benchmark::State& state) {
  SetDecimalSeparator(',');
  for (auto _ : state) {
    const std::optional<double> closed = JuliaInWindow(RunWindow::Closed);
    const std::optional<double> open = JuliaInWindow(RunWindow::Open);
    const std::optional<double> bare = JuliaInWindow(RunWindow::OpenWithoutHistory);
    if (!closed || !open || !bare) {
      state.SkipWithError("the Julia example did not run to its end");
      break;
    }
    state.SetIterationTime(*open);
    state.counters["closed_cpu_s"] = *closed;
    state.counters["open_cpu_s"] = *open;
    state.counters["open_ratio"] = *open / *closed;
    state.counters["open_without_history_ratio"] = *bare / *closed;
  }
}
BENCHMARK(BM_RunWindowJulia)->Unit(benchmark::kSecond)->Iterations(1)->UseManualTime();

}  // namespace

int main(int argc, char** argv) { return ombrix::bench::RunWindowBenchmarks(argc, argv); }
