// The variable dialog: start values typed as terms and checked on "OK", the
// protected "i", adding and deleting, the exchange with the variable table, the
// capacity and the one way out.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "logic/complex/num_text.h"
#include "logic/evaluator/evaluate.h"
#include "logic/evaluator/tables.h"
#include "logic/program/drawing_state.h"
#include "platform/qt_text.h"
#include "tests/support/recording.h"
#include "tests/ui/cp1252_output.h"
#include "tests/ui/grid_typing.h"
#include "ui/Unitformvars.h"

using namespace ombrix;
using testing::RecordingMessageBoxes;

namespace {

using Strings = std::vector<std::string>;

const std::string kUnsuitable = "Bitte geben Sie einen\ngeeigneten Variablennamen ein.";
const std::string kPlaceholderInfo =
    "Bitte klicken Sie zuerst den Button\n'Neue Variable hinzuf\xFCgen' an,\n"
    "bevor Sie einen Variablenwert eingeben.";
const std::string kISetBack =
    "Das Programm hat die imagin\xE4re Gr\366\337e 'i'\nwieder auf den \374blichen Wert zur\374ck "
    "gesetzt.";
const std::string kIDelete = "Sie k\xF6nnen die imagin\xE4re Gr\366\337e 'i' nicht l\xF6schen.";
const std::string kFull =
    "Es sind h\366chstens 128 Variablen m\xF6glich.\nBitte l\xF6schen Sie zuerst eine Variable.";

std::string Exists(const std::string& name) {
  return "Variablenname '" + name + "' existiert bereits\nund kann nicht verwendet werden.";
}

std::string AskDelete(const std::string& name) {
  return "Wollen Sie die Variable '" + name + "'\nwirklich l\xF6schen?";
}

std::string InvalidValue(const std::string& name, const std::string& message) {
  return "Bitte geben Sie der Variable '" + name +
         "'\neinen g\xFCltigen Wert.\n\nBei der Auswertung Ihrer Eingabe ist der Fehler\n'" +
         message + "'\naufgetreten.";
}

// One world for the dialog: tables, a drawing state and recorded boxes.
struct Fixture {
  Fixture() : form(boxes) {}
  ombrix::FunctionTable functions;
  ombrix::VariableTable variables;
  ombrix::DrawingState drawing;
  RecordingMessageBoxes boxes;
  ombrix::EvalContext context{functions, variables, drawing, boxes};
  TFormVars form;

  void AddVariable(const std::string& name, ombrix::TComplex value) {
    const int j = variables.LastVariable() + 1;
    variables.SetLastVariable(j);
    variables.SetName(j, name);
    variables.SetStartValue(j, value);
    variables.SetCurrentValue(j, value);
  }
  void Fill() { form.Fill(variables, context); }
  void Type(const std::string& text) { form.Edit1->setText(ToQt(text)); }
  void Add(const std::string& name, const std::string& value) {
    Type(name);
    form.Button1Click();
    form.ValueListEditor1->SetValue(form.Last() + 1, value);
  }
  int RowOf(const std::string& key) const {
    for (int row = 1; row <= form.Last() + 1; ++row) {
      if (form.ValueListEditor1->Key(row) == key) return row;
    }
    return -1;
  }
  Strings Keys() const {
    Strings keys;
    for (int row = 1; row <= form.Last() + 1; ++row)
      keys.push_back(form.ValueListEditor1->Key(row));
    return keys;
  }
};

void ShowAndActivate(QWidget& w) {
  w.show();
  QVERIFY(QTest::qWaitForWindowActive(&w));
}

}  // namespace

class TestFormVars : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { ombrix::SetDecimalSeparator(','); }

  // A new variable's value as typed, what "OK" stores and what the dialog shows on
  // reopening.
  void startValues_data() {
    QTest::addColumn<std::string>("typed");
    QTest::addColumn<double>("re");
    QTest::addColumn<double>("im");
    QTest::addColumn<std::string>("shown");
    QTest::newRow("Pi/2") << std::string("Pi/2") << std::numbers::pi / 2 << 0.0
                          << std::string("1,5707963267949");
    QTest::newRow("2*e") << std::string("2*e") << 2 * std::numbers::e << 0.0
                         << std::string("5,43656365691809");
    QTest::newRow("empty gives 0") << std::string() << 0.0 << 0.0 << std::string("0");
    QTest::newRow("complex") << std::string("3 + 4*i") << 3.0 << 4.0 << std::string("3+4*i");
    QTest::newRow("decimal comma") << std::string("-2,5") << -2.5 << 0.0 << std::string("-2,5");
    QTest::newRow("a comparison") << std::string("2=2") << 1.0 << 0.0 << std::string("1");
    QTest::newRow("a function name is a valid variable value")
        << std::string("sin(0)") << 0.0 << 0.0 << std::string("0");
  }
  void startValues() {
    QFETCH(std::string, typed);
    QFETCH(double, re);
    QFETCH(double, im);
    QFETCH(std::string, shown);
    Fixture f;
    f.Fill();
    f.form.FormShow();
    f.Add("a", typed);
    f.form.Button3Click();
    QCOMPARE(f.boxes.Texts(), Strings{});
    QCOMPARE(f.form.result(), int(QDialog::Accepted));
    f.form.WriteBack(f.variables);
    QCOMPARE(f.variables.LastVariable(), 3);
    QCOMPARE(f.variables.Name(3), std::string("a"));
    QCOMPARE(f.variables.StartValue(3).Re, re);
    QCOMPARE(f.variables.StartValue(3).Im, im);
    // Current values are a run's business.
    QCOMPARE(f.variables.CurrentValue(0).Im, 1.0);
    f.Fill();
    QCOMPARE(f.form.ValueListEditor1->Value(4), shown);
    QCOMPARE(f.form.ValueListEditor1->Value(1), std::string("i"));
  }

  // Values refused by "OK": the dialog stays open on the row, the message quotes the
  // evaluator's message without its leading "? ".
  void invalidValues_data() {
    QTest::addColumn<std::string>("typed");
    QTest::addColumn<std::string>("message");
    QTest::addColumn<bool>("in_editor");  // still in the open cell editor when "OK" is hit
    QTest::newRow("syntax error") << std::string("3x") << std::string("Syntaxfehler") << false;
    QTest::newRow("syntax error in the open editor")
        << std::string("3x") << std::string("Syntaxfehler") << true;
    QTest::newRow("bracketing") << std::string("(1+2") << std::string("Fehlerhafte Klammerung")
                                << false;
    QTest::newRow("unknown name") << std::string("zz") << std::string("Unbekannter Funktionsname")
                                  << false;
    QTest::newRow("variable added while open")
        << std::string("b") << std::string("Unbekannter Funktionsname") << false;
  }
  void invalidValues() {
    QFETCH(std::string, typed);
    QFETCH(std::string, message);
    QFETCH(bool, in_editor);
    Fixture f;
    f.Fill();
    ShowAndActivate(f.form);
    f.Add("a", in_editor ? "" : typed);
    f.Add("b", "1");
    if (in_editor) {
      TValueListEditor* grid = f.form.ValueListEditor1;
      grid->setFocus();
      QVERIFY(grid->SelectGridRow(4));
      grid->editItem(grid->item(3, 1));
      auto* editor = qobject_cast<QLineEdit*>(grid->indexWidget(grid->model()->index(3, 1)));
      QVERIFY(editor != nullptr);
      editor->setText(ToQt(typed));
    } else {
      f.form.Button3->setFocus();
    }
    f.form.Button3->click();
    QCOMPARE(f.boxes.Texts(), Strings{InvalidValue("a", message)});
    QCOMPARE(f.boxes.boxes[0].title, std::string("Fehler"));
    QVERIFY(f.form.isVisible());
    QCOMPARE(f.form.ValueListEditor1->CurrentGridRow(), 4);
    QTRY_VERIFY(f.form.ValueListEditor1->hasFocus());
    // Mended, it closes.
    f.form.ValueListEditor1->SetValue(4, "2");
    f.form.Button3->click();
    QVERIFY(!f.form.isVisible());
    f.form.WriteBack(f.variables);
    QCOMPARE(f.variables.StartValue(3).Re, 2.0);
    QCOMPARE(f.variables.StartValue(4).Re, 1.0);
  }

  void protectedI_data() {
    QTest::addColumn<std::string>("typed");
    QTest::addColumn<Strings>("boxes");
    QTest::addColumn<bool>("closes");
    QTest::newRow("changed to 2 is set back") << std::string("2") << Strings{kISetBack} << true;
    QTest::newRow("unchanged passes") << std::string("i") << Strings{} << true;
    QTest::newRow("an equal term passes") << std::string("0+1*i") << Strings{} << true;
    QTest::newRow("upper case I names i and passes") << std::string("I") << Strings{} << true;
    QTest::newRow("a faulty value is set back and still reported")
        << std::string("2+(") << Strings{kISetBack, InvalidValue("i", "Fehlerhafte Klammerung")}
        << false;
  }
  void protectedI() {
    QFETCH(std::string, typed);
    QFETCH(Strings, boxes);
    QFETCH(bool, closes);
    Fixture f;
    f.Fill();
    ShowAndActivate(f.form);
    f.form.ValueListEditor1->SetValue(1, typed);
    f.form.Button3->click();
    QCOMPARE(f.boxes.Texts(), boxes);
    if (!boxes.empty()) QCOMPARE(f.boxes.boxes[0].title, std::string("Information"));
    QCOMPARE(f.form.ValueListEditor1->Value(1), boxes.empty() ? typed : std::string("i"));
    QCOMPARE(f.form.isVisible(), !closes);
    if (!closes) {
      QCOMPARE(f.form.ValueListEditor1->CurrentGridRow(), 1);
      f.form.Button3->click();  // set back already, so it passes now
      QVERIFY(!f.form.isVisible());
    }
    f.form.WriteBack(f.variables);
    QCOMPARE(f.variables.StartValue(0).Re, 0.0);
    QCOMPARE(f.variables.StartValue(0).Im, 1.0);
  }

  // A variable named I, possible in a project file, is an ordinary variable.
  void upperCaseINotProtected() {
    Fixture f;
    f.variables.SetName(0, "I");
    f.Fill();
    f.form.FormShow();
    f.form.ValueListEditor1->SetValue(1, "2");
    f.form.Button3Click();
    QCOMPARE(f.boxes.Texts(), Strings{});
    QCOMPARE(f.form.result(), int(QDialog::Accepted));
    QVERIFY(f.form.ValueListEditor1->SelectGridRow(1));
    f.form.Button2Click();
    QCOMPARE(f.boxes.Texts(), Strings{AskDelete("I")});
    QCOMPARE(f.form.Last(), 1);
    f.form.WriteBack(f.variables);
    QCOMPARE(f.variables.LastVariable(), 1);
    QCOMPARE(f.variables.Name(0), std::string("e"));
  }

  void deleteRows_data() {
    QTest::addColumn<std::string>("key");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<Strings>("boxes");
    QTest::addColumn<Strings>("keys");
    QTest::newRow("i refused") << std::string("i") << true << Strings{kIDelete}
                               << Strings{"i", "e", "Pi", "x"};
    QTest::newRow("e asked, OK") << std::string("e") << true << Strings{AskDelete("e")}
                                 << Strings{"i", "Pi", "x"};
    QTest::newRow("e asked, Abbrechen")
        << std::string("e") << false << Strings{AskDelete("e")} << Strings{"i", "e", "Pi", "x"};
    QTest::newRow("Pi asked, OK") << std::string("Pi") << true << Strings{AskDelete("Pi")}
                                  << Strings{"i", "e", "x"};
    QTest::newRow("last one, OK") << std::string("x") << true << Strings{AskDelete("x")}
                                  << Strings{"i", "e", "Pi"};
  }
  void deleteRows() {
    QFETCH(std::string, key);
    QFETCH(bool, answer);
    QFETCH(Strings, boxes);
    QFETCH(Strings, keys);
    Fixture f;
    f.AddVariable("x", {7, 0});
    f.boxes.answers = {answer};
    f.Fill();
    f.form.FormShow();
    QCOMPARE(f.form.ValueListEditor1->CurrentGridRow(), 4);
    QVERIFY(f.form.ValueListEditor1->SelectGridRow(f.RowOf(key)));
    f.form.Button2Click();
    QCOMPARE(f.boxes.Texts(), boxes);
    QCOMPARE(f.Keys(), keys);
    QCOMPARE(f.form.ValueListEditor1->Key(f.form.Last() + 2), std::string(kPlaceholderKey));
    f.form.Button3Click();
    f.form.WriteBack(f.variables);
    QCOMPARE(f.variables.LastVariable(), static_cast<int>(keys.size()) - 1);
    for (int j = 0; j <= f.variables.LastVariable(); ++j) {
      QCOMPARE(f.variables.Name(j), keys[static_cast<std::size_t>(j)]);
    }
    // Values go with their names.
    const int x = f.variables.FindVariable("x");
    if (x >= 0) QCOMPARE(f.variables.StartValue(x).Re, 7.0);
  }

  // Deleting all but "i" and then deleting again must not take the placeholder row.
  void deleteNeverTakesThePlaceholder() {
    Fixture f;
    f.Fill();
    f.form.FormShow();
    f.form.Button2Click();  // Pi
    f.form.Button2Click();  // e
    QCOMPARE(f.Keys(), Strings{"i"});
    f.form.ValueListEditor1->ForceCurrentGridRow(2);
    f.form.Button2Click();
    QCOMPARE(f.boxes.Texts(),
             (Strings{AskDelete("Pi"), AskDelete("e"),
                      "Bitte w\xE4hlen Sie zuerst die Variable aus,\ndie Sie l\xF6schen wollen."}));
    QCOMPARE(f.Keys(), Strings{"i"});
    QCOMPARE(f.form.ValueListEditor1->Key(2), std::string(kPlaceholderKey));
  }

  // A project may hold no variable at all: only the placeholder row is shown.
  void emptyTable() {
    Fixture f;
    f.variables.SetLastVariable(-1);
    f.Fill();
    ShowAndActivate(f.form);
    QTRY_VERIFY(f.form.ValueListEditor1->hasFocus());
    QCOMPARE(f.boxes.Texts(), Strings{});  // taking the focus selects nothing
    QCOMPARE(f.form.ValueListEditor1->CurrentGridRow(), -1);
    f.form.Button2->click();
    QCOMPARE(f.boxes.Texts(),
             Strings{"Bitte w\xE4hlen Sie zuerst die Variable aus,\ndie Sie l\xF6schen wollen."});
    QCOMPARE(f.form.Last(), -1);
    f.Add("x", "4");
    f.form.Button3->click();
    QVERIFY(!f.form.isVisible());
    f.form.WriteBack(f.variables);
    QCOMPARE(f.variables.LastVariable(), 0);
    QCOMPARE(f.variables.Name(0), std::string("x"));
    QCOMPARE(f.variables.StartValue(0).Re, 4.0);
  }

  // The new row is current, in view and open for its value, however many rows stand above.
  void addedRowReadyForTyping_data() {
    QTest::addColumn<int>("existing");
    QTest::newRow("after the constants") << 0;
    QTest::newRow("below many variables") << 60;
  }
  void addedRowReadyForTyping() {
    QFETCH(int, existing);
    Fixture f;
    for (int k = 0; k < existing; ++k) f.AddVariable("v" + std::to_string(k), {1, 0});
    f.Fill();
    ShowAndActivate(f.form);
    f.Type("neu");
    f.form.Button1->click();
    const int row = f.form.Last() + 1;
    testing::VerifyReadyForTyping(*f.form.ValueListEditor1, row);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("2*Pi"));
    f.form.Button3->click();
    QVERIFY(!f.form.isVisible());
    f.form.WriteBack(f.variables);
    QCOMPARE(f.variables.Name(row - 1), std::string("neu"));
    QCOMPARE(f.variables.StartValue(row - 1).Re, 2 * 3.141592653589793);
  }

  void addNames_data() {
    QTest::addColumn<Strings>("typed");
    QTest::addColumn<Strings>("boxes");
    QTest::addColumn<Strings>("added");
    QTest::newRow("a function's name") << Strings{"sin"} << Strings{} << Strings{"sin"};
    QTest::newRow("a keyword") << Strings{"Wenn"} << Strings{} << Strings{"Wenn"};
    QTest::newRow("E exists as e") << Strings{"E"} << Strings{Exists("E")} << Strings{};
    QTest::newRow("PI exists as Pi") << Strings{"PI"} << Strings{Exists("PI")} << Strings{};
    QTest::newRow("x then X") << Strings{"x", "X"} << Strings{Exists("X")} << Strings{"x"};
    QTest::newRow("digit first") << Strings{"2x"} << Strings{kUnsuitable} << Strings{};
    QTest::newRow("umlaut") << Strings{"\xE4"} << Strings{kUnsuitable} << Strings{};
    QTest::newRow("empty") << Strings{""} << Strings{kUnsuitable} << Strings{};
  }
  void addNames() {
    QFETCH(Strings, typed);
    QFETCH(Strings, boxes);
    QFETCH(Strings, added);
    Fixture f;
    f.Fill();
    ShowAndActivate(f.form);
    for (const std::string& name : typed) {
      f.form.Button3->setFocus();
      const std::size_t before = f.boxes.boxes.size();
      f.Type(name);
      f.form.Button1->click();
      if (f.boxes.boxes.size() > before) QTRY_VERIFY(f.form.Edit1->hasFocus());
    }
    QCOMPARE(f.boxes.Texts(), boxes);
    Strings keys{"i", "e", "Pi"};
    keys.insert(keys.end(), added.begin(), added.end());
    QCOMPARE(f.Keys(), keys);
    QCOMPARE(f.form.Last(), static_cast<int>(keys.size()) - 1);
    f.form.Button3->click();
    QVERIFY(!f.form.isVisible());
    f.form.WriteBack(f.variables);
    QCOMPARE(f.variables.LastVariable(), static_cast<int>(keys.size()) - 1);
    if (!added.empty()) {
      QCOMPARE(f.variables.Name(3), added[0]);
      QCOMPARE(f.variables.StartValue(3).Re, 0.0);  // the new row's value is empty
    }
  }

  // The placeholder key: set by a non-empty Edit1, kept by an empty one.
  void placeholderKey_data() {
    QTest::addColumn<Strings>("steps");  // a text typed, "+" for the add button, "show"
    QTest::addColumn<std::string>("key");
    QTest::addColumn<std::string>("edit1");
    QTest::newRow("typing shows the name")
        << Strings{"ab"} << std::string("ab") << std::string("ab");
    QTest::newRow("emptying keeps the last name")
        << Strings{"ab", ""} << std::string("ab") << std::string();
    QTest::newRow("after adding, the new placeholder")
        << Strings{"ab", "+"} << std::string(kPlaceholderKey) << std::string();
    QTest::newRow("showing again keeps the key")
        << Strings{"ab", "show"} << std::string("ab") << std::string();
    QTest::newRow("a refused name stays shown")
        << Strings{"e", "+"} << std::string("e") << std::string("e");
  }
  void placeholderKey() {
    QFETCH(Strings, steps);
    QFETCH(std::string, key);
    QFETCH(std::string, edit1);
    Fixture f;
    f.Fill();
    f.form.FormShow();
    for (const std::string& step : steps) {
      if (step == "+") {
        f.form.Button1Click();
      } else if (step == "show") {
        f.form.FormShow();
      } else {
        f.Type(step);
      }
    }
    QCOMPARE(f.form.ValueListEditor1->Key(f.form.Last() + 2), key);
    QCOMPARE(FromQt(f.form.Edit1->text()), edit1);
    // The added row keeps the name typed.
    if (steps.back() == "+" && key == kPlaceholderKey) {
      QCOMPARE(f.form.ValueListEditor1->Key(f.form.Last() + 1), std::string("ab"));
    }
  }

  void clickRows_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("current");
    QTest::addColumn<Strings>("boxes");
    QTest::newRow("i selectable") << 1 << 1 << Strings{};
    QTest::newRow("e selectable") << 2 << 2 << Strings{};
    QTest::newRow("Pi selectable") << 3 << 3 << Strings{};
    QTest::newRow("placeholder informs") << 5 << 4 << Strings{kPlaceholderInfo};
  }
  void clickRows() {
    QFETCH(int, row);
    QFETCH(int, current);
    QFETCH(Strings, boxes);
    Fixture f;
    f.AddVariable("x", {1, 0});
    f.Fill();
    ShowAndActivate(f.form);
    QCOMPARE(f.form.ValueListEditor1->CurrentGridRow(), 4);
    TValueListEditor* grid = f.form.ValueListEditor1;
    const QModelIndex index = grid->model()->index(row - 1, 1);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
    QCOMPARE(grid->CurrentGridRow(), current);
    QCOMPARE(f.boxes.Texts(), boxes);
    for (const auto& box : f.boxes.boxes) QCOMPARE(box.title, std::string("Information"));
  }

  // Every entry is evaluated against the table as it was when the dialog opened.
  void valuesSeeTheTableAsOpened() {
    Fixture f;
    f.AddVariable("x", {1, 0});
    f.Fill();
    f.form.FormShow();
    f.form.ValueListEditor1->SetValue(4, "5");
    f.Add("y", "x*10");
    f.form.Button3Click();
    QCOMPARE(f.form.result(), int(QDialog::Accepted));
    f.form.WriteBack(f.variables);
    QCOMPARE(f.variables.StartValue(3).Re, 5.0);
    QCOMPARE(f.variables.StartValue(4).Re, 10.0);
  }

  // Names that differ only in case can come from a project file; each keeps its value.
  void writeBackKeepsEachRowsValue() {
    Fixture f;
    f.AddVariable("x", {3, 0});
    f.AddVariable("X", {4, 0});
    f.Fill();
    f.form.Button3Click();
    f.form.WriteBack(f.variables);
    QCOMPARE(f.variables.StartValue(3).Re, 3.0);
    QCOMPARE(f.variables.StartValue(4).Re, 4.0);
    QCOMPARE(f.variables.Name(4), std::string("X"));
  }

  void capacity_data() {
    QTest::addColumn<int>("user_variables");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("127 variables, one more fits") << 124 << true;
    QTest::newRow("128 variables, table full") << 125 << false;
  }
  void capacity() {
    QFETCH(int, user_variables);
    QFETCH(bool, accepted);
    Fixture f;
    for (int n = 0; n < user_variables; ++n) f.AddVariable("v" + std::to_string(n), {1.0 * n, 0});
    f.Fill();
    f.form.FormShow();
    f.Type("neu");
    f.form.Button1Click();
    f.Type("noch");
    f.form.Button1Click();
    QCOMPARE(f.boxes.Texts(), accepted ? Strings{kFull} : (Strings{kFull, kFull}));
    QCOMPARE(f.form.Last(), 127);
    f.form.Button3Click();
    QCOMPARE(f.form.result(), int(QDialog::Accepted));
    f.form.WriteBack(f.variables);
    QCOMPARE(f.variables.LastVariable(), 127);
    QCOMPARE(f.variables.Name(127), accepted ? std::string("neu") : std::string("v124"));
    QCOMPARE(f.variables.StartValue(126).Re, 123.0);
  }

  // Entries that the number conversion or the arithmetic cannot take end the click
  // with the fault's message; the dialog stays open on the row.
  void faultingValues_data() {
    QTest::addColumn<std::string>("typed");
    QTest::addColumn<std::string>("message");
    QTest::newRow("overflowing number")
        << std::string("1e999") << std::string("Gleitkomma\374berlauf.");
    QTest::newRow("number with two exponents")
        << std::string("2*1e2e3") << std::string("'1e2e3' ist kein g\xFCltiger Gleitkommawert.");
  }
  void faultingValues() {
    QFETCH(std::string, typed);
    QFETCH(std::string, message);
    Fixture f;
    f.AddVariable("x", {1, 0});
    f.AddVariable("y", {2, 0});
    f.Fill();
    ShowAndActivate(f.form);
    f.form.ValueListEditor1->SetValue(4, typed);
    f.form.ValueListEditor1->SetValue(5, "x+1");
    f.form.Button3->click();
    QCOMPARE(f.boxes.Texts(), Strings{message});
    QCOMPARE(f.boxes.boxes[0].kind, ombrix::MessageKind::Fault);
    QVERIFY(f.form.isVisible());
    QCOMPARE(f.form.ValueListEditor1->CurrentGridRow(), 4);
    // Written back without the check, the entry starts at 0 and the others are stored.
    f.form.WriteBack(f.variables);
    QCOMPARE(f.boxes.Texts(), (Strings{message, message}));
    QCOMPARE(f.variables.LastVariable(), 4);
    QCOMPARE(f.variables.StartValue(3).Re, 0.0);
    QCOMPARE(f.variables.StartValue(4).Re, 2.0);
  }

  void onlyOkCloses_data() {
    QTest::addColumn<QString>("attempt");
    QTest::newRow("Escape") << "escape";
    QTest::newRow("close()") << "close";
    QTest::newRow("reject()") << "reject";
    QTest::newRow("Enter in the grid") << "enter";
  }
  void onlyOkCloses() {
    QFETCH(QString, attempt);
    Fixture f;
    f.Fill();
    ShowAndActivate(f.form);
    if (attempt == "escape") QTest::keyClick(&f.form, Qt::Key_Escape);
    if (attempt == "close") QVERIFY(!f.form.close());
    if (attempt == "reject") f.form.reject();
    if (attempt == "enter") QTest::keyClick(f.form.ValueListEditor1, Qt::Key_Return);
    QVERIFY(f.form.isVisible());
    QCOMPARE(f.boxes.boxes.size(), std::size_t{0});
    f.form.Button3->click();
    QVERIFY(!f.form.isVisible());
  }

  void layout() {
    Fixture f;
    TFormVars& form = f.form;
    QCOMPARE(form.windowTitle(), QString("FormVars"));
    QCOMPARE(form.size(), QSize(470, 515));
    QVERIFY(!(form.windowFlags() & Qt::WindowCloseButtonHint));
    TValueListEditor* grid = form.ValueListEditor1;
    QCOMPARE(grid->geometry(), QRect(16, 16, 433, 345));
    QCOMPARE(grid->font().family(), QString("Courier New"));
    QCOMPARE(grid->horizontalHeaderItem(0)->text(), QString("Variablenname"));
    QCOMPARE(grid->horizontalHeaderItem(1)->text(), QString("Variablenwert bei Programmstart"));
    QCOMPARE(grid->columnWidth(0), 150);
    QCOMPARE(form.Label1->text(), QString("Name einer neuen Variable:"));
    QCOMPARE(form.Edit1->width(), 241);
    QCOMPARE(form.Button1->text(), QString::fromUtf8("Neue Variable hinzuf\xC3\xBCgen"));
    QCOMPARE(form.Button2->text(), QString::fromUtf8("Variable l\xC3\xB6schen"));
    QCOMPARE(form.Button3->size(), QSize(177, 57));
    f.Fill();
    ShowAndActivate(form);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(grid));
    QCOMPARE(grid->columnWidth(0), 150);
    QCOMPARE(grid->columnWidth(0) + grid->columnWidth(1), grid->viewport()->width());
    QCOMPARE(grid->horizontalScrollBar()->maximum(), 0);
    QCOMPARE(grid->CurrentGridRow(), 3);  // the last variable
  }

  // The exchange as the main window runs it, a refused "OK" included.
  void exchangeRunsModally() {
    Fixture f;
    f.AddVariable("x", {2, 0});
    bool open_after_bad_value = false;
    QTimer::singleShot(0, &f.form, [&] {
      f.form.ValueListEditor1->SetValue(4, "x+3x");
      f.form.Button3->click();
      open_after_bad_value = f.form.isVisible();
      f.form.ValueListEditor1->SetValue(4, "x*3");
      f.form.Button3->click();
    });
    ExchangeVariables(f.form, f.variables, f.context);
    QVERIFY(open_after_bad_value);
    QCOMPARE(f.boxes.boxes.size(), std::size_t{1});
    QCOMPARE(f.variables.StartValue(3).Re, 6.0);
    QCOMPARE(f.variables.LastVariable(), 3);
  }
};

QTEST_MAIN(TestFormVars)
#include "test_unitformvars.moc"
