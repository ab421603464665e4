// The project file: a flat run of Windows-1252 fields, each ended by the byte 0xA7.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "logic/program/project_content.h"
#include "logic/project/file_store.h"

namespace ombrix {

inline constexpr char kFieldSeparator = '\xA7';
inline constexpr const char* kUnnamedProject = "{ohne Namen}";

// Larger files are refused unread, and larger projects are not saved: a real project is
// a few kilobytes, and the editor shows the programs of one this large within seconds.
inline constexpr std::uintmax_t kMaxProjectFileSize = 8u * 1024u * 1024u;
// Lines of one program that a project may hold, checked at save and at load alike: every
// line costs far more in memory and in the editor than its byte in the file, so a file of
// separators alone must not become tens of millions of lines.
inline constexpr std::size_t kMaxProgramLines = 100000;
// Characters of one program line, checked at save and at load alike: the editor lays out
// a line whole, so that a line of megabytes would keep it busy for minutes.
inline constexpr std::size_t kMaxLineLength = 100000;

struct ProjectError {
  std::string message;  // German, Windows-1252
  bool fault = false;   // a conversion or overflow fault: shown as the platform fault
};

// Replaces the file by the project's bytes through `files`; on failure the old file stays
// and the error is returned. (platform/posix_file_store.h has both for this machine's files.)
[[nodiscard]] std::optional<ProjectError> SaveProject(const ProjectContent& project,
                                                      const std::filesystem::path& file,
                                                      const FileStore& files);
// The same safe replacement for any bytes.
[[nodiscard]] std::optional<ProjectError> SaveFileBytes(std::string_view bytes,
                                                        const std::filesystem::path& file,
                                                        const FileStore& files);
// What a save that could not write `file` says ("Das Projekt konnte nicht in der Datei …").
[[nodiscard]] ProjectError SaveFileError(const std::filesystem::path& file,
                                         const std::string& reason);
// Reads the whole file into a fresh project and takes it over only when every field
// was read; on failure `project` is unchanged, and the error names the file. A file
// written under the other decimal separator is read as that separator writes and then
// converted (SwapDecimalSeparators); `converted`, when given, tells so: the project then
// differs from its file.
[[nodiscard]] std::optional<ProjectError> LoadProject(ProjectContent& project,
                                                      const std::filesystem::path& file,
                                                      const FileStore& files,
                                                      bool* converted = nullptr);

// The bytes SaveProject writes, with the current decimal separator. Refuses (and leaves
// `bytes` empty) a project that the format cannot hold: a text containing the field
// separator, or a start value whose text would not read back.
[[nodiscard]] std::optional<ProjectError> ProjectToBytes(const ProjectContent& project,
                                                         std::string& bytes);
// LoadProject on bytes already read; `file_label` names the file in messages (Windows-1252).
// A field that is no number gives "Die Datei "NAME" ist keine gültige Projektdatei: '…' ist
// kein gültiger Integerwert." (the field as ReadableFieldFault shows it), whichever front
// end opens the file.
[[nodiscard]] std::optional<ProjectError> LoadProjectFromBytes(ProjectContent& project,
                                                               std::string_view bytes,
                                                               std::string_view file_label = {},
                                                               bool* converted = nullptr);

// The decimal separator the file's numbers were written with, told by the start values of
// e and Pi, which every project holds: the current one unless they hold only the other.
[[nodiscard]] char FileDecimalSeparator(std::string_view bytes);
// Every "," of the user functions' terms and of the program lines becomes "." and every
// "." a ",": neither has a meaning in the language but as the decimal separator, so a
// project written under one separator then runs under the other as it ran there.
void SwapDecimalSeparators(ProjectContent& project);

// The next field from `pos`: the bytes up to the next separator, which is consumed.
// Empty when the bytes end before a separator comes; `pos` then stays.
std::optional<std::string_view> ReadField(std::string_view bytes, std::size_t& pos);

// Decimal, or up to eight hex digits after "$", "x", "X", "0x", "0X"; throws the
// "ist kein gültiger Integerwert" Fault otherwise.
std::int32_t TextToInteger(std::string_view text);

// A load's conversion fault ("'...' ist kein gültiger Integerwert") with the field shown
// readably, as every front end shows it: bytes that print nothing or garble the box as
// "?", and only its first 40 bytes and "…" when it is longer (a field may be megabytes).
// Any other message comes back as it is.
std::string ReadableFieldFault(const std::string& message);

}  // namespace ombrix
