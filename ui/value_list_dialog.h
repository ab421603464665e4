// What the function and the variable dialog have in common: the key/value grid and a
// dialog of that grid with a name field and the
// buttons to add, delete and close, together with the add and delete steps.
#pragma once

#include <QDialog>
#include <QTableWidget>
#include <functional>
#include <string>
#include <string_view>

#include "logic/complex/messages.h"
#include "logic/evaluator/tables.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace ombrix {

// Key of the row after the last entry, the slot that a new entry takes.
inline constexpr const char* kPlaceholderKey = "{unbenutzt}";

// A two-column grid of keys (read-only) and values (editable). Rows are counted as
// the dialogs count them: row 0 is the title row, row r >= 1 is table row r - 1.
// Every move of the current row by mouse or keyboard first asks OnSelectCell, which
// may refuse it (and show a box).
class TValueListEditor : public QTableWidget {
  Q_OBJECT

 public:
  explicit TValueListEditor(QWidget* parent = nullptr);

  std::function<bool(int row)> OnSelectCell;

  // Number of rows counting the title row.
  int GridRowCount() const { return rowCount() + 1; }
  void ClearRows();
  void AppendRow(const std::string& key, const std::string& value, bool value_editable);
  void DeleteGridRow(int row);  // the current row stays at the same number, as far as possible
  std::string Key(int row) const;
  void SetKey(int row, const std::string& key);
  std::string Value(int row) const;
  void SetValue(int row, const std::string& value);
  void SetValueEditable(int row, bool editable);

  // -1 when there is no current row.
  int CurrentGridRow() const;
  // Asks OnSelectCell; true when the row became current.
  bool SelectGridRow(int row);
  // Makes the row current without asking (the dialog's own bookkeeping).
  void ForceCurrentGridRow(int row);
  // Stores the text of an open cell editor into its cell.
  void CommitPendingEdit();
  // Makes the row's value cell current without asking, scrolls it into view, takes the
  // focus and opens the cell for typing.
  void EditValue(int row);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
  void keyboardSearch(const QString& search) override;

 private:
  bool Allowed(int row);
  std::string CellText(int row, int column) const;
  void SetCellText(int row, int column, const std::string& text);
  bool press_refused_ = false;
};

// How one of the two dialogs looks and what it says.
struct TValueListDialogTexts {
  const char* object_name;
  const char* title;
  int width;
  int height;
  int control_width;  // the label, the name field and the add and delete buttons
  const char* key_heading;
  const char* value_heading;
  const char* label;
  const char* add_button;
  const char* delete_button;
  const char* table_full;        // the table holds no further entry
  const char* unsuitable_name;   // the name breaks the name rule
  const char* name_noun;         // starts the message on a name that is taken
  const char* placeholder_info;  // the placeholder row was chosen
  const char* choose_first;      // "delete" without an entry chosen
  const char* entry_noun;        // names the entry in the question before deleting
};

// The grid, "Label1", "Edit1" and "Button1" (add), "Button2" (delete), "Button3" (OK),
// laid out and wired to the dialog's events; the entries stand in rows 1 .. L + 1 and
// the placeholder in row L + 2.
class TValueListDialog : public QDialog {
  Q_OBJECT

 public:
  int Last() const { return last_; }  // L; the placeholder is row L + 2

  // The dialog's events.
  virtual void FormShow() = 0;
  virtual void Edit1Change() = 0;
  virtual bool ValueListEditor1SelectCell(int row) = 0;
  virtual void Button1Click();  // adds the entry named in Edit1
  virtual void Button2Click() = 0;
  virtual void Button3Click();  // closes the dialog with the edits kept

  TValueListEditor* ValueListEditor1;
  QLabel* Label1;
  QLineEdit* Edit1;
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Button3;

 public slots:
  void reject() override;  // Escape and the window's close are refused: "OK" is the way out

 protected:
  TValueListDialog(MessageBoxes& boxes, const TValueListDialogTexts& texts, QWidget* parent);

  void ShowError(const std::string& text);
  // The box for the placeholder row; false for it, true for every other row.
  [[nodiscard]] bool RefusePlaceholder(int row);
  // Turns the placeholder row into an entry named by Edit1 and appends a new
  // placeholder; false, with a box, when the table is full or the name unsuitable or
  // taken by one of the rows 1 .. L + 1.
  bool AddEntry();
  // False, with a box, when `row` holds no entry.
  [[nodiscard]] bool CheckEntryChosen(int row);
  // Asks, then deletes the entry in `row` and shows the dialog's start state again.
  void DeleteEntry(int row);

  MessageBoxes& boxes_;
  int last_ = -1;

 private:
  const TValueListDialogTexts texts_;
};

}  // namespace ombrix
