#include "ui/value_list_dialog.h"

#include <QFont>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <algorithm>

#include "logic/complex/cp1252.h"
#include "logic/evaluator/tables.h"
#include "platform/qt_text.h"

namespace ombrix {

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

std::string TValueListEditor::CellText(int row, int column) const {
  const QTableWidgetItem* it = (row >= 1 && row < GridRowCount()) ? item(row - 1, column) : nullptr;
  return it ? FromQt(it->text()) : std::string();
}

void TValueListEditor::SetCellText(int row, int column, const std::string& text) {
  if (row < 1 || row >= GridRowCount()) return;
  // A cell editor open on that cell would write its older text back when it closes.
  if (QWidget* editor = indexWidget(model()->index(row - 1, column))) {
    closeEditor(editor, QAbstractItemDelegate::NoHint);
  }
  if (QTableWidgetItem* it = item(row - 1, column)) it->setText(ToQt(text));
}

std::string TValueListEditor::Key(int row) const { return CellText(row, 0); }

void TValueListEditor::SetKey(int row, const std::string& key) { SetCellText(row, 0, key); }

std::string TValueListEditor::Value(int row) const { return CellText(row, 1); }

void TValueListEditor::SetValue(int row, const std::string& value) { SetCellText(row, 1, value); }

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

void TValueListEditor::EditValue(int row) {
  if (row < 1 || row >= GridRowCount()) return;
  CommitPendingEdit();
  setCurrentCell(row - 1, 1);
  scrollTo(currentIndex());
  setFocus();
  edit(currentIndex());
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
// TValueListDialog

TValueListDialog::TValueListDialog(MessageBoxes& boxes, const TValueListDialogTexts& texts,
                                   QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      boxes_(boxes),
      texts_(texts) {
  setObjectName(QString::fromLatin1(texts.object_name));
  setWindowTitle(ToQt(texts.title));
  setFixedSize(texts.width, texts.height);
  setModal(true);

  const int w = texts.control_width;
  const int right = 16 + w + 15;  // the OK button's left edge

  ValueListEditor1 = new TValueListEditor(this);
  ValueListEditor1->setGeometry(16, 16, right + 177 - 16, 345);
  ValueListEditor1->setHorizontalHeaderLabels({ToQt(texts.key_heading), ToQt(texts.value_heading)});
  ValueListEditor1->setColumnWidth(0, 150);
  ValueListEditor1->OnSelectCell = [this](int row) { return ValueListEditor1SelectCell(row); };

  Label1 = new QLabel(ToQt(texts.label), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(16, 372, w, 17);

  Edit1 = new QLineEdit(this);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setGeometry(16, 392, w, 23);

  Button1 = new QPushButton(ToQt(texts.add_button), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(16, 424, w, 25);

  Button2 = new QPushButton(ToQt(texts.delete_button), this);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button2->setGeometry(16, 456, w, 25);

  Button3 = new QPushButton(ToQt("OK"), this);
  Button3->setObjectName(QStringLiteral("Button3"));
  Button3->setGeometry(right, 424, 177, 57);

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
}

void TValueListDialog::reject() {}

void TValueListDialog::ShowError(const std::string& text) {
  boxes_.Show(MessageKind::Error, text, MessageTitle(MessageKind::Error));
}

bool TValueListDialog::RefusePlaceholder(int row) {
  if (row != last_ + 2) return true;
  boxes_.Show(MessageKind::Information, texts_.placeholder_info,
              MessageTitle(MessageKind::Information));
  return false;
}

bool TValueListDialog::AddEntry() {
  const std::string text = FromQt(Edit1->text());
  if (last_ >= kTableCapacity - 1) {
    ShowError(texts_.table_full);
    Edit1->setFocus();
    return false;
  }
  if (!IsValidNewName(text)) {
    ShowError(texts_.unsuitable_name);
    Edit1->setFocus();
    return false;
  }
  const std::string lower = LowerCase1252(text);
  for (int row = 1; row <= last_ + 1; ++row) {
    if (LowerCase1252(ValueListEditor1->Key(row)) == lower) {
      ShowError(std::string(texts_.name_noun) + " '" + text +
                "' existiert bereits\nund kann nicht verwendet werden.");
      Edit1->setFocus();
      return false;
    }
  }
  // The placeholder row, which already shows the typed name, becomes the new entry.
  ValueListEditor1->SetKey(last_ + 2, text);
  ValueListEditor1->SetValue(last_ + 2, "");
  ValueListEditor1->SetValueEditable(last_ + 2, true);
  ValueListEditor1->AppendRow(kPlaceholderKey, "", false);
  ++last_;
  // The next thing to type is the new entry's value, even below the visible rows.
  ValueListEditor1->EditValue(last_ + 1);
  return true;
}

void TValueListDialog::Button1Click() { AddEntry(); }

void TValueListDialog::Button3Click() {
  ValueListEditor1->CommitPendingEdit();
  accept();
}

bool TValueListDialog::CheckEntryChosen(int row) {
  if (row >= 1 && row <= last_ + 1) return true;
  ShowError(texts_.choose_first);
  return false;
}

void TValueListDialog::DeleteEntry(int row) {
  const std::string key = ValueListEditor1->Key(row);
  if (!boxes_.Confirm("Wollen Sie die " + std::string(texts_.entry_noun) + " '" + key +
                      "'\nwirklich l\xF6schen?")) {
    return;
  }
  ValueListEditor1->DeleteGridRow(row);
  --last_;
  FormShow();
}

}  // namespace ombrix
