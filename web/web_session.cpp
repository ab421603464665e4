#include "web/web_session.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>

#include "logic/complex/cp1252.h"
#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"
#include "logic/evaluator/result_text.h"
#include "logic/program/commands.h"
#include "logic/program/picture_svg.h"
#include "logic/project/control_points.h"
#include "logic/project/project_file.h"
#include "web/json_text.h"

namespace ombrix::web {

namespace {

// A press this close to a handle's centre takes the handle (the desktop's radius, plus 3).
constexpr int kGrabRadius = 8;

// The editor's text as its line list: a line break at the very end adds no empty line.
VectorEditorLines LinesOf(std::string_view utf8) {
  VectorEditorLines lines;
  const std::string text = Utf8ToCp1252(utf8);
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(begin, end - begin);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.lines.push_back(std::move(line));
    begin = end + 1;
  }
  return lines;
}

std::string EditorJson(const VectorEditorLines& editor) {
  Json json;
  json.Begin();
  json.Key("lines").Strings(editor.lines);
  json.Key("fault").Number(StructureFaultLine(editor));
  json.End();
  return json.Text();
}

std::string LineJson(const std::optional<ProgramLine>& line) {
  if (!line) return "null";
  Json json;
  json.Begin();
  json.Key("slot").Number(line->program);
  json.Key("line").Number(line->line);
  json.End();
  return json.Text();
}

}  // namespace

void WebSession::CollectedBoxes::Show(MessageKind kind, const std::string& text,
                                      const std::string& title) {
  std::string line =
      std::to_string(static_cast<int>(kind)) + '\t' + MessageTitle(kind, title) + '\t';
  for (const char c : text) line += c == '\n' ? std::string("\\n") : std::string(1, c);
  lines += Cp1252ToUtf8(line) + '\n';
}

bool WebSession::CollectedBoxes::Confirm(const std::string& text) {
  Show(MessageKind::Plain, text, kConfirmationTitle);
  return true;
}

WebSession::WebSession() : runtime_(RuntimeParts{picture_, boxes_}) {
  runtime_.Interp().RecordDrawing(&record_);
}

template <class Action>
void WebSession::Guarded(Action&& action) {
  try {
    action();
  } catch (const Fault& fault) {
    boxes_.Show(MessageKind::Fault, FaultDisplayText(fault.what()), kApplicationTitle);
  }
}

EvalContext WebSession::Context() const {
  return EvalContext{runtime_.Project().functions, runtime_.Project().variables, runtime_.Drawing(),
                     boxes_};
}

// ------------------------------------------------------------------ the project

void WebSession::ForgetRunSettings() {
  ParkDebugSettings(runtime_.Debugger());
  parked_ = {};
  failed_.reset();
  drag_index_ = -1;
}

void WebSession::NewProject() {
  runtime_.Project().Reset();
  controls_ = ControlSet{};
  ForgetRunSettings();
  runtime_.Run().ResetCounters();
  picture_.Replace(400, 400, {});
  record_.Restart(false);
}

std::string WebSession::Open(std::string_view bytes, std::string_view file_name, bool& converted) {
  ProjectContent loaded;
  converted = false;
  if (const auto error = LoadProjectFromBytes(loaded, bytes, Utf8ToCp1252(file_name), &converted)) {
    return Cp1252ToUtf8(error->fault ? ReadableFieldFault(FaultDisplayText(error->message))
                                     : error->message);
  }
  runtime_.Run().SwitchOffBoth();
  runtime_.Project() = std::move(loaded);
  runtime_.Run().ResetCounters();
  controls_ = ControlSet{};
  ForgetRunSettings();
  return "";
}

std::string WebSession::Save(std::string& bytes) const {
  if (const auto error = ProjectToBytes(runtime_.Project(), bytes)) {
    return Cp1252ToUtf8(error->fault ? FaultDisplayText(error->message) : error->message);
  }
  return "";
}

std::string WebSession::OpenControls(std::string_view bytes, std::string_view file_name) {
  LoadedControls loaded = ControlsFromBytes(bytes, std::filesystem::path(std::string(file_name)));
  controls_ = std::move(loaded.set);
  return loaded.message ? Cp1252ToUtf8(*loaded.message) : std::string();
}

std::string WebSession::ControlsBytes() const {
  return controls_.Empty() ? std::string() : ControlsToText(controls_);
}

std::string WebSession::Document() const {
  const ProjectContent& project = runtime_.Project();
  const FunctionTable& functions = project.functions;
  const VariableTable& variables = project.variables;
  Json json;
  json.Begin();
  json.Key("functions").BeginList();
  for (int k = functions.FirstUserFunction(); k <= functions.LastFunction(); ++k) {
    json.BeginItem();
    json.Key("name").String(functions.Name(k));
    json.Key("term").String(functions.Term(k));
    json.End();
  }
  json.EndList();
  json.Key("variables").BeginList();
  for (int j = 0; j <= variables.LastVariable(); ++j) {
    json.BeginItem();
    json.Key("name").String(variables.Name(j));
    json.Key("start").String(ComplexToText(variables.StartValue(j)));
    json.End();
  }
  json.EndList();
  json.Key("controls").BeginList();
  for (const Control& control : controls_.controls) {
    const int j = ControlVariable(variables, control);
    json.BeginItem();
    json.Key("point").Bool(control.kind == ControlKind::Point);
    json.Key("variable").String(control.variable);
    json.Key("missing").Bool(j < 0);
    json.Key("value").String(j < 0 ? std::string() : ComplexToText(variables.StartValue(j)));
    if (control.kind == ControlKind::Slider) {
      json.Key("positions").Number(SliderPositions(control));
      json.Key("position").Number(j < 0 ? 0 : SliderPosition(control, variables.StartValue(j).Re));
    } else if (const auto at = PointHandle(control, variables, runtime_.Drawing())) {
      json.Key("x").Number(at->x);
      json.Key("y").Number(at->y);
    }
    json.End();
  }
  json.EndList();
  json.Key("live").Bool(controls_.live);
  json.End();
  return json.Text();
}

std::string WebSession::Vocabulary() {
  Json json;
  json.Begin();
  json.Key("keywords").BeginList();
  for (const KeywordTable* table : {&OpeningKeywords, &ClosingKeywords}) {
    for (const char* word : *table) json.Item().String(word);
  }
  json.EndList();
  json.Key("commands").BeginList();
  for (int k = 0; k < kCommandCount; ++k) {
    json.BeginItem();
    json.Key("word").String(CommandWords[static_cast<std::size_t>(k)]);
    json.Key("arguments").Number(CommandArgumentCount(k));
    json.End();
  }
  json.EndList();
  json.Key("builtins").BeginList();
  for (const char* name : kBuiltinNames) json.Item().String(name);
  json.EndList();
  json.End();
  return json.Text();
}

// ------------------------------------------------------------------ the tables

NameCheck WebSession::CheckNewName(bool variable, std::string_view name) const {
  const std::string text = Utf8ToCp1252(name);
  const ProjectContent& project = runtime_.Project();
  const int last = variable ? project.variables.LastVariable() : project.functions.LastFunction();
  if (last >= kTableCapacity - 1) return NameCheck::kTableFull;
  if (!IsValidNewName(text)) return NameCheck::kUnsuitable;
  const std::string lower = LowerCase1252(text);
  for (int k = 0; k <= last; ++k) {
    const std::string& other = variable ? project.variables.Name(k) : project.functions.Name(k);
    if (LowerCase1252(other) == lower) return NameCheck::kTaken;
  }
  return NameCheck::kFree;
}

void WebSession::AddFunction(std::string_view name) {
  if (CheckNewName(false, name) != NameCheck::kFree) return;
  FunctionTable& functions = runtime_.Project().functions;
  const int k = functions.LastFunction() + 1;
  functions.SetLastFunction(k);
  functions.SetName(k, Utf8ToCp1252(name));
  functions.SetTerm(k, "");
}

void WebSession::DeleteFunction(int index) {
  FunctionTable& functions = runtime_.Project().functions;
  const int k = functions.FirstUserFunction() + index;
  if (index < 0 || k > functions.LastFunction()) return;
  for (int m = k; m < functions.LastFunction(); ++m) {
    functions.SetName(m, functions.Name(m + 1));
    functions.SetTerm(m, functions.Term(m + 1));
  }
  functions.SetLastFunction(functions.LastFunction() - 1);
}

void WebSession::SetFunctionTerm(int index, std::string_view term) {
  FunctionTable& functions = runtime_.Project().functions;
  const int k = functions.FirstUserFunction() + index;
  if (index < 0 || k > functions.LastFunction()) return;
  functions.SetTerm(k, RemoveSpaces(Utf8ToCp1252(term)));
}

void WebSession::AddVariable(std::string_view name) {
  if (CheckNewName(true, name) != NameCheck::kFree) return;
  VariableTable& variables = runtime_.Project().variables;
  const int j = variables.LastVariable() + 1;
  variables.SetLastVariable(j);
  variables.SetName(j, Utf8ToCp1252(name));
  variables.SetStartValue(j, TComplex{});
}

void WebSession::DeleteVariable(int index) {
  VariableTable& variables = runtime_.Project().variables;
  if (index < 0 || index > variables.LastVariable()) return;
  for (int j = index; j < variables.LastVariable(); ++j) {
    variables.SetName(j, variables.Name(j + 1));
    variables.SetStartValue(j, variables.StartValue(j + 1));
  }
  variables.SetLastVariable(variables.LastVariable() - 1);
}

std::string WebSession::SetVariableValue(int index, std::string_view term) {
  VariableTable& variables = runtime_.Project().variables;
  if (index < 0 || index > variables.LastVariable()) return "";
  const std::string text = Utf8ToCp1252(term);
  std::string shown;
  try {
    shown = EvaluateForDisplay(text, Context());
    if (!IsErrorText(shown))
      variables.SetStartValue(index, ParseNumberText(EvaluateTerm(text, Context())));
  } catch (const Fault& fault) {
    // The entry cannot be evaluated at all: shown as the fault it is, and not stored.
    boxes_.Show(MessageKind::Fault, FaultDisplayText(fault.what()), kApplicationTitle);
    return "?";
  }
  return Cp1252ToUtf8(shown);
}

// ------------------------------------------------------------------ the programs

int WebSession::SetProgram(int slot, std::string_view text) {
  if (slot != MainProgram && slot != MouseHandlerProgram) return -1;
  VectorEditorLines editor = LinesOf(text);
  const int fault = StructureFaultLine(editor);
  StoreEditorIntoProgram(editor, runtime_.Project().programs[static_cast<std::size_t>(slot)]);
  return fault;
}

std::string WebSession::EditorText(int slot) {
  if (slot != MainProgram && slot != MouseHandlerProgram) return "{}";
  VectorEditorLines editor;
  LoadProgramIntoEditor(runtime_.Project().programs[static_cast<std::size_t>(slot)], slot, editor,
                        boxes_);
  return EditorJson(editor);
}

std::string WebSession::Format(std::string_view text) {
  VectorEditorLines editor = LinesOf(text);
  FormatProgramText(editor, boxes_);
  return EditorJson(editor);
}

// ------------------------------------------------------------------ running

void WebSession::Start(bool live) {
  live_run_ = live;
  failed_.reset();
  Guarded([this] { runtime_.Debugger().Start(); });
}

void WebSession::Stop() {
  live_run_ = false;
  runtime_.Run().Stop();
}

void WebSession::SwitchOffBoth() {
  live_run_ = false;
  runtime_.Run().SwitchOffBoth();
}

void WebSession::SetMouseProgramEnabled(bool on) { runtime_.Run().SetMouseProgramEnabled(on); }

void WebSession::Failed(int slot) {
  failed_ = ProgramLine{slot, runtime_.State().CurrentLine[static_cast<std::size_t>(slot)]};
  live_run_ = false;
  runtime_.Run().AfterFailure();
  runtime_.Run().SwitchOffBoth();
}

SliceState WebSession::AfterSteps(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::Ended:
      if (live_run_) {
        live_run_ = false;
        runtime_.Run().Stop();  // a live picture is done: no message
      } else {
        runtime_.Run().FinishMain();
      }
      return SliceState::kEnded;
    case RunOutcome::Failed:
      Failed(MainProgram);
      return SliceState::kFailed;
    case RunOutcome::Running:
      break;
  }
  if (!runtime_.Run().MainRunning()) return SliceState::kIdle;
  return runtime_.Debugger().State() == DebugState::Paused ? SliceState::kPaused
                                                           : SliceState::kRunning;
}

SliceState WebSession::Slice(double milliseconds) {
  if (!runtime_.Run().MainRunning()) return SliceState::kIdle;
  RunOutcome outcome = RunOutcome::Running;
  Guarded([&] {
    StepBudget budget;
    budget.time = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::duration<double, std::milli>(milliseconds));
    outcome = runtime_.Debugger().Slice(budget);
  });
  return AfterSteps(outcome);
}

SliceState WebSession::SingleStep() {
  if (!runtime_.Run().MainRunning()) {
    live_run_ = false;
    failed_.reset();
  }
  RunOutcome outcome = RunOutcome::Running;
  Guarded([&] { outcome = runtime_.Debugger().SingleStep(); });
  return AfterSteps(outcome);
}

void WebSession::StepBack() {
  RunDebugger& debugger = runtime_.Debugger();
  if (debugger.State() == DebugState::Running) debugger.Pause();
  if (const std::optional<std::string> refused = debugger.StepBack()) {
    boxes_.Show(MessageKind::Information, *refused, MessageTitle(MessageKind::Information));
  }
}

void WebSession::Continue() {
  if (runtime_.Debugger().State() == DebugState::Paused) runtime_.Debugger().Continue();
}

void WebSession::RunMouseProgramIfDue() {
  if (runtime_.Run().MouseProgramDue() &&
      runtime_.Debugger().RunMouseProgram() == RunOutcome::Failed) {
    Failed(MouseHandlerProgram);
  }
}

void WebSession::Press(int x, int y) {
  runtime_.Run().PressMouse();
  Move(x, y);
}

void WebSession::Move(int x, int y) {
  Guarded([&] {
    runtime_.Run().MoveMouse(x, y);
    RunMouseProgramIfDue();
  });
}

void WebSession::Release() { runtime_.Run().ReleaseMouse(); }

std::string WebSession::Status() {
  const RunDebugger& debugger = runtime_.Debugger();
  const bool paused = debugger.State() == DebugState::Paused;
  Json json;
  json.Begin();
  json.Key("running").Bool(runtime_.Run().MainRunning());
  json.Key("mouse").Bool(runtime_.Run().Flags().MouseHandlerEnabled);
  json.Key("paused").Bool(paused);
  json.Key("pausedAt").Number(paused ? debugger.NextLine().line + 1 : 0);
  json.Key("failed").Raw(LineJson(failed_));
  if (failed_) {
    const ProgramText& program =
        runtime_.Project().programs[static_cast<std::size_t>(failed_->program)];
    const auto line = static_cast<std::size_t>(failed_->line);
    json.Key("failedText").String(line < program.size() ? program[line] : std::string());
  }
  json.Key("position").String(MousePositionText(runtime_.Drawing().MousePosition()));
  json.Key("waitMs").Number(
      std::chrono::duration<double, std::milli>(debugger.UntilNextLine()).count());
  json.End();
  return json.Text();
}

// ------------------------------------------------------------------ the run window

void WebSession::SetRunWindowOpen(bool open) {
  if (open == run_window_open_) return;
  run_window_open_ = open;
  RunDebugger& debugger = runtime_.Debugger();
  if (open) {
    RestoreDebugSettings(debugger, std::exchange(parked_, {}));
    debugger.SetHistoryEnabled(true);  // the history costs time and memory: only while open
  } else {
    debugger.SetHistoryEnabled(false);
    parked_ = ParkDebugSettings(debugger);
  }
}

void WebSession::ToggleBreakpoint(int line) {
  if (line < 0 ||
      static_cast<std::size_t>(line) >= runtime_.Project().programs[MainProgram].size()) {
    return;
  }
  runtime_.Debugger().ToggleBreakpoint(line);
}

void WebSession::SetWatch(int index, std::string_view term) {
  RunDebugger& debugger = runtime_.Debugger();
  const int count = static_cast<int>(debugger.Watches().size());
  std::string text = Utf8ToCp1252(term);
  // Blanks around the term mean nothing; a term of blanks alone removes the watch.
  text.erase(0, text.find_first_not_of(' '));
  text.erase(text.find_last_not_of(' ') + 1);
  Guarded([&] {
    if (index >= count) {
      if (text.empty()) return;
      debugger.AddWatch(text);
    } else if (index < 0) {
      return;
    } else if (text.empty()) {
      debugger.RemoveWatch(index);
    } else {
      debugger.SetWatchTerm(index, text);
    }
    debugger.RefreshWatches();
  });
}

void WebSession::SetWatchStop(int index, bool stop) {
  if (index >= 0 && index < static_cast<int>(runtime_.Debugger().Watches().size())) {
    runtime_.Debugger().SetStopOnChange(index, stop);
  }
}

void WebSession::SetTempo(int lines_per_second) {
  runtime_.Debugger().SetTempo(std::max(0, lines_per_second));
}

std::string WebSession::DebugView() {
  const RunDebugger& debugger = runtime_.Debugger();
  const VariableTable& variables = runtime_.Project().variables;
  const DebugState state = debugger.State();
  Json json;
  json.Begin();
  json.Key("state").Number(static_cast<int>(state));
  json.Key("pause").Number(static_cast<int>(debugger.LastPause()));
  json.Key("next").Raw(LineJson(state == DebugState::Stopped
                                    ? std::nullopt
                                    : std::optional<ProgramLine>(debugger.NextLine())));
  json.Key("failed").Raw(LineJson(failed_));
  json.Key("breakpoints").BeginList();
  for (const std::int32_t line : debugger.Breakpoints()) json.Item().Number(line);
  json.EndList();
  const std::vector<int>& changed = debugger.ChangedVariables();
  json.Key("variables").BeginList();
  for (int j = 0; j <= variables.LastVariable(); ++j) {
    json.BeginItem();
    json.Key("name").String(variables.Name(j));
    json.Key("start").String(ComplexToText(variables.StartValue(j)));
    json.Key("value").String(ComplexToText(variables.CurrentValue(j)));
    json.Key("changed").Bool(std::find(changed.begin(), changed.end(), j) != changed.end());
    json.End();
  }
  json.EndList();
  json.Key("watches").BeginList();
  for (const Watch& watch : debugger.Watches()) {
    json.BeginItem();
    json.Key("term").String(watch.term);
    json.Key("text").String(watch.text);
    json.Key("changed").Bool(watch.changed);
    json.Key("stop").Bool(watch.stop_on_change);
    json.End();
  }
  json.EndList();
  // The rewriting of the terms of the line that runs next, or of the line that failed.
  std::optional<ProgramLine> line = failed_;
  if (!line && state != DebugState::Stopped) line = debugger.NextLine();
  json.Key("rewriting").BeginList();
  if (line) {
    for (const std::string& term : debugger.TermsOfLine(*line)) {
      json.Item().Strings(debugger.Rewriting(term));
    }
  }
  json.EndList();
  json.Key("tempo").Number(debugger.Tempo());
  json.End();
  return json.Text();
}

// ------------------------------------------------------------------ controls

std::string WebSession::AddSlider(std::string_view variable, std::string_view minimum,
                                  std::string_view maximum, std::string_view step) {
  const VariableTable& variables = runtime_.Project().variables;
  const std::string name = Utf8ToCp1252(variable);
  if (auto refused = CheckControlVariable(variables, controls_, name)) {
    return Cp1252ToUtf8(*refused);
  }
  Control slider;
  try {
    const SliderTerms terms{Utf8ToCp1252(minimum), Utf8ToCp1252(maximum), Utf8ToCp1252(step)};
    if (auto refused = MakeSlider(name, terms, Context(), slider)) return Cp1252ToUtf8(*refused);
  } catch (const Fault& fault) {
    return Cp1252ToUtf8(FaultDisplayText(fault.what()));
  }
  slider.variable = variables.Name(variables.FindVariable(LowerCase1252(name)));
  controls_.controls.push_back(slider);
  return "";
}

std::string WebSession::AddPoint(std::string_view variable) {
  const VariableTable& variables = runtime_.Project().variables;
  const std::string name = Utf8ToCp1252(variable);
  if (auto refused = CheckControlVariable(variables, controls_, name)) {
    return Cp1252ToUtf8(*refused);
  }
  Control point;
  point.kind = ControlKind::Point;
  point.variable = variables.Name(variables.FindVariable(LowerCase1252(name)));
  controls_.controls.push_back(point);
  return "";
}

void WebSession::RemoveControl(int index) {
  std::vector<Control>& controls = controls_.controls;
  if (index < 0 || static_cast<std::size_t>(index) >= controls.size()) return;
  controls.erase(controls.begin() + index);
  drag_index_ = -1;
}

void WebSession::SetSliderPosition(int index, int position) {
  if (index < 0 || static_cast<std::size_t>(index) >= controls_.controls.size()) return;
  const Control& control = controls_.controls[static_cast<std::size_t>(index)];
  VariableTable& variables = runtime_.Project().variables;
  const int j = ControlVariable(variables, control);
  if (j < 0 || control.kind != ControlKind::Slider) return;
  variables.SetStartValue(j, ComplexFromReal(SliderValue(control, position)));
}

int WebSession::GrabHandle(int x, int y) {
  drag_index_ = -1;
  const std::vector<Control>& controls = controls_.controls;
  // The last handle painted lies on top, so it is tried first.
  for (std::size_t n = controls.size(); n-- > 0;) {
    const auto at = PointHandle(controls[n], runtime_.Project().variables, runtime_.Drawing());
    if (!at) continue;
    const int dx = x - at->x, dy = y - at->y;
    if (dx * dx + dy * dy <= kGrabRadius * kGrabRadius) {
      drag_index_ = static_cast<int>(n);
      drag_x_ = x;
      drag_y_ = y;
      break;
    }
  }
  return drag_index_;
}

bool WebSession::DragHandleTo(int x, int y) {
  if (drag_index_ < 0) return false;
  const int dx = x - drag_x_, dy = y - drag_y_;
  drag_x_ = x;
  drag_y_ = y;
  return MoveHandle(drag_index_, dx, dy);
}

bool WebSession::MoveHandle(int index, int dx, int dy) {
  if (index < 0 || static_cast<std::size_t>(index) >= controls_.controls.size()) return false;
  const Control& control = controls_.controls[static_cast<std::size_t>(index)];
  VariableTable& variables = runtime_.Project().variables;
  const int j = ControlVariable(variables, control);
  if (j < 0 || control.kind != ControlKind::Point) return false;
  const TComplex old = variables.StartValue(j);
  TComplex value = old;
  Guarded([&] { value = DraggedValue(old, dx, dy, runtime_.Drawing()); });
  if (old.Re == value.Re && old.Im == value.Im) return false;
  variables.SetStartValue(j, value);
  return true;
}

// ------------------------------------------------------------------ the picture

const std::uint8_t* WebSession::Rgba() {
  const std::vector<Colour>& pixels = picture_.Pixels();
  rgba_.resize(pixels.size() * 4);
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    rgba_[4 * i] = static_cast<std::uint8_t>(pixels[i] >> 16);
    rgba_[4 * i + 1] = static_cast<std::uint8_t>(pixels[i] >> 8);
    rgba_[4 * i + 2] = static_cast<std::uint8_t>(pixels[i]);
    rgba_[4 * i + 3] = 0xFF;
  }
  return rgba_.data();
}

void WebSession::LoadPicture(std::string_view rgba, int width, int height) {
  if (width <= 0 || height <= 0 ||
      rgba.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4) {
    return;
  }
  std::vector<Colour> pixels(rgba.size() / 4);
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    const auto byte = [&](std::size_t k) {
      return static_cast<Colour>(static_cast<unsigned char>(rgba[4 * i + k]));
    };
    pixels[i] = byte(0) << 16 | byte(1) << 8 | byte(2);
  }
  picture_.Replace(width, height, std::move(pixels));
  record_.Restart(true);
}

int WebSession::SvgNeeds() const {
  if (!RecordShapes(record_, picture_.Width(), picture_.Height())) return 2;
  return record_.OnPicture() ? 1 : 0;
}

std::string WebSession::Svg(std::string_view ground, std::string_view pixels) const {
  const auto shapes = RecordShapes(record_, picture_.Width(), picture_.Height());
  const std::string_view below = !shapes ? pixels : record_.OnPicture() ? ground : "";
  return PictureSvgDocument(picture_.Width(), picture_.Height(), shapes ? &*shapes : nullptr,
                            below);
}

std::string WebSession::TakeBoxes() {
  std::string lines;
  lines.swap(boxes_.lines);
  return lines;
}

}  // namespace ombrix::web
