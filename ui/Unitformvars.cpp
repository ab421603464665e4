#include "ui/Unitformvars.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <vector>

#include "logic/complex/cp1252.h"
#include "logic/complex/fault.h"
#include "logic/complex/numtext.h"
#include "logic/evaluator/resulttext.h"
#include "platform/qt_text.h"

using ombrix::FromQt;
using ombrix::MessageKind;
using ombrix::ToQt;

TFormVars::TFormVars(ombrix::MessageBoxes& boxes, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint), boxes_(boxes) {
  setObjectName(QStringLiteral("FormVars"));
  setWindowTitle(ToQt("FormVars"));
  setFixedSize(470, 515);
  setModal(true);

  ValueListEditor1 = new TValueListEditor(this);
  ValueListEditor1->setGeometry(16, 16, 433, 345);
  ValueListEditor1->setHorizontalHeaderLabels(
      {ToQt("Variablenname"), ToQt("Variablenwert bei Programmstart")});
  ValueListEditor1->setColumnWidth(0, 150);
  ValueListEditor1->OnSelectCell = [this](int row) { return ValueListEditor1SelectCell(row); };

  Label1 = new QLabel(ToQt("Name einer neuen Variable:"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(16, 372, 241, 17);

  Edit1 = new QLineEdit(this);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setGeometry(16, 392, 241, 23);

  Button1 = new QPushButton(ToQt("Neue Variable hinzuf\xFCgen"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(16, 424, 241, 25);

  Button2 = new QPushButton(ToQt("Variable l\xF6schen"), this);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button2->setGeometry(16, 456, 241, 25);

  Button3 = new QPushButton(ToQt("OK"), this);
  Button3->setObjectName(QStringLiteral("Button3"));
  Button3->setGeometry(272, 424, 177, 57);

  // Enter must not close the dialog or add a name behind the user's back.
  for (QPushButton* b : {Button1, Button2, Button3}) {
    b->setAutoDefault(false);
    b->setDefault(false);
  }

  setTabOrder(ValueListEditor1, Edit1);
  setTabOrder(Edit1, Button1);
  setTabOrder(Button1, Button2);
  setTabOrder(Button2, Button3);

  connect(Edit1, &QLineEdit::textChanged, this, [this] { Edit1Change(); });
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });

  ValueListEditor1->AppendRow(kPlaceholderKey, "", false);
  last_ = -1;
}

void TFormVars::Fill(const ombrix::VariableTable& table, const ombrix::EvalContext& context) {
  context_ = &context;
  last_ = std::clamp(table.LastVariable(), -1, ombrix::kTableCapacity - 1);
  ValueListEditor1->ClearRows();
  for (int j = 0; j <= last_; ++j) {
    ValueListEditor1->AppendRow(table.Name(j), ombrix::ComplexToText(table.StartValue(j)), true);
  }
  ValueListEditor1->AppendRow(kPlaceholderKey, "", false);
}

void TFormVars::WriteBack(ombrix::VariableTable& table) {
  ValueListEditor1->CommitPendingEdit();
  if (context_ == nullptr) return;  // never filled: nothing to write
  const int last = std::clamp(last_, -1, ombrix::kTableCapacity - 1);
  // All entries first, so that every one sees the table as it was when the dialog opened.
  std::vector<ombrix::TComplex> values;
  values.reserve(static_cast<std::size_t>(last + 1));
  for (int j = 0; j <= last; ++j) {
    ombrix::TComplex value{};
    try {
      value =
          ombrix::ParseNumberText(ombrix::EvaluateTerm(ValueListEditor1->Value(j + 1), *context_));
    } catch (const ombrix::Fault& fault) {
      // "OK" has checked every entry, so this is rare; the entry then starts at 0
      // and the other entries are still stored.
      boxes_.Show(MessageKind::Fault, ombrix::FaultDisplayText(fault.what()));
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

void TFormVars::reject() {}

void TFormVars::FormShow() {
  Edit1->clear();
  ValueListEditor1->SelectGridRow(last_ + 1);
}

void TFormVars::Edit1Change() {
  const std::string text = FromQt(Edit1->text());
  if (!text.empty()) ValueListEditor1->SetKey(last_ + 2, text);
}

bool TFormVars::ValueListEditor1SelectCell(int row) {
  if (row == last_ + 2) {
    boxes_.Show(MessageKind::Information,
                "Bitte klicken Sie zuerst den Button\n'Neue Variable hinzuf\xFCgen' an,\n"
                "bevor Sie einen Variablenwert eingeben.",
                ombrix::MessageTitle(MessageKind::Information));
    return false;
  }
  return true;
}

void TFormVars::Button1Click() {
  const std::string text = FromQt(Edit1->text());
  if (last_ >= ombrix::kTableCapacity - 1) {
    boxes_.Show(MessageKind::Error,
                "Es sind h\xF6"
                "chstens 128 Variablen m\xF6glich.\n"
                "Bitte l\xF6schen Sie zuerst eine Variable.",
                ombrix::MessageTitle(MessageKind::Error));
    Edit1->setFocus();
    return;
  }
  if (!IsValidNewName(text)) {
    boxes_.Show(MessageKind::Error, "Bitte geben Sie einen\ngeeigneten Variablennamen ein.",
                ombrix::MessageTitle(MessageKind::Error));
    Edit1->setFocus();
    return;
  }
  const std::string lower = ombrix::LowerCase1252(text);
  for (int row = 1; row <= last_ + 1; ++row) {
    if (ombrix::LowerCase1252(ValueListEditor1->Key(row)) == lower) {
      boxes_.Show(
          MessageKind::Error,
          "Variablenname '" + text + "' existiert bereits\nund kann nicht verwendet werden.",
          ombrix::MessageTitle(MessageKind::Error));
      Edit1->setFocus();
      return;
    }
  }
  // Emptying Edit1 leaves the placeholder key, which shows the typed name, as it is.
  Edit1->clear();
  ValueListEditor1->SetKey(last_ + 2, text);
  ValueListEditor1->SetValue(last_ + 2, "");
  ValueListEditor1->SetValueEditable(last_ + 2, true);
  ValueListEditor1->AppendRow(kPlaceholderKey, "", false);
  ++last_;
}

void TFormVars::Button2Click() {
  const int row = ValueListEditor1->CurrentGridRow();
  // Only an entry's row may go: deleting the placeholder row would lose the last entry.
  if (row < 1 || row > last_ + 1) {
    boxes_.Show(MessageKind::Error,
                "Bitte w\xE4hlen Sie zuerst die Variable aus,\ndie Sie l\xF6schen wollen.",
                ombrix::MessageTitle(MessageKind::Error));
    return;
  }
  const std::string key = ValueListEditor1->Key(row);
  if (key == "i") {
    boxes_.Show(MessageKind::Error,
                "Sie k\xF6nnen die imagin\xE4re Gr\xF6\xDF"
                "e 'i' nicht l\xF6schen.",
                ombrix::MessageTitle(MessageKind::Error));
    return;
  }
  if (!boxes_.Confirm("Wollen Sie die Variable '" + key + "'\nwirklich l\xF6schen?")) return;
  ValueListEditor1->DeleteGridRow(row);
  --last_;
  FormShow();
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
      result = ombrix::EvaluateForDisplay(ValueListEditor1->Value(row), *context_);
    } catch (const ombrix::Fault& fault) {
      // The entry cannot be evaluated at all: say why and keep the dialog open on it.
      boxes_.Show(MessageKind::Fault, ombrix::FaultDisplayText(fault.what()));
      ValueListEditor1->setFocus();
      ValueListEditor1->ForceCurrentGridRow(row);
      return;
    }
    if (key == "i" && result != "i") {
      ValueListEditor1->SetValue(row, "i");
      boxes_.Show(MessageKind::Information,
                  "Das Programm hat die imagin\xE4re Gr\xF6\xDF"
                  "e 'i'\nwieder auf den \xFC"
                  "blichen Wert zur\xFC"
                  "ck gesetzt.",
                  ombrix::MessageTitle(MessageKind::Information));
    }
    if (ombrix::IsErrorText(result)) {
      boxes_.Show(MessageKind::Error,
                  "Bitte geben Sie der Variable '" + key +
                      "'\neinen g\xFCltigen Wert.\n\nBei der Auswertung Ihrer Eingabe ist der "
                      "Fehler\n'" +
                      (result.size() > 2 ? result.substr(2) : std::string()) + "'\naufgetreten.",
                  ombrix::MessageTitle(MessageKind::Error));
      ValueListEditor1->setFocus();
      ValueListEditor1->ForceCurrentGridRow(row);
      return;
    }
  }
  accept();
}

void ExchangeVariables(TFormVars& form, ombrix::VariableTable& table,
                       const ombrix::EvalContext& context) {
  form.Fill(table, context);
  form.exec();
  form.WriteBack(table);
}
