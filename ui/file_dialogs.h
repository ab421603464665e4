// The four file dialogs of the main window behind one small interface, so that the
// window can be driven without a modal dialog (tests, benchmarks).
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <optional>
#include <vector>

class QWidget;

namespace ombrix {

class ProjectDocument;

enum class FileDialogKind { OpenProject, SaveProject, OpenPicture, SavePicture, ExportPicture };

struct FileDialogSetup {
  FileDialogKind kind;
  bool save = false;
  QString title;
  QStringList filters;  // Qt filter strings, "Bitmaps (*.bmp)"
  QString default_suffix;
  QString selected_filter;          // the filter shown first
  QString start;                    // the folder the dialog opens in, or a file there to offer
  bool suffix_from_filter = false;  // a name typed without extension gets the shown filter's
};

// The dialog as the main window shows it: title, filters, default extension.
FileDialogSetup DialogSetup(FileDialogKind kind);
// A project's dialog, where the user was: the project's folder (with its file offered for
// "speichern unter"), an example's name in the home folder for its copy; home at first.
FileDialogSetup ProjectDialogSetup(FileDialogKind kind, const ProjectDocument& document);

// "Bitmaps (*.bmp)|*.bmp|JPEG (*.jpg)|*.jpg,*.jpeg" -> {"Bitmaps (*.bmp)", "JPEG (*.jpg *.jpeg)"}:
// each description|pattern pair becomes "description (patterns)", patterns split at ";"
// and ","; a pattern part already written at the end of the description is replaced.
QStringList ToolkitFilterToQt(const QString& filter);

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // The chosen file, or nothing when the user cancelled.
  virtual std::optional<QString> Choose(const FileDialogSetup& setup) = 0;
};

class QtFileDialogs final : public FileDialogs {
 public:
  explicit QtFileDialogs(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }
  std::optional<QString> Choose(const FileDialogSetup& setup) override;

 private:
  QWidget* parent_;
};

// Answers from a queue (a file name, or nothing for "Abbrechen") and records every
// dialog that was asked for; an empty queue answers "Abbrechen".
class ScriptedFileDialogs final : public FileDialogs {
 public:
  std::optional<QString> Choose(const FileDialogSetup& setup) override {
    asked.push_back(setup);
    if (answers.empty()) return std::nullopt;
    const bool cancelled = !answers.front().has_value();
    const QString name = cancelled ? QString() : *answers.front();
    answers.pop_front();
    if (cancelled) return std::nullopt;
    return name;
  }
  std::deque<std::optional<QString>> answers;
  std::vector<FileDialogSetup> asked;
};

}  // namespace ombrix
