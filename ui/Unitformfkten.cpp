#include "ui/Unitformfkten.h"

#include <QLineEdit>
#include <algorithm>

#include "logic/complex/num_text.h"
#include "logic/evaluator/tables.h"
#include "platform/qt_text.h"

namespace ombrix {

namespace {

constexpr const char* kBuiltinValue = "{eingebaute Funktion}";
constexpr const char* kBuiltinDelete = "Sie k\xF6nnen eingebaute Funktionen nicht l\xF6schen.";

// The message for a full table names its capacity.
static_assert(kUserFunctionCapacity == 105);

const TValueListDialogTexts kTexts{
    "FormFkten",
    "Funktionen bearbeiten",
    409,
    514,
    177,
    "Funktionsname",
    "Funktionsterm",
    "Name der neuen Funktion:",
    "Neue Funktion hinzuf\xFCgen",
    "Funktion l\xF6schen",
    "Es sind h\366chstens 105 eigene Funktionen m\xF6glich.\n"
    "Bitte l\xF6schen Sie zuerst eine Funktion.",
    "Bitte geben Sie einen\ngeeigneten Funktionsnamen ein.",
    "Funktionsname",
    "Bitte klicken Sie zuerst den Button\n'Neue Funktion hinzuf\xFCgen' an,\n"
    "bevor Sie einen Funktionsterm eingeben.",
    "Bitte w\xE4hlen Sie zuerst die Funktion aus,\ndie Sie l\xF6schen wollen.",
    "Funktion",
};

}  // namespace

TFormFkten::TFormFkten(MessageBoxes& boxes, QWidget* parent)
    : TValueListDialog(boxes, kTexts, parent) {
  // Until filled, the grid holds the built-in names only.
  Fill(FunctionTable());
}

void TFormFkten::Fill(const FunctionTable& table) {
  first_user_ = table.FirstUserFunction();
  last_ = std::clamp(table.LastFunction(), first_user_ - 1, kTableCapacity - 1);
  ValueListEditor1->ClearRows();
  for (int i = 0; i <= last_; ++i) {
    const bool builtin = i < first_user_;
    ValueListEditor1->AppendRow(table.Name(i), builtin ? kBuiltinValue : table.Term(i), !builtin);
  }
  ValueListEditor1->AppendRow(kPlaceholderKey, "", false);
}

void TFormFkten::WriteBack(FunctionTable& table) {
  ValueListEditor1->CommitPendingEdit();
  const int last = std::clamp(last_, first_user_ - 1, kTableCapacity - 1);
  table.SetLastFunction(last);
  for (int i = first_user_; i <= last; ++i) {
    // Each function takes the term of its own row, so that names which differ only in
    // case (possible in a loaded project) do not take each other's terms.
    table.SetName(i, ValueListEditor1->Key(i + 1));
    table.SetTerm(i, RemoveSpaces(ValueListEditor1->Value(i + 1)));
  }
}

void TFormFkten::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
  Edit1->setFocus();
}

void TFormFkten::FormShow() {
  Edit1->clear();
  ValueListEditor1->SetKey(last_ + 2, kPlaceholderKey);
  ValueListEditor1->SelectGridRow(last_ + 1);
}

void TFormFkten::Edit1Change() { ValueListEditor1->SetKey(last_ + 2, FromQt(Edit1->text())); }

bool TFormFkten::ValueListEditor1SelectCell(int row) {
  if (row <= first_user_ && ValueListEditor1->GridRowCount() >= 3) return false;
  return RefusePlaceholder(row);
}

void TFormFkten::Button2Click() {
  if (last_ < first_user_) {
    ShowError(kBuiltinDelete);
    return;
  }
  const int row = ValueListEditor1->CurrentGridRow();
  // Only a user function's row may go: deleting a built-in or the placeholder row
  // would shift the rows and lose the last function.
  if (row >= 1 && row <= first_user_) {
    ShowError(kBuiltinDelete);
    return;
  }
  if (!CheckEntryChosen(row)) return;
  DeleteEntry(row);
}

void ExchangeFunctions(TFormFkten& form, FunctionTable& table) {
  form.Fill(table);
  form.exec();
  form.WriteBack(table);
}

}  // namespace ombrix
