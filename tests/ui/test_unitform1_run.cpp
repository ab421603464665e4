// Running the programs from the window: starting and stopping, idle stepping, the
// locked actions, the check boxes, the mouse position and the mouse-click program.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QtTest>

#include "platform/qt_text.h"
#include "tests/ui/ui_rig.h"
#include "ui/picture_box.h"

using namespace ombrix;
using namespace ombrix::testing;

namespace {

const char* const kEnded = "Das Hauptprogramm wurde erfolgreich beendet.";
const char* const kMouseCaption =
    "Programm editieren: Ereignisbehandlung f\xFCr 'Mausknopf gedr\374ckt'";
const ProgramText kEndless = {"Solange(1)", "EndeSolange"};
// About 2^31 products: seconds even in a Release build, minutes under the sanitizers.
const char* const kLongLine = "x:=1,0000001^2147483647";

// Runs idle calls until the main program has stopped (or a generous bound was hit).
void RunToEnd(Rig& rig) {
  for (int i = 0; i < 100000 && rig.session.flags.MainRunning; ++i) rig.form.IdleStep();
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace

class TestRunControl : public QObject {
  Q_OBJECT

 private slots:
  void emptyProgramEndsAtOnce();
  void startTwiceResetsVariables();
  void runTimeError_data();
  void runTimeError();
  void faultStopsBothOnce_data();
  void faultStopsBothOnce();
  void lockedActions_data();
  void lockedActions();
  void stoppingActions_data();
  void stoppingActions();
  void checkBox1_data();
  void checkBox1();
  void checkBox2SwitchesHandlerOnly();
  void shortcutsF1F2();
  void idleStepsReturnToEventLoop();
  void pictureRepaintsWhileRunning();
  void pictureShownWhenABoxOpens_data();
  void pictureShownWhenABoxOpens();
  void abortKeepsLineForEditor();
  void mousePositionDisplay_data();
  void mousePositionDisplay();
  void mausPosIsUnrounded();
  void mousePressDragRelease_data();
  void mousePressDragRelease();
  void mouseHandlerErrorStopsBoth();
  void endlessMouseHandlerIsBounded();
  void faultInMouseHandlerStopsBothOnce();
  void mouseHandlerWhileMainRuns();
  void f2StopsALongLine();
  void nothingElseRunsInsideALongLine();
  void longClickRunKeepsTheWindowAlive_data();
  void longClickRunKeepsTheWindowAlive();
  void anExampleChosenInsideALongLineWaits();
};

void TestRunControl::emptyProgramEndsAtOnce() {
  Rig rig;
  rig.form.StartStarten->trigger();
  QCOMPARE(rig.boxes.boxes.size(), std::size_t{1});
  QCOMPARE(rig.boxes.boxes[0].kind, MessageKind::Information);
  QCOMPARE(rig.boxes.boxes[0].text, std::string(kEnded));
  QVERIFY(!rig.form.CheckBox1->isChecked());
  QVERIFY(rig.form.CheckBox2->isChecked());
  QVERIFY(!rig.session.flags.MainRunning);
  QVERIFY(rig.session.flags.MouseHandlerEnabled);
  for (QAction* a : rig.form.LockedActions()) QVERIFY(a->isEnabled());
  QVERIFY(!rig.form.IdleActive());
}

void TestRunControl::startTwiceResetsVariables() {
  Rig rig;
  rig.AddVariable("x", 5);
  rig.Main() = {"x:=x+1", "X:=x*2"};
  for (int run = 0; run < 2; ++run) {
    rig.form.StartRun();
    RunToEnd(rig);
    QCOMPARE(rig.Current("x"), 12.0);
  }
  QCOMPARE(rig.boxes.Texts(), (std::vector<std::string>{kEnded, kEnded}));
}

void TestRunControl::runTimeError_data() {
  QTest::addColumn<QStringList>("program");
  QTest::addColumn<int>("failing_line");
  QTest::addColumn<QString>("selected");
  QTest::addColumn<int>("selection_start");
  QTest::newRow("line 1") << QStringList{"Hallo", "x:=1"} << 1 << "Hallo" << 0;
  QTest::newRow("after a skipped block") << QStringList{"x:=1", "Hallo(2)"} << 2 << "Hallo(2)" << 5;
  QTest::newRow("same text earlier is selected")
      << QStringList{"Wenn(0)", "Hallo", "EndeWenn", "Hallo"} << 4 << "Hallo" << 10;
}

void TestRunControl::runTimeError() {
  QFETCH(QStringList, program);
  QFETCH(int, failing_line);
  QFETCH(QString, selected);
  QFETCH(int, selection_start);
  Rig rig;
  rig.AddVariable("x", 0);
  for (const QString& l : program) rig.Main().push_back(FromQt(l));
  ModalDriver driver;
  rig.form.StartRun();
  RunToEnd(rig);
  QCOMPARE(rig.boxes.boxes.size(), std::size_t{1});
  QCOMPARE(rig.boxes.boxes[0].kind, MessageKind::Error);
  QVERIFY(Contains(rig.boxes.boxes[0].text, "Zeile " + std::to_string(failing_line) + ": '"));
  QVERIFY(Contains(rig.boxes.boxes[0].text, "in: 'Hauptprogramm'"));
  QVERIFY(!rig.form.CheckBox1->isChecked());
  QVERIFY(!rig.form.CheckBox2->isChecked());
  QVERIFY(!rig.session.flags.MouseHandlerEnabled);
  QCOMPARE(driver.visits.size(), std::size_t{1});
  QCOMPARE(driver.visits[0].title, std::string("Programm editieren: Hauptprogramm"));
  QCOMPARE(ToQt(driver.visits[0].selected), selected);
  QCOMPARE(driver.visits[0].selection_start, selection_start);
  // Closing the editor does not restart the program.
  QVERIFY(!rig.session.flags.MainRunning);
  QVERIFY(!rig.form.IdleActive());
  QTest::qWait(20);
  QCOMPARE(rig.boxes.boxes.size(), std::size_t{1});
  for (QAction* a : rig.form.LockedActions()) QVERIFY(a->isEnabled());
}

void TestRunControl::faultStopsBothOnce_data() {
  QTest::addColumn<QString>("line");
  QTest::newRow("overflow in an assignment") << "x:=1e308*10";
  QTest::newRow("overflowing number text") << "ZeichnePunkt(1E400)";
}

void TestRunControl::faultStopsBothOnce() {
  QFETCH(QString, line);
  Rig rig;
  rig.AddVariable("x", 0);
  rig.Main() = {"x:=1", FromQt(line), "x:=2"};
  ModalDriver driver;
  rig.form.StartRun();
  for (int i = 0; i < 5; ++i) rig.form.IdleStep();
  QTest::qWait(20);
  int faults = 0;
  for (const RecordedBox& b : rig.boxes.boxes) faults += b.kind == MessageKind::Fault;
  QCOMPARE(faults, 1);
  QVERIFY(Contains(rig.boxes.boxes.back().text, "Gleitkomma"));
  QVERIFY(!rig.form.CheckBox1->isChecked());
  QVERIFY(!rig.form.CheckBox2->isChecked());
  QCOMPARE(driver.visits.size(), std::size_t{1});
  QCOMPARE(ToQt(driver.visits[0].selected), line);
  QCOMPARE(rig.Current("x"), 1.0);
}

void TestRunControl::lockedActions_data() {
  QTest::addColumn<QString>("action");
  QTest::addColumn<bool>("enabled_while_running");
  for (const char* name :
       {"ProjektNeu", "ProjektOeffnen", "ProjektSpeichern", "ProjektSpeichernUnter",
        "ProjektBildOeffnen", "BearbeitenFunktionen", "BearbeitenVariablen",
        "BearbeitenHauptprogramm", "BearbeitenMausknopfGedrueckt", "StartStarten"}) {
    QTest::newRow(name) << QString::fromLatin1(name) << false;
  }
  for (const char* name : {"ProjektBeenden", "StartAbbrechen", "ProjektBildSpeichernUnter"}) {
    QTest::newRow(name) << QString::fromLatin1(name) << true;
  }
}

void TestRunControl::lockedActions() {
  QFETCH(QString, action);
  QFETCH(bool, enabled_while_running);
  Rig rig;
  rig.Main() = kEndless;
  auto* a = rig.form.findChild<QAction*>(action);
  QVERIFY(a != nullptr);
  rig.form.StartRun();
  QVERIFY(rig.session.flags.MainRunning);
  QCOMPARE(a->isEnabled(), enabled_while_running);
  const auto locked_actions = rig.form.LockedActions();
  const bool locked =
      std::find(locked_actions.begin(), locked_actions.end(), a) != locked_actions.end();
  QCOMPARE(locked, !enabled_while_running);
  rig.form.StopRun();
  QVERIFY(a->isEnabled());
}

void TestRunControl::stoppingActions_data() {
  QTest::addColumn<QString>("action");
  QTest::addColumn<bool>("mouse_handler_stays_on");
  QTest::newRow("Abbrechen") << "StartAbbrechen" << true;
  QTest::newRow("Bild speichern unter") << "ProjektBildSpeichernUnter" << false;
  QTest::newRow("Beenden") << "ProjektBeenden" << false;
}

void TestRunControl::stoppingActions() {
  QFETCH(QString, action);
  QFETCH(bool, mouse_handler_stays_on);
  Rig rig;
  rig.form.show();
  rig.Main() = kEndless;
  rig.form.StartRun();
  rig.form.findChild<QAction*>(action)->trigger();  // the picture dialog is cancelled
  QVERIFY(!rig.session.flags.MainRunning);
  QVERIFY(!rig.form.CheckBox1->isChecked());
  QCOMPARE(rig.form.CheckBox2->isChecked(), mouse_handler_stays_on);
  QCOMPARE(rig.session.flags.MouseHandlerEnabled, mouse_handler_stays_on);
  QVERIFY(!rig.form.IdleActive());
  for (QAction* a : rig.form.LockedActions()) QVERIFY(a->isEnabled());
  QVERIFY(rig.boxes.boxes.empty());  // stopping is not an end: no success box
}

void TestRunControl::checkBox1_data() {
  QTest::addColumn<bool>("via_click");
  QTest::newRow("mouse click") << true;
  QTest::newRow("state change by the program") << false;
}

void TestRunControl::checkBox1() {
  QFETCH(bool, via_click);
  Rig rig;
  rig.form.show();
  rig.AddVariable("x", 0);
  rig.Main() = {"x:=x+1", "Solange(1)", "EndeSolange"};
  auto toggle = [&] {
    if (via_click) {
      QTest::mouseClick(rig.form.CheckBox1, Qt::LeftButton, {}, QPoint(6, 8));
    } else {
      rig.form.CheckBox1->setChecked(!rig.form.CheckBox1->isChecked());
    }
  };
  toggle();
  QVERIFY(rig.session.flags.MainRunning);
  QVERIFY(rig.form.CheckBox2->isChecked());
  QVERIFY(!rig.form.StartStarten->isEnabled());
  // Started once: the box's own change did not start again (every start leaves one loop
  // record behind).
  QCOMPARE(rig.session.interp.BlockStack[0].size(), std::size_t{1});
  QCOMPARE(rig.Current("x"), 1.0);
  toggle();
  QVERIFY(!rig.session.flags.MainRunning);
  QVERIFY(rig.form.CheckBox2->isChecked());
  QVERIFY(rig.form.StartStarten->isEnabled());
  QVERIFY(rig.boxes.boxes.empty());
}

void TestRunControl::checkBox2SwitchesHandlerOnly() {
  Rig rig;
  rig.form.CheckBox2->setChecked(true);
  QVERIFY(rig.session.flags.MouseHandlerEnabled);
  QVERIFY(!rig.session.flags.MainRunning);
  rig.form.CheckBox2->setChecked(false);
  QVERIFY(!rig.session.flags.MouseHandlerEnabled);
  QVERIFY(rig.boxes.boxes.empty());
}

void TestRunControl::shortcutsF1F2() {
  Rig rig;
  rig.Main() = kEndless;
  rig.form.show();
  rig.form.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&rig.form));
  QTest::keyClick(&rig.form, Qt::Key_F1);
  QVERIFY(rig.session.flags.MainRunning);
  QVERIFY(rig.form.IdleActive());
  QTest::keyClick(&rig.form, Qt::Key_F2);
  QVERIFY(!rig.session.flags.MainRunning);
  QVERIFY(!rig.form.IdleActive());
  // F1 again starts again; F1 while running does nothing (the action is locked).
  QTest::keyClick(rig.form.Image1, Qt::Key_F1);
  QVERIFY(rig.session.flags.MainRunning);
  QTest::keyClick(&rig.form, Qt::Key_F1);
  QVERIFY(rig.session.flags.MainRunning);
  QTest::keyClick(&rig.form, Qt::Key_F2);
  QVERIFY(!rig.session.flags.MainRunning);
  QVERIFY(rig.boxes.boxes.empty());
}

void TestRunControl::idleStepsReturnToEventLoop() {
  Rig rig;
  rig.Main() = kEndless;
  rig.form.SetIdleLineLimit(1);
  rig.form.StartRun();
  QCOMPARE(rig.form.LinesRun(), std::int64_t{1});  // the first line runs at once
  rig.form.IdleStep();
  QCOMPARE(rig.form.LinesRun(), std::int64_t{2});
  // With the time slice only, other events still come through while it runs.
  rig.form.SetIdleLineLimit(0);
  rig.form.SetIdleSlice(std::chrono::milliseconds(5));
  int turns = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++turns; });
  ticker.start(1);
  QTRY_VERIFY_WITH_TIMEOUT(turns >= 5, 5000);
  QVERIFY(rig.session.flags.MainRunning);
  QVERIFY(rig.form.LinesRun() > 2);
  rig.form.StopRun();
}

void TestRunControl::pictureRepaintsWhileRunning() {
  Rig rig;
  rig.form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&rig.form));
  rig.AddVariable("x", 0);
  rig.Main() = {"Solange(1)", "x:=x+0,01", "ZeichnePunkt(x-5)", "EndeSolange"};
  int paints = 0;
  struct Counter : QObject {
    int* n;
    explicit Counter(int* c) : n(c) {}
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint) ++*n;
      return false;
    }
  } counter(&paints);
  rig.form.Image1->installEventFilter(&counter);
  rig.form.StartRun();
  QTRY_VERIFY_WITH_TIMEOUT(paints >= 3, 5000);
  QVERIFY(rig.session.flags.MainRunning);
  rig.form.StopRun();
  rig.form.Image1->removeEventFilter(&counter);
}

void TestRunControl::pictureShownWhenABoxOpens_data() {
  QTest::addColumn<QStringList>("main");
  QTest::addColumn<QStringList>("mouse");
  QTest::addColumn<int>("boxes");
  QTest::addColumn<int>("editors");
  const QStringList circles{"ZeichneKreis(0;1)", "ZeichneKreis(0;2)", "ZeichneKreis(0;3)",
                            "ZeichneKreis(0;4)"};
  QTest::newRow("run-time error in line 5")
      << (circles + QStringList{"Hallo"}) << QStringList{} << 1 << 1;
  QTest::newRow("fault in line 5")
      << (circles + QStringList{"x:=1e308*10"}) << QStringList{} << 1 << 1;
  QTest::newRow("successful end") << circles << QStringList{} << 1 << 0;
  QTest::newRow("error in the mouse program")
      << QStringList{} << (circles + QStringList{"Hallo"}) << 1 << 1;
}

void TestRunControl::pictureShownWhenABoxOpens() {
  QFETCH(QStringList, main);
  QFETCH(QStringList, mouse);
  QFETCH(int, boxes);
  QFETCH(int, editors);
  Rig rig;
  rig.AddVariable("x", 0);
  for (const QString& l : main) rig.Main().push_back(FromQt(l));
  for (const QString& l : mouse) rig.Mouse().push_back(FromQt(l));
  rig.form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&rig.form));
  // What Image1 painted last, against what the programs have drawn when a box or the
  // editor opens.
  struct LastPainted : QObject {
    const QImageCanvas* canvas = nullptr;
    QImage image;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint) image = canvas->Image().copy();
      return false;
    }
  } painted;
  painted.canvas = &rig.session.canvas;
  rig.form.Image1->installEventFilter(&painted);
  QTest::qWait(20);
  int stale = 0;
  const auto check = [&] {
    if (painted.image != rig.session.canvas.Image()) ++stale;
  };
  rig.boxes.on_show = check;
  ModalDriver driver;
  driver.actions.push_back([&](QDialog&) { check(); });
  if (mouse.isEmpty()) {
    rig.form.StartRun();
    RunToEnd(rig);
  } else {
    rig.form.CheckBox2->setChecked(true);
    rig.form.Image1MouseDown(Qt::LeftButton, 200, 200);
  }
  QCOMPARE(int(rig.boxes.boxes.size()), boxes);
  QCOMPARE(int(driver.visits.size()), editors);
  QCOMPARE(stale, 0);
  rig.form.Image1->removeEventFilter(&painted);
}

void TestRunControl::abortKeepsLineForEditor() {
  Rig rig;
  rig.Main() = {"Solange(1)", "Hallo(1)", "EndeSolange"};
  rig.Main()[1] = "ZeichnePunkt(1)";
  rig.form.SetIdleLineLimit(1);
  rig.form.StartRun();  // line 1
  rig.form.IdleStep();  // line 2
  rig.form.StartAbbrechen->trigger();
  QCOMPARE(rig.session.interp.CurrentLine[0], 2);
  ModalDriver driver;
  rig.form.BearbeitenHauptprogramm->trigger();
  QCOMPARE(driver.visits.size(), std::size_t{1});
  QCOMPARE(driver.visits[0].selected, std::string("EndeSolange"));
}

void TestRunControl::mousePositionDisplay_data() {
  QTest::addColumn<double>("re");
  QTest::addColumn<double>("im");
  QTest::addColumn<QString>("shown");
  QTest::newRow("rounds half up") << 1.234 << -1.236 << "1,23-1,23*i";
  QTest::newRow("negative truncates toward zero") << -1.234 << 0.0 << "-1,22";
  QTest::newRow("exact hundredths") << 2.5 << 0.25 << "2,5+0,25*i";
  QTest::newRow("beyond the 32-bit range")
      << 30000000.5 << -40000000.0 << "30000000,5-39999999,99*i";
  QTest::newRow("beyond the 64-bit range")
      << 1e20 << 0.0 << ToQt(ComplexToText(MakeComplex(1e20, 0)));
}

void TestRunControl::mousePositionDisplay() {
  QFETCH(double, re);
  QFETCH(double, im);
  QFETCH(QString, shown);
  Rig rig;
  // Pixel (0, 400) is (ReMin, ImMin).
  rig.session.drawing.SetScale(re, re + 10, im, im + 10);
  rig.form.Image1MouseMove(0, 400);
  QCOMPARE(rig.form.Label5->text(), shown);
  QCOMPARE(rig.session.drawing.MousePosition().Re, re);
}

void TestRunControl::mausPosIsUnrounded() {
  Rig rig;
  rig.AddVariable("m", 0);
  rig.Mouse() = {"m:=Re(MausPos())"};
  rig.session.drawing.SetScale(1.234, 11.234, -1.236, 8.764);
  rig.form.CheckBox2->setChecked(true);
  ModalDriver driver;
  rig.form.Image1MouseDown(Qt::LeftButton, 0, 400);
  QVERIFY(driver.visits.empty());
  QCOMPARE(rig.Current("m"), 1.234);
  QCOMPARE(rig.form.Label5->text(), QStringLiteral("1,23-1,23*i"));
}

void TestRunControl::mousePressDragRelease_data() {
  QTest::addColumn<bool>("handler_on");
  QTest::addColumn<Qt::MouseButton>("button");
  QTest::addColumn<int>("runs");
  QTest::newRow("handler on, left button") << true << Qt::LeftButton << 3;
  QTest::newRow("handler on, right button") << true << Qt::RightButton << 3;
  QTest::newRow("handler off: display only") << false << Qt::LeftButton << 0;
}

void TestRunControl::mousePressDragRelease() {
  QFETCH(bool, handler_on);
  QFETCH(Qt::MouseButton, button);
  QFETCH(int, runs);
  Rig rig;
  rig.form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&rig.form));
  rig.AddVariable("n", 0);
  rig.Mouse() = {"n:=n+1"};
  rig.form.CheckBox2->setChecked(handler_on);
  PictureBox* image = rig.form.Image1;
  QTest::mouseMove(image,
                   QPoint(99, 300));  // a move to where the last row left the mouse is dropped
  QTest::mouseMove(image, QPoint(100, 300));
  QCOMPARE(rig.Current("n"), 0.0);
  QCOMPARE(rig.form.Label5->text(), QStringLiteral("-2,49-2,49*i"));  // +0,5, then toward zero
  QTest::mousePress(image, button, {}, QPoint(200, 200));             // once on the press
  QCOMPARE(rig.form.Label5->text(), QStringLiteral("0"));
  QTest::mouseMove(image, QPoint(210, 200));  // and once per move with the button held
  QTest::mouseMove(image, QPoint(220, 200));
  QTest::mouseRelease(image, button, {}, QPoint(220, 200));
  QTest::mouseMove(image, QPoint(240, 200));  // released: display only
  QCOMPARE(rig.Current("n"), double(runs));
  QCOMPARE(rig.form.Label5->text(), QStringLiteral("1"));
  QVERIFY(!rig.session.flags.MouseButtonDown);
  QVERIFY(rig.boxes.boxes.empty());
}

void TestRunControl::mouseHandlerErrorStopsBoth() {
  Rig rig;
  rig.Main() = kEndless;
  rig.Mouse() = {"ZeichnePunkt(0)", "Hallo"};
  rig.form.StartRun();
  QVERIFY(rig.session.flags.MainRunning);
  ModalDriver driver;
  rig.form.Image1MouseDown(Qt::LeftButton, 200, 200);
  QCOMPARE(rig.boxes.boxes.size(), std::size_t{1});
  QVERIFY(Contains(rig.boxes.boxes[0].text, "Zeile 2: 'Hallo'"));
  QVERIFY(!rig.session.flags.MainRunning);
  QVERIFY(!rig.form.CheckBox1->isChecked());
  QVERIFY(!rig.form.CheckBox2->isChecked());
  QVERIFY(!rig.session.flags.MouseButtonDown);
  QCOMPARE(driver.visits.size(), std::size_t{1});
  QCOMPARE(driver.visits[0].title, std::string(kMouseCaption));
  QCOMPARE(driver.visits[0].selected, std::string("Hallo"));
  // Further moves run nothing: the handler is off.
  rig.form.Image1MouseMove(10, 10);
  QCOMPARE(rig.boxes.boxes.size(), std::size_t{1});
}

void TestRunControl::endlessMouseHandlerIsBounded() {
  Rig rig;
  rig.form.SetMouseHandlerStepLimit(1000);
  rig.Mouse() = kEndless;
  rig.form.CheckBox2->setChecked(true);
  ModalDriver driver;
  rig.form.Image1MouseDown(Qt::LeftButton, 5, 5);
  QCOMPARE(rig.boxes.boxes.size(), std::size_t{1});
  QCOMPARE(rig.boxes.boxes[0].kind, MessageKind::Error);
  QVERIFY(Contains(rig.boxes.boxes[0].text, "1000 Schritten"));
  QVERIFY(!rig.session.flags.MouseHandlerEnabled);
  QVERIFY(!rig.form.CheckBox2->isChecked());
  QCOMPARE(driver.visits.size(), std::size_t{1});
  QCOMPARE(driver.visits[0].title, std::string(kMouseCaption));
}

void TestRunControl::faultInMouseHandlerStopsBothOnce() {
  Rig rig;
  rig.AddVariable("x", 0);
  rig.Main() = kEndless;
  rig.Mouse() = {"x:=1e308*10", "x:=2"};
  rig.form.StartRun();
  ModalDriver driver;
  rig.form.Image1MouseDown(Qt::LeftButton, 3, 3);
  rig.form.Image1MouseMove(4, 4);  // the button is still held, but the handler is off now
  for (int i = 0; i < 3; ++i) rig.form.IdleStep();
  QCOMPARE(rig.boxes.boxes.size(), std::size_t{1});
  QCOMPARE(rig.boxes.boxes[0].kind, MessageKind::Fault);
  QVERIFY(!rig.session.flags.MainRunning);
  QVERIFY(!rig.form.CheckBox1->isChecked());
  QVERIFY(!rig.form.CheckBox2->isChecked());
  QCOMPARE(driver.visits.size(), std::size_t{1});
  QCOMPARE(driver.visits[0].title, std::string(kMouseCaption));
  QCOMPARE(driver.visits[0].selected, std::string("x:=1e308*10"));
  QCOMPARE(rig.Current("x"), 0.0);
}

void TestRunControl::mouseHandlerWhileMainRuns() {
  Rig rig;
  rig.AddVariable("n", 0);
  rig.AddVariable("k", 0);
  rig.Main() = {"Solange(1)", "k:=k+1", "EndeSolange"};
  rig.Mouse() = {"n:=n+k"};
  rig.form.SetIdleLineLimit(1);
  rig.form.StartRun();
  for (int i = 0; i < 3; ++i) rig.form.IdleStep();
  rig.form.Image1MouseDown(Qt::LeftButton, 1, 1);
  rig.form.Image1MouseUp(Qt::LeftButton, 1, 1);
  QVERIFY(rig.session.flags.MainRunning);  // the main program goes on
  QVERIFY(rig.Current("n") >= 1.0);        // and both share the variables
  rig.form.StopRun();
  QVERIFY(rig.session.flags.MouseHandlerEnabled);  // "Abbrechen" leaves the handler on
}

// F2 while one line takes long: the window handled its events under a busy cursor, and the
// line was abandoned (x keeps the value of the line before; had the stop waited for the
// line's end, x would hold the power).
void TestRunControl::f2StopsALongLine() {
  Rig rig;
  rig.AddVariable("x", 5);
  rig.Main() = {"x:=1", kLongLine, "x:=3"};
  rig.form.show();
  rig.form.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&rig.form));
  bool busy = false;
  bool inside = false;
  QTimer::singleShot(100, &rig.form, [&] {
    inside = rig.form.LinesRun() == 1;
    const QCursor* cursor = QApplication::overrideCursor();
    busy = cursor != nullptr && cursor->shape() == Qt::BusyCursor;
    QTest::keyClick(&rig.form, Qt::Key_F2);
  });
  QTest::keyClick(&rig.form, Qt::Key_F1);
  QTRY_VERIFY_WITH_TIMEOUT(!rig.session.flags.MainRunning, 600000);
  QVERIFY(inside);
  QVERIFY(busy);
  QCOMPARE(QApplication::overrideCursor(), nullptr);
  QCOMPARE(rig.Current("x"), 1.0);
  QCOMPARE(rig.form.LinesRun(), std::int64_t{1});
  QCOMPARE(rig.session.interp.CurrentLine[MainProgram], 1);
  QVERIFY(!rig.form.CheckBox1->isChecked());
  QVERIFY(rig.form.StartStarten->isEnabled());
  QVERIFY(rig.boxes.boxes.empty());
}

// Inside a long line neither another line nor the mouse-click program runs, and a project
// action stops the run and waits until the line has been left.
void TestRunControl::nothingElseRunsInsideALongLine() {
  Rig rig;
  rig.AddVariable("x", 5);
  rig.AddVariable("y", 0);
  rig.Main() = {kLongLine, "x:=3"};
  rig.Mouse() = {"y:=7"};
  rig.form.show();
  std::int64_t lines_inside = -1;
  std::size_t dialogs_inside = 1;
  QTimer::singleShot(100, &rig.form, [&] {
    rig.form.IdleStep();
    QTest::mousePress(rig.form.Image1, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(rig.form.Image1, Qt::LeftButton, {}, QPoint(10, 10));
    lines_inside = rig.form.LinesRun();
    rig.form.ProjektBildSpeichernUnter->trigger();  // its dialog is cancelled
    dialogs_inside = rig.files.asked.size();
  });
  rig.form.StartRun();
  QTRY_VERIFY_WITH_TIMEOUT(!rig.session.flags.MainRunning, 600000);
  QTRY_COMPARE(rig.files.asked.size(), std::size_t{1});
  QCOMPARE(lines_inside, std::int64_t{0});
  QCOMPARE(dialogs_inside, std::size_t{0});
  QCOMPARE(rig.Current("y"), 0.0);
  QCOMPARE(rig.Current("x"), 5.0);
  QVERIFY(!rig.session.flags.MouseHandlerEnabled);  // "Bild speichern unter" unchecks both
  QVERIFY(rig.boxes.boxes.empty());
}

void TestRunControl::longClickRunKeepsTheWindowAlive_data() {
  QTest::addColumn<QString>("end");  // how the long click run comes to its end
  QTest::newRow("Escape") << "escape";
  QTest::newRow("Abbrechen (F2)") << "f2";
  QTest::newRow("closing the window") << "close";
  QTest::newRow("by itself after long") << "itself";
  QTest::newRow("a failure after long") << "failure";
}

// A mouse-click program that runs long, inside the one mouse event, while the main program
// runs: the picture repaints under a busy cursor, no main-program line, no second click
// run and no action comes in between, and the stop ends the run without a box, keeping
// what it did; only "Abbrechen" also stops the main program.
void TestRunControl::longClickRunKeepsTheWindowAlive() {
  QFETCH(QString, end);
  Rig rig;
  rig.AddVariable("k", 0);
  rig.AddVariable("c", 0);
  rig.AddVariable("n", 0);
  const int s = rig.AddVariable("s", 0);
  rig.Main() = {"Solange(1)", "k:=k+1", "EndeSolange"};
  rig.Mouse() = {"c:=c+1",      "Solange(s=0)", "n:=n+1", "ZeichnePunkt(0)",
                 "EndeSolange", "Wenn(s=2)",    "Unsinn", "EndeWenn"};
  const bool fails = end == QLatin1String("failure");
  // The run must outlast the beats however fast the build: only its time bound is left.
  rig.form.SetMouseHandlerStepLimit(std::int64_t{1} << 40);
  ModalDriver driver;  // the editor on the failed line
  rig.form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&rig.form));
  const char system = SystemDecimalSeparator();
  const char other = system == ',' ? '.' : ',';
  SetDecimalSeparator(other);
  char separator_inside = 0;
  rig.form.StartRun();
  PaintCounter paints(rig.form.Image1);
  int ticks = 0;
  bool busy = false;
  double k_inside = -1;
  QTimer beat;
  connect(&beat, &QTimer::timeout, [&] {
    ++ticks;
    if (ticks == 2) k_inside = rig.Current("k");
    if (ticks == 3) QTest::mouseClick(rig.form.CheckBox1, Qt::LeftButton);  // would stop
    if (ticks == 4) QTest::mouseClick(rig.form.Image1, Qt::LeftButton);     // a second run
    if (ticks == 5) QTest::keyClick(&rig.form, Qt::Key_S, Qt::AltModifier | Qt::ShiftModifier);
    if (ticks == 6) {
      const QCursor* cursor = QApplication::overrideCursor();
      busy = cursor != nullptr && cursor->shape() == Qt::BusyCursor;
      if (rig.Current("k") != k_inside) k_inside = -2;
    }
    if (ticks == 7) {  // the settings change: the run's lines keep their separator
      QEvent change(QEvent::LocaleChange);
      QCoreApplication::sendEvent(QCoreApplication::instance(), &change);
      separator_inside = DecimalSeparator();
    }
    if (ticks != 8) return;
    if (end == QLatin1String("escape")) QTest::keyClick(&rig.form, Qt::Key_Escape);
    if (end == QLatin1String("f2")) QTest::keyClick(&rig.form, Qt::Key_F2);
    if (end == QLatin1String("close")) rig.form.close();
    if (end == QLatin1String("itself") || fails) {
      rig.session.project.variables.SetCurrentValue(s, ComplexFromReal(fails ? 2 : 1));
    }
  });
  beat.start(10);
  rig.form.Image1MouseDown(Qt::LeftButton, 10, 10);
  beat.stop();
  QVERIFY(ticks >= 8);
  QVERIFY(paints.paints >= 2);
  QVERIFY(busy);
  QVERIFY(k_inside >= 0);
  QCOMPARE(QApplication::overrideCursor(), nullptr);
  QCOMPARE(rig.Current("c"), 1.0);
  QVERIFY(rig.files.asked.empty());  // "Bild speichern unter" did not come through
  QVERIFY(rig.Current("n") > 0);
  // A failure is reported and reacted to as in a short run: both programs off, the editor.
  QCOMPARE(rig.boxes.boxes.size(), std::size_t{fails});
  QCOMPARE(driver.visits.size(), std::size_t{fails});
  QCOMPARE(rig.session.flags.MouseHandlerEnabled, !fails);
  QCOMPARE(rig.session.flags.MainRunning, end != QLatin1String("f2") && !fails);
  QCOMPARE(rig.form.CheckBox1->isChecked(), end != QLatin1String("f2") && !fails);
  // The release was held back with the rest: moving on does not start another run.
  QVERIFY(!rig.session.flags.MouseButtonDown);
  rig.form.Image1MouseMove(20, 20);
  QCOMPARE(rig.Current("c"), 1.0);
  QCoreApplication::processEvents();
  QCOMPARE(rig.form.isVisible(), end != QLatin1String("close"));
  QCOMPARE(separator_inside, other);
  QCOMPARE(DecimalSeparator(), system);
  rig.form.StopRun();
}

// An example chosen after "Abbrechen" while a long line is still being left replaces
// the programs only once the line has been left.
void TestRunControl::anExampleChosenInsideALongLineWaits() {
  Rig rig;
  QTemporaryDir examples;
  WriteProject(examples, QStringLiteral("beispiel.omp"), {"x:=9"}, {});
  rig.AddVariable("x", 5);
  rig.Main() = {kLongLine, "x:=3"};
  rig.form.FillExamplesMenu(examples.path());
  rig.form.show();
  ModalDriver driver;  // the example opens in the editor
  ProgramText main_inside;
  QTimer::singleShot(100, &rig.form, [&] {
    rig.form.StopRun();
    for (QAction* item : rig.form.Beispiele1->actions()) item->trigger();
    main_inside = rig.Main();
  });
  rig.form.StartRun();
  QTRY_COMPARE(rig.Main(), ProgramText{"x:=9"});
  QCOMPARE(main_inside, (ProgramText{kLongLine, "x:=3"}));
  QVERIFY(rig.boxes.boxes.empty());
}

QTEST_MAIN(TestRunControl)
#include "test_unitform1_run.moc"
