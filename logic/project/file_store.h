// What the project file needs of a file system: a whole file read as bytes, and a file's
// bytes replaced in one step. platform/ implements it on POSIX; tests keep files in memory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ombrix {

// Why a file could not be read or written.
struct FileFailure {
  std::string reason;      // German, Windows-1252, a clause: "Zugriff verweigert"
  bool too_large = false;  // the file holds more bytes than the reader allows
  bool missing = false;    // nothing is there by that name
};

// One file of a save that writes several together: its new bytes, or none to remove it
// (a plain file only; a link or anything else there stays).
struct FileWrite {
  std::filesystem::path file;
  std::optional<std::string_view> bytes;
};

class FileStore {
 public:
  virtual ~FileStore() = default;
  // The whole of `file` into `bytes`, unless it holds more than `max_size` bytes.
  [[nodiscard]] virtual std::optional<FileFailure> Read(const std::filesystem::path& file,
                                                        std::uintmax_t max_size,
                                                        std::string& bytes) const = 0;
  // Makes `bytes` the content of `file` (of the file a symbolic link there names): it
  // holds the old or the new bytes whatever happens, and the old ones on failure.
  [[nodiscard]] virtual std::optional<FileFailure> Replace(const std::filesystem::path& file,
                                                           std::string_view bytes) const = 0;
  // The writes as one save: every new content is written whole before any file changes,
  // so that a failure to write (a read-only file, a full disk) changes none of them; then
  // the files are replaced or removed in order, moments apart, and a failure there puts
  // back those already changed. On failure `failed` is the index of the write that failed.
  [[nodiscard]] virtual std::optional<FileFailure> ReplaceTogether(
      std::span<const FileWrite> writes, std::size_t& failed) const = 0;
};

}  // namespace ombrix
