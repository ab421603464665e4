// The variable dialog: names and start values, typed as terms and checked on "OK".
// The variable "i" cannot be deleted, and a changed value of it is set back.
#pragma once

#include <QDialog>
#include <string>

#include "logic/complex/messages.h"
#include "logic/evaluator/evaluate.h"
#include "logic/evaluator/tables.h"
#include "ui/Unitformfkten.h"

class QLabel;
class QLineEdit;
class QPushButton;

class TFormVars : public QDialog {
  Q_OBJECT

 public:
  explicit TFormVars(ombrix::MessageBoxes& boxes, QWidget* parent = nullptr);

  // The exchange with the table, split so that it can be driven without exec().
  // The context (whose variable table is `table`) is kept until WriteBack: "OK"
  // evaluates the entries with it.
  void Fill(const ombrix::VariableTable& table, const ombrix::EvalContext& context);
  // Evaluates every entry against the table as it stands, then writes names and
  // start values.
  void WriteBack(ombrix::VariableTable& table);

  int Last() const { return last_; }  // L; the placeholder is row L + 2

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
  const ombrix::EvalContext* context_ = nullptr;
  int last_ = 2;
};

// Fills the dialog from the table, shows it modally and writes the table back. The
// context must evaluate against `table`.
void ExchangeVariables(TFormVars& form, ombrix::VariableTable& table,
                       const ombrix::EvalContext& context);
