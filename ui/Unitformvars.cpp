#include "ui/Unitformvars.h"

#include <QLineEdit>
#include <algorithm>
#include <vector>

#include "logic/complex/cp1252.h"
#include "logic/complex/fault.h"
#include "logic/complex/interrupt.h"
#include "logic/complex/num_text.h"
#include "logic/evaluator/result_text.h"
#include "logic/evaluator/tables.h"
#include "platform/qt_text.h"

namespace ombrix {

namespace {

// The message for a full table names its capacity.
static_assert(kTableCapacity == 128);

const TValueListDialogTexts kTexts{
    "FormVars",
    "FormVars",
    470,
    515,
    241,
    "Variablenname",
    "Variablenwert bei Programmstart",
    "Name einer neuen Variable:",
    "Neue Variable hinzuf\xFCgen",
    "Variable l\xF6schen",
    "Es sind h\366chstens 128 Variablen m\xF6glich.\n"
    "Bitte l\xF6schen Sie zuerst eine Variable.",
    "Bitte geben Sie einen\ngeeigneten Variablennamen ein.",
    "Variablenname",
    "Bitte klicken Sie zuerst den Button\n'Neue Variable hinzuf\xFCgen' an,\n"
    "bevor Sie einen Variablenwert eingeben.",
    "Bitte w\xE4hlen Sie zuerst die Variable aus,\ndie Sie l\xF6schen wollen.",
    "Variable",
};

}  // namespace

TFormVars::TFormVars(MessageBoxes& boxes, QWidget* parent)
    : TValueListDialog(boxes, kTexts, parent) {
  ValueListEditor1->AppendRow(kPlaceholderKey, "", false);
  last_ = -1;
}

void TFormVars::Fill(const VariableTable& table, const EvalContext& context) {
  context_ = &context;
  last_ = std::clamp(table.LastVariable(), -1, kTableCapacity - 1);
  ValueListEditor1->ClearRows();
  for (int j = 0; j <= last_; ++j) {
    ValueListEditor1->AppendRow(table.Name(j), ComplexToText(table.StartValue(j)), true);
  }
  ValueListEditor1->AppendRow(kPlaceholderKey, "", false);
}

void TFormVars::WriteBack(VariableTable& table) {
  ValueListEditor1->CommitPendingEdit();
  if (context_ == nullptr) return;  // never filled: nothing to write
  const int last = std::clamp(last_, -1, kTableCapacity - 1);
  // All entries first, so that every one sees the table as it was when the dialog opened.
  std::vector<TComplex> values;
  const int count = last + 1;
  values.reserve(static_cast<std::size_t>(count));
  for (int j = 0; j <= last; ++j) {
    TComplex value{};
    try {
      value = ParseNumberText(EvaluateTerm(ValueListEditor1->Value(j + 1), *context_));
    } catch (const Fault& fault) {
      // "OK" has checked every entry, so this is rare; the entry then starts at 0
      // and the other entries are still stored.
      boxes_.Show(MessageKind::Fault, FaultDisplayText(fault.what()));
    } catch (const Interrupted&) {
      // Stopped (the dialog closed without "OK"): the variable keeps its start value.
      const int old = table.FindVariable(LowerCase1252(ValueListEditor1->Key(j + 1)));
      if (old >= 0 && old <= table.LastVariable()) value = table.StartValue(old);
    }
    values.push_back(value);
  }
  table.SetLastVariable(last);
  for (int j = 0; j <= last; ++j) {
    // Each variable takes the value of its own row, so that names which differ only in
    // case (possible in a loaded project) do not take each other's values.
    table.SetName(j, ValueListEditor1->Key(j + 1));
    table.SetStartValue(j, values[static_cast<std::size_t>(j)]);
  }
  context_ = nullptr;
}

void TFormVars::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
  ValueListEditor1->setFocus();
}

void TFormVars::FormShow() {
  Edit1->clear();
  ValueListEditor1->SelectGridRow(last_ + 1);
}

void TFormVars::Edit1Change() {
  const std::string text = FromQt(Edit1->text());
  if (!text.empty()) ValueListEditor1->SetKey(last_ + 2, text);
}

bool TFormVars::ValueListEditor1SelectCell(int row) { return RefusePlaceholder(row); }

void TFormVars::Button1Click() {
  // Emptying Edit1 leaves the placeholder key, which shows the typed name, as it is.
  if (AddEntry()) Edit1->clear();
}

void TFormVars::Button2Click() {
  const int row = ValueListEditor1->CurrentGridRow();
  // Only an entry's row may go: deleting the placeholder row would lose the last entry.
  if (!CheckEntryChosen(row)) return;
  if (ValueListEditor1->Key(row) == "i") {
    ShowError("Sie k\xF6nnen die imagin\xE4re Gr\366\337e 'i' nicht l\xF6schen.");
    return;
  }
  DeleteEntry(row);
}

void TFormVars::Button3Click() {
  ValueListEditor1->CommitPendingEdit();
  if (context_ == nullptr) {
    accept();
    return;
  }
  for (int row = 1; row <= last_ + 1; ++row) {
    const std::string key = ValueListEditor1->Key(row);
    std::string result;
    try {
      result = EvaluateForDisplay(ValueListEditor1->Value(row), *context_);
    } catch (const Interrupted&) {
      // Stopped with Escape or F2: the dialog stays open on the entry.
      ValueListEditor1->setFocus();
      ValueListEditor1->ForceCurrentGridRow(row);
      return;
    } catch (const Fault& fault) {
      // The entry cannot be evaluated at all: say why and keep the dialog open on it.
      boxes_.Show(MessageKind::Fault, FaultDisplayText(fault.what()));
      ValueListEditor1->setFocus();
      ValueListEditor1->ForceCurrentGridRow(row);
      return;
    }
    if (key == "i" && result != "i") {
      ValueListEditor1->SetValue(row, "i");
      boxes_.Show(MessageKind::Information,
                  "Das Programm hat die imagin\xE4re Gr\366\337e 'i'\nwieder auf den \374blichen "
                  "Wert zur\374ck gesetzt.",
                  MessageTitle(MessageKind::Information));
    }
    if (IsErrorText(result)) {
      ShowError("Bitte geben Sie der Variable '" + key +
                "'\neinen g\xFCltigen Wert.\n\nBei der Auswertung Ihrer Eingabe ist der "
                "Fehler\n'" +
                (result.size() > 2 ? result.substr(2) : std::string()) + "'\naufgetreten.");
      ValueListEditor1->setFocus();
      ValueListEditor1->ForceCurrentGridRow(row);
      return;
    }
  }
  accept();
}

void ExchangeVariables(TFormVars& form, VariableTable& table, const EvalContext& context) {
  form.Fill(table, context);
  form.exec();
  form.WriteBack(table);
}

}  // namespace ombrix
