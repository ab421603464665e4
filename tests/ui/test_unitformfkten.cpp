// The function dialog: name rule, adding, refused rows, deleting, the exchange with
// the function table, the capacity and the one way out.
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>
#include <string>
#include <vector>

#include "logic/complex/num_text.h"
#include "logic/evaluator/evaluate.h"
#include "logic/evaluator/tables.h"
#include "platform/qt_text.h"
#include "tests/support/recording.h"
#include "tests/ui/cp1252_output.h"
#include "tests/ui/grid_typing.h"
#include "ui/Unitformfkten.h"

using namespace ombrix;
using testing::RecordingMessageBoxes;

namespace {

using Strings = std::vector<std::string>;

const std::string kUnsuitable = "Bitte geben Sie einen\ngeeigneten Funktionsnamen ein.";
const std::string kBuiltinDelete = "Sie k\xF6nnen eingebaute Funktionen nicht l\xF6schen.";
const std::string kPlaceholderInfo =
    "Bitte klicken Sie zuerst den Button\n'Neue Funktion hinzuf\xFCgen' an,\n"
    "bevor Sie einen Funktionsterm eingeben.";

std::string Exists(const std::string& name) {
  return "Funktionsname '" + name + "' existiert bereits\nund kann nicht verwendet werden.";
}

std::string AskDelete(const std::string& name) {
  return "Wollen Sie die Funktion '" + name + "'\nwirklich l\xF6schen?";
}

// A table with the given user functions (name, term).
ombrix::FunctionTable TableWith(const std::vector<std::pair<std::string, std::string>>& user) {
  ombrix::FunctionTable table;
  int k = ombrix::kFirstUserFunction;
  for (const auto& [name, term] : user) {
    table.SetLastFunction(k);
    table.SetName(k, name);
    table.SetTerm(k, term);
    ++k;
  }
  return table;
}

Strings UserKeys(const TFormFkten& form) {
  Strings keys;
  for (int row = form.FirstUser() + 1; row <= form.Last() + 1; ++row) {
    keys.push_back(form.ValueListEditor1->Key(row));
  }
  return keys;
}

void Type(TFormFkten& form, const std::string& text) { form.Edit1->setText(ToQt(text)); }

void ClickRow(TValueListEditor* grid, int row) {
  const QModelIndex index = grid->model()->index(row - 1, 1);
  grid->scrollTo(index);
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
}

void ShowAndActivate(QWidget& w) {
  w.show();
  QVERIFY(QTest::qWaitForWindowActive(&w));
}

}  // namespace

class TestFormFkten : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { ombrix::SetDecimalSeparator(','); }

  // Names typed one after the other, each followed by "Neue Funktion hinzufügen".
  void addNames_data() {
    QTest::addColumn<Strings>("typed");
    QTest::addColumn<Strings>("boxes");
    QTest::addColumn<Strings>("keys");
    QTest::newRow("F2 accepted as typed") << Strings{"F2"} << Strings{} << Strings{"F2"};
    QTest::newRow("f2 after F2 exists")
        << Strings{"F2", "f2"} << Strings{Exists("f2")} << Strings{"F2"};
    QTest::newRow("Sin is a built-in") << Strings{"Sin"} << Strings{Exists("Sin")} << Strings{};
    QTest::newRow("digit first") << Strings{"2f"} << Strings{kUnsuitable} << Strings{};
    QTest::newRow("minus") << Strings{"f-2"} << Strings{kUnsuitable} << Strings{};
    QTest::newRow("blank") << Strings{"f 2"} << Strings{kUnsuitable} << Strings{};
    QTest::newRow("umlaut") << Strings{"f\xE4"} << Strings{kUnsuitable} << Strings{};
    QTest::newRow("plus last") << Strings{"fx+"} << Strings{kUnsuitable} << Strings{};
    QTest::newRow("empty") << Strings{""} << Strings{kUnsuitable} << Strings{};
    QTest::newRow("Pi, a variable's name") << Strings{"Pi"} << Strings{} << Strings{"Pi"};
    QTest::newRow("several, then a duplicate of the first")
        << Strings{"g", "h", "G"} << Strings{Exists("G")} << Strings{"g", "h"};
  }
  void addNames() {
    QFETCH(Strings, typed);
    QFETCH(Strings, boxes);
    QFETCH(Strings, keys);
    RecordingMessageBoxes recorder;
    TFormFkten form(recorder);
    form.Fill(ombrix::FunctionTable());
    ShowAndActivate(form);
    for (const std::string& name : typed) {
      form.Button3->setFocus();
      const std::size_t before = recorder.boxes.size();
      Type(form, name);
      form.Button1->click();
      if (recorder.boxes.size() > before) {
        QTRY_VERIFY(form.Edit1->hasFocus());  // a refusal sends the user back to the name
      }
    }
    QCOMPARE(recorder.Texts(), boxes);
    for (const auto& box : recorder.boxes) QCOMPARE(box.title, std::string("Fehler"));
    QCOMPARE(UserKeys(form), keys);
    const int last = form.FirstUser() - 1 + static_cast<int>(keys.size());
    QCOMPARE(form.Last(), last);
    QCOMPARE(form.ValueListEditor1->GridRowCount(), last + 3);
    // The new rows have empty terms; Edit1 keeps the last text typed.
    for (int row = form.FirstUser() + 1; row <= last + 1; ++row) {
      QCOMPARE(form.ValueListEditor1->Value(row), std::string());
    }
    QCOMPARE(FromQt(form.Edit1->text()), typed.back());
  }

  void placeholderFollowsEdit1_data() {
    QTest::addColumn<std::string>("typed");
    QTest::addColumn<std::string>("key");
    QTest::newRow("a name") << std::string("abc") << std::string("abc");
    QTest::newRow("empty text empties the key") << std::string("") << std::string("");
    QTest::newRow("any sign is shown") << std::string("f\xE4+") << std::string("f\xE4+");
  }
  void placeholderFollowsEdit1() {
    QFETCH(std::string, typed);
    QFETCH(std::string, key);
    RecordingMessageBoxes recorder;
    TFormFkten form(recorder);
    form.Fill(TableWith({{"f", "#"}}));
    form.FormShow();
    const int placeholder = form.Last() + 2;
    QCOMPARE(form.ValueListEditor1->Key(placeholder), std::string(kPlaceholderKey));
    Type(form, "x");
    Type(form, typed);
    QCOMPARE(form.ValueListEditor1->Key(placeholder), key);
    form.FormShow();
    QCOMPARE(form.ValueListEditor1->Key(placeholder), std::string(kPlaceholderKey));
    QCOMPARE(form.Edit1->text(), QString());
  }

  void fillShowsTable() {
    RecordingMessageBoxes recorder;
    TFormFkten form(recorder);
    form.Fill(TableWith({{"f", "#^2"}, {"G", "sin(#)"}}));
    QCOMPARE(form.Last(), 24);
    QCOMPARE(form.ValueListEditor1->GridRowCount(), 27);
    QCOMPARE(form.ValueListEditor1->Value(1), std::string("{eingebaute Funktion}"));
    QCOMPARE(form.ValueListEditor1->Key(1), std::string(ombrix::kBuiltinNames[0]));
    QCOMPARE(form.ValueListEditor1->Key(23), std::string(ombrix::kBuiltinNames[22]));
    QCOMPARE(form.ValueListEditor1->Key(25), std::string("G"));
    QCOMPARE(form.ValueListEditor1->Value(25), std::string("sin(#)"));
    QCOMPARE(form.ValueListEditor1->Key(26), std::string(kPlaceholderKey));
    QCOMPARE(form.ValueListEditor1->Value(26), std::string());
    // Keys never take an editor; a user function's value does.
    QVERIFY(!(form.ValueListEditor1->item(23, 0)->flags() & Qt::ItemIsEditable));
    QVERIFY(form.ValueListEditor1->item(23, 1)->flags() & Qt::ItemIsEditable);
    QVERIFY(!(form.ValueListEditor1->item(0, 1)->flags() & Qt::ItemIsEditable));
  }

  // Clicks on the grid: -1 is the title row.
  void clickRows_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("current");
    QTest::addColumn<Strings>("boxes");
    QTest::newRow("title row does nothing") << -1 << 25 << Strings{};
    QTest::newRow("first built-in does nothing") << 1 << 25 << Strings{};
    QTest::newRow("last built-in does nothing") << 23 << 25 << Strings{};
    QTest::newRow("placeholder informs") << 26 << 25 << Strings{kPlaceholderInfo};
    QTest::newRow("user function selected") << 24 << 24 << Strings{};
  }
  void clickRows() {
    QFETCH(int, row);
    QFETCH(int, current);
    QFETCH(Strings, boxes);
    RecordingMessageBoxes recorder;
    TFormFkten form(recorder);
    form.Fill(TableWith({{"f", "#"}, {"g", "#"}}));
    ShowAndActivate(form);
    QCOMPARE(form.ValueListEditor1->CurrentGridRow(), 25);  // the last function
    if (row < 0) {
      QHeaderView* header = form.ValueListEditor1->horizontalHeader();
      QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                        QPoint(header->sectionPosition(0) + 10, header->height() / 2));
    } else {
      ClickRow(form.ValueListEditor1, row);
    }
    QCOMPARE(form.ValueListEditor1->CurrentGridRow(), current);
    QCOMPARE(recorder.Texts(), boxes);
    for (const auto& box : recorder.boxes) QCOMPARE(box.title, std::string("Information"));
  }

  void keysStopAtRefusedRows_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("control");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("box_count");
    QTest::newRow("up from the first user function") << 24 << int(Qt::Key_Up) << false << 24 << 0;
    QTest::newRow("control home") << 25 << int(Qt::Key_Home) << true << 25 << 0;
    QTest::newRow("page up") << 25 << int(Qt::Key_PageUp) << false << 25 << 0;
    QTest::newRow("control end onto the placeholder") << 24 << int(Qt::Key_End) << true << 24 << 1;
    QTest::newRow("down onto the placeholder") << 25 << int(Qt::Key_Down) << false << 25 << 1;
    QTest::newRow("down between user functions") << 24 << int(Qt::Key_Down) << false << 25 << 0;
    QTest::newRow("a letter edits, never searches") << 24 << int(Qt::Key_S) << false << 24 << 0;
  }
  void keysStopAtRefusedRows() {
    QFETCH(int, start);
    QFETCH(int, key);
    QFETCH(bool, control);
    QFETCH(int, current);
    QFETCH(int, box_count);
    RecordingMessageBoxes recorder;
    TFormFkten form(recorder);
    form.Fill(TableWith({{"f", "#"}, {"g", "#"}}));
    ShowAndActivate(form);
    form.ValueListEditor1->setFocus();
    form.ValueListEditor1->ForceCurrentGridRow(start);
    // On the key column a letter would search instead of edit.
    form.ValueListEditor1->setCurrentCell(start - 1, 0);
    QTest::keyClick(form.ValueListEditor1, static_cast<Qt::Key>(key),
                    control ? Qt::ControlModifier : Qt::NoModifier);
    form.ValueListEditor1->CommitPendingEdit();
    QCOMPARE(form.ValueListEditor1->CurrentGridRow(), current);
    QCOMPARE(static_cast<int>(recorder.boxes.size()), box_count);
    QCOMPARE(form.Last(), 24);
    QCOMPARE(form.ValueListEditor1->Key(26), std::string(kPlaceholderKey));
  }

  void selectCellRule_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("allowed");
    QTest::addColumn<int>("box_count");
    QTest::newRow("title row") << 0 << false << 0;
    QTest::newRow("built-in") << 10 << false << 0;
    QTest::newRow("row F, the last built-in") << 23 << false << 0;
    QTest::newRow("user function") << 24 << true << 0;
    QTest::newRow("placeholder") << 25 << false << 1;
  }
  void selectCellRule() {
    QFETCH(int, row);
    QFETCH(bool, allowed);
    QFETCH(int, box_count);
    RecordingMessageBoxes recorder;
    TFormFkten form(recorder);
    form.Fill(TableWith({{"f", "#"}}));
    QCOMPARE(form.ValueListEditor1SelectCell(row), allowed);
    QCOMPARE(static_cast<int>(recorder.boxes.size()), box_count);
  }

  void deleteRows_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<Strings>("boxes");
    QTest::addColumn<Strings>("keys");
    QTest::addColumn<int>("current");
    QTest::newRow("middle one, OK")
        << 25 << true << Strings{AskDelete("g")} << Strings{"f", "H"} << 25;
    QTest::newRow("middle one, Abbrechen")
        << 25 << false << Strings{AskDelete("g")} << Strings{"f", "g", "H"} << 25;
    QTest::newRow("last one, OK, key as typed")
        << 26 << true << Strings{AskDelete("H")} << Strings{"f", "g"} << 25;
    QTest::newRow("first one, OK")
        << 24 << true << Strings{AskDelete("f")} << Strings{"g", "H"} << 25;
  }
  void deleteRows() {
    QFETCH(int, row);
    QFETCH(bool, answer);
    QFETCH(Strings, boxes);
    QFETCH(Strings, keys);
    QFETCH(int, current);
    RecordingMessageBoxes recorder;
    recorder.answers = {answer};
    TFormFkten form(recorder);
    form.Fill(TableWith({{"f", "#+1"}, {"g", "#+2"}, {"H", "#+3"}}));
    form.FormShow();
    QVERIFY(form.ValueListEditor1->SelectGridRow(row));
    form.Button2Click();
    QCOMPARE(recorder.Texts(), boxes);
    QCOMPARE(UserKeys(form), keys);
    QCOMPARE(form.ValueListEditor1->CurrentGridRow(), current);
    QCOMPARE(form.ValueListEditor1->Key(form.Last() + 2), std::string(kPlaceholderKey));
    ombrix::FunctionTable table;
    form.WriteBack(table);
    QCOMPARE(table.LastFunction(), 22 + static_cast<int>(keys.size()));
    for (int k = 23; k <= table.LastFunction(); ++k) {
      // Each function keeps its own term after the rows moved.
      const std::string expected = table.Name(k) == "f"   ? "#+1"
                                   : table.Name(k) == "g" ? "#+2"
                                                          : "#+3";
      QCOMPARE(table.Term(k), expected);
    }
  }

  void deleteWithoutUserFunction() {
    RecordingMessageBoxes recorder;
    TFormFkten form(recorder);
    form.Fill(ombrix::FunctionTable());
    ShowAndActivate(form);
    form.Button2->click();
    QCOMPARE(recorder.Texts(), Strings{kBuiltinDelete});
    QCOMPARE(recorder.boxes[0].title, std::string("Fehler"));
    QCOMPARE(form.Last(), 22);
    QCOMPARE(form.ValueListEditor1->GridRowCount(), 25);
  }

  // Deleting must never take a built-in or the placeholder row, whatever row is
  // current: the rows after it would shift and the last function would be lost.
  void deleteRefusesRowsThatAreNoFunction_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<std::string>("box");
    QTest::newRow("built-in current") << 5 << kBuiltinDelete;
    QTest::newRow("last built-in current") << 23 << kBuiltinDelete;
    QTest::newRow("placeholder current")
        << 25
        << std::string("Bitte w\xE4hlen Sie zuerst die Funktion aus,\ndie Sie l\xF6schen wollen.");
  }
  void deleteRefusesRowsThatAreNoFunction() {
    QFETCH(int, row);
    QFETCH(std::string, box);
    RecordingMessageBoxes recorder;
    TFormFkten form(recorder);
    form.Fill(ombrix::FunctionTable());
    form.FormShow();
    Type(form, "g");
    form.Button1Click();
    form.ValueListEditor1->ForceCurrentGridRow(row);
    form.Button2Click();
    QCOMPARE(recorder.Texts(), Strings{box});
    QCOMPARE(UserKeys(form), Strings{"g"});
    QCOMPARE(form.ValueListEditor1->GridRowCount(), 26);
  }

  // The new row is current, in view and open for its term, however many rows stand above.
  void addedRowReadyForTyping_data() {
    QTest::addColumn<int>("existing");
    QTest::newRow("first user function") << 0;
    QTest::newRow("below many functions") << 60;
  }
  void addedRowReadyForTyping() {
    QFETCH(int, existing);
    std::vector<std::pair<std::string, std::string>> user;
    for (int k = 0; k < existing; ++k) user.emplace_back("f" + std::to_string(k), "#");
    ombrix::FunctionTable table = TableWith(user);
    RecordingMessageBoxes recorder;
    TFormFkten form(recorder);
    form.Fill(table);
    ShowAndActivate(form);
    Type(form, "neu");
    form.Button1->click();
    const int row = form.Last() + 1;
    testing::VerifyReadyForTyping(*form.ValueListEditor1, row);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("#^2"));
    form.Button3->click();
    form.WriteBack(table);
    QCOMPARE(table.Name(row - 1), std::string("neu"));
    QCOMPARE(table.Term(row - 1), std::string("#^2"));
  }

  // After the only user function is deleted, the next one added is the one that
  // "Funktion löschen" offers.
  void deleteThenAddThenDelete() {
    RecordingMessageBoxes recorder;
    TFormFkten form(recorder);
    form.Fill(TableWith({{"f", "#"}}));
    form.FormShow();
    form.Button2Click();
    QCOMPARE(form.Last(), 22);
    Type(form, "g");
    form.Button1Click();
    form.Button2Click();
    QCOMPARE(recorder.Texts(), (Strings{AskDelete("f"), AskDelete("g")}));
    QCOMPARE(form.Last(), 22);
    QCOMPARE(form.ValueListEditor1->Key(24), std::string(kPlaceholderKey));
  }

  // Terms as typed in the grid's editor and as stored.
  void writeBackTerms_data() {
    QTest::addColumn<std::string>("typed");
    QTest::addColumn<std::string>("stored");
    QTest::newRow("blanks removed") << std::string("# ^ 2 + 1") << std::string("#^2+1");
    QTest::newRow("empty term") << std::string() << std::string();
    QTest::newRow("case kept") << std::string("Sin(#) * X") << std::string("Sin(#)*X");
    QTest::newRow("tab kept") << std::string("#\t+ 1") << std::string("#\t+1");
    QTest::newRow("Windows-1252 sign kept")
        << std::string("# \xA7 \xE4") << std::string("#\xA7\xE4");
  }
  void writeBackTerms() {
    QFETCH(std::string, typed);
    QFETCH(std::string, stored);
    RecordingMessageBoxes recorder;
    TFormFkten form(recorder);
    ombrix::FunctionTable table = TableWith({{"f", "#"}});
    form.Fill(table);
    ShowAndActivate(form);
    Type(form, "Neu");
    form.Button1->click();
    // Type into the cell editor of the new function and close without leaving it.
    TValueListEditor* grid = form.ValueListEditor1;
    QVERIFY(grid->SelectGridRow(25));
    grid->setCurrentCell(24, 1);
    grid->editItem(grid->item(24, 1));
    auto* editor = qobject_cast<QLineEdit*>(grid->indexWidget(grid->model()->index(24, 1)));
    QVERIFY(editor != nullptr);
    editor->setText(ToQt(typed));
    form.Button3Click();
    QCOMPARE(form.result(), int(QDialog::Accepted));
    form.WriteBack(table);
    QCOMPARE(table.LastFunction(), 24);
    QCOMPARE(table.Name(23), std::string("f"));
    QCOMPARE(table.Term(23), std::string("#"));
    QCOMPARE(table.Name(24), std::string("Neu"));
    QCOMPARE(table.Term(24), stored);
    QCOMPARE(recorder.boxes.size(), std::size_t{0});
  }

  // Names that differ only in case, or a user function named like a built-in, can
  // come from a project file; each keeps its own term.
  void writeBackKeepsEachRowsTerm() {
    RecordingMessageBoxes recorder;
    TFormFkten form(recorder);
    ombrix::FunctionTable table = TableWith({{"f", "#+1"}, {"F", "#+2"}, {"Sin", "#*3"}});
    form.Fill(table);
    form.WriteBack(table);
    QCOMPARE(table.LastFunction(), 25);
    QCOMPARE(table.Term(23), std::string("#+1"));
    QCOMPARE(table.Term(24), std::string("#+2"));
    QCOMPARE(table.Term(25), std::string("#*3"));
    QCOMPARE(table.Name(24), std::string("F"));
  }

  void capacity_data() {
    QTest::addColumn<int>("user_functions");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("104 user functions, one more fits") << 104 << true;
    QTest::newRow("105 user functions, table full") << 105 << false;
  }
  void capacity() {
    QFETCH(int, user_functions);
    QFETCH(bool, accepted);
    std::vector<std::pair<std::string, std::string>> user;
    for (int n = 0; n < user_functions; ++n) user.push_back({"f" + std::to_string(n), "#"});
    ombrix::FunctionTable table = TableWith(user);
    RecordingMessageBoxes recorder;
    TFormFkten form(recorder);
    form.Fill(table);
    form.FormShow();
    Type(form, "neu");
    form.Button1Click();
    // A second try stays refused once the table is full.
    Type(form, "noch");
    form.Button1Click();
    const Strings full{
        "Es sind h\366chstens 105 eigene Funktionen m\xF6glich.\nBitte l\xF6schen Sie zuerst eine "
        "Funktion."};
    QCOMPARE(recorder.Texts(), accepted ? full : (Strings{full[0], full[0]}));
    QCOMPARE(form.Last(), 127);
    form.Button3Click();
    form.WriteBack(table);
    QCOMPARE(table.LastFunction(), 127);
    QCOMPARE(table.Name(127), accepted ? std::string("neu") : std::string("f104"));
  }

  void onlyOkCloses_data() {
    QTest::addColumn<QString>("attempt");
    QTest::newRow("Escape") << "escape";
    QTest::newRow("close()") << "close";
    QTest::newRow("reject()") << "reject";
    QTest::newRow("Enter in Edit1") << "enter";
  }
  void onlyOkCloses() {
    QFETCH(QString, attempt);
    RecordingMessageBoxes recorder;
    TFormFkten form(recorder);
    form.Fill(ombrix::FunctionTable());
    ShowAndActivate(form);
    if (attempt == "escape") QTest::keyClick(&form, Qt::Key_Escape);
    if (attempt == "close") QVERIFY(!form.close());
    if (attempt == "reject") form.reject();
    if (attempt == "enter") QTest::keyClick(form.Edit1, Qt::Key_Return);
    QVERIFY(form.isVisible());
    QCOMPARE(recorder.boxes.size(), std::size_t{0});
    form.Button3->click();
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Accepted));
  }

  void layout() {
    RecordingMessageBoxes recorder;
    TFormFkten form(recorder);
    QCOMPARE(form.windowTitle(), QString("Funktionen bearbeiten"));
    QCOMPARE(form.size(), QSize(409, 514));
    QVERIFY(!(form.windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(!(form.windowFlags() & Qt::WindowSystemMenuHint));
    TValueListEditor* grid = form.ValueListEditor1;
    QCOMPARE(grid->objectName(), QString("ValueListEditor1"));
    QCOMPARE(grid->geometry(), QRect(16, 16, 369, 345));
    QCOMPARE(grid->font().family(), QString("Courier New"));
    QCOMPARE(grid->horizontalHeaderItem(0)->text(), QString("Funktionsname"));
    QCOMPARE(grid->horizontalHeaderItem(1)->text(), QString("Funktionsterm"));
    QCOMPARE(grid->columnWidth(0), 150);
    QCOMPARE(form.Label1->text(), QString("Name der neuen Funktion:"));
    QCOMPARE(form.Edit1->width(), 177);
    QCOMPARE(form.Button1->text(), QString::fromUtf8("Neue Funktion hinzuf\xC3\xBCgen"));
    QCOMPARE(form.Button2->text(), QString::fromUtf8("Funktion l\xC3\xB6schen"));
    QCOMPARE(form.Button3->text(), QString("OK"));
    QCOMPARE(form.Button3->size(), QSize(177, 57));
    form.Fill(TableWith({{"f", "#"}}));
    ShowAndActivate(form);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form.Edit1));
    QCOMPARE(grid->columnWidth(0), 150);
    QCOMPARE(grid->columnWidth(0) + grid->columnWidth(1), grid->viewport()->width());
    QCOMPARE(grid->horizontalScrollBar()->maximum(), 0);
    QCOMPARE(form.Edit1->nextInFocusChain(), static_cast<QWidget*>(form.Button1));
  }

  // The exchange as the main window runs it: fill, modal, write back.
  void exchangeRunsModally() {
    RecordingMessageBoxes recorder;
    TFormFkten form(recorder);
    ombrix::FunctionTable table = TableWith({{"f", "#"}});
    bool still_open_after_escape = false;
    bool edit1_empty_on_show = false;
    QTimer::singleShot(0, &form, [&] {
      QTest::keyClick(&form, Qt::Key_Escape);
      still_open_after_escape = form.isVisible();
      edit1_empty_on_show = form.Edit1->text().isEmpty();
      form.Edit1->setText("Quadrat");
      form.Button1->click();
      form.ValueListEditor1->SetValue(25, "# * #");
      form.Button3->click();
    });
    ExchangeFunctions(form, table);
    QVERIFY(still_open_after_escape);
    QVERIFY(edit1_empty_on_show);
    QCOMPARE(table.LastFunction(), 24);
    QCOMPARE(table.Name(24), std::string("Quadrat"));
    QCOMPARE(table.Term(24), std::string("#*#"));
    QCOMPARE(recorder.boxes.size(), std::size_t{0});
  }
};

QTEST_MAIN(TestFormFkten)
#include "test_unitformfkten.moc"
