#include "ui/controls_panel.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "logic/complex/fault.h"
#include "logic/complex/interrupt.h"
#include "logic/complex/num_text.h"
#include "logic/program/run_debug.h"
#include "logic/project/control_points.h"
#include "platform/qt_text.h"

namespace ombrix {

namespace {

const char* const kNoControls =
    "Noch keine Regler. Ein Schieberegler gibt einer Variablen einen reellen Startwert, "
    "ein Punkt im Bild einen komplexen, den Sie mit der Maus ziehen.";
const char* const kNoVariableLeft =
    "Es gibt keine Variable, die noch einen Regler bekommen kann.\nLegen Sie zuerst unter "
    "\"Bearbeiten\", \"Variablen\" eine Variable an.";
const char* const kMissingVariable = "(keine solche Variable)";

// A press this close to a handle's centre takes the handle.
constexpr int kGrabRadius = kHandleRadius + 3;

}  // namespace

ControlsPanel::ControlsPanel(Session& session, MessageBoxes& boxes, QWidget* parent)
    : QDialog(parent), session_(session), boxes_(boxes) {
  setObjectName(QStringLiteral("FormRegler"));
  setWindowTitle(QStringLiteral("Regler"));
  setModal(false);
  resize(380, 260);

  auto* layout = new QVBoxLayout(this);
  auto* area = new QScrollArea(this);
  area->setWidgetResizable(true);
  auto* rows = new QWidget(area);
  auto* rows_layout = new QVBoxLayout(rows);
  grid_ = new QGridLayout();
  grid_->setColumnStretch(1, 1);
  rows_layout->addLayout(grid_);
  empty_note_ = new QLabel(ToQt(kNoControls), rows);
  empty_note_->setWordWrap(true);
  rows_layout->addWidget(empty_note_);
  rows_layout->addStretch(1);
  area->setWidget(rows);
  layout->addWidget(area, 1);

  auto* buttons = new QHBoxLayout();
  LiveBox = new QCheckBox(QStringLiteral("live"), this);
  LiveBox->setObjectName(QStringLiteral("LiveBox"));
  LiveBox->setToolTip(ToQt("Jede \xC4nderung startet das Hauptprogramm neu."));
  AddSliderButton = new QPushButton(ToQt("Schieberegler \x85"), this);
  AddSliderButton->setObjectName(QStringLiteral("AddSliderButton"));
  AddPointButton = new QPushButton(ToQt("Punkt \x85"), this);
  AddPointButton->setObjectName(QStringLiteral("AddPointButton"));
  buttons->addWidget(LiveBox);
  buttons->addStretch(1);
  buttons->addWidget(AddSliderButton);
  buttons->addWidget(AddPointButton);
  layout->addLayout(buttons);

  connect(LiveBox, &QCheckBox::toggled, this,
          [this](bool checked) { session_.controls.live = checked; });
  connect(AddSliderButton, &QPushButton::clicked, this,
          [this] { AskForControl(ControlKind::Slider); });
  connect(AddPointButton, &QPushButton::clicked, this,
          [this] { AskForControl(ControlKind::Point); });
  Rebuild();
}

EvalContext ControlsPanel::Context() const {
  EvalContext context{session_.project.functions, session_.project.variables, session_.drawing,
                      boxes_};
  context.interrupt = TermInterrupt;
  return context;
}

void ControlsPanel::Rebuild() {
  drag_index_ = -1;
  while (QLayoutItem* item = grid_->takeAt(0)) {
    if (QWidget* widget = item->widget()) {
      widget->hide();
      widget->deleteLater();  // a row's own button may be what asked for this
    }
    delete item;
  }
  rows_.clear();
  filling_ = true;
  const VariableTable& variables = session_.project.variables;
  const std::vector<Control>& controls = session_.controls.controls;
  for (std::size_t n = 0; n < controls.size(); ++n) {
    const Control& control = controls[n];
    const int index = static_cast<int>(n);
    Row row;
    row.name = new QLabel(ToQt(control.variable), this);
    grid_->addWidget(row.name, index, 0);
    const int j = ControlVariable(variables, control);
    if (j < 0) {
      grid_->addWidget(new QLabel(ToQt(kMissingVariable), this), index, 1);
    } else if (control.kind == ControlKind::Slider) {
      row.slider = new QSlider(Qt::Horizontal, this);
      row.slider->setObjectName(QStringLiteral("Slider%1").arg(index));
      const int positions = SliderPositions(control);
      row.slider->setRange(0, positions);
      row.slider->setSingleStep(1);  // an arrow key moves by one step
      row.slider->setPageStep(std::max(1, positions / 10));
      row.slider->setValue(SliderPosition(control, variables.StartValue(j).Re));
      connect(row.slider, &QSlider::valueChanged, this,
              [this, index](int position) { SliderMoved(index, position); });
      connect(row.slider, &QSlider::sliderReleased, this, [this] {
        if (OnDragEnded) OnDragEnded();
      });
      grid_->addWidget(row.slider, index, 1);
    } else {
      grid_->addWidget(new QLabel(ToQt("Punkt im Bild"), this), index, 1);
    }
    row.value = new QLabel(this);
    row.value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid_->addWidget(row.value, index, 2);
    auto* remove = new QToolButton(this);
    remove->setText(ToQt("\xD7"));
    remove->setToolTip(QStringLiteral("Regler entfernen"));
    connect(remove, &QToolButton::clicked, this, [this, index] { RemoveControl(index); });
    grid_->addWidget(remove, index, 3);
    rows_.push_back(row);
    ShowValue(index);
  }
  filling_ = false;
  empty_note_->setVisible(controls.empty());
  LiveBox->setChecked(session_.controls.live);
}

void ControlsPanel::ShowBeside(const QWidget& main_window) {
  if (!isVisible() && !placed_) {
    move(main_window.frameGeometry().topRight() + QPoint(8, 0));
    placed_ = true;
  }
  show();
  raise();
  activateWindow();
}

QSlider* ControlsPanel::Slider(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= rows_.size()) return nullptr;
  return rows_[static_cast<std::size_t>(index)].slider;
}

QString ControlsPanel::ValueText(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= rows_.size()) return {};
  return rows_[static_cast<std::size_t>(index)].value->text();
}

void ControlsPanel::ShowValue(int index) {
  const Control& control = session_.controls.controls[static_cast<std::size_t>(index)];
  const VariableTable& variables = session_.project.variables;
  const int j = ControlVariable(variables, control);
  rows_[static_cast<std::size_t>(index)].value->setText(
      j < 0 ? QString() : ToQt(ComplexToText(variables.StartValue(j))));
}

void ControlsPanel::SetStartValue(int index, TComplex value) {
  const Control& control = session_.controls.controls[static_cast<std::size_t>(index)];
  const int j = ControlVariable(session_.project.variables, control);
  if (j < 0) return;
  session_.project.variables.SetStartValue(j, value);
  ShowValue(index);
}

void ControlsPanel::SliderMoved(int index, int position) {
  if (filling_) return;
  const Control control = session_.controls.controls[static_cast<std::size_t>(index)];
  const QWidget* modal = QApplication::activeModalWidget();
  if (modal != nullptr && modal != this) {
    // A dialog is open that may write the start values back: the slider stays where the
    // value is.
    const int j = ControlVariable(session_.project.variables, control);
    filling_ = true;
    Slider(index)->setValue(SliderPosition(control, session_.project.variables.StartValue(j).Re));
    filling_ = false;
    return;
  }
  SetStartValue(index, ComplexFromReal(SliderValue(control, position)));
  if (OnValueChanged) OnValueChanged(Slider(index)->isSliderDown());
}

std::optional<std::string> ControlsPanel::AddSlider(const std::string& variable,
                                                    const SliderTerms& terms) {
  const VariableTable& variables = session_.project.variables;
  if (std::optional<std::string> refused =
          CheckControlVariable(variables, session_.controls, variable)) {
    return refused;
  }
  Control slider;
  try {
    if (std::optional<std::string> refused = MakeSlider(variable, terms, Context(), slider)) {
      return refused;
    }
  } catch (const Fault& fault) {
    return FaultDisplayText(fault.what());
  } catch (const Interrupted&) {
    return std::string(kEvaluationAbandoned);
  }
  slider.variable = variables.Name(variables.FindVariable(LowerCase1252(variable)));
  session_.controls.controls.push_back(slider);
  Rebuild();
  if (OnControlsChanged) OnControlsChanged();
  return std::nullopt;
}

std::optional<std::string> ControlsPanel::AddPoint(const std::string& variable) {
  const VariableTable& variables = session_.project.variables;
  if (std::optional<std::string> refused =
          CheckControlVariable(variables, session_.controls, variable)) {
    return refused;
  }
  Control point;
  point.kind = ControlKind::Point;
  point.variable = variables.Name(variables.FindVariable(LowerCase1252(variable)));
  session_.controls.controls.push_back(point);
  Rebuild();
  if (OnControlsChanged) OnControlsChanged();
  return std::nullopt;
}

void ControlsPanel::RemoveControl(int index) {
  std::vector<Control>& controls = session_.controls.controls;
  if (index < 0 || static_cast<std::size_t>(index) >= controls.size()) return;
  controls.erase(controls.begin() + index);
  Rebuild();
  if (OnControlsChanged) OnControlsChanged();
}

void ControlsPanel::AskForControl(ControlKind kind) {
  const VariableTable& variables = session_.project.variables;
  QStringList names;
  for (int j = 0; j <= variables.LastVariable(); ++j) {
    if (!CheckControlVariable(variables, session_.controls, variables.Name(j))) {
      names << ToQt(variables.Name(j));
    }
  }
  if (names.isEmpty()) {
    boxes_.Show(MessageKind::Information, kNoVariableLeft, MessageTitle(MessageKind::Information));
    return;
  }
  const bool slider = kind == ControlKind::Slider;
  QDialog dialog(this);
  dialog.setWindowTitle(ToQt(slider ? "Schieberegler hinzuf\xFCgen" : "Punkt hinzuf\xFCgen"));
  auto* form = new QFormLayout(&dialog);
  auto* variable = new QComboBox(&dialog);
  variable->addItems(names);
  form->addRow(QStringLiteral("Variable:"), variable);
  QLineEdit* edits[3] = {};
  const char* const labels[3] = {"Minimum:", "Maximum:", "Schrittweite:"};
  const char* const defaults[3] = {"0", "10", "1"};
  if (slider) {
    for (int n = 0; n < 3; ++n) {
      edits[n] = new QLineEdit(QString::fromLatin1(defaults[n]), &dialog);
      form->addRow(QString::fromLatin1(labels[n]), edits[n]);
    }
  }
  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  box->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  box->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
  form->addRow(box);
  connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  connect(box, &QDialogButtonBox::accepted, &dialog, [&] {
    const std::string name = FromQt(variable->currentText());
    const std::optional<std::string> refused =
        slider ? AddSlider(name, {FromQt(edits[0]->text()), FromQt(edits[1]->text()),
                                  FromQt(edits[2]->text())})
               : AddPoint(name);
    if (refused) {
      boxes_.Show(MessageKind::Error, *refused, MessageTitle(MessageKind::Error));
      return;  // the dialog stays open
    }
    dialog.accept();
  });
  dialog.exec();
}

std::optional<QPoint> ControlsPanel::HandlePoint(const Control& control) const {
  const std::optional<HandlePixel> at =
      PointHandle(control, session_.project.variables, session_.drawing);
  if (!at) return std::nullopt;
  return QPoint(at->x, at->y);
}

std::vector<PictureHandle> ControlsPanel::Handles() const {
  std::vector<PictureHandle> handles;
  for (const Control& control : session_.controls.controls) {
    if (const std::optional<QPoint> at = HandlePoint(control)) {
      handles.push_back({*at, ToQt(control.variable)});
    }
  }
  return handles;
}

bool ControlsPanel::PressAt(int x, int y) {
  const std::vector<Control>& controls = session_.controls.controls;
  // The last handle painted lies on top, so it is tried first.
  for (std::size_t n = controls.size(); n-- > 0;) {
    const std::optional<QPoint> at = HandlePoint(controls[n]);
    if (!at) continue;
    const int dx = x - at->x();
    const int dy = y - at->y();
    if (dx * dx + dy * dy <= kGrabRadius * kGrabRadius) {
      drag_index_ = static_cast<int>(n);
      drag_last_ = QPoint(x, y);
      return true;
    }
  }
  return false;
}

void ControlsPanel::DragTo(int x, int y) {
  if (drag_index_ < 0) return;
  const QPoint moved = QPoint(x, y) - drag_last_;
  drag_last_ = QPoint(x, y);
  const Control& control = session_.controls.controls[static_cast<std::size_t>(drag_index_)];
  const int j = ControlVariable(session_.project.variables, control);
  if (j < 0) return;
  const TComplex old = session_.project.variables.StartValue(j);
  const TComplex value = DraggedValue(old, moved.x(), moved.y(), session_.drawing);
  if (old.Re == value.Re && old.Im == value.Im) return;
  SetStartValue(drag_index_, value);
  if (OnValueChanged) OnValueChanged(true);
}

void ControlsPanel::EndDrag() {
  if (drag_index_ < 0) return;
  drag_index_ = -1;
  if (OnDragEnded) OnDragEnded();
}

void ControlsPanel::SetLive(bool live) { LiveBox->setChecked(live); }

}  // namespace ombrix
