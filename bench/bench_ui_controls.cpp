// Controls in the real window, offscreen: how soon the main program starts anew after a
// slider moves with "live" on, and how many finished pictures per second the Julia example
// with its point for c shows while the point is dragged across the picture.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSlider>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <vector>

#include "bench/window_bench.h"
#include "logic/complex/num_text.h"
#include "logic/project/controls_file.h"
#include "platform/posix_file_store.h"
#include "tests/support/tables.h"
#include "ui/Unitform1.h"
#include "ui/controls_panel.h"
#include "ui/file_dialogs.h"
#include "ui/session.h"

namespace {

using namespace ombrix;
using testing::SilentMessageBoxes;

using bench::ProcessCpuSeconds;

const std::filesystem::path kJulia =
    std::filesystem::path(OMBRIX_SOURCE_DIR) / "examples/julia-regler.omp";

struct Window {
  Window() {
    SetDecimalSeparator(',');
    form.show();
    QCoreApplication::processEvents();
  }
  bool Open(const std::filesystem::path& file) {
    if (LoadProject(session.project, file)) return false;
    LoadedControls loaded = LoadControls(file);
    if (loaded.message) return false;
    session.controls = std::move(loaded.set);
    form.FormRegler->Rebuild();
    return true;
  }
  Session session;
  SilentMessageBoxes boxes;
  ScriptedFileDialogs files;
  TForm1 form{session, boxes, files};
};

// From the slider's move to the first line of the new run: the run that is going is
// abandoned, the picture copied, and one line run (the window runs one line per turn here).
void BM_LiveRestartLatency(benchmark::State& state) {
  Window w;
  testing::AddVariable(w.session.project.variables, "n", ComplexFromReal(0));
  w.session.project.programs[MainProgram] = {"Solange(1)", "EndeSolange"};
  if (w.form.FormRegler->AddSlider("n", {"0", "1000", "1"})) {
    state.SkipWithError("no slider");
    return;
  }
  w.session.controls.live = true;
  w.form.SetIdleLineLimit(1);
  w.form.StartRun();
  QSlider* slider = w.form.FormRegler->Slider(0);
  std::vector<double> ms;
  int position = 0;
  for (auto _ : state) {
    QElapsedTimer clock;
    clock.start();
    slider->setValue(++position % 1000);
    ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    QCoreApplication::processEvents();  // a turn of the event loop between two moves
  }
  std::sort(ms.begin(), ms.end());
  state.counters["median_ms"] = ms[ms.size() / 2];
  state.counters["max_ms"] = ms.back();
}
BENCHMARK(BM_LiveRestartLatency)->Iterations(200)->Unit(benchmark::kMillisecond);

// The point for c is dragged along a circle at 60 mouse moves per second for `seconds`;
// counted are the pictures that were finished meanwhile.
void BM_JuliaDragFramesPerSecond(benchmark::State& state) {
  const int seconds = static_cast<int>(state.range(0));
  for (auto _ : state) {
    Window w;
    if (!w.Open(kJulia) || w.form.FormRegler->Handles().size() != 1) {
      state.SkipWithError("the Julia example with its point did not open");
      return;
    }
    const QPoint start = w.form.FormRegler->Handles()[0].at;
    w.form.Image1MouseDown(Qt::LeftButton, start.x(), start.y());
    QEventLoop loop;
    QTimer mover;
    int move = 0;
    QObject::connect(&mover, &QTimer::timeout, [&] {
      ++move;
      // A circle of 40 pixels around the start, once every four seconds.
      const double angle = move * 2 * 3.141592653589793 / 240;
      w.form.Image1MouseMove(start.x() + static_cast<int>(40 * std::sin(angle)),
                             start.y() - 40 + static_cast<int>(40 * std::cos(angle)));
    });
    mover.start(16);
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    const std::int64_t before = w.form.LivePicturesFinished();
    const double cpu_before = ProcessCpuSeconds();
    loop.exec();
    const double cpu = ProcessCpuSeconds() - cpu_before;
    const double elapsed = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    const std::int64_t pictures = w.form.LivePicturesFinished() - before;
    w.form.Image1MouseUp(Qt::LeftButton, start.x(), start.y());
    w.form.StopRun();
    state.SetIterationTime(elapsed);
    state.counters["pictures"] = static_cast<double>(pictures);
    state.counters["fps"] = static_cast<double>(pictures) / elapsed;
    state.counters["pictures_per_cpu_s"] = static_cast<double>(pictures) / cpu;
    state.counters["moves"] = move;
  }
}
BENCHMARK(BM_JuliaDragFramesPerSecond)
    ->Arg(10)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) { return ombrix::bench::RunWindowBenchmarks(argc, argv); }
