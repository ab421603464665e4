// What an export costs on the window's thread: the SVG and PDF of the largest drawings
// that are still drawn as shapes (just under the record's and the shapes' bounds).
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <string>
#include <vector>

#include "logic/app/runtime.h"
#include "logic/complex/num_text.h"
#include "platform/picture_export.h"
#include "tests/support/recording.h"
#include "tests/support/tables.h"

namespace {

using namespace ombrix;

struct Drawn {
  explicit Drawn(std::vector<std::string> program) {
    runtime.Interp().RecordDrawing(&record.commands);
    testing::AddVariable(runtime.Project().variables, "k");
    runtime.Project().programs[MainProgram] = std::move(program);
    runtime.Run().Start();
    (void)runtime.Run().StepMain({});
  }
  QImageCanvas canvas;
  PictureRecord record;
  testing::RecordingMessageBoxes boxes;
  Runtime runtime{{canvas, boxes}};
};

const std::vector<std::string>& Program(int which) {
  static const std::vector<std::vector<std::string>> programs = {
      // 19,999 points: the scale and the points fill the record.
      {"F\xFCr(k;1;19999;1)", "ZeichnePunkt(k/5000-2+(k/4000-2)*i)", "EndeF\xFCr"},
      // 2,400 times the axes with their 22 ticks: 57,600 lines.
      {"F\xFCr(k;1;2400;1)", "ZeichneSkala", "EndeF\xFCr"},
      // 19,999 circles.
      {"F\xFCr(k;1;19999;1)", "ZeichneKreis(k/5000-2;k/10000)", "EndeF\xFCr"},
  };
  return programs[static_cast<std::size_t>(which)];
}

void BM_Export(benchmark::State& bench, bool pdf) {
  SetDecimalSeparator('.');
  Drawn drawn(Program(static_cast<int>(bench.range(0))));
  std::int64_t bytes = 0;
  for (auto _ : bench) {
    const QByteArray out = pdf ? PicturePdf(drawn.canvas.Image(), drawn.record)
                               : PictureSvg(drawn.canvas.Image(), drawn.record);
    bytes = out.size();
  }
  bench.counters["bytes"] = static_cast<double>(bytes);
}
void BM_ExportSvg(benchmark::State& bench) { BM_Export(bench, false); }
void BM_ExportPdf(benchmark::State& bench) { BM_Export(bench, true); }
// 0: points, 1: axes, 2: circles
BENCHMARK(BM_ExportSvg)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportPdf)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);  // fonts
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
