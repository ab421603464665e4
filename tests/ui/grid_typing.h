// What a grid row ready for typing looks like: current at its value cell, in view, the
// grid with the focus and the cell open, so that the next keys go into the value.
#pragma once

#include <QtTest>

#include "ui/value_list_dialog.h"

namespace ombrix::testing {

inline void VerifyReadyForTyping(TValueListEditor& grid, int row) {
  QCOMPARE(grid.CurrentGridRow(), row);
  QCOMPARE(grid.currentIndex().column(), 1);
  const QRect cell = grid.visualRect(grid.currentIndex());
  QVERIFY(grid.viewport()->rect().contains(cell));
  QWidget* editor = grid.indexWidget(grid.currentIndex());
  QVERIFY(editor != nullptr);
  QTRY_VERIFY(editor->hasFocus());
}

}  // namespace ombrix::testing
