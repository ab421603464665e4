#include "platform/metafile.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

#include "platform/helper_program.h"
#include "platform/metafile_check.h"
#include "platform/metafile_protocol.h"

extern char** environ;

namespace ombrix {

namespace {

using namespace metafile_detail;
using Clock = std::chrono::steady_clock;

std::string TooCostlyMessage() { return "Metadatei ist zu aufwendig zum Zeichnen"; }
std::string IncompleteMessage() { return "Metadatei konnte nicht vollst\xE4ndig gelesen werden"; }
std::string NoReaderMessage() {
  return "Metadateien k\xF6nnen nicht gelesen werden: ombrix-metafile-reader fehlt";
}

// ------------------------------------------------------------------- running the reader

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { Close(); }
  int get() const { return fd_; }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

// The request as a file in memory: the reader's standard input, read at its own pace.
int RequestFile(char request, std::string_view records) {
  const int fd = ::memfd_create("ombrix-metafile", MFD_CLOEXEC);
  if (fd < 0) return -1;
  std::string_view rest = records;
  bool ok = ::write(fd, &request, 1) == 1;
  while (ok && !rest.empty()) {
    const ssize_t n = ::write(fd, rest.data(), rest.size());
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) rest.remove_prefix(static_cast<std::size_t>(n));
  }
  if (!ok || ::lseek(fd, 0, SEEK_SET) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Starts the reader on `input`, its answer coming through `answer`; its own process id,
// or -1. posix_spawn rather than fork: the window's process has threads, and after a fork
// only a few calls would be safe in the child.
pid_t StartReader(const std::string& program, int input, int answer) {
  posix_spawn_file_actions_t files;
  posix_spawnattr_t attributes;
  if (posix_spawn_file_actions_init(&files) != 0) return -1;
  if (posix_spawnattr_init(&attributes) != 0) {
    posix_spawn_file_actions_destroy(&files);
    return -1;
  }
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  // The library reports on standard error; the answer says enough.
  bool ok =
      posix_spawn_file_actions_adddup2(&files, input, 0) == 0 &&
      posix_spawn_file_actions_adddup2(&files, answer, 1) == 0 &&
      posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0) == 0 &&
      posix_spawn_file_actions_addclosefrom_np(&files, 3) == 0 &&
      posix_spawnattr_setsigmask(&attributes, &none) == 0 &&
      posix_spawnattr_setsigdefault(&attributes, &all) == 0 &&
      posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) == 0;
  pid_t child = -1;
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  if (ok && posix_spawn(&child, program.c_str(), &files, &attributes, argv, environ) != 0) {
    child = -1;
  }
  posix_spawn_file_actions_destroy(&files);
  posix_spawnattr_destroy(&attributes);
  return child;
}

enum class Received { kAll, kEnded, kMalformed, kLate, kAbandoned };

// True also for an error, which read() then tells; false when interrupted.
bool Readable(int fd, int milliseconds) {
  pollfd pfd{fd, POLLIN, 0};
  const int ready = ::poll(&pfd, 1, milliseconds);
  return ready > 0 || (ready < 0 && errno != EINTR);
}

// The time the reader may work, and the caller's ReaderWait (if any), given a turn at least
// every kReaderWaitSliceMs, even while the answer streams in.
class Waiting {
 public:
  Waiting(ReaderWait* wait, Clock::time_point deadline) : wait_(wait), deadline_(deadline) {}
  Clock::time_point Deadline() const { return deadline_; }
  std::int64_t LeftMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
  }
  // Until `fd` can be read, at most `left_ms`; false when the caller abandons the load.
  bool Until(int fd, std::int64_t left_ms) {
    if (wait_ == nullptr) {
      Readable(fd, static_cast<int>(left_ms));
      return true;
    }
    if (Clock::now() - last_turn_ < std::chrono::milliseconds(kReaderWaitSliceMs) &&
        Readable(fd, 0)) {
      return true;
    }
    return Turn(fd, static_cast<int>(std::min<std::int64_t>(left_ms, kReaderWaitSliceMs)));
  }
  // A moment while the reader ends after its answer; false when the caller abandons the
  // load. The caller's turn comes as often as while the answer came in.
  bool Pause() {
    if (wait_ == nullptr ||
        Clock::now() - last_turn_ < std::chrono::milliseconds(kReaderWaitSliceMs)) {
      ::usleep(1000);
      return true;
    }
    return Turn(-1, 1);
  }

 private:
  bool Turn(int fd, int milliseconds) {
    const bool stop = wait_->Wait(fd, milliseconds);
    last_turn_ = Clock::now();
    return !stop;
  }

  ReaderWait* wait_;
  Clock::time_point deadline_;
  Clock::time_point last_turn_{};
};

// Reads `size` bytes unless the reader ends first, the deadline passes or the caller
// abandons the load. The deadline is the reader's own time limit: the window waits no
// longer than the reader may work.
Received ReadFull(int fd, char* data, std::size_t size, Waiting& waiting) {
  while (size > 0) {
    const std::int64_t left = waiting.LeftMs();
    if (left <= 0) return Received::kLate;
    if (!waiting.Until(fd, left)) return Received::kAbandoned;
    if (!Readable(fd, 0)) continue;
    const ssize_t n = ::read(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Received::kEnded;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return Received::kAll;
}

// The picture after a kPicture answer: its size, checked against what the frame gives
// (`width` 0 lets the reader choose within the limits), then its rows.
std::variant<QImage, Received> ReadPicture(int fd, int width, int height, Waiting& waiting) {
  char header[8];
  const Received got = ReadFull(fd, header, sizeof header, waiting);
  if (got != Received::kAll) return got;
  const std::uint32_t w = Le32(std::string_view(header, 8), 0);
  const std::uint32_t h = Le32(std::string_view(header, 8), 4);
  if (CheckFrame(w, h) ||
      (width != 0 && (static_cast<int>(w) != width || static_cast<int>(h) != height))) {
    return Received::kMalformed;
  }
  QImage picture(static_cast<int>(w), static_cast<int>(h), QImage::Format_RGB32);
  if (picture.isNull()) return Received::kMalformed;
  for (int y = 0; y < picture.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
    const Received row = ReadFull(fd, reinterpret_cast<char*>(line), std::size_t{w} * 4, waiting);
    if (row != Received::kAll) return row;
    for (std::uint32_t x = 0; x < w; ++x) line[x] |= 0xFF000000u;  // opaque, as RGB32 must be
  }
  return picture;
}

struct ReaderOutcome {
  Received got = Received::kEnded;  // kAll: a whole answer, then the reader's end
  ReaderAnswer answer = ReaderAnswer::kInvalid;
  QImage picture;
};

ReaderOutcome Converse(int answer_fd, int width, int height, Waiting& waiting) {
  ReaderOutcome outcome;
  char mark = 0;
  outcome.got = ReadFull(answer_fd, &mark, 1, waiting);
  if (outcome.got != Received::kAll) return outcome;
  outcome.answer = static_cast<ReaderAnswer>(mark);
  if (outcome.answer == ReaderAnswer::kPicture) {
    auto picture = ReadPicture(answer_fd, width, height, waiting);
    if (const Received* problem = std::get_if<Received>(&picture)) {
      outcome.got = *problem;
      return outcome;
    }
    outcome.picture = std::move(std::get<QImage>(picture));
  }
  char more = 0;  // the answer is whole only when the reader ends after it
  const Received end = ReadFull(answer_fd, &more, 1, waiting);
  outcome.got = end == Received::kEnded ? Received::kAll
                : end == Received::kAll ? Received::kMalformed
                                        : end;
  return outcome;
}

// The reader's exit status; a reader still running at the deadline, or when the caller
// abandons the load meanwhile (`abandoned` then set), is stopped first.
int Reap(pid_t child, Waiting& waiting, bool stop_now, bool& abandoned) {
  if (stop_now) ::kill(child, SIGKILL);
  int status = 0;
  while (true) {
    const pid_t done = ::waitpid(child, &status, stop_now ? 0 : WNOHANG);
    if (done == child) return status;
    if (done < 0 && errno != EINTR) return 0;
    if (done != 0) continue;
    abandoned = !waiting.Pause();
    if (abandoned || Clock::now() >= waiting.Deadline()) {
      ::kill(child, SIGKILL);
      stop_now = true;
    }
  }
}

bool StoppedForItsTime(int status) {
  return WIFSIGNALED(status) && (WTERMSIG(status) == SIGXCPU || WTERMSIG(status) == SIGKILL);
}

// What the reader's conversation means: its answer counts when it ended well; a reader
// that overran its time (stopped here, or by the kernel: SIGXCPU, then SIGKILL) found
// the picture too costly to draw.
std::variant<QImage, std::string> Judge(ReaderOutcome outcome, int status) {
  if (outcome.got == Received::kAbandoned) return AbandonedMetafileMessage();
  if (outcome.got == Received::kLate || StoppedForItsTime(status)) return TooCostlyMessage();
  if (outcome.got != Received::kAll || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return InvalidMetafileMessage();
  }
  switch (outcome.answer) {
    case ReaderAnswer::kPicture:
      return std::move(outcome.picture);
    case ReaderAnswer::kTooCostly:
      return TooCostlyMessage();
    case ReaderAnswer::kIncomplete:
      return IncompleteMessage();
    case ReaderAnswer::kInvalid:
      break;
  }
  return InvalidMetafileMessage();
}

// Draws the checked records in the reader and takes its picture or reason.
std::variant<QImage, std::string> ReadInReader(char request, std::string_view records, int width,
                                               int height, ReaderWait* wait) {
  const std::optional<std::string> program = HelperProgram(OMBRIX_READER_FROM_BIN);
  if (!program) return NoReaderMessage();
  FileDescriptor input(RequestFile(request, records));
  int pipe_fds[2];
  if (input.get() < 0 || ::pipe2(pipe_fds, O_CLOEXEC) != 0) return InvalidMetafileMessage();
  FileDescriptor answer(pipe_fds[0]);
  FileDescriptor answer_end(pipe_fds[1]);
  const pid_t child = StartReader(*program, input.get(), answer_end.get());
  answer_end.Close();  // so that the reader's end is the answer's end
  input.Close();
  if (child < 0) return NoReaderMessage();
  Waiting waiting(wait, Clock::now() + std::chrono::seconds(kReaderSeconds));
  ReaderOutcome outcome = Converse(answer.get(), width, height, waiting);
  const bool stop_now = outcome.got == Received::kLate || outcome.got == Received::kMalformed ||
                        outcome.got == Received::kAbandoned;
  bool abandoned = false;
  const int status = Reap(child, waiting, stop_now, abandoned);
  if (outcome.got == Received::kMalformed) return InvalidMetafileMessage();
  if (abandoned) outcome.got = Received::kAbandoned;
  return Judge(std::move(outcome), status);
}

std::variant<QImage, std::string> DecodeEmf(std::string_view bytes, ReaderWait* wait) {
  const auto checked = CheckEmf(bytes);
  if (const auto* problem = std::get_if<std::string>(&checked)) return *problem;
  const EmfPlan& plan = std::get<EmfPlan>(checked);
  return ReadInReader(kEmfRequest, bytes.substr(0, plan.bytes), plan.width, plan.height, wait);
}

std::variant<QImage, std::string> DecodeWmf(std::string_view bytes, ReaderWait* wait) {
  const auto checked = CheckWmf(bytes);
  if (const auto* problem = std::get_if<std::string>(&checked)) return *problem;
  const WmfPlan& plan = std::get<WmfPlan>(checked);
  return ReadInReader(kWmfRequest, bytes.substr(0, plan.bytes), plan.width, plan.height, wait);
}

}  // namespace

std::string AbandonedMetafileMessage() { return "Das Laden der Metadatei wurde abgebrochen"; }

std::variant<QImage, std::string> DecodeMetafile(const QByteArray& bytes, MetafileFormat format,
                                                 ReaderWait* wait) {
  if (bytes.size() > kMaxMetafileBytes) return TooLargeMessage();
  const std::string_view view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  return format == MetafileFormat::Emf ? DecodeEmf(view, wait) : DecodeWmf(view, wait);
}

}  // namespace ombrix
