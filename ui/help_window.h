// The language guide: a window of its own beside the editor, with the guide's table of
// contents on the left and a search line (Ctrl+F) under the text.
#pragma once

#include <QWidget>

#include "logic/complex/messages.h"

class QLineEdit;
class QListWidget;
class QTextBrowser;
class QToolButton;

namespace ombrix {

// The guide as it is compiled into the program (Markdown, UTF-8).
QString LanguageGuideMarkdown();
// `markdown` without its HTML comments, which Qt would show as text.
QString WithoutComments(QString markdown);

// Where a window of `wanted` size goes beside the frame `main` on the screen area
// `available`: right of it where it fits, else left, else on the wider side, narrowed to
// the room there but not below a readable width, or `least_width` (overlapping then);
// never off the screen and never larger than it.
QRect BesideWindow(const QRect& main, const QRect& available, const QSize& wanted,
                   int least_width = 0);

// "Über Ombrix": the about box, under this title.
inline constexpr const char* kAboutTitle = "\334ber Ombrix";
void ShowAbout(MessageBoxes& boxes);

class HelpWindow final : public QWidget {
 public:
  explicit HelpWindow(QWidget* parent = nullptr);

  QTextBrowser* text;
  QListWidget* contents;  // one row per heading, indented by its level
  QWidget* search_bar;
  QLineEdit* search_line;

  // Shows the guide in front: the first time beside `main_window`, so that it covers
  // neither the picture nor the editor; then where the user left it.
  void ShowBeside(const QWidget& main_window);
  // Scrolls the text to the heading of `row` in the table of contents.
  void ShowSection(int row);
  // Shows the search line with the focus in it.
  void OpenSearch();
  // Selects the next (or previous) match of the search line's text, wrapping around at
  // the end; false, with the line marked, when the text holds none.
  bool FindNext(bool backwards = false);

 private:
  // The search line under the text with its buttons, hidden until Ctrl+F.
  void CreateSearchBar();
  void SpaceBlocks();
  void FillContents();
  // Marks in the table of contents the section at the top of the text.
  void FollowText();
  QList<int> heading_blocks_;     // block number of each table-of-contents row
  bool following_ = false;        // the contents follow the text: no scrolling back
  bool showing_section_ = false;  // the text goes to a chosen section
  bool placed_ = false;           // put beside the main window once
};

}  // namespace ombrix
