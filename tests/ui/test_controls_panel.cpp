// Controls in the window: sliders and points set start values, "live" starts the main
// program anew, handles lie over the picture but never in it, the mouse-click program
// waits while a handle is dragged, and the controls go into the side file and back.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "logic/project/controls_file.h"
#include "tests/support/tables.h"
#include "tests/ui/ui_rig.h"
#include "ui/controls_panel.h"
#include "ui/picture_box.h"

using namespace ombrix;
using namespace ombrix::testing;

namespace {

const char* const kEnded = "Das Hauptprogramm wurde erfolgreich beendet.";

void RunToEnd(Rig& rig) {
  for (int i = 0; i < 100000 && rig.session.flags.MainRunning; ++i) rig.form.IdleStep();
}

// Pixel by pixel: a picture read back from a file carries no colour space of its own.
bool SamePixels(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return false;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      if ((a.pixel(x, y) | 0xFF000000u) != (b.pixel(x, y) | 0xFF000000u)) return false;
    }
  }
  return true;
}

std::string ReadBytes(const QString& file) {
  std::ifstream in(std::filesystem::path(file.toStdString()), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A project whose main program copies the slider's variable n into k and draws c.
struct ControlRig : Rig {
  ControlRig() {
    AddVariable("n", 3);
    AddVariable("k", 0);
    c = AddVariable("c", 0);
    session.project.variables.SetStartValue(c, {1, 1});
    Main() = {"k:=n"};
    ok = !Panel().AddSlider("n", {"0", "10", "1"}) && !Panel().AddPoint("c");
  }
  ControlsPanel& Panel() { return *form.FormRegler; }
  QSlider& NSlider() { return *Panel().Slider(0); }
  void Live(bool on) { Panel().LiveBox->setChecked(on); }
  TComplex Start(const char* name) const {
    const VariableTable& v = session.project.variables;
    return v.StartValue(v.FindVariable(name));
  }
  QPoint Handle() const {
    return {session.drawing.PlaneToPixelX(Start("c").Re),
            session.drawing.PlaneToPixelY(Start("c").Im)};
  }
  int c = 0;
  bool ok = false;
};

}  // namespace

class TestControls : public QObject {
  Q_OBJECT

 private slots:
  void menuItemIsLastOfBearbeiten();
  void sliderSetsStartValueAndMarksChanged();
  void liveChangeRestartsWithoutSuccessBox();
  void liveRestartAbandonsARunningProgram();
  void liveFailureShowsItsBoxOnceAndSwitchesLiveOff();
  void arrowKeysMoveOneStep_data();
  void arrowKeysMoveOneStep();
  void handlesArePaintedButNeverInThePixels();
  void draggingAHandleSetsThePlaneValueAndNotTheMouseProgram();
  void aDragMovesTheValueByWhatThePointerMoved();
  void lastFinishedPictureShowsWhileALiveRunDraws();
  void aDragWaitsForThePictureBeingDrawn();
  void addingThroughTheDialog_data();
  void addingThroughTheDialog();
  void refusedControls_data();
  void refusedControls();
  void controlsSurviveSaveAndLoadWithTheProjectBytesUnchanged();
  void brokenSideFileIsReportedAndTheProjectStillLoads();
  void newProjectHasNoControls();
};

void TestControls::menuItemIsLastOfBearbeiten() {
  Rig rig;
  QMenu* bearbeiten = rig.form.findChild<QMenu*>(QStringLiteral("Bearbeiten1"));
  QVERIFY(bearbeiten != nullptr);
  QCOMPARE(bearbeiten->actions().last(), rig.form.BearbeitenRegler);
  QCOMPARE(rig.form.BearbeitenRegler->text(), QStringLiteral("Regler"));
  QVERIFY(!rig.form.FormRegler->isVisible());
  rig.form.BearbeitenRegler->trigger();
  QVERIFY(rig.form.FormRegler->isVisible());
  QVERIFY(!rig.form.FormRegler->isModal());
}

void TestControls::sliderSetsStartValueAndMarksChanged() {
  ControlRig rig;
  QVERIFY(rig.ok);
  QCOMPARE(rig.NSlider().value(), 3);
  rig.session.ProjectChanged = false;
  rig.form.StatusChangedPanel->clear();
  const std::int64_t lines = rig.form.LinesRun();
  rig.NSlider().setValue(7);
  QCOMPARE(rig.Start("n").Re, 7.0);
  QCOMPARE(rig.Panel().ValueText(0), QStringLiteral("7"));
  QVERIFY(rig.session.ProjectChanged);
  QCOMPARE(rig.Changed(), std::string("ge\xE4ndert"));
  QCOMPARE(rig.form.LinesRun(), lines);  // "live" is off: nothing runs
  QVERIFY(!rig.session.flags.MainRunning);
}

void TestControls::liveChangeRestartsWithoutSuccessBox() {
  ControlRig rig;
  rig.Live(true);
  rig.NSlider().setValue(5);
  RunToEnd(rig);
  QCOMPARE(rig.Current("k"), 5.0);
  QVERIFY(rig.boxes.boxes.empty());
  QVERIFY(!rig.form.CheckBox1->isChecked());
  for (QAction* a : rig.form.LockedActions()) QVERIFY(a->isEnabled());
  // "Starten" itself still reports the end.
  rig.form.StartStarten->trigger();
  RunToEnd(rig);
  QCOMPARE(rig.boxes.Texts(), std::vector<std::string>{kEnded});
}

void TestControls::liveRestartAbandonsARunningProgram() {
  ControlRig rig;
  rig.Main() = {"k:=n", "Solange(1)", "EndeSolange"};
  rig.form.SetIdleLineLimit(1);
  rig.form.StartStarten->trigger();
  for (int i = 0; i < 20; ++i) rig.form.IdleStep();
  QCOMPARE(rig.Current("k"), 3.0);
  rig.Live(true);
  rig.NSlider().setValue(9);
  QVERIFY(rig.session.flags.MainRunning);
  QVERIFY(rig.form.LiveRunActive());
  QCOMPARE(rig.Current("k"), 9.0);  // the first line of the new run has run at once
  QVERIFY(rig.boxes.boxes.empty());
  rig.form.StartAbbrechen->trigger();
  QVERIFY(!rig.form.LiveRunActive());
  QVERIFY(rig.boxes.boxes.empty());
}

void TestControls::liveFailureShowsItsBoxOnceAndSwitchesLiveOff() {
  ControlRig rig;
  rig.Main() = {"k:=q"};
  ModalDriver driver;  // closes the editor that opens on the faulty line
  rig.Live(true);
  rig.NSlider().setValue(4);
  RunToEnd(rig);
  QCOMPARE(rig.boxes.boxes.size(), std::size_t{1});
  QCOMPARE(rig.boxes.boxes[0].kind, MessageKind::Error);
  QVERIFY(!rig.Panel().LiveBox->isChecked());
  QVERIFY(!rig.session.controls.live);
  QCOMPARE(driver.visits.size(), std::size_t{1});
  rig.NSlider().setValue(6);
  RunToEnd(rig);
  QCOMPARE(rig.boxes.boxes.size(), std::size_t{1});
  QCOMPARE(rig.Start("n").Re, 6.0);
}

void TestControls::arrowKeysMoveOneStep_data() {
  QTest::addColumn<int>("key");
  QTest::addColumn<double>("value");
  QTest::newRow("right") << int(Qt::Key_Right) << 3.5;
  QTest::newRow("up") << int(Qt::Key_Up) << 3.5;
  QTest::newRow("left") << int(Qt::Key_Left) << 2.5;
  QTest::newRow("down") << int(Qt::Key_Down) << 2.5;
}

void TestControls::arrowKeysMoveOneStep() {
  QFETCH(int, key);
  QFETCH(double, value);
  Rig rig;
  rig.AddVariable("a", 3);
  QVERIFY(!rig.form.FormRegler->AddSlider("a", {"-1", "10", "1/2"}));
  QSlider* slider = rig.form.FormRegler->Slider(0);
  QTest::keyClick(slider, static_cast<Qt::Key>(key));
  const VariableTable& v = rig.session.project.variables;
  QCOMPARE(v.StartValue(v.FindVariable("a")).Re, value);
}

void TestControls::handlesArePaintedButNeverInThePixels() {
  ControlRig rig;
  rig.session.canvas.SetBrushSolid(true);
  rig.session.canvas.FillRect(0, 0, 400, 400);
  const QImage before = rig.session.canvas.Image().copy();
  const QPoint at = rig.Handle();
  const QImage shown = rig.form.Image1->grab().toImage();
  QVERIFY(shown.pixelColor(at) != before.pixelColor(at));
  QVERIFY(SamePixels(rig.session.canvas.Image(), before));
  // What "Bild speichern unter" writes is the canvas: without handles.
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("bild.bmp"));
  rig.files.answers.push_back(file);
  rig.form.ProjektBildSpeichernUnter->trigger();
  QVERIFY2(rig.boxes.boxes.empty(), rig.boxes.boxes.empty() ? "" : rig.boxes.boxes[0].text.c_str());
  const QImage saved = QImage(file).convertToFormat(QImage::Format_RGB32);
  QVERIFY(!saved.isNull());
  QVERIFY(SamePixels(saved, before));
}

void TestControls::draggingAHandleSetsThePlaneValueAndNotTheMouseProgram() {
  ControlRig rig;
  rig.AddVariable("m", 0);
  rig.Mouse() = {"m:=m+1"};
  rig.form.CheckBox2->setChecked(true);
  const QPoint at = rig.Handle();
  rig.form.Image1MouseDown(Qt::LeftButton, at.x() + 2, at.y() + 1);  // off-centre grab
  QVERIFY(rig.Panel().Dragging());
  rig.form.Image1MouseMove(at.x() + 42, at.y() - 19);
  rig.form.Image1MouseUp(Qt::LeftButton, at.x() + 42, at.y() - 19);
  QVERIFY(!rig.Panel().Dragging());
  const DrawingState& d = rig.session.drawing;
  QCOMPARE(rig.Start("c").Re, d.PixelToPlaneRe(at.x() + 40));
  QCOMPARE(rig.Start("c").Im, d.PixelToPlaneIm(at.y() - 20));
  QCOMPARE(rig.Current("m"), 0.0);
  QVERIFY(rig.session.ProjectChanged);
  // Away from the handle the press is the mouse-click program's.
  rig.form.Image1MouseDown(Qt::LeftButton, 10, 10);
  rig.form.Image1MouseUp(Qt::LeftButton, 10, 10);
  QCOMPARE(rig.Current("m"), 1.0);
}

// The handle was placed under one scale and a live run sets another (the project's own, as
// "SetzeSkala" at its start does): a move of one pixel moves the value by one pixel of the
// new scale, from the value it had, instead of jumping to the pixel's place.
void TestControls::aDragMovesTheValueByWhatThePointerMoved() {
  ControlRig rig;
  const QPoint at = rig.Handle();
  rig.form.Image1MouseDown(Qt::LeftButton, at.x(), at.y());
  rig.session.drawing.SetScale(-1.6, 1.6, -1.6, 1.6);
  rig.form.Image1MouseMove(at.x() + 1, at.y());
  QCOMPARE(rig.Start("c").Re, 1.008);
  QCOMPARE(rig.Start("c").Im, 1.0);
  rig.form.Image1MouseMove(at.x() + 1, at.y() + 2);
  rig.form.Image1MouseUp(Qt::LeftButton, at.x() + 1, at.y() + 2);
  QCOMPARE(rig.Start("c").Re, 1.008);
  QCOMPARE(rig.Start("c").Im, 0.984);
}

void TestControls::lastFinishedPictureShowsWhileALiveRunDraws() {
  ControlRig rig;
  rig.Main() = {"L\xF6scheBild", "Wiederhole(50)", "EndeWiederhole", "ZeichneKreis(0;n)"};
  rig.form.SetIdleLineLimit(1);
  rig.form.StartStarten->trigger();
  RunToEnd(rig);
  const QImage finished = rig.session.canvas.Image().copy();
  rig.Live(true);
  rig.NSlider().setValue(1);
  QVERIFY(rig.session.flags.MainRunning);
  QVERIFY(rig.form.Image1->ShowsCopy());
  rig.form.IdleStep();  // the picture has been cleared by now
  QVERIFY(rig.session.canvas.Image() != finished);
  const QImage shown = rig.form.Image1->grab().toImage().convertToFormat(finished.format());
  QCOMPARE(shown.pixelColor(200 + 40, 200), finished.pixelColor(200 + 40, 200));
  RunToEnd(rig);
  QVERIFY(!rig.form.Image1->ShowsCopy());
  QVERIFY(rig.session.canvas.Image() != finished);  // the circle of radius 1 now
}

void TestControls::aDragWaitsForThePictureBeingDrawn() {
  ControlRig rig;
  rig.Main() = {"k:=c", "Wiederhole(30)", "EndeWiederhole"};
  rig.form.SetIdleLineLimit(1);
  rig.Live(true);
  const QPoint at = rig.Handle();
  rig.form.Image1MouseDown(Qt::LeftButton, at.x(), at.y());
  rig.form.Image1MouseMove(at.x() + 10, at.y());
  QVERIFY(rig.form.LiveRunActive());
  const TComplex first = rig.Start("c");
  rig.form.IdleStep();
  const std::int64_t lines = rig.form.LinesRun();
  rig.form.Image1MouseMove(at.x() + 20, at.y());
  rig.form.Image1MouseMove(at.x() + 30, at.y());
  QCOMPARE(rig.form.LinesRun(), lines);  // the run was not begun anew
  rig.form.IdleStep();
  QCOMPARE(rig.form.LinesRun(), lines + 1);
  QCOMPARE(rig.Current("c"), first.Re);
  // The first picture finishes; the held value starts the next one at once.
  for (int i = 0; i < 1000 && rig.form.LivePicturesFinished() == 0; ++i) rig.form.IdleStep();
  QCOMPARE(rig.form.LivePicturesFinished(), std::int64_t{1});
  QVERIFY(rig.session.flags.MainRunning);
  QCOMPARE(rig.Current("k"), rig.Start("c").Re);
  rig.form.Image1MouseUp(Qt::LeftButton, at.x() + 30, at.y());
  RunToEnd(rig);
  QVERIFY(rig.boxes.boxes.empty());
}

void TestControls::addingThroughTheDialog_data() {
  QTest::addColumn<QString>("minimum");
  QTest::addColumn<int>("controls");
  QTest::addColumn<int>("error_boxes");
  QTest::newRow("accepted") << "-Pi" << 1 << 0;
  QTest::newRow("refused, the dialog stays open") << "(1" << 0 << 1;
}

void TestControls::addingThroughTheDialog() {
  QFETCH(QString, minimum);
  QFETCH(int, controls);
  QFETCH(int, error_boxes);
  Rig rig;
  rig.AddVariable("a", 0);
  ModalDriver driver;
  QStringList offered;
  bool still_open = false;
  driver.actions.push_back([&](QDialog& dialog) {
    auto* variable = dialog.findChild<QComboBox*>();
    for (int n = 0; n < variable->count(); ++n) offered << variable->itemText(n);
    variable->setCurrentText(QStringLiteral("a"));
    dialog.findChildren<QLineEdit*>().first()->setText(minimum);
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    still_open = dialog.isVisible();
  });
  rig.form.FormRegler->AddSliderButton->click();
  QCOMPARE(offered, (QStringList{"a"}));  // never a constant: "i", "e", "Pi"
  QCOMPARE(int(rig.session.controls.controls.size()), controls);
  QCOMPARE(int(rig.boxes.boxes.size()), error_boxes);
  QCOMPARE(still_open, error_boxes > 0);
}

void TestControls::refusedControls_data() {
  QTest::addColumn<QString>("variable");
  QTest::addColumn<QString>("minimum");
  QTest::addColumn<QString>("part");
  QTest::newRow("imaginary unit") << "i"
                                  << "0" << ToQt("imagin\xE4re");
  QTest::newRow("constant Pi") << "Pi"
                               << "0"
                               << "Konstante";
  QTest::newRow("unknown variable") << "zz"
                                    << "0"
                                    << "keine Variable";
  QTest::newRow("second control") << "n"
                                  << "0"
                                  << "schon";
  QTest::newRow("bad term") << "k"
                            << "(1"
                            << "Minimum";
}

void TestControls::refusedControls() {
  QFETCH(QString, variable);
  QFETCH(QString, minimum);
  QFETCH(QString, part);
  ControlRig rig;
  rig.session.ProjectChanged = false;
  const std::optional<std::string> refused =
      rig.Panel().AddSlider(FromQt(variable), {FromQt(minimum), "5", "1"});
  QVERIFY(refused.has_value());
  QVERIFY2(ToQt(*refused).contains(part), refused->c_str());
  QCOMPARE(rig.session.controls.controls.size(), std::size_t{2});
  QVERIFY(!rig.session.ProjectChanged);
}

void TestControls::controlsSurviveSaveAndLoadWithTheProjectBytesUnchanged() {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("regler.omp"));
  const QString plain = dir.filePath(QStringLiteral("ohne.omp"));
  {
    ControlRig rig;
    rig.Live(true);
    rig.files.answers.push_back(file);
    rig.form.ProjektSpeichernUnter->trigger();
    QVERIFY(rig.boxes.boxes.empty());
    QVERIFY(!rig.session.ProjectChanged);
    QCOMPARE(SaveProject(rig.session.project, plain.toStdString()), std::nullopt);
  }
  QCOMPARE(ReadBytes(file), ReadBytes(plain));
  QVERIFY(QFileInfo::exists(file + QStringLiteral(".regler")));

  Rig rig;
  ModalDriver driver;  // the editor on the main program
  rig.form.OpenProjectFile(file);
  QVERIFY(rig.boxes.boxes.empty());
  QCOMPARE(rig.session.controls.controls.size(), std::size_t{2});
  QVERIFY(rig.session.controls.live);
  QVERIFY(rig.form.FormRegler->isVisible());
  QCOMPARE(rig.form.FormRegler->Slider(0)->value(), 3);
  QCOMPARE(rig.form.FormRegler->Handles().size(), std::size_t{1});
}

void TestControls::brokenSideFileIsReportedAndTheProjectStillLoads() {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("p.omp"));
  ProjectContent project;
  ombrix::testing::AddVariable(project.variables, "w");
  QCOMPARE(SaveProject(project, file.toStdString()), std::nullopt);
  std::ofstream(file.toStdString() + ".regler") << "Ombrix-Regler\t1\nRegler w\n";

  Rig rig;
  rig.form.OpenProjectFile(file);
  QCOMPARE(rig.boxes.boxes.size(), std::size_t{1});
  QCOMPARE(rig.boxes.boxes[0].kind, MessageKind::Error);
  QVERIFY(ToQt(rig.boxes.boxes[0].text).contains(QStringLiteral("ohne Regler")));
  QCOMPARE(rig.session.ProjectFileName, file);
  QCOMPARE(rig.session.project.variables.LastVariable(), 3);
  QVERIFY(rig.session.controls.Empty());
}

void TestControls::newProjectHasNoControls() {
  ControlRig rig;
  rig.session.ProjectChanged = false;
  rig.form.ProjektNeu->trigger();
  QVERIFY(rig.session.controls.Empty());
  QVERIFY(rig.form.FormRegler->Handles().empty());
  QVERIFY(rig.form.FormRegler->Slider(0) == nullptr);
}

QTEST_MAIN(TestControls)
#include "test_controls_panel.moc"
