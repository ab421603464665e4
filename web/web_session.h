// The engine behind the browser's page, in its Web Worker: a Runtime with its picture, the
// drawing record, the controls and the run window's settings, driven as the desktop's
// window drives them. What belongs to the page alone (the file name, the change mark, the
// questions before discarding, live restarts) stays in the page's modules. Texts cross
// this interface as UTF-8, project and side files as their Windows-1252 bytes; structured
// answers are JSON.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "logic/app/runtime.h"
#include "logic/complex/messages.h"
#include "logic/program/debug_settings.h"
#include "logic/program/drawing_record.h"
#include "logic/program/pixel_canvas.h"
#include "logic/project/controls_file.h"

namespace ombrix::web {

enum class SliceState { kIdle = 0, kRunning = 1, kEnded = 2, kFailed = 3, kPaused = 4 };

// What a new name for a function or a variable is.
enum class NameCheck { kFree = 0, kUnsuitable = 1, kTaken = 2, kTableFull = 3 };

class WebSession {
 public:
  WebSession();

  // --- The project ---
  // "Neues Projekt" (the page has asked before discarding): the tables and programs
  // emptied, no controls, a white picture of 400 x 400.
  void NewProject();
  // The project from a file's bytes; "" or the reason it cannot be read (the open project
  // stays then). `converted`: written under the other decimal separator and converted.
  std::string Open(std::string_view bytes, std::string_view file_name, bool& converted);
  // The bytes of the project file, or the reason it cannot be saved ("" then).
  std::string Save(std::string& bytes) const;
  // The controls from a side file's bytes: "" or the message of a broken one (no controls).
  std::string OpenControls(std::string_view bytes, std::string_view file_name);
  // The side file's bytes; empty when the project has no controls.
  std::string ControlsBytes() const;
  // Tables, programs and controls as the page shows them (JSON).
  std::string Document() const;
  // The language's words for the editor (JSON): block keywords, commands with their
  // argument counts, built-in functions.
  static std::string Vocabulary();

  // --- The tables: user functions by their index from 0, variables by their table index ---
  NameCheck CheckNewName(bool variable, std::string_view name) const;
  void AddFunction(std::string_view name);
  void DeleteFunction(int index);
  void SetFunctionTerm(int index, std::string_view term);
  void AddVariable(std::string_view name);
  void DeleteVariable(int index);
  // Evaluates `term` as a start value: stores it unless it fails; the display text or the
  // error's message (beginning with "?").
  std::string SetVariableValue(int index, std::string_view term);

  // --- The programs: the editor's text, one line a line ---
  // Stores the text into the program; the line where its blocks stop balancing, or -1.
  int SetProgram(int slot, std::string_view text);
  // The program as the editor shows it when opened (formatted; the structure box shown).
  std::string EditorText(int slot);
  // "Neu formatieren" on the text: the re-indented text (the structure box shown).
  std::string Format(std::string_view text);

  // --- Running ---
  // "Starten"; a live start ends without the success message.
  void Start(bool live);
  void Stop();
  // Both check boxes off.
  void SwitchOffBoth();
  void SetMouseProgramEnabled(bool on);
  // Main-program lines for about `milliseconds` (at least one line while running).
  SliceState Slice(double milliseconds);
  SliceState SingleStep();
  void StepBack();
  void Continue();
  // The mouse over the picture at pixel (x, y): a press runs the mouse-click program, as a
  // move does while the button is held.
  void Press(int x, int y);
  void Move(int x, int y);
  void Release();
  // Running, paused, the failure, the mouse position, when the next line is due (JSON).
  std::string Status();

  // --- The run window ---
  // Open: its breakpoints, watched terms and tempo act and the history is kept; closed,
  // they wait until it opens again.
  void SetRunWindowOpen(bool open);
  void ToggleBreakpoint(int line);
  // A watch's term (index past the last: a new one; empty: removed) and its stop mark.
  void SetWatch(int index, std::string_view term);
  void SetWatchStop(int index, bool stop);
  void SetTempo(int lines_per_second);
  // Lines, variables, watches, the rewriting of the next line's terms (JSON).
  std::string DebugView();

  // --- Controls ---
  std::string AddSlider(std::string_view variable, std::string_view minimum,
                        std::string_view maximum, std::string_view step);
  std::string AddPoint(std::string_view variable);
  void RemoveControl(int index);
  void SetLive(bool live) { controls_.live = live; }
  void SetSliderPosition(int index, int position);
  // A press at (x, y) on a point's handle takes it: its index, or -1.
  int GrabHandle(int x, int y);
  // The handle taken follows the pointer to (x, y); true when its value changed.
  bool DragHandleTo(int x, int y);
  // Moves the value of point `index` by (dx, dy) pixels, as a drag does.
  bool MoveHandle(int index, int dx, int dy);

  // --- The picture ---
  // Four bytes a pixel (red, green, blue, opaque), row by row from the top.
  const std::uint8_t* Rgba();
  int Width() const { return picture_.Width(); }
  int Height() const { return picture_.Height(); }
  // Raised by every drawing call: the page repaints when it moved.
  std::uint64_t PictureChanges() const { return picture_.Changes(); }
  // "Bild öffnen": the picture takes over the loaded one (RGBA, row by row).
  void LoadPicture(std::string_view rgba, int width, int height);
  // The picture as SVG; `ground` is the data URL of the loaded picture the commands drew
  // over, `pixels` of the whole picture (used when it cannot be given as shapes).
  std::string Svg(std::string_view ground, std::string_view pixels) const;
  // What Svg needs: 0 nothing, 1 the loaded picture, 2 the pixels.
  int SvgNeeds() const;

  // The boxes shown since the last call, one a line: the MessageKind's number, the title
  // and the text separated by tabs, line breaks in the text as "\n".
  std::string TakeBoxes();

 private:
  // Runs `action`, showing a fault as the window's top-level handler does.
  template <class Action>
  void Guarded(Action&& action);

  class CollectedBoxes final : public MessageBoxes {
   public:
    void Show(MessageKind kind, const std::string& text, const std::string& title) override;
    bool Confirm(const std::string& text) override;
    std::string lines;
  };

  SliceState AfterSteps(RunOutcome outcome);
  void RunMouseProgramIfDue();
  void Failed(int slot);
  void ForgetRunSettings();
  EvalContext Context() const;

  mutable CollectedBoxes boxes_;
  PixelCanvas picture_;
  Runtime runtime_;
  DrawingRecord record_;
  std::vector<std::uint8_t> rgba_;
  ControlSet controls_;
  DebugSettings parked_;
  bool run_window_open_ = false;
  bool live_run_ = false;
  int drag_index_ = -1;
  int drag_x_ = 0, drag_y_ = 0;
  std::optional<ProgramLine> failed_;
};

}  // namespace ombrix::web
