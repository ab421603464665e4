#include "ui/Unitform1.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <algorithm>
#include <cstring>
#include <new>
#include <utility>
#include <variant>

#include "logic/complex/fault.h"
#include "platform/picture_files.h"
#include "platform/qt_text.h"
#include "ui/Unitformablauf.h"
#include "ui/Unitformfkten.h"
#include "ui/Unitformprgeditor.h"
#include "ui/Unitformvars.h"
#include "ui/controls_panel.h"
#include "ui/examples.h"
#include "ui/help_window.h"
#include "ui/picture_box.h"
#include "ui/picture_output.h"
#include "ui/reader_wait.h"

// The pictures and icons are compiled into the ui library; a static library has to
// register them itself. Q_INIT_RESOURCE must be used outside any namespace.
static void InitResources() { Q_INIT_RESOURCE(ombrix); }

namespace ombrix {

namespace {

const char* const kConfirmDiscard = "Wollen Sie Ihre \xC4nderungen am Projekt\nwirklich verwerfen?";
const char* const kChanged = "ge\xE4ndert";
const char* const kOutOfMemory = "Zu wenig Arbeitsspeicher";
const char* const kPausedStatus = "Angehalten vor Zeile %1 \x96 F5 setzt fort";
const char* const kAboutTitle = "\334ber Ombrix";
const char* const kAboutText =
    "Eine Lernumgebung zum Rechnen und Zeichnen mit komplexen Zahlen: Terme, eigene "
    "Funktionen und kleine deutsche Programme, die die komplexe Zahlenebene bemalen.\n\n"
    "Lizenz: GNU General Public License, Version 3 oder sp\xE4ter\n(GPL-3.0-or-later).";

// While a modal box is open the run waits until it is closed; the timer then only
// looks now and then whether the box has gone.
constexpr int kPausedPollMs = 15;
// Inside a long line or a long mouse-click run the window handles its events this often:
// it repaints and "Abbrechen" comes through well within a tenth of a second.
constexpr std::chrono::milliseconds kLineEventsInterval{30};

constexpr int kClientWidth = 435;
constexpr int kClientHeight = 504;
constexpr int kStatusHeight = 20;
constexpr int kCheckBoxLeft = 208;
constexpr double kSmallestPoints = 6.0;  // below this the caption is no longer readable
// A live run that takes longer than this shows its drawing instead of the last picture,
// so that a long or endless main program is not hidden behind it.
constexpr qint64 kLiveCopyLimitMs = 1500;

std::filesystem::path FilePath(const QString& name) {
  const QByteArray encoded = QFile::encodeName(name);
  return std::filesystem::path(std::string(encoded.constData(), encoded.size()));
}

QFont CourierNew() {
  QFont font(QStringLiteral("Courier New"), 9);
  font.setStyleHint(QFont::TypeWriter);
  return font;
}

}  // namespace

TForm1::TForm1(Session& session, MessageBoxes& boxes, FileDialogs& files, QWidget* parent)
    : QMainWindow(parent),
      session_(session),
      boxes_(boxes, [this] { ShowPicture(); }),
      files_(files),
      history_canvas_(session.canvas),
      interpreter_(session.project, session.drawing, history_canvas_, boxes_, session.flags,
                   session.interp),
      run_(interpreter_, session.project, session.drawing, session.flags, session.interp),
      debugger_(run_, interpreter_, session.project, session.drawing, session.interp,
                history_canvas_) {
  InitResources();
  interpreter_.RecordDrawing(&session_.record.commands);
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(ToQt(kApplicationTitle));
  setWindowIcon(QIcon(QStringLiteral(":/ombrix/ombrix.png")));
  CreateComponents();
  CreateActions();
  CreateMenus();
  // The dialogs come after the window, in this order, hidden until used.
  FormFkten = new TFormFkten(boxes_, this);
  FormVars = new TFormVars(boxes_, this);
  FormPrgEditor = new TFormPrgEditor(session_.ProjectChanged, boxes_, this);
  for (QDialog* dialog : {static_cast<QDialog*>(FormFkten), static_cast<QDialog*>(FormVars),
                          static_cast<QDialog*>(FormPrgEditor)}) {
    dialog->setWindowModality(Qt::WindowModal);  // the language guide stays usable
  }
  FormRegler = new ControlsPanel(session_, boxes_, this);
  FormRegler->OnValueChanged = [this](bool dragging) {
    Guarded([&] { ControlChanged(dragging); });
  };
  FormRegler->OnDragEnded = [this] {
    Guarded([&] {
      if (restart_pending_) RestartLive();
    });
  };
  FormRegler->OnControlsChanged = [this] {
    session_.ProjectChanged = true;
    MarkChangedPanel();
    Image1->update();
  };
  Image1->Handles = [this] { return FormRegler->Handles(); };
  // Terms outside a run stop as a long program line does; F2 then stops the run too.
  FormRegler->TermInterrupt = &term_wait_;
  debugger_.SetTermInterrupt(&term_wait_);
  term_wait_.OnAbbrechen = [this] {
    if (run_.MainRunning()) StopRun();
  };
  // "Starten" and "Abbrechen" work from the panel too, where the hand is while dragging.
  FormRegler->addActions({StartStarten, StartAbbrechen});

  // The application's idle event: a zero-interval timer while the main program runs.
  idle_timer_.setObjectName(QStringLiteral("ApplicationEvents1"));
  idle_timer_.setInterval(0);
  connect(&idle_timer_, &QTimer::timeout, this, [this] { Guarded([this] { IdleStep(); }); });
  run_.SetLineWait([this] { WhileLineRuns(); });
  run_.SetMouseWait([this] { return WhileClickRuns(); }, kLineEventsInterval);
  // The regional settings may change while Ombrix runs; the application hears of it.
  if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
  FormCreate();
}

TForm1::~TForm1() {
  delete FormHilfe;
  delete FormAblauf;  // it shows the debugger, which goes before the window's children do
  if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

void TForm1::CreateComponents() {
  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("ClientArea"));
  client->setFixedSize(kClientWidth, kClientHeight - kStatusHeight);
  setCentralWidget(client);

  Bevel1 = new QFrame(client);
  Bevel1->setObjectName(QStringLiteral("Bevel1"));
  Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
  Bevel1->setGeometry(8, 2, 419, 56);
  Bevel2 = new QFrame(client);
  Bevel2->setObjectName(QStringLiteral("Bevel2"));
  Bevel2->setFrameStyle(QFrame::Box | QFrame::Sunken);
  Bevel2->setGeometry(8, 60, 419, 408);

  Label4 = new QLabel(QStringLiteral("Mausposition:"), client);
  Label4->setObjectName(QStringLiteral("Label4"));
  Label4->setGeometry(16, 8, 180, 16);
  Label5 = new QLabel(QStringLiteral("0"), client);
  Label5->setObjectName(QStringLiteral("Label5"));
  Label5->setFont(CourierNew());
  Label5->setGeometry(16, 24, 188, 16);

  // The check boxes end inside the bevel's frame, one pixel short of its inner edge.
  const int box_width = Bevel1->x() + Bevel1->contentsRect().right() - kCheckBoxLeft;
  CheckBox1 = new QCheckBox(QStringLiteral("Hauptprogramm aktiv?"), client);
  CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
  CheckBox1->setGeometry(kCheckBoxLeft, 8, box_width, 17);
  CheckBox2 = new QCheckBox(ToQt("Ereignisbehandlung f\xFCr Mausklick aktiv?"), client);
  CheckBox2->setObjectName(QStringLiteral("CheckBox2"));
  CheckBox2->setGeometry(kCheckBoxLeft, 24, box_width, 17);
  // The top strip uses the small dialog font, so that the long caption fits its place;
  // where the fonts of this machine are wider, it gets smaller still until it fits.
  QFont small = CheckBox1->font();
  small.setPointSizeF(8);
  small.setStretch(QFont::SemiCondensed);
  CheckBox2->setFont(small);
  while (CheckBox2->sizeHint().width() > box_width && small.pointSizeF() > kSmallestPoints) {
    small.setPointSizeF(small.pointSizeF() - 0.25);
    CheckBox2->setFont(small);
  }
  for (QWidget* w : {static_cast<QWidget*>(Label4), static_cast<QWidget*>(CheckBox1)}) {
    w->setFont(small);
  }
  // A change of state counts however it came about: a click or an operation.
  connect(CheckBox1, &QCheckBox::toggled, this, [this] { Guarded([this] { CheckBox1Click(); }); });
  connect(CheckBox2, &QCheckBox::toggled, this, [this] { Guarded([this] { CheckBox2Click(); }); });

  Image1 = new PictureBox(session_.canvas, client);
  Image1->move(16, 64);
  Image1->OnMouseDown = [this](Qt::MouseButton b, int x, int y) {
    Guarded([&] { Image1MouseDown(b, x, y); });
  };
  Image1->OnMouseMove = [this](int x, int y) { Guarded([&] { Image1MouseMove(x, y); }); };
  Image1->OnMouseUp = [this](Qt::MouseButton b, int x, int y) {
    Guarded([&] { Image1MouseUp(b, x, y); });
  };

  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("StatusBar1"));
  bar->setSizeGripEnabled(false);
  bar->setFixedHeight(kStatusHeight);
  StatusFilePanel = new QLabel(bar);
  StatusFilePanel->setObjectName(QStringLiteral("StatusFilePanel"));
  StatusFilePanel->setFixedWidth(355);
  StatusChangedPanel = new QLabel(bar);
  StatusChangedPanel->setObjectName(QStringLiteral("StatusChangedPanel"));
  StatusChangedPanel->setFixedWidth(45);
  // A narrow small font, so that the change mark fits its 45 pixels.
  QFont panel_font = Label4->font();
  panel_font.setStretch(QFont::Condensed);
  for (QLabel* panel : {StatusFilePanel, StatusChangedPanel}) {
    panel->setFont(panel_font);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar->addWidget(panel);
  }
  layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void TForm1::FitScreenHeight(int available_height) {
  if (sizeHint().height() <= available_height) return;
  // 32 pixels less: the strip 18 lower, the picture's frame 14 closer to the status bar.
  constexpr int kRise = 18;
  for (QWidget* w : {static_cast<QWidget*>(Label4), static_cast<QWidget*>(Label5),
                     static_cast<QWidget*>(CheckBox1), static_cast<QWidget*>(CheckBox2)}) {
    w->move(w->x(), w->y() - 4);
  }
  Bevel1->setGeometry(Bevel1->x(), Bevel1->y(), Bevel1->width(), Bevel1->height() - kRise);
  Bevel2->move(Bevel2->x(), Bevel2->y() - kRise);
  Image1->move(Image1->x(), Image1->y() - kRise);
  centralWidget()->setFixedHeight(Bevel2->geometry().bottom() + 3);
  adjustSize();
}

QAction* TForm1::MakeAction(const char* name, const char* caption, const char* category,
                            const QKeySequence& shortcut, int image_index,
                            void (TForm1::*handler)()) {
  auto* action = new QAction(ToQt(caption), this);
  action->setObjectName(QString::fromLatin1(name));
  action->setShortcut(shortcut);
  action->setProperty("category", ToQt(category));
  if (image_index >= 0) {
    action->setProperty("imageIndex", image_index);
    action->setIcon(
        QIcon(QStringLiteral(":/ombrix/icons/%1.png").arg(image_index, 2, 10, QLatin1Char('0'))));
  }
  // "Start" and "Hilfe" act at once, the project's actions once a step has been left.
  const bool waits_for_line =
      std::strcmp(category, "Datei") == 0 || std::strcmp(category, "Bearbeiten") == 0;
  connect(action, &QAction::triggered, this, [this, handler, waits_for_line] {
    if (waits_for_line) {
      ActOnProject([this, handler] { (this->*handler)(); });
    } else {
      Guarded([&] { (this->*handler)(); });
    }
  });
  addAction(action);  // the shortcuts work wherever the focus is in the window
  return action;
}

void TForm1::CreateActions() {
  ProjektNeu =
      MakeAction("ProjektNeu", "Neues Projekt", "Datei",
                 QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_N), 0, &TForm1::ProjektNeuExecute);
  ProjektOeffnen =
      MakeAction("ProjektOeffnen", "Projekt \366ffnen", "Datei", QKeySequence(Qt::CTRL | Qt::Key_O),
                 1, &TForm1::ProjektOeffnenExecute);
  ProjektSpeichern =
      MakeAction("ProjektSpeichern", "Projekt speichern", "Datei",
                 QKeySequence(Qt::CTRL | Qt::Key_S), 2, &TForm1::ProjektSpeichernExecute);
  ProjektSpeichernUnter = MakeAction("ProjektSpeichernUnter", "Projekt speichern unter", "Datei",
                                     QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S), 3,
                                     &TForm1::ProjektSpeichernUnterExecute);
  ProjektBeenden =
      MakeAction("ProjektBeenden", "Beenden", "Datei", QKeySequence(Qt::ALT | Qt::Key_F4), 4,
                 &TForm1::ProjektBeendenExecute);
  ProjektBildOeffnen = MakeAction("ProjektBildOeffnen", "Bild \366ffnen", "Datei",
                                  QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_O), 5,
                                  &TForm1::ProjektBildOeffnenExecute);
  ProjektBildSpeichernUnter = MakeAction("ProjektBildSpeichernUnter", "Bild speichern unter",
                                         "Datei", QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_S), 6,
                                         &TForm1::ProjektBildSpeichernUnterExecute);
  ProjektBildDrucken =
      MakeAction("ProjektBildDrucken", "Bild drucken \x85", "Datei",
                 QKeySequence(Qt::CTRL | Qt::Key_P), 13, &TForm1::ProjektBildDruckenExecute);
  ProjektBildKopieren =
      MakeAction("ProjektBildKopieren", "Bild kopieren", "Datei",
                 QKeySequence(Qt::CTRL | Qt::Key_C), 14, &TForm1::ProjektBildKopierenExecute);
  ProjektBildExportieren = MakeAction("ProjektBildExportieren", "Bild exportieren \x85", "Datei",
                                      QKeySequence(), 15, &TForm1::ProjektBildExportierenExecute);
  BearbeitenHauptprogramm =
      MakeAction("BearbeitenHauptprogramm", "Hauptprogramm", "Bearbeiten",
                 QKeySequence(Qt::CTRL | Qt::Key_H), 7, &TForm1::BearbeitenHauptprogrammExecute);
  BearbeitenMausknopfGedrueckt = MakeAction("BearbeitenMausknopfGedrueckt",
                                            "Ereignisbehandlung f\xFCr 'Mausknopf gedr\374ckt'",
                                            "Bearbeiten", QKeySequence(Qt::CTRL | Qt::Key_M), 8,
                                            &TForm1::BearbeitenMausknopfGedruecktExecute);
  BearbeitenVariablen =
      MakeAction("BearbeitenVariablen", "Variablen", "Bearbeiten",
                 QKeySequence(Qt::CTRL | Qt::Key_I), 9, &TForm1::BearbeitenVariablenExecute);
  BearbeitenFunktionen =
      MakeAction("BearbeitenFunktionen", "Funktionen", "Bearbeiten",
                 QKeySequence(Qt::CTRL | Qt::Key_F), 10, &TForm1::BearbeitenFunktionenExecute);
  StartStarten = MakeAction("StartStarten", "Starten", "Start", QKeySequence(Qt::Key_F1), 11,
                            &TForm1::StartStartenExecute);
  StartAbbrechen = MakeAction("StartAbbrechen", "Abbrechen", "Start", QKeySequence(Qt::Key_F2), 12,
                              &TForm1::StartAbbrechenExecute);
  StartEinzelschritt = MakeAction("StartEinzelschritt", "Einzelschritt", "Start",
                                  QKeySequence(Qt::Key_F8), -1, &TForm1::StartEinzelschrittExecute);
  StartSchrittZurueck = MakeAction("StartSchrittZurueck",
                                   "Schritt zur\xFC"
                                   "ck",
                                   "Start", QKeySequence(Qt::SHIFT | Qt::Key_F8), -1,
                                   &TForm1::StartSchrittZurueckExecute);
  StartFortsetzen = MakeAction("StartFortsetzen", "Fortsetzen", "Start", QKeySequence(Qt::Key_F5),
                               -1, &TForm1::StartFortsetzenExecute);
  StartHaltepunkt = MakeAction("StartHaltepunkt", "Haltepunkt an/aus", "Start",
                               QKeySequence(Qt::Key_F9), -1, &TForm1::StartHaltepunktExecute);
  StartAblaufAnzeigen = MakeAction("StartAblaufAnzeigen", "Ablauf anzeigen", "Start",
                                   QKeySequence(), -1, &TForm1::StartAblaufAnzeigenExecute);
  BearbeitenRegler = MakeAction("BearbeitenRegler", "Regler", "Bearbeiten", QKeySequence(), -1,
                                &TForm1::BearbeitenReglerExecute);
  // F1 starts a program, so the guide has no shortcut of its own.
  HilfeSprachuebersicht = MakeAction("HilfeSprachuebersicht", "Sprach\374bersicht", "Hilfe",
                                     QKeySequence(), -1, &TForm1::HilfeSprachuebersichtExecute);
  HilfeUeber = MakeAction("HilfeUeber", kAboutTitle, "Hilfe", QKeySequence(), -1,
                          &TForm1::HilfeUeberExecute);
}

void TForm1::CreateMenus() {
  QMenuBar* menu = menuBar();
  menu->setObjectName(QStringLiteral("MainMenu1"));
  QMenu* datei = menu->addMenu(QStringLiteral("Datei"));
  datei->setObjectName(QStringLiteral("Datei1"));
  datei->addAction(ProjektNeu);
  datei->addSeparator();
  datei->addAction(ProjektOeffnen);
  datei->addAction(ProjektSpeichern);
  datei->addAction(ProjektSpeichernUnter);
  datei->addSeparator();
  datei->addAction(ProjektBildOeffnen);
  datei->addAction(ProjektBildSpeichernUnter);
  datei->addSeparator();
  datei->addAction(ProjektBeenden);
  datei->addSeparator();
  datei->addAction(ProjektBildDrucken);
  datei->addAction(ProjektBildKopieren);
  datei->addAction(ProjektBildExportieren);
  QMenu* bearbeiten = menu->addMenu(QStringLiteral("Bearbeiten"));
  bearbeiten->setObjectName(QStringLiteral("Bearbeiten1"));
  bearbeiten->addAction(BearbeitenFunktionen);
  bearbeiten->addAction(BearbeitenVariablen);
  bearbeiten->addSeparator();
  bearbeiten->addAction(BearbeitenHauptprogramm);
  bearbeiten->addAction(BearbeitenMausknopfGedrueckt);
  bearbeiten->addSeparator();
  bearbeiten->addAction(BearbeitenRegler);
  QMenu* start = menu->addMenu(QStringLiteral("Start"));
  start->setObjectName(QStringLiteral("Start1"));
  start->addAction(StartStarten);
  start->addAction(StartAbbrechen);
  start->addSeparator();
  start->addAction(StartEinzelschritt);
  start->addAction(StartSchrittZurueck);
  start->addAction(StartFortsetzen);
  start->addAction(StartHaltepunkt);
  start->addSeparator();
  start->addAction(StartAblaufAnzeigen);
  QMenu* hilfe = menu->addMenu(QStringLiteral("Hilfe"));
  hilfe->setObjectName(QStringLiteral("Hilfe1"));
  hilfe->addAction(HilfeSprachuebersicht);
  Beispiele1 = hilfe->addMenu(QStringLiteral("Beispiele"));
  Beispiele1->setObjectName(QStringLiteral("Beispiele1"));
  FillExamplesMenu(ExamplesFolder());
  hilfe->addSeparator();
  hilfe->addAction(HilfeUeber);
}

void TForm1::FillExamplesMenu(const QString& folder) {
  Beispiele1->clear();
  for (const Example& example : ListExamples(folder)) {
    QAction* item = Beispiele1->addAction(example.title);
    item->setToolTip(example.path);
    connect(item, &QAction::triggered, this,
            [this, path = example.path] { ActOnProject([this, path] { OpenExample(path); }); });
  }
  Beispiele1->menuAction()->setEnabled(!Beispiele1->isEmpty() && !run_.MainRunning());
}

void TForm1::FormCreate() {
  // Qt paints widgets double-buffered already.
  run_.ResetCounters();
  QImage start(QStringLiteral(":/ombrix/start.png"));
  if (!start.isNull()) session_.record.Load(session_.canvas, start);
  ShowFileName();
  StatusChangedPanel->clear();
}

std::array<QAction*, kLockedActionCount> TForm1::LockedActions() const {
  return {ProjektNeu,
          ProjektOeffnen,
          ProjektSpeichern,
          ProjektSpeichernUnter,
          ProjektBildOeffnen,
          BearbeitenFunktionen,
          BearbeitenVariablen,
          BearbeitenHauptprogramm,
          BearbeitenMausknopfGedrueckt,
          StartStarten};
}

template <class F>
void TForm1::Guarded(F&& handler) {
  try {
    handler();
  } catch (const Fault& fault) {
    ShowFault(fault.what());
  } catch (const std::bad_alloc&) {
    ShowFault(kOutOfMemory);
  }
}

void TForm1::ShowFault(const std::string& message) {
  boxes_.Show(MessageKind::Fault, FaultDisplayText(message));
}

void TForm1::ShowProjectError(const ProjectError& error) {
  if (error.fault) {
    ShowFault(error.message);
  } else {
    boxes_.Show(MessageKind::Error, error.message);
  }
}

void TForm1::ShowFileName() {
  StatusFilePanel->setText(session_.ProjectFileName);
  StatusFilePanel->setToolTip(session_.ProjectFileName);
}

void TForm1::ShowPicture() {
  // A repaint at once: the box's own event loop would come to a mere update only after
  // the box is already on screen.
  if (Image1 != nullptr) Image1->repaint();
  // The box of a long mouse-click run takes its answer as any box does.
  click_hold_.reset();
}

void TForm1::MarkChangedPanel() { StatusChangedPanel->setText(ToQt(kChanged)); }

// ---------------------------------------------------------------- project lifecycle

void TForm1::ProjektNeuExecute() {
  if (session_.ProjectChanged && boxes_.Confirm(kConfirmDiscard)) session_.ProjectChanged = false;
  if (session_.ProjectChanged) return;
  session_.project.Reset();
  session_.controls = ControlSet{};
  FormRegler->Rebuild();
  ForgetDebugSettings();
  session_.ProjectFileName = QString::fromLatin1(kUnnamedProject);
  copy_of_.clear();
  run_.ResetCounters();
  // The white picture of 400 x 400, whatever size a picture opened before had.
  session_.canvas.SetImage(QImageCanvas().Image());
  session_.record.Clear(session_.canvas);
  Image1->update();
  ShowFileName();
  StatusChangedPanel->clear();
}

void TForm1::ProjektOeffnenExecute() {
  UncheckBoth();
  // Unsaved changes are not dropped without a question, as for a new project and quitting.
  if (session_.ProjectChanged && !boxes_.Confirm(kConfirmDiscard)) return;
  const std::optional<QString> chosen = files_.Choose(ProjectDialog(FileDialogKind::OpenProject));
  if (!chosen) return;
  OpenProjectFile(*chosen);
}

void TForm1::OpenExample(const QString& path) {
  UncheckBoth();
  if (session_.ProjectChanged && !boxes_.Confirm(kConfirmDiscard)) return;
  if (!LoadProjectFile(path)) return;
  session_.ProjectFileName = QString::fromLatin1(kUnnamedProject);
  copy_of_ = QFileInfo(path).fileName();
  ShowLoadedProject(path);
}

void TForm1::OpenProjectFile(const QString& path, OpenedFrom from) {
  if (!LoadProjectFile(path, from)) return;
  session_.ProjectFileName = path;
  copy_of_.clear();
  ShowLoadedProject(path);
}

bool TForm1::LoadProjectFile(const QString& path, OpenedFrom) {
  // The load takes the file over only when all of it was read; otherwise the open project,
  // its name and the status bar stay as they were. Its errors name the file.
  const std::optional<ProjectError> error =
      LoadProject(session_.project, FilePath(path), &load_converted_);
  if (!error) return true;
  ShowProjectError(*error);
  return false;
}

void TForm1::ShowLoadedProject(const QString& loaded_from) {
  // Converted from the other decimal separator, it differs from its file until saved.
  session_.ProjectChanged = load_converted_;
  ShowFileName();
  StatusChangedPanel->clear();
  if (load_converted_) MarkChangedPanel();
  // The opened project has not run yet: its programs start at their first line, and the
  // editors select nothing, since a selection would look like the mark of a failed line.
  run_.ResetCounters();
  ForgetDebugSettings();
  LoadControlsBeside(loaded_from);
  if (!session_.project.programs[MainProgram].empty()) {
    UncheckBoth();
    EditProgram(MainProgram, false);
  }
  if (!session_.project.programs[MouseHandlerProgram].empty()) {
    EditProgram(MouseHandlerProgram, false);
  }
}

void TForm1::ProjektSpeichernExecute() {
  if (session_.ProjectFileName == QLatin1String(kUnnamedProject)) {
    ProjektSpeichernUnterExecute();
    return;
  }
  UncheckBoth();
  if (const std::optional<ProjectError> error = SaveProjectAndControls(
          session_.project, session_.controls, FilePath(session_.ProjectFileName))) {
    ShowProjectError(*error);  // the changes are not saved: flag and panel stay
    return;
  }
  session_.ProjectChanged = false;
  StatusChangedPanel->clear();
}

void TForm1::ProjektSpeichernUnterExecute() {
  UncheckBoth();
  const std::optional<QString> chosen = files_.Choose(ProjectDialog(FileDialogKind::SaveProject));
  if (!chosen) return;
  if (const std::optional<ProjectError> error =
          SaveProjectAndControls(session_.project, session_.controls, FilePath(*chosen))) {
    ShowProjectError(*error);  // the project is not in that file: name, flag and panels stay
    return;
  }
  session_.ProjectFileName = *chosen;
  copy_of_.clear();
  session_.ProjectChanged = false;
  ShowFileName();
  StatusChangedPanel->clear();
}

void TForm1::ProjektBeendenExecute() {
  UncheckBoth();
  if (session_.ProjectChanged && boxes_.Confirm(kConfirmDiscard)) session_.ProjectChanged = false;
  if (!session_.ProjectChanged) close();
}

bool TForm1::FormClose() {
  if (session_.ProjectChanged && boxes_.Confirm(kConfirmDiscard)) session_.ProjectChanged = false;
  return !session_.ProjectChanged;
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (StepInProgress()) {
    event->ignore();
    StopRun();
    AfterLine([this] { close(); });
    return;
  }
  bool allowed = false;
  Guarded([&] { allowed = FormClose(); });
  if (allowed) {
    idle_timer_.stop();
    event->accept();
  } else {
    event->ignore();
  }
}

void TForm1::BearbeitenFunktionenExecute() {
  UncheckBoth();
  ExchangeFunctions(*FormFkten, session_.project.functions);
  session_.ProjectChanged = true;
  MarkChangedPanel();
}

void TForm1::BearbeitenVariablenExecute() {
  UncheckBoth();
  EvalContext context{session_.project.functions, session_.project.variables, session_.drawing,
                      boxes_};
  context.interrupt = &term_wait_;
  ExchangeVariables(*FormVars, session_.project.variables, context);
  session_.ProjectChanged = true;
  MarkChangedPanel();
  FormRegler->Rebuild();  // names and start values may have changed
  Image1->update();
}

void TForm1::BearbeitenHauptprogrammExecute() {
  UncheckBoth();
  EditProgram(MainProgram);
}

void TForm1::BearbeitenMausknopfGedruecktExecute() { EditProgram(MouseHandlerProgram); }

void TForm1::EditProgram(int slot, bool select_current_line) {
  ProgramText& program = session_.project.programs[static_cast<std::size_t>(slot)];
  // One batch for the whole load, so that a long program is not re-shown line by line.
  FormPrgEditor->BeginUpdate();
  try {
    LoadProgramIntoEditor(program, slot, *FormPrgEditor, boxes_);
  } catch (...) {
    FormPrgEditor->EndUpdate();
    throw;
  }
  FormPrgEditor->EndUpdate();
  FormPrgEditor->SetCurrentLine(
      program,
      select_current_line ? session_.interp.CurrentLine[static_cast<std::size_t>(slot)] : -1);
  ShowPicture();
  FormPrgEditor->exec();  // "OK" and the close box both keep the text
  StoreEditorIntoProgram(*FormPrgEditor, program);
  if (FormAblauf != nullptr) FormAblauf->RunChanged();  // it shows the edited text
  if (session_.ProjectChanged) MarkChangedPanel();
}

FileDialogSetup TForm1::ProjectDialog(FileDialogKind kind) const {
  FileDialogSetup setup = DialogSetup(kind);
  setup.start = QDir::homePath();
  // A copy of an example is offered under the example's name, in the home folder.
  if (kind == FileDialogKind::SaveProject && !copy_of_.isEmpty()) {
    setup.start = QDir(setup.start).filePath(copy_of_);
  }
  if (session_.ProjectFileName != QLatin1String(kUnnamedProject)) {
    const QFileInfo project(session_.ProjectFileName);
    setup.start =
        kind == FileDialogKind::SaveProject ? project.absoluteFilePath() : project.absolutePath();
  }
  return setup;
}

FileDialogSetup TForm1::PictureDialog(FileDialogKind kind) const {
  FileDialogSetup setup = DialogSetup(kind);
  setup.start = picture_folder_.isEmpty() ? QDir::homePath() : picture_folder_;
  return setup;
}

void TForm1::ProjektBildOeffnenExecute() {
  // A metafile's reader may work for seconds: the window repaints meanwhile, holds back
  // all input but the stop, and takes no second picture.
  if (loading_picture_) return;
  UncheckBoth();
  const std::optional<QString> chosen = files_.Choose(PictureDialog(FileDialogKind::OpenPicture));
  if (!chosen) return;
  picture_folder_ = QFileInfo(*chosen).absolutePath();
  loading_picture_ = true;
  std::variant<QImage, std::string> loaded;
  bool abandoned = false;
  bool close_asked = false;
  {
    WindowReaderWait wait(*this);
    loaded = LoadPictureFile(*chosen, &wait);
    abandoned = wait.Abandoned();
    close_asked = wait.CloseAsked();
  }
  loading_picture_ = false;
  if (close_asked) QTimer::singleShot(0, this, &QWidget::close);
  if (abandoned) return;  // the user stopped it: the picture stays, nothing to say
  if (const std::string* error = std::get_if<std::string>(&loaded)) {
    ShowFault(*error);  // the picture stays as it was
    return;
  }
  session_.record.Load(session_.canvas, std::get<QImage>(loaded));
  Image1->update();
}

void TForm1::ProjektBildSpeichernUnterExecute() {
  UncheckBoth();
  const std::optional<QString> chosen = files_.Choose(PictureDialog(FileDialogKind::SavePicture));
  if (!chosen) return;
  picture_folder_ = QFileInfo(*chosen).absolutePath();
  if (const std::optional<std::string> error = SavePictureFile(session_.canvas.Image(), *chosen)) {
    ShowFault(*error);
  }
}

void TForm1::ProjektBildDruckenExecute() {
  UncheckBoth();
  PrintPicture(this, session_);
}

void TForm1::ProjektBildKopierenExecute() { CopyPicture(session_); }

void TForm1::ProjektBildExportierenExecute() {
  UncheckBoth();
  const std::optional<QString> chosen = files_.Choose(PictureDialog(FileDialogKind::ExportPicture));
  if (!chosen) return;
  picture_folder_ = QFileInfo(*chosen).absolutePath();
  const QImage& pixels = session_.canvas.Image();
  if (const std::optional<std::string> error =
          ExportPictureFile(pixels, session_.record, *chosen)) {
    ShowFault(*error);
  }
}

// ---------------------------------------------------------------- help

void TForm1::HilfeSprachuebersichtExecute() {
  // Not modal, and a window of its own: the dialogs block only the main window, so the
  // guide stays usable beside the program editor.
  if (FormHilfe == nullptr) {
    FormHilfe = new HelpWindow();
    FormHilfe->setWindowIcon(windowIcon());
    FormHilfe->setAttribute(Qt::WA_QuitOnClose, false);  // closing Ombrix closes it too
    // Beside the window, so that the guide covers neither the picture nor the editor.
    if (const QScreen* screen = this->screen()) {
      const QRect place =
          BesideWindow(frameGeometry(), screen->availableGeometry(), FormHilfe->size());
      FormHilfe->resize(place.size());
      FormHilfe->move(place.topLeft());
    }
  }
  FormHilfe->show();
  FormHilfe->raise();
  FormHilfe->activateWindow();
}

void TForm1::HilfeUeberExecute() {
  boxes_.Show(MessageKind::Plain, std::string(kApplicationTitle) + "\n\n" + kAboutText,
              kAboutTitle);
}

// ---------------------------------------------------------------- run control

void TForm1::SetChecked(QCheckBox* box, bool checked) {
  const bool outer = run_control_changes_box_;
  run_control_changes_box_ = true;
  box->setChecked(checked);
  run_control_changes_box_ = outer;
}

void TForm1::SetLockedEnabled(bool enabled) {
  for (QAction* action : LockedActions()) action->setEnabled(enabled);
  Beispiele1->menuAction()->setEnabled(enabled && !Beispiele1->isEmpty());
}

void TForm1::CheckBox1Click() {
  if (run_control_changes_box_) return;
  if (CheckBox1->isChecked()) {
    StartRun();
  } else {
    StopRun();
  }
}

void TForm1::CheckBox2Click() { run_.SetMouseProgramEnabled(CheckBox2->isChecked()); }

void TForm1::StartRun() {
  debugger_.Start();
  ShowRunStarted();
  IdleStep();
}

void TForm1::ShowRunStarted() {
  SetChecked(CheckBox1, true);
  CheckBox2->setChecked(true);
  SetLockedEnabled(false);
}

void TForm1::StopRun() {
  run_.Stop();
  SetChecked(CheckBox1, false);
  SetLockedEnabled(true);
  idle_timer_.stop();
  ShowPauseState();
  if (FormAblauf != nullptr) FormAblauf->RunChanged();
  if (!restarting_) EndLiveRun();
}

void TForm1::UncheckBoth() {
  CheckBox1->setChecked(false);
  CheckBox2->setChecked(false);
  // A failed step clears the flags before the boxes are unchecked; the boxes then
  // change state and the handlers above bring flags and actions in line.
  run_.SetMouseProgramEnabled(false);
  if (run_.MainRunning()) StopRun();
}

void TForm1::StartIdle() {
  ShowPauseState();
  // Paused, only a step or "Fortsetzen" goes on; with a tempo, the next line waits.
  if (debugger_.State() == DebugState::Paused) {
    idle_timer_.stop();
    return;
  }
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(debugger_.UntilNextLine());
  idle_timer_.setInterval(static_cast<int>(std::clamp<std::int64_t>(wait.count(), 0, 1000)));
  if (!idle_timer_.isActive()) idle_timer_.start();
}

void TForm1::IdleStep() {
  if (stepping_) return;  // a box inside a step runs its own loop: no step in between
  if (!run_.MainRunning()) {
    idle_timer_.stop();
    return;
  }
  if (QApplication::activeModalWidget() != nullptr) {
    idle_timer_.start(kPausedPollMs);
    return;
  }
  idle_timer_.stop();
  AfterMainSteps(MainSteps([this] { return debugger_.Slice({idle_line_limit_, idle_slice_}); }));
}

RunOutcome TForm1::MainSteps(const std::function<RunOutcome()>& steps) {
  struct Stepping {
    TForm1& form;
    ~Stepping() {
      form.stepping_ = false;
      if (form.busy_cursor_) QApplication::restoreOverrideCursor();
      form.busy_cursor_ = false;
    }
  };
  const Stepping stepping{*this};
  stepping_ = true;
  line_events_ = std::chrono::steady_clock::now();
  return steps();
}

void TForm1::AfterMainSteps(RunOutcome outcome) {
  Image1->update();
  if (outcome == RunOutcome::Ended) {
    const bool live = live_run_;
    const bool pending = restart_pending_;
    StopRun();
    if (!live) {
      run_.FinishMain();
      return;
    }
    ++live_pictures_;
    if (pending) {
      RestartLive();  // the value the handle reached while this picture was drawn
    }
  } else if (outcome == RunOutcome::Failed) {
    if (live_run_) {
      // The failure's box has been shown once; more changes would show it again.
      FormRegler->SetLive(false);
      FormRegler->CancelDrag();
    }
    AfterFailedStep(MainProgram);
  } else if (run_.MainRunning()) {
    if (FormAblauf != nullptr) FormAblauf->RunChanged();
    if (live_run_ && live_clock_.elapsed() > kLiveCopyLimitMs) Image1->ShowCanvas();
    StartIdle();
  }
}

void TForm1::WhileLineRuns() {
  const auto now = std::chrono::steady_clock::now();
  if (now - line_events_ < kLineEventsInterval) return;
  if (!busy_cursor_) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
    busy_cursor_ = true;
  }
  // Nested in the step: IdleStep and the mouse-click program see `stepping_` and wait,
  // the project actions and closing wait through AfterLine; "Abbrechen" stops the run,
  // which abandons the line.
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  line_events_ = std::chrono::steady_clock::now();
}

bool TForm1::WhileClickRuns() {
  if (!click_hold_) click_hold_ = std::make_unique<WindowHold>(*this);
  Image1->update();  // what the run has drawn so far
  click_hold_->Turn();
  return click_hold_ != nullptr && click_hold_->Abandoned();  // a box may have released it
}

void TForm1::ActOnProject(const std::function<void()>& handler) {
  // Inside a step the programs and tables are in use: the run stops and the action waits.
  if (StepInProgress()) {
    StopRun();
    AfterLine([this, handler] { Guarded(handler); });
    return;
  }
  Guarded(handler);
}

bool TForm1::StepInProgress() const { return run_.LineInProgress() || run_.MouseRunInProgress(); }

void TForm1::AfterLine(std::function<void()> then) {
  QTimer::singleShot(0, this, [this, then = std::move(then)] {
    if (StepInProgress()) {
      AfterLine(then);
    } else {
      then();
    }
  });
}

void TForm1::AfterFailedStep(int slot) {
  // A failed step leaves its program's counter on the failed line.
  if (FormAblauf != nullptr) {
    FormAblauf->ShowFailure({slot, session_.interp.CurrentLine[static_cast<std::size_t>(slot)]});
  }
  run_.AfterFailure();
  UncheckBoth();
  // The editor opens on the failing line; no restart.
  if (slot == MainProgram) {
    BearbeitenHauptprogrammExecute();
  } else {
    BearbeitenMausknopfGedruecktExecute();
  }
}

void TForm1::RunMouseHandler() {
  if (stepping_) return;  // never inside a step of the main program
  bool held = false;
  bool abbrechen = false;
  bool close_asked = false;
  RunOutcome outcome = RunOutcome::Ended;
  {
    struct Stepping {
      TForm1& form;
      ~Stepping() {
        form.stepping_ = false;
        form.click_hold_.reset();
      }
    } const in_step{*this};
    stepping_ = true;
    outcome = debugger_.RunMouseProgram();
    held = click_hold_ != nullptr;
    abbrechen = held && click_hold_->AbbrechenAsked();
    close_asked = held && click_hold_->CloseAsked();
  }
  Image1->update();
  // The release of the button may have been held back with the other input.
  if (held && QGuiApplication::mouseButtons() == Qt::NoButton) run_.ReleaseMouse();
  if (abbrechen && run_.MainRunning()) StopRun();
  if (close_asked) QTimer::singleShot(0, this, &QWidget::close);
  if (outcome == RunOutcome::Failed) {
    FormRegler->CancelDrag();
    AfterFailedStep(MouseHandlerProgram);
  } else if (FormAblauf != nullptr) {
    FormAblauf->RunChanged();
  }
}

// ---------------------------------------------------------------- watching a run

bool TForm1::DialogOpen() { return QApplication::activeModalWidget() != nullptr; }

void TForm1::StartAblaufAnzeigenExecute() {
  if (FormAblauf == nullptr) {
    FormAblauf = new TFormAblauf(debugger_, session_.project, this);
    FormAblauf->setWindowIcon(windowIcon());
    // Not "Starten": the run window is not blocked while the editor or a dialog is open,
    // and a run must not start under them.
    FormAblauf->AddActions({StartAbbrechen, nullptr, StartEinzelschritt, StartSchrittZurueck,
                            StartFortsetzen, StartHaltepunkt});
    FormAblauf->OnTempoChanged = [this] {
      if (run_.MainRunning()) StartIdle();
    };
    FormAblauf->OnClosed = [this] {
      debugger_.SetHistoryEnabled(false);
      // Closed, the window's breakpoints, watches and tempo wait until it opens again.
      parked_debug_ = ParkDebugSettings(debugger_);
      if (run_.MainRunning()) StartIdle();
    };
  }
  if (!FormAblauf->isVisible()) RestoreDebugSettings(debugger_, std::exchange(parked_debug_, {}));
  // The history costs time and memory; it is kept while the run window is open.
  debugger_.SetHistoryEnabled(true);
  FormAblauf->ShowBeside(*this);
}

void TForm1::ForgetDebugSettings() {
  ParkDebugSettings(debugger_);
  parked_debug_ = {};
  if (FormAblauf != nullptr) FormAblauf->RunChanged();
}

void TForm1::ShowPauseState() {
  QString text;
  if (debugger_.State() == DebugState::Paused) {
    text = ToQt(kPausedStatus).arg(debugger_.NextLine().line + 1);
  }
  if (statusBar()->currentMessage() == text) return;
  if (text.isEmpty()) {
    statusBar()->clearMessage();
  } else {
    statusBar()->showMessage(text);
  }
}

void TForm1::StartEinzelschrittExecute() {
  StartAblaufAnzeigenExecute();
  if (stepping_ || DialogOpen()) return;  // never inside a step, a mouse-click run or a dialog
  const bool was_stopped = !run_.MainRunning();
  const RunOutcome outcome = MainSteps([this] { return debugger_.SingleStep(); });
  if (was_stopped && run_.MainRunning()) ShowRunStarted();
  AfterMainSteps(outcome);
}

void TForm1::StartSchrittZurueckExecute() {
  if (stepping_ || DialogOpen()) return;
  if (debugger_.State() == DebugState::Running) debugger_.Pause();
  if (const std::optional<std::string> refused = debugger_.StepBack()) {
    boxes_.Show(MessageKind::Information, *refused);
    return;
  }
  idle_timer_.stop();
  Image1->update();
  ShowPauseState();
  if (FormAblauf != nullptr) FormAblauf->RunChanged();
}

void TForm1::StartFortsetzenExecute() {
  if (debugger_.State() != DebugState::Paused || DialogOpen()) return;
  debugger_.Continue();
  if (FormAblauf != nullptr) FormAblauf->RunChanged();
  StartIdle();
}

void TForm1::StartHaltepunktExecute() {
  StartAblaufAnzeigenExecute();
  FormAblauf->ToggleSelectedBreakpoint();
}

void TForm1::Image1MouseMove(int x, int y) {
  run_.MoveMouse(x, y);
  Label5->setText(ToQt(MousePositionText(session_.drawing.MousePosition())));
  if (FormRegler->Dragging()) {
    FormRegler->DragTo(x, y);  // the mouse-click program does not run meanwhile
    return;
  }
  if (run_.MouseProgramDue()) RunMouseHandler();
}

void TForm1::Image1MouseDown(Qt::MouseButton button, int x, int y) {
  if (button == Qt::LeftButton && FormRegler->PressAt(x, y)) {
    Image1MouseMove(x, y);
    return;
  }
  run_.PressMouse();
  Image1MouseMove(x, y);
}

void TForm1::Image1MouseUp(Qt::MouseButton, int, int) {
  if (FormRegler->Dragging()) {
    FormRegler->EndDrag();
    return;
  }
  run_.ReleaseMouse();
}

// ---------------------------------------------------------------- controls

void TForm1::BearbeitenReglerExecute() {
  // The first time beside the window, so that it does not cover the picture.
  if (!FormRegler->isVisible() && !regler_placed_) {
    FormRegler->move(frameGeometry().topRight() + QPoint(8, 0));
    regler_placed_ = true;
  }
  FormRegler->show();
  FormRegler->raise();
  FormRegler->activateWindow();
}

void TForm1::LoadControlsBeside(const QString& path) {
  LoadedControls loaded = LoadControls(FilePath(path));
  session_.controls = std::move(loaded.set);
  FormRegler->Rebuild();
  Image1->update();
  if (loaded.message) boxes_.Show(MessageKind::Error, *loaded.message);
  if (!session_.controls.Empty()) BearbeitenReglerExecute();
}

void TForm1::ControlChanged(bool dragging) {
  session_.ProjectChanged = true;
  MarkChangedPanel();
  Image1->update();
  if (!session_.controls.live) return;
  // While a handle is held, a picture that is being drawn is finished first; the newest
  // value is taken when it is done, or when the handle is let go.
  if (dragging && live_run_ && run_.MainRunning()) {
    restart_pending_ = true;
    return;
  }
  RestartLive();
}

void TForm1::RestartLive() {
  restart_pending_ = false;
  // A box or a dialog is open (or a step runs its loop): the next change restarts.
  if (stepping_ || QApplication::activeModalWidget() != nullptr) return;
  if (!Image1->ShowsCopy()) Image1->ShowCopy(session_.canvas.Image());
  restarting_ = true;
  if (run_.MainRunning()) StopRun();
  restarting_ = false;
  live_run_ = true;
  live_clock_.start();
  StartRun();
}

void TForm1::EndLiveRun() {
  live_run_ = false;
  restart_pending_ = false;
  Image1->ShowCanvas();
}

// ---------------------------------------------------------------- events

void TForm1::ApplyLocale() {
  // A line in progress reads and writes its numbers with one separator throughout.
  if (StepInProgress()) {
    AfterLine([] { ApplySystemDecimalSeparator(); });
  } else {
    ApplySystemDecimalSeparator();
  }
}

void TForm1::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LocaleChange) ApplyLocale();
  // Back from a dialog: the run window shows what it changed.
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && FormAblauf != nullptr) {
    FormAblauf->RunChanged();
  }
  QMainWindow::changeEvent(event);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == QCoreApplication::instance() && event->type() == QEvent::LocaleChange) {
    ApplyLocale();
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace ombrix
