// The main window: the menus and actions, the mouse position, the two program switches,
// the picture and the status bar; the life of a project; and the run control that steps
// the main program from the event loop and runs the mouse-click program.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "logic/complex/messages.h"
#include "logic/program/debug_settings.h"
#include "logic/program/interpreter.h"
#include "logic/program/run_control.h"
#include "logic/program/run_debug.h"
#include "ui/file_dialogs.h"
#include "ui/qt_message_boxes.h"
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

inline constexpr int kLockedActionCount = 10;

class TForm1 final : public QMainWindow {
 public:
  TForm1(Session& session, MessageBoxes& boxes, FileDialogs& files, QWidget* parent = nullptr);
  ~TForm1() override;

  // Components, named as in the window's design.
  QLabel* Label4;
  QLabel* Label5;
  QCheckBox* CheckBox1;
  QCheckBox* CheckBox2;
  PictureBox* Image1 = nullptr;
  QLabel* StatusFilePanel;
  QLabel* StatusChangedPanel;
  QFrame* Bevel1;
  QFrame* Bevel2;

  // ActionList1, in its order.
  QAction* ProjektNeu;
  QAction* ProjektOeffnen;
  QAction* ProjektSpeichern;
  QAction* ProjektSpeichernUnter;
  QAction* ProjektBeenden;
  QAction* ProjektBildOeffnen;
  QAction* ProjektBildSpeichernUnter;
  QAction* ProjektBildDrucken;
  QAction* ProjektBildKopieren;
  QAction* ProjektBildExportieren;
  QAction* BearbeitenHauptprogramm;
  QAction* BearbeitenMausknopfGedrueckt;
  QAction* BearbeitenVariablen;
  QAction* BearbeitenFunktionen;
  QAction* StartStarten;
  QAction* StartAbbrechen;
  std::array<QAction*, kLockedActionCount> LockedActions() const;

  // Watching a run, after "Starten" and "Abbrechen" in the "Start" menu; the run window
  // is made when it is first asked for.
  QAction* StartEinzelschritt;
  QAction* StartSchrittZurueck;
  QAction* StartFortsetzen;
  QAction* StartHaltepunkt;
  QAction* StartAblaufAnzeigen;
  TFormAblauf* FormAblauf = nullptr;
  void StartEinzelschrittExecute();
  void StartSchrittZurueckExecute();
  void StartFortsetzenExecute();
  void StartHaltepunktExecute();
  void StartAblaufAnzeigenExecute();
  RunDebugger& Debugger() { return debugger_; }

  // The "Hilfe" menu: the language guide, the shipped examples, the about box.
  QAction* HilfeSprachuebersicht;
  QAction* HilfeUeber;
  QMenu* Beispiele1;                // one item per example; locked with "Projekt öffnen"
  HelpWindow* FormHilfe = nullptr;  // made when it is first asked for
  void HilfeSprachuebersichtExecute();
  void HilfeUeberExecute();
  // Lists the examples of `folder` in the "Beispiele" menu, replacing what it held.
  void FillExamplesMenu(const QString& folder);
  // Opens an example as an unnamed copy of the file at `path`: the first save asks for
  // a name, so a shipped example is never written over.
  void OpenExample(const QString& path);
  // Reads the project at `path` and shows its programs in the editor; on a load error
  // shows it (under "Fehler", naming the file) and keeps the open project.
  enum class OpenedFrom { Dialog, CommandLine };
  void OpenProjectFile(const QString& path, OpenedFrom from = OpenedFrom::Dialog);

  // Controls: the "Regler" panel (not modal), and the main program started anew when a
  // control changes a start value with "live" on.
  QAction* BearbeitenRegler;
  ControlsPanel* FormRegler = nullptr;
  void BearbeitenReglerExecute();
  // A control set a start value; `dragging` while a handle or slider is held.
  void ControlChanged(bool dragging);
  // As "Starten", abandoning a run that is still going as "Abbrechen" does, without the
  // box for a successful end; the last finished picture shows until the new one is done.
  void RestartLive();
  bool LiveRunActive() const { return live_run_; }
  std::int64_t LivePicturesFinished() const { return live_pictures_; }

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
  void BearbeitenMausknopfGedruecktExecute();
  // The close query: true when the window may close.
  bool FormClose();

  // Run control.
  void StartStartenExecute() { StartRun(); }
  void StartAbbrechenExecute() { StopRun(); }
  void StartRun();
  void StopRun();
  void UncheckBoth();
  void IdleStep();
  void RunMouseHandler();
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
  void SetMouseHandlerStepLimit(std::int64_t steps) { run_.SetMouseStepLimit(steps); }
  bool IdleActive() const { return idle_timer_.isActive(); }
  std::int64_t LinesRun() const { return run_.LinesRun(); }  // main-program lines, all runs

  // On a screen lower than the window (a large scale on a small screen) the top strip
  // and the margins around the picture close up; the picture keeps its size.
  void FitScreenHeight(int available_height);

  Session& session() { return session_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateComponents();
  void CreateActions();
  void CreateMenus();
  void FormCreate();
  QAction* MakeAction(const char* name, const char* caption, const char* category,
                      const QKeySequence& shortcut, int image_index, void (TForm1::*handler)());
  // Runs an event handler; a fault that reaches it is shown as the top-level handler
  // shows it, and the event loop goes on.
  template <class F>
  void Guarded(F&& handler);
  void ShowFault(const std::string& message);
  void ShowProjectError(const ProjectError& error);
  // The two halves of opening a project: read the file (false, after showing the error,
  // when it did not load), then show it as opened under the name already set.
  bool LoadProjectFile(const QString& path, OpenedFrom from = OpenedFrom::Dialog);
  bool load_converted_ = false;  // the file last read had the other decimal separator
  void ShowLoadedProject(const QString& loaded_from);  // with the controls beside that file
  // Shows the editor on the program of `slot`, with the line at its counter selected.
  void EditProgram(int slot, bool select_current_line = true);
  void SetLockedEnabled(bool enabled);
  void SetChecked(QCheckBox* box, bool checked);
  void ShowFileName();
  void MarkChangedPanel();
  void StartIdle();
  // While one main-program line takes long: the window's events now and then, under a
  // busy cursor. What must not happen inside a line waits until it has been left.
  void WhileLineRuns();
  void AfterLine(std::function<void()> then);
  // A main-program line or a mouse-click run is under way (events come in meanwhile).
  bool StepInProgress() const;
  // A project action (or an example chosen): inside a step it stops the run and is
  // carried out once the step has been left.
  void ActOnProject(const std::function<void()>& handler);
  // While the mouse-click program takes long: the window repaints, its input is held
  // back; true when Escape, "Abbrechen" or closing the window ends the run.
  bool WhileClickRuns();
  void ApplyLocale();
  void ShowRunStarted();
  void AfterMainSteps(RunOutcome outcome);
  void AfterFailedStep(int slot);
  // Main-program steps under the guard that nested event handling inside a long line needs.
  RunOutcome MainSteps(const std::function<RunOutcome()>& steps);
  // A dialog, the editor or a box is open: it blocks the main window, not the run window.
  static bool DialogOpen();

  // Where a file dialog opens: the current project's folder (with its file offered for
  // "speichern unter"), the folder of the last picture; the home folder at first.
  FileDialogSetup ProjectDialog(FileDialogKind kind) const;
  FileDialogSetup PictureDialog(FileDialogKind kind) const;

  // Paints what the programs drew, now: a box or the editor is about to open.
  void ShowPicture();

  Session& session_;
  HookedMessageBoxes boxes_;  // every box of the window and its dialogs shows the picture first
  FileDialogs& files_;
  HistoryCanvas history_canvas_;  // the programs draw through it, so a step can be undone
  Interpreter interpreter_;
  RunControl run_;
  RunDebugger debugger_;
  TermWait term_wait_{*this};  // terms evaluated outside a run can be stopped
  QTimer idle_timer_;
  std::chrono::microseconds idle_slice_{5000};
  std::int64_t idle_line_limit_ = 0;
  bool run_control_changes_box_ = false;  // StartRun/StopRun set CheckBox1 themselves
  QString picture_folder_;                // of the picture last opened or saved
  bool loading_picture_ = false;          // "Bild öffnen" waits for its reader
  bool stepping_ = false;                 // inside ExecuteStep; nested loops must not step
  std::chrono::steady_clock::time_point line_events_;  // when the events were last handled
  bool busy_cursor_ = false;
  std::unique_ptr<WindowHold> click_hold_;  // a mouse-click run has taken long
  QString copy_of_;                 // file name of the example the unnamed project was opened from
  bool live_run_ = false;           // the run was started by a control's change
  std::int64_t live_pictures_ = 0;  // live runs that reached their end
  bool regler_placed_ = false;      // the panel has been put beside the window
  bool restart_pending_ = false;    // a change while dragging waits for the picture
  bool restarting_ = false;         // RestartLive abandons the run it replaces
  QElapsedTimer live_clock_;        // since the live run started
  void EndLiveRun();
  void LoadControlsBeside(const QString& path);
  // The run window's settings while it is closed; a new or another project forgets them.
  DebugSettings parked_debug_;
  void ForgetDebugSettings();
  // The status bar says "Angehalten vor Zeile n ..." while the run is paused.
  void ShowPauseState();
};

}  // namespace ombrix
