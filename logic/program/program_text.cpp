#include "logic/program/program_text.h"

#include <algorithm>
#include <cstdint>

#include "logic/complex/num_text.h"
#include "logic/complex/table_order.h"

namespace ombrix {

const char* const ProgramNames[2] = {
    "Hauptprogramm",
    "Ereignisbehandlung f\xFCr 'Mausknopf gedr\374ckt'",
};

namespace {

struct KeywordRow {
  BlockKind id;
  const char* opening;
  const char* closing;
};

constexpr std::array<KeywordRow, kKeywordCount> kKeywords = {{
    {BlockKind::Wenn, "Wenn", "EndeWenn"},
    {BlockKind::Andernfalls, "Andernfalls", "Andernfalls"},
    {BlockKind::Solange, "Solange", "EndeSolange"},
    {BlockKind::Wiederhole, "Wiederhole", "EndeWiederhole"},
    {BlockKind::Fuer, "F\xFCr", "EndeF\xFCr"},
}};
static_assert(InEnumOrder(kKeywords));

// The depth keeps counting past this, so the structure check stays exact; only the
// spaces put in front of a line stop growing. Without the cap a few thousand nested
// openings (a small hostile file) would become gigabytes of indentation.
constexpr std::int64_t kMaxIndent = 256;

}  // namespace

const KeywordTable OpeningKeywords = TableColumn(kKeywords, &KeywordRow::opening);
const KeywordTable ClosingKeywords = TableColumn(kKeywords, &KeywordRow::closing);

std::string LineHead(std::string_view line) {
  const std::size_t bracket = line.find('(');
  return RemoveSpaces(line.substr(0, bracket));
}

bool MatchesKeyword(std::string_view text, const KeywordTable& table) {
  return KeywordIndex(text, table) >= 0;
}

std::string EditorCaption(int slot) {
  std::string caption = "Programm editieren: ";
  if (slot == MainProgram || slot == MouseHandlerProgram) caption += ProgramNames[slot];
  return caption;
}

void LoadProgramIntoEditor(const ProgramText& program, int slot, EditorLines& editor,
                           MessageBoxes& boxes) {
  editor.SetCaption(EditorCaption(slot));
  editor.BeginUpdate();
  editor.Clear();
  for (const std::string& line : program) editor.Append(line);
  editor.EndUpdate();
  FormatProgramText(editor, boxes);
}

void FormatProgramText(EditorLines& editor, MessageBoxes& boxes) {
  editor.BeginUpdate();
  const int count = editor.Count();
  std::int64_t depth = 0;  // in spaces, may go negative and stay there
  bool faulty = false;
  for (int n = 0; n < count; ++n) {
    const std::string line = RemoveSpaces(editor.Line(n));
    if (MatchesKeyword(line, ClosingKeywords)) depth -= IndentStep;
    if (depth < 0) faulty = true;
    const std::int64_t indent = std::clamp<std::int64_t>(depth, 0, kMaxIndent);
    editor.ReplaceLine(n, std::string(static_cast<std::size_t>(indent), ' ') + line);
    if (MatchesKeyword(LineHead(line), OpeningKeywords)) depth += IndentStep;
  }
  if (depth > 0) faulty = true;
  if (faulty) {
    boxes.Show(MessageKind::Error, "Die Struktur Ihres Programms ist fehlerhaft.");
  }
  editor.EndUpdate();
}

namespace {

// The check only counts, as FormatProgramText does: a closing line with no block open,
// or blocks left open at the end.
bool BlocksBalance(const std::vector<std::string>& lines) {
  std::int64_t depth = 0;
  bool faulty = false;
  for (const std::string& line : lines) {
    if (MatchesKeyword(line, ClosingKeywords) && --depth < 0) faulty = true;
    if (MatchesKeyword(LineHead(line), OpeningKeywords)) ++depth;
  }
  return !faulty && depth == 0;
}

// A block's kind, "Andernfalls" going on with its "Wenn".
int BlockOf(int keyword) {
  return keyword == static_cast<int>(BlockKind::Andernfalls) ? static_cast<int>(BlockKind::Wenn)
                                                             : keyword;
}

// Where unbalanced blocks break: a closing line that closes no open block of its kind,
// the first block it would leave open inside one, or else the first block never closed.
int FirstBrokenBlock(const std::vector<std::string>& lines) {
  std::vector<std::pair<int, int>> open;  // block kind, line
  const auto count = static_cast<int>(lines.size());
  for (int n = 0; n < count; ++n) {
    const std::string& line = lines[static_cast<std::size_t>(n)];
    if (const int closing = KeywordIndex(line, ClosingKeywords); closing >= 0) {
      std::size_t match = open.size();
      while (match > 0 && open[match - 1].first != BlockOf(closing)) --match;
      if (match == 0) return n;
      if (match < open.size()) return open[match].second;
      open.pop_back();
    }
    if (const int opening = KeywordIndex(LineHead(line), OpeningKeywords); opening >= 0) {
      open.emplace_back(BlockOf(opening), n);
    }
  }
  return open.empty() ? 0 : open.front().second;
}

}  // namespace

int StructureFaultLine(const EditorLines& editor) {
  const int count = editor.Count();
  std::vector<std::string> lines;
  lines.reserve(static_cast<std::size_t>(std::max(count, 0)));
  for (int n = 0; n < count; ++n) lines.push_back(RemoveSpaces(editor.Line(n)));
  return BlocksBalance(lines) ? -1 : FirstBrokenBlock(lines);
}

void StoreEditorIntoProgram(EditorLines& editor, ProgramText& program) {
  const int count = editor.Count();
  editor.BeginUpdate();
  program.clear();
  program.reserve(static_cast<std::size_t>(std::max(count, 0)));
  for (int n = 0; n < count; ++n) {
    std::string line = RemoveSpaces(editor.Line(n));
    editor.ReplaceLine(n, line);
    program.push_back(std::move(line));
  }
  editor.EndUpdate();
}

}  // namespace ombrix
