#include "logic/project/project_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <utility>

#include "logic/complex/cp1252.h"
#include "logic/complex/fault.h"
#include "logic/complex/num_text.h"

namespace ombrix {

namespace fs = std::filesystem;

namespace {

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// Paths are UTF-8 bytes on this platform; messages are Windows-1252.
std::string PathText(const fs::path& path) { return Utf8ToCp1252(path.string()); }

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

ProjectError SaveError(const fs::path& file, const std::string& reason) {
  return {"Das Projekt konnte nicht in der Datei " + Quoted(PathText(file)) +
              " gespeichert werden: " + reason + ".",
          false};
}

ProjectError OpenError(const fs::path& file, const std::string& reason) {
  return {
      "Die Datei " + Quoted(PathText(file)) + " konnte nicht ge\366ffnet werden: " + reason + ".",
      false};
}

// ---------------------------------------------------------------------------------------
// Writing

bool HasSeparator(std::string_view text) {
  return text.find(kFieldSeparator) != std::string_view::npos;
}

ProjectError Unsavable(const std::string& what) {
  return {"Das Projekt wurde nicht gespeichert: " + what, false};
}

ProjectError RefuseSeparator(const std::string& what) {
  return Unsavable(what +
                   " enth\xE4lt das Zeichen \"\xA7\", das in Projektdateien die Felder trennt. "
                   "Bitte entfernen Sie es.");
}

void AppendField(std::string& out, std::string_view text) {
  out += text;
  out += kFieldSeparator;
}

void AppendInteger(std::string& out, long long value) {
  AppendField(out, RealToText(static_cast<double>(value)));
}

// The text of a start value part; empty when that text would not read back (an infinite
// value, or one that rounds to 15 digits above the largest double).
std::optional<std::string> ReadableRealText(double x) {
  std::string text = RealToText(x);
  try {
    TextToReal(text);
  } catch (const Fault&) {
    return std::nullopt;
  }
  return text;
}

std::optional<ProjectError> CheckSavable(const ProjectContent& project) {
  const VariableTable& vars = project.variables;
  for (int j = 0; j <= vars.LastVariable(); ++j) {
    if (HasSeparator(vars.Name(j))) {
      return RefuseSeparator("Der Name der Variablen " + Quoted(vars.Name(j)));
    }
  }
  const FunctionTable& funs = project.functions;
  for (int k = 0; k <= funs.LastFunction(); ++k) {
    if (HasSeparator(funs.Name(k))) {
      return RefuseSeparator("Der Name der Funktion " + Quoted(funs.Name(k)));
    }
    if (k >= funs.FirstUserFunction() && HasSeparator(funs.Term(k))) {
      return RefuseSeparator("Der Term der Funktion " + Quoted(funs.Name(k)));
    }
  }
  for (int slot = 0; slot < 2; ++slot) {
    const ProgramText& program = project.programs[static_cast<std::size_t>(slot)];
    if (program.size() > kMaxProgramLines) {
      return Unsavable("Das Programm " + Quoted(ProgramNames[slot]) + " hat " +
                       std::to_string(program.size()) + " Zeilen, erlaubt sind h\366chstens " +
                       std::to_string(kMaxProgramLines) + ".");
    }
    for (std::size_t n = 0; n < program.size(); ++n) {
      if (HasSeparator(program[n])) {
        return RefuseSeparator("Zeile " + std::to_string(n + 1) + " im Programm " +
                               Quoted(ProgramNames[slot]));
      }
    }
  }
  return std::nullopt;
}

// ---------------------------------------------------------------------------------------
// Reading

class FieldReader {
 public:
  FieldReader(std::string_view bytes, std::string_view label) : bytes_(bytes), label_(label) {}

  std::optional<std::string_view> Text() {
    std::optional<std::string_view> field = ReadField(bytes_, pos_);
    if (!field) Fail("Sie endet vorzeitig");
    return field;
  }

  // Throws the conversion Fault on a field that is no integer.
  std::optional<std::int32_t> Integer() {
    std::optional<std::string_view> field = Text();
    if (!field) return std::nullopt;
    return TextToInteger(*field);
  }

  // Throws the conversion or overflow Fault on a field that is no readable real.
  std::optional<double> Real() {
    std::optional<std::string_view> field = Text();
    if (!field) return std::nullopt;
    return TextToReal(*field);
  }

  std::size_t RemainingFields() const {
    return static_cast<std::size_t>(std::count(bytes_.begin() + static_cast<std::ptrdiff_t>(pos_),
                                               bytes_.end(), kFieldSeparator));
  }

  void Fail(const std::string& reason) {
    const std::string subject =
        label_.empty() ? std::string("Die Daten sind") : "Die Datei " + Quoted(label_) + " ist";
    error_ = ProjectError{subject + " keine g\xFCltige Projektdatei: " + reason + ".", false};
  }

  std::optional<ProjectError> TakeError() { return std::move(error_); }

 private:
  std::string_view bytes_;
  std::string label_;
  std::size_t pos_ = 0;
  std::optional<ProjectError> error_;
};

// Fills `project` field by field; false (with the reader's error set) when the file is
// short or a count lies outside what the tables hold. Conversion faults pass through.
bool ReadInto(ProjectContent& project, FieldReader& in) {
  VariableTable& vars = project.variables;
  const std::optional<std::int32_t> last_variable = in.Integer();
  if (!last_variable) return false;
  if (*last_variable < -1 || *last_variable >= kTableCapacity) {
    in.Fail("Sie nennt " +
            CountText(static_cast<long long>(*last_variable) + 1, "Variable", "Variablen") +
            ", erlaubt sind 0 bis " + std::to_string(kTableCapacity));
    return false;
  }
  vars.SetLastVariable(*last_variable);
  for (int j = 0; j <= *last_variable; ++j) {
    const std::optional<std::string_view> name = in.Text();
    if (!name) return false;
    const std::optional<double> re = in.Real();
    if (!re) return false;
    const std::optional<double> im = in.Real();
    if (!im) return false;
    vars.SetName(j, std::string(*name));
    vars.SetStartValue(j, MakeComplex(*re, *im));
  }

  FunctionTable& funs = project.functions;
  const std::optional<std::int32_t> first_user = in.Integer();
  if (!first_user) return false;
  if (*first_user != kFirstUserFunction) {
    in.Fail("Die erste eigene Funktion hat die Nummer " + std::to_string(*first_user) + " statt " +
            std::to_string(kFirstUserFunction));
    return false;
  }
  const std::optional<std::int32_t> last_function = in.Integer();
  if (!last_function) return false;
  if (*last_function < kFirstUserFunction - 1 || *last_function >= kTableCapacity) {
    in.Fail("Sie nennt " +
            CountText(static_cast<long long>(*last_function) + 1, "Funktion", "Funktionen") +
            ", erlaubt sind " + std::to_string(kFirstUserFunction) + " bis " +
            std::to_string(kTableCapacity));
    return false;
  }
  funs.SetLastFunction(*last_function);
  for (int k = 0; k <= *last_function; ++k) {
    const std::optional<std::string_view> name = in.Text();
    if (!name) return false;
    const std::optional<std::int32_t> rule = in.Integer();
    if (!rule) return false;
    const std::optional<std::string_view> term = in.Text();
    if (!term) return false;
    funs.SetName(k, std::string(*name));
    // Stored as a signed byte, as the table holds it.
    funs.SetArgumentRule(k, static_cast<signed char>(*rule));
    if (k >= kFirstUserFunction) funs.SetTerm(k, std::string(*term));
  }

  for (int slot = 0; slot < 2; ++slot) {
    ProgramText& program = project.programs[static_cast<std::size_t>(slot)];
    const std::optional<std::int32_t> count = in.Integer();
    if (!count) return false;
    const std::string subject = "Das Programm " + Quoted(ProgramNames[slot]) + " soll " +
                                CountText(*count, "Zeile", "Zeilen") + " haben";
    if (*count < 0) {
      in.Fail(subject);
      return false;
    }
    // Checked before anything is reserved, so a huge count in a tiny file costs nothing.
    const std::size_t remaining = in.RemainingFields();
    if (static_cast<std::size_t>(*count) > remaining) {
      in.Fail(subject + ", es folgen aber nur noch " +
              CountText(static_cast<long long>(remaining), "Feld", "Felder"));
      return false;
    }
    if (static_cast<std::size_t>(*count) > kMaxProgramLines) {
      in.Fail(subject + ", erlaubt sind h\366chstens " + std::to_string(kMaxProgramLines));
      return false;
    }
    program.clear();
    program.reserve(static_cast<std::size_t>(*count));
    for (std::int32_t n = 0; n < *count; ++n) {
      const std::optional<std::string_view> line = in.Text();
      if (!line) return false;
      program.emplace_back(*line);
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------
// Files

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

}  // namespace

// ---------------------------------------------------------------------------------------

std::optional<std::string_view> ReadField(std::string_view bytes, std::size_t& pos) {
  if (pos > bytes.size()) return std::nullopt;
  const std::size_t end = bytes.find(kFieldSeparator, pos);
  if (end == std::string_view::npos) return std::nullopt;
  const std::string_view field = bytes.substr(pos, end - pos);
  pos = end + 1;
  return field;
}

std::int32_t TextToInteger(std::string_view text) {
  const auto fail = [&] { ThrowInvalidInteger(std::string(text)); };
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n && text[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    hex = true;
    i += 1;
  } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (hex) {
    std::uint32_t value = 0;
    int digits = 0;
    for (; i < n; ++i) {
      const char c = text[i];
      unsigned d;
      if (c >= '0' && c <= '9') {
        d = static_cast<unsigned>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        d = static_cast<unsigned>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        d = static_cast<unsigned>(c - 'A' + 10);
      } else {
        break;
      }
      if (++digits > 8) fail();
      value = value * 16u + d;
    }
    if (digits == 0 || i != n) fail();
    // Two's complement: $FFFFFFFF is -1, and a sign negates modulo 2^32.
    if (negative) value = 0u - value;
    return static_cast<std::int32_t>(value);
  }
  constexpr std::int64_t kLimit = std::int64_t{1} << 31;  // magnitude of the lowest value
  std::int64_t value = 0;
  int digits = 0;
  for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kLimit) fail();
    ++digits;
  }
  if (digits == 0 || i != n) fail();
  if (negative) value = -value;
  if (value >= kLimit) fail();
  return static_cast<std::int32_t>(value);
}

std::optional<ProjectError> ProjectToBytes(const ProjectContent& project, std::string& bytes) {
  bytes.clear();
  if (std::optional<ProjectError> refused = CheckSavable(project)) return refused;

  std::string out;
  const VariableTable& vars = project.variables;
  AppendInteger(out, vars.LastVariable());
  for (int j = 0; j <= vars.LastVariable(); ++j) {
    AppendField(out, vars.Name(j));
    const TComplex value = vars.StartValue(j);
    const std::pair<double, const char*> parts[2] = {{value.Re, "Realteil"},
                                                     {value.Im, "Imagin\xE4rteil"}};
    for (const auto& [part, part_name] : parts) {
      const std::optional<std::string> text = ReadableRealText(part);
      if (!text) {
        return Unsavable("Der " + std::string(part_name) + " des Startwerts der Variablen " +
                         Quoted(vars.Name(j)) + " (" + RealToText(part) +
                         ") l\xE4sst sich nicht als Zahl speichern.");
      }
      AppendField(out, *text);
    }
  }

  const FunctionTable& funs = project.functions;
  AppendInteger(out, funs.FirstUserFunction());
  AppendInteger(out, funs.LastFunction());
  for (int k = 0; k <= funs.LastFunction(); ++k) {
    AppendField(out, funs.Name(k));
    AppendInteger(out, funs.ArgumentRule(k));
    AppendField(out, k >= funs.FirstUserFunction() ? std::string_view(funs.Term(k)) : "");
  }

  for (const ProgramText& program : project.programs) {
    AppendInteger(out, static_cast<long long>(program.size()));
    for (const std::string& line : program) AppendField(out, line);
  }
  bytes = std::move(out);
  return std::nullopt;
}

std::optional<ProjectError> LoadProjectFromBytes(ProjectContent& project, std::string_view bytes,
                                                 std::string_view file_label) {
  // A working copy: current values and the entries beyond the loaded counts stay as they
  // were, and nothing of it reaches `project` unless every field was read.
  ProjectContent fresh = project;
  FieldReader in(bytes, file_label);
  try {
    if (!ReadInto(fresh, in)) return in.TakeError();
  } catch (const Fault& fault) {
    return ProjectError{fault.what(), true};
  }
  project = std::move(fresh);
  return std::nullopt;
}

std::optional<ProjectError> LoadProject(ProjectContent& project, const fs::path& file) {
  // Non-blocking, so that a named pipe given as the file cannot stall the open.
  const int raw = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (raw < 0) return OpenError(file, ErrnoReason(errno));
  FileDescriptor fd(raw);
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0) return OpenError(file, ErrnoReason(errno));
  if (S_ISDIR(info.st_mode)) return OpenError(file, ErrnoReason(EISDIR));
  if (!S_ISREG(info.st_mode)) return OpenError(file, "Das ist keine gew\xF6hnliche Datei");
  if (static_cast<std::uintmax_t>(info.st_size) > kMaxProjectFileSize) {
    return OpenError(file, "Sie ist zu gro\xDF f\xFCr eine Projektdatei");
  }

  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      return OpenError(file, ErrnoReason(errno));
    }
    if (got == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(got));
    if (bytes.size() > kMaxProjectFileSize) {
      return OpenError(file, "Sie ist zu gro\xDF f\xFCr eine Projektdatei");
    }
  }
  return LoadProjectFromBytes(project, bytes, PathText(file));
}

std::optional<ProjectError> SaveProject(const ProjectContent& project, const fs::path& file) {
  std::string bytes;
  if (std::optional<ProjectError> refused = ProjectToBytes(project, bytes)) return refused;
  return SaveFileBytes(bytes, file);
}

std::optional<ProjectError> SaveFileBytes(std::string_view bytes, const fs::path& file) {
  if (file.empty() || !file.has_filename()) {
    return SaveError(file, "Es wurde kein Dateiname angegeben");
  }

  int err = 0;
  const std::optional<fs::path> resolved = FollowLinks(file, err);
  if (!resolved) return SaveError(file, ErrnoReason(err));
  const fs::path& target = *resolved;

  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists) {
    if (S_ISDIR(old.st_mode)) return SaveError(file, ErrnoReason(EISDIR));
    // Renaming over a device or a pipe would replace it; only plain files are saved over.
    if (!S_ISREG(old.st_mode)) return SaveError(file, "Das ist keine gew\xF6hnliche Datei");
    if (::access(target.c_str(), W_OK) != 0) return SaveError(file, ErrnoReason(errno));
  } else if (errno != ENOENT) {
    return SaveError(file, ErrnoReason(errno));
  }

  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  // Hidden, beside the target, short enough for any file name the target itself may have.
  const std::string prefix = "." + target.filename().string().substr(0, 200) + ".tmp-";
  RemoveStaleTemporaries(folder, prefix);

  // Written unnamed and linked in under the temporary name only when complete, so that a
  // save killed on the way leaves nothing behind; named from the start where the file
  // system cannot do that.
  fs::path temp;
  int raw = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  const bool unnamed = raw >= 0;
  if (!unnamed) {
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
      return SaveError(file, ErrnoReason(errno));
    }
    raw = CreateNamedTemporary(folder, prefix, temp, err);
    if (raw < 0) return SaveError(file, ErrnoReason(err));
  }
  FileDescriptor fd(raw);

  const auto abandon = [&](int reason) {
    fd.Close();
    if (!temp.empty()) ::unlink(temp.c_str());
    return SaveError(file, ErrnoReason(reason));
  };
  if (exists) {
    // Owner and group first: changing them clears the set-id bits the mode then restores.
    if (::fchown(fd.Get(), old.st_uid, old.st_gid) != 0 &&
        ::fchown(fd.Get(), static_cast<uid_t>(-1), old.st_gid) != 0) {
      // Where the process may not give the file away it stays its own, as a new file does.
    }
    if (::fchmod(fd.Get(), old.st_mode & 07777) != 0) return abandon(errno);
  }
  if (const int failed = WriteAll(fd.Get(), bytes)) return abandon(failed);
  if (::fsync(fd.Get()) != 0) return abandon(errno);
  if (unnamed && !LinkTemporary(fd.Get(), folder, prefix, temp, err)) return abandon(err);
  if (const int failed = fd.Close()) {
    ::unlink(temp.c_str());
    return SaveError(file, ErrnoReason(failed));
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    const int failed = errno;
    ::unlink(temp.c_str());
    return SaveError(file, ErrnoReason(failed));
  }
  // Make the rename itself durable; a failure here leaves a complete file either way.
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return std::nullopt;
}

}  // namespace ombrix
