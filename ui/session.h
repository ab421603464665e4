// Everything one running Ombrix works on: the project (tables and programs), the
// drawing state and its picture, the interpreter's counters and the window's flags.
// main() creates one; every test builds its own.
#pragma once

#include <QString>

#include "logic/program/drawing_state.h"
#include "logic/program/interpreter.h"
#include "logic/program/project_content.h"
#include "logic/project/controls_file.h"
#include "logic/project/project_file.h"
#include "platform/picture_export.h"
#include "platform/posix_file_store.h"
#include "platform/qimage_canvas.h"

namespace ombrix {

struct Session {
  Session() { drawing.AttachPicture(&canvas); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  ProjectContent project;
  DrawingState drawing;
  QImageCanvas canvas;
  PictureRecord record;  // what the picture was drawn from, for printing and export
  RunFlags flags;
  InterpreterState interp;
  ControlSet controls;  // kept in the side file beside the project

  // A path, not a Windows-1252 text, so that any file name survives; "{ohne Namen}"
  // while the project was never saved or opened.
  QString ProjectFileName = QString::fromLatin1(kUnnamedProject);
  bool ProjectChanged = false;
};

}  // namespace ombrix
