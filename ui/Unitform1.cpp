#include "ui/Unitform1.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <algorithm>
#include <utility>

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

const char* const kChanged = "ge\xE4ndert";

// While a modal box is open the run waits until it is closed; the timer then only
// looks now and then whether the box has gone.
constexpr int kPausedPollMs = 15;

}  // namespace

TForm1::TForm1(Session& session, MessageBoxes& boxes, FileDialogs& files, QWidget* parent)
    : QMainWindow(parent),
      session_(session),
      core_(session.core),
      boxes_(session.boxes),
      files_(files) {
  InitResources();
  session_.boxes.Attach(&boxes, [this] { ShowPicture(); });
  SetupUi(*this, session_.canvas);
  ConnectComponents();
  ConnectActions();
  FillExamplesMenu(ExamplesFolder());
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
  FormRegler->OnDragEnded = [this] { Guarded([&] { core_.live.DragEnded(); }); };
  FormRegler->OnControlsChanged = [this] {
    core_.document.MarkChanged();
    MarkChangedPanel();
    Image1->update();
  };
  Image1->Handles = [this] { return FormRegler->Handles(); };
  // Terms outside a run stop as a long program line does; F2 then stops the run too.
  FormRegler->TermInterrupt = &term_wait_;
  Debugger().SetTermInterrupt(&term_wait_);
  term_wait_.OnAbbrechen = [this] {
    if (Run().MainRunning()) StopRun();
  };
  // "Starten" and "Abbrechen" work from the panel too, where the hand is while dragging.
  FormRegler->addActions({StartStarten, StartAbbrechen});

  // The application's idle event: a zero-interval timer while the main program runs.
  idle_timer_.setObjectName(QStringLiteral("ApplicationEvents1"));
  idle_timer_.setInterval(0);
  connect(&idle_timer_, &QTimer::timeout, this, [this] { Guarded([this] { IdleStep(); }); });
  // Inside a long line or a long mouse-click run the window handles its events this often:
  // it repaints and "Abbrechen" comes through well within a tenth of a second.
  core_.scheduler.SetTurnInterval(std::chrono::milliseconds(30));
  core_.scheduler.SetView(this);
  core_.live.SetView(this);
  // The regional settings may change while Ombrix runs; the application hears of it.
  if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
  FormCreate();
}

TForm1::~TForm1() {
  delete FormHilfe;
  delete FormAblauf;  // it shows the debugger, which goes before the window's children do
  if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
  core_.scheduler.SetView(nullptr);
  core_.live.SetView(nullptr);
  session_.boxes.Attach(nullptr);
}

void TForm1::ConnectComponents() {
  // A change of state counts however it came about: a click or an operation.
  connect(CheckBox1, &QCheckBox::toggled, this, [this] { Guarded([this] { CheckBox1Click(); }); });
  connect(CheckBox2, &QCheckBox::toggled, this, [this] { Guarded([this] { CheckBox2Click(); }); });
  Image1->OnMouseDown = [this](Qt::MouseButton b, int x, int y) {
    Guarded([&] { Image1MouseDown(b, x, y); });
  };
  Image1->OnMouseMove = [this](int x, int y) { Guarded([&] { Image1MouseMove(x, y); }); };
  Image1->OnMouseUp = [this](Qt::MouseButton b, int x, int y) {
    Guarded([&] { Image1MouseUp(b, x, y); });
  };
}

void TForm1::ConnectActions() {
  for (const auto& [action, handler] : ActionHandlers()) {
    // "Start" and "Hilfe" act at once, the project's actions once a step has been left.
    const QString category = action->property("category").toString();
    const bool waits_for_line =
        category == QLatin1String("Datei") || category == QLatin1String("Bearbeiten");
    connect(action, &QAction::triggered, this, [this, handler = handler, waits_for_line] {
      if (waits_for_line) {
        ActOnProject([this, handler] { (this->*handler)(); });
      } else {
        Guarded([&] { (this->*handler)(); });
      }
    });
  }
}

void TForm1::FillExamplesMenu(const QString& folder) {
  Beispiele1->clear();
  for (const Example& example : ListExamples(folder)) {
    QAction* item = Beispiele1->addAction(example.title);
    item->setToolTip(example.path);
    connect(item, &QAction::triggered, this,
            [this, path = example.path] { ActOnProject([this, path] { OpenExample(path); }); });
  }
  Beispiele1->menuAction()->setEnabled(!Beispiele1->isEmpty() && !Run().MainRunning());
}

void TForm1::FormCreate() {
  // Qt paints widgets double-buffered already.
  Run().ResetCounters();
  QImage start(QStringLiteral(":/ombrix/start.png"));
  if (!start.isNull()) session_.record.Load(session_.canvas, start);
  ShowFileName();
  StatusChangedPanel->clear();
}

void TForm1::ShowFileName() {
  const QString name = session_.ProjectFileName;
  StatusFilePanel->setText(name);
  StatusFilePanel->setToolTip(name);
}

void TForm1::ShowPicture() {
  // A repaint at once: the box's own event loop would come to a mere update only after
  // the box is already on screen.
  if (Image1 != nullptr) Image1->repaint();
  click_wait_.Release();
}

void TForm1::MarkChangedPanel() { StatusChangedPanel->setText(ToQt(kChanged)); }

// ---------------------------------------------------------------- project lifecycle

void TForm1::ProjektNeuExecute() {
  if (!core_.document.New()) return;
  FormRegler->Rebuild();
  ForgetDebugSettings();
  // The white picture of 400 x 400, whatever size a picture opened before had.
  session_.canvas.SetImage(QImageCanvas().Image());
  session_.record.Clear(session_.canvas);
  Image1->update();
  ShowFileName();
  StatusChangedPanel->clear();
}

void TForm1::ProjektOeffnenExecute() {
  if (!core_.ReadyToOpen()) return;
  const std::optional<QString> chosen =
      files_.Choose(ProjectDialogSetup(FileDialogKind::OpenProject, core_.document));
  if (!chosen) return;
  OpenProjectFile(*chosen);
}

void TForm1::OpenExample(const QString& path) {
  if (!core_.ReadyToOpen()) return;
  ShowOpenedProject(core_.document.Open(FilePath(path), OpenAs::Copy));
}

void TForm1::ShowOpenedProject(const OpenResult& opened) {
  if (!opened.opened) return;  // the open project, its name and the status bar stay
  ShowFileName();
  StatusChangedPanel->clear();
  if (core_.document.Changed()) MarkChangedPanel();  // converted from the other separator
  ForgetDebugSettings();
  FormRegler->Rebuild();
  Image1->update();
  if (opened.controls_problem) boxes_.Show(MessageKind::Error, *opened.controls_problem);
  if (!session_.controls.Empty()) BearbeitenReglerExecute();
  // The editors select nothing, since a selection would look like the mark of a failed line.
  if (!session_.project.programs[MainProgram].empty()) {
    UncheckBoth();
    EditProgram(MainProgram, false);
  }
  if (!session_.project.programs[MouseHandlerProgram].empty()) {
    EditProgram(MouseHandlerProgram, false);
  }
}

void TForm1::ProjektSpeichernExecute() {
  if (!core_.document.Named()) {
    ProjektSpeichernUnterExecute();
    return;
  }
  UncheckBoth();
  if (core_.document.Save()) StatusChangedPanel->clear();
}

void TForm1::ProjektSpeichernUnterExecute() {
  UncheckBoth();
  const std::optional<QString> chosen =
      files_.Choose(ProjectDialogSetup(FileDialogKind::SaveProject, core_.document));
  if (!chosen || !core_.document.SaveAs(FilePath(*chosen))) return;
  ShowFileName();
  StatusChangedPanel->clear();
}

void TForm1::ProjektBeendenExecute() {
  UncheckBoth();
  if (core_.document.MayClose()) close();
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (core_.scheduler.StepInProgress()) {
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
  core_.document.MarkChanged();
  MarkChangedPanel();
}

void TForm1::BearbeitenVariablenExecute() {
  UncheckBoth();
  EvalContext context{session_.project.functions, session_.project.variables, session_.drawing,
                      boxes_};
  context.interrupt = &term_wait_;
  ExchangeVariables(*FormVars, session_.project.variables, context);
  core_.document.MarkChanged();
  MarkChangedPanel();
  FormRegler->Rebuild();  // names and start values may have changed
  Image1->update();
}

void TForm1::BearbeitenHauptprogrammExecute() {
  UncheckBoth();
  EditProgram(MainProgram);
}

void TForm1::EditProgram(int slot, bool select_current_line) {
  const auto at = static_cast<std::size_t>(slot);
  ProgramText& program = session_.project.programs[at];
  FormPrgEditor->LoadProgram(program, slot,
                             select_current_line ? session_.interp.CurrentLine[at] : -1);
  ShowPicture();
  FormPrgEditor->exec();  // "OK" and the close box both keep the text
  StoreEditorIntoProgram(*FormPrgEditor, program);
  if (FormAblauf != nullptr) FormAblauf->RunChanged();  // it shows the edited text
  if (session_.ProjectChanged) MarkChangedPanel();
}

std::optional<QString> TForm1::ChoosePicture(FileDialogKind kind) {
  FileDialogSetup setup = DialogSetup(kind);
  setup.start = picture_folder_.isEmpty() ? QDir::homePath() : picture_folder_;
  std::optional<QString> chosen = files_.Choose(setup);  // moved out when returned
  if (chosen) picture_folder_ = QFileInfo(*chosen).absolutePath();
  return chosen;
}

void TForm1::ProjektBildOeffnenExecute() {
  if (loading_picture_) return;  // a metafile's reader may still be at work: no second
  UncheckBoth();
  const std::optional<QString> chosen = ChoosePicture(FileDialogKind::OpenPicture);
  if (!chosen) return;
  loading_picture_ = true;
  OpenPicture(*this, session_, *chosen);
  loading_picture_ = false;
  Image1->update();
}

void TForm1::ProjektBildSpeichernUnterExecute() {
  UncheckBoth();
  if (const std::optional<QString> chosen = ChoosePicture(FileDialogKind::SavePicture)) {
    SavePicture(session_, *chosen);
  }
}

void TForm1::ProjektBildDruckenExecute() {
  UncheckBoth();
  PrintPicture(this, session_);
}

void TForm1::ProjektBildKopierenExecute() { CopyPicture(session_); }

void TForm1::ProjektBildExportierenExecute() {
  UncheckBoth();
  if (const std::optional<QString> chosen = ChoosePicture(FileDialogKind::ExportPicture)) {
    ExportPicture(session_, *chosen);
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
  }
  FormHilfe->ShowBeside(*this);
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
  if (!run_control_changes_box_) CheckBox1->isChecked() ? StartRun() : StopRun();
}

void TForm1::CheckBox2Click() {
  if (!run_control_changes_box_) core_.scheduler.SetMouseProgramEnabled(CheckBox2->isChecked());
}

void TForm1::SwitchesChanged() {
  SetChecked(CheckBox1, core_.scheduler.MainSwitch());
  SetChecked(CheckBox2, session_.flags.MouseHandlerEnabled);
  SetLockedEnabled(!core_.scheduler.MainSwitch());
}

void TForm1::StartIdle() {
  ShowPauseState();
  const std::optional<std::chrono::nanoseconds> next = core_.scheduler.NextSliceIn();
  if (!next) {
    idle_timer_.stop();
    return;
  }
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next);
  idle_timer_.setInterval(static_cast<int>(std::clamp<std::int64_t>(wait.count(), 0, 1000)));
  if (!idle_timer_.isActive()) idle_timer_.start();
}

void TForm1::IdleStep() {
  if (core_.scheduler.Busy()) return;  // a box inside a step runs its own loop: no step then
  if (!Run().MainRunning()) {
    idle_timer_.stop();
    return;
  }
  if (DialogOpen()) {
    idle_timer_.start(kPausedPollMs);
    return;
  }
  idle_timer_.stop();
  core_.scheduler.Slice({idle_line_limit_, idle_slice_});
}

void TForm1::RunGoesOn() {
  if (FormAblauf != nullptr) FormAblauf->RunChanged();
  StartIdle();
}

void TForm1::RunWaits() {
  idle_timer_.stop();
  ShowPauseState();
  if (FormAblauf != nullptr) FormAblauf->RunChanged();
}

void TForm1::PictureChanged() { Image1->update(); }

void TForm1::Busy(bool busy) {
  busy ? QApplication::setOverrideCursor(Qt::BusyCursor) : QApplication::restoreOverrideCursor();
}

void TForm1::Turn() {
  // Nested in the step: the project actions and closing wait through AfterLine.
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool TForm1::ClickTurn() {
  Image1->update();  // what the run has drawn so far
  return click_wait_.Turn();
}

void TForm1::ClickRunEnded(bool failed) {
  const ClickRunWait::Asked asked = click_wait_.End();
  Image1->update();
  // The release of the button may have been held back with the other input.
  if (asked.held && QGuiApplication::mouseButtons() == Qt::NoButton) Run().ReleaseMouse();
  if (asked.abbrechen && Run().MainRunning()) StopRun();
  if (asked.close) QTimer::singleShot(0, this, &QWidget::close);
  if (!failed && FormAblauf != nullptr) FormAblauf->RunChanged();
}

void TForm1::StepFailed(int program) {
  if (program == MouseHandlerProgram) FormRegler->CancelDrag();
  if (FormAblauf != nullptr) {
    const auto slot = static_cast<std::size_t>(program);
    FormAblauf->ShowFailure({program, session_.interp.CurrentLine[slot]});
  }
}

void TForm1::EditFailedLine(int program) {
  program == MainProgram ? BearbeitenHauptprogrammExecute() : BearbeitenMausknopfGedruecktExecute();
}

void TForm1::ActOnProject(const std::function<void()>& handler) {
  // Inside a step the programs and tables are in use: the run stops and the action waits.
  if (core_.scheduler.StepInProgress()) {
    StopRun();
    AfterLine([this, handler] { Guarded(handler); });
    return;
  }
  Guarded(handler);
}

void TForm1::AfterLine(std::function<void()> then) {
  QTimer::singleShot(0, this, [this, then = std::move(then)] {
    if (core_.scheduler.StepInProgress()) {
      AfterLine(then);
    } else {
      then();
    }
  });
}

// ---------------------------------------------------------------- watching a run

bool TForm1::DialogOpen() { return QApplication::activeModalWidget() != nullptr; }

void TForm1::StartAblaufAnzeigenExecute() {
  if (FormAblauf == nullptr) {
    FormAblauf = new TFormAblauf(Debugger(), session_.project, this);
    FormAblauf->setWindowIcon(windowIcon());
    // Not "Starten": the run window is not blocked while the editor or a dialog is open,
    // and a run must not start under them.
    FormAblauf->AddActions({StartAbbrechen, nullptr, StartEinzelschritt, StartSchrittZurueck,
                            StartFortsetzen, StartHaltepunkt});
    // Another tempo, or none with the window closed: the next line is due at another time.
    FormAblauf->OnTempoChanged = FormAblauf->OnClosed = [this] {
      if (Run().MainRunning()) StartIdle();
    };
  }
  FormAblauf->Open(*this);
}

void TForm1::ForgetDebugSettings() {
  if (FormAblauf != nullptr) {
    FormAblauf->ForgetSettings();
  } else {
    ParkDebugSettings(Debugger());
  }
}

void TForm1::ShowPauseState() {
  // An empty message is none: the panels show again.
  const QString text = ToQt(core_.scheduler.PauseStatus());
  if (statusBar()->currentMessage() != text) statusBar()->showMessage(text);
}

void TForm1::StartEinzelschrittExecute() {
  StartAblaufAnzeigenExecute();
  core_.scheduler.SingleStep();
}

void TForm1::StartHaltepunktExecute() {
  StartAblaufAnzeigenExecute();
  FormAblauf->ToggleSelectedBreakpoint();
}

void TForm1::Image1MouseMove(int x, int y) {
  Run().MoveMouse(x, y);
  Label5->setText(ToQt(MousePositionText(session_.drawing.MousePosition())));
  if (FormRegler->Dragging()) {
    FormRegler->DragTo(x, y);  // the mouse-click program does not run meanwhile
    return;
  }
  RunMouseHandler();
}

void TForm1::Image1MouseDown(Qt::MouseButton button, int x, int y) {
  if (button == Qt::LeftButton && FormRegler->PressAt(x, y)) {
    Image1MouseMove(x, y);
    return;
  }
  Run().PressMouse();
  Image1MouseMove(x, y);
}

void TForm1::Image1MouseUp(Qt::MouseButton, int, int) {
  if (FormRegler->Dragging()) {
    FormRegler->EndDrag();
    return;
  }
  Run().ReleaseMouse();
}

// ---------------------------------------------------------------- controls

void TForm1::BearbeitenReglerExecute() { FormRegler->ShowBeside(*this); }

void TForm1::ControlChanged(bool dragging) {
  MarkChangedPanel();
  Image1->update();
  core_.live.ControlChanged(dragging);
}

void TForm1::HoldPicture() {
  if (!Image1->ShowsCopy()) Image1->ShowCopy(session_.canvas.Image());
}

void TForm1::ShowDrawing() { Image1->ShowCanvas(); }

void TForm1::LiveSwitchedOff() {
  FormRegler->SetLive(false);
  FormRegler->CancelDrag();
}

// ---------------------------------------------------------------- events

void TForm1::ApplyLocale() {
  // A line in progress reads and writes its numbers with one separator throughout.
  if (core_.scheduler.StepInProgress()) {
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
