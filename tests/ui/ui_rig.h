// What every window test needs: a fresh session, recording message boxes, scripted file
// dialogs, the real window; and a driver that answers modal dialogs as they open.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "logic/complex/cp1252.h"
#include "logic/complex/num_text.h"
#include "logic/project/project_file.h"
#include "platform/qt_text.h"
#include "tests/support/recording.h"
#include "ui/Unitform1.h"
#include "ui/Unitformprgeditor.h"
#include "ui/file_dialogs.h"
#include "ui/session.h"

namespace ombrix::testing {

struct Rig {
  Rig() { SetDecimalSeparator(','); }
  Session session;
  RecordingMessageBoxes boxes;
  ScriptedFileDialogs files;
  TForm1 form{session, boxes, files};

  ProgramText& Main() { return session.project.programs[MainProgram]; }
  ProgramText& Mouse() { return session.project.programs[MouseHandlerProgram]; }
  // Adds a user variable with its start value; returns its index.
  int AddVariable(const std::string& name, double start) {
    VariableTable& v = session.project.variables;
    const int j = v.LastVariable() + 1;
    v.SetLastVariable(j);
    v.SetName(j, name);
    v.SetStartValue(j, ComplexFromReal(start));
    v.SetCurrentValue(j, ComplexFromReal(start));
    return j;
  }
  double Current(const std::string& name) const {
    const VariableTable& v = session.project.variables;
    return v.CurrentValue(v.FindVariable(LowerCase1252(name))).Re;
  }
  std::string Changed() const { return FromQt(form.StatusChangedPanel->text()); }
};

// Nothing drawn: every pixel of the picture is white.
inline bool AllWhite(const QImage& image) {
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if ((image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) return false;
  return true;
}

// A project file with the given programs and one user function "f" = "#^2".
inline QString WriteProject(const QTemporaryDir& dir, const QString& name, const ProgramText& main,
                            const ProgramText& mouse) {
  ProjectContent content;
  content.functions.SetLastFunction(kFirstUserFunction);
  content.functions.SetName(kFirstUserFunction, "f");
  content.functions.SetTerm(kFirstUserFunction, "#^2");
  content.programs[MainProgram] = main;
  content.programs[MouseHandlerProgram] = mouse;
  const QString path = dir.filePath(name);
  const auto error = SaveProject(content, QFile::encodeName(path).toStdString());
  if (error) qFatal("cannot write the test project");
  return path;
}

// One opening of a modal dialog, as the driver saw it.
struct ModalVisit {
  std::string class_name;
  std::string title;
  std::string text;      // the editor's text
  std::string selected;  // the editor's selection
  int selection_start = -1;
  bool memo_has_focus = false;
};

// Polls for modal dialogs; each one that opens is recorded, given the next scripted
// action (if any) and then closed with its "OK" (or as the action leaves it).
class ModalDriver {
 public:
  using Action = std::function<void(QDialog&)>;
  ModalDriver() {
    timer_.setInterval(1);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
  }
  std::vector<ModalVisit> visits;
  std::deque<Action> actions;

 private:
  void Poll() {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr || !dialog->isVisible()) return;
    ModalVisit visit;
    visit.class_name = dynamic_cast<TFormPrgEditor*>(dialog) != nullptr
                           ? "TFormPrgEditor"
                           : dialog->metaObject()->className();
    visit.title = FromQt(dialog->windowTitle());
    if (auto* editor = dynamic_cast<TFormPrgEditor*>(dialog)) {
      visit.text = FromQt(editor->Memo1->toPlainText());
      const QTextCursor cursor = editor->Memo1->textCursor();
      visit.selected = FromQt(cursor.selectedText());
      visit.selection_start = cursor.hasSelection() ? cursor.selectionStart() : -1;
      visit.memo_has_focus = editor->Memo1->hasFocus() || editor->focusWidget() == editor->Memo1;
    }
    visits.push_back(visit);
    if (!actions.empty()) {
      Action action = std::move(actions.front());
      actions.pop_front();
      if (action) action(*dialog);
    }
    if (dialog->isVisible()) dialog->done(QDialog::Accepted);
  }
  QTimer timer_;
};

// Counts the paintings of a widget.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

}  // namespace ombrix::testing
