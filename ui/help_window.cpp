#include "ui/help_window.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QTextBlock>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/qt_text.h"

namespace ombrix {

QString LanguageGuideMarkdown() {
  QFile file(QStringLiteral(":/ombrix/sprachuebersicht.md"));
  if (!file.open(QIODevice::ReadOnly)) return QString();
  return QString::fromUtf8(file.readAll());
}

QString WithoutComments(QString markdown) {
  static const QRegularExpression comment(QStringLiteral("<!--.*?-->\\n?"),
                                          QRegularExpression::DotMatchesEverythingOption);
  return markdown.remove(comment);
}

namespace {

constexpr int kReadableWidth = 480;

}  // namespace

QRect BesideWindow(const QRect& main, const QRect& available, const QSize& wanted,
                   int least_width) {
  const int room_right = available.right() - main.right();
  const int room_left = main.left() - available.left();
  const bool right =
      room_right >= wanted.width() || (room_left < wanted.width() && room_right >= room_left);
  const int room = right ? room_right : room_left;
  const int width =
      std::min(available.width(),
               std::max(least_width, std::min(wanted.width(), std::max(room, kReadableWidth))));
  const int height = std::min(wanted.height(), available.height());
  const int x = right ? main.right() + 1 : main.left() - width;
  const int y = main.top();
  return QRect(std::clamp(x, available.left(), available.right() + 1 - width),
               std::clamp(y, available.top(), available.bottom() + 1 - height), width, height);
}

namespace {

// Escape in the search line closes the search bar, as in other programs' find bars.
class SearchLineEdit final : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Escape) {
      parentWidget()->hide();
      return;
    }
    QLineEdit::keyPressEvent(event);
  }
};

QToolButton* SearchButton(const char* tip, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setToolTip(ToQt(tip));
  button->setAutoRaise(true);
  return button;
}

}  // namespace

void ShowAbout(MessageBoxes& boxes) {
  static const char* const kAboutText =
      "Eine Lernumgebung zum Rechnen und Zeichnen mit komplexen Zahlen: Terme, eigene "
      "Funktionen und kleine deutsche Programme, die die komplexe Zahlenebene bemalen.\n\n"
      "Lizenz: GNU General Public License, Version 3 oder sp\xE4ter\n(GPL-3.0-or-later).";
  boxes.Show(MessageKind::Plain, std::string(kApplicationTitle) + "\n\n" + kAboutText, kAboutTitle);
}

void HelpWindow::ShowBeside(const QWidget& main_window) {
  if (!placed_) {
    placed_ = true;
    if (const QScreen* screen = main_window.screen()) {
      const QRect place =
          BesideWindow(main_window.frameGeometry(), screen->availableGeometry(), size());
      resize(place.size());
      move(place.topLeft());
    }
  }
  show();
  raise();
  activateWindow();
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("HelpWindow"));
  setWindowTitle(ToQt("Ombrix \x96 Sprach\374bersicht"));
  resize(860, 680);

  contents = new QListWidget(this);
  contents->setObjectName(QStringLiteral("Contents"));
  contents->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  contents->setTextElideMode(Qt::ElideRight);
  text = new QTextBrowser(this);
  text->setObjectName(QStringLiteral("GuideText"));
  text->setOpenExternalLinks(true);
  text->setSearchPaths({QStringLiteral(":/ombrix")});  // its pictures lie beside it
  text->setMarkdown(WithoutComments(LanguageGuideMarkdown()));
  SpaceBlocks();

  auto* splitter = new QSplitter(this);
  splitter->addWidget(contents);
  splitter->addWidget(text);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({250, 610});

  CreateSearchBar();

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(splitter, 1);
  layout->addWidget(search_bar);

  FillContents();
  connect(contents, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!following_) ShowSection(row);
  });
  connect(text->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { FollowText(); });
  auto* find = new QShortcut(QKeySequence::Find, this);
  connect(find, &QShortcut::activated, this, [this] { OpenSearch(); });
  auto* find_next = new QShortcut(QKeySequence::FindNext, this);
  connect(find_next, &QShortcut::activated, this, [this] { FindNext(); });
  auto* find_previous = new QShortcut(QKeySequence::FindPrevious, this);
  connect(find_previous, &QShortcut::activated, this, [this] { FindNext(true); });
}

void HelpWindow::CreateSearchBar() {
  search_bar = new QWidget(this);
  search_bar->setObjectName(QStringLiteral("SearchBar"));
  search_line = new SearchLineEdit(search_bar);
  search_line->setObjectName(QStringLiteral("SearchLine"));
  search_line->setPlaceholderText(ToQt("Suchen \x85"));
  QToolButton* previous = SearchButton("Vorige Stelle (Umschalt+F3)", search_bar);
  previous->setArrowType(Qt::UpArrow);
  QToolButton* next = SearchButton("N\344chste Stelle (F3)", search_bar);
  next->setArrowType(Qt::DownArrow);
  QToolButton* close = SearchButton("Suche schlie\337en (Esc)", search_bar);
  close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
  auto* search_layout = new QHBoxLayout(search_bar);
  search_layout->setContentsMargins(0, 0, 0, 0);
  search_layout->addWidget(new QLabel(QStringLiteral("Suchen:"), search_bar));
  search_layout->addWidget(search_line, 1);
  search_layout->addWidget(previous);
  search_layout->addWidget(next);
  search_layout->addWidget(close);
  connect(search_line, &QLineEdit::returnPressed, this, [this] { FindNext(); });
  connect(search_line, &QLineEdit::textEdited, this, [this] {
    // Typing searches from the start of the current match, so the match grows in place.
    QTextCursor cursor = text->textCursor();
    cursor.setPosition(cursor.selectionStart());
    text->setTextCursor(cursor);
    FindNext();
  });
  connect(next, &QToolButton::clicked, this, [this] { FindNext(); });
  connect(previous, &QToolButton::clicked, this, [this] { FindNext(true); });
  connect(close, &QToolButton::clicked, search_bar, &QWidget::hide);
  search_bar->hide();
}

void HelpWindow::SpaceBlocks() {
  // Qt's Markdown gives headings no room above them and examples no ground of their own.
  QTextCursor cursor(text->document());
  for (QTextBlock block = text->document()->begin(); block.isValid(); block = block.next()) {
    QTextBlockFormat format = block.blockFormat();
    if (format.headingLevel() > 0) {
      format.setTopMargin(format.headingLevel() == 1 ? 4 : 14);
    } else if (format.nonBreakableLines()) {  // a code block
      format.setBackground(QColor(0xF2, 0xF4, 0xF8));
      format.setLeftMargin(8);
      // Dark text on its light ground, whatever the palette's text colour.
      QTextCursor text_of(block);
      text_of.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
      QTextCharFormat dark;
      dark.setForeground(QColor(0x20, 0x20, 0x20));
      text_of.mergeCharFormat(dark);
    } else {
      continue;
    }
    cursor.setPosition(block.position());
    cursor.setBlockFormat(format);
  }
}

void HelpWindow::FillContents() {
  for (QTextBlock block = text->document()->begin(); block.isValid(); block = block.next()) {
    const int level = block.blockFormat().headingLevel();
    if (level == 0) continue;
    auto* item = new QListWidgetItem(QString(2 * (level - 1), QLatin1Char(' ')) + block.text());
    if (level == 1) {
      QFont bold = item->font();
      bold.setBold(true);
      item->setFont(bold);
    }
    contents->addItem(item);
    heading_blocks_.append(block.blockNumber());
  }
}

void HelpWindow::FollowText() {
  if (showing_section_) return;  // the chosen row stays, even where the text cannot reach it
  // The section whose heading is the last one at or above the top of the view.
  const int top = text->verticalScrollBar()->value();
  int row = 0;
  for (int r = 0; r < heading_blocks_.size(); ++r) {
    const QTextBlock block = text->document()->findBlockByNumber(heading_blocks_[r]);
    if (text->document()->documentLayout()->blockBoundingRect(block).top() > top + 1) break;
    row = r;
  }
  if (row == contents->currentRow()) return;
  following_ = true;
  contents->setCurrentRow(row);
  following_ = false;
}

void HelpWindow::ShowSection(int row) {
  if (row < 0 || row >= heading_blocks_.size()) return;
  showing_section_ = true;
  const QTextBlock block = text->document()->findBlockByNumber(heading_blocks_[row]);
  text->setTextCursor(QTextCursor(block));
  // The heading at the top of the view, not merely somewhere visible.
  const qreal top = text->document()->documentLayout()->blockBoundingRect(block).top();
  text->verticalScrollBar()->setValue(static_cast<int>(top));
  showing_section_ = false;
}

void HelpWindow::OpenSearch() {
  search_bar->show();
  search_line->setFocus();
  search_line->selectAll();
}

bool HelpWindow::FindNext(bool backwards) {
  const QString wanted = search_line->text();
  search_line->setStyleSheet(QString());
  if (wanted.isEmpty()) return false;
  // A search that finds nothing leaves the text where the reader was.
  const QTextCursor before = text->textCursor();
  const int scrolled = text->verticalScrollBar()->value();
  const QTextDocument::FindFlags flags =
      backwards ? QTextDocument::FindBackward : QTextDocument::FindFlags();
  if (text->find(wanted, flags)) return true;
  // Past the last match: go round from the other end once.
  QTextCursor cursor = text->textCursor();
  cursor.movePosition(backwards ? QTextCursor::End : QTextCursor::Start);
  text->setTextCursor(cursor);
  if (text->find(wanted, flags)) return true;
  text->setTextCursor(before);
  text->verticalScrollBar()->setValue(scrolled);
  search_line->setStyleSheet(QStringLiteral("background: #f6c6c6;"));
  return false;
}

}  // namespace ombrix
