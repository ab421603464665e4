// Programs run in the real window, offscreen: lines per second, and the longest time
// between two turns of the event loop while they run (how long a click would wait); and
// the Julia example started from the menu, against the same project run without a window.
#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "bench/window_bench.h"
#include "logic/app/runtime.h"
#include "logic/complex/num_text.h"
#include "logic/program/run_control.h"
#include "logic/project/project_file.h"
#include "tests/support/tables.h"
#include "ui/Unitform1.h"
#include "ui/file_dialogs.h"
#include "ui/session.h"

namespace {

using namespace ombrix;

using testing::SilentMessageBoxes;

std::int64_t ClockNs(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return std::int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}
std::int64_t ThreadCpuNs() { return ClockNs(CLOCK_THREAD_CPUTIME_ID); }

// CPU time of the whole process (Qt may work in threads of its own) and wall-clock time.
struct Times {
  std::int64_t cpu = ClockNs(CLOCK_PROCESS_CPUTIME_ID);
  std::int64_t wall = ClockNs(CLOCK_MONOTONIC);
  double CpuSecondsTo(const Times& end) const { return static_cast<double>(end.cpu - cpu) / 1e9; }
  double WallSecondsTo(const Times& end) const {
    return static_cast<double>(end.wall - wall) / 1e9;
  }
};

// Re-posts itself every time the event loop hands it over and keeps the longest gap, in
// wall-clock time (what a user waits) and in this thread's CPU time (what the window
// itself spends; the difference is other processes on a busy machine).
class Heartbeat final : public QObject {
 public:
  void Start() {
    clock_.start();
    last_ = 0;
    last_cpu_ = ThreadCpuNs();
    QCoreApplication::postEvent(this, new QEvent(QEvent::User));
  }
  void Stop() { stopped_ = true; }
  double LongestGapMs() const { return static_cast<double>(longest_) / 1e6; }
  double LongestCpuGapMs() const { return static_cast<double>(longest_cpu_) / 1e6; }

 protected:
  void customEvent(QEvent*) override {
    if (stopped_) return;
    const qint64 now = clock_.nsecsElapsed();
    const std::int64_t cpu = ThreadCpuNs();
    longest_ = std::max(longest_, now - last_);
    longest_cpu_ = std::max(longest_cpu_, cpu - last_cpu_);
    last_ = now;
    last_cpu_ = cpu;
    QCoreApplication::postEvent(this, new QEvent(QEvent::User));
  }

 private:
  QElapsedTimer clock_;
  qint64 last_ = 0;
  qint64 longest_ = 0;
  std::int64_t last_cpu_ = 0;
  std::int64_t longest_cpu_ = 0;
  bool stopped_ = false;
};

// Starts a run with `start` and turns the event loop until the main program no longer
// runs; `beat` keeps the longest gaps meanwhile.
template <class Start>
void RunWhileMainRuns(const Session& session, Heartbeat& beat, Start&& start) {
  QEventLoop loop;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (!session.flags.MainRunning) loop.quit();
  });
  watch.start(1);
  beat.Start();
  start();
  loop.exec();
  beat.Stop();
}

void RunProgram(benchmark::State& state, const ProgramText& program) {
  SetDecimalSeparator(',');
  Session session;
  SilentMessageBoxes boxes;
  ScriptedFileDialogs files;
  TForm1 form(session, boxes, files);
  form.show();
  {
    VariableTable& v = session.project.variables;
    v.SetLastVariable(3);
    v.SetName(3, "x");
    v.SetStartValue(3, ComplexFromReal(0));
  }
  session.project.programs[MainProgram] = program;
  double longest_gap = 0;
  double longest_cpu_gap = 0;
  std::int64_t lines = 0;
  for (auto _ : state) {
    Heartbeat beat;
    const std::int64_t before = form.LinesRun();
    RunWhileMainRuns(session, beat, [&] { form.StartRun(); });
    lines += form.LinesRun() - before;
    longest_gap = std::max(longest_gap, beat.LongestGapMs());
    longest_cpu_gap = std::max(longest_cpu_gap, beat.LongestCpuGapMs());
  }
  state.counters["lines_per_s"] =
      benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
  state.counters["longest_gap_ms"] = longest_gap;
  state.counters["longest_gap_cpu_ms"] = longest_cpu_gap;
}

void BM_WindowLoop(benchmark::State& state) {
  RunProgram(state,
             {"Wiederhole(" + std::to_string(state.range(0)) + ")", "x:=x+1", "EndeWiederhole"});
}
BENCHMARK(BM_WindowLoop)->Arg(200000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WindowDrawing(benchmark::State& state) {
  RunProgram(state, {"F\xFCr(x;-5;5;0,0001)", "ZeichnePunkt(x+x*i)", "EndeF\xFCr"});
}
BENCHMARK(BM_WindowDrawing)->Unit(benchmark::kMillisecond)->UseRealTime();

// Notes when the success message would show.
class EndWatch final : public SilentMessageBoxes {
 public:
  void Show(MessageKind, const std::string& text, const std::string&) override {
    if (text == kMainProgramEnded && !end) end = Times{};
    if (text != kMainProgramEnded) other = text;
  }
  std::optional<Times> end;
  std::string other;  // the last box that was no success message
};

const std::filesystem::path kJulia =
    std::filesystem::path(OMBRIX_SOURCE_DIR) / "examples/julia.omp";

// The project run to its end through the run engine, drawing on the same kind of picture
// as the window, with no window: CPU and wall seconds.
std::optional<std::pair<double, double>> HeadlessRun() {
  QImageCanvas picture;
  EndWatch boxes;
  Runtime runtime({picture, boxes});
  if (LoadProject(runtime.Project(), kJulia)) return std::nullopt;
  RunControl& run = runtime.Run();
  const Times start;
  run.Start();
  if (run.StepMain({}) != RunOutcome::Ended) return std::nullopt;
  run.FinishMain();
  if (!boxes.end) return std::nullopt;
  return std::pair{start.CpuSecondsTo(*boxes.end), start.WallSecondsTo(*boxes.end)};
}

// "Start > Starten" in the window, until the success message would show: CPU and wall
// seconds and the longest gaps between two turns of the event loop.
struct WindowFigures {
  double cpu_s = 0;
  double wall_s = 0;
  double gap_ms = 0;
  double gap_cpu_ms = 0;
};
std::optional<WindowFigures> WindowRun() {
  Session session;
  EndWatch boxes;
  ScriptedFileDialogs files;
  TForm1 form(session, boxes, files);
  form.show();
  if (LoadProject(session.project, kJulia)) return std::nullopt;
  QCoreApplication::processEvents();  // the window is up before the run starts

  Heartbeat beat;
  Times start;
  RunWhileMainRuns(session, beat, [&] {
    start = Times{};
    form.StartStarten->trigger();
  });
  if (!boxes.end) return std::nullopt;
  return WindowFigures{start.CpuSecondsTo(*boxes.end), start.WallSecondsTo(*boxes.end),
                       beat.LongestGapMs(), beat.LongestCpuGapMs()};
}

// One window run and one headless run per iteration, in turn; the time shown is the
// window's wall-clock time.
void BM_WindowJulia(benchmark::State& state) {
  SetDecimalSeparator(',');
  for (auto _ : state) {
    const std::optional<std::pair<double, double>> headless = HeadlessRun();
    const std::optional<WindowFigures> window = WindowRun();
    if (!headless || !window) {
      state.SkipWithError("the Julia example did not run to its end");
      break;
    }
    state.SetIterationTime(window->wall_s);
    state.counters["window_cpu_s"] = window->cpu_s;
    state.counters["window_wall_s"] = window->wall_s;
    state.counters["headless_cpu_s"] = headless->first;
    state.counters["headless_wall_s"] = headless->second;
    state.counters["cpu_ratio"] = window->cpu_s / headless->first;
    state.counters["longest_gap_ms"] = window->gap_ms;
    state.counters["longest_gap_cpu_ms"] = window->gap_cpu_ms;
  }
}
BENCHMARK(BM_WindowJulia)->Unit(benchmark::kSecond)->Iterations(1)->UseManualTime();

}  // namespace

int main(int argc, char** argv) { return ombrix::bench::RunWindowBenchmarks(argc, argv); }
