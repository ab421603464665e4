#include "ui/help_window.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QTextBlock>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/qt_text.h"

namespace ombrix {

QString LanguageGuideMarkdown() {
  QFile file(QStringLiteral(":/ombrix/sprachuebersicht.md"));
  if (!file.open(QIODevice::ReadOnly)) return QString();
  return QString::fromUtf8(file.readAll());
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

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("HelpWindow"));
  setWindowTitle(ToQt("Ombrix \x96 Sprach\374bersicht"));
  resize(860, 680);

  Contents = new QListWidget(this);
  Contents->setObjectName(QStringLiteral("Contents"));
  Contents->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Contents->setTextElideMode(Qt::ElideRight);
  Text = new QTextBrowser(this);
  Text->setObjectName(QStringLiteral("GuideText"));
  Text->setOpenExternalLinks(true);
  Text->setMarkdown(LanguageGuideMarkdown());
  SpaceBlocks();

  auto* splitter = new QSplitter(this);
  splitter->addWidget(Contents);
  splitter->addWidget(Text);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({250, 610});

  SearchBar = new QWidget(this);
  SearchBar->setObjectName(QStringLiteral("SearchBar"));
  SearchLine = new SearchLineEdit(SearchBar);
  SearchLine->setObjectName(QStringLiteral("SearchLine"));
  SearchLine->setPlaceholderText(ToQt("Suchen \x85"));
  QToolButton* previous = SearchButton("Vorige Stelle (Umschalt+F3)", SearchBar);
  previous->setArrowType(Qt::UpArrow);
  QToolButton* next = SearchButton("N\344chste Stelle (F3)", SearchBar);
  next->setArrowType(Qt::DownArrow);
  QToolButton* close = SearchButton("Suche schlie\337en (Esc)", SearchBar);
  close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
  auto* searchLayout = new QHBoxLayout(SearchBar);
  searchLayout->setContentsMargins(0, 0, 0, 0);
  searchLayout->addWidget(new QLabel(QStringLiteral("Suchen:"), SearchBar));
  searchLayout->addWidget(SearchLine, 1);
  searchLayout->addWidget(previous);
  searchLayout->addWidget(next);
  searchLayout->addWidget(close);
  SearchBar->hide();

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(splitter, 1);
  layout->addWidget(SearchBar);

  FillContents();
  connect(Contents, &QListWidget::currentRowChanged, this, [this](int row) { ShowSection(row); });
  connect(SearchLine, &QLineEdit::returnPressed, this, [this] { FindNext(); });
  connect(SearchLine, &QLineEdit::textEdited, this, [this] {
    // Typing searches from the start of the current match, so the match grows in place.
    QTextCursor cursor = Text->textCursor();
    cursor.setPosition(cursor.selectionStart());
    Text->setTextCursor(cursor);
    FindNext();
  });
  connect(next, &QToolButton::clicked, this, [this] { FindNext(); });
  connect(previous, &QToolButton::clicked, this, [this] { FindNext(true); });
  connect(close, &QToolButton::clicked, SearchBar, &QWidget::hide);
  auto* find = new QShortcut(QKeySequence::Find, this);
  connect(find, &QShortcut::activated, this, [this] { OpenSearch(); });
  auto* findNext = new QShortcut(QKeySequence::FindNext, this);
  connect(findNext, &QShortcut::activated, this, [this] { FindNext(); });
  auto* findPrevious = new QShortcut(QKeySequence::FindPrevious, this);
  connect(findPrevious, &QShortcut::activated, this, [this] { FindNext(true); });
}

void HelpWindow::SpaceBlocks() {
  // Qt's Markdown gives headings no room above them and examples no ground of their own.
  QTextCursor cursor(Text->document());
  for (QTextBlock block = Text->document()->begin(); block.isValid(); block = block.next()) {
    QTextBlockFormat format = block.blockFormat();
    if (format.headingLevel() > 0) {
      format.setTopMargin(format.headingLevel() == 1 ? 4 : 14);
    } else if (format.nonBreakableLines()) {  // a code block
      format.setBackground(QColor(0xF2, 0xF4, 0xF8));
      format.setLeftMargin(8);
    } else {
      continue;
    }
    cursor.setPosition(block.position());
    cursor.setBlockFormat(format);
  }
}

void HelpWindow::FillContents() {
  for (QTextBlock block = Text->document()->begin(); block.isValid(); block = block.next()) {
    const int level = block.blockFormat().headingLevel();
    if (level == 0) continue;
    auto* item = new QListWidgetItem(QString(2 * (level - 1), QLatin1Char(' ')) + block.text());
    if (level == 1) {
      QFont bold = item->font();
      bold.setBold(true);
      item->setFont(bold);
    }
    Contents->addItem(item);
    heading_blocks_.append(block.blockNumber());
  }
}

void HelpWindow::ShowSection(int row) {
  if (row < 0 || row >= heading_blocks_.size()) return;
  const QTextBlock block = Text->document()->findBlockByNumber(heading_blocks_[row]);
  Text->setTextCursor(QTextCursor(block));
  // The heading at the top of the view, not merely somewhere visible.
  const qreal top = Text->document()->documentLayout()->blockBoundingRect(block).top();
  Text->verticalScrollBar()->setValue(static_cast<int>(top));
}

void HelpWindow::OpenSearch() {
  SearchBar->show();
  SearchLine->setFocus();
  SearchLine->selectAll();
}

bool HelpWindow::FindNext(bool backwards) {
  const QString wanted = SearchLine->text();
  SearchLine->setStyleSheet(QString());
  if (wanted.isEmpty()) return false;
  const QTextDocument::FindFlags flags =
      backwards ? QTextDocument::FindBackward : QTextDocument::FindFlags();
  if (Text->find(wanted, flags)) return true;
  // Past the last match: go round from the other end once.
  QTextCursor cursor = Text->textCursor();
  cursor.movePosition(backwards ? QTextCursor::End : QTextCursor::Start);
  Text->setTextCursor(cursor);
  if (Text->find(wanted, flags)) return true;
  SearchLine->setStyleSheet(QStringLiteral("background: #f6c6c6;"));
  return false;
}

}  // namespace ombrix
