// Program texts: the two program slots, the block keywords, re-indentation and the
// structure check, and the moves between a program and the editor's line list.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "logic/complex/messages.h"

namespace ombrix {

// Line n as the user counts it is element n - 1. Stored lines hold no space.
using ProgramText = std::vector<std::string>;

inline constexpr int MainProgram = 0;
inline constexpr int MouseHandlerProgram = 1;
// "Hauptprogramm", "Ereignisbehandlung für 'Mausknopf gedrückt'" (Windows-1252).
extern const char* const ProgramNames[2];

// The blocks, in the order of both keyword tables: entry i of either table belongs to
// kind i. "Andernfalls" stands in both and opens nothing of its own.
enum class BlockKind : std::int32_t { Wenn, Andernfalls, Solange, Wiederhole, Fuer };
inline constexpr int kKeywordCount = 5;
using KeywordTable = std::array<const char*, kKeywordCount>;
// "Wenn", "Andernfalls", "Solange", "Wiederhole", "Für"
extern const KeywordTable OpeningKeywords;
// "EndeWenn", "Andernfalls", "EndeSolange", "EndeWiederhole", "EndeFür"
extern const KeywordTable ClosingKeywords;

inline constexpr int IndentStep = 2;

// The text before the first "(" (or the whole line), spaces removed.
std::string LineHead(std::string_view line);
// Position of the first entry equal to `word` when both are lower-cased; -1 if none.
template <std::size_t N>
int KeywordIndex(std::string_view word, const std::array<const char*, N>& table);
bool MatchesKeyword(std::string_view text, const KeywordTable& table);

// The program editor's line list.
class EditorLines {
 public:
  virtual ~EditorLines() = default;
  virtual int Count() const = 0;
  virtual std::string Line(int index) const = 0;
  virtual void ReplaceLine(int index, const std::string& text) = 0;
  virtual void Clear() = 0;
  virtual void Append(const std::string& text) = 0;
  virtual void BeginUpdate() = 0;
  virtual void EndUpdate() = 0;
  virtual void SetCaption(const std::string& caption) = 0;
};

// A line list held in memory: the command-line tool's editor, and the tests'.
class VectorEditorLines : public EditorLines {
 public:
  VectorEditorLines() = default;
  explicit VectorEditorLines(std::vector<std::string> initial) : lines(std::move(initial)) {}
  int Count() const override { return static_cast<int>(lines.size()); }
  std::string Line(int index) const override { return lines[static_cast<std::size_t>(index)]; }
  void ReplaceLine(int index, const std::string& text) override {
    lines[static_cast<std::size_t>(index)] = text;
  }
  void Clear() override { lines.clear(); }
  void Append(const std::string& text) override { lines.push_back(text); }
  void BeginUpdate() override { ++update_depth; }
  void EndUpdate() override { --update_depth; }
  void SetCaption(const std::string& text) override { caption = text; }

  std::vector<std::string> lines;
  std::string caption;
  int update_depth = 0;  // open batch updates; 0 whenever an operation has ended
};

// "Programm editieren: " followed by the slot's display name.
std::string EditorCaption(int slot);

// Caption "Programm editieren: " + display name, the program's lines, then formatting.
void LoadProgramIntoEditor(const ProgramText& program, int slot, EditorLines& editor,
                           MessageBoxes& boxes);
// Re-indents every line by block depth; shows "Die Struktur Ihres Programms ist
// fehlerhaft." once when the blocks do not balance.
void FormatProgramText(EditorLines& editor, MessageBoxes& boxes);
// Where the blocks stop balancing (0-based): the first closing line without an open block,
// else the first opening line that is never closed; -1 when they balance, which is exactly
// when FormatProgramText shows no structure message.
int StructureFaultLine(const EditorLines& editor);
// The editor's lines, spaces removed, become the program's lines (empty lines kept).
void StoreEditorIntoProgram(EditorLines& editor, ProgramText& program);

}  // namespace ombrix

#include "logic/program/program_text_inl.h"
