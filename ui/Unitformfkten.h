// The function dialog: the whole function table as a list of names and terms, the
// built-ins shown but locked, user functions added by name and edited in place.
#pragma once

#include <QDialog>

#include "logic/complex/messages.h"
#include "logic/evaluator/tables.h"
#include "ui/value_list_dialog.h"

namespace ombrix {

class TFormFkten : public TValueListDialog {
  Q_OBJECT

 public:
  explicit TFormFkten(MessageBoxes& boxes, QWidget* parent = nullptr);

  // The exchange with the table, split so that it can be driven without exec().
  void Fill(const FunctionTable& table);
  void WriteBack(FunctionTable& table);

  int FirstUser() const { return first_user_; }  // F

  // The dialog's own events; "add" and "OK" are the common ones.
  void FormShow() override;
  void Edit1Change() override;
  bool ValueListEditor1SelectCell(int row) override;
  void Button2Click() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  int first_user_ = kFirstUserFunction;
};

// Fills the dialog from the table, shows it modally and writes the table back.
void ExchangeFunctions(TFormFkten& form, FunctionTable& table);

}  // namespace ombrix
