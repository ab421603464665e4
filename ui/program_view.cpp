#include "ui/program_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTextBlock>
#include <algorithm>

#include "logic/program/program_text.h"
#include "platform/qt_text.h"

namespace ombrix {

namespace {

// The structure message belongs to the editor; here an unbalanced program is only shown.
class NoBoxes final : public MessageBoxes {
 public:
  void Show(MessageKind, const std::string&, const std::string&) override {}
  bool Confirm(const std::string&) override { return false; }
};

const QColor kNextLine(0xFF, 0xF0, 0x9A);
const QColor kFailedLine(0xFF, 0xB4, 0xB4);
const QColor kBreakpoint(0xC8, 0x10, 0x10);

}  // namespace

ProgramView::ProgramView(QWidget* parent) : QPlainTextEdit(parent), margin_(new QWidget(this)) {
  setReadOnly(true);
  // Read-only, but the cursor still moves with the keys: it selects the breakpoint line.
  setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  QFont font(QStringLiteral("Courier New"), 10);
  font.setStyleHint(QFont::TypeWriter);
  setFont(font);
  margin_->setObjectName(QStringLiteral("Margin"));
  margin_->setCursor(Qt::PointingHandCursor);
  margin_->installEventFilter(this);
  connect(this, &QPlainTextEdit::blockCountChanged, this,
          [this] { setViewportMargins(MarginWidth(), 0, 0, 0); });
  connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& rect, int dy) {
    if (dy != 0) {
      margin_->scroll(0, dy);
    } else {
      margin_->update(0, rect.y(), margin_->width(), rect.height());
    }
  });
  setViewportMargins(MarginWidth(), 0, 0, 0);
}

void ProgramView::SetLines(const std::vector<std::string>& lines) {
  if (lines == lines_ && !document()->isEmpty()) return;
  if (lines.empty() && lines_.empty()) return;
  lines_ = lines;
  VectorEditorLines shown(lines);
  NoBoxes silent;
  FormatProgramText(shown, silent);
  QString text;
  for (std::size_t i = 0; i < shown.lines.size(); ++i) {
    if (i > 0) text += QLatin1Char('\n');
    text += ToQt(shown.lines[i]);
  }
  const int keep = SelectedLine();
  setPlainText(text);
  SelectLine(std::min(keep, static_cast<int>(lines_.size()) - 1));
  SetCurrentLine(current_, failed_);
}

void ProgramView::SetBreakpoints(const std::set<int>& lines) {
  if (lines == breakpoints_) return;
  breakpoints_ = lines;
  margin_->update();
}

void ProgramView::SetCurrentLine(int line, bool failed) {
  const bool moved = line != current_;
  current_ = line;
  failed_ = failed;
  QList<QTextEdit::ExtraSelection> marks;
  const QTextBlock block = document()->findBlockByNumber(line);
  if (line >= 0 && block.isValid()) {
    QTextEdit::ExtraSelection mark;
    // Both colours: the palette's text colour may be light (a dark theme).
    mark.format.setBackground(failed ? kFailedLine : kNextLine);
    mark.format.setForeground(Qt::black);
    mark.format.setProperty(QTextFormat::FullWidthSelection, true);
    mark.cursor = QTextCursor(block);
    marks.append(mark);
  }
  setExtraSelections(marks);
  if (moved && block.isValid()) {
    // Into view without moving the reader's own cursor.
    const QTextCursor keep = textCursor();
    setTextCursor(QTextCursor(block));
    ensureCursorVisible();
    setTextCursor(keep);
  }
  margin_->update();
}

int ProgramView::SelectedLine() const { return textCursor().blockNumber(); }

void ProgramView::SelectLine(int line) {
  const QTextBlock block = document()->findBlockByNumber(std::max(line, 0));
  if (block.isValid()) setTextCursor(QTextCursor(block));
}

int ProgramView::MarginWidth() const {
  int digits = 1;
  for (int n = std::max(1, blockCount()); n >= 10; n /= 10) ++digits;
  // A dot for the breakpoint, then the number.
  return fontMetrics().height() + 6 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * digits;
}

void ProgramView::resizeEvent(QResizeEvent* event) {
  QPlainTextEdit::resizeEvent(event);
  const QRect area = contentsRect();
  margin_->setGeometry(area.left(), area.top(), MarginWidth(), area.height());
}

int ProgramView::LineAt(int y) const {
  for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
    const QRectF box = blockBoundingGeometry(block).translated(contentOffset());
    if (y < box.top()) break;
    if (y < box.bottom()) return block.blockNumber();
  }
  return -1;
}

bool ProgramView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == margin_) {
    if (event->type() == QEvent::Paint) {
      PaintMargin();
      return true;
    }
    if (event->type() == QEvent::MouseButtonPress) {
      const int line = LineAt(static_cast<QMouseEvent*>(event)->position().toPoint().y());
      if (line >= 0 && line < static_cast<int>(lines_.size()) && OnMarginClick) {
        OnMarginClick(line);
      }
      return true;
    }
  }
  return QPlainTextEdit::eventFilter(watched, event);
}

void ProgramView::PaintMargin() {
  QPainter painter(margin_);
  painter.fillRect(margin_->rect(), palette().color(QPalette::Window));
  const int dot = fontMetrics().height() - 4;
  for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
    const QRectF box = blockBoundingGeometry(block).translated(contentOffset());
    if (box.top() > margin_->height()) break;
    const int n = block.blockNumber();
    if (n >= static_cast<int>(lines_.size())) break;
    const int top = static_cast<int>(box.top());
    if (breakpoints_.count(n) != 0) {
      painter.setRenderHint(QPainter::Antialiasing);
      painter.setBrush(kBreakpoint);
      painter.setPen(Qt::NoPen);
      painter.drawEllipse(3, top + 2, dot, dot);
    }
    painter.setPen(n == current_ ? palette().color(QPalette::Text)
                                 : palette().color(QPalette::PlaceholderText));
    painter.drawText(0, top, margin_->width() - 3, fontMetrics().height(),
                     Qt::AlignRight | Qt::AlignVCenter, QString::number(n + 1));
  }
}

}  // namespace ombrix
