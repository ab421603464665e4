#include "ui/Unitformfkten.h"

#include <QFont>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <algorithm>

#include "logic/complex/cp1252.h"
#include "logic/complex/numtext.h"
#include "platform/qt_text.h"

using ombrix::FromQt;
using ombrix::MessageKind;
using ombrix::ToQt;

namespace {

constexpr const char* kBuiltinValue = "{eingebaute Funktion}";

}  // namespace

bool IsValidNewName(std::string_view name) {
  const std::string lower = ombrix::LowerCase1252(name);
  if (lower.empty() || lower[0] < 'a' || lower[0] > 'z') return false;
  return std::all_of(lower.begin() + 1, lower.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
  });
}

// ---------------------------------------------------------------------------
// TValueListEditor

TValueListEditor::TValueListEditor(QWidget* parent) : QTableWidget(0, 2, parent) {
  setObjectName(QStringLiteral("ValueListEditor1"));
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::TypeWriter);  // a fixed-pitch stand-in where it is missing
  setFont(font);
  verticalHeader()->hide();
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  // The value column takes the width left beside the keys, so that nothing scrolls
  // sideways when the vertical scroll bar appears.
  horizontalHeader()->setStretchLastSection(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  horizontalHeader()->setSectionsClickable(false);
  horizontalHeader()->setSectionsMovable(false);
  horizontalHeader()->setHighlightSections(false);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                  QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
  setTabKeyNavigation(false);  // Tab leaves the grid for the next control
  setDragEnabled(false);
  setWordWrap(false);
}

void TValueListEditor::ClearRows() {
  CommitPendingEdit();
  setRowCount(0);
}

void TValueListEditor::AppendRow(const std::string& key, const std::string& value,
                                 bool value_editable) {
  const int q = rowCount();
  insertRow(q);
  auto* key_item = new QTableWidgetItem(ToQt(key));
  key_item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  setItem(q, 0, key_item);
  setItem(q, 1, new QTableWidgetItem(ToQt(value)));
  SetValueEditable(q + 1, value_editable);
}

void TValueListEditor::DeleteGridRow(int row) {
  if (row < 1 || row >= GridRowCount()) return;
  CommitPendingEdit();
  removeRow(row - 1);
  // The current row keeps its number (the grid moves it up only past the end).
  ForceCurrentGridRow(std::min(row, GridRowCount() - 1));
}

std::string TValueListEditor::Key(int row) const {
  const QTableWidgetItem* it = (row >= 1 && row < GridRowCount()) ? item(row - 1, 0) : nullptr;
  return it ? FromQt(it->text()) : std::string();
}

void TValueListEditor::SetKey(int row, const std::string& key) {
  if (row < 1 || row >= GridRowCount()) return;
  if (QTableWidgetItem* it = item(row - 1, 0)) it->setText(ToQt(key));
}

std::string TValueListEditor::Value(int row) const {
  const QTableWidgetItem* it = (row >= 1 && row < GridRowCount()) ? item(row - 1, 1) : nullptr;
  return it ? FromQt(it->text()) : std::string();
}

void TValueListEditor::SetValue(int row, const std::string& value) {
  if (row < 1 || row >= GridRowCount()) return;
  if (QTableWidgetItem* it = item(row - 1, 1)) it->setText(ToQt(value));
}

void TValueListEditor::SetValueEditable(int row, bool editable) {
  if (row < 1 || row >= GridRowCount()) return;
  QTableWidgetItem* it = item(row - 1, 1);
  if (!it) return;
  it->setFlags(editable ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable
                        : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
}

int TValueListEditor::CurrentGridRow() const {
  const QModelIndex index = currentIndex();
  return index.isValid() ? index.row() + 1 : -1;
}

bool TValueListEditor::Allowed(int row) {
  if (row < 1 || row >= GridRowCount()) return false;
  return !OnSelectCell || OnSelectCell(row);
}

bool TValueListEditor::SelectGridRow(int row) {
  if (row == CurrentGridRow()) return true;
  if (!Allowed(row)) return false;
  ForceCurrentGridRow(row);
  return true;
}

void TValueListEditor::ForceCurrentGridRow(int row) {
  if (row < 1 || row >= GridRowCount()) return;
  CommitPendingEdit();
  const int column = currentIndex().isValid() ? currentIndex().column() : 1;
  setCurrentCell(row - 1, column);
}

void TValueListEditor::CommitPendingEdit() {
  const QModelIndex index = currentIndex();
  if (!index.isValid()) return;
  if (QWidget* editor = indexWidget(index)) {
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
  }
}

void TValueListEditor::mousePressEvent(QMouseEvent* event) {
  const int q = rowAt(event->position().toPoint().y());
  press_refused_ = false;
  if (q >= 0 && q + 1 != CurrentGridRow() && !Allowed(q + 1)) {
    press_refused_ = true;
    event->accept();
    return;
  }
  QTableWidget::mousePressEvent(event);
}

void TValueListEditor::mouseMoveEvent(QMouseEvent* event) {
  // No drag selection: it would move the current row past the refusals.
  if (event->buttons() != Qt::NoButton) {
    event->accept();
    return;
  }
  QTableWidget::mouseMoveEvent(event);
}

void TValueListEditor::mouseReleaseEvent(QMouseEvent* event) {
  if (press_refused_) {
    press_refused_ = false;
    event->accept();
    return;
  }
  QTableWidget::mouseReleaseEvent(event);
}

void TValueListEditor::mouseDoubleClickEvent(QMouseEvent* event) {
  const int q = rowAt(event->position().toPoint().y());
  if (q >= 0 && q + 1 != CurrentGridRow()) {
    // The press before it was refused; do not ask a second time.
    event->accept();
    return;
  }
  QTableWidget::mouseDoubleClickEvent(event);
}

void TValueListEditor::keyPressEvent(QKeyEvent* event) {
  // Typing on a key starts editing its value, since keys cannot be edited.
  const QModelIndex index = currentIndex();
  if (index.isValid() && index.column() == 0 && !event->text().isEmpty() &&
      event->text().at(0).isPrint()) {
    setCurrentCell(index.row(), 1);
  }
  QTableWidget::keyPressEvent(event);
}

QModelIndex TValueListEditor::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  // Without a current row the move comes from the grid taking the focus: it must not
  // pick a row, least of all one whose refusal shows a box.
  if (!currentIndex().isValid()) return QModelIndex();
  const QModelIndex target = QTableWidget::moveCursor(action, modifiers);
  if (!target.isValid() || target.row() + 1 == CurrentGridRow()) return target;
  return Allowed(target.row() + 1) ? target : currentIndex();
}

void TValueListEditor::keyboardSearch(const QString&) {
  // The grid has no type-ahead search: it would jump past the refusals.
}

// ---------------------------------------------------------------------------
// TFormFkten

TFormFkten::TFormFkten(ombrix::MessageBoxes& boxes, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint), boxes_(boxes) {
  setObjectName(QStringLiteral("FormFkten"));
  setWindowTitle(ToQt("Funktionen bearbeiten"));
  setFixedSize(409, 514);
  setModal(true);

  Label1 = new QLabel(ToQt("Name der neuen Funktion:"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(16, 372, 177, 17);

  Edit1 = new QLineEdit(this);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setGeometry(16, 392, 177, 23);

  Button1 = new QPushButton(ToQt("Neue Funktion hinzuf\xFCgen"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(16, 424, 177, 25);

  Button2 = new QPushButton(ToQt("Funktion l\xF6schen"), this);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button2->setGeometry(16, 456, 177, 25);

  Button3 = new QPushButton(ToQt("OK"), this);
  Button3->setObjectName(QStringLiteral("Button3"));
  Button3->setGeometry(208, 424, 177, 57);

  ValueListEditor1 = new TValueListEditor(this);
  ValueListEditor1->setGeometry(16, 16, 369, 345);
  ValueListEditor1->setHorizontalHeaderLabels({ToQt("Funktionsname"), ToQt("Funktionsterm")});
  ValueListEditor1->setColumnWidth(0, 150);
  ValueListEditor1->OnSelectCell = [this](int row) { return ValueListEditor1SelectCell(row); };

  // Enter must not close the dialog or add a name behind the user's back.
  for (QPushButton* b : {Button1, Button2, Button3}) {
    b->setAutoDefault(false);
    b->setDefault(false);
  }

  setTabOrder(Edit1, Button1);
  setTabOrder(Button1, Button2);
  setTabOrder(Button2, Button3);
  setTabOrder(Button3, ValueListEditor1);

  connect(Edit1, &QLineEdit::textChanged, this, [this] { Edit1Change(); });
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });

  // Until filled, the grid holds the built-in names only.
  Fill(ombrix::FunctionTable());
}

void TFormFkten::Fill(const ombrix::FunctionTable& table) {
  first_user_ = table.FirstUserFunction();
  last_ = std::clamp(table.LastFunction(), first_user_ - 1, ombrix::kTableCapacity - 1);
  ValueListEditor1->ClearRows();
  for (int i = 0; i <= last_; ++i) {
    const bool builtin = i < first_user_;
    ValueListEditor1->AppendRow(table.Name(i), builtin ? kBuiltinValue : table.Term(i), !builtin);
  }
  ValueListEditor1->AppendRow(kPlaceholderKey, "", false);
}

void TFormFkten::WriteBack(ombrix::FunctionTable& table) {
  ValueListEditor1->CommitPendingEdit();
  const int last = std::clamp(last_, first_user_ - 1, ombrix::kTableCapacity - 1);
  table.SetLastFunction(last);
  for (int i = first_user_; i <= last; ++i) {
    // Each function takes the term of its own row, so that names which differ only in
    // case (possible in a loaded project) do not take each other's terms.
    table.SetName(i, ValueListEditor1->Key(i + 1));
    table.SetTerm(i, ombrix::RemoveSpaces(ValueListEditor1->Value(i + 1)));
  }
}

void TFormFkten::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
  Edit1->setFocus();
}

void TFormFkten::reject() {}

void TFormFkten::FormShow() {
  Edit1->clear();
  ValueListEditor1->SetKey(last_ + 2, kPlaceholderKey);
  ValueListEditor1->SelectGridRow(last_ + 1);
}

void TFormFkten::Edit1Change() { ValueListEditor1->SetKey(last_ + 2, FromQt(Edit1->text())); }

bool TFormFkten::ValueListEditor1SelectCell(int row) {
  if (row <= first_user_ && ValueListEditor1->GridRowCount() >= 3) return false;
  if (row == last_ + 2) {
    boxes_.Show(MessageKind::Information,
                "Bitte klicken Sie zuerst den Button\n'Neue Funktion hinzuf\xFCgen' an,\n"
                "bevor Sie einen Funktionsterm eingeben.",
                ombrix::MessageTitle(MessageKind::Information));
    return false;
  }
  return true;
}

void TFormFkten::Button1Click() {
  const std::string text = FromQt(Edit1->text());
  if (last_ >= ombrix::kTableCapacity - 1) {
    boxes_.Show(MessageKind::Error,
                "Es sind h\xF6"
                "chstens 105 eigene Funktionen m\xF6glich.\n"
                "Bitte l\xF6schen Sie zuerst eine Funktion.",
                ombrix::MessageTitle(MessageKind::Error));
    Edit1->setFocus();
    return;
  }
  if (!IsValidNewName(text)) {
    boxes_.Show(MessageKind::Error, "Bitte geben Sie einen\ngeeigneten Funktionsnamen ein.",
                ombrix::MessageTitle(MessageKind::Error));
    Edit1->setFocus();
    return;
  }
  const std::string lower = ombrix::LowerCase1252(text);
  for (int row = 1; row <= last_ + 1; ++row) {
    if (ombrix::LowerCase1252(ValueListEditor1->Key(row)) == lower) {
      boxes_.Show(
          MessageKind::Error,
          "Funktionsname '" + text + "' existiert bereits\nund kann nicht verwendet werden.",
          ombrix::MessageTitle(MessageKind::Error));
      Edit1->setFocus();
      return;
    }
  }
  // The placeholder row, which already shows the typed name, becomes the new function.
  ValueListEditor1->SetKey(last_ + 2, text);
  ValueListEditor1->SetValue(last_ + 2, "");
  ValueListEditor1->SetValueEditable(last_ + 2, true);
  ValueListEditor1->AppendRow(kPlaceholderKey, "", false);
  ++last_;
}

void TFormFkten::Button2Click() {
  if (last_ < first_user_) {
    boxes_.Show(MessageKind::Error, "Sie k\xF6nnen eingebaute Funktionen nicht l\xF6schen.",
                ombrix::MessageTitle(MessageKind::Error));
    return;
  }
  const int row = ValueListEditor1->CurrentGridRow();
  // Only a user function's row may go: deleting a built-in or the placeholder row
  // would shift the rows and lose the last function.
  if (row >= 1 && row <= first_user_) {
    boxes_.Show(MessageKind::Error, "Sie k\xF6nnen eingebaute Funktionen nicht l\xF6schen.",
                ombrix::MessageTitle(MessageKind::Error));
    return;
  }
  if (row < 1 || row > last_ + 1) {
    boxes_.Show(MessageKind::Error,
                "Bitte w\xE4hlen Sie zuerst die Funktion aus,\ndie Sie l\xF6schen wollen.",
                ombrix::MessageTitle(MessageKind::Error));
    return;
  }
  const std::string key = ValueListEditor1->Key(row);
  if (!boxes_.Confirm("Wollen Sie die Funktion '" + key + "'\nwirklich l\xF6schen?")) return;
  ValueListEditor1->DeleteGridRow(row);
  --last_;
  FormShow();
}

void TFormFkten::Button3Click() {
  ValueListEditor1->CommitPendingEdit();
  accept();
}

void ExchangeFunctions(TFormFkten& form, ombrix::FunctionTable& table) {
  form.Fill(table);
  form.exec();
  form.WriteBack(table);
}
