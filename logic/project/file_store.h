// What the project file needs of a file system: a whole file read as bytes, and a file's
// bytes replaced in one step. platform/ implements it on POSIX; tests keep files in memory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ombrix {

// Why a file could not be read or written.
struct FileFailure {
  std::string reason;      // German, Windows-1252, a clause: "Zugriff verweigert"
  bool too_large = false;  // the file holds more bytes than the reader allows
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
};

}  // namespace ombrix
