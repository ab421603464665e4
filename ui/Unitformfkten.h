// The function dialog: the whole function table as a list of names and terms, the
// built-ins shown but locked, user functions added by name and edited in place.
// Also the key/value grid and the name rule that the variable dialog shares.
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

// A new function or variable name: a letter a..z first (either case), then letters
// a..z, digits and "_"; empty, umlauts, blanks and all other signs fail.
bool IsValidNewName(std::string_view name);

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
  bool press_refused_ = false;
};

class TFormFkten : public QDialog {
  Q_OBJECT

 public:
  explicit TFormFkten(ombrix::MessageBoxes& boxes, QWidget* parent = nullptr);

  // The exchange with the table, split so that it can be driven without exec().
  void Fill(const ombrix::FunctionTable& table);
  void WriteBack(ombrix::FunctionTable& table);

  int FirstUser() const { return first_user_; }  // F
  int Last() const { return last_; }             // L; the placeholder is row L + 2

  // The dialog's events.
  void FormShow();
  void Edit1Change();
  bool ValueListEditor1SelectCell(int row);
  void Button1Click();
  void Button2Click();
  void Button3Click();

  TValueListEditor* ValueListEditor1;
  QLabel* Label1;
  QLineEdit* Edit1;
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Button3;

 public slots:
  void reject() override;  // Escape and the window's close are refused: "OK" is the way out

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  ombrix::MessageBoxes& boxes_;
  int first_user_ = ombrix::kFirstUserFunction;
  int last_ = ombrix::kFirstUserFunction - 1;
};

// Fills the dialog from the table, shows it modally and writes the table back.
void ExchangeFunctions(TFormFkten& form, ombrix::FunctionTable& table);
