#include "platform/posix_file_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

namespace ombrix {

namespace fs = std::filesystem;

namespace {

std::string ErrnoReason(int err) {
  switch (err) {
    case ENOENT:
      return "Die Datei oder der Ordner existiert nicht";
    case EACCES:
    case EPERM:
      return "Zugriff verweigert";
    case EISDIR:
      return "Das ist ein Ordner";
    case ENOTDIR:
      return "Ein Teil des Pfades ist kein Ordner";
    case ENOSPC:
    case EDQUOT:
      return "Auf dem Datentr\xE4ger ist kein Platz mehr";
    case EROFS:
      return "Der Datentr\xE4ger ist schreibgesch\xFCtzt";
    case ENAMETOOLONG:
      return "Der Dateiname ist zu lang";
    case EIO:
      return "Ein- oder Ausgabefehler des Datentr\xE4gers";
    case EMFILE:
    case ENFILE:
      return "Es sind zu viele Dateien ge\366ffnet";
    case EFBIG:
      return "Die Datei w\xE4re zu gro\xDF";
    case ELOOP:
      return "Zu viele symbolische Verkn\xFCpfungen";
    default:
      return "Systemfehler " + std::to_string(err);
  }
}

// What a path that holds no plain file holds instead.
std::string NotAFileReason(mode_t mode) {
  if (S_ISDIR(mode)) return ErrnoReason(EISDIR);
  if (S_ISFIFO(mode)) return "Das ist eine benannte Pipe, keine Datei";
  if (S_ISSOCK(mode)) return "Das ist ein Socket, keine Datei";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "Das ist ein Ger\xE4t, keine Datei";
  return "Das ist keine gew\xF6hnliche Datei";
}

FileFailure Failure(std::string reason) { return {std::move(reason), false}; }

// Why `file` could not be opened: what it is where that is no file (a socket refuses the
// open with a bare "no such device"), else the error itself.
FileFailure OpenFailure(const fs::path& file, int err) {
  struct stat info {};
  if (::stat(file.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
    return Failure(NotAFileReason(info.st_mode));
  }
  FileFailure failure = Failure(ErrnoReason(err));
  failure.missing = err == ENOENT;
  return failure;
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int Get() const { return fd_; }
  // Closes now and reports the error a late write-back may bring.
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

// 0 on success, else the errno of the failed write.
int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (written == 0) return EIO;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

// Distinct per process, call and attempt; O_EXCL settles any clash that remains.
std::string TempSuffix(int attempt) {
  std::uint64_t seed =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  seed ^= static_cast<std::uint64_t>(::getpid()) << 32;
  seed += static_cast<std::uint64_t>(attempt) * 0x9E3779B97F4A7C15ull;
  seed ^= seed >> 29;
  std::string suffix;
  for (int i = 0; i < 10; ++i) {
    suffix += "0123456789abcdefghijklmnopqrstuvwxyz"[seed % 36];
    seed /= 36;
  }
  return suffix;
}

// The file a save writes: the end of the chain of symbolic links `file` starts, which need
// not exist yet (a dangling link names the file to create). Folders on the way are left to
// the system.
std::optional<fs::path> FollowLinks(const fs::path& file, int& err) {
  fs::path path = file;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    std::error_code ec;
    const fs::path next = fs::read_symlink(path, ec);
    if (ec) {
      err = ec.value();
      return std::nullopt;
    }
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  err = ELOOP;
  return std::nullopt;
}

// Temporaries older than this are left over from a save that was killed: a save in progress
// writes its temporary within moments of naming it.
constexpr auto kStaleTemporaryAge = std::chrono::minutes(1);

bool IsTemporaryName(const std::string& name, const std::string& prefix) {
  if (name.size() != prefix.size() + 10 || name.compare(0, prefix.size(), prefix) != 0) {
    return false;
  }
  return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); });
}

// Removes this process owner's stale temporaries of the same target.
void RemoveStaleTemporaries(const fs::path& folder, const std::string& prefix) {
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) return;
  const auto now = std::chrono::system_clock::now();
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) return;
    const fs::path& path = it->path();
    if (!IsTemporaryName(path.filename().string(), prefix)) continue;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
      continue;
    }
    const auto written = std::chrono::system_clock::from_time_t(info.st_mtim.tv_sec);
    if (now - written > kStaleTemporaryAge) ::unlink(path.c_str());
  }
}

int CreateNamedTemporary(const fs::path& folder, const std::string& prefix, fs::path& temp,
                         int& err) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = folder / (prefix + TempSuffix(attempt));
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST) break;
  }
  err = errno;
  temp.clear();
  return -1;
}

// Gives the unnamed file `fd` a temporary name beside the target.
bool LinkTemporary(int fd, const fs::path& folder, const std::string& prefix, fs::path& temp,
                   int& err) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = folder / (prefix + TempSuffix(attempt));
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      return true;
    }
    // Without /proc the file itself can be linked where the process is privileged.
    if (errno == ENOENT && ::linkat(fd, "", AT_FDCWD, temp.c_str(), AT_EMPTY_PATH) == 0) {
      return true;
    }
    if (errno != EEXIST) break;
  }
  err = errno;
  temp.clear();
  return false;
}

// The target a save may replace: the end of the links, a plain file or none yet; `old`
// holds the replaced file's status when `exists`.
[[nodiscard]] std::optional<FileFailure> CheckTarget(const fs::path& file, fs::path& target,
                                                     struct stat& old, bool& exists) {
  if (file.empty() || !file.has_filename()) return Failure("Es wurde kein Dateiname angegeben");
  int err = 0;
  const std::optional<fs::path> resolved = FollowLinks(file, err);
  if (!resolved) return Failure(ErrnoReason(err));
  target = *resolved;
  exists = ::stat(target.c_str(), &old) == 0;
  if (!exists) {
    if (errno != ENOENT) return Failure(ErrnoReason(errno));
    return std::nullopt;
  }
  // Renaming over a device or a pipe would replace it; only plain files are saved over.
  if (!S_ISREG(old.st_mode)) return Failure(NotAFileReason(old.st_mode));
  if (::access(target.c_str(), W_OK) != 0) return Failure(ErrnoReason(errno));
  return std::nullopt;
}

// One file of a save between its two halves: the new content complete under a temporary
// name beside the target (or nothing, for a removal), the old file linked under another.
class PreparedWrite {
 public:
  PreparedWrite() = default;
  PreparedWrite(const PreparedWrite&) = delete;
  PreparedWrite& operator=(const PreparedWrite&) = delete;
  ~PreparedWrite() { Discard(); }

  // Checks the target and writes the new content; nothing visible changes.
  friend std::optional<FileFailure> Prepare(const FileWrite& write, PreparedWrite& p);
  // The old file under a second name; where the file system cannot link, no way back.
  void KeepOld() {
    if (!exists_) return;
    int err = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
      fs::path name = folder_ / (prefix_ + TempSuffix(attempt + 100));
      if (::link(target_.c_str(), name.c_str()) == 0) {
        old_ = std::move(name);
        return;
      }
      err = errno;
      if (err != EEXIST) return;
    }
  }
  // The new content takes the target's name (the target goes, for a removal); 0 or errno.
  int Commit() {
    if (remove_) {
      if (!exists_) return 0;
      return ::unlink(target_.c_str()) == 0 ? 0 : errno;  // it lives on as `old_`, if kept
    }
    if (::rename(temp_.c_str(), target_.c_str()) != 0) return errno;
    temp_.clear();
    return 0;
  }
  // After a later file failed: the target as it was, as far as it was kept.
  void Undo() {
    if (!old_.empty()) {
      if (::rename(old_.c_str(), target_.c_str()) != 0) {
        // Should even this fail, the old file stays under its temporary name.
      }
      old_.clear();
    } else if (!exists_ && !remove_) {
      ::unlink(target_.c_str());
    }
  }
  // Done: the old file's second name goes, and the renames are made durable.
  void Finish() {
    if (!old_.empty()) ::unlink(old_.c_str());
    old_.clear();
    const int dir = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
      ::fsync(dir);
      ::close(dir);
    }
  }
  // Abandoned: the temporary names go.
  void Discard() {
    if (!temp_.empty()) ::unlink(temp_.c_str());
    if (!old_.empty()) ::unlink(old_.c_str());
    temp_.clear();
    old_.clear();
  }

 private:
  fs::path target_;
  fs::path folder_;
  std::string prefix_;
  fs::path temp_;  // the new content, until it is renamed over the target
  fs::path old_;   // a second name of the replaced file, until the save is done
  bool exists_ = false;
  bool remove_ = false;
};

std::optional<FileFailure> Prepare(const FileWrite& write, PreparedWrite& p) {
  struct stat old {};
  if (!write.bytes) {
    // Only a plain file is removed; a link or anything else there stays.
    p.remove_ = true;
    p.target_ = write.file;
    p.exists_ = ::lstat(write.file.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    p.folder_ = write.file.has_parent_path() ? write.file.parent_path() : fs::path(".");
    p.prefix_ = "." + write.file.filename().string().substr(0, 200) + ".tmp-";
    if (p.exists_ && ::access(p.folder_.c_str(), W_OK) != 0) return Failure(ErrnoReason(errno));
    return std::nullopt;
  }
  if (std::optional<FileFailure> refused = CheckTarget(write.file, p.target_, old, p.exists_)) {
    return refused;
  }
  p.folder_ = p.target_.has_parent_path() ? p.target_.parent_path() : fs::path(".");
  // Hidden, beside the target, short enough for any file name the target itself may have.
  p.prefix_ = "." + p.target_.filename().string().substr(0, 200) + ".tmp-";
  RemoveStaleTemporaries(p.folder_, p.prefix_);

  // Written unnamed and linked in under the temporary name only when complete, so that a
  // save killed on the way leaves nothing behind; named from the start where the file
  // system cannot do that.
  int err = 0;
  int raw = ::open(p.folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  const bool unnamed = raw >= 0;
  if (!unnamed) {
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
      return Failure(ErrnoReason(errno));
    }
    raw = CreateNamedTemporary(p.folder_, p.prefix_, p.temp_, err);
    if (raw < 0) return Failure(ErrnoReason(err));
  }
  FileDescriptor fd(raw);

  const auto abandon = [&](int reason) {
    fd.Close();
    p.Discard();
    return Failure(ErrnoReason(reason));
  };
  if (p.exists_) {
    // Owner and group first: changing them clears the set-id bits the mode then restores.
    if (::fchown(fd.Get(), old.st_uid, old.st_gid) != 0 &&
        ::fchown(fd.Get(), static_cast<uid_t>(-1), old.st_gid) != 0) {
      // Where the process may not give the file away it stays its own, as a new file does.
    }
    if (::fchmod(fd.Get(), old.st_mode & 07777) != 0) return abandon(errno);
  }
  if (const int failed = WriteAll(fd.Get(), *write.bytes)) return abandon(failed);
  if (::fsync(fd.Get()) != 0) return abandon(errno);
  if (unnamed && !LinkTemporary(fd.Get(), p.folder_, p.prefix_, p.temp_, err)) {
    return abandon(err);
  }
  if (const int failed = fd.Close()) return abandon(failed);
  return std::nullopt;
}

}  // namespace

std::optional<FileFailure> PosixFileStore::Read(const fs::path& file, std::uintmax_t max_size,
                                                std::string& bytes) const {
  bytes.clear();
  // Non-blocking, so that a named pipe given as the file cannot stall the open.
  const int raw = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (raw < 0) return OpenFailure(file, errno);
  FileDescriptor fd(raw);
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0) return Failure(ErrnoReason(errno));
  if (!S_ISREG(info.st_mode)) return Failure(NotAFileReason(info.st_mode));
  const FileFailure too_large{{}, true};
  if (static_cast<std::uintmax_t>(info.st_size) > max_size) return too_large;

  std::string read;
  read.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      return Failure(ErrnoReason(errno));
    }
    if (got == 0) break;
    read.append(buffer, static_cast<std::size_t>(got));
    // A file that grows while it is read is held to the same limit.
    if (read.size() > max_size) return too_large;
  }
  bytes = std::move(read);
  return std::nullopt;
}

std::optional<FileFailure> PosixFileStore::Replace(const fs::path& file,
                                                   std::string_view bytes) const {
  const FileWrite write{file, bytes};
  std::size_t failed = 0;
  return ReplaceTogether({&write, 1}, failed);
}

std::optional<FileFailure> PosixFileStore::ReplaceTogether(std::span<const FileWrite> writes,
                                                           std::size_t& failed) const {
  std::vector<PreparedWrite> prepared(writes.size());
  const auto abandon = [&](std::size_t index, FileFailure failure) {
    failed = index;
    for (PreparedWrite& p : prepared) p.Discard();
    return failure;
  };
  // Every new content complete under its temporary name before anything changes.
  for (std::size_t n = 0; n < writes.size(); ++n) {
    if (std::optional<FileFailure> refused = Prepare(writes[n], prepared[n])) {
      return abandon(n, *refused);
    }
  }
  // With more than one file, the old ones kept under a temporary name too, so that a
  // failure on the way can put them back.
  if (prepared.size() > 1) {
    for (PreparedWrite& p : prepared) p.KeepOld();
  }
  for (std::size_t n = 0; n < prepared.size(); ++n) {
    if (const int err = prepared[n].Commit()) {
      for (std::size_t done = n; done-- > 0;) prepared[done].Undo();
      return abandon(n, Failure(ErrnoReason(err)));
    }
  }
  for (PreparedWrite& p : prepared) p.Finish();
  return std::nullopt;
}

std::optional<ProjectError> SaveProject(const ProjectContent& project, const fs::path& file) {
  return SaveProject(project, file, PosixFileStore());
}

std::optional<ProjectError> LoadProject(ProjectContent& project, const fs::path& file,
                                        bool* converted) {
  return LoadProject(project, file, PosixFileStore(), converted);
}

LoadedControls LoadControls(const fs::path& project_file) {
  return LoadControls(project_file, PosixFileStore());
}

std::optional<ProjectError> SaveProjectAndControls(const ProjectContent& project,
                                                   const ControlSet& set, const fs::path& file) {
  return SaveProjectAndControls(project, set, file, PosixFileStore());
}

}  // namespace ombrix
