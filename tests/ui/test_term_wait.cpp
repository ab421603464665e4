// Terms the window evaluates outside a run (a start value in the variable dialog, a watched
// term, a slider's range) stop on Escape or "Abbrechen" (F2) as a long program line does,
// and the window handles its events meanwhile.
#include <QApplication>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include "logic/program/run_debug.h"
#include "tests/ui/ui_rig.h"
#include "ui/Unitformablauf.h"
#include "ui/Unitformvars.h"
#include "ui/controls_panel.h"

using namespace ombrix;
using namespace ombrix::testing;

namespace {

// Two powers of two billion products each: seconds of work, within the budget of one term.
const char* const kLongTerm = "(1+1E-9)^2000000000+(1+1E-9)^2000000000";

// Presses `key` in the widget that has the focus (else in `window`) once the window's
// events are handled again, inside the long term.
void PressSoon(Qt::Key key, QWidget& window) {
  QTimer::singleShot(100, [key, &window] {
    QWidget* target = QApplication::focusWidget();
    QTest::keyClick(target != nullptr ? target : &window, key);
  });
}

}  // namespace

class TestTermWait : public QObject {
  Q_OBJECT

 private slots:
  void startValue_data();
  void startValue();
  void watchedTerm();
  void sliderRange();
};

void TestTermWait::startValue_data() {
  QTest::addColumn<int>("key");
  QTest::newRow("Escape") << int(Qt::Key_Escape);
  QTest::newRow("F2") << int(Qt::Key_F2);
}

// "OK" with a long start value: stopped, the dialog stays open on it and nothing is said.
void TestTermWait::startValue() {
  QFETCH(int, key);
  Rig rig;
  rig.AddVariable("x", 3);
  bool stayed_open = false;
  ModalDriver driver;
  driver.actions.push_back([&](QDialog& dialog) {
    auto& vars = static_cast<TFormVars&>(dialog);
    vars.ValueListEditor1->SetValue(4, kLongTerm);
    PressSoon(Qt::Key(key), dialog);
    vars.Button3Click();
    stayed_open = vars.isVisible() && vars.result() != QDialog::Accepted;
    vars.ValueListEditor1->SetValue(4, "7");
  });
  rig.form.BearbeitenVariablenExecute();
  QVERIFY(stayed_open);
  QVERIFY(rig.boxes.boxes.empty());
  QCOMPARE(rig.session.project.variables.StartValue(3).Re, 7.0);
}

void TestTermWait::watchedTerm() {
  Rig rig;
  rig.form.show();
  rig.form.StartAblaufAnzeigenExecute();
  PressSoon(Qt::Key_Escape, rig.form);
  rig.form.Debugger().AddWatch(kLongTerm);
  QCOMPARE(rig.form.Debugger().Watches().at(0).text, std::string(kEvaluationAbandoned));
  // The next evaluation runs again.
  rig.form.Debugger().SetWatchTerm(0, "1+1");
  QCOMPARE(rig.form.Debugger().Watches().at(0).text, std::string("2"));
}

void TestTermWait::sliderRange() {
  Rig rig;
  rig.AddVariable("n", 3);
  PressSoon(Qt::Key_Escape, rig.form);
  const std::optional<std::string> refused =
      rig.form.FormRegler->AddSlider("n", {"0", kLongTerm, "1"});
  QCOMPARE(refused, std::optional<std::string>(kEvaluationAbandoned));
  QVERIFY(rig.session.controls.Empty());
}

QTEST_MAIN(TestTermWait)
#include "test_term_wait.moc"
