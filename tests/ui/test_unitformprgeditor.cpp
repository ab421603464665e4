// The program editor: its line list, the selection it opens with, change marking,
// "Neu formatieren", and that every way of closing keeps the text.
#include <QClipboard>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QtTest>

#include "tests/ui/ui_rig.h"

using namespace ombrix;
using namespace ombrix::testing;

namespace {

const char* const kStructure = "Die Struktur Ihres Programms ist fehlerhaft.";

QStringList ToList(const std::vector<std::string>& lines) {
  QStringList out;
  for (const auto& l : lines) out << ToQt(l);
  return out;
}

ProgramText FromList(const QStringList& lines) {
  ProgramText out;
  for (const QString& l : lines) out.push_back(FromQt(l));
  return out;
}

struct Keys {
  QList<int> keys;  // Qt::Key values, with modifiers or'ed in
};

void Type(QWidget* target, const Keys& keys) {
  for (int k : keys.keys) {
    const auto modifiers = Qt::KeyboardModifiers(k & int(Qt::KeyboardModifierMask));
    QTest::keyClick(target, Qt::Key(k & ~int(Qt::KeyboardModifierMask)), modifiers);
  }
}

// A program editor of its own, with its change flag and recorded message boxes.
struct LoneEditor {
  bool changed = false;
  RecordingMessageBoxes boxes;
  TFormPrgEditor editor{changed, boxes};

  // Shown with `text`, active to take keys and clicks; false when it did not become active.
  bool ShowWith(const QString& text) {
    editor.Memo1->setPlainText(text);
    editor.show();
    return QTest::qWaitForWindowActive(&editor);
  }
};

}  // namespace

Q_DECLARE_METATYPE(Keys)

class TestEditor : public QObject {
  Q_OBJECT

 private slots:
  void splitText_data();
  void splitText();
  void roundTrip_data();
  void roundTrip();
  void lineListOperations();
  void batchUpdate();
  void layout();
  void selectionOnOpening_data();
  void selectionOnOpening();
  void changeMarking_data();
  void changeMarking();
  void reformat_data();
  void reformat();
  void reformatKeepsTheCursor_data();
  void reformatKeepsTheCursor();
  void everyCloseKeepsText_data();
  void everyCloseKeepsText();
  void storedLineCount_data();
  void storedLineCount();
  void programSurvivesUntouchedEditor_data();
  void programSurvivesUntouchedEditor();
  void idleCursor_data();
  void idleCursor();
  void cursorLineLabel_data();
  void cursorLineLabel();
  void overlongLineRefused_data();
  void overlongLineRefused();
};

void TestEditor::splitText_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QStringList>("lines");
  QTest::newRow("empty") << "" << QStringList{};
  QTest::newRow("one line") << "a" << QStringList{"a"};
  QTest::newRow("final break adds no line") << "a\n" << QStringList{"a"};
  QTest::newRow("empty line before the final break") << "a\n\n" << QStringList{"a", ""};
  QTest::newRow("one break") << "\n" << QStringList{""};
  QTest::newRow("two lines") << "a\nb" << QStringList{"a", "b"};
  QTest::newRow("tabs and umlauts stay")
      << QString::fromUtf8("\xC3\xA4\tb") << QStringList{QString::fromUtf8("\xC3\xA4\tb")};
}

void TestEditor::splitText() {
  QFETCH(QString, text);
  QFETCH(QStringList, lines);
  QCOMPARE(ToList(SplitEditorText(text)), lines);
}

void TestEditor::roundTrip_data() {
  QTest::addColumn<QStringList>("lines");
  QTest::newRow("none") << QStringList{};
  QTest::newRow("one empty line") << QStringList{""};
  QTest::newRow("two empty lines") << QStringList{"", ""};
  QTest::newRow("trailing empty line") << QStringList{"x:=1", ""};
  QTest::newRow("empty line inside") << QStringList{"a", "", "b"};
  QTest::newRow("indented") << QStringList{"Wenn(1)", "  x:=1", "EndeWenn"};
}

void TestEditor::roundTrip() {
  QFETCH(QStringList, lines);
  QCOMPARE(ToList(SplitEditorText(JoinEditorLines(FromList(lines)))), lines);
}

void TestEditor::lineListOperations() {
  bool changed = false;
  RecordingMessageBoxes boxes;
  TFormPrgEditor editor(changed, boxes);
  EditorLines& lines = editor;
  QCOMPARE(lines.Count(), 0);
  lines.Append("a");
  lines.Append("");
  lines.Append("c");
  QCOMPARE(lines.Count(), 3);
  QCOMPARE(editor.Memo1->toPlainText(), QStringLiteral("a\n\nc"));
  lines.ReplaceLine(1, "b\xE4");
  QCOMPARE(editor.Memo1->toPlainText(), QString::fromUtf8("a\nb\xC3\xA4\nc"));
  QCOMPARE(lines.Line(1), std::string("b\xE4"));
  QCOMPARE(lines.Line(7), std::string());  // out of range reads empty, changes nothing
  lines.ReplaceLine(-1, "x");
  QCOMPARE(lines.Count(), 3);
  // What the user types is what the list then holds.
  editor.Memo1->setPlainText(QStringLiteral("eins\nzwei"));
  QCOMPARE(lines.Count(), 2);
  QCOMPARE(lines.Line(1), std::string("zwei"));
  lines.Clear();
  QCOMPARE(lines.Count(), 0);
  QVERIFY(editor.Memo1->toPlainText().isEmpty());
  lines.SetCaption("Programm editieren: Hauptprogramm");
  QCOMPARE(editor.windowTitle(), QStringLiteral("Programm editieren: Hauptprogramm"));
  QVERIFY(!changed);
}

void TestEditor::batchUpdate() {
  bool changed = false;
  RecordingMessageBoxes boxes;
  TFormPrgEditor editor(changed, boxes);
  editor.Append("alt");
  editor.BeginUpdate();
  editor.BeginUpdate();
  editor.Clear();
  editor.Append("neu");
  editor.Append("zwei");
  QCOMPARE(editor.Count(), 2);  // the list already holds the new lines
  QCOMPARE(editor.Memo1->toPlainText(), QStringLiteral("alt"));  // the text area waits
  editor.EndUpdate();
  QCOMPARE(editor.Memo1->toPlainText(), QStringLiteral("alt"));
  editor.EndUpdate();
  QCOMPARE(editor.Memo1->toPlainText(), QStringLiteral("neu\nzwei"));
  editor.EndUpdate();  // an unmatched end does no harm
  QCOMPARE(editor.Count(), 2);
}

void TestEditor::layout() {
  Rig rig;
  TFormPrgEditor& e = *rig.form.FormPrgEditor;
  QCOMPARE(e.Memo1->geometry(), QRect(8, 8, 585, 329));
  QCOMPARE(e.Button2->geometry(), QRect(400, 343, 89, 28));
  QCOMPARE(e.Button1->geometry(), QRect(504, 344, 89, 28));
  QCOMPARE(e.Button1->text(), QStringLiteral("OK"));
  QCOMPARE(e.Button2->text(), QStringLiteral("Neu formatieren"));
  QCOMPARE(e.Memo1->font().family(), QStringLiteral("Courier New"));
  QCOMPARE(e.Memo1->lineWrapMode(), QPlainTextEdit::NoWrap);
  QCOMPARE(e.Memo1->palette().color(QPalette::Base), QColor(0xC0, 0xC0, 0xC0));
  QCOMPARE(e.Memo1->palette().color(QPalette::Text), QColor(Qt::black));
  QCOMPARE(e.Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  QVERIFY(e.minimumSize() != e.maximumSize());  // resizable
  QVERIFY(!e.isVisible());
  // Growing the window grows the text; the buttons keep to the corner.
  e.show();
  e.resize(805, 484);
  QCOMPARE(e.Memo1->size(), QSize(785, 429));
  QCOMPARE(e.Button1->pos(), QPoint(704, 444));
  e.hide();
}

void TestEditor::selectionOnOpening_data() {
  QTest::addColumn<QStringList>("program");
  QTest::addColumn<int>("current_line");
  QTest::addColumn<QString>("selected");
  QTest::addColumn<int>("start");
  QTest::newRow("stopped at line 3")
      << QStringList{"z:=1", "x:=2", "ZeichnePunkt(z)"} << 2 << "ZeichnePunkt(z)" << 10;
  QTest::newRow("same text earlier is taken")
      << QStringList{"ZeichnePunkt(z)", "x:=2", "ZeichnePunkt(z)"} << 2 << "ZeichnePunkt(z)" << 0;
  QTest::newRow("found inside an earlier line")
      << QStringList{"yx:=12", "x:=1"} << 1 << "x:=1" << 1;
  QTest::newRow("after the indentation")
      << QStringList{"Wenn(1)", "ZeichnePunkt(z)", "EndeWenn"} << 1 << "ZeichnePunkt(z)" << 10;
  QTest::newRow("second EndeWenn finds the first")
      << QStringList{"Wenn(1)", "EndeWenn", "Wenn(0)", "EndeWenn"} << 3 << "EndeWenn" << 8;
  QTest::newRow("empty program") << QStringList{} << 0 << "" << -1;
  QTest::newRow("run reached the end") << QStringList{"x:=1"} << 1 << "" << -1;
  QTest::newRow("empty stored line") << QStringList{"a:=1", "", "b:=2"} << 1 << "" << -1;
}

void TestEditor::selectionOnOpening() {
  QFETCH(QStringList, program);
  QFETCH(int, current_line);
  QFETCH(QString, selected);
  QFETCH(int, start);
  Rig rig;
  rig.Main() = FromList(program);
  rig.session.interp.CurrentLine[MainProgram] = current_line;
  ModalDriver driver;
  rig.form.BearbeitenHauptprogrammExecute();
  QCOMPARE(driver.visits.size(), std::size_t{1});
  QCOMPARE(ToQt(driver.visits[0].selected), selected);
  QCOMPARE(driver.visits[0].selection_start, start);
  QVERIFY(driver.visits[0].memo_has_focus);
  if (program.isEmpty()) QVERIFY(driver.visits[0].text.empty());
  QVERIFY(!rig.session.ProjectChanged);
}

void TestEditor::changeMarking_data() {
  QTest::addColumn<Keys>("keys");
  QTest::addColumn<bool>("changed");
  QTest::newRow("a letter") << Keys{{Qt::Key_A}} << true;
  QTest::newRow("a sign") << Keys{{Qt::Key_ParenLeft}} << true;
  QTest::newRow("a letter, then Backspace") << Keys{{Qt::Key_X, Qt::Key_Backspace}} << true;
  QTest::newRow("Backspace alone") << Keys{{Qt::Key_Backspace}} << true;
  QTest::newRow("Enter") << Keys{{Qt::Key_Return}} << true;
  QTest::newRow("Ctrl+V") << Keys{{int(Qt::ControlModifier) | Qt::Key_V}} << true;
  QTest::newRow("arrow keys") << Keys{{Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down}}
                              << false;
  QTest::newRow("Home, End, pages") << Keys{{Qt::Key_Home, Qt::Key_End, Qt::Key_PageDown}} << false;
  QTest::newRow("Delete") << Keys{{Qt::Key_Delete}} << false;
  QTest::newRow("Shift alone") << Keys{{Qt::Key_Shift}} << false;
  QTest::newRow("Escape") << Keys{{Qt::Key_Escape}} << false;
  QTest::newRow("Ctrl+A selects") << Keys{{int(Qt::ControlModifier) | Qt::Key_A}} << false;
  QTest::newRow("Ctrl+C copies") << Keys{{int(Qt::ControlModifier) | Qt::Key_C}} << false;
  QTest::newRow("Tab moves the focus") << Keys{{Qt::Key_Tab}} << false;
  QTest::newRow("Ctrl+X cuts") << Keys{{int(Qt::ControlModifier) | Qt::Key_X}} << true;
}

void TestEditor::changeMarking() {
  QFETCH(Keys, keys);
  QFETCH(bool, changed);
  bool flag = false;
  RecordingMessageBoxes boxes;
  TFormPrgEditor editor(flag, boxes);
  editor.Append("abc");
  editor.show();
  QVERIFY(QTest::qWaitForWindowExposed(&editor));
  const QString before = editor.Memo1->toPlainText();
  Type(editor.Memo1, keys);
  QCOMPARE(flag, changed);
  if (!changed && keys.keys != QList<int>{Qt::Key_Delete})
    QCOMPARE(editor.Memo1->toPlainText(), before);
}

void TestEditor::reformat_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("formatted");
  QTest::addColumn<int>("marked");  // the line marked where the structure breaks; -1: none
  QTest::newRow("unclosed block") << "Solange(x>0)\nZeichnePunkt(x)"
                                  << "Solange(x>0)\n  ZeichnePunkt(x)" << 0;
  QTest::newRow("a closing that leaves a block open")
      << "Solange(x<3)\nWenn(x>1)\nx:=x+1\nEndeSolange"
      << "Solange(x<3)\n  Wenn(x>1)\n    x:=x+1\n  EndeSolange" << 1;
  QTest::newRow("balanced, spaces removed") << "wenn ( x > 0 )\n    x := 1\nENDEWENN"
                                            << "wenn(x>0)\n  x:=1\nENDEWENN" << -1;
  QTest::newRow("empty") << ""
                         << "" << -1;
}

void TestEditor::reformat() {
  QFETCH(QString, text);
  QFETCH(QString, formatted);
  QFETCH(int, marked);
  LoneEditor lone;
  QVERIFY(lone.ShowWith(text));
  TFormPrgEditor& editor = lone.editor;
  QCOMPARE(editor.StructureMark(), marked);  // marked on opening, too
  QTest::mouseClick(editor.Button2, Qt::LeftButton);
  QCOMPARE(editor.Memo1->toPlainText(), formatted);
  QVERIFY(editor.Memo1->hasFocus());  // typing goes on in the text, not on the button
  QCOMPARE(int(lone.boxes.boxes.size()), marked >= 0 ? 1 : 0);
  if (marked >= 0) {
    QCOMPARE(lone.boxes.boxes[0].kind, MessageKind::Error);
    QCOMPARE(lone.boxes.boxes[0].text, std::string(kStructure));
  }
  QVERIFY(!lone.changed);  // formatting is not typing
  // The mark, in both colours of its own, until the text is edited.
  QCOMPARE(editor.StructureMark(), marked);
  const QList<QTextEdit::ExtraSelection> marks = editor.Memo1->extraSelections();
  QCOMPARE(marks.size(), marked >= 0 ? 1 : 0);
  if (marked >= 0) {
    QCOMPARE(marks[0].cursor.blockNumber(), marked);
    QCOMPARE(marks[0].format.foreground().color(), QColor(Qt::black));
  }
  editor.Memo1->moveCursor(QTextCursor::End);
  QTest::keyClick(editor.Memo1, Qt::Key_Return);
  QCOMPARE(editor.StructureMark(), -1);
}

void TestEditor::reformatKeepsTheCursor_data() {
  // Places are (column, line); a selection runs from its anchor to the cursor.
  QTest::addColumn<QString>("text");
  QTest::addColumn<QPoint>("anchor_before");
  QTest::addColumn<QPoint>("before");
  QTest::addColumn<QPoint>("anchor_after");
  QTest::addColumn<QPoint>("after");
  const QString block = QStringLiteral("Wenn(x>0)\nZeichnePunkt(x)\nEndeWenn\nx:=1");
  const auto row = [](const char* name, const QString& text, QPoint before, QPoint after) {
    QTest::newRow(name) << text << before << before << after << after;
  };
  row("end of an indented line", block, {15, 1}, {17, 1});
  row("inside an indented line", block, {7, 1}, {9, 1});
  row("a line that keeps its place", block, {2, 3}, {2, 3});
  row("typed indent and blanks go, the character stays", QStringLiteral("    x := 1\ny:=2"), {9, 0},
      {3, 0});
  row("in the typed indent: where the line's text begins",
      QStringLiteral("Solange(1)\n      x:=1\nEndeSolange"), {3, 1}, {2, 1});
  row("an empty line in a block: after its indent", QStringLiteral("Solange(1)\n\nEndeSolange"),
      {0, 1}, {2, 1});
  QTest::newRow("a selection over two lines")
      << block << QPoint(4, 0) << QPoint(7, 1) << QPoint(4, 0) << QPoint(9, 1);
}

void TestEditor::reformatKeepsTheCursor() {
  QFETCH(QString, text);
  QFETCH(QPoint, anchor_before);
  QFETCH(QPoint, before);
  QFETCH(QPoint, anchor_after);
  QFETCH(QPoint, after);
  LoneEditor lone;
  QVERIFY(lone.ShowWith(text));
  TFormPrgEditor& editor = lone.editor;
  const auto at = [&](QPoint place) {
    return editor.Memo1->document()->findBlockByNumber(place.y()).position() + place.x();
  };
  QTextCursor cursor(editor.Memo1->document());
  cursor.setPosition(at(anchor_before));
  cursor.setPosition(at(before), QTextCursor::KeepAnchor);
  editor.Memo1->setTextCursor(cursor);
  QTest::mouseClick(editor.Button2, Qt::LeftButton);
  const QTextCursor now = editor.Memo1->textCursor();
  QCOMPARE(QPoint(now.positionInBlock(), now.blockNumber()), after);
  QCOMPARE(now.anchor(), at(anchor_after));
  if (anchor_before != before) return;
  // Typing goes on there.
  QTest::keyClicks(editor.Memo1, QStringLiteral("#"));
  const QString line = editor.Memo1->document()->findBlockByNumber(after.y()).text();
  QCOMPARE(line.indexOf(QLatin1Char('#')), after.x());
}

void TestEditor::everyCloseKeepsText_data() {
  QTest::addColumn<QString>("how");
  QTest::newRow("OK button") << "ok";
  QTest::newRow("close box") << "close";
  QTest::newRow("Escape") << "escape";
}

void TestEditor::everyCloseKeepsText() {
  QFETCH(QString, how);
  Rig rig;
  rig.Mouse() = {"x:=1"};
  ModalDriver driver;
  driver.actions.push_back([how](QDialog& d) {
    auto& editor = dynamic_cast<TFormPrgEditor&>(d);
    QTest::keyClick(editor.Memo1, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(editor.Memo1, Qt::Key_Return);
    QTest::keyClicks(editor.Memo1, QStringLiteral("Zeichne Punkt ( x )"));
    if (how == QLatin1String("ok")) QTest::mouseClick(editor.Button1, Qt::LeftButton);
    if (how == QLatin1String("close")) editor.close();
    if (how == QLatin1String("escape")) QTest::keyClick(editor.Memo1, Qt::Key_Escape);
    QVERIFY(!editor.isVisible());
  });
  rig.form.BearbeitenMausknopfGedruecktExecute();
  QCOMPARE(driver.visits.size(), std::size_t{1});
  QCOMPARE(rig.Mouse(), (ProgramText{"x:=1", "ZeichnePunkt(x)"}));
  QVERIFY(rig.session.ProjectChanged);
  QCOMPARE(rig.Changed(), std::string("ge\xE4ndert"));
}

void TestEditor::storedLineCount_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QStringList>("program");
  QTest::newRow("final break") << "a\nb\n" << QStringList{"a", "b"};
  QTest::newRow("empty last line") << "a\n\n" << QStringList{"a", ""};
  QTest::newRow("only breaks") << "\n\n\n" << QStringList{"", "", ""};
  QTest::newRow("spaces go, tabs stay") << "  Wenn ( x > 0 )\t\n" << QStringList{"Wenn(x>0)\t"};
  QTest::newRow("nothing") << "" << QStringList{};
}

void TestEditor::storedLineCount() {
  QFETCH(QString, text);
  QFETCH(QStringList, program);
  Rig rig;
  rig.Main() = {"alt"};
  ModalDriver driver;
  driver.actions.push_back(
      [text](QDialog& d) { dynamic_cast<TFormPrgEditor&>(d).Memo1->setPlainText(text); });
  rig.form.BearbeitenHauptprogrammExecute();
  QCOMPARE(ToList(rig.Main()), program);
}

void TestEditor::programSurvivesUntouchedEditor_data() {
  QTest::addColumn<QStringList>("program");
  QTest::newRow("trailing empty line") << QStringList{"x:=1", ""};
  QTest::newRow("only an empty line") << QStringList{""};
  QTest::newRow("empty lines in a block") << QStringList{"Wenn(1)", "", "EndeWenn", ""};
  QTest::newRow("unbalanced") << QStringList{"EndeWenn", "Solange(1)"};
}

void TestEditor::programSurvivesUntouchedEditor() {
  QFETCH(QStringList, program);
  Rig rig;
  rig.Main() = FromList(program);
  ModalDriver driver;
  rig.form.BearbeitenHauptprogrammExecute();
  QCOMPARE(ToList(rig.Main()), program);
  QVERIFY(!rig.session.ProjectChanged);
  QVERIFY(rig.form.StatusChangedPanel->text().isEmpty());
}

void TestEditor::idleCursor_data() {
  QTest::addColumn<int>("length");
  QTest::addColumn<bool>("repaints");
  QTest::newRow("short line: the cursor blinks") << 20 << true;
  QTest::newRow("line of 1 MB: nothing is repainted") << 1000000 << false;
}

void TestEditor::idleCursor() {
  QFETCH(int, length);
  QFETCH(bool, repaints);
  const int flash_time = QApplication::cursorFlashTime();
  QVERIFY(flash_time > 0);
  bool flag = false;
  RecordingMessageBoxes boxes;
  TFormPrgEditor editor(flag, boxes);
  editor.Append("x:=" + std::string(static_cast<std::size_t>(length), '1'));
  editor.show();
  QVERIFY(QTest::qWaitForWindowActive(&editor));
  QVERIFY(editor.Memo1->hasFocus());
  QTest::qWait(100);
  PaintCounter counter(editor.Memo1->viewport());
  QTest::qWait(2 * flash_time);  // the cursor blinks twice in that time
  QCOMPARE(counter.paints > 0, repaints);
  editor.hide();
  QCOMPARE(QApplication::cursorFlashTime(), flash_time);  // given back on closing
}

void TestEditor::overlongLineRefused_data() {
  QTest::addColumn<QString>("before");     // the text, the cursor at its end
  QTest::addColumn<QString>("pasted");     // pasted; empty: "x" typed
  QTest::addColumn<qsizetype>("refused");  // the length the message names; 0: taken
  const QString full(100000, QLatin1Char('1'));
  QTest::newRow("a line at the limit") << QString() << full << qsizetype{0};
  QTest::newRow("one more") << QString() << full + QLatin1Char('1') << qsizetype{100001};
  QTest::newRow("blanks do not count")
      << QStringLiteral("  ") << QStringLiteral("1 ") + full.mid(1) << qsizetype{0};
  QTest::newRow("with the line before the cursor")
      << QStringLiteral("a:=\nxy") << full.mid(1) << qsizetype{100001};
  QTest::newRow("lines each short enough")
      << QStringLiteral("x") << full.mid(1) + QLatin1Char('\n') + full << qsizetype{0};
  QTest::newRow("megabytes") << QString() << QString(6000000, QLatin1Char('2'))
                             << qsizetype{6000000};
  QTest::newRow("typed at the limit") << full << QString() << qsizetype{100001};
  QTest::newRow("typed below it") << full.mid(1) << QString() << qsizetype{0};
}

// A line longer than a project may hold is refused at once, with the limit named.
void TestEditor::overlongLineRefused() {
  QFETCH(QString, before);
  QFETCH(QString, pasted);
  QFETCH(qsizetype, refused);
  LoneEditor e;
  QVERIFY(e.ShowWith(before));
  e.editor.Memo1->moveCursor(QTextCursor::End);
  if (pasted.isEmpty()) {
    QTest::keyClick(e.editor.Memo1, Qt::Key_X);
  } else {
    QApplication::clipboard()->setText(pasted);
    QTest::keyClick(e.editor.Memo1, Qt::Key_V, Qt::ControlModifier);
  }
  const QString added = pasted.isEmpty() ? QStringLiteral("x") : pasted;
  QCOMPARE(e.editor.Memo1->toPlainText(), refused != 0 ? before : before + added);
  if (refused == 0) {
    QVERIFY(e.boxes.boxes.empty());
    return;
  }
  QCOMPARE(e.boxes.boxes.size(), std::size_t{1});
  QCOMPARE(e.boxes.boxes[0].kind, MessageKind::Error);
  QCOMPARE(e.boxes.boxes[0].text,
           "Eine Programmzeile darf h\xF6"
           "chstens 100000 Zeichen haben (Leerzeichen z\xE4hlen "
           "nicht mit); hier w\xE4ren es " +
               std::to_string(refused) + " geworden. Der Text wurde nicht eingef\xFCgt.");
}

QTEST_MAIN(TestEditor)
#include "test_unitformprgeditor.moc"

void TestEditor::cursorLineLabel_data() {
  QTest::addColumn<QStringList>("program");
  QTest::addColumn<int>("current_line");
  QTest::addColumn<Keys>("keys");
  QTest::addColumn<QString>("label");
  const QStringList three{"z:=1", "Wenn(z=1)", "ZeichnePunkt(z)", "EndeWenn"};
  QTest::newRow("empty program") << QStringList{} << 0 << Keys{} << "Zeile 1";
  QTest::newRow("opened at the start") << three << 4 << Keys{} << "Zeile 1";
  QTest::newRow("opened on a failed line") << three << 2 << Keys{} << "Zeile 3";
  QTest::newRow("indented line counts as its line")
      << three << 2 << Keys{{Qt::Key_Home}} << "Zeile 3";
  QTest::newRow("arrow down twice")
      << three << 4 << Keys{{Qt::Key_Down, Qt::Key_Down}} << "Zeile 3";
  QTest::newRow("to the end") << three << 4 << Keys{{int(Qt::ControlModifier) | Qt::Key_End}}
                              << "Zeile 4";
  QTest::newRow("a new line typed")
      << three << 4 << Keys{{Qt::Key_Return, Qt::Key_Return}} << "Zeile 3";
}

void TestEditor::cursorLineLabel() {
  QFETCH(QStringList, program);
  QFETCH(int, current_line);
  QFETCH(Keys, keys);
  QFETCH(QString, label);
  Rig rig;
  rig.Main() = FromList(program);
  rig.session.interp.CurrentLine[MainProgram] = current_line;
  QString seen;
  ModalDriver driver;
  driver.actions.push_back([&](QDialog& dialog) {
    auto& editor = static_cast<TFormPrgEditor&>(dialog);
    Type(editor.Memo1, keys);
    seen = editor.Label1->text();
    // Beside the buttons, on their level, and not under them.
    QVERIFY(editor.Label1->geometry().right() < editor.Button2->x());
    QCOMPARE(editor.Label1->y(), editor.Button2->y());
  });
  rig.form.BearbeitenHauptprogrammExecute();
  QCOMPARE(seen, label);
}
