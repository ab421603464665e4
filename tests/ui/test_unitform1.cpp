// The main window as the user meets it: its parts, actions and menus, the life of a
// project, the file dialogs and the pictures.
#include <QAction>
#include <QCheckBox>
#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QtTest>

#include "logic/project/project_file.h"
#include "platform/picture_files.h"
#include "tests/platform/metafile_writer.h"
#include "tests/support/tables.h"
#include "tests/ui/ui_rig.h"
#include "ui/Unitformfkten.h"
#include "ui/picture_box.h"

using namespace ombrix;
using namespace ombrix::testing;

namespace {

const char* const kDiscard = "Wollen Sie Ihre \xC4nderungen am Projekt\nwirklich verwerfen?";
const char* const kMainCaption = "Programm editieren: Hauptprogramm";
const char* const kMouseCaption =
    "Programm editieren: Ereignisbehandlung f\xFCr 'Mausknopf gedr\374ckt'";

QString Cp(const char* text) { return ToQt(text); }

// The ways a project file is opened: the "Projekt öffnen" dialog, the "Beispiele" menu
// (an example is any project of the examples folder) and the window's command line.
enum class OpenedBy { Dialog, ExamplesMenu, CommandLine };

void OpenBy(Rig& rig, OpenedBy how, const QString& path) {
  switch (how) {
    case OpenedBy::Dialog:
      rig.files.answers = {path};
      rig.form.ProjektOeffnenExecute();
      return;
    case OpenedBy::ExamplesMenu:
      rig.form.FillExamplesMenu(QFileInfo(path).absolutePath());
      for (QAction* item : rig.form.Beispiele1->actions()) {
        if (item->toolTip() == path) item->trigger();
      }
      return;
    case OpenedBy::CommandLine:
      rig.form.OpenProjectFile(path, TForm1::OpenedFrom::CommandLine);
      return;
  }
}

}  // namespace

class TestMainWindow : public QObject {
  Q_OBJECT

 private slots:
  void parts_data();
  void parts();
  void layoutFits();
  void menus_data();
  void menus();
  void fileDialogs_data();
  void fileDialogs();
  void toolkitFilters_data();
  void toolkitFilters();

  void newProjectWithoutChanges();
  void newProjectWithChanges_data();
  void newProjectWithChanges();
  void saveUnnamedAsksForName_data();
  void saveUnnamedAsksForName();
  void saveAndSaveAs();
  void dialogsStartWhereTheUserWas();
  void failedSaveKeepsChanges_data();
  void failedSaveKeepsChanges();
  void openOpensEditors_data();
  void openOpensEditors();
  void openAsksBeforeDroppingChanges_data();
  void openAsksBeforeDroppingChanges();
  void openSelectsNothing_data();
  void openSelectsNothing();
  void exampleSavesOnlyUnderANewName_data();
  void exampleSavesOnlyUnderANewName();
  void failedOpenKeepsProject_data();
  void failedOpenKeepsProject();
  void openConvertsTheOtherSeparator_data();
  void openConvertsTheOtherSeparator();
  void nonLatinFileName();
  void closeQuery_data();
  void closeQuery();
  void quitWithOk();
  void dialogsAlwaysMarkChanged_data();
  void dialogsAlwaysMarkChanged();
  void functionGridShowsWhereItIs_data();
  void functionGridShowsWhereItIs();
  void fitsALowScreen_data();
  void fitsALowScreen();
  void editorMarksOnlyWhenTyped_data();
  void editorMarksOnlyWhenTyped();

  void loadPicture_data();
  void loadPicture();
  void refusedPicture_data();
  void refusedPicture();
  void savePicture_data();
  void savePicture();
  void drawingOnLoadedPicture();
  void slowPictureKeepsTheWindowAlive_data();
  void slowPictureKeepsTheWindowAlive();
  void localeChange();
};

// What a part shows under a property name; three names reach into a property's value.
QVariant Shown(const QObject& part, const QString& name) {
  const auto* widget = qobject_cast<const QWidget*>(&part);
  const auto* action = qobject_cast<const QAction*>(&part);
  if (name == "font.family" && widget) return widget->font().family();
  if (name == "cursor.shape" && widget) return static_cast<int>(widget->cursor().shape());
  if (name == "icon.size" && action) {
    return action->icon().isNull() ? QVariant()
                                   : QVariant(action->icon().availableSizes().value(0));
  }
  return part.property(name.toLatin1().constData());
}

void TestMainWindow::parts_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QVariantMap>("shown");
  const auto row = [](const char* name, const QVariantMap& shown) {
    QTest::newRow(name) << QString::fromLatin1(name) << shown;
  };
  row("Form1", {{"windowTitle", "Ombrix 0.98 (mit Formulon 2.11)"}});
  row("Image1", {{"geometry", QRect(16, 64, 400, 400)}, {"cursor.shape", int(Qt::CrossCursor)}});
  row("Label4", {{"pos", QPoint(16, 8)}, {"text", "Mausposition:"}});
  row("Label5", {{"pos", QPoint(16, 24)}, {"text", "0"}, {"font.family", "Courier New"}});
  row("CheckBox1", {{"pos", QPoint(208, 8)}, {"checked", false}});
  row("CheckBox2", {{"pos", QPoint(208, 24)},
                    {"text", Cp("Ereignisbehandlung f\xFCr Mausklick aktiv?")},
                    {"checked", false}});
  row("StatusFilePanel", {{"width", 355}, {"text", "{ohne Namen}"}});
  row("StatusChangedPanel", {{"width", 45}, {"text", ""}});
  // Every action: caption, category, shortcut, image index; each with its 16 x 16 icon.
  const auto action = [&](const char* name, const char* caption, const char* category,
                          QKeySequence key, int image) {
    row(name, {{"text", Cp(caption)},
               {"category", Cp(category)},
               {"shortcut", key},
               {"imageIndex", image},
               {"icon.size", QSize(16, 16)},
               {"enabled", true}});
  };
  action("ProjektNeu", "Neues Projekt", "Datei", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_N), 0);
  action("ProjektOeffnen", "Projekt \366ffnen", "Datei", QKeySequence(Qt::CTRL | Qt::Key_O), 1);
  action("ProjektSpeichern", "Projekt speichern", "Datei", QKeySequence(Qt::CTRL | Qt::Key_S), 2);
  action("ProjektSpeichernUnter", "Projekt speichern unter", "Datei",
         QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S), 3);
  action("ProjektBeenden", "Beenden", "Datei", QKeySequence(Qt::ALT | Qt::Key_F4), 4);
  action("ProjektBildOeffnen", "Bild \366ffnen", "Datei",
         QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_O), 5);
  action("ProjektBildSpeichernUnter", "Bild speichern unter", "Datei",
         QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_S), 6);
  action("BearbeitenHauptprogramm", "Hauptprogramm", "Bearbeiten",
         QKeySequence(Qt::CTRL | Qt::Key_H), 7);
  action("BearbeitenMausknopfGedrueckt", "Ereignisbehandlung f\xFCr 'Mausknopf gedr\374ckt'",
         "Bearbeiten", QKeySequence(Qt::CTRL | Qt::Key_M), 8);
  action("BearbeitenVariablen", "Variablen", "Bearbeiten", QKeySequence(Qt::CTRL | Qt::Key_I), 9);
  action("BearbeitenFunktionen", "Funktionen", "Bearbeiten", QKeySequence(Qt::CTRL | Qt::Key_F),
         10);
  action("StartStarten", "Starten", "Start", QKeySequence(Qt::Key_F1), 11);
  action("StartAbbrechen", "Abbrechen", "Start", QKeySequence(Qt::Key_F2), 12);
}

void TestMainWindow::parts() {
  QFETCH(QString, name);
  QFETCH(QVariantMap, shown);
  Rig rig;
  const QList<QObject*> found = rig.form.findChildren<QObject*>(name);
  QObject* part = rig.form.objectName() == name ? &rig.form : found.value(0);
  QVERIFY2(part != nullptr && found.size() <= 1, "one part of that name");
  for (auto it = shown.cbegin(); it != shown.cend(); ++it) {
    const QVariant actual = Shown(*part, it.key());
    QString what;
    QDebug(&what) << it.key() << actual << "expected" << it.value();
    QVERIFY2(actual == it.value(), qPrintable(what));
  }
}

// What the fixed places hold: the client area with the status bar, texts that fit their
// room, the check boxes inside their frame, the start picture and the hidden dialogs.
void TestMainWindow::layoutFits() {
  Rig rig;
  TForm1& f = rig.form;
  QCOMPARE(f.centralWidget()->size() + QSize(0, f.statusBar()->height()), QSize(435, 504));
  const auto fits = [](const QWidget* w, const QString& text, int room) {
    return w->fontMetrics().horizontalAdvance(text) <= room;
  };
  QVERIFY(
      fits(f.StatusChangedPanel, Cp("ge\xE4ndert"), 45 - 2 * f.StatusChangedPanel->frameWidth()));
  QVERIFY(fits(f.CheckBox2, f.CheckBox2->text(), f.CheckBox2->width() - 20));
  // Both check boxes, their captions included, end inside the top bevel's frame.
  const QRect inside_bevel = f.Bevel1->contentsRect().translated(f.Bevel1->pos());
  for (const QCheckBox* box : {f.CheckBox1, f.CheckBox2}) {
    QVERIFY(inside_bevel.contains(box->geometry()));
    QVERIFY(box->sizeHint().width() <= box->width());
  }
  QVERIFY(fits(f.Label5, QStringLiteral("-21474836,47-21474836,47*i"), f.Label5->width()));
  QVERIFY(!f.windowIcon().isNull());
  // The start picture: 400 x 400, white corners, a logo in the middle.
  const QImage& picture = rig.session.canvas.Image();
  QCOMPARE(picture.size(), QSize(400, 400));
  QCOMPARE(picture.pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
  QVERIFY(!AllWhite(picture));
  // The dialogs exist from the start, hidden.
  QVERIFY(f.FormFkten && f.FormVars && f.FormPrgEditor);
  QVERIFY(!f.FormPrgEditor->isVisible());
}

void TestMainWindow::menus_data() {
  QTest::addColumn<int>("index");
  QTest::addColumn<QString>("title");
  QTest::addColumn<QStringList>("items");
  QTest::newRow("Datei") << 0 << QStringLiteral("Datei")
                         << QStringList{Cp("Neues Projekt"),
                                        "-",
                                        Cp("Projekt \366ffnen"),
                                        "Projekt speichern",
                                        "Projekt speichern unter",
                                        "-",
                                        Cp("Bild \366ffnen"),
                                        "Bild speichern unter",
                                        "-",
                                        "Beenden",
                                        "-",
                                        Cp("Bild drucken \x85"),
                                        "Bild kopieren",
                                        Cp("Bild exportieren \x85")};
  QTest::newRow("Bearbeiten") << 1 << QStringLiteral("Bearbeiten")
                              << QStringList{
                                     "Funktionen",
                                     "Variablen",
                                     "-",
                                     "Hauptprogramm",
                                     Cp("Ereignisbehandlung f\xFCr 'Mausknopf gedr\374ckt'"),
                                     "-",
                                     "Regler"};
  QTest::newRow("Start") << 2 << QStringLiteral("Start")
                         << QStringList{"Starten",
                                        "Abbrechen",
                                        "-",
                                        "Einzelschritt",
                                        Cp("Schritt zur\xFC"
                                           "ck"),
                                        "Fortsetzen",
                                        "Haltepunkt an/aus",
                                        "-",
                                        "Ablauf anzeigen"};
  QTest::newRow("Hilfe") << 3 << QStringLiteral("Hilfe")
                         << QStringList{Cp("Sprach\374bersicht"), "Beispiele", "-",
                                        Cp("\334ber Ombrix")};
}

void TestMainWindow::menus() {
  QFETCH(int, index);
  QFETCH(QString, title);
  QFETCH(QStringList, items);
  Rig rig;
  const QList<QAction*> top = rig.form.menuBar()->actions();
  QCOMPARE(top.size(), 4);
  QMenu* menu = top[index]->menu();
  QCOMPARE(menu->title(), title);
  QStringList shown;
  for (QAction* a : menu->actions()) shown << (a->isSeparator() ? QStringLiteral("-") : a->text());
  QCOMPARE(shown, items);
}

void TestMainWindow::fileDialogs_data() {
  QTest::addColumn<int>("kind");
  QTest::addColumn<QString>("title");
  QTest::addColumn<QString>("suffix");
  QTest::addColumn<QString>("shown_first");
  QTest::addColumn<int>("filter_count");
  QTest::newRow("open project") << int(FileDialogKind::OpenProject) << Cp("Projekt \366ffnen")
                                << "omp"
                                << "Nur Ombrix-Projekte (*.omp)" << 2;
  QTest::newRow("save project") << int(FileDialogKind::SaveProject) << "Projekt speichern"
                                << "omp"
                                << "Nur Ombrix-Projekte (*.omp)" << 2;
  QTest::newRow("open picture") << int(FileDialogKind::OpenPicture) << Cp("Ombrix-Bild \366ffnen")
                                << "bmp"
                                << "Bitmaps (*.bmp)" << 7;
  QTest::newRow("save picture") << int(FileDialogKind::SavePicture) << "Ombrix-Bild speichern unter"
                                << "bmp"
                                << "Bitmaps (*.bmp)" << 7;
}

void TestMainWindow::fileDialogs() {
  QFETCH(int, kind);
  QFETCH(QString, title);
  QFETCH(QString, suffix);
  QFETCH(QString, shown_first);
  QFETCH(int, filter_count);
  const FileDialogSetup setup = DialogSetup(static_cast<FileDialogKind>(kind));
  QCOMPARE(setup.title, title);
  QCOMPARE(setup.default_suffix, suffix);
  QCOMPARE(setup.selected_filter, shown_first);
  QCOMPARE(setup.filters.size(), filter_count);
  QVERIFY(setup.filters.contains(setup.selected_filter));
  if (setup.kind == FileDialogKind::OpenPicture || setup.kind == FileDialogKind::SavePicture) {
    QCOMPARE(setup.filters[0], QStringLiteral("Alle (*.jpg *.jpeg *.bmp *.png *.ico *.emf *.wmf)"));
    QCOMPARE(setup.filters[1], QStringLiteral("JPEG-Grafikdatei (*.jpg *.jpeg)"));
    QVERIFY(setup.filters.contains(QStringLiteral("PNG-Grafikdatei (*.png)")));
  } else {
    QCOMPARE(setup.filters[1], QStringLiteral("Alle Dateien (*.*)"));
  }
}

void TestMainWindow::toolkitFilters_data() {
  QTest::addColumn<QString>("toolkit");
  QTest::addColumn<QStringList>("qt");
  QTest::newRow("one pair") << "Bitmaps (*.bmp)|*.bmp" << QStringList{"Bitmaps (*.bmp)"};
  QTest::newRow("semicolons") << "Alle (*.a;*.b)|*.a;*.b" << QStringList{"Alle (*.a *.b)"};
  QTest::newRow("comma means both")
      << "JPEG (*.jpg)|*.jpg,*.jpeg" << QStringList{"JPEG (*.jpg *.jpeg)"};
  QTest::newRow("description without patterns") << "Alles|*.*" << QStringList{"Alles (*.*)"};
  QTest::newRow("dangling description dropped") << "A|*.a|B" << QStringList{"A (*.a)"};
  QTest::newRow("empty") << "" << QStringList{};
}

void TestMainWindow::toolkitFilters() {
  QFETCH(QString, toolkit);
  QFETCH(QStringList, qt);
  QCOMPARE(ToolkitFilterToQt(toolkit), qt);
}

void TestMainWindow::newProjectWithoutChanges() {
  Rig rig;
  rig.session.project.functions.SetLastFunction(kFirstUserFunction);
  rig.session.project.functions.SetName(kFirstUserFunction, "g");
  rig.AddVariable("x", 4);
  rig.Main() = {"x:=1"};
  rig.Mouse() = {"x:=2"};
  rig.session.interp.CurrentLine = {1, 1};
  rig.session.drawing.SetDrawColour(0x80FF00);
  rig.session.ProjectFileName = QStringLiteral("/tmp/p.omp");
  // A picture of another size was opened.
  QImage wide(600, 300, QImage::Format_RGB32);
  wide.fill(Qt::black);
  rig.session.record.Load(rig.session.canvas, wide);
  rig.form.ProjektNeuExecute();
  QCOMPARE(rig.session.canvas.Image().size(), QSize(400, 400));
  QVERIFY(rig.boxes.boxes.empty());
  QCOMPARE(rig.session.project.functions.LastFunction(), kFirstUserFunction - 1);
  QCOMPARE(rig.session.project.variables.LastVariable(), 2);
  QCOMPARE(rig.session.project.variables.Name(2), std::string("Pi"));
  QVERIFY(rig.Main().empty() && rig.Mouse().empty());
  QCOMPARE(rig.session.interp.CurrentLine[0], 0);
  QCOMPARE(rig.session.interp.CurrentLine[1], 0);
  QCOMPARE(rig.session.drawing.DrawColour(), kBlack);
  QCOMPARE(rig.form.StatusFilePanel->text(), QStringLiteral("{ohne Namen}"));
  QCOMPARE(rig.session.ProjectFileName, QStringLiteral("{ohne Namen}"));
  QVERIFY(rig.form.StatusChangedPanel->text().isEmpty());
  QVERIFY(AllWhite(rig.session.canvas.Image()));
}

void TestMainWindow::newProjectWithChanges_data() {
  QTest::addColumn<bool>("answer");
  QTest::newRow("Abbrechen keeps everything") << false;
  QTest::newRow("OK proceeds") << true;
}

void TestMainWindow::newProjectWithChanges() {
  QFETCH(bool, answer);
  Rig rig;
  rig.Main() = {"x:=1"};
  rig.session.ProjectChanged = true;
  rig.form.StatusChangedPanel->setText(Cp("ge\xE4ndert"));
  rig.boxes.answers = {answer};
  rig.form.ProjektNeuExecute();
  QCOMPARE(rig.boxes.boxes.size(), std::size_t{1});
  QVERIFY(rig.boxes.boxes[0].confirm);
  QCOMPARE(rig.boxes.boxes[0].text, std::string(kDiscard));
  QCOMPARE(rig.Main().empty(), answer);
  QCOMPARE(rig.session.ProjectChanged, !answer);
  QCOMPARE(rig.Changed(), std::string(answer ? "" : "ge\xE4ndert"));
}

void TestMainWindow::saveUnnamedAsksForName_data() {
  QTest::addColumn<bool>("changed");
  QTest::newRow("changed") << true;
  QTest::newRow("unchanged") << false;
}

void TestMainWindow::saveUnnamedAsksForName() {
  QFETCH(bool, changed);
  Rig rig;
  rig.session.ProjectChanged = changed;
  rig.form.ProjektSpeichernExecute();  // the dialog is cancelled
  QCOMPARE(rig.files.asked.size(), std::size_t{1});
  QCOMPARE(rig.files.asked[0].title, QStringLiteral("Projekt speichern"));
  QVERIFY(rig.files.asked[0].save);
  QCOMPARE(rig.session.ProjectChanged, changed);
  QCOMPARE(rig.session.ProjectFileName, QStringLiteral("{ohne Namen}"));
}

void TestMainWindow::saveAndSaveAs() {
  QTemporaryDir dir;
  Rig rig;
  rig.Main() = {"x:=1", "ZeichnePunkt(x)"};
  rig.session.ProjectChanged = true;
  rig.form.StatusChangedPanel->setText(Cp("ge\xE4ndert"));
  const QString path = dir.filePath(QStringLiteral("eins.omp"));
  rig.files.answers = {path};
  rig.form.ProjektSpeichernExecute();  // unnamed: save as
  QCOMPARE(rig.session.ProjectFileName, path);
  QCOMPARE(rig.form.StatusFilePanel->text(), path);
  QVERIFY(!rig.session.ProjectChanged);
  QVERIFY(rig.form.StatusChangedPanel->text().isEmpty());
  ProjectContent back;
  QVERIFY(!LoadProject(back, QFile::encodeName(path).toStdString()));
  QCOMPARE(back.programs[MainProgram], rig.Main());
  // Named now: "Projekt speichern" writes without a dialog.
  rig.Main().push_back("L\xF6scheBild");
  rig.session.ProjectChanged = true;
  rig.form.ProjektSpeichernExecute();
  QCOMPARE(rig.files.asked.size(), std::size_t{1});
  QVERIFY(!LoadProject(back, QFile::encodeName(path).toStdString()));
  QCOMPARE(back.programs[MainProgram].size(), std::size_t{3});
  QVERIFY(rig.boxes.boxes.empty());
}

void TestMainWindow::dialogsStartWhereTheUserWas() {
  QTemporaryDir projects;
  QTemporaryDir pictures;
  Rig rig;
  const QString project = WriteProject(projects, QStringLiteral("eins.omp"), {}, {});
  const QString picture = pictures.filePath(QStringLiteral("bild.bmp"));
  rig.files.answers = {project, std::nullopt, std::nullopt, picture, std::nullopt};
  rig.form.ProjektOeffnenExecute();
  rig.form.ProjektOeffnenExecute();
  rig.form.ProjektSpeichernUnterExecute();
  rig.form.ProjektBildSpeichernUnterExecute();
  rig.form.ProjektBildOeffnenExecute();
  QCOMPARE(rig.files.asked.size(), std::size_t{5});
  const QString home = QDir::homePath();
  const QStringList expected{home, QFileInfo(project).absolutePath(),
                             QFileInfo(project).absoluteFilePath(), home,
                             QFileInfo(picture).absolutePath()};
  QStringList started;
  for (const FileDialogSetup& setup : rig.files.asked) started << setup.start;
  QCOMPARE(started, expected);
}

void TestMainWindow::failedSaveKeepsChanges_data() {
  QTest::addColumn<bool>("save_as");
  QTest::newRow("Projekt speichern") << false;
  QTest::newRow("Projekt speichern unter") << true;
}

void TestMainWindow::failedSaveKeepsChanges() {
  QFETCH(bool, save_as);
  QTemporaryDir dir;
  Rig rig;
  const QString good = dir.filePath(QStringLiteral("gut.omp"));
  const QString bad = dir.filePath(QStringLiteral("fehlt/nirgends.omp"));
  rig.session.ProjectFileName = save_as ? good : bad;
  rig.form.StatusFilePanel->setText(rig.session.ProjectFileName);
  rig.session.ProjectChanged = true;
  rig.form.StatusChangedPanel->setText(Cp("ge\xE4ndert"));
  if (save_as) {
    rig.files.answers = {bad};
    rig.form.ProjektSpeichernUnterExecute();
  } else {
    rig.form.ProjektSpeichernExecute();
  }
  QCOMPARE(rig.boxes.boxes.size(), std::size_t{1});
  QCOMPARE(rig.boxes.boxes[0].kind, MessageKind::Error);
  QVERIFY(!rig.boxes.boxes[0].text.empty());
  QVERIFY(rig.session.ProjectChanged);
  QCOMPARE(rig.Changed(), std::string("ge\xE4ndert"));
  QCOMPARE(rig.session.ProjectFileName, save_as ? good : bad);
  QCOMPARE(rig.form.StatusFilePanel->text(), save_as ? good : bad);
  QVERIFY(!QFile::exists(bad));
}

void TestMainWindow::openOpensEditors_data() {
  QTest::addColumn<QStringList>("main");
  QTest::addColumn<QStringList>("mouse");
  QTest::addColumn<QStringList>("captions");
  QTest::addColumn<int>("how");
  const QString m = Cp(kMainCaption);
  const QString h = Cp(kMouseCaption);
  const int dialog = int(OpenedBy::Dialog);
  QTest::newRow("both programs") << QStringList{"x:=1"} << QStringList{"y:=2"} << QStringList{m, h}
                                 << dialog;
  QTest::newRow("main only") << QStringList{"x:=1", ""} << QStringList{} << QStringList{m}
                             << dialog;
  QTest::newRow("mouse only") << QStringList{} << QStringList{"y:=2"} << QStringList{h} << dialog;
  QTest::newRow("none") << QStringList{} << QStringList{} << QStringList{} << dialog;
  QTest::newRow("example, both programs") << QStringList{"x:=1"} << QStringList{"y:=2"}
                                          << QStringList{m, h} << int(OpenedBy::ExamplesMenu);
  QTest::newRow("example, none") << QStringList{} << QStringList{} << QStringList{}
                                 << int(OpenedBy::ExamplesMenu);
  QTest::newRow("command line, both programs") << QStringList{"x:=1"} << QStringList{"y:=2"}
                                               << QStringList{m, h} << int(OpenedBy::CommandLine);
}

void TestMainWindow::openOpensEditors() {
  QFETCH(QStringList, main);
  QFETCH(QStringList, mouse);
  QFETCH(QStringList, captions);
  QFETCH(int, how);
  auto lines = [](const QStringList& l) {
    ProgramText p;
    for (const QString& s : l) p.push_back(FromQt(s));
    return p;
  };
  QTemporaryDir dir;
  const QString path = WriteProject(dir, QStringLiteral("p.omp"), lines(main), lines(mouse));
  Rig rig;
  ModalDriver driver;
  OpenBy(rig, OpenedBy(how), path);
  QStringList seen;
  for (const ModalVisit& v : driver.visits) seen << ToQt(v.title);
  QCOMPARE(seen, captions);
  // An example opens as an unnamed copy.
  const QString name = OpenedBy(how) == OpenedBy::ExamplesMenu ? QString(kUnnamedProject) : path;
  QCOMPARE(rig.session.ProjectFileName, name);
  QCOMPARE(rig.form.StatusFilePanel->text(), name);
  QVERIFY(!rig.session.ProjectChanged);
  QCOMPARE(rig.session.project.functions.LastFunction(), kFirstUserFunction);
  QCOMPARE(rig.Main(), lines(main));
  QVERIFY(rig.boxes.boxes.empty());
}

void TestMainWindow::openAsksBeforeDroppingChanges_data() {
  QTest::addColumn<bool>("changed");
  QTest::addColumn<bool>("answer");
  QTest::addColumn<bool>("opened");
  QTest::addColumn<int>("how");
  for (const auto& [how, name] :
       {std::pair{OpenedBy::Dialog, "dialog"}, std::pair{OpenedBy::ExamplesMenu, "example"}}) {
    const std::string by = std::string(" (") + name + ")";
    QTest::newRow(("no changes: no question" + by).c_str()) << false << false << true << int(how);
    QTest::newRow(("changes, Abbrechen keeps everything" + by).c_str())
        << true << false << false << int(how);
    QTest::newRow(("changes, OK opens" + by).c_str()) << true << true << true << int(how);
  }
}

void TestMainWindow::openAsksBeforeDroppingChanges() {
  QFETCH(bool, changed);
  QFETCH(bool, answer);
  QFETCH(bool, opened);
  QFETCH(int, how);
  QTemporaryDir dir;
  const QString path = WriteProject(dir, QStringLiteral("p.omp"), {}, {});
  Rig rig;
  rig.Main() = {"x:=1"};
  rig.session.ProjectChanged = changed;
  rig.boxes.answers = {answer};
  OpenBy(rig, OpenedBy(how), path);
  QCOMPARE(rig.boxes.boxes.size(), std::size_t{changed ? 1u : 0u});
  if (changed) QCOMPARE(rig.boxes.boxes[0].text, std::string(kDiscard));
  const bool asks_name = opened && OpenedBy(how) == OpenedBy::Dialog;
  QCOMPARE(rig.files.asked.size(), std::size_t{asks_name ? 1u : 0u});
  QCOMPARE(rig.Main().empty(), opened);
  QCOMPARE(rig.session.ProjectChanged, !opened);
}

void TestMainWindow::openSelectsNothing_data() {
  QTest::addColumn<int>("how");
  QTest::newRow("dialog") << int(OpenedBy::Dialog);
  QTest::newRow("example") << int(OpenedBy::ExamplesMenu);
  QTest::newRow("command line") << int(OpenedBy::CommandLine);
}

// The previous project stopped at its line 2; the opened one has not run at all.
void TestMainWindow::openSelectsNothing() {
  QFETCH(int, how);
  QTemporaryDir dir;
  const QString path =
      WriteProject(dir, QStringLiteral("p.omp"), {"a:=1", "b:=2", "c:=3"}, {"b:=2", "c:=3"});
  Rig rig;
  rig.session.interp.CurrentLine = {1, 1};
  ModalDriver driver;
  OpenBy(rig, OpenedBy(how), path);
  QCOMPARE(driver.visits.size(), std::size_t{2});
  for (const ModalVisit& visit : driver.visits) {
    QCOMPARE(visit.selected, std::string());
    QCOMPARE(visit.selection_start, -1);
  }
  QCOMPARE(rig.session.interp.CurrentLine[MainProgram], 0);
  QCOMPARE(rig.session.interp.CurrentLine[MouseHandlerProgram], 0);
}

void TestMainWindow::exampleSavesOnlyUnderANewName_data() {
  QTest::addColumn<bool>("save_as");  // Ctrl+Alt+S, or Ctrl+S
  QTest::addColumn<bool>("cancel");
  QTest::newRow("Ctrl+S asks for a name") << false << false;
  QTest::newRow("Ctrl+S, Abbrechen keeps the copy unnamed") << false << true;
  QTest::newRow("Ctrl+Alt+S") << true << false;
}

// The examples folder may be read-only (installed) or the source tree's (run from a
// build): neither is written, and the dialog starts at home under the example's name.
void TestMainWindow::exampleSavesOnlyUnderANewName() {
  QFETCH(bool, save_as);
  QFETCH(bool, cancel);
  QTemporaryDir examples;
  QTemporaryDir elsewhere;
  const QString example = WriteProject(examples, QStringLiteral("spirale.omp"), {}, {});
  const QByteArray shipped = [&] {
    QFile f(example);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }();
  Rig rig;
  rig.session.ProjectFileName = QStringLiteral("/alt/projekt.omp");
  OpenBy(rig, OpenedBy::ExamplesMenu, example);
  QVERIFY(rig.boxes.boxes.empty());
  QCOMPARE(rig.session.ProjectFileName, QString(kUnnamedProject));
  QCOMPARE(rig.form.StatusFilePanel->text(), QString(kUnnamedProject));
  QCOMPARE(rig.form.windowTitle(), ToQt(kApplicationTitle));
  QVERIFY(!rig.session.ProjectChanged);

  rig.session.project.programs[MainProgram] = {"x:=2"};
  rig.session.ProjectChanged = true;
  const QString copy = elsewhere.filePath(QStringLiteral("meine.omp"));
  rig.files.answers = {cancel ? std::optional<QString>() : copy};
  if (save_as) {
    rig.form.ProjektSpeichernUnterExecute();
  } else {
    rig.form.ProjektSpeichernExecute();
  }
  QCOMPARE(rig.files.asked.size(), std::size_t{1});
  QCOMPARE(rig.files.asked[0].kind, FileDialogKind::SaveProject);
  QCOMPARE(rig.files.asked[0].start, QDir::home().filePath(QStringLiteral("spirale.omp")));
  QFile after(example);
  QVERIFY(after.open(QIODevice::ReadOnly));
  QCOMPARE(after.readAll(), shipped);
  QCOMPARE(QFile::exists(copy), !cancel);
  QCOMPARE(rig.session.ProjectFileName, cancel ? QString(kUnnamedProject) : copy);
  QCOMPARE(rig.session.ProjectChanged, cancel);

  // A new project is no copy of the example any more.
  if (!cancel) return;
  rig.session.ProjectChanged = false;
  rig.form.ProjektNeuExecute();
  rig.form.ProjektSpeichernExecute();
  QCOMPARE(rig.files.asked.back().start, QDir::homePath());
}

void TestMainWindow::failedOpenKeepsProject_data() {
  QTest::addColumn<QByteArray>("content");
  QTest::addColumn<bool>("exists");
  QTest::addColumn<int>("kind");
  QTest::addColumn<QString>("message");
  QTest::addColumn<int>("how");
  const int dialog = int(OpenedBy::Dialog);
  const int command_line = int(OpenedBy::CommandLine);
  // %1 stands for the file's path: every way of opening names it, in the "Fehler" box.
  const QString no_project = Cp("Die Datei \"%1\" ist keine g\xFCltige Projektdatei: ");
  QTest::newRow("not a number") << QByteArray("abc\xA7") << true << int(MessageKind::Error)
                                << no_project + Cp("'abc' ist kein g\xFCltiger Integerwert.")
                                << dialog;
  QTest::newRow("a picture file, in the dialog")
      << QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\x01\x90\xA7", 21) << true
      << int(MessageKind::Error)
      << no_project + Cp("'\x89PNG????????IHDR???"
                         "?' ist kein g\xFCltiger Integerwert.")
      << dialog;
  QTest::newRow("missing file") << QByteArray() << false << -1 << QString() << dialog;
  QTest::newRow("missing file on the command line")
      << QByteArray() << false << -1 << QString() << int(OpenedBy::CommandLine);
  QTest::newRow("not a number, from the command line")
      << QByteArray("abc\xA7") << true << int(MessageKind::Error)
      << no_project + Cp("'abc' ist kein g\xFCltiger Integerwert.") << command_line;
  QTest::newRow("bytes that print nothing, from the command line")
      << QByteArray("\x01\x1B[2Ja\tb\x7F\x81\xE4\xA7") << true << int(MessageKind::Error)
      << no_project + Cp("'??[2Ja?b??\xE4' ist kein g\xFCltiger Integerwert.") << command_line;
  QTest::newRow("a long field, from the command line")
      << QByteArray(100000, '7') + "x\xA7" << true << int(MessageKind::Error)
      << no_project + Cp("'") + QString(40, QLatin1Char('7')) +
             Cp("\x85' ist kein g\xFCltiger Integerwert.")
      << command_line;
  QTest::newRow("a real field, from the command line")
      << QByteArray(
             "0\xA7i\xA7"
             "1e99999\xA7")
      << true << int(MessageKind::Error)
      << no_project + Cp("'1e99999' ist kein g\xFCltiger Gleitkommawert.") << command_line;
  QTest::newRow("bytes that print nothing, in the dialog")
      << QByteArray(
             "\x01\x02"
             "a\xA7")
      << true << int(MessageKind::Error)
      << no_project + Cp("'??a' ist kein g\xFCltiger Integerwert.") << dialog;
  QTest::newRow("cut short, from the command line")
      << QByteArray("2\xA7i\2470\xA7") << true << int(MessageKind::Error)
      << Cp("Die Datei \"%1\" ist keine g\xFCltige Projektdatei: Sie endet vorzeitig.")
      << command_line;
  QTest::newRow("cut short") << QByteArray("2\xA7i\2470\xA7") << true << -1 << QString() << dialog;
}

void TestMainWindow::failedOpenKeepsProject() {
  QFETCH(QByteArray, content);
  QFETCH(bool, exists);
  QFETCH(int, kind);
  QFETCH(QString, message);
  QFETCH(int, how);
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("kaputt.omp"));
  if (exists) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
  }
  Rig rig;
  rig.Main() = {"x:=1"};
  rig.session.ProjectFileName = QStringLiteral("/alt/projekt.omp");
  rig.form.StatusFilePanel->setText(rig.session.ProjectFileName);
  OpenBy(rig, OpenedBy(how), path);
  QCOMPARE(rig.boxes.boxes.size(), std::size_t{1});
  if (kind >= 0) QCOMPARE(int(rig.boxes.boxes[0].kind), kind);
  if (!message.isEmpty()) QCOMPARE(ToQt(rig.boxes.boxes[0].text), message.arg(path));
  QVERIFY(!rig.boxes.boxes[0].text.empty());
  QCOMPARE(rig.Main(), ProgramText{"x:=1"});
  QCOMPARE(rig.session.ProjectFileName, QStringLiteral("/alt/projekt.omp"));
  QCOMPARE(rig.form.StatusFilePanel->text(), QStringLiteral("/alt/projekt.omp"));
}

void TestMainWindow::openConvertsTheOtherSeparator_data() {
  QTest::addColumn<int>("how");
  QTest::newRow("dialog") << int(OpenedBy::Dialog);
  QTest::newRow("command line") << int(OpenedBy::CommandLine);
}

// Saved on a German computer, opened on an English one: it opens, converted, and counts
// as changed until it is saved with ".".
void TestMainWindow::openConvertsTheOtherSeparator() {
  QFETCH(int, how);
  QTemporaryDir dir;
  Rig rig;
  const QString path = WriteProject(dir, QStringLiteral("deutsch.omp"), {"x:=2,5*e"}, {});
  SetDecimalSeparator('.');
  ModalDriver driver;
  OpenBy(rig, OpenedBy(how), path);
  QVERIFY(rig.boxes.boxes.empty());
  QCOMPARE(rig.Main(), ProgramText{"x:=2.5*e"});
  QCOMPARE(rig.session.project.variables.StartValue(1).Re, 2.71828182845905);
  QVERIFY(rig.session.ProjectChanged);
  QCOMPARE(rig.Changed(), FromQt(ToQt("ge\xE4ndert")));
  QCOMPARE(rig.session.ProjectFileName, path);
  rig.form.ProjektSpeichernExecute();
  QVERIFY(!rig.session.ProjectChanged);
  QFile saved(path);
  QVERIFY(saved.open(QIODevice::ReadOnly));
  QVERIFY(saved.readAll().contains("2.71828182845905\xA7"));
  SetDecimalSeparator(',');
}

void TestMainWindow::nonLatinFileName() {
  QTemporaryDir dir;
  Rig rig;
  rig.Main() = {"x:=1"};
  const QString path = dir.filePath(QString::fromUtf8("\xE5\x9B\xBE\xE5\xBD\xA2 \xD0\xBF.omp"));
  rig.files.answers = {path};
  rig.form.ProjektSpeichernUnterExecute();
  QVERIFY(rig.boxes.boxes.empty());
  QVERIFY(QFile::exists(path));
  QCOMPARE(rig.form.StatusFilePanel->text(), path);
  Rig other;
  ModalDriver driver;
  other.files.answers = {path};
  other.form.ProjektOeffnenExecute();
  QCOMPARE(other.session.ProjectFileName, path);
  QCOMPARE(other.Main(), ProgramText{"x:=1"});
}

void TestMainWindow::closeQuery_data() {
  QTest::addColumn<bool>("changed");
  QTest::addColumn<bool>("answer");
  QTest::addColumn<bool>("closes");
  QTest::addColumn<int>("questions");
  QTest::newRow("no changes") << false << false << true << 0;
  QTest::newRow("changes, Abbrechen keeps the window") << true << false << false << 1;
  QTest::newRow("changes, OK closes") << true << true << true << 1;
}

void TestMainWindow::closeQuery() {
  QFETCH(bool, changed);
  QFETCH(bool, answer);
  QFETCH(bool, closes);
  QFETCH(int, questions);
  Rig rig;
  rig.form.show();
  rig.session.ProjectChanged = changed;
  rig.boxes.answers = {answer};
  QCOMPARE(rig.form.close(), closes);
  QCOMPARE(rig.form.isVisible(), !closes);
  QCOMPARE(int(rig.boxes.boxes.size()), questions);
}

void TestMainWindow::quitWithOk() {
  Rig rig;
  rig.form.show();
  rig.Main() = {"Solange(1)", "EndeSolange"};
  rig.form.StartRun();
  QVERIFY(rig.session.flags.MainRunning);
  rig.session.ProjectChanged = true;
  rig.boxes.answers = {true};
  rig.form.ProjektBeenden->trigger();
  QVERIFY(!rig.form.isVisible());
  QCOMPARE(rig.boxes.boxes.size(), std::size_t{1});  // no second question from the close
  QVERIFY(!rig.session.flags.MainRunning);
  QVERIFY(!rig.form.IdleActive());
}

void TestMainWindow::dialogsAlwaysMarkChanged_data() {
  QTest::addColumn<QString>("action");
  QTest::newRow("Funktionen") << "BearbeitenFunktionen";
  QTest::newRow("Variablen") << "BearbeitenVariablen";
}

void TestMainWindow::dialogsAlwaysMarkChanged() {
  QFETCH(QString, action);
  Rig rig;
  ModalDriver driver;
  rig.form.findChild<QAction*>(action)->trigger();
  QCOMPARE(driver.visits.size(), std::size_t{1});
  QVERIFY(rig.session.ProjectChanged);
  QCOMPARE(rig.Changed(), std::string("ge\xE4ndert"));
  QCOMPARE(rig.session.project.variables.LastVariable(), 2);
}

void TestMainWindow::editorMarksOnlyWhenTyped_data() {
  QTest::addColumn<QString>("action");
  QTest::addColumn<bool>("type");
  QTest::newRow("main program, no typing") << "BearbeitenHauptprogramm" << false;
  QTest::newRow("main program, typed") << "BearbeitenHauptprogramm" << true;
  QTest::newRow("mouse program, no typing") << "BearbeitenMausknopfGedrueckt" << false;
  QTest::newRow("mouse program, typed") << "BearbeitenMausknopfGedrueckt" << true;
}

void TestMainWindow::editorMarksOnlyWhenTyped() {
  QFETCH(QString, action);
  QFETCH(bool, type);
  Rig rig;
  ModalDriver driver;
  driver.actions.push_back([type](QDialog& d) {
    auto& editor = dynamic_cast<TFormPrgEditor&>(d);
    if (type) QTest::keyClicks(editor.Memo1, QStringLiteral("x:=1"));
  });
  rig.form.findChild<QAction*>(action)->trigger();
  QCOMPARE(driver.visits.size(), std::size_t{1});
  QCOMPARE(rig.session.ProjectChanged, type);
  QCOMPARE(rig.Changed(), std::string(type ? "ge\xE4ndert" : ""));
  const int slot = action == QLatin1String("BearbeitenHauptprogramm") ? 0 : 1;
  QCOMPARE(rig.session.project.programs[slot].size(), std::size_t{type ? 1u : 0u});
}

void TestMainWindow::fitsALowScreen_data() {
  QTest::addColumn<int>("available");
  QTest::addColumn<bool>("compact");
  QTest::newRow("room enough: as designed") << 1000 << false;
  QTest::newRow("1000 pixels at scale 2, less a title bar") << 500 - 32 << true;
}

// At scale 2 a 1000-pixel screen holds 500 pixels of the window's own: the strip and the
// margins close up, the picture stays whole and where the mouse finds it.
void TestMainWindow::fitsALowScreen() {
  QFETCH(int, available);
  QFETCH(bool, compact);
  Rig rig;
  const QSize designed = rig.form.sizeHint();
  rig.form.FitScreenHeight(available);
  QVERIFY(rig.form.sizeHint().height() <= std::max(available, designed.height()));
  QCOMPARE(rig.form.sizeHint() == designed, !compact);
  QCOMPARE(rig.form.Image1->size(), QSize(400, 400));
  const QRect picture(rig.form.Image1->mapTo(&rig.form, QPoint(0, 0)), QSize(400, 400));
  QVERIFY(rig.form.Bevel2->geometry().contains(rig.form.Image1->geometry()));
  QVERIFY(!rig.form.Bevel1->geometry().intersects(rig.form.Bevel2->geometry()));
  QVERIFY(rig.form.rect().contains(picture));
  for (QWidget* w :
       {static_cast<QWidget*>(rig.form.Label5), static_cast<QWidget*>(rig.form.CheckBox2)})
    QVERIFY(rig.form.Bevel1->geometry().contains(w->geometry()));
}

void TestMainWindow::functionGridShowsWhereItIs_data() {
  QTest::addColumn<int>("users");  // user functions in the table
  QTest::addColumn<int>("added");
  QTest::newRow("one added") << 0 << 1;
  QTest::newRow("five added") << 0 << 5;
  QTest::newRow("ten, on opening") << 10 << 0;
  QTest::newRow("forty, on opening") << 40 << 0;
  QTest::newRow("forty, one added") << 40 << 1;
}

// The function grid's scroll bar shows where its view is, and the view shows the row of
// the new function, whose term is being edited.
void TestMainWindow::functionGridShowsWhereItIs() {
  QFETCH(int, users);
  QFETCH(int, added);
  Rig rig;
  for (int n = 0; n < users; ++n)
    AddFunction(rig.session.project.functions, "g" + std::to_string(n), "#");
  rig.form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&rig.form));
  ModalDriver driver;
  int top = -2;
  int bar = -1;
  bool current_shown = false;
  driver.actions.push_back([&](QDialog& d) {
    auto& form = dynamic_cast<TFormFkten&>(d);
    for (int n = 0; n < added; ++n) {
      form.Edit1->setText(QStringLiteral("f%1").arg(n));
      form.Button1->click();
    }
    QTest::qWait(20);
    TValueListEditor* grid = form.ValueListEditor1;
    top = grid->rowAt(0);
    bar = grid->verticalScrollBar()->value();
    current_shown = grid->viewport()->rect().contains(grid->visualRect(grid->currentIndex()));
  });
  rig.form.BearbeitenFunktionenExecute();
  QCOMPARE(driver.visits.size(), std::size_t{1});
  QCOMPARE(top, bar);
  QVERIFY(current_shown);
}

void TestMainWindow::loadPicture_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QByteArray>("format");
  QTest::addColumn<QSize>("size");
  QTest::newRow("bmp") << "bild.bmp" << QByteArray("BMP") << QSize(120, 80);
  QTest::newRow("upper-case BMP") << "BILD.BMP" << QByteArray("BMP") << QSize(400, 400);
  QTest::newRow("png") << "bild.png" << QByteArray("PNG") << QSize(500, 300);
  QTest::newRow("jpg") << "bild.jpg" << QByteArray("JPG") << QSize(64, 64);
  QTest::newRow("jpeg") << "bild.jpeg" << QByteArray("JPG") << QSize(64, 64);
  QTest::newRow("ico") << "bild.ico" << QByteArray("ICO") << QSize(32, 32);
}

void TestMainWindow::loadPicture() {
  QFETCH(QString, name);
  QFETCH(QByteArray, format);
  QFETCH(QSize, size);
  QTemporaryDir dir;
  const QString path = dir.filePath(name);
  QImage source(size, QImage::Format_ARGB32);
  source.fill(Qt::transparent);
  QPainter(&source).fillRect(0, 0, size.width() / 2, size.height(), QColor(200, 0, 0));
  QVERIFY(source.save(path, format.constData()));
  Rig rig;
  rig.files.answers = {path};
  rig.form.ProjektBildOeffnenExecute();
  QVERIFY(rig.boxes.boxes.empty());
  const QImage& picture = rig.session.canvas.Image();
  QCOMPARE(picture.size(), size);
  QCOMPARE(rig.session.drawing.Width(), size.width());
  QVERIFY(qRed(picture.pixel(1, 1)) > 150 && qGreen(picture.pixel(1, 1)) < 60);
  // Transparent parts show white (formats without alpha were saved on black or white).
  if (format == "PNG" || format == "ICO")
    QCOMPARE(picture.pixel(size.width() - 1, 0) & 0xFFFFFF, 0xFFFFFFu);
  QVERIFY(!rig.session.ProjectChanged);
  QCOMPARE(rig.files.asked[0].title, Cp("Ombrix-Bild \366ffnen"));
}

void TestMainWindow::refusedPicture_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QByteArray>("content");
  QTest::addColumn<QString>("message");
  QTest::newRow("broken emf") << "a.emf" << QByteArray("x") << Cp("Metadatei ist ung\xFCltig.");
  QTest::newRow("broken upper-case WMF")
      << "a.WMF" << QByteArray("x") << Cp("Metadatei ist ung\xFCltig.");
  QTest::newRow("gif") << "a.gif" << QByteArray("GIF89a")
                       << "Unbekannte Bilddateierweiterung (.gif)";
  QTest::newRow("no extension") << "bild" << QByteArray("x")
                                << "Unbekannte Bilddateierweiterung (.)";
  QTest::newRow("broken bitmap") << "kaputt.bmp" << QByteArray("BM nonsense")
                                 << Cp("Bitmap ist ung\xFCltig.");
  QTest::newRow("empty png") << "leer.png" << QByteArray() << Cp("PNG-Bild ist ung\xFCltig.");
}

void TestMainWindow::refusedPicture() {
  QFETCH(QString, name);
  QFETCH(QByteArray, content);
  QFETCH(QString, message);
  QTemporaryDir dir;
  const QString path = dir.filePath(name);
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(content);
  file.close();
  Rig rig;
  const QImage before = rig.session.canvas.Image();
  rig.files.answers = {path};
  rig.form.ProjektBildOeffnenExecute();
  QCOMPARE(rig.boxes.boxes.size(), std::size_t{1});
  QCOMPARE(rig.boxes.boxes[0].kind, MessageKind::Fault);
  QCOMPARE(ToQt(rig.boxes.boxes[0].text), message);
  QCOMPARE(rig.session.canvas.Image(), before);
}

void TestMainWindow::savePicture_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QByteArray>("written");  // the format read back
  QTest::newRow("bmp") << "b.bmp" << QByteArray("bmp");
  QTest::newRow("png") << "b.png" << QByteArray("png");
  QTest::newRow("jpg") << "b.jpg" << QByteArray("jpeg");
  QTest::newRow("JPEG") << "b.JPEG" << QByteArray("jpeg");
  QTest::newRow("other extension gets a bitmap") << "b.txt" << QByteArray("bmp");
  QTest::newRow("emf") << "b.emf" << QByteArray("emf");
  QTest::newRow("wmf") << "b.wmf" << QByteArray("wmf");
}

void TestMainWindow::savePicture() {
  QFETCH(QString, name);
  QFETCH(QByteArray, written);
  QTemporaryDir dir;
  const QString path = dir.filePath(name);
  Rig rig;
  rig.files.answers = {path};
  rig.form.ProjektBildSpeichernUnterExecute();
  QCOMPARE(rig.files.asked[0].title, QStringLiteral("Ombrix-Bild speichern unter"));
  QVERIFY(rig.boxes.boxes.empty());
  if (written == "emf" || written == "wmf") {  // Qt reads no metafiles: load them back
    const std::variant<QImage, std::string> loaded = LoadPictureFile(path);
    QVERIFY(std::holds_alternative<QImage>(loaded));
    // The start picture carries the colour space of its resource; the pixels must match.
    QImage saved = rig.session.canvas.Image();
    saved.setColorSpace(QColorSpace());
    QCOMPARE(std::get<QImage>(loaded), saved);
    return;
  }
  QImageReader reader(path);
  reader.setDecideFormatFromContent(true);
  QCOMPARE(reader.format(), written);
  QCOMPARE(reader.read().size(), QSize(400, 400));
  QVERIFY(!rig.session.ProjectChanged);
}

void TestMainWindow::drawingOnLoadedPicture() {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("s.ico"));
  QImage icon(32, 32, QImage::Format_ARGB32);
  icon.fill(Qt::transparent);
  QVERIFY(icon.save(path, "ICO"));
  Rig rig;
  rig.files.answers = {path};
  rig.form.ProjektBildOeffnenExecute();
  QCOMPARE(rig.session.canvas.Width(), 32);
  rig.Main() = {"ZeichnePunkt(0)"};
  rig.form.StartRun();
  rig.form.IdleStep();
  QCOMPARE(rig.boxes.boxes.size(), std::size_t{1});  // the success box, nothing refused
  QCOMPARE(rig.session.canvas.Image().pixel(16, 16) & 0xFFFFFF, 0u);
}

void TestMainWindow::slowPictureKeepsTheWindowAlive_data() {
  QTest::addColumn<QString>("stop");  // how the user ends the wait
  QTest::newRow("Escape") << "escape";
  QTest::newRow("Abbrechen (F2)") << "f2";
  QTest::newRow("closing the window") << "close";
}

// A metafile its reader needs seconds for: meanwhile the window repaints, holds back what
// the user clicks, takes no second picture, and stops the load when asked.
void TestMainWindow::slowPictureKeepsTheWindowAlive() {
  QFETCH(QString, stop);
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("langsam.wmf"));
  {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(ManyLargeEllipses());
  }
  Rig rig;
  rig.form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&rig.form));
  const QImage before = rig.session.canvas.Image();
  rig.files.answers = {path};
  PaintCounter paints(rig.form.Image1);
  int ticks = 0;
  QTimer beat;
  connect(&beat, &QTimer::timeout, [&] {
    ++ticks;
    rig.form.Image1->update();
    if (ticks == 3) QTest::mouseClick(rig.form.CheckBox1, Qt::LeftButton);  // would start
    if (ticks == 4) rig.form.ProjektBildOeffnenExecute();                   // a second load
    if (ticks != 8) return;
    if (stop == QLatin1String("escape")) QTest::keyClick(&rig.form, Qt::Key_Escape);
    if (stop == QLatin1String("f2")) QTest::keyClick(&rig.form, Qt::Key_F2);
    if (stop == QLatin1String("close")) rig.form.close();
  });
  beat.start(10);
  rig.form.ProjektBildOeffnenExecute();
  beat.stop();
  QVERIFY(ticks >= 8);
  QVERIFY(paints.paints >= 2);
  QVERIFY(!rig.form.CheckBox1->isChecked());
  QVERIFY(!rig.session.flags.MainRunning);
  QCOMPARE(rig.files.asked.size(), std::size_t{1});
  QVERIFY(rig.boxes.boxes.empty());
  QCOMPARE(rig.session.canvas.Image(), before);
  QCoreApplication::processEvents();
  QCOMPARE(rig.form.isVisible(), stop != QLatin1String("close"));
}

void TestMainWindow::localeChange() {
  Rig rig;
  const char system = SystemDecimalSeparator();
  SetDecimalSeparator(system == ',' ? '.' : ',');
  QEvent change(QEvent::LocaleChange);
  QCoreApplication::sendEvent(QCoreApplication::instance(), &change);
  QCOMPARE(DecimalSeparator(), system);
  SetDecimalSeparator(system == ',' ? '.' : ',');
  QCoreApplication::sendEvent(&rig.form, &change);
  QCOMPARE(DecimalSeparator(), system);
}

QTEST_MAIN(TestMainWindow)
#include "test_unitform1.moc"
