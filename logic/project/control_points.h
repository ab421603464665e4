// A point control on the picture: where its handle stands, and where dragging the handle
// takes its variable's start value. Every front end with handles asks these, so that a
// handle moves the same way under the mouse, a finger or the keyboard.
#pragma once

#include <optional>

#include "logic/complex/complex.h"
#include "logic/program/drawing_state.h"
#include "logic/project/controls_file.h"

namespace ombrix {

// Handles further outside the picture than this are not shown (and cannot be grabbed).
inline constexpr int kHandleReach = 4000;

struct HandlePixel {
  int x = 0, y = 0;
};

// The pixel of the start value of a point control's variable under the current scale;
// none for a slider, a missing variable or a value too far outside the picture.
std::optional<HandlePixel> PointHandle(const Control& control, const VariableTable& variables,
                                       const DrawingState& drawing);

// `from` moved by (dx, dy) pixels: by what the pointer moved, under the scale the picture
// shows now (a live run may just have set another). Moving out of the picture stops at its
// edge, so that the handle can always be grabbed again; a value already beyond it is not
// pulled back.
TComplex DraggedValue(TComplex from, int dx, int dy, const DrawingState& drawing);

}  // namespace ombrix
