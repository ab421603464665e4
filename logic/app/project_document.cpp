#include "logic/app/project_document.h"

#include <utility>

#include "logic/complex/fault.h"

namespace ombrix {

void ShowProjectError(MessageBoxes& boxes, const ProjectError& error) {
  if (error.fault) {
    boxes.Show(MessageKind::Fault, FaultDisplayText(error.message));
  } else {
    boxes.Show(MessageKind::Error, error.message);
  }
}

ProjectDocument::ProjectDocument(Runtime& runtime, const FileStore& files)
    : runtime_(runtime), files_(files) {}

bool ProjectDocument::MayDiscard() {
  return !changed_ || runtime_.Boxes().Confirm(kConfirmDiscard);
}

bool ProjectDocument::MayClose() {
  if (!MayDiscard()) return false;
  changed_ = false;
  return true;
}

bool ProjectDocument::New() {
  if (!MayClose()) return false;
  runtime_.Project().Reset();
  controls_ = ControlSet{};
  file_.clear();
  copy_of_.clear();
  runtime_.Run().ResetCounters();
  return true;
}

OpenResult ProjectDocument::Open(const std::filesystem::path& file, OpenAs as) {
  // The load takes the file over only when all of it was read; its errors name the file.
  bool converted = false;
  if (const std::optional<ProjectError> error =
          LoadProject(runtime_.Project(), file, files_, &converted)) {
    ShowProjectError(runtime_.Boxes(), *error);
    return {};
  }
  file_ = as == OpenAs::File ? file : std::filesystem::path();
  copy_of_ = as == OpenAs::Copy ? file.filename() : std::filesystem::path();
  // Converted from the other decimal separator, it differs from its file until saved.
  changed_ = converted;
  // The opened project has not run yet: its programs start at their first line.
  runtime_.Run().ResetCounters();
  LoadedControls loaded = LoadControls(file, files_);
  controls_ = std::move(loaded.set);
  return {true, std::move(loaded.message)};
}

bool ProjectDocument::Write(const std::filesystem::path& file) {
  if (const std::optional<ProjectError> error =
          SaveProjectAndControls(runtime_.Project(), controls_, file, files_)) {
    ShowProjectError(runtime_.Boxes(), *error);  // not saved: the changes stay marked
    return false;
  }
  changed_ = false;
  return true;
}

bool ProjectDocument::Save() { return Write(file_); }

bool ProjectDocument::SaveAs(const std::filesystem::path& file) {
  if (!Write(file)) return false;
  file_ = file;
  copy_of_.clear();
  return true;
}

}  // namespace ombrix
