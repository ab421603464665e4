// The variable dialog: names and start values, typed as terms and checked on "OK".
// The variable "i" cannot be deleted, and a changed value of it is set back.
#pragma once

#include <QDialog>

#include "logic/complex/messages.h"
#include "logic/evaluator/evaluate.h"
#include "logic/evaluator/tables.h"
#include "ui/Unitformfkten.h"
#include "ui/value_list_dialog.h"

namespace ombrix {

class TFormVars : public TValueListDialog {
  Q_OBJECT

 public:
  explicit TFormVars(MessageBoxes& boxes, QWidget* parent = nullptr);

  // The exchange with the table, split so that it can be driven without exec().
  // The context (whose variable table is `table`) is kept until WriteBack: "OK"
  // evaluates the entries with it.
  void Fill(const VariableTable& table, const EvalContext& context);
  // Evaluates every entry against the table as it stands, then writes names and
  // start values.
  void WriteBack(VariableTable& table);

  // The dialog's events.
  void FormShow() override;
  void Edit1Change() override;
  bool ValueListEditor1SelectCell(int row) override;
  void Button1Click() override;
  void Button2Click() override;
  void Button3Click() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  const EvalContext* context_ = nullptr;
};

// Fills the dialog from the table, shows it modally and writes the table back. The
// context must evaluate against `table`.
void ExchangeVariables(TFormVars& form, VariableTable& table, const EvalContext& context);

}  // namespace ombrix
