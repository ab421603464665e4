// The main window: the menus and actions, the mouse position, the two program switches,
// the picture and the status bar. The project's life, the run and the live restart are
// the application core's (logic/app); the window drives it from its actions and its event
// loop and shows what the core tells it through its views.
#pragma once

#include <QMainWindow>
#include <QTimer>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "logic/app/app_core.h"
#include "logic/complex/messages.h"
#include "logic/program/debug_settings.h"
#include "ui/file_dialogs.h"
#include "ui/form1_design.h"
#include "ui/help_window.h"
#include "ui/qt_message_boxes.h"
#include "ui/reader_wait.h"
#include "ui/session.h"
#include "ui/term_wait.h"

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QMenu;

namespace ombrix {

class ControlsPanel;
class HelpWindow;
class PictureBox;
class TFormAblauf;
class TFormFkten;
class TFormPrgEditor;
class TFormVars;
class WindowHold;

class TForm1 final : public QMainWindow, public TForm1Design, private RunView, private LiveView {
 public:
  TForm1(Session& session, MessageBoxes& boxes, FileDialogs& files, QWidget* parent = nullptr);
  ~TForm1() override;

  // Watching a run: the run window is made when it is first asked for.
  TFormAblauf* FormAblauf = nullptr;
  void StartEinzelschrittExecute();
  void StartSchrittZurueckExecute() { core_.scheduler.StepBack(); }
  void StartFortsetzenExecute() { core_.scheduler.Continue(); }
  void StartHaltepunktExecute();
  void StartAblaufAnzeigenExecute();
  RunDebugger& Debugger() { return core_.runtime.Debugger(); }

  // The "Hilfe" menu: the language guide, the shipped examples, the about box.
  HelpWindow* FormHilfe = nullptr;  // made when it is first asked for
  void HilfeSprachuebersichtExecute();
  void HilfeUeberExecute() { ShowAbout(boxes_); }
  // Lists the examples of `folder` in the "Beispiele" menu, replacing what it held.
  void FillExamplesMenu(const QString& folder);
  // Opens an example as an unnamed copy of the file at `path`: the first save asks for
  // a name, so a shipped example is never written over.
  void OpenExample(const QString& path);
  // Reads the project at `path` and shows its programs in the editor; on a load error
  // shows it (under "Fehler", naming the file) and keeps the open project.
  enum class OpenedFrom { Dialog, CommandLine };
  void OpenProjectFile(const QString& path, OpenedFrom = OpenedFrom::Dialog) {
    ShowOpenedProject(core_.document.Open(FilePath(path)));
  }

  // Controls: the "Regler" panel (not modal), and the main program started anew when a
  // control changes a start value with "live" on.
  ControlsPanel* FormRegler = nullptr;
  void BearbeitenReglerExecute();
  // A control set a start value; `dragging` while a handle or slider is held.
  void ControlChanged(bool dragging);
  // As "Starten", abandoning a run that is still going as "Abbrechen" does, without the
  // box for a successful end; the last finished picture shows until the new one is done.
  void RestartLive() { core_.live.Restart(); }
  bool LiveRunActive() const { return core_.live.Active(); }
  std::int64_t LivePicturesFinished() const { return core_.live.PicturesFinished(); }

  // The dialogs, created hidden after the window and kept for the whole run.
  TFormFkten* FormFkten;
  TFormVars* FormVars;
  TFormPrgEditor* FormPrgEditor;

  // Project lifecycle.
  void ProjektNeuExecute();
  void ProjektOeffnenExecute();
  void ProjektSpeichernExecute();
  void ProjektSpeichernUnterExecute();
  void ProjektBeendenExecute();
  void ProjektBildOeffnenExecute();
  void ProjektBildSpeichernUnterExecute();
  void ProjektBildDruckenExecute();
  void ProjektBildKopierenExecute();
  void ProjektBildExportierenExecute();
  void BearbeitenFunktionenExecute();
  void BearbeitenVariablenExecute();
  void BearbeitenHauptprogrammExecute();
  void BearbeitenMausknopfGedruecktExecute() { EditProgram(MouseHandlerProgram); }
  // The close query: true when the window may close.
  bool FormClose() { return core_.document.MayClose(); }

  // Run control.
  void StartStartenExecute() { StartRun(); }
  void StartAbbrechenExecute() { StopRun(); }
  void StartRun() { core_.scheduler.Start(); }
  void StopRun() { core_.scheduler.Stop(); }
  void UncheckBoth() { core_.scheduler.SwitchOffBoth(); }
  void IdleStep();
  void RunMouseHandler() { core_.scheduler.RunMouseProgram(); }
  void CheckBox1Click();
  void CheckBox2Click();
  void Image1MouseDown(Qt::MouseButton button, int x, int y);
  void Image1MouseMove(int x, int y);
  void Image1MouseUp(Qt::MouseButton button, int x, int y);

  // How long one idle call may run lines before it returns to the event loop, and how
  // many lines at most (0: no limit; 1: one line per idle call).
  void SetIdleSlice(std::chrono::microseconds slice) { idle_slice_ = slice; }
  void SetIdleLineLimit(std::int64_t lines) { idle_line_limit_ = lines; }
  // Steps one mouse event may run before the mouse-click program is stopped.
  void SetMouseHandlerStepLimit(std::int64_t steps) { Run().SetMouseStepLimit(steps); }
  bool IdleActive() const { return idle_timer_.isActive(); }
  std::int64_t LinesRun() const { return core_.runtime.Run().LinesRun(); }  // all runs' main lines

  Session& session() { return session_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The handlers of the components and actions of the design.
  void ConnectComponents();
  void ConnectActions();
  void FormCreate();
  // Runs an event handler; a fault that reaches it is shown as the top-level handler
  // shows it, and the event loop goes on.
  template <class F>
  void Guarded(F&& handler) {
    ShowingFaults(boxes_, handler);
  }
  // Shows the opened project under its name, with its controls and its programs.
  void ShowOpenedProject(const OpenResult& opened);
  // Shows the editor on the program of `slot`, with the line at its counter selected.
  void EditProgram(int slot, bool select_current_line = true);
  void SetLockedEnabled(bool enabled);
  void SetChecked(QCheckBox* box, bool checked);
  void ShowFileName();
  void MarkChangedPanel();
  void StartIdle();
  RunControl& Run() const { return core_.runtime.Run(); }
  // Inside a step the programs and tables are in use: what must not happen there waits
  // until the step has been left.
  void AfterLine(std::function<void()> then);
  // A project action (or an example chosen): inside a step it stops the run and is
  // carried out once the step has been left.
  void ActOnProject(const std::function<void()>& handler);
  void ApplyLocale();
  // A dialog, the editor or a box is open: it blocks the main window, not the run window.
  static bool DialogOpen();

  // What the window shows of the core's run and live restart.
  void SwitchesChanged() override;
  void FirstSlice() override { IdleStep(); }
  void RunGoesOn() override;
  void RunWaits() override;
  void PictureChanged() override;
  bool Blocked() const override { return DialogOpen(); }
  void Busy(bool busy) override;
  void Turn() override;
  // While the mouse-click program takes long: the window repaints, its input is held
  // back; true when Escape, "Abbrechen" or closing the window ends the run.
  bool ClickTurn() override;
  void ClickRunEnded(bool failed) override;
  void StepFailed(int program) override;
  void EditFailedLine(int program) override;
  void HoldPicture() override;
  void ShowDrawing() override;
  void LiveSwitchedOff() override;

  // A picture's dialog opens in the folder of the last picture (home at first).
  std::optional<QString> ChoosePicture(FileDialogKind kind);

  // Paints what the programs drew, now: a box or the editor is about to open.
  void ShowPicture();

  Session& session_;
  AppCore& core_;
  MessageBoxes& boxes_;  // every box of the window and its dialogs shows the picture first
  FileDialogs& files_;
  TermWait term_wait_{*this};  // terms evaluated outside a run can be stopped
  QTimer idle_timer_;
  std::chrono::microseconds idle_slice_{5000};
  std::int64_t idle_line_limit_ = 0;
  bool run_control_changes_box_ = false;  // the check boxes follow the core's switches
  QString picture_folder_;                // of the picture last opened or saved
  bool loading_picture_ = false;          // "Bild öffnen" waits for its reader
  ClickRunWait click_wait_{*this};        // the window alive while a mouse-click run takes long
  // A new or another project forgets the run window's breakpoints, watches and tempo.
  void ForgetDebugSettings();
  // The status bar says "Angehalten vor Zeile n ..." while the run is paused.
  void ShowPauseState();
};

}  // namespace ombrix
