// Everything one running Ombrix works on: the application core (the project, its document,
// the drawing state, the run flags and the interpreter, the run scheduler, the live
// restart), built through its owner from the window's platform pieces: the picture, the
// project files, the boxes the window attaches. The members below the core are the
// window's names for the core's parts. main() creates one; every test builds its own.
#pragma once

#include <QString>
#include <filesystem>

#include "logic/app/app_core.h"
#include "logic/program/drawing_state.h"
#include "logic/program/interpreter.h"
#include "logic/program/project_content.h"
#include "logic/project/controls_file.h"
#include "logic/project/project_file.h"
#include "platform/picture_export.h"
#include "platform/posix_file_store.h"
#include "platform/qimage_canvas.h"
#include "ui/qt_message_boxes.h"

namespace ombrix {

// A file name as Qt spells it, and back: any name survives the round trip.
std::filesystem::path FilePath(const QString& name);
QString FileName(const std::filesystem::path& path);

// The document's file as the window shows it: a path, "{ohne Namen}" while it has none.
class ProjectFileNameRef {
 public:
  explicit ProjectFileNameRef(ProjectDocument& document) : document_(document) {}
  ProjectFileNameRef(const ProjectFileNameRef&) = delete;
  ProjectFileNameRef& operator=(const ProjectFileNameRef&) = delete;
  ProjectFileNameRef& operator=(const QString& name);
  operator QString() const;  // NOLINT(google-explicit-constructor): read as the name it is
  bool operator==(const QString& name) const { return QString(*this) == name; }

 private:
  ProjectDocument& document_;
};

struct Session {
  Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  QImageCanvas canvas;
  PictureRecord record;  // what the picture was drawn from, for printing and export
  PosixFileStore files;
  HookedMessageBoxes boxes;  // the window attaches its boxes
  AppCore core;

  ProjectContent& project;
  DrawingState& drawing;
  RunFlags& flags;
  InterpreterState& interp;
  ControlSet& controls;  // kept in the side file beside the project
  bool& ProjectChanged;
  ProjectFileNameRef ProjectFileName;
};

}  // namespace ombrix
