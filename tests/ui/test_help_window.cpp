// What a learner finds to start with: the language guide and its window, the examples
// menu, the about box, and the command line of the window program.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProcess>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QtTest>

#include "logic/evaluator/evaluate.h"
#include "logic/evaluator/result_text.h"
#include "logic/program/interpreter.h"
#include "logic/program/program_text.h"
#include "logic/program/run_control.h"
#include "tests/support/tables.h"
#include "tests/ui/ui_rig.h"
#include "ui/examples.h"
#include "ui/help_window.h"
#include "ui/start_arguments.h"

using namespace ombrix;
using namespace ombrix::testing;

namespace {

void WriteFile(const QString& path, const QByteArray& content) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
    qFatal("cannot write %s", qPrintable(path));
}

QString SourceExamples() { return QStringLiteral(OMBRIX_SOURCE_EXAMPLES); }

// A session with its own run engine: what the window runs, without the window.
struct RunWorld {
  RunWorld() { session.boxes.Attach(&boxes); }
  Session session;
  RecordingMessageBoxes boxes;
  RunControl& run = session.core.runtime.Run();

  // "Starten" and at most `lines` main-program lines (some examples never end), then
  // a few clicks and a drag over the picture.
  QImage RunLoaded(std::int64_t lines = 20000) {
    run.Start();
    (void)run.StepMain({lines, std::nullopt});
    for (const QPoint at : {QPoint(100, 100), QPoint(150, 120), QPoint(300, 320)}) {
      run.PressMouse();
      run.MoveMouse(at.x(), at.y());
      if (run.MouseProgramDue()) (void)run.RunMouseProgram();
    }
    run.ReleaseMouse();
    return session.canvas.Image();
  }
  QImage Run(const QString& path) {
    if (LoadProject(session.project, QFile::encodeName(path).toStdString()))
      qFatal("cannot load %s", qPrintable(path));
    return RunLoaded();
  }
};

// The guide's examples, found by the markers its source explains at its top.
QString GuideWithoutComments() { return WithoutComments(LanguageGuideMarkdown()); }

struct ErrorExample {
  QString message;  // "? Syntaxfehler"
  QString example;
};

// Each code span in the column "Typische Ursache" of the table of error messages.
std::vector<ErrorExample> GuideErrorExamples() {
  std::vector<ErrorExample> found;
  bool in_table = false;
  for (const QString& line : GuideWithoutComments().split(QLatin1Char('\n'))) {
    if (line.startsWith(QLatin1String("| Code | Meldung | Typische Ursache |"))) {
      in_table = true;
      continue;
    }
    if (!in_table) continue;
    if (!line.startsWith(QLatin1Char('|'))) break;
    const QStringList cells = line.split(QLatin1Char('|'));
    if (cells.size() < 4 || cells[1].trimmed().startsWith(QLatin1Char('-'))) continue;
    const QString quoted = cells[2].trimmed();
    const QString message = quoted.mid(1, quoted.size() - 2);  // inside „…“
    static const QRegularExpression code(QStringLiteral("`([^`]+)`"));
    for (const QRegularExpressionMatch& m : code.globalMatch(cells[3]))
      found.push_back({message, m.captured(1)});
  }
  return found;
}

// The variables the guide's examples use, and one for every other name a program
// assigns to or counts with.
void AddProgramVariables(RunWorld& world, const ProgramText& program) {
  for (const char* name : {"a", "c", "k", "n", "x", "y", "z"})
    AddVariable(world.session.project.variables, name);
  static const QRegularExpression assigned(QStringLiteral("^([A-Za-z_][A-Za-z0-9_]*):="));
  static const QRegularExpression counted(QStringLiteral("^F\u00FCr\\(([A-Za-z_][A-Za-z0-9_]*);"),
                                          QRegularExpression::CaseInsensitiveOption);
  VariableTable& v = world.session.project.variables;
  for (const std::string& line : program) {
    for (const QRegularExpression* pattern : {&assigned, &counted}) {
      const QRegularExpressionMatch m = pattern->match(ToQt(line));
      if (!m.hasMatch()) continue;
      const std::string name = FromQt(m.captured(1));
      if (v.FindVariable(LowerCase1252(name)) < 0) AddVariable(v, name);
    }
  }
}

// Runs `program` from its start; the outcome, with the boxes in `world.boxes`.
RunOutcome RunProgram(RunWorld& world, ProgramText program) {
  world.session.project.programs[MainProgram] = std::move(program);
  world.run.Start();
  const RunOutcome outcome = world.run.StepMain({100000, std::nullopt});
  if (outcome == RunOutcome::Ended) world.run.FinishMain();
  return outcome;
}

}  // namespace

class TestHelp : public QObject {
  Q_OBJECT

 private slots:
  void guideValueExamples_data();
  void guideValueExamples();
  void guideErrorExamples_data();
  void guideErrorExamples();
  void guideProgramExamples_data();
  void guideProgramExamples();
  void guideColourExamples();
  void guideNamesEveryWord_data();
  void guideNamesEveryWord();
  void contentsLeadToTheirHeadings();
  void searchFindsAndWraps_data();
  void searchFindsAndWraps();
  void failedSearchKeepsThePlace();
  void contentsFollowTheText();
  void ctrlFOpensTheSearch();
  void guideWindowIsNotModal();
  void guideOpensBesideTheWindow_data();
  void guideOpensBesideTheWindow();
  void guideHidesItsNoteOnExamples();
  void aboutBox();

  void listExamples_data();
  void listExamples();
  void shippedExamplesHaveTitlesAndLoad();
  void examplesDrawAlikeWhateverRanBefore_data();
  void examplesDrawAlikeWhateverRanBefore();
  void examplesFolderPrefersTheInstalledOne();
  void examplesLockedWhileRunning();

  void startArguments_data();
  void startArguments();
  void toolkitOptionsLeftOut_data();
  void toolkitOptionsLeftOut();
  void answersWithoutADisplay_data();
  void answersWithoutADisplay();
};

// Every keyword, command word, built-in, constant and error message of the tables appears
// in the guide; a word added to a table without a word in the guide fails here.
void TestHelp::guideValueExamples_data() {
  QTest::addColumn<QString>("term");
  QTest::addColumn<QString>("shown");
  static const QRegularExpression marker(QStringLiteral("`([^`]+)` ist `([^`]+)`"));
  int rows = 0;
  for (const QRegularExpressionMatch& m : marker.globalMatch(GuideWithoutComments())) {
    const QString term = QString(m.captured(1)).replace(QLatin1String("\\|"), QLatin1String("|"));
    QTest::newRow(qPrintable(term)) << term << m.captured(2);
    ++rows;
  }
  QVERIFY(rows >= 12);
}

// "`7%3` ist `1`": the term shows exactly that.
void TestHelp::guideValueExamples() {
  QFETCH(QString, term);
  QFETCH(QString, shown);
  RunWorld world;
  const EvalContext context{world.session.project.functions, world.session.project.variables,
                            world.session.drawing, world.boxes};
  QCOMPARE(ToQt(EvaluateForDisplay(FromQt(term), context)), shown);
}

void TestHelp::guideErrorExamples_data() {
  QTest::addColumn<QString>("example");
  QTest::addColumn<QString>("message");
  const std::vector<ErrorExample> examples = GuideErrorExamples();
  for (const ErrorExample& e : examples)
    QTest::newRow(qPrintable(e.message + ": " + e.example)) << e.example << e.message;
  QVERIFY(examples.size() >= 25);
}

// Each example of the table of error messages gives its row's message, as a term or as a
// one-line main program.
void TestHelp::guideErrorExamples() {
  QFETCH(QString, example);
  QFETCH(QString, message);
  RunWorld world;
  AddProgramVariables(world, {});
  const EvalContext context{world.session.project.functions, world.session.project.variables,
                            world.session.drawing, world.boxes};
  const QString as_term = ToQt(EvaluateForDisplay(FromQt(example), context));
  if (as_term == message) return;
  QCOMPARE(RunProgram(world, {FromQt(example)}), RunOutcome::Failed);
  QVERIFY(!world.boxes.boxes.empty());
  const QString first = ToQt(world.boxes.boxes[0].text);
  QVERIFY2(first.startsWith(message.mid(2) + QLatin1Char(':')),
           qPrintable(as_term + QLatin1String(" / ") + first));
}

void TestHelp::guideProgramExamples_data() {
  QTest::addColumn<QString>("program");
  static const QRegularExpression block(QStringLiteral("```programm\n(.*?)```"),
                                        QRegularExpression::DotMatchesEverythingOption);
  int rows = 0;
  for (const QRegularExpressionMatch& m : block.globalMatch(GuideWithoutComments())) {
    const QString program = m.captured(1);
    QTest::newRow(qPrintable(program.section(QLatin1Char('\n'), 0, 0))) << program;
    ++rows;
  }
  QVERIFY(rows >= 8);
}

// A program of the guide runs to its end; one that draws leaves something on the picture.
void TestHelp::guideProgramExamples() {
  QFETCH(QString, program);
  ProgramText lines = SplitEditorText(program);
  for (std::string& line : lines) line = RemoveSpaces(line);
  RunWorld world;
  AddProgramVariables(world, lines);
  QCOMPARE(RunProgram(world, lines), RunOutcome::Ended);
  QCOMPARE(world.boxes.boxes.size(), std::size_t{1});
  QCOMPARE(world.boxes.boxes[0].text, std::string(kMainProgramEnded));
  if (program.contains(QLatin1String("Zeichne"))) QVERIFY(!AllWhite(world.session.canvas.Image()));
}

// "| `SetzeFarbe(2)` | 255, 104, 104 |": the line sets exactly that colour.
void TestHelp::guideColourExamples() {
  static const QRegularExpression row(QStringLiteral("^\\| `([^`]+)` \\| (\\d+), (\\d+), (\\d+)"),
                                      QRegularExpression::MultilineOption);
  int rows = 0;
  for (const QRegularExpressionMatch& m : row.globalMatch(GuideWithoutComments())) {
    RunWorld world;
    QCOMPARE(RunProgram(world, {FromQt(m.captured(1))}), RunOutcome::Ended);
    QCOMPARE(world.session.drawing.DrawColour(),
             m.captured(2).toUInt() << 16 | m.captured(3).toUInt() << 8 | m.captured(4).toUInt());
    ++rows;
  }
  QVERIFY(rows >= 6);
}

void TestHelp::guideNamesEveryWord_data() {
  QTest::addColumn<QString>("wanted");
  const auto code = [](const char* name) { return ToQt(std::string("`") + name); };
  for (const char* word : OpeningKeywords) QTest::newRow(word) << code(word);
  for (const char* word : ClosingKeywords) QTest::newRow(word) << code(word);
  for (const char* word : CommandWords) QTest::newRow(word) << code(word);
  for (const char* name : kBuiltinNames) QTest::newRow(name) << code(name);
  const VariableTable constants;
  for (int j = 0; j <= constants.LastVariable(); ++j)
    QTest::newRow(constants.Name(j).c_str()) << code(constants.Name(j).c_str());
  // The error codes are whatever ErrorMessageText tells apart from the unknown error.
  const std::string unknown = ErrorMessageText("");
  for (char c = ' '; c < 127; ++c) {
    const std::string message = ErrorMessageText(std::string("?") + c);
    if (message != unknown) QTest::newRow((std::string("?") + c).c_str()) << ToQt(message);
  }
}

void TestHelp::guideNamesEveryWord() {
  QFETCH(QString, wanted);
  const QString guide = LanguageGuideMarkdown();
  if (!wanted.startsWith(QLatin1Char('`'))) {
    QVERIFY2(guide.contains(wanted), qPrintable(wanted));
    return;
  }
  // As code, alone or called: `Wenn` or `Wenn(...)`, never only inside a longer word.
  const QRegularExpression written(QRegularExpression::escape(wanted) + QStringLiteral("[`(]"));
  QVERIFY2(guide.contains(written), qPrintable(wanted));
}

void TestHelp::contentsLeadToTheirHeadings() {
  HelpWindow window;
  window.show();
  QVERIFY(window.contents->count() >= 10);
  for (int row = window.contents->count() - 1; row >= 0; --row) {
    window.contents->setCurrentRow(row);
    const QTextBlock block = window.text->textCursor().block();
    QVERIFY(block.blockFormat().headingLevel() > 0);
    QCOMPARE(block.text(), window.contents->item(row)->text().trimmed());
    QVERIFY2(window.text->viewport()->rect().contains(window.text->cursorRect()),
             qPrintable(block.text()));
  }
}

void TestHelp::searchFindsAndWraps_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<bool>("found");
  QTest::newRow("a keyword") << ToQt("EndeF\xFCr") << true;
  QTest::newRow("any case") << QStringLiteral("mauspos") << true;
  QTest::newRow("nowhere") << QStringLiteral("Quaternion") << false;
}

void TestHelp::searchFindsAndWraps() {
  QFETCH(QString, text);
  QFETCH(bool, found);
  HelpWindow window;
  window.OpenSearch();
  window.search_line->setText(text);
  QCOMPARE(window.FindNext(), found);
  if (!found) {
    QVERIFY(!window.search_line->styleSheet().isEmpty());  // the line shows the miss
    return;
  }
  const int first = window.text->textCursor().selectionStart();
  QCOMPARE(window.text->textCursor().selectedText().compare(text, Qt::CaseInsensitive), 0);
  // Onwards through every match and round to the first again.
  int previous = first;
  for (int i = 0; i < 200; ++i) {
    QVERIFY(window.FindNext());
    const int at = window.text->textCursor().selectionStart();
    if (at == first) {
      QVERIFY(window.FindNext(true));  // backwards from the first wraps to the last
      QCOMPARE(window.text->textCursor().selectionStart(), previous);
      return;
    }
    QVERIFY(at > previous);
    previous = at;
  }
  QFAIL("the search never came round");
}

void TestHelp::failedSearchKeepsThePlace() {
  HelpWindow window;
  window.show();
  window.ShowSection(window.contents->count() / 2);
  const int scrolled = window.text->verticalScrollBar()->value();
  const int cursor = window.text->textCursor().position();
  QVERIFY(scrolled > 0);
  window.OpenSearch();
  window.search_line->setText(QStringLiteral("Quaternion"));
  QVERIFY(!window.FindNext());
  QVERIFY(!window.FindNext(true));
  QCOMPARE(window.text->verticalScrollBar()->value(), scrolled);
  QCOMPARE(window.text->textCursor().position(), cursor);
}

// Scrolling the text marks the section at its top in the table of contents; a chosen
// section stays marked, even one the text cannot bring to the top.
void TestHelp::contentsFollowTheText() {
  HelpWindow window;
  window.show();
  const int rows = window.contents->count();
  const int middle = rows / 2;
  window.ShowSection(middle);
  const int at_middle = window.text->verticalScrollBar()->value();
  window.contents->setCurrentRow(0);
  QVERIFY(window.text->verticalScrollBar()->value() < at_middle);
  window.text->verticalScrollBar()->setValue(at_middle + 5);
  QCOMPARE(window.contents->currentRow(), middle);
  window.text->verticalScrollBar()->setValue(0);
  QCOMPARE(window.contents->currentRow(), 0);
  window.contents->setCurrentRow(rows - 1);
  QCOMPARE(window.contents->currentRow(), rows - 1);
}

void TestHelp::ctrlFOpensTheSearch() {
  HelpWindow window;
  window.show();
  window.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&window));
  QVERIFY(!window.search_bar->isVisible());
  QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
  QVERIFY(window.search_bar->isVisible());
  QVERIFY(window.search_line->hasFocus());
  QTest::keyClicks(window.search_line, QStringLiteral("Solange"));
  QCOMPARE(window.text->textCursor().selectedText(), QStringLiteral("Solange"));
  QTest::keyClick(window.search_line, Qt::Key_Escape);
  QVERIFY(!window.search_bar->isVisible());
}

void TestHelp::guideWindowIsNotModal() {
  Rig rig;
  rig.form.show();
  rig.form.HilfeSprachuebersicht->trigger();
  QVERIFY(rig.form.FormHilfe != nullptr);
  HelpWindow* first = rig.form.FormHilfe;
  QVERIFY(first->isVisible());
  QVERIFY(!first->isModal());
  QVERIFY(QApplication::activeModalWidget() == nullptr);
  // The editor blocks the main window only; the guide beside it takes input.
  QVERIFY(rig.form.FormPrgEditor->windowModality() != Qt::ApplicationModal);
  QVERIFY(first->parentWidget() == nullptr);
  rig.form.HilfeSprachuebersicht->trigger();
  QCOMPARE(rig.form.FormHilfe, first);  // the same window again, not a second one
  QVERIFY(rig.boxes.boxes.empty());
}

void TestHelp::guideOpensBesideTheWindow_data() {
  QTest::addColumn<QRect>("main");
  QTest::addColumn<QRect>("available");
  QTest::addColumn<QRect>("guide");
  const QRect wide(0, 0, 1920, 1050);
  QTest::newRow("room on the right")
      << QRect(100, 50, 450, 540) << wide << QRect(550, 50, 860, 680);
  QTest::newRow("room on the left only")
      << QRect(1400, 50, 450, 540) << wide << QRect(540, 50, 860, 680);
  QTest::newRow("too little room: the wider side, narrowed")
      << QRect(200, 100, 450, 540) << QRect(0, 0, 1280, 800) << QRect(650, 100, 630, 680);
  QTest::newRow("no readable room: overlapping, on the screen")
      << QRect(415, 130, 450, 540) << QRect(0, 0, 1280, 800) << QRect(800, 120, 480, 680);
  QTest::newRow("a low screen, a second screen to the right")
      << QRect(2000, 300, 450, 540) << QRect(1920, 0, 1920, 600) << QRect(2450, 0, 860, 600);
}

void TestHelp::guideOpensBesideTheWindow() {
  QFETCH(QRect, main);
  QFETCH(QRect, available);
  QFETCH(QRect, guide);
  QCOMPARE(BesideWindow(main, available, QSize(860, 680)), guide);
  QVERIFY(available.contains(guide));
}

void TestHelp::guideHidesItsNoteOnExamples() {
  QVERIFY(LanguageGuideMarkdown().contains(QLatin1String("<!--")));
  HelpWindow window;
  const QString shown = window.text->toPlainText();
  QVERIFY2(shown.startsWith(ToQt("Ombrix \x96 Sprach\xFC")), qPrintable(shown.left(80)));
  QCOMPARE(WithoutComments(QStringLiteral("a<!-- b\n-->\nc<!--d-->e")), QStringLiteral("ace"));
  QVERIFY(!shown.contains(QLatin1String("nachrechnet")));
  QVERIFY(!shown.contains(QLatin1String("```")));
  QVERIFY(!shown.contains(QLatin1String("programm\n")));
  // Its pictures lie beside it.
  static const QRegularExpression picture(QStringLiteral("!\\[[^]]*\\]\\(([^)]+)\\)"));
  for (const QRegularExpressionMatch& m : picture.globalMatch(GuideWithoutComments())) {
    const QUrl url(m.captured(1));
    QVERIFY2(!window.text->document()->resource(QTextDocument::ImageResource, url).isNull(),
             qPrintable(url.toString()));
  }
}

void TestHelp::aboutBox() {
  Rig rig;
  rig.form.HilfeUeber->trigger();
  QCOMPARE(rig.boxes.boxes.size(), std::size_t{1});
  const RecordedBox& box = rig.boxes.boxes[0];
  QCOMPARE(box.title, std::string("\334ber Ombrix"));
  QVERIFY(box.text.rfind(kApplicationTitle, 0) == 0);  // the version first
  QVERIFY(box.text.find("Lizenz: ") != std::string::npos);
  QVERIFY(box.text.find("komplexen Zahlen") != std::string::npos);
  // The licence's name on a line of its own: a box never breaks it at a hyphen.
  QVERIFY(box.text.find("\n(GPL-3.0-or-later).") != std::string::npos);
}

void TestHelp::listExamples_data() {
  QTest::addColumn<QStringList>("files");
  QTest::addColumn<QByteArray>("titles");
  QTest::addColumn<QStringList>("expected");  // "title=file" in menu order
  const QStringList three{"a.omp", "b.omp", "c.omp"};
  QTest::newRow("titles in their order, the rest by name")
      << three << QByteArray("c.omp = Drittes\n# Kommentar = nein\na.omp = Erstes\n")
      << QStringList{"Drittes=c.omp", "Erstes=a.omp", "b=b.omp"};
  QTest::newRow("no title file") << three << QByteArray()
                                 << QStringList{"a=a.omp", "b=b.omp", "c=c.omp"};
  QTest::newRow("titles of missing files, twice named, empty")
      << QStringList{"a.omp"} << QByteArray("weg.omp = Fehlt\na.omp =\na.omp = A\na.omp = B\n")
      << QStringList{"A=a.omp"};
  QTest::newRow("umlauts and blanks")
      << QStringList{"z.omp"} << QByteArray("  z.omp   =  Gr\xC3\xB6\xC3\237e  \r\n")
      << QStringList{ToQt("Gr\xF6\337e=z.omp")};
  QTest::newRow("other files are no examples")
      << QStringList{"a.omp", "notiz.txt", "b.OMP.bak"} << QByteArray() << QStringList{"a=a.omp"};
}

void TestHelp::listExamples() {
  QFETCH(QStringList, files);
  QFETCH(QByteArray, titles);
  QFETCH(QStringList, expected);
  QTemporaryDir dir;
  for (const QString& file : files) WriteFile(dir.filePath(file), "0\xA7");
  if (!titles.isEmpty()) WriteFile(dir.filePath(QStringLiteral("titel.txt")), titles);
  QStringList shown;
  for (const Example& e : ListExamples(dir.path()))
    shown << e.title + QLatin1Char('=') + QFileInfo(e.path).fileName();
  QCOMPARE(shown, expected);
  QVERIFY(ListExamples(QString()).empty());
}

// Each shipped example has its German title and opens without a message.
void TestHelp::shippedExamplesHaveTitlesAndLoad() {
  const std::vector<Example> examples = ListExamples(SourceExamples());
  QVERIFY(examples.size() >= 8);
  Rig rig;
  QCOMPARE(rig.form.Beispiele1->actions().size(), qsizetype(examples.size()));
  for (std::size_t n = 0; n < examples.size(); ++n) {
    const Example& e = examples[n];
    QVERIFY2(e.title != QFileInfo(e.path).completeBaseName(), qPrintable(e.path));
    QCOMPARE(rig.form.Beispiele1->actions()[qsizetype(n)]->text(), e.title);
    ProjectContent project;
    QVERIFY2(!LoadProject(project, QFile::encodeName(e.path).toStdString()), qPrintable(e.path));
    QVERIFY2(!project.programs[MainProgram].empty(), qPrintable(e.path));
  }
}

void TestHelp::examplesDrawAlikeWhateverRanBefore_data() {
  QTest::addColumn<QString>("path");
  for (const Example& e : ListExamples(SourceExamples()))
    QTest::newRow(qPrintable(QFileInfo(e.path).fileName())) << e.path;
}

// An example draws the same picture after a fresh start and after another program left
// its scale, its colour, its pen and its picture behind.
void TestHelp::examplesDrawAlikeWhateverRanBefore() {
  QFETCH(QString, path);
  RunWorld fresh;
  const QImage expected = fresh.Run(path);
  RunWorld used;
  used.session.project.programs[MainProgram] = {"SetzeSkala(-3/2;1/2;-1/4;9/4)", "SetzeFarbe(i)",
                                                "ZeichneKreis(0;1)", "ZeichneSkala"};
  QVERIFY(used.RunLoaded() != expected);
  const QImage seen = used.Run(path);
  QVERIFY2(seen == expected, qPrintable(path));
}

void TestHelp::examplesFolderPrefersTheInstalledOne() {
  QTemporaryDir prefix;
  QVERIFY(QDir(prefix.path()).mkpath(QStringLiteral("bin")));
  const QString bin = prefix.filePath(QStringLiteral("bin"));
  QCOMPARE(ExamplesFolder(bin), SourceExamples());  // nothing installed: the source tree's
  const QString installed = QDir::cleanPath(QDir(bin).filePath(OMBRIX_INSTALLED_EXAMPLES));
  QVERIFY(QDir().mkpath(installed));
  QCOMPARE(ExamplesFolder(bin), installed);
}

void TestHelp::examplesLockedWhileRunning() {
  Rig rig;
  rig.Main() = {"Solange(1)", "EndeSolange"};
  QVERIFY(rig.form.Beispiele1->menuAction()->isEnabled());
  rig.form.StartRun();
  QVERIFY(!rig.form.Beispiele1->menuAction()->isEnabled());
  QVERIFY(rig.form.HilfeSprachuebersicht->isEnabled());
  rig.form.StopRun();
  QVERIFY(rig.form.Beispiele1->menuAction()->isEnabled());
  rig.form.FillExamplesMenu(QString());  // no examples at all: nothing to choose
  QVERIFY(!rig.form.Beispiele1->menuAction()->isEnabled());
}

void TestHelp::startArguments_data() {
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<int>("kind");
  QTest::addColumn<QString>("project");
  const QString here = QDir::currentPath() + QLatin1Char('/');
  QTest::newRow("none") << QStringList{} << int(StartRequest::Window) << QString();
  QTest::newRow("a project") << QStringList{"a.omp"} << int(StartRequest::Window) << here + "a.omp";
  QTest::newRow("an absolute path")
      << QStringList{"/tmp/x y.omp"} << int(StartRequest::Window) << "/tmp/x y.omp";
  QTest::newRow("a name like an option after --")
      << QStringList{"--", "-a.omp"} << int(StartRequest::Window) << here + "-a.omp";
  QTest::newRow("a lone dash is a file name")
      << QStringList{"-"} << int(StartRequest::Window) << here + "-";
  QTest::newRow("--help") << QStringList{"--help"} << int(StartRequest::Help) << QString();
  QTest::newRow("-h after a file")
      << QStringList{"a.omp", "-h"} << int(StartRequest::Help) << QString();
  QTest::newRow("unknown option") << QStringList{"--vollbild"} << int(StartRequest::Refused)
                                  << QString();
  QTest::newRow("two projects") << QStringList{"a.omp", "b.omp"} << int(StartRequest::Refused)
                                << QString();
  QTest::newRow("empty name") << QStringList{""} << int(StartRequest::Refused) << QString();
}

void TestHelp::startArguments() {
  QFETCH(QStringList, arguments);
  QFETCH(int, kind);
  QFETCH(QString, project);
  const StartRequest request = ReadStartArguments(arguments);
  QCOMPARE(int(request.kind), kind);
  QCOMPARE(request.project, project);
  if (kind == StartRequest::Window) {
    QVERIFY(request.message.isEmpty());
  } else {
    QVERIFY(request.message.contains(QStringLiteral("Aufruf: ombrix [PROJEKT.omp]")));
  }
  if (kind == StartRequest::Refused) QVERIFY(request.message.startsWith("ombrix: "));
}

void TestHelp::toolkitOptionsLeftOut_data() {
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<QStringList>("left");
  QTest::newRow("none") << QStringList{} << QStringList{};
  QTest::newRow("a platform and a project")
      << QStringList{"-platform", "offscreen", "a.omp"} << QStringList{"a.omp"};
  QTest::newRow("two dashes, a flag, an = value")
      << QStringList{"--style", "fusion", "-reverse", "-style=kvantum", "b.omp"}
      << QStringList{"b.omp"};
  QTest::newRow("ours stay") << QStringList{"--help", "-geometry", "10x10", "--vollbild"}
                             << QStringList{"--help", "--vollbild"};
  QTest::newRow("after -- as well, as Qt does")
      << QStringList{"--", "-display", ":1", "-x.omp"} << QStringList{"--", "-x.omp"};
  QTest::newRow("a value missing at the end")
      << QStringList{"a.omp", "-platform"} << QStringList{"a.omp"};
}

void TestHelp::toolkitOptionsLeftOut() {
  QFETCH(QStringList, arguments);
  QFETCH(QStringList, left);
  QCOMPARE(WithoutToolkitOptions(arguments), left);
}

void TestHelp::answersWithoutADisplay_data() {
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<int>("status");
  QTest::addColumn<QString>("out");  // the start of stdout
  QTest::addColumn<QString>("err");  // the start of stderr
  const QString usage = QStringLiteral("Aufruf: ombrix [PROJEKT.omp]\n");
  QTest::newRow("--help") << QStringList{"--help"} << 0 << usage << QString();
  QTest::newRow("-h beside a toolkit option")
      << QStringList{"-style", "fusion", "-h"} << 0 << usage << QString();
  QTest::newRow("unknown option") << QStringList{"--vollbild"} << 2 << QString()
                                  << ToQt("ombrix: unbekannte Option \x84--vollbild\x93\n");
  QTest::newRow("two projects") << QStringList{"a.omp", "b.omp"} << 2 << QString()
                                << QStringLiteral("ombrix: nur ein Projekt auf einmal\n");
}

// Without any display the window cannot start; what needs none still answers.
void TestHelp::answersWithoutADisplay() {
  QFETCH(QStringList, arguments);
  QFETCH(int, status);
  QFETCH(QString, out);
  QFETCH(QString, err);
  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    environment.remove(QString::fromLatin1(name));
  program.setProcessEnvironment(environment);
  program.start(QStringLiteral(OMBRIX_WINDOW_PROGRAM), arguments);
  QVERIFY(program.waitForFinished(60000));
  QCOMPARE(program.exitStatus(), QProcess::NormalExit);
  QCOMPARE(program.exitCode(), status);
  const QString printed = QString::fromUtf8(program.readAllStandardOutput());
  const QString complained = QString::fromUtf8(program.readAllStandardError());
  // Exactly one of the two holds the usage, after the complaint if there is one.
  QVERIFY2(printed.startsWith(out) && complained.startsWith(err), qPrintable(printed + complained));
  QCOMPARE(printed.contains(QLatin1String("Aufruf: ombrix")), !out.isEmpty());
  QCOMPARE(complained.contains(QLatin1String("Aufruf: ombrix")), !err.isEmpty());
}

QTEST_MAIN(TestHelp)
#include "test_help_window.moc"
