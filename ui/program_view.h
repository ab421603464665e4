// A program as the run window shows it: read-only, indented by block depth, with a
// margin of line numbers and breakpoint marks, and one line highlighted (the line that
// runs next, or the line that failed). It only paints; a click into the margin is
// forwarded.
#pragma once

#include <QPlainTextEdit>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace ombrix {

class ProgramView final : public QPlainTextEdit {
 public:
  explicit ProgramView(QWidget* parent = nullptr);

  // Shows `lines` (as stored, without blanks); the text is set anew only when they changed.
  void SetLines(const std::vector<std::string>& lines);
  void SetBreakpoints(const std::set<int>& lines);  // 0-based
  // The highlighted line (0-based; -1: none), scrolled into view.
  void SetCurrentLine(int line, bool failed);
  int CurrentLine() const { return current_; }
  bool CurrentLineFailed() const { return failed_; }
  // The line of the text cursor, the one "Haltepunkt an/aus" works on.
  int SelectedLine() const;
  void SelectLine(int line);
  int MarginWidth() const;

  // A click into the margin beside line n (0-based).
  std::function<void(int)> OnMarginClick;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void PaintMargin();
  int LineAt(int y) const;

  QWidget* margin_;
  std::vector<std::string> lines_;
  std::set<int> breakpoints_;
  int current_ = -1;
  bool failed_ = false;
};

}  // namespace ombrix
