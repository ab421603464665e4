// The engine behind the browser's page, in its Web Worker: one project, its picture and
// the run engine, the main program stepped in time slices as the window steps it. Texts
// leave it as UTF-8; inside they are Windows-1252, as everywhere.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "logic/complex/messages.h"
#include "logic/program/drawing_state.h"
#include "logic/program/interpreter.h"
#include "logic/program/pixel_canvas.h"
#include "logic/program/project_content.h"
#include "logic/program/run_control.h"

namespace ombrix::web {

enum class SliceState { kIdle = 0, kRunning = 1, kEnded = 2, kFailed = 3 };

class WebSession {
 public:
  WebSession();

  // The project from the bytes of a project file, as "Projekt öffnen" reads them; "" or
  // the reason it cannot be read (the open project stays then).
  std::string Open(std::string_view bytes);

  // "Starten" and "Abbrechen".
  void Start();
  void Stop();
  // The main program for about `milliseconds` (at least one line); at its end the success
  // message is shown, after a failure both programs are off.
  SliceState Slice(double milliseconds);

  // The mouse over the picture at pixel (x, y): a press runs the mouse-click program, as a
  // move does while the button is held.
  void Press(int x, int y);
  void Move(int x, int y);
  void Release();

  // The picture, four bytes a pixel (red, green, blue, opaque), row by row from the top.
  const std::uint8_t* Rgba();
  int Width() const { return picture_.Width(); }
  int Height() const { return picture_.Height(); }
  // Raised by every drawing call: the page repaints when it moved.
  std::uint64_t PictureChanges() const { return picture_.Changes(); }

  // The boxes shown since the last call, one a line: the MessageKind's number, the title
  // and the text separated by tabs, line breaks in the text as "\n" (UTF-8).
  std::string TakeBoxes();

 private:
  class CollectedBoxes final : public MessageBoxes {
   public:
    void Show(MessageKind kind, const std::string& text, const std::string& title) override;
    bool Confirm(const std::string& text) override;
    std::string lines;
  };

  // Runs `action`, showing a fault as the window's top-level handler does.
  template <class Action>
  void Guarded(Action&& action);
  void RunMouseProgramIfDue();

  CollectedBoxes boxes_;
  PixelCanvas picture_;
  std::vector<std::uint8_t> rgba_;
  ProjectContent project_;
  DrawingState drawing_;
  RunFlags flags_;
  InterpreterState state_;
  Interpreter interpreter_;
  RunControl run_;
};

}  // namespace ombrix::web
