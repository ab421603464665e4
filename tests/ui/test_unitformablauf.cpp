// The run window "Ablauf" and the "Start" items that drive it: where it stands, what
// its tables show, how watches and breakpoints are made, the tempo, and how often a
// run refreshes it.
#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QSlider>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBlock>
#include <QToolBar>
#include <QtTest>
#include <cmath>
#include <map>

#include "tests/ui/ui_rig.h"
#include "ui/Unitformablauf.h"
#include "ui/picture_box.h"
#include "ui/program_view.h"

using namespace ombrix;
using namespace ombrix::testing;

namespace {

QString Cp(const char* text) { return ToQt(text); }

TFormAblauf& OpenRunWindow(Rig& rig) {
  rig.form.show();
  rig.form.StartAblaufAnzeigenExecute();
  return *rig.form.FormAblauf;
}

QStringList Headers(const QTableWidget& grid) {
  QStringList out;
  for (int c = 0; c < grid.columnCount(); ++c) out << grid.horizontalHeaderItem(c)->text();
  return out;
}

QStringList Row(const QTableWidget& grid, int row) {
  QStringList out;
  for (int c = 0; c < grid.columnCount(); ++c) {
    const QTableWidgetItem* item = grid.item(row, c);
    out << (item != nullptr ? item->text() : QString());
  }
  return out;
}

// Types `term` into the watch table's row `row` as a user does: select, type, Enter.
void TypeWatch(QTableWidget& grid, int row, const QString& term) {
  grid.setFocus();
  grid.setCurrentCell(row, 0);
  grid.editItem(grid.item(row, 0));
  auto* editor = grid.findChild<QLineEdit*>();
  QVERIFY(editor != nullptr);
  editor->selectAll();
  QTest::keyClick(editor, Qt::Key_Backspace);
  editor->insert(term);  // keyClicks knows no umlauts
  QTest::keyClick(editor, Qt::Key_Return);
  QCoreApplication::processEvents();  // the table takes the text over
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // the editor goes
}

QPoint MarginPoint(ProgramView& view, int line) {
  // The margin stands level with the text area.
  const QRect box = view.cursorRect(QTextCursor(view.document()->findBlockByNumber(line)));
  auto* margin = view.findChild<QWidget*>(QStringLiteral("Margin"));
  return QPoint(margin->width() / 2, box.center().y());
}

}  // namespace

class TestRunWindow : public QObject {
  Q_OBJECT

 private slots:
  void startItems_data();
  void startItems();
  void newItemsStayUsableWhileRunning();
  void besideTheMainWindow_data();
  void besideTheMainWindow();
  void positionRemembered();
  void readableUnderADarkPalette();
  void tables();
  void watchRows_data();
  void watchRows();
  void breakpoints_data();
  void breakpoints();
  void tempo_data();
  void tempo();
  void refreshAtMostThirtyTimesASecond();
  void singleSteps();
  void breakpointPausesTheRun();
  void settingsActOnlyWhileTheWindowIsOpen_data();
  void settingsActOnlyWhileTheWindowIsOpen();
  void pauseShownInTheStatusBar();
  void pausedCountsAsRunning();
  void stepBackRestoresThePicture();
  void stepBackRefused_data();
  void stepBackRefused();
  void watchStopsOnChange();
  void failedLineShown_data();
  void failedLineShown();
  void mouseClickWhilePaused();
  void showsTheEditedProgram();
  void nothingStartsUnderTheEditor_data();
  void nothingStartsUnderTheEditor();
};

void TestRunWindow::startItems_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("caption");
  QTest::addColumn<QKeySequence>("shortcut");
  auto row = [](const char* name, const char* caption, QKeySequence key) {
    QTest::newRow(name) << QString::fromLatin1(name) << Cp(caption) << key;
  };
  row("StartEinzelschritt", "Einzelschritt", QKeySequence(Qt::Key_F8));
  row("StartSchrittZurueck",
      "Schritt zur\xFC"
      "ck",
      QKeySequence(Qt::SHIFT | Qt::Key_F8));
  row("StartFortsetzen", "Fortsetzen", QKeySequence(Qt::Key_F5));
  row("StartHaltepunkt", "Haltepunkt an/aus", QKeySequence(Qt::Key_F9));
  row("StartAblaufAnzeigen", "Ablauf anzeigen", QKeySequence());
}

void TestRunWindow::startItems() {
  QFETCH(QString, name);
  QFETCH(QString, caption);
  QFETCH(QKeySequence, shortcut);
  Rig rig;
  auto* action = rig.form.findChild<QAction*>(name);
  QVERIFY(action != nullptr);
  QCOMPARE(action->text(), caption);
  QCOMPARE(action->shortcut(), shortcut);
  QCOMPARE(action->property("category").toString(), QStringLiteral("Start"));
  // In the "Start" menu, after "Starten" and "Abbrechen".
  const QList<QAction*> items = rig.form.menuBar()->actions()[2]->menu()->actions();
  QCOMPARE(items.indexOf(rig.form.StartStarten), 0);
  QCOMPARE(items.indexOf(rig.form.StartAbbrechen), 1);
  QVERIFY(items.indexOf(action) > 1);
  // Their keys work in the run window as well.
  if (!shortcut.isEmpty()) QVERIFY(OpenRunWindow(rig).actions().contains(action));
}

void TestRunWindow::newItemsStayUsableWhileRunning() {
  Rig rig;
  rig.Main() = {"Solange(1)", "EndeSolange"};
  rig.form.StartRun();
  for (QAction* locked : rig.form.LockedActions()) QVERIFY(!locked->isEnabled());
  for (QAction* a :
       {rig.form.StartEinzelschritt, rig.form.StartSchrittZurueck, rig.form.StartFortsetzen,
        rig.form.StartHaltepunkt, rig.form.StartAblaufAnzeigen}) {
    QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
  }
  rig.form.StopRun();
}

void TestRunWindow::besideTheMainWindow_data() {
  QTest::addColumn<QRect>("room");  // the screen without its panels
  QTest::addColumn<QPoint>("main_at");
  QTest::addColumn<bool>("picture_in_sight");
  const QRect laptop(0, 0, 1366, 728);
  QTest::newRow("room on the right") << laptop << QPoint(10, 10) << true;
  QTest::newRow("room on the left only") << laptop << QPoint(900, 10) << true;
  QTest::newRow("centred on 1366 x 768") << laptop << QPoint(457, 94) << true;
  // Too small for both side by side: the window fits the screen, over the main window.
  QTest::newRow("800 x 500") << QRect(0, 0, 800, 500) << QPoint(175, 0) << false;
  QTest::newRow("800 x 500, not at the origin")
      << QRect(100, 30, 800, 500) << QPoint(275, 30) << false;
}

// Beside the main window where the screen has room, on the screen whole, and every action
// of its tool bar in sight.
void TestRunWindow::besideTheMainWindow() {
  QFETCH(QRect, room);
  QFETCH(QPoint, main_at);
  QFETCH(bool, picture_in_sight);
  Rig rig;
  rig.form.move(main_at);
  TFormAblauf& window = OpenRunWindow(rig);
  QVERIFY(window.isVisible());
  QVERIFY(!window.isModal());
  QCOMPARE(QApplication::activeModalWidget(), nullptr);
  QCOMPARE(window.windowTitle(), QStringLiteral("Ablauf"));
  window.PlaceBeside(rig.form.frameGeometry(), room);
  QCoreApplication::processEvents();
  const QString at = QStringLiteral("run window %1,%2 %3x%4")
                         .arg(window.x())
                         .arg(window.y())
                         .arg(window.width())
                         .arg(window.height());
  QVERIFY2(room.contains(window.frameGeometry()), qPrintable(at));
  const QRect picture(rig.form.Image1->mapToGlobal(QPoint(0, 0)), rig.form.Image1->size());
  if (picture_in_sight) QVERIFY2(!window.frameGeometry().intersects(picture), qPrintable(at));
  for (QAction* action : window.ToolBar1->actions()) {
    if (action->isSeparator()) continue;
    QWidget* button = window.ToolBar1->widgetForAction(action);
    QVERIFY2(button != nullptr && button->isVisible(), qPrintable(action->text()));
    QVERIFY(window.ToolBar1->rect().contains(button->geometry()));
    QVERIFY(button->font().pointSizeF() >= 7);
  }
}

void TestRunWindow::positionRemembered() {
  Rig rig;
  TFormAblauf& window = OpenRunWindow(rig);
  window.move(window.pos() + QPoint(13, 21));
  const QPoint left_at = window.pos();
  QVERIFY(rig.form.Debugger().HistoryEnabled());
  window.close();
  QVERIFY(!window.isVisible());
  QVERIFY(!rig.form.Debugger().HistoryEnabled());  // a closed window costs the run nothing
  rig.form.StartEinzelschrittExecute();            // opens it again
  QVERIFY(window.isVisible());
  QCOMPARE(window.pos(), left_at);
}

void TestRunWindow::tables() {
  Rig rig;
  rig.AddVariable("z", 2.5);
  rig.Main() = {"z:=1"};
  TFormAblauf& window = OpenRunWindow(rig);
  QCOMPARE(Headers(*window.VariablesGrid), (QStringList{"Name", "Startwert", "Wert"}));
  QCOMPARE(Headers(*window.WatchGrid),
           (QStringList{"Term", "Wert", Cp("Anhalten bei \xC4nderung")}));
  QCOMPARE(window.VariablesGrid->rowCount(), 4);
  QCOMPARE(Row(*window.VariablesGrid, 0), (QStringList{"i", "i", "i"}));
  QCOMPARE(Row(*window.VariablesGrid, 3), (QStringList{"z", "2,5", "2,5"}));
  // Values are only shown there; nobody types into them.
  QCOMPARE(window.VariablesGrid->editTriggers(), QAbstractItemView::NoEditTriggers);
  // The two programs, as tabs.
  QCOMPARE(window.PageControl1->count(), 2);
  QCOMPARE(window.PageControl1->tabText(0), QStringLiteral("Hauptprogramm"));
  QCOMPARE(window.PageControl1->tabText(1),
           Cp("Ereignisbehandlung f\xFCr 'Mausknopf gedr\374ckt'"));
  QVERIFY(window.MainView->isReadOnly());
  QCOMPARE(window.MainView->toPlainText(), QStringLiteral("z:=1"));
  // One empty row to type a new term into.
  QCOMPARE(window.WatchGrid->rowCount(), 1);
}

void TestRunWindow::watchRows_data() {
  QTest::addColumn<QStringList>("typed");  // into the last row, one after the other
  QTest::addColumn<QStringList>("terms");
  QTest::newRow("one term") << QStringList{"z^2"} << QStringList{"z^2"};
  QTest::newRow("two terms") << QStringList{"z", "Sin(x)"} << QStringList{"z", "Sin(x)"};
  QTest::newRow("blanks only add nothing") << QStringList{"   "} << QStringList{};
  QTest::newRow("umlaut kept") << QStringList{Cp("\xE4+1")} << QStringList{Cp("\xE4+1")};
}

void TestRunWindow::watchRows() {
  QFETCH(QStringList, typed);
  QFETCH(QStringList, terms);
  Rig rig;
  TFormAblauf& window = OpenRunWindow(rig);
  for (const QString& term : typed)
    TypeWatch(*window.WatchGrid, window.WatchGrid->rowCount() - 1, term);
  QStringList watched;
  for (const Watch& w : rig.form.Debugger().Watches()) watched << ToQt(w.term);
  QCOMPARE(watched, terms);
  QCOMPARE(window.WatchGrid->rowCount(), static_cast<int>(terms.size()) + 1);
  if (terms.isEmpty()) return;
  // "Anhalten bei Änderung" is a check box of its row; emptying the term removes the row.
  QTableWidgetItem* stop = window.WatchGrid->item(0, 2);
  QVERIFY(stop->flags().testFlag(Qt::ItemIsUserCheckable));
  window.WatchGrid->setCurrentCell(0, 2);
  QTest::keyClick(window.WatchGrid, Qt::Key_Space);  // from the keyboard
  QVERIFY(rig.form.Debugger().Watches()[0].stop_on_change);
  QCOMPARE(stop->checkState(), Qt::Checked);
  TypeWatch(*window.WatchGrid, 0, QString());
  QCOMPARE(static_cast<int>(rig.form.Debugger().Watches().size()),
           static_cast<int>(terms.size()) - 1);
}

void TestRunWindow::breakpoints_data() {
  QTest::addColumn<QString>("how");
  QTest::addColumn<int>("line");
  QTest::addColumn<QList<int>>("marks");
  QTest::newRow("margin click") << "margin" << 2 << QList<int>{2};
  QTest::newRow("margin click twice") << "margin twice" << 1 << QList<int>{};
  QTest::newRow("F9 on the selected line") << "F9" << 3 << QList<int>{3};
  QTest::newRow("F9 twice") << "F9 twice" << 0 << QList<int>{};
  QTest::newRow("F9 from the mouse tab works on the main program")
      << "F9 mouse tab" << 1 << QList<int>{1};
}

void TestRunWindow::breakpoints() {
  QFETCH(QString, how);
  QFETCH(int, line);
  QFETCH(QList<int>, marks);
  Rig rig;
  rig.Main() = {"x:=1", "y:=2", "z:=3", "ZeichnePunkt(x)"};
  rig.Mouse() = {"x:=5"};
  TFormAblauf& window = OpenRunWindow(rig);
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  ProgramView& view = *window.MainView;
  const int times = how.endsWith(QStringLiteral("twice")) ? 2 : 1;
  for (int t = 0; t < times; ++t) {
    if (how.startsWith(QStringLiteral("margin"))) {
      auto* margin = view.findChild<QWidget*>(QStringLiteral("Margin"));
      QTest::mouseClick(margin, Qt::LeftButton, {}, MarginPoint(view, line));
    } else {
      view.SelectLine(line);
      if (how.endsWith(QStringLiteral("mouse tab"))) window.PageControl1->setCurrentIndex(1);
      window.activateWindow();
      QTest::keyClick(&window, Qt::Key_F9);
    }
  }
  QList<int> set;
  for (std::int32_t b : rig.form.Debugger().Breakpoints()) set << b;
  QCOMPARE(set, marks);
  QCOMPARE(window.PageControl1->currentIndex(), 0);
  QVERIFY(rig.boxes.boxes.empty());
}

void TestRunWindow::tempo_data() {
  QTest::addColumn<int>("position");
  QTest::addColumn<int>("tempo");
  QTest::addColumn<QString>("label");
  QTest::newRow("slowest") << 0 << 1 << "1 Zeile je Sekunde";
  QTest::newRow("ten") << 3 << 10 << "10 Zeilen je Sekunde";
  QTest::newRow("thousand") << 9 << 1000 << "1000 Zeilen je Sekunde";
  QTest::newRow("unlimited") << 10 << 0 << "unbegrenzt";
}

void TestRunWindow::tempo() {
  QFETCH(int, position);
  QFETCH(int, tempo);
  QFETCH(QString, label);
  Rig rig;
  TFormAblauf& window = OpenRunWindow(rig);
  QCOMPARE(rig.form.Debugger().Tempo(), 0);  // unlimited unless chosen
  QCOMPARE(window.TempoSlider->value(), window.TempoSlider->maximum());
  window.TempoSlider->setFocus();
  QTest::keyClick(window.TempoSlider, Qt::Key_Home);
  for (int p = 0; p < position; ++p) QTest::keyClick(window.TempoSlider, Qt::Key_Right);
  QCOMPARE(rig.form.Debugger().Tempo(), tempo);
  QCOMPARE(window.TempoLabel->text(), label);
}

void TestRunWindow::refreshAtMostThirtyTimesASecond() {
  Rig rig;
  rig.AddVariable("n", 0);
  rig.Main() = {"Solange(1)", "n:=n+1", "EndeSolange"};
  rig.form.SetIdleSlice(std::chrono::microseconds(500));  // many slices, each a chance to refresh
  TFormAblauf& window = OpenRunWindow(rig);
  const int before = window.Refreshes();
  QElapsedTimer clock;
  clock.start();
  rig.form.StartRun();
  QTest::qWait(600);
  const qint64 elapsed = clock.elapsed();
  const int refreshes = window.Refreshes() - before;
  rig.form.StopRun();
  QVERIFY(rig.form.LinesRun() > 100);
  QVERIFY(refreshes > 0);  // it does follow the run
  QVERIFY2(refreshes <= elapsed / kRunRefreshInterval.count() + 2,
           qPrintable(QStringLiteral("%1 refreshes in %2 ms").arg(refreshes).arg(elapsed)));
}

void TestRunWindow::singleSteps() {
  Rig rig;
  rig.AddVariable("a", 7);
  rig.Main() = {"a:=1", "a:=a+1"};
  ModalDriver driver;  // the success box
  // From stopped, the first step starts the run as "Starten" does and runs no line yet.
  rig.form.StartEinzelschrittExecute();
  TFormAblauf& window = *rig.form.FormAblauf;
  QVERIFY(window.isVisible());
  QVERIFY(rig.form.CheckBox1->isChecked());
  QVERIFY(rig.form.CheckBox2->isChecked());
  QVERIFY(!rig.form.StartStarten->isEnabled());
  QCOMPARE(rig.Current("a"), 7.0);
  QCOMPARE(window.MainView->CurrentLine(), 0);
  QCOMPARE(window.StateLabel->text(), QStringLiteral("Angehalten vor Zeile 1 (Einzelschritt)"));
  QVERIFY(!rig.form.IdleActive());  // paused: nothing spins
  struct Expected {
    double a;
    int line;
  };
  for (const Expected& e : {Expected{1, 1}, Expected{2, 2}}) {
    rig.form.StartEinzelschrittExecute();
    QCOMPARE(rig.Current("a"), e.a);
    QCOMPARE(window.MainView->CurrentLine(), e.line);
    // The value the step changed is marked.
    QVERIFY(window.VariablesGrid->item(3, 2)->font().bold());
    QCOMPARE(window.VariablesGrid->item(3, 2)->text(), QString::number(e.a));
  }
  QVERIFY(rig.boxes.boxes.empty());
  rig.form.StartEinzelschrittExecute();  // at the end: the run ends as it always does
  QCOMPARE(rig.boxes.Texts(), std::vector<std::string>{kMainProgramEnded});
  QVERIFY(!rig.form.CheckBox1->isChecked());
  QVERIFY(rig.form.StartStarten->isEnabled());
  QCOMPARE(window.StateLabel->text(), Cp("Kein Programm l\xE4uft."));
  QCOMPARE(window.MainView->CurrentLine(), -1);
}

void TestRunWindow::breakpointPausesTheRun() {
  Rig rig;
  rig.AddVariable("n", 0);
  rig.Main() = {"n:=0", "Solange(n<50)", "n:=n+1", "EndeSolange", "n:=100"};
  TFormAblauf& window = OpenRunWindow(rig);
  window.MainView->SelectLine(4);
  rig.form.StartHaltepunktExecute();
  rig.form.StartRun();
  QTRY_COMPARE(rig.form.Debugger().State(), DebugState::Paused);
  QCOMPARE(rig.Current("n"), 50.0);
  QCOMPARE(window.MainView->CurrentLine(), 4);
  QCOMPARE(window.StateLabel->text(), QStringLiteral("Angehalten vor Zeile 5 (Haltepunkt)"));
  QVERIFY(!rig.form.IdleActive());
  ModalDriver driver;
  rig.form.StartFortsetzenExecute();  // the line paused on runs now
  QTRY_VERIFY(!rig.form.CheckBox1->isChecked());
  QCOMPARE(rig.Current("n"), 100.0);
  QCOMPARE(rig.boxes.Texts(), std::vector<std::string>{kMainProgramEnded});
}

void TestRunWindow::settingsActOnlyWhileTheWindowIsOpen_data() {
  QTest::addColumn<QString>("setting");
  QTest::addColumn<bool>("open_forgets");  // else "Neues Projekt"
  for (const char* setting : {"breakpoint", "slow tempo", "watch that stops"}) {
    QTest::newRow(qPrintable(QStringLiteral("%1, new project").arg(setting)))
        << QString::fromLatin1(setting) << false;
    QTest::newRow(qPrintable(QStringLiteral("%1, another project opened").arg(setting)))
        << QString::fromLatin1(setting) << true;
  }
}

// Set in the run window, then the window closed: the run neither pauses nor crawls. The
// setting is back when the window opens again, and gone with the project.
void TestRunWindow::settingsActOnlyWhileTheWindowIsOpen() {
  QFETCH(QString, setting);
  QFETCH(bool, open_forgets);
  Rig rig;
  rig.AddVariable("n", 0);
  rig.Main() = {"n:=0", "Solange(n<50)", "n:=n+1", "EndeSolange", "n:=100"};
  TFormAblauf& window = OpenRunWindow(rig);
  RunDebugger& debugger = rig.form.Debugger();
  if (setting == QLatin1String("breakpoint")) {
    window.MainView->SelectLine(4);
    rig.form.StartHaltepunktExecute();
  } else if (setting == QLatin1String("slow tempo")) {
    window.TempoSlider->setValue(0);  // one line a second
  } else {
    TypeWatch(*window.WatchGrid, 0, QStringLiteral("n"));
    window.WatchGrid->item(0, 2)->setCheckState(Qt::Checked);
  }
  const DebugSettings set{debugger.Breakpoints(), debugger.Watches(), debugger.Tempo()};
  window.close();
  ModalDriver driver;  // the success box
  rig.form.StartRun();
  QTRY_VERIFY(!rig.form.CheckBox1->isChecked());
  QCOMPARE(rig.Current("n"), 100.0);

  rig.form.StartAblaufAnzeigenExecute();
  QCOMPARE(debugger.Breakpoints(), set.breakpoints);
  QCOMPARE(debugger.Tempo(), set.tempo);
  QCOMPARE(debugger.Watches().size(), set.watches.size());
  QCOMPARE(window.TempoSlider->value(), setting == QLatin1String("slow tempo") ? 0 : 10);

  if (open_forgets) {
    QTemporaryDir dir;
    rig.files.answers = {WriteProject(dir, QStringLiteral("p.omp"), {}, {})};
    rig.form.ProjektOeffnenExecute();
  } else {
    rig.form.ProjektNeuExecute();
  }
  QVERIFY(debugger.Breakpoints().empty());
  QCOMPARE(debugger.Tempo(), 0);
  QVERIFY(debugger.Watches().empty());
  QCOMPARE(window.TempoSlider->value(), window.TempoSlider->maximum());
  window.close();
  rig.form.StartAblaufAnzeigenExecute();
  QVERIFY(debugger.Watches().empty());
}

// Paused, the main window says so, also when the run window is closed.
void TestRunWindow::pauseShownInTheStatusBar() {
  Rig rig;
  rig.AddVariable("x", 0);
  rig.Main() = {"x:=1", "x:=2", "x:=3"};
  QCOMPARE(rig.form.statusBar()->currentMessage(), QString());
  rig.form.StartEinzelschrittExecute();
  rig.form.StartEinzelschrittExecute();
  rig.form.FormAblauf->close();
  QCOMPARE(rig.form.Debugger().State(), DebugState::Paused);
  QCOMPARE(rig.form.statusBar()->currentMessage(), Cp("Angehalten vor Zeile 2 \x96 F5 setzt fort"));
  ModalDriver driver;
  rig.form.StartFortsetzenExecute();
  QTRY_VERIFY(!rig.form.CheckBox1->isChecked());
  QCOMPARE(rig.form.statusBar()->currentMessage(), QString());
}

namespace {

// How far the text in `area` of `image` stands out from its ground (its most common
// colour): the largest difference in lightness, 0 to 1.
double TextContrast(const QImage& image, const QRect& area) {
  std::map<QRgb, int> counts;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) ++counts[image.pixel(x, y)];
  }
  const auto ground = std::max_element(counts.begin(), counts.end(),
                                       [](auto& a, auto& b) { return a.second < b.second; });
  double most = 0;
  for (const auto& entry : counts) {
    most = std::max(most, double{std::abs(QColor(entry.first).lightnessF() -
                                          QColor(ground->first).lightnessF())});
  }
  return most;
}

}  // namespace

// The colours that carry meaning, the next line and a changed value, stay readable under a
// dark palette (whose text is light).
void TestRunWindow::readableUnderADarkPalette() {
  const QPalette light = QApplication::palette();
  const QString style = QApplication::style()->name();
  QApplication::setStyle(QStringLiteral("Fusion"));
  QPalette dark;
  dark.setColor(QPalette::Window, QColor(45, 45, 45));
  dark.setColor(QPalette::WindowText, Qt::white);
  dark.setColor(QPalette::Base, QColor(30, 30, 30));
  dark.setColor(QPalette::Text, Qt::white);
  dark.setColor(QPalette::Button, QColor(45, 45, 45));
  dark.setColor(QPalette::ButtonText, Qt::white);
  QApplication::setPalette(dark);
  {
    Rig rig;
    rig.AddVariable("n", 0);
    rig.Main() = {"n:=1", "n:=2", "n:=3"};
    rig.form.StartEinzelschrittExecute();
    rig.form.StartEinzelschrittExecute();  // n changed, line 2 next
    TFormAblauf& window = *rig.form.FormAblauf;
    window.Refresh();
    QCoreApplication::processEvents();
    const QImage program = window.MainView->viewport()->grab().toImage();
    // The text of line 2, from its first character to its last.
    QTextCursor at(window.MainView->document()->findBlockByNumber(1));
    const QRect start = window.MainView->cursorRect(at);
    at.movePosition(QTextCursor::EndOfBlock);
    const QRect next(QPoint(start.left() + 1, start.top()),
                     QPoint(window.MainView->cursorRect(at).left(), start.bottom()));
    QVERIFY2(TextContrast(program, next) >= 0.5, "the next line");
    const QRect cell = window.VariablesGrid->visualItemRect(window.VariablesGrid->item(3, 2));
    const QImage grid = window.VariablesGrid->viewport()->grab(cell).toImage();
    QVERIFY2(TextContrast(grid, grid.rect()) >= 0.5, "the changed value");
    rig.form.StopRun();
  }
  QApplication::setPalette(light);
  QApplication::setStyle(style);
}

void TestRunWindow::pausedCountsAsRunning() {
  Rig rig;
  rig.Main() = {"x:=1", "x:=2"};
  rig.form.StartEinzelschrittExecute();
  QCOMPARE(rig.form.Debugger().State(), DebugState::Paused);
  for (QAction* locked : rig.form.LockedActions()) QVERIFY(!locked->isEnabled());
  // Unchecking "Hauptprogramm aktiv?" ends a paused run as it ends a running one.
  rig.form.CheckBox1->setChecked(false);
  QCOMPARE(rig.form.Debugger().State(), DebugState::Stopped);
  QVERIFY(rig.form.StartStarten->isEnabled());
  QVERIFY(rig.form.CheckBox2->isChecked());
  QVERIFY(rig.boxes.boxes.empty());
}

void TestRunWindow::stepBackRestoresThePicture() {
  Rig rig;
  rig.AddVariable("k", 0);
  rig.Main() = {"L\xF6scheBild", "F\xFCr(k;1;5;1)", "ZeichneKreis(k/2;k/4)", "EndeF\xFCr"};
  rig.form.StartEinzelschrittExecute();
  for (int s = 0; s < 6; ++s) rig.form.StartEinzelschrittExecute();
  const QImage before = rig.session.canvas.Image().copy();
  const double k = rig.Current("k");
  const int line = rig.form.FormAblauf->MainView->CurrentLine();
  rig.form.StartEinzelschrittExecute();
  rig.form.StartEinzelschrittExecute();
  QVERIFY(rig.session.canvas.Image() != before);  // a circle was drawn
  rig.form.StartSchrittZurueckExecute();
  rig.form.StartSchrittZurueckExecute();
  QVERIFY(rig.boxes.boxes.empty());
  QVERIFY(rig.session.canvas.Image() == before);
  QCOMPARE(rig.Current("k"), k);
  QCOMPARE(rig.form.FormAblauf->MainView->CurrentLine(), line);
  QCOMPARE(rig.form.FormAblauf->StateLabel->text(),
           QStringLiteral("Angehalten vor Zeile %1 (Schritt zur").arg(line + 1) + Cp("\xFC") +
               QStringLiteral("ck)"));
  rig.form.StopRun();
}

void TestRunWindow::stepBackRefused_data() {
  QTest::addColumn<int>("steps");  // single steps before the step back; -1: not started
  QTest::addColumn<QString>("message");
  QTest::newRow("nothing run yet") << 0 << Cp(kHistoryEmpty);
  QTest::newRow("no run") << -1 << Cp(kStepBackNotPaused);
}

void TestRunWindow::stepBackRefused() {
  QFETCH(int, steps);
  QFETCH(QString, message);
  Rig rig;
  rig.Main() = {"x:=1", "x:=2"};
  OpenRunWindow(rig);
  for (int s = 0; s <= steps; ++s) rig.form.StartEinzelschrittExecute();
  rig.form.StartSchrittZurueckExecute();
  QCOMPARE(rig.boxes.boxes.size(), std::size_t{1});
  QCOMPARE(ToQt(rig.boxes.boxes[0].text), message);
  QCOMPARE(rig.boxes.boxes[0].kind, MessageKind::Information);
  rig.form.StopRun();
}

void TestRunWindow::watchStopsOnChange() {
  Rig rig;
  rig.AddVariable("n", 0);
  rig.AddVariable("m", 0);
  rig.Main() = {"Solange(1)", "n:=n+1", "Wenn(n%10=0)", "m:=m+1", "EndeWenn", "EndeSolange"};
  ModalDriver driver;  // a failure's editor would otherwise wait for ever
  TFormAblauf& window = OpenRunWindow(rig);
  TypeWatch(*window.WatchGrid, 0, QStringLiteral("m*2"));
  window.WatchGrid->item(0, 2)->setCheckState(Qt::Checked);
  rig.form.StartRun();
  QTRY_COMPARE(rig.form.Debugger().State(), DebugState::Paused);
  QCOMPARE(rig.Current("n"), 10.0);
  QCOMPARE(window.WatchGrid->item(0, 1)->text(), QStringLiteral("2"));
  QVERIFY(window.WatchGrid->item(0, 1)->font().bold());
  QVERIFY(rig.boxes.boxes.empty());
  QCOMPARE(window.StateLabel->text(),
           QStringLiteral("Angehalten vor Zeile 5 (ein beobachteter Term hat sich ge") +
               Cp("\xE4") + QStringLiteral("ndert)"));
  rig.form.StopRun();
}

void TestRunWindow::failedLineShown_data() {
  QTest::addColumn<int>("slot");
  QTest::addColumn<int>("line");
  QTest::newRow("main program") << int{MainProgram} << 1;
  QTest::newRow("mouse-click program") << int{MouseHandlerProgram} << 2;
}

void TestRunWindow::failedLineShown() {
  QFETCH(int, slot);
  QFETCH(int, line);
  Rig rig;
  rig.AddVariable("x", 0);
  ProgramText failing(static_cast<std::size_t>(line) + 1, "x:=1");
  failing[static_cast<std::size_t>(line)] = "x:=unbekannt";
  rig.session.project.programs[static_cast<std::size_t>(slot)] = failing;
  TFormAblauf& window = OpenRunWindow(rig);
  ModalDriver driver;  // the editor after the failure
  if (slot == MainProgram) {
    rig.form.StartRun();
    QTRY_VERIFY(!rig.form.CheckBox1->isChecked());
  } else {
    rig.form.CheckBox2->setChecked(true);
    rig.form.Image1MouseDown(Qt::LeftButton, 10, 10);
  }
  QCOMPARE(rig.boxes.boxes.size(), std::size_t{1});
  ProgramView* view = slot == MainProgram ? window.MainView : window.MouseView;
  QCOMPARE(window.PageControl1->currentWidget(), view);
  QCOMPARE(view->CurrentLine(), line);
  QVERIFY(view->CurrentLineFailed());
  QCOMPARE(window.StateLabel->text(),
           QStringLiteral("Fehler in Zeile %1 (%2)").arg(line + 1).arg(Cp(ProgramNames[slot])));
  // The next step starts afresh: the mark goes.
  rig.form.StartEinzelschrittExecute();
  QVERIFY(!window.MainView->CurrentLineFailed());
  rig.form.StopRun();
}

void TestRunWindow::mouseClickWhilePaused() {
  Rig rig;
  rig.AddVariable("k", 0);
  rig.Main() = {"x:=1", "x:=2"};
  rig.Mouse() = {"k:=k+1"};
  OpenRunWindow(rig);
  rig.form.StartEinzelschrittExecute();
  rig.form.Image1MouseDown(Qt::LeftButton, 5, 5);
  rig.form.Image1MouseUp(Qt::LeftButton, 5, 5);
  QCOMPARE(rig.Current("k"), 1.0);
  QCOMPARE(rig.form.Debugger().State(), DebugState::Paused);
  QCOMPARE(rig.form.FormAblauf->MainView->CurrentLine(), 0);
  // The whole mouse-click run is one step back.
  rig.form.StartSchrittZurueckExecute();
  QCOMPARE(rig.Current("k"), 0.0);
  rig.form.StopRun();
}

void TestRunWindow::nothingStartsUnderTheEditor_data() {
  QTest::addColumn<int>("key");
  QTest::newRow("F8") << int{Qt::Key_F8};
  QTest::newRow("F1") << int{Qt::Key_F1};
  QTest::newRow("F5") << int{Qt::Key_F5};
}

void TestRunWindow::nothingStartsUnderTheEditor() {
  QFETCH(int, key);
  Rig rig;
  rig.Main() = {"x:=1"};
  TFormAblauf& window = OpenRunWindow(rig);
  // The editor blocks the main window only; the run window still takes keys.
  ModalDriver driver;
  bool tried = false;
  driver.actions.push_back([&](QDialog&) {
    window.activateWindow();
    QTest::keyClick(&window, static_cast<Qt::Key>(key));
    tried = true;
  });
  rig.form.BearbeitenHauptprogrammExecute();
  QVERIFY(tried);
  QCOMPARE(rig.form.Debugger().State(), DebugState::Stopped);
  QVERIFY(!rig.form.CheckBox1->isChecked());
  QVERIFY(!window.actions().contains(rig.form.StartStarten));
  QVERIFY(rig.boxes.boxes.empty());
}

void TestRunWindow::showsTheEditedProgram() {
  Rig rig;
  rig.Main() = {"x:=1"};
  TFormAblauf& window = OpenRunWindow(rig);
  QCOMPARE(window.MainView->toPlainText(), QStringLiteral("x:=1"));
  ModalDriver driver;
  driver.actions.push_back([](QDialog& dialog) {
    static_cast<TFormPrgEditor&>(dialog).Memo1->setPlainText(QStringLiteral("x:=2\ny := 3"));
  });
  rig.form.BearbeitenHauptprogrammExecute();
  QCOMPARE(window.MainView->toPlainText(), QStringLiteral("x:=2\ny:=3"));
  QCOMPARE(window.MainView->blockCount(), 2);
}

QTEST_MAIN(TestRunWindow)
#include "test_unitformablauf.moc"
