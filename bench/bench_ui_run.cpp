// A loop program run in the real window, offscreen: lines per second, and the longest
// time between two turns of the event loop while it runs (how long a click would wait).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <ctime>
#include <string>

#include "logic/complex/num_text.h"
#include "ui/Unitform1.h"
#include "ui/file_dialogs.h"
#include "ui/session.h"

namespace {

using namespace ombrix;

class SilentBoxes final : public MessageBoxes {
 public:
  void Show(MessageKind, const std::string&, const std::string&) override {}
  bool Confirm(const std::string&) override { return true; }
};

std::int64_t ThreadCpuNs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return std::int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}

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

void RunProgram(benchmark::State& state, const ProgramText& program) {
  SetDecimalSeparator(',');
  Session session;
  SilentBoxes boxes;
  ScriptedFileDialogs files;
  TForm1 form(session, boxes, files);
  form.show();
  {
    VariableTable& v = session.Project.Variables;
    v.SetLastVariable(3);
    v.SetName(3, "x");
    v.SetStartValue(3, ComplexFromReal(0));
  }
  session.Project.Programs[MainProgram] = program;
  double longestGap = 0;
  double longestCpuGap = 0;
  std::int64_t lines = 0;
  for (auto _ : state) {
    Heartbeat beat;
    QEventLoop loop;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
      if (!session.Flags.MainRunning) loop.quit();
    });
    watch.start(1);
    const std::int64_t before = form.LinesRun();
    beat.Start();
    form.StartRun();
    loop.exec();
    beat.Stop();
    lines += form.LinesRun() - before;
    longestGap = std::max(longestGap, beat.LongestGapMs());
    longestCpuGap = std::max(longestCpuGap, beat.LongestCpuGapMs());
  }
  state.counters["lines_per_s"] =
      benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
  state.counters["longest_gap_ms"] = longestGap;
  state.counters["longest_gap_cpu_ms"] = longestCpuGap;
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

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
