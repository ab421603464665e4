#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/cli.h"
#include "cli/run_lines.h"
#include "cli/run_picture.h"
#include "logic/app/runtime.h"
#include "logic/complex/cp1252.h"
#include "logic/complex/fault.h"
#include "logic/program/drawing_state.h"
#include "logic/program/interpreter.h"
#include "logic/program/run_control.h"
#include "logic/project/project_file.h"

namespace ombrix::cli {

namespace {

const char* const kRunUsage =
    "Aufruf: ombrix-cli run [--decimal-separator SEP] [--picture BILD] [--png OUT] [--svg OUT] "
    "[--pdf OUT] [--trace] "
    "[--click X,Y]... [--max-steps N] [--lines [--break N]...] [--set NAME=TERM]... PROJECT";

struct RunOptions {
  std::optional<std::string> separator;
  std::optional<std::string> picture;
  PictureOutputs outputs;  // --png, --svg, --pdf
  bool trace = false;
  std::vector<std::pair<int, int>> clicks;
  std::optional<std::int64_t> max_steps;
  LineOptions line_options;
  std::vector<std::string> files;
  std::vector<std::string> start_values;  // --set NAME=TERM, in order
};

// A decimal integer with an optional leading "-", within [low, high].
bool ParseInteger(const std::string& text, std::int64_t low, std::int64_t high,
                  std::int64_t& value) {
  std::size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) i = 1;
  if (i >= text.size() || text.size() - i > 18) return false;
  std::int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + (text[i] - '0');
  }
  if (negative) v = -v;
  if (v < low || v > high) return false;
  value = v;
  return true;
}

bool ParseClick(const std::string& text, std::pair<int, int>& click) {
  const std::size_t comma = text.find(',');
  if (comma == std::string::npos) return false;
  constexpr std::int64_t kLow = std::numeric_limits<int>::min();
  constexpr std::int64_t kHigh = std::numeric_limits<int>::max();
  std::int64_t x = 0, y = 0;
  if (!ParseInteger(text.substr(0, comma), kLow, kHigh, x) ||
      !ParseInteger(text.substr(comma + 1), kLow, kHigh, y)) {
    return false;
  }
  click = {static_cast<int>(x), static_cast<int>(y)};
  return true;
}

// False, with the reason on `err`, for anything that is not a known option with a valid
// value or a file.
bool ParseRunOptions(const std::vector<std::string>& args, RunOptions& options, std::ostream& err) {
  const OptionSyntax syntax{{"--trace", kLinesFlag},
                            {"--decimal-separator", "--picture", "--png", "--svg", "--pdf",
                             "--click", "--max-steps", kBreakOption, "--set"}};
  return ReadOptions(
      args, syntax, &err, [&](const std::string& word) { options.files.push_back(word); },
      [&](const std::string& name, const std::string& value) {
        if (name == "--svg" || name == "--pdf") {
          options.outputs.vectors.emplace_back(name, value);
          return true;
        }
        if (name == kLinesFlag || name == kBreakOption) {
          return ReadLineOption(name, value, options.line_options, err);
        }
        if (name == "--trace") {
          options.trace = true;
        } else if (name == "--decimal-separator") {
          if (!CheckSeparatorArgument(value, &err)) return false;
          options.separator = value;
        } else if (name == "--picture") {
          options.picture = value;
        } else if (name == "--set") {
          options.start_values.push_back(value);
        } else if (name == "--png") {
          options.outputs.png = value;
        } else if (name == "--click") {
          std::pair<int, int> click;
          if (!ParseClick(value, click)) {
            err << "Ein Mausklick wird als X,Y in ganzen Pixeln angegeben, nicht \"" << value
                << "\"\n";
            return false;
          }
          options.clicks.push_back(click);
        } else {
          std::int64_t steps = 0;
          if (!ParseInteger(value, 0, std::numeric_limits<std::int64_t>::max(), steps)) {
            err << "Die Schrittzahl muss eine ganze Zahl ab 0 sein, nicht \"" << value << "\"\n";
            return false;
          }
          options.max_steps = steps;
        }
        return true;
      });
}

std::string Hex(Colour colour) {
  char text[8];
  std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(colour & 0xFFFFFFu));
  return text;
}

// Writes every drawing call as one line, then passes it on to the picture.
class TracingCanvas final : public Canvas {
 public:
  TracingCanvas(Canvas& target, std::ostream& out) : target_(target), out_(out) {}
  int Width() const override { return target_.Width(); }
  int Height() const override { return target_.Height(); }
  void SetPixel(int x, int y, Colour colour) override {
    out_ << "SetPixel " << x << ' ' << y << ' ' << Hex(colour) << '\n';
    target_.SetPixel(x, y, colour);
  }
  void SetPenColour(Colour colour) override {
    out_ << "PenColor " << Hex(colour) << '\n';
    target_.SetPenColour(colour);
  }
  void MoveTo(int x, int y) override {
    out_ << "MoveTo " << x << ' ' << y << '\n';
    target_.MoveTo(x, y);
  }
  void LineTo(int x, int y) override {
    out_ << "LineTo " << x << ' ' << y << '\n';
    target_.LineTo(x, y);
  }
  void SetBrushSolid(bool solid) override {
    out_ << "BrushStyle " << (solid ? "solid" : "none") << '\n';
    target_.SetBrushSolid(solid);
  }
  void FillRect(int left, int top, int right, int bottom) override {
    out_ << "FillRect " << left << ' ' << top << ' ' << right << ' ' << bottom << '\n';
    target_.FillRect(left, top, right, bottom);
  }
  void Ellipse(int left, int top, int right, int bottom) override {
    out_ << "Ellipse " << left << ' ' << top << ' ' << right << ' ' << bottom << '\n';
    target_.Ellipse(left, top, right, bottom);
  }

 private:
  Canvas& target_;
  std::ostream& out_;
};

struct MainOutcome {
  bool failed = false;
  bool stopped = false;  // by "--max-steps"
};

// Steps the main program to its end, its failure or "--max-steps" steps, whichever comes
// first.
MainOutcome RunMainProgram(RunControl& run, LinePrinter& printer,
                           std::optional<std::int64_t> max_steps, std::ostream& err) {
  MainOutcome outcome;
  StepBudget budget;
  if (max_steps) budget.lines = *max_steps;
  const bool may_step = !max_steps || *max_steps > 0;
  switch (may_step ? printer.StepMain(budget) : RunOutcome::Running) {
    case RunOutcome::Ended:
      run.FinishMain();
      break;
    case RunOutcome::Failed:
      run.AfterFailure();
      outcome.failed = true;
      break;
    case RunOutcome::Running:
      if (run.MainRunning() && run.MainAtEnd()) {
        run.FinishMain();  // the bound and the end were reached together
      } else if (run.MainRunning()) {
        run.Stop();  // as "Abbrechen": the mouse-click program stays on
        outcome.stopped = true;
        err << "Das Hauptprogramm wurde nach " << CountText(run.LinesRun(), "Schritt", "Schritten")
            << " angehalten.\n";
      }
      break;
  }
  return outcome;
}

// Each "--click" as a press, a move and a release over the picture; true when one of them
// failed.
bool RunClicks(const std::vector<std::pair<int, int>>& clicks, RunControl& run,
               const DrawingState& drawing, MessageBoxes& boxes, std::ostream& err) {
  bool failed = false;
  for (const auto& [x, y] : clicks) {
    run.PressMouse();
    try {
      run.MoveMouse(x, y);
      err << "Mausposition: " << Cp1252ToUtf8(MousePositionText(drawing.MousePosition())) << '\n';
      if (run.MouseProgramDue() && run.RunMouseProgram() == RunOutcome::Failed) {
        run.AfterFailure();
        failed = true;
      }
    } catch (const Fault& fault) {
      // A pixel far outside the picture on a huge scale: the event ends as the top-level
      // handler ends it, and the next click comes.
      boxes.Show(MessageKind::Fault, FaultDisplayText(fault.what()));
      failed = true;
    }
    run.ReleaseMouse();
  }
  return failed;
}

}  // namespace

int RunRun(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  RunOptions options;
  if (!ParseRunOptions(args, options, err) || options.files.size() != 1 ||
      !CheckLineOptions(options.line_options, err)) {
    return UsageError(err, kRunUsage);
  }
  if (!ApplySeparatorOption(options.separator)) return kExitHandOver;

  MessageLineBoxes line_boxes(err);
  MessageBoxes& boxes = line_boxes;
  const std::unique_ptr<RunPicture> picture =
      MakeRunPicture(options.picture.has_value() || options.outputs.png.has_value() ||
                     !options.outputs.vectors.empty());
  if (!picture) return kExitHandOver;
  TracingCanvas tracing(picture->canvas(), out);
  Runtime runtime({options.trace ? static_cast<Canvas&>(tracing) : picture->canvas(), boxes});
  ProjectContent& project = runtime.Project();
  if (!LoadProjectReporting(project, options.files[0], boxes)) return kExitUsage;
  if (!ApplyStartValues(options.start_values, project, boxes)) return kExitUsage;

  if (options.picture && !picture->Load(*options.picture, boxes)) return kExitUsage;
  runtime.Interp().RecordDrawing(picture->commands());
  RunControl& run = runtime.Run();
  LinePrinter printer(options.line_options, runtime, out);
  run.Start();

  const MainOutcome main = RunMainProgram(run, printer, options.max_steps, err);
  const bool clicks_failed = RunClicks(options.clicks, run, runtime.Drawing(), boxes, err);
  if (!picture->Write(options.outputs, boxes)) return kExitUsage;
  if (main.failed || clicks_failed) return kExitFailed;
  if (main.stopped) return kExitStepLimit;
  return kExitOk;
}

}  // namespace ombrix::cli
