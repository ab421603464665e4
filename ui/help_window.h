// The language guide: a window of its own beside the editor, with the guide's table of
// contents on the left and a search line (Ctrl+F) under the text.
#pragma once

#include <QWidget>

class QLineEdit;
class QListWidget;
class QTextBrowser;
class QToolButton;

namespace ombrix {

// The guide as it is compiled into the program (Markdown, UTF-8).
QString LanguageGuideMarkdown();

class HelpWindow final : public QWidget {
 public:
  explicit HelpWindow(QWidget* parent = nullptr);

  QTextBrowser* text;
  QListWidget* contents;  // one row per heading, indented by its level
  QWidget* search_bar;
  QLineEdit* search_line;

  // Scrolls the text to the heading of `row` in the table of contents.
  void ShowSection(int row);
  // Shows the search line with the focus in it.
  void OpenSearch();
  // Selects the next (or previous) match of the search line's text, wrapping around at
  // the end; false, with the line marked, when the text holds none.
  bool FindNext(bool backwards = false);

 private:
  void SpaceBlocks();
  void FillContents();
  QList<int> heading_blocks_;  // block number of each table-of-contents row
};

}  // namespace ombrix
