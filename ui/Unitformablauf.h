// The run window "Ablauf": both programs with line numbers, the line that runs next and
// the breakpoints; the variables with their start and current values; the watched
// terms; the rewriting of the next line's terms; the tempo. Not modal: it stands beside
// the main window, and while a run goes on it is refreshed on a timer, never per line.
#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>

#include "logic/program/debug_settings.h"
#include "logic/program/run_debug.h"

class QAction;
class QLabel;
class QListWidget;
class QSlider;
class QSplitter;
class QTabWidget;
class QTableWidget;
class QTableWidgetItem;
class QToolBar;
class QVBoxLayout;

namespace ombrix {

class ProgramView;

// Positions of the tempo slider: lines per second, the last one unlimited (0).
inline constexpr std::array<int, 11> kTempoSteps{1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 0};
// While a run goes on, the window shows its state at most this often.
inline constexpr std::chrono::milliseconds kRunRefreshInterval{33};

class TFormAblauf final : public QWidget {
 public:
  TFormAblauf(RunDebugger& debugger, const ProjectContent& project, QWidget* parent = nullptr);

  QToolBar* ToolBar1;  // the "Start" actions, so that their keys work here too
  QTabWidget* PageControl1;
  ProgramView* MainView;
  ProgramView* MouseView;
  QTableWidget* VariablesGrid;  // "Name | Startwert | Wert"
  QTableWidget* WatchGrid;      // "Term | Wert | Anhalten bei Änderung"; the last row adds one
  QListWidget* RewritingList;
  QSlider* TempoSlider;
  QLabel* TempoLabel;
  QLabel* StateLabel;

  void AddActions(const QList<QAction*>& actions);
  // Something changed: while a run goes on the window follows within one refresh
  // interval; otherwise at once.
  void RunChanged();
  // A step failed on `line`: it is highlighted until the next run or step.
  void ShowFailure(ProgramLine line);
  void Refresh();
  int Refreshes() const { return refreshes_; }
  // "Haltepunkt an/aus": the breakpoint on the selected line of the main program.
  void ToggleSelectedBreakpoint();
  // Shows the window beside `main_window` (first time) or where the user left it.
  void ShowBeside(const QWidget& main_window);
  // Opens the window as ShowBeside does, with the breakpoints, watches and tempo it had
  // when it was closed, and the history kept while it is open (it costs time and memory).
  void Open(const QWidget& main_window);
  // A new or another project: the settings of the closed window are forgotten.
  void ForgetSettings();
  // Its place and size beside the main window's frame on the screen area `room`.
  void PlaceBeside(const QRect& main_frame, const QRect& room);

  // The tempo was changed on the slider.
  std::function<void()> OnTempoChanged;
  // The window was closed (not merely minimised): its settings wait, parked, until it opens
  // again, and the run goes at full speed meanwhile.
  std::function<void()> OnClosed;

 protected:
  void hideEvent(QHideEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void CreateComponents();
  void CreateProgramPages(QSplitter& left);
  void CreateTables(QSplitter& right);
  void CreateTempoRow(QVBoxLayout& layout);
  void ShowPrograms();
  void ShowVariables();
  void ShowWatches();
  void ShowRewriting();
  void ShowState();
  void ShowTempo();
  void WatchEdited(QTableWidgetItem* item);
  void TempoMoved(int position);
  void ToggleBreakpoint(int line);

  RunDebugger& debugger_;
  const ProjectContent& project_;
  QTimer refresh_timer_;
  bool dirty_ = false;
  bool filling_ = false;  // the window fills the watch table itself
  int refreshes_ = 0;
  std::optional<ProgramLine> failed_;
  std::optional<QPoint> position_;  // where the user left it, for this session
  DebugSettings parked_;            // while the window is closed
};

}  // namespace ombrix
