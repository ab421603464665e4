#include "platform/metafile.h"

#include "platform/metafile_check.h"
#include "platform/metafile_uemf.h"

#include <dlfcn.h>
#include <emf2svg.h>
#include <fcntl.h>
#include <libwmf/api.h>
#include <libwmf/gd.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QPainter>
#include <QSvgRenderer>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string_view>

namespace ombrix {

namespace {

using namespace metafile_detail;

// A conversion that takes longer than this is a hostile or broken file.
constexpr int kChildSeconds = 10;
// Address space of the converting child: the largest picture and the libraries' copies.
constexpr rlim_t kChildMemory = rlim_t{1536} * 1024 * 1024;

// ------------------------------------------------------------------ the converting child

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

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

// Runs `work` in a child process and returns its answer, or nothing when the child
// crashed, overran its time or memory, or answered more than `max_bytes`.
std::optional<std::string> RunIsolated(const std::function<std::string()>& work,
                                       std::size_t max_bytes) {
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) return std::nullopt;
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(pipe_fds[0]);
    ::close(pipe_fds[1]);
    return std::nullopt;
  }
  if (child == 0) {
    ::close(pipe_fds[0]);
    // The libraries report problems on the standard streams; the answer says enough.
    const int null_fd = ::open("/dev/null", O_WRONLY);
    if (null_fd >= 0) {
      ::dup2(null_fd, 1);
      ::dup2(null_fd, 2);
    }
    const rlimit cpu{kChildSeconds, kChildSeconds};
    ::setrlimit(RLIMIT_CPU, &cpu);
    if (!kAddressSanitizer) {  // the sanitizer's shadow memory needs far more address space
      const rlimit memory{kChildMemory, kChildMemory};
      ::setrlimit(RLIMIT_AS, &memory);
    }
    const std::string answer = work();
    ::_exit(WriteAll(pipe_fds[1], answer.data(), answer.size()) ? 0 : 1);
  }
  ::close(pipe_fds[1]);

  std::string answer;
  bool complete = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kChildSeconds + 5);
  char buffer[65536];
  while (true) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd pfd{pipe_fds[0], POLLIN, 0};
    const int ready = ::poll(&pfd, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    const ssize_t n = ::read(pipe_fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    if (n == 0) {
      complete = true;
      break;
    }
    if (answer.size() + static_cast<std::size_t>(n) > max_bytes) break;
    answer.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(pipe_fds[0]);
  if (!complete) ::kill(child, SIGKILL);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!complete || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return answer;
}

// The child's answers start with this mark; anything else is a refusal.
constexpr char kAnswerMark = 'M';

void PutLe32(std::string& b, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    b[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
}

// A device context starts with a white brush and a black pen; libemf2svg starts with
// neither, so they are selected first, as stock objects, right after the header.
std::string WithDefaultObjects(std::string_view emf) {
  constexpr std::uint32_t kEmrSelectObject = 37;
  constexpr std::uint32_t kWhiteBrush = 0x80000000, kBlackPen = 0x80000007;
  const std::size_t header = Le32(emf, 4);
  std::string out(emf.substr(0, header));
  for (std::uint32_t stock : {kWhiteBrush, kBlackPen}) {
    const std::size_t at = out.size();
    out.resize(at + 12);
    PutLe32(out, at, kEmrSelectObject);
    PutLe32(out, at + 4, 12);
    PutLe32(out, at + 8, stock);
  }
  out.append(emf.substr(header));
  PutLe32(out, 48, static_cast<std::uint32_t>(out.size()));  // bytes
  PutLe32(out, 52, Le32(emf, 52) + 2);                       // records
  return out;
}

std::string EmfToSvg(std::string_view emf) {
  std::string bytes = WithDefaultObjects(emf);
  generatorOptions options{};
  char no_namespace[] = "";
  options.nameSpace = no_namespace;
  options.svgDelimiter = true;
  options.emfplus = false;  // the plain EMF records every EMF+ file also carries
  char* svg = nullptr;
  std::size_t svg_length = 0;
  const int ok = emf2svg(bytes.data(), bytes.size(), &svg, &svg_length, &options);
  std::string answer;
  if (ok && svg != nullptr) answer = kAnswerMark + std::string(svg, svg_length);
  std::free(svg);
  return answer;
}

std::string WmfToPixels(std::string bytes, const WmfPlan& plan) {
  wmfAPI* api = nullptr;
  wmfAPI_Options options{};
  options.function = wmf_gd_function;
  const unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR;
  if (wmf_api_create(&api, flags, &options) != wmf_E_None) return {};
  auto* data = reinterpret_cast<unsigned char*>(bytes.data());
  wmfD_Rect box{};
  if (wmf_mem_open(api, data, static_cast<long>(bytes.size())) != wmf_E_None ||
      wmf_scan(api, 0, &box) != wmf_E_None) {
    return {};
  }
  int width = plan.width;
  int height = plan.height;
  if (width == 0) {
    unsigned int w = 0, h = 0;
    if (wmf_display_size(api, &w, &h, 96, 96) != wmf_E_None) return {};
    if (CheckFrame(w, h)) return {};
    width = static_cast<int>(w);
    height = static_cast<int>(h);
  }
  if (plan.mapped) {
    box.TL.x = static_cast<float>(plan.left);
    box.TL.y = static_cast<float>(plan.top);
    box.BR.x = static_cast<float>(plan.right);
    box.BR.y = static_cast<float>(plan.bottom);
  }
  if (!(box.BR.x > box.TL.x) || !(box.BR.y > box.TL.y)) return {};
  wmf_gd_t* device = WMF_GD_GetData(api);
  device->type = wmf_gd_image;
  device->width = static_cast<unsigned int>(width);
  device->height = static_cast<unsigned int>(height);
  device->bbox = box;
  if (wmf_play(api, 0, &box) != wmf_E_None || device->gd_image == nullptr) return {};
  const int* pixels = wmf_gd_image_pixels(device->gd_image);
  if (pixels == nullptr) return {};
  std::string answer(1, kAnswerMark);
  const std::uint32_t size[2] = {static_cast<std::uint32_t>(width),
                                 static_cast<std::uint32_t>(height)};
  answer.append(reinterpret_cast<const char*>(size), sizeof size);
  answer.append(reinterpret_cast<const char*>(pixels),
                static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
  return answer;
}

QImage WhitePicture(int width, int height) {
  QImage picture(width, height, QImage::Format_RGB32);
  if (!picture.isNull()) picture.fill(Qt::white);
  return picture;
}

std::variant<QImage, std::string> DecodeEmf(std::string_view bytes) {
  const auto checked = CheckEmf(bytes);
  if (const auto* problem = std::get_if<std::string>(&checked)) return *problem;
  const EmfPlan plan = std::get<EmfPlan>(checked);
  std::string records(bytes.substr(0, plan.bytes));
  const auto svg = RunIsolated([&] { return EmfToSvg(records); }, kMaxMetafileBytes * 4);
  if (!svg || svg->empty() || (*svg)[0] != kAnswerMark) return InvalidMetafileMessage();
  QSvgRenderer renderer(QByteArray(svg->data() + 1, static_cast<qsizetype>(svg->size() - 1)));
  if (!renderer.isValid()) return InvalidMetafileMessage();
  QImage picture = WhitePicture(plan.width, plan.height);
  if (picture.isNull()) return InvalidMetafileMessage();
  // The frame fills the picture. A frame within half a pixel of the picture's size is
  // only the rounding to hundredths of a millimetre: drawn 1:1, a bitmap stays sharp.
  double scale_x = plan.width / plan.frame_width, scale_y = plan.height / plan.frame_height;
  double left = plan.frame_left, top = plan.frame_top;
  if (std::abs(plan.frame_width - plan.width) < 0.5 &&
      std::abs(plan.frame_height - plan.height) < 0.5) {
    scale_x = scale_y = 1;
    left = std::round(left);
    top = std::round(top);
  }
  QPainter painter(&picture);
  painter.scale(scale_x, scale_y);
  painter.translate(-left, -top);
  const QRectF view = renderer.viewBoxF();
  renderer.render(&painter, QRectF(0, 0, view.width(), view.height()));
  return picture;
}

// libuemf exports a wmf_free as well; libwmf works only while its own is the one found,
// which the order of the libraries on the link line decides.
bool LibwmfOwnsItsFreeFunction() {
  Dl_info info{};
  return dladdr(reinterpret_cast<void*>(&wmf_free), &info) != 0 && info.dli_fname != nullptr &&
         std::strstr(info.dli_fname, "libwmf") != nullptr;
}

std::variant<QImage, std::string> DecodeWmf(std::string_view bytes) {
  if (!LibwmfOwnsItsFreeFunction()) return InvalidMetafileMessage();
  const auto checked = CheckWmf(bytes);
  if (const auto* problem = std::get_if<std::string>(&checked)) return *problem;
  const WmfPlan plan = std::get<WmfPlan>(checked);
  std::string records(bytes.substr(0, plan.bytes));
  const auto answer = RunIsolated(
      [&] {
        if (plan.bitmap_size != 0) {
          std::string exact(1, kAnswerMark);
          const std::uint32_t size[2] = {static_cast<std::uint32_t>(plan.width),
                                         static_cast<std::uint32_t>(plan.height)};
          exact.append(reinterpret_cast<const char*>(size), sizeof size);
          if (metafile_detail::ReadWholeBitmapRecord(
                  std::string_view(records).substr(plan.bitmap_at, plan.bitmap_size), plan.width,
                  plan.height, exact)) {
            return exact;
          }
        }
        return WmfToPixels(records, plan);
      },
      1 + 8 + static_cast<std::size_t>(kMaxMetafilePixels) * 4);
  if (!answer || answer->size() < 9 || (*answer)[0] != kAnswerMark) return InvalidMetafileMessage();
  std::uint32_t size[2];
  std::memcpy(size, answer->data() + 1, sizeof size);
  if (CheckFrame(size[0], size[1]) ||
      answer->size() != 9 + std::size_t{size[0]} * std::size_t{size[1]} * 4) {
    return InvalidMetafileMessage();
  }
  const int width = static_cast<int>(size[0]);
  const int height = static_cast<int>(size[1]);
  QImage picture = WhitePicture(width, height);
  if (picture.isNull()) return InvalidMetafileMessage();
  const char* pixels = answer->data() + 9;
  for (int y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
    for (int x = 0; x < width; ++x) {
      std::uint32_t pixel;
      std::memcpy(&pixel, pixels + (static_cast<std::size_t>(y) * size[0] + x) * 4, 4);
      line[x] = 0xFF000000u | (pixel & 0xFFFFFFu);  // gd keeps a 7-bit transparency on top
    }
  }
  return picture;
}

}  // namespace

std::string InvalidMetafileMessage() { return "Metadatei ist ung\xFCltig"; }

std::variant<QImage, std::string> DecodeMetafile(const QByteArray& bytes, MetafileFormat format) {
  if (bytes.size() > kMaxMetafileBytes) return TooLargeMessage();
  const std::string_view view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  return format == MetafileFormat::Emf ? DecodeEmf(view) : DecodeWmf(view);
}

}  // namespace ombrix
