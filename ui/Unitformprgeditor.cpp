#include "ui/Unitformprgeditor.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>

#include "logic/project/project_file.h"
#include "platform/qt_text.h"

namespace ombrix {

namespace {

constexpr int kMargin = 8;
constexpr int kButtonWidth = 89;
constexpr int kButtonHeight = 28;

QFont CourierNew() {
  QFont font(QStringLiteral("Courier New"), 10);
  font.setStyleHint(QFont::TypeWriter);
  return font;
}

// A line this long takes the text area noticeably long to paint: Qt lays out and
// draws the whole line, not only its visible part, at every blink of the cursor.
constexpr int kLongLine = 10000;

// Keys that change the text or may: the keys that type a character, Backspace and Enter,
// and the editing shortcuts. Keys whose text is a control character (Escape, Ctrl+A,
// Ctrl+C, Tab where it moves the focus) type nothing, and neither does Delete.
bool ProducesCharacter(const QKeyEvent& key, bool inserts_tab) {
  switch (key.key()) {
    case Qt::Key_Delete:
    case Qt::Key_Escape:
      return false;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return inserts_tab && key.key() == Qt::Key_Tab;
    case Qt::Key_Backspace:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return true;
    default:
      break;
  }
  if (key.matches(QKeySequence::Paste) || key.matches(QKeySequence::Cut) ||
      key.matches(QKeySequence::Undo) || key.matches(QKeySequence::Redo)) {
    return true;
  }
  const QString text = key.text();
  if (text.isEmpty()) return false;
  // With Ctrl (or Ctrl+Shift) a letter is a shortcut, never typed; AltGr, which
  // arrives as Ctrl+Alt on some systems, still types.
  const Qt::KeyboardModifiers mods = key.modifiers() & ~Qt::KeypadModifier;
  if (mods == Qt::ControlModifier || mods == (Qt::ControlModifier | Qt::ShiftModifier)) {
    return false;
  }
  const QChar first = text.front();
  return first.isPrint() || first.category() == QChar::Other_Format ||
         first.category() == QChar::Other_PrivateUse || first.isHighSurrogate();
}

// A place in the text that re-indenting keeps: its line, and how many characters other
// than blanks stand before it on that line.
struct TextPlace {
  int line;
  qsizetype characters;
};

TextPlace PlaceOf(const QTextDocument& document, int position) {
  const QTextBlock block = document.findBlock(position);
  const QString before = block.text().left(position - block.position());
  return {block.blockNumber(), before.size() - before.count(QLatin1Char(' '))};
}

int PositionOf(const QTextDocument& document, TextPlace place) {
  QTextBlock block = document.findBlockByNumber(place.line);
  if (!block.isValid()) block = document.lastBlock();
  const QString text = block.text();
  qsizetype column = 0;
  while (column < text.size() && text[column] == QLatin1Char(' ')) ++column;  // the indent
  for (qsizetype seen = 0; column < text.size() && seen < place.characters; ++column) {
    if (text[column] != QLatin1Char(' ')) ++seen;
  }
  return block.position() + static_cast<int>(column);
}

bool IsLineBreak(QChar c) {
  return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::ParagraphSeparator ||
         c == QChar::LineSeparator;
}

qsizetype NonBlanks(QStringView text) { return text.size() - text.count(QLatin1Char(' ')); }

// The characters other than blanks (what a stored program line keeps) of the longest line
// that `text` makes in place of the cursor's selection.
qsizetype LongestLineWith(const QTextCursor& cursor, const QString& text) {
  QTextCursor start = cursor;
  start.setPosition(cursor.selectionStart());
  QTextCursor end = cursor;
  end.setPosition(cursor.selectionEnd());
  const QString first_block = start.block().text();
  const QString last_block = end.block().text();
  qsizetype line = NonBlanks(QStringView(first_block).left(start.positionInBlock()));
  qsizetype longest = 0;
  for (const QChar c : text) {
    if (IsLineBreak(c)) {
      longest = std::max(longest, line);
      line = 0;
    } else if (c != QLatin1Char(' ')) {
      ++line;
    }
  }
  line += NonBlanks(QStringView(last_block).mid(end.positionInBlock()));
  return std::max(longest, line);
}

// The program text area: a line longer than a project may hold is refused at once, as it
// is typed or pasted, before the text area has to lay it out.
class ProgramMemo final : public QPlainTextEdit {
 public:
  ProgramMemo(QWidget* parent, std::function<void(qsizetype)> refused)
      : QPlainTextEdit(parent), refused_(std::move(refused)) {}

  // False, after saying so, when `text` in place of the selection makes a line too long.
  bool Fits(const QString& text) {
    const qsizetype longest = LongestLineWith(textCursor(), text);
    if (longest <= static_cast<qsizetype>(kMaxLineLength)) return true;
    refused_(longest);
    return false;
  }

 protected:
  void insertFromMimeData(const QMimeData* source) override {
    if (source->hasText() && !Fits(source->text())) return;
    QPlainTextEdit::insertFromMimeData(source);
  }

 private:
  std::function<void(qsizetype)> refused_;
};

bool HasLongLine(const QTextDocument& document) {
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    if (block.length() > kLongLine) return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> SplitEditorText(const QString& text) {
  std::vector<std::string> lines;
  if (text.isEmpty()) return lines;
  QStringList parts = text.split(QLatin1Char('\n'));
  if (text.endsWith(QLatin1Char('\n'))) parts.removeLast();
  lines.reserve(static_cast<std::size_t>(parts.size()));
  for (const QString& p : parts) lines.push_back(FromQt(p));
  return lines;
}

QString JoinEditorLines(const std::vector<std::string>& lines) {
  QString text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += QLatin1Char('\n');
    text += ToQt(lines[i]);
  }
  if (!lines.empty() && lines.back().empty()) text += QLatin1Char('\n');
  return text;
}

TFormPrgEditor::TFormPrgEditor(bool& project_changed, MessageBoxes& boxes, QWidget* parent)
    : QDialog(parent), project_changed_(project_changed), boxes_(boxes) {
  setObjectName(QStringLiteral("FormPrgEditor"));
  setWindowTitle(QStringLiteral("Programm editieren: "));
  setSizeGripEnabled(true);

  Memo1 = new ProgramMemo(this, [this](qsizetype length) { LineTooLong(length); });
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->setFont(CourierNew());
  QPalette palette = Memo1->palette();
  palette.setColor(QPalette::Base, QColor(0xC0, 0xC0, 0xC0));
  palette.setColor(QPalette::Text, Qt::black);
  Memo1->setPalette(palette);
  Memo1->setTabChangesFocus(true);  // Tab moves to the buttons, as in a plain memo
  Memo1->installEventFilter(this);
  connect(Memo1, &QPlainTextEdit::textChanged, this, [this] {
    if (!writing_) {
      memo_is_newer_ = true;
      MarkStructure(-1);  // edited: the mark may no longer fit
    }
    SteadyCursorForLongLines();
  });

  Button2 = new QPushButton(QStringLiteral("Neu formatieren"), this);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button2->setAutoDefault(false);
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });

  Label1 = new QLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  connect(Memo1, &QPlainTextEdit::cursorPositionChanged, this, [this] { ShowCursorLine(); });
  ShowCursorLine();

  Button1 = new QPushButton(QStringLiteral("OK"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setAutoDefault(false);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

  // The dialog font is small; "Neu formatieren" has to fit 89 pixels.
  QFont buttons = Button2->font();
  buttons.setPointSizeF(8);
  buttons.setStretch(QFont::SemiCondensed);
  Button1->setFont(buttons);
  Button2->setFont(buttons);
  setTabOrder(Memo1, Button2);
  setTabOrder(Button2, Button1);
  setMinimumSize(2 * kMargin + 2 * kButtonWidth + 20, 120);
  resize(605, 384);  // client area of the 613 x 411 window
  Arrange();
}

TFormPrgEditor::~TFormPrgEditor() { SetSteadyCursor(false); }

void TFormPrgEditor::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  Arrange();
}

void TFormPrgEditor::Arrange() {
  // Memo1 grows with the window; the buttons keep to the bottom right corner.
  const int w = width();
  const int h = height();
  Memo1->setGeometry(kMargin, kMargin, w - 20, h - kMargin - 47);
  Button2->setGeometry(w - 205, h - 41, kButtonWidth, kButtonHeight);
  Button1->setGeometry(w - 101, h - 40, kButtonWidth, kButtonHeight);
  Label1->setGeometry(kMargin, h - 41, std::max(0, w - 205 - 2 * kMargin), kButtonHeight);
}

void TFormPrgEditor::ShowCursorLine() {
  // One text line is one program line, so this is the number a failure message names.
  Label1->setText(QStringLiteral("Zeile %1").arg(Memo1->textCursor().blockNumber() + 1));
}

const std::vector<std::string>& TFormPrgEditor::Lines() const {
  if (memo_is_newer_) {
    lines_ = SplitEditorText(Memo1->toPlainText());
    memo_is_newer_ = false;
  }
  return lines_;
}

int TFormPrgEditor::Count() const { return static_cast<int>(Lines().size()); }

std::string TFormPrgEditor::Line(int index) const {
  const auto& lines = Lines();
  if (index < 0 || static_cast<std::size_t>(index) >= lines.size()) return {};
  return lines[static_cast<std::size_t>(index)];
}

void TFormPrgEditor::ReplaceLine(int index, const std::string& text) {
  Lines();
  if (index < 0 || static_cast<std::size_t>(index) >= lines_.size()) return;
  lines_[static_cast<std::size_t>(index)] = text;
  Changed();
}

void TFormPrgEditor::Clear() {
  Lines();
  lines_.clear();
  Changed();
}

void TFormPrgEditor::Append(const std::string& text) {
  Lines();
  lines_.push_back(text);
  Changed();
}

void TFormPrgEditor::LoadProgram(const ProgramText& program, int slot, int current_line) {
  BeginUpdate();
  try {
    LoadProgramIntoEditor(program, slot, *this, boxes_);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
  SetCurrentLine(program, current_line);
}

void TFormPrgEditor::BeginUpdate() { ++update_depth_; }

void TFormPrgEditor::EndUpdate() {
  if (update_depth_ > 0 && --update_depth_ == 0 && lines_are_newer_) WriteToMemo();
}

void TFormPrgEditor::Changed() {
  lines_are_newer_ = true;
  if (update_depth_ == 0) WriteToMemo();
}

void TFormPrgEditor::WriteToMemo() {
  writing_ = true;
  Memo1->setPlainText(JoinEditorLines(lines_));
  writing_ = false;
  MarkStructure(-1);  // a new text, not yet checked
  lines_are_newer_ = false;
}

void TFormPrgEditor::SetCaption(const std::string& caption) { setWindowTitle(ToQt(caption)); }

void TFormPrgEditor::SetCurrentLine(const ProgramText& program, int current_line) {
  selection_text_.clear();
  if (current_line >= 0 && static_cast<std::size_t>(current_line) < program.size()) {
    selection_text_ = program[static_cast<std::size_t>(current_line)];
  }
}

void TFormPrgEditor::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
  SteadyCursorForLongLines();
}

void TFormPrgEditor::hideEvent(QHideEvent* event) {
  SetSteadyCursor(false);
  QDialog::hideEvent(event);
}

void TFormPrgEditor::SteadyCursorForLongLines() {
  if (isVisible()) SetSteadyCursor(HasLongLine(*Memo1->document()));
}

void TFormPrgEditor::SetSteadyCursor(bool steady) {
  // Every blink repaints a long line whole, which keeps a core busy while nothing
  // happens. The blink time is the application's; while this modal window is open no
  // other window takes input, and it is given back when the window closes.
  if (steady == (saved_flash_time_ >= 0)) return;
  if (steady) {
    saved_flash_time_ = QApplication::cursorFlashTime();
    QApplication::setCursorFlashTime(0);
  } else {
    QApplication::setCursorFlashTime(saved_flash_time_);
    saved_flash_time_ = -1;
  }
}

void TFormPrgEditor::MarkStructure(int line) {
  if (line == structure_mark_) return;
  structure_mark_ = line;
  QList<QTextEdit::ExtraSelection> marks;
  const QTextBlock block = Memo1->document()->findBlockByNumber(line);
  if (line >= 0 && block.isValid()) {
    // As the run window marks a failing line, in both colours for any palette.
    QTextEdit::ExtraSelection mark;
    mark.format.setBackground(QColor(0xFF, 0xB4, 0xB4));
    mark.format.setForeground(Qt::black);
    mark.format.setProperty(QTextFormat::FullWidthSelection, true);
    mark.cursor = QTextCursor(block);
    marks.append(mark);
  }
  Memo1->setExtraSelections(marks);
}

void TFormPrgEditor::FormShow() {
  if (lines_are_newer_) WriteToMemo();
  MarkStructure(StructureFaultLine(*this));
  Memo1->setFocus();
  QTextCursor cursor(Memo1->document());
  cursor.movePosition(QTextCursor::Start);
  if (!selection_text_.empty()) {
    // The first occurrence in the whole text, even when an earlier line holds the same text.
    const QString needle = ToQt(selection_text_);
    const qsizetype at = Memo1->toPlainText().indexOf(needle);
    if (at >= 0) {
      cursor.setPosition(static_cast<int>(at));
      cursor.setPosition(static_cast<int>(at + needle.size()), QTextCursor::KeepAnchor);
    }
  }
  Memo1->setTextCursor(cursor);
  Memo1->ensureCursorVisible();
}

void TFormPrgEditor::Button1Click() { accept(); }

void TFormPrgEditor::Button2Click() {
  // The new text replaces the old one whole; the cursor (and a selection) stay before
  // the same characters of the same lines, and the view where it was.
  const QTextCursor before = Memo1->textCursor();
  const TextPlace anchor = PlaceOf(*Memo1->document(), before.anchor());
  const TextPlace position = PlaceOf(*Memo1->document(), before.position());
  const int scrolled = Memo1->verticalScrollBar()->value();
  FormatProgramText(*this, boxes_);
  MarkStructure(StructureFaultLine(*this));
  QTextCursor after(Memo1->document());
  after.setPosition(PositionOf(*Memo1->document(), anchor));
  after.setPosition(PositionOf(*Memo1->document(), position), QTextCursor::KeepAnchor);
  Memo1->setTextCursor(after);
  Memo1->verticalScrollBar()->setValue(scrolled);
  Memo1->ensureCursorVisible();
  // The click (and the structure message) took the focus; typing goes on in the text.
  Memo1->setFocus();
}

void TFormPrgEditor::Memo1KeyPress() { project_changed_ = true; }

void TFormPrgEditor::LineTooLong(qsizetype length) {
  boxes_.Show(MessageKind::Error,
              "Eine Programmzeile darf h\xF6"
              "chstens " +
                  std::to_string(kMaxLineLength) +
                  " Zeichen haben (Leerzeichen z\xE4hlen nicht mit); hier w\xE4ren es " +
                  std::to_string(length) + " geworden. Der Text wurde nicht eingef\xFCgt.");
}

bool TFormPrgEditor::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Memo1 && event->type() == QEvent::KeyPress) {
    const auto& key = *static_cast<QKeyEvent*>(event);
    if (!ProducesCharacter(key, !Memo1->tabChangesFocus()))
      return QDialog::eventFilter(watched, event);
    // A typed character that would make its line too long is not typed.
    const QString typed = key.text();
    if (!typed.isEmpty() && typed.front().isPrint() && !key.matches(QKeySequence::Paste) &&
        !static_cast<ProgramMemo*>(Memo1)->Fits(typed)) {
      return true;
    }
    Memo1KeyPress();
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace ombrix
