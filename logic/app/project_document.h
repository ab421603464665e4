// The project as a document: its content (the runtime's), its controls, the file it
// belongs to and whether it changed since it was last opened or saved; "Neues Projekt",
// opening (also an example, as an unnamed copy), saving and "speichern unter" through the
// front end's FileStore; and the one question before unsaved changes are lost. The file
// dialogs are the front end's: it chooses a file and hands it over.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "logic/app/runtime.h"
#include "logic/project/controls_file.h"
#include "logic/project/file_store.h"
#include "logic/project/project_file.h"

namespace ombrix {

inline constexpr const char* kConfirmDiscard =
    "Wollen Sie Ihre \xC4nderungen am Projekt\nwirklich verwerfen?";

enum class OpenAs {
  File,  // the project is that file's: "Projekt speichern" writes it
  Copy,  // an example: unnamed, so that the first save asks for a name and it stays as shipped
};

struct OpenResult {
  bool opened = false;
  // The side file beside it was broken: the project opened without controls, and this is
  // what to show ("Fehler").
  std::optional<std::string> controls_problem;
};

// The project's error as the window shows it: a conversion fault as the fault box, any
// other as "Fehler".
void ShowProjectError(MessageBoxes& boxes, const ProjectError& error);

class ProjectDocument {
 public:
  ProjectDocument(Runtime& runtime, const FileStore& files);
  ProjectDocument(const ProjectDocument&) = delete;
  ProjectDocument& operator=(const ProjectDocument&) = delete;

  bool Changed() const { return changed_; }
  void MarkChanged() { changed_ = true; }
  // For an editor that marks the project changed as it is typed in.
  bool& ChangedFlag() { return changed_; }
  // The file the project belongs to; empty while it has none ("{ohne Namen}").
  const std::filesystem::path& File() const { return file_; }
  bool Named() const { return !file_.empty(); }
  // Where the next save writes, for a front end that names the file by other means.
  void SetFile(std::filesystem::path file) { file_ = std::move(file); }
  // The file name of the example this unnamed project was opened from (offered by the
  // first "speichern unter"), or empty.
  const std::filesystem::path& CopyOf() const { return copy_of_; }
  ControlSet& Controls() { return controls_; }
  const ControlSet& Controls() const { return controls_; }

  // The one place that asks whether unsaved changes may be dropped: true when there are
  // none or the user answered "OK" to kConfirmDiscard. The changes stay marked; a front
  // end whose boxes answer later lets Confirm say "Abbrechen" now and, after "OK", calls
  // DiscardChanges and repeats the action.
  [[nodiscard]] bool MayDiscard();
  void DiscardChanges() { changed_ = false; }
  // MayDiscard, and the changes then count as dropped: the close query, "Beenden".
  [[nodiscard]] bool MayClose();

  // "Neues Projekt" after MayClose: the tables and programs of a new project, no controls,
  // no file, the programs at their first line. False when the user kept the changes.
  [[nodiscard]] bool New();
  // Reads `file` whole and takes it over with the controls beside it; on failure the
  // error is shown and the open project stays. A file of the other decimal separator is
  // converted and counts as changed.
  [[nodiscard]] OpenResult Open(const std::filesystem::path& file, OpenAs as = OpenAs::File);
  // Writes the project and its side file together to File() (Named() only), or to `file`
  // which it then belongs to; on failure the error is shown and nothing else changes.
  [[nodiscard]] bool Save();
  [[nodiscard]] bool SaveAs(const std::filesystem::path& file);

 private:
  [[nodiscard]] bool Write(const std::filesystem::path& file);

  Runtime& runtime_;
  const FileStore& files_;
  ControlSet controls_;
  std::filesystem::path file_;
  std::filesystem::path copy_of_;
  bool changed_ = false;
};

}  // namespace ombrix
