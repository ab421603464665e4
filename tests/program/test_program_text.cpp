#include "logic/program/program_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/recording.h"

namespace ombrix {
namespace {

using Lines = std::vector<std::string>;
using ombrix::testing::RecordingMessageBoxes;

constexpr const char* kStructureMessage = "Die Struktur Ihres Programms ist fehlerhaft.";

// Counts the batch brackets, so a test can tell that every line change happened inside one.
class CountingEditor : public VectorEditorLines {
 public:
  using VectorEditorLines::VectorEditorLines;
  void ReplaceLine(int index, const std::string& text) override {
    if (update_depth <= 0) ++changes_outside_batch;
    VectorEditorLines::ReplaceLine(index, text);
  }
  void BeginUpdate() override {
    ++begins;
    VectorEditorLines::BeginUpdate();
  }
  int begins = 0;
  int changes_outside_batch = 0;
};

TEST(ProgramTextTest, KeywordTablesAndNames) {
  EXPECT_STREQ(ProgramNames[MainProgram], "Hauptprogramm");
  EXPECT_STREQ(ProgramNames[MouseHandlerProgram],
               "Ereignisbehandlung f\xFCr 'Mausknopf gedr\374ckt'");
  const KeywordTable opening = {"Wenn", "Andernfalls", "Solange", "Wiederhole", "F\xFCr"};
  const KeywordTable closing = {"EndeWenn", "Andernfalls", "EndeSolange", "EndeWiederhole",
                                "EndeF\xFCr"};
  for (int i = 0; i < kKeywordCount; ++i) {
    EXPECT_STREQ(OpeningKeywords[i], opening[i]) << i;
    EXPECT_STREQ(ClosingKeywords[i], closing[i]) << i;
  }
  EXPECT_EQ(EditorCaption(MainProgram), "Programm editieren: Hauptprogramm");
}

TEST(ProgramTextTest, KeywordIndexIgnoresCaseOnly) {
  struct Row {
    const char* name;
    std::string word;
    const KeywordTable* table;
    int expected;
  };
  const Row rows[] = {
      {"exact opening", "Wenn", &OpeningKeywords, 0},
      {"lower case", "wenn", &OpeningKeywords, 0},
      {"upper case", "SOLANGE", &OpeningKeywords, 2},
      {"umlaut lower", "f\xFCr", &OpeningKeywords, 4},
      {"umlaut upper", "F\xDCR", &OpeningKeywords, 4},
      {"closing umlaut upper", "ENDEF\xDCR", &ClosingKeywords, 4},
      {"Andernfalls in both", "andernfalls", &ClosingKeywords, 1},
      {"closing is not opening", "EndeWenn", &OpeningKeywords, -1},
      {"no trimming", " Wenn", &OpeningKeywords, -1},
      {"prefix only", "Wen", &OpeningKeywords, -1},
      {"longer word", "Wenn2", &OpeningKeywords, -1},
      {"empty", "", &ClosingKeywords, -1},
      {"plain ASCII u is no umlaut", "Fur", &OpeningKeywords, -1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(KeywordIndex(row.word, *row.table), row.expected);
    EXPECT_EQ(MatchesKeyword(row.word, *row.table), row.expected >= 0);
  }
}

TEST(ProgramTextTest, LineHead) {
  struct Row {
    const char* name;
    std::string line;
    std::string head;
  };
  const Row rows[] = {
      {"bracket ends the head", "Wenn(x>0)", "Wenn"},
      {"spaces removed", "  Wenn ( x > 0 )", "Wenn"},
      {"no bracket: whole line", "a := 1", "a:=1"},
      {"first bracket counts", "Zeichne Punkt(1)(2)", "ZeichnePunkt"},
      {"bracket first", "(x)", ""},
      {"empty", "", ""},
      {"tab stays", "Wenn\t(x)", "Wenn\t"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(LineHead(row.line), row.head);
  }
}

TEST(ProgramTextTest, FormatIndentsByBlockDepth) {
  struct Row {
    const char* name;
    Lines input;
    Lines output;
    int fault_line;  // where the structure breaks, -1: it balances
  };
  const Row rows[] = {
      {"if with else",
       {"Wenn(x>0)", "ZeichnePunkt(x)", "Andernfalls", "L\xF6scheBild", "EndeWenn"},
       {"Wenn(x>0)", "  ZeichnePunkt(x)", "Andernfalls", "  L\xF6scheBild", "EndeWenn"},
       -1},
      {"typed indentation and inner spaces go",
       {"    Wenn ( x > 0 )", "ZeichnePunkt ( x )", "  Ende Wenn  "},
       {"Wenn(x>0)", "  ZeichnePunkt(x)", "EndeWenn"},
       -1},
      {"case differs, case kept",
       {"wenn(x>0)", "a:=1", "ENDEWENN"},
       {"wenn(x>0)", "  a:=1", "ENDEWENN"},
       -1},
      {"umlaut keywords in upper case",
       {"F\xDCR(i;1;3)", "a:=i", "ENDEF\xDCR"},
       {"F\xDCR(i;1;3)", "  a:=i", "ENDEF\xDCR"},
       -1},
      {"nested loops",
       {"Solange(a)", "Wiederhole", "F\xFCr(i;1;2)", "x", "EndeF\xFCr", "EndeWiederhole(x>1)",
        "EndeSolange"},
       {"Solange(a)", "  Wiederhole", "    F\xFCr(i;1;2)", "      x", "    EndeF\xFCr",
        "    EndeWiederhole(x>1)", "  EndeSolange"},
       1},
      {"closing first stays unindented until the depth is positive again",
       {"EndeWenn", "Wenn(a)", "Wenn(b)", "c", "EndeWenn", "EndeWenn"},
       {"EndeWenn", "Wenn(a)", "Wenn(b)", "  c", "EndeWenn", "EndeWenn"},
       0},
      {"unclosed loop at the end", {"Solange(x>0)", "x:=x-1"}, {"Solange(x>0)", "  x:=x-1"}, 0},
      {"kinds are not paired",
       {"Wenn(a)", "b", "EndeF\xFCr"},
       {"Wenn(a)", "  b", "EndeF\xFCr"},
       -1},
      {"closing word with a bracket is neither",
       {"Wenn(a)", "EndeWenn(x)", "EndeWenn"},
       {"Wenn(a)", "  EndeWenn(x)", "EndeWenn"},
       -1},
      {"opening head with anything after the bracket",
       {"Wenn(a)EndeWenn", "b", "EndeWenn"},
       {"Wenn(a)EndeWenn", "  b", "EndeWenn"},
       -1},
      {"opening word without bracket",
       {"Wiederhole", "EndeWiederhole"},
       {"Wiederhole", "EndeWiederhole"},
       -1},
      {"else with a bracket opens but does not close",
       {"Wenn(a)", "Andernfalls(x)", "c", "EndeWenn"},
       {"Wenn(a)", "  Andernfalls(x)", "    c", "  EndeWenn"},
       0},
      {"bare else at the start", {"Andernfalls", "x"}, {"Andernfalls", "x"}, 0},
      {"empty line inside a block shows as spaces",
       {"Wenn(a)", "", "EndeWenn"},
       {"Wenn(a)", "  ", "EndeWenn"},
       -1},
      {"tab stays", {"Wenn(a)", "\tb", "EndeWenn"}, {"Wenn(a)", "  \tb", "EndeWenn"}, -1},
      {"keyword inside a longer word", {"Wennx(1)", "Solangex"}, {"Wennx(1)", "Solangex"}, -1},
      {"empty program", {}, {}, -1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    CountingEditor editor(row.input);
    RecordingMessageBoxes boxes;
    FormatProgramText(editor, boxes);
    EXPECT_EQ(editor.lines, row.output);
    EXPECT_EQ(editor.update_depth, 0);
    EXPECT_EQ(editor.changes_outside_batch, 0);
    EXPECT_EQ(StructureFaultLine(editor), row.fault_line);
    if (row.fault_line >= 0) {
      ASSERT_EQ(boxes.boxes.size(), 1u);
      EXPECT_EQ(boxes.boxes[0].kind, MessageKind::Error);
      EXPECT_EQ(boxes.boxes[0].text, kStructureMessage);
    } else {
      EXPECT_TRUE(boxes.boxes.empty());
    }
  }
}

TEST(ProgramTextTest, StructureMessageShownOnceForManyFaults) {
  VectorEditorLines editor({"EndeWenn", "EndeSolange", "EndeF\xFCr", "Wenn(a)", "Wenn(b)"});
  RecordingMessageBoxes boxes;
  FormatProgramText(editor, boxes);
  EXPECT_EQ(boxes.Texts(), Lines{kStructureMessage});
}

TEST(ProgramTextTest, DeepNestingKeepsCountingButCapsTheIndent) {
  // Hostile depth must neither exhaust memory nor unbalance the check.
  const int depth = 5000;
  Lines input(depth, "Wenn(a)");
  input.push_back("x");
  input.insert(input.end(), depth, "EndeWenn");
  VectorEditorLines editor(input);
  RecordingMessageBoxes boxes;
  FormatProgramText(editor, boxes);
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ(editor.lines[depth], std::string(256, ' ') + "x");
  EXPECT_EQ(editor.lines[1], "  Wenn(a)");
  EXPECT_EQ(editor.lines.back(), "EndeWenn");
  EXPECT_EQ(editor.lines[editor.lines.size() - 2], "  EndeWenn");

  editor.lines.pop_back();  // one block left open
  FormatProgramText(editor, boxes);
  EXPECT_EQ(boxes.Texts(), Lines{kStructureMessage});
}

TEST(ProgramTextTest, LoadIntoEditorSetsCaptionReplacesLinesAndFormats) {
  struct Row {
    const char* name;
    int slot;
    ProgramText program;
    std::string caption;
    Lines shown;
    bool faulty;
  };
  const Row rows[] = {
      {"main program",
       MainProgram,
       {"Wenn(a)", "b", "EndeWenn"},
       "Programm editieren: Hauptprogramm",
       {"Wenn(a)", "  b", "EndeWenn"},
       false},
      {"mouse handler, faulty",
       MouseHandlerProgram,
       {"Solange(a)", ""},
       "Programm editieren: Ereignisbehandlung f\xFCr 'Mausknopf gedr\374ckt'",
       {"Solange(a)", "  "},
       true},
      {"empty program", MainProgram, {}, "Programm editieren: Hauptprogramm", {}, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    CountingEditor editor({"old line 1", "old line 2", "old line 3", "old line 4"});
    RecordingMessageBoxes boxes;
    LoadProgramIntoEditor(row.program, row.slot, editor, boxes);
    EXPECT_EQ(editor.caption, row.caption);
    EXPECT_EQ(editor.lines, row.shown);
    EXPECT_EQ(editor.update_depth, 0);
    EXPECT_GE(editor.begins, 1);
    EXPECT_EQ(boxes.boxes.size(), row.faulty ? 1u : 0u);
  }
}

TEST(ProgramTextTest, StoreRemovesSpacesAndKeepsEveryLine) {
  struct Row {
    const char* name;
    Lines editor;
    ProgramText stored;
  };
  const Row rows[] = {
      {"indentation and inner spaces",
       {"Wenn ( x > 0 )", "  ZeichnePunkt ( x )", "EndeWenn"},
       {"Wenn(x>0)", "ZeichnePunkt(x)", "EndeWenn"}},
      {"empty and blank lines stay as empty lines",
       {"a:=1", "", "    ", "b:=2", ""},
       {"a:=1", "", "", "b:=2", ""}},
      {"case, tabs and umlauts as typed", {"wEnN(\xC4pfel > 1)\t"}, {"wEnN(\xC4pfel>1)\t"}},
      {"unbalanced blocks are stored unchecked",
       {"EndeWenn", "Solange(1)"},
       {"EndeWenn", "Solange(1)"}},
      {"empty editor empties the program", {}, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    VectorEditorLines editor(row.editor);
    ProgramText program = {"old", "lines", "here", "to", "be", "replaced", "entirely"};
    StoreEditorIntoProgram(editor, program);
    EXPECT_EQ(program, row.stored);
    EXPECT_EQ(program.size(), row.editor.size());
    EXPECT_EQ(editor.update_depth, 0);
  }
}

TEST(ProgramTextTest, LoadThenStoreGivesTheProgramBack) {
  const ProgramText program = {"Wenn(x>0)",       "F\xFCr(i;1;3)", "",
                               "ZeichnePunkt(i)", "EndeF\xFCr",    "EndeWenn"};
  VectorEditorLines editor;
  RecordingMessageBoxes boxes;
  LoadProgramIntoEditor(program, MainProgram, editor, boxes);
  EXPECT_EQ(editor.lines[2], "    ");
  ProgramText stored;
  StoreEditorIntoProgram(editor, stored);
  EXPECT_EQ(stored, program);
  EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
}  // namespace ombrix
