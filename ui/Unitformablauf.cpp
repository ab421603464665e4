#include "ui/Unitformablauf.h"

#include <QAction>
#include <QBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QListWidget>
#include <QScreen>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSlider>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolBar>
#include <algorithm>
#include <set>
#include <utility>

#include "logic/complex/num_text.h"
#include "logic/program/program_text.h"
#include "platform/qt_text.h"
#include "ui/help_window.h"
#include "ui/program_view.h"

namespace ombrix {

namespace {

constexpr int kGap = 8;                      // between the main window and this one
constexpr QSize kWindowSize(760, 540);       // where the screen has room
constexpr double kSmallestToolPoints = 7.0;  // the tool bar's captions stay readable
const QColor kChangedValue(0xFF, 0xF0, 0x9A);

const char* const kNoRun = "Kein Programm l\xE4uft.";
const char* const kRunning = "Das Hauptprogramm l\xE4uft.";
const char* const kPausedBefore = "Angehalten vor Zeile %1";
const char* const kFailedAt = "Fehler in Zeile %1 (%2)";
const char* const kWatchHint = "Hier einen Term eingeben, um ihn zu beobachten.";

const char* PauseText(PauseReason reason) {
  switch (reason) {
    case PauseReason::Breakpoint:
      return " (Haltepunkt)";
    case PauseReason::SingleStep:
      return " (Einzelschritt)";
    case PauseReason::WatchChanged:
      return " (ein beobachteter Term hat sich ge\xE4ndert)";
    case PauseReason::SteppedBack:
      return " (Schritt zur\xFC"
             "ck)";
    case PauseReason::Requested:
    case PauseReason::None:
      break;
  }
  return "";
}

QString TempoText(int lines_per_second) {
  if (lines_per_second == 0) return QStringLiteral("unbegrenzt");
  if (lines_per_second == 1) return QStringLiteral("1 Zeile je Sekunde");
  return QStringLiteral("%1 Zeilen je Sekunde").arg(lines_per_second);
}

// The item of a cell, made when the cell has none; the window fills cells in place so
// that a refresh does not rebuild the tables.
QTableWidgetItem& Cell(QTableWidget& table, int row, int column) {
  QTableWidgetItem* item = table.item(row, column);
  if (item == nullptr) {
    item = new QTableWidgetItem;
    table.setItem(row, column, item);
  }
  return *item;
}

void SetCell(QTableWidget& table, int row, int column, const std::string& text, bool marked,
             Qt::ItemFlags flags) {
  QTableWidgetItem& item = Cell(table, row, column);
  const QString shown = ToQt(text);
  if (item.text() != shown) {
    item.setText(shown);
    item.setToolTip(shown);  // a long value is cut off in its cell
  }
  if (item.flags() != flags) item.setFlags(flags);
  QFont font = item.font();
  if (font.bold() != marked) {
    font.setBold(marked);
    item.setFont(font);
  }
  // Both colours, readable under a dark palette's light text too.
  item.setBackground(marked ? QBrush(kChangedValue) : QBrush());
  item.setForeground(marked ? QBrush(Qt::black) : QBrush());
}

QTableWidget* MakeGrid(const QStringList& captions) {
  auto* grid = new QTableWidget(0, static_cast<int>(captions.size()));
  grid->setHorizontalHeaderLabels(captions);
  grid->verticalHeader()->hide();
  grid->horizontalHeader()->setStretchLastSection(true);
  grid->setSelectionBehavior(QAbstractItemView::SelectItems);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  grid->setTabKeyNavigation(false);  // Tab leaves the table, as everywhere else
  grid->setWordWrap(false);
  grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
  grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  return grid;
}

// `content` under its caption, whose underlined letter (Alt+letter) gives it the focus.
void AddCaptioned(const char* caption, QWidget* content, QSplitter& splitter) {
  auto* panel = new QWidget(&splitter);
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* label = new QLabel(ToQt(caption), panel);
  label->setBuddy(content);
  layout->addWidget(label);
  layout->addWidget(content);
}

}  // namespace

TFormAblauf::TFormAblauf(RunDebugger& debugger, const ProjectContent& project, QWidget* parent)
    : QWidget(parent, Qt::Window), debugger_(debugger), project_(project) {
  setObjectName(QStringLiteral("FormAblauf"));
  setWindowTitle(QStringLiteral("Ablauf"));
  refresh_timer_.setSingleShot(true);
  refresh_timer_.setInterval(kRunRefreshInterval);
  connect(&refresh_timer_, &QTimer::timeout, this, [this] {
    if (dirty_) Refresh();
  });
  CreateComponents();
  resize(kWindowSize);
}

void TFormAblauf::CreateComponents() {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 0, 6, 6);
  ToolBar1 = new QToolBar(this);
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
  layout->addWidget(ToolBar1);

  auto* columns = new QSplitter(Qt::Horizontal, this);
  layout->addWidget(columns, 1);
  auto* left = new QSplitter(Qt::Vertical, columns);
  CreateProgramPages(*left);
  auto* right = new QSplitter(Qt::Vertical, columns);
  CreateTables(*right);
  CreateTempoRow(*layout);

  columns->setStretchFactor(0, 1);
  columns->setStretchFactor(1, 1);
  left->setStretchFactor(0, 3);
  left->setStretchFactor(1, 1);
}

// The two programs as tabs, and below them the rewriting of the next line's terms.
void TFormAblauf::CreateProgramPages(QSplitter& left) {
  PageControl1 = new QTabWidget(&left);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  PageControl1->setElideMode(Qt::ElideNone);  // the long name scrolls; "Hauptprogramm" stays whole
  MainView = new ProgramView(PageControl1);
  MainView->setObjectName(QStringLiteral("MainView"));
  MouseView = new ProgramView(PageControl1);
  MouseView->setObjectName(QStringLiteral("MouseView"));
  PageControl1->addTab(MainView, ToQt(ProgramNames[MainProgram]));
  PageControl1->addTab(MouseView, ToQt(ProgramNames[MouseHandlerProgram]));
  MainView->OnMarginClick = [this](int line) { ToggleBreakpoint(line); };

  RewritingList = new QListWidget;
  RewritingList->setObjectName(QStringLiteral("RewritingList"));
  RewritingList->setFont(MainView->font());
  AddCaptioned(
      "&Umformung der Terme der n\xE4"
      "chsten Zeile:",
      RewritingList, left);
}

// The variables and, below them, the watched terms.
void TFormAblauf::CreateTables(QSplitter& right) {
  VariablesGrid =
      MakeGrid({QStringLiteral("Name"), QStringLiteral("Startwert"), QStringLiteral("Wert")});
  VariablesGrid->setObjectName(QStringLiteral("VariablesGrid"));
  VariablesGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  VariablesGrid->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  AddCaptioned("&Variablen:", VariablesGrid, right);

  WatchGrid =
      MakeGrid({QStringLiteral("Term"), QStringLiteral("Wert"), ToQt("Anhalten bei \xC4nderung")});
  WatchGrid->setObjectName(QStringLiteral("WatchGrid"));
  // The check box column keeps the width of its caption; the term and its value share the rest.
  WatchGrid->horizontalHeader()->setStretchLastSection(false);
  WatchGrid->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Fixed);
  WatchGrid->setColumnWidth(2, WatchGrid->horizontalHeader()->fontMetrics().horizontalAdvance(
                                   WatchGrid->horizontalHeaderItem(2)->text()) +
                                   24);
  WatchGrid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
  connect(WatchGrid, &QTableWidget::itemChanged, this,
          [this](QTableWidgetItem* item) { WatchEdited(item); });
  AddCaptioned("&Beobachtete Terme:", WatchGrid, right);
}

// The tempo slider with its value, and the run's state on a line of its own.
void TFormAblauf::CreateTempoRow(QVBoxLayout& layout) {
  auto* bottom = new QHBoxLayout;
  layout.addLayout(bottom);
  TempoSlider = new QSlider(Qt::Horizontal, this);
  TempoSlider->setObjectName(QStringLiteral("TempoSlider"));
  TempoSlider->setRange(0, static_cast<int>(kTempoSteps.size()) - 1);
  TempoSlider->setPageStep(1);
  TempoSlider->setTickPosition(QSlider::TicksBelow);
  TempoSlider->setValue(TempoSlider->maximum());  // unlimited, as a plain run
  TempoSlider->setMaximumWidth(180);
  connect(TempoSlider, &QSlider::valueChanged, this,
          [this](int position) { TempoMoved(position); });
  TempoLabel = new QLabel(TempoText(0), this);
  TempoLabel->setObjectName(QStringLiteral("TempoLabel"));
  TempoLabel->setMinimumWidth(TempoLabel->fontMetrics().horizontalAdvance(TempoText(1000)) + 4);
  StateLabel = new QLabel(this);
  StateLabel->setObjectName(QStringLiteral("StateLabel"));
  auto* tempo = new QLabel(QStringLiteral("&Tempo:"), this);
  tempo->setBuddy(TempoSlider);
  bottom->addWidget(tempo);
  bottom->addWidget(TempoSlider);
  bottom->addWidget(TempoLabel);
  bottom->addStretch(1);
  // A line of its own: the longest state must not widen the window.
  StateLabel->setWordWrap(true);
  layout.addWidget(StateLabel);
}

void TFormAblauf::AddActions(const QList<QAction*>& actions) {
  for (QAction* action : actions) {
    if (action == nullptr) {
      ToolBar1->addSeparator();
    } else {
      ToolBar1->addAction(action);
      addAction(action);  // its key works while this window has the focus
    }
  }
}

void TFormAblauf::PlaceBeside(const QRect& main_frame, const QRect& room) {
  // On the side of the main window with more room, narrowed to that room when the screen
  // is small, so that the picture stays in sight; the tool bar's font gets smaller until
  // every action fits. Where even that is too wide, the window overlaps the main window
  // rather than hide an action or leave the screen.
  const QSize frame = frameGeometry().size() - size();
  const QRect gapped = main_frame.adjusted(-kGap, 0, kGap, 0);
  const int beside = std::max(room.right() - gapped.right(), gapped.left() - room.left()) -
                     frame.width() - layout()->contentsMargins().left() -
                     layout()->contentsMargins().right();
  QFont font = this->font();
  ToolBar1->setFont(font);
  while (ToolBar1->sizeHint().width() > beside && font.pointSizeF() > kSmallestToolPoints) {
    font.setPointSizeF(font.pointSizeF() - 0.5);
    ToolBar1->setFont(font);
  }
  const int least = std::max(minimumSizeHint().width(), ToolBar1->sizeHint().width() +
                                                            layout()->contentsMargins().left() +
                                                            layout()->contentsMargins().right());
  const QRect place = BesideWindow(gapped, room, kWindowSize + frame, least + frame.width());
  resize(place.size() - frame);
  move(place.topLeft());
}

void TFormAblauf::ShowBeside(const QWidget& main_window) {
  if (position_) {
    move(*position_);
  } else if (!isVisible()) {
    const QScreen* screen = main_window.screen();
    if (screen != nullptr) {
      PlaceBeside(main_window.frameGeometry(), screen->availableGeometry());
    } else {
      move(main_window.frameGeometry().topRight() + QPoint(1 + kGap, 0));
    }
  }
  show();
  raise();
  activateWindow();
  Refresh();
}

void TFormAblauf::Open(const QWidget& main_window) {
  if (!isVisible()) RestoreDebugSettings(debugger_, std::exchange(parked_, {}));
  debugger_.SetHistoryEnabled(true);
  ShowBeside(main_window);
}

void TFormAblauf::ForgetSettings() {
  ParkDebugSettings(debugger_);
  parked_ = {};
  RunChanged();
}

void TFormAblauf::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (event->spontaneous()) return;
  position_ = pos();
  debugger_.SetHistoryEnabled(false);
  parked_ = ParkDebugSettings(debugger_);
  if (OnClosed) OnClosed();
}

void TFormAblauf::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (focusWidget() == nullptr) MainView->setFocus();  // the keys move through the program
}

void TFormAblauf::RunChanged() {
  if (!isVisible()) return;
  if (debugger_.State() == DebugState::Running) {
    dirty_ = true;
    if (!refresh_timer_.isActive()) refresh_timer_.start();
  } else {
    Refresh();
  }
}

void TFormAblauf::ShowFailure(ProgramLine line) {
  if (!isVisible()) return;  // opened later, it would show a failure long mended
  failed_ = line;
  RunChanged();
}

void TFormAblauf::Refresh() {
  dirty_ = false;
  refresh_timer_.stop();
  ++refreshes_;
  if (debugger_.State() != DebugState::Stopped) failed_.reset();
  ShowPrograms();
  ShowVariables();
  ShowWatches();
  ShowRewriting();
  ShowState();
  ShowTempo();
}

void TFormAblauf::ShowTempo() {
  // The debugger's tempo may have changed without the slider (a new project).
  const int tempo = debugger_.Tempo();
  const auto* step = std::find(kTempoSteps.begin(), kTempoSteps.end(), tempo);
  if (step == kTempoSteps.end() ||
      kTempoSteps[static_cast<std::size_t>(TempoSlider->value())] == tempo) {
    return;
  }
  const QSignalBlocker quiet(TempoSlider);
  TempoSlider->setValue(static_cast<int>(step - kTempoSteps.begin()));
  TempoLabel->setText(TempoText(tempo));
}

void TFormAblauf::ShowPrograms() {
  MainView->SetLines(project_.programs[MainProgram]);
  MouseView->SetLines(project_.programs[MouseHandlerProgram]);
  const std::vector<std::int32_t> marks = debugger_.Breakpoints();
  MainView->SetBreakpoints(std::set<int>(marks.begin(), marks.end()));
  if (failed_) {
    ProgramView* failed = failed_->program == MainProgram ? MainView : MouseView;
    ProgramView* other = failed == MainView ? MouseView : MainView;
    failed->SetCurrentLine(failed_->line, true);
    other->SetCurrentLine(-1, false);
    PageControl1->setCurrentWidget(failed);
    return;
  }
  const bool running = debugger_.State() != DebugState::Stopped;
  const ProgramLine next = debugger_.NextLine();
  MainView->SetCurrentLine(running && next.program == MainProgram ? next.line : -1, false);
  MouseView->SetCurrentLine(-1, false);
}

void TFormAblauf::ShowVariables() {
  const VariableTable& table = project_.variables;
  const std::vector<int>& changed = debugger_.ChangedVariables();
  const int rows = table.LastVariable() + 1;
  if (VariablesGrid->rowCount() != rows) VariablesGrid->setRowCount(rows);
  const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  for (int j = 0; j < rows; ++j) {
    const bool marked = std::find(changed.begin(), changed.end(), j) != changed.end();
    SetCell(*VariablesGrid, j, 0, table.Name(j), false, flags);
    SetCell(*VariablesGrid, j, 1, ComplexToText(table.StartValue(j)), false, flags);
    SetCell(*VariablesGrid, j, 2, ComplexToText(table.CurrentValue(j)), marked, flags);
  }
}

void TFormAblauf::ShowWatches() {
  filling_ = true;
  const std::vector<Watch>& watches = debugger_.Watches();
  const int rows = static_cast<int>(watches.size()) + 1;
  if (WatchGrid->rowCount() != rows) WatchGrid->setRowCount(rows);
  const Qt::ItemFlags fixed = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  const Qt::ItemFlags editable = fixed | Qt::ItemIsEditable;
  for (int r = 0; r + 1 < rows; ++r) {
    const Watch& watch = watches[static_cast<std::size_t>(r)];
    SetCell(*WatchGrid, r, 0, watch.term, false, editable);
    SetCell(*WatchGrid, r, 1, watch.text, watch.changed, fixed);
    SetCell(*WatchGrid, r, 2, "", false, fixed | Qt::ItemIsUserCheckable);
    Cell(*WatchGrid, r, 2).setCheckState(watch.stop_on_change ? Qt::Checked : Qt::Unchecked);
  }
  SetCell(*WatchGrid, rows - 1, 0, "", false, editable);
  Cell(*WatchGrid, rows - 1, 0).setToolTip(ToQt(kWatchHint));
  SetCell(*WatchGrid, rows - 1, 1, "", false, fixed);
  SetCell(*WatchGrid, rows - 1, 2, "", false, fixed);
  Cell(*WatchGrid, rows - 1, 2).setData(Qt::CheckStateRole, QVariant());
  filling_ = false;
}

void TFormAblauf::ShowRewriting() {
  std::optional<ProgramLine> line;
  if (failed_) {
    line = failed_;
  } else if (debugger_.State() != DebugState::Stopped) {
    line = debugger_.NextLine();
  }
  QStringList texts;
  if (line) {
    const std::vector<std::string> terms = debugger_.TermsOfLine(*line);
    for (std::size_t t = 0; t < terms.size(); ++t) {
      if (t > 0) texts << QString();  // one empty row between two terms
      for (const std::string& text : debugger_.Rewriting(terms[t])) texts << ToQt(text);
    }
  }
  QStringList shown;
  for (int r = 0; r < RewritingList->count(); ++r) shown << RewritingList->item(r)->text();
  if (shown == texts) return;
  RewritingList->clear();
  RewritingList->addItems(texts);
}

void TFormAblauf::ShowState() {
  QString text;
  if (failed_) {
    text = ToQt(kFailedAt).arg(failed_->line + 1).arg(ToQt(ProgramNames[failed_->program]));
  } else {
    switch (debugger_.State()) {
      case DebugState::Stopped:
        text = ToQt(kNoRun);
        break;
      case DebugState::Running:
        text = ToQt(kRunning);
        break;
      case DebugState::Paused:
        text = ToQt(kPausedBefore).arg(debugger_.NextLine().line + 1) +
               ToQt(PauseText(debugger_.LastPause()));
        break;
    }
  }
  if (StateLabel->text() != text) StateLabel->setText(text);
}

void TFormAblauf::WatchEdited(QTableWidgetItem* item) {
  if (filling_) return;
  const int row = item->row();
  const int count = static_cast<int>(debugger_.Watches().size());
  if (item->column() == 0) {
    const std::string term = FromQt(item->text().trimmed());
    if (row >= count) {
      if (term.empty()) return;
      debugger_.AddWatch(term);
    } else if (term.empty()) {
      debugger_.RemoveWatch(row);
    } else {
      debugger_.SetWatchTerm(row, term);
    }
    debugger_.RefreshWatches();
  } else if (item->column() == 2 && row < count) {
    debugger_.SetStopOnChange(row, item->checkState() == Qt::Checked);
    return;
  } else {
    return;
  }
  ShowWatches();
}

void TFormAblauf::TempoMoved(int position) {
  const int tempo = kTempoSteps[static_cast<std::size_t>(
      std::clamp(position, 0, static_cast<int>(kTempoSteps.size()) - 1))];
  debugger_.SetTempo(tempo);
  TempoLabel->setText(TempoText(tempo));
  if (OnTempoChanged) OnTempoChanged();
}

void TFormAblauf::ToggleBreakpoint(int line) {
  if (line < 0 || static_cast<std::size_t>(line) >= project_.programs[MainProgram].size()) return;
  debugger_.ToggleBreakpoint(line);
  ShowPrograms();
}

void TFormAblauf::ToggleSelectedBreakpoint() {
  PageControl1->setCurrentWidget(MainView);
  ToggleBreakpoint(MainView->SelectedLine());
}

}  // namespace ombrix
