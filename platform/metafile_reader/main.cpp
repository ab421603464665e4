// ombrix-metafile-reader: draws one metafile to pixels for the window's process, as
// platform/metafile_protocol.h describes. It runs as a process of its own because the
// reading libraries are not hardened against hostile files: whatever they do to this
// process within its limits of time and memory, the window only reads a refusal.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QGuiApplication>
#include <cerrno>
#include <cstdlib>
#include <new>
#include <string>

#include "platform/metafile.h"
#include "platform/metafile_reader/metafile_draw.h"

namespace {

using ombrix::metafile_detail::Drawing;
using ombrix::metafile_detail::ReaderAnswer;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

}  // namespace

// Under AddressSanitizer the address space stays open (its shadow memory needs it), so the
// sanitizer's own allocator refuses what goes beyond a bound of resident memory instead.
// The sanitizer looks this name up; it cannot be another.
extern "C" const char* __asan_default_options() {  // NOLINT(bugprone-reserved-identifier)
  return "soft_rss_limit_mb=1536:allocator_may_return_null=1:detect_leaks=0";
}

namespace {

void LimitItself() {
  using namespace ombrix::metafile_detail;
  // Past the soft limit the kernel sends SIGXCPU, a second later SIGKILL.
  const rlimit cpu{kReaderSeconds, kReaderSeconds + 1};
  ::setrlimit(RLIMIT_CPU, &cpu);
  if (!kAddressSanitizer) {  // the sanitizer's shadow memory needs far more address space
    const rlimit memory{static_cast<rlim_t>(kReaderMemory), static_cast<rlim_t>(kReaderMemory)};
    ::setrlimit(RLIMIT_AS, &memory);
  }
}

bool ReadAll(int fd, std::string& out) {
  char buffer[65536];
  while (true) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    // The request byte and the largest file the window sends.
    if (out.size() + static_cast<std::size_t>(n) > 1 + ombrix::kMaxMetafileBytes) return false;
    out.append(buffer, static_cast<std::size_t>(n));
  }
}

bool WriteAll(int fd, const void* data, std::size_t size) {
  const char* at = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, at, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    at += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool WriteAnswer(int fd, const Drawing& drawing) {
  const char mark = static_cast<char>(drawing.answer);
  if (!WriteAll(fd, &mark, 1)) return false;
  if (drawing.answer != ReaderAnswer::kPicture) return true;
  const QImage& picture = drawing.picture;
  const std::uint32_t size[2] = {static_cast<std::uint32_t>(picture.width()),
                                 static_cast<std::uint32_t>(picture.height())};
  unsigned char header[8];
  for (int i = 0; i < 8; ++i) header[i] = static_cast<unsigned char>(size[i / 4] >> (8 * (i % 4)));
  if (!WriteAll(fd, header, sizeof header)) return false;
  const std::size_t row = static_cast<std::size_t>(picture.width()) * 4;
  for (int y = 0; y < picture.height(); ++y) {
    if (!WriteAll(fd, picture.constScanLine(y), row)) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  LimitItself();
  // The answer goes where the standard output went; what the libraries print goes nowhere.
  const int answer_fd = ::dup(1);
  const int null_fd = ::open("/dev/null", O_WRONLY);
  if (answer_fd < 0 || null_fd < 0 || ::dup2(null_fd, 1) < 0) return 1;
  std::string request;
  if (!ReadAll(0, request)) return 1;

  try {
    // Text in a picture needs fonts, and fonts need an application; no display is wanted.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const Drawing drawing = ombrix::metafile_detail::DrawMetafile(request);
    request = std::string();
    const bool written = WriteAnswer(answer_fd, drawing);
    // Ends here: the system takes back what the libraries hold.
    ::_exit(written ? 0 : 1);
  } catch (const std::bad_alloc&) {
    const bool written = WriteAnswer(answer_fd, {ReaderAnswer::kTooCostly, QImage()});
    ::_exit(written ? 0 : 1);
  }
}
