// The "Regler" panel: not modal; one row per control (the variable's name, its slider or
// the point's value), the "live" switch and the buttons that add controls. Points are
// dragged on the picture; the main window forwards the mouse to PressAt/DragTo/EndDrag.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "logic/complex/messages.h"
#include "logic/project/controls_file.h"
#include "ui/picture_box.h"
#include "ui/session.h"

class QCheckBox;
class QGridLayout;
class QLabel;
class QPushButton;
class QSlider;

namespace ombrix {

class ControlsPanel final : public QDialog {
 public:
  ControlsPanel(Session& session, MessageBoxes& boxes, QWidget* parent = nullptr);

  QCheckBox* LiveBox;
  QPushButton* AddSliderButton;
  QPushButton* AddPointButton;

  // Shows the panel in front: the first time beside `main_window`, so that it does not
  // cover the picture; then where the user left it.
  void ShowBeside(const QWidget& main_window);
  // The rows anew from the session's controls and start values (a project was opened or
  // made new, the variable dialog was closed).
  void Rebuild();
  // The slider of control `index`, or null for a point or a control without variable.
  QSlider* Slider(int index) const;
  // The value column of control `index`, in display form.
  QString ValueText(int index) const;

  // Refused with the German reason; otherwise the control is added at the end.
  [[nodiscard]] std::optional<std::string> AddSlider(const std::string& variable,
                                                     const SliderTerms& terms);
  [[nodiscard]] std::optional<std::string> AddPoint(const std::string& variable);
  void RemoveControl(int index);

  // The points of the point controls under the current scale.
  std::vector<PictureHandle> Handles() const;
  // A press of the left button: on a handle it starts a drag (true), which ends with
  // EndDrag (released) or CancelDrag (a failure took the mouse).
  bool PressAt(int x, int y);
  bool Dragging() const { return drag_index_ >= 0; }
  void DragTo(int x, int y);
  void EndDrag();
  void CancelDrag() { drag_index_ = -1; }
  // The "live" switch, also when a failure turns it off.
  void SetLive(bool live);

  // A control set a start value; `dragging` while a handle or a slider is held.
  std::function<void(bool dragging)> OnValueChanged;
  // A handle or a slider was let go.
  std::function<void()> OnDragEnded;
  // A control was added or removed.
  std::function<void()> OnControlsChanged;
  // Asked inside the long powers of a slider's terms, which it may abandon.
  Interrupt* TermInterrupt = nullptr;

 private:
  struct Row {
    QLabel* name = nullptr;
    QSlider* slider = nullptr;
    QLabel* value = nullptr;
  };
  void AskForControl(ControlKind kind);
  void SliderMoved(int index, int position);
  void SetStartValue(int index, TComplex value);
  void ShowValue(int index);
  EvalContext Context() const;
  // Where a point control's handle is, unless it lies far outside the picture.
  std::optional<QPoint> HandlePoint(const Control& control) const;

  Session& session_;
  MessageBoxes& boxes_;
  QGridLayout* grid_;
  QLabel* empty_note_;
  std::vector<Row> rows_;
  int drag_index_ = -1;
  QPoint drag_last_;      // where the pointer was at the last press or move of a drag
  bool filling_ = false;  // sliders set from start values, not by the user
  bool placed_ = false;   // put beside the main window once
};

}  // namespace ombrix
