// The program editor: one text area for either program, "Neu formatieren" and "OK".
// Its text is the line list that the program-text operations load, format and store.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "logic/complex/messages.h"
#include "logic/program/program_text.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace ombrix {

class TFormPrgEditor final : public QDialog, public EditorLines {
 public:
  // `projectChanged` is the main window's flag that typing sets.
  TFormPrgEditor(bool& project_changed, MessageBoxes& boxes, QWidget* parent = nullptr);
  ~TFormPrgEditor() override;

  // The line list: one entry per text line; a line break at the very end of the text
  // adds no empty last line.
  int Count() const override;
  std::string Line(int index) const override;
  void ReplaceLine(int index, const std::string& text) override;
  void Clear() override;
  void Append(const std::string& text) override;
  void BeginUpdate() override;
  void EndUpdate() override;
  void SetCaption(const std::string& caption) override;

  // What FormShow selects: the stored text of `program`'s line `current_line`.
  void SetCurrentLine(const ProgramText& program, int current_line);
  // The program of `slot` into the editor in one batch, so that a long program is not
  // re-shown line by line; then SetCurrentLine (-1: nothing selected).
  void LoadProgram(const ProgramText& program, int slot, int current_line);
  // The line marked as where the structure breaks (after opening or "Neu formatieren",
  // until the text is edited); -1 for none.
  int StructureMark() const { return structure_mark_; }

  void FormShow();
  void Button1Click();
  void Button2Click();
  void Memo1KeyPress();

  QPlainTextEdit* Memo1;
  QPushButton* Button1;  // "OK"
  QPushButton* Button2;  // "Neu formatieren"
  QLabel* Label1;        // "Zeile n": the line of the cursor, as messages count lines

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Arrange();
  const std::vector<std::string>& Lines() const;
  void Changed();
  // A paste or a key would have made a line of `length` characters (blanks not counted).
  void LineTooLong(qsizetype length);
  void WriteToMemo();
  void SteadyCursorForLongLines();
  void SetSteadyCursor(bool steady);
  void ShowCursorLine();
  void MarkStructure(int line);

  bool& project_changed_;
  MessageBoxes& boxes_;
  // The lines as last read from or written to Memo1; re-read after the user typed.
  mutable std::vector<std::string> lines_;
  mutable bool memo_is_newer_ = false;
  bool lines_are_newer_ = false;
  bool writing_ = false;
  int update_depth_ = 0;
  std::string selection_text_;
  int saved_flash_time_ = -1;  // the blink time to give back; -1 while the cursor blinks
  int structure_mark_ = -1;
};

// Memo text <-> lines. An empty last line is written with one more line break, so that
// every list of lines comes back exactly.
std::vector<std::string> SplitEditorText(const QString& text);
QString JoinEditorLines(const std::vector<std::string>& lines);

}  // namespace ombrix
