#include "platform/metafile.h"

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

// A conversion that takes longer than this is a hostile or broken file.
constexpr int kChildSeconds = 10;
// Address space of the converting child: the largest picture and the libraries' copies.
constexpr rlim_t kChildMemory = rlim_t{1536} * 1024 * 1024;

std::uint16_t Le16(std::string_view b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                    static_cast<unsigned char>(b[at + 1]) << 8);
}
std::uint32_t Le32(std::string_view b, std::size_t at) {
  return static_cast<std::uint32_t>(Le16(b, at)) | static_cast<std::uint32_t>(Le16(b, at + 2))
                                                       << 16;
}
std::int16_t SignedLe16(std::string_view b, std::size_t at) {
  return static_cast<std::int16_t>(Le16(b, at));
}
std::int32_t SignedLe32(std::string_view b, std::size_t at) {
  return static_cast<std::int32_t>(Le32(b, at));
}

std::string TooLargeMessage() {
  return "Metadatei ist zu gro\xDF (h\366chstens " + std::to_string(kMaxMetafileSide) + " \xD7 " +
         std::to_string(kMaxMetafileSide) + " Bildpunkte)";
}

// Pixels at 96 dpi for a length in units of which `per_inch` make an inch, rounded as
// Windows' MulDiv rounds.
std::int64_t ToPixels(std::int64_t length, std::int64_t per_inch) {
  const std::int64_t scaled = std::abs(length) * 96;
  return (scaled + per_inch / 2) / per_inch;
}

std::optional<std::string> CheckFrame(std::int64_t width, std::int64_t height) {
  if (width <= 0 || height <= 0) return InvalidMetafileMessage();
  if (width > kMaxMetafileSide || height > kMaxMetafileSide ||
      width * height > kMaxMetafilePixels) {
    return TooLargeMessage();
  }
  return std::nullopt;
}

struct EmfPlan {
  int width = 0;
  int height = 0;
  std::size_t bytes = 0;  // the records up to and with the end-of-file record
  // Where the frame lies in the drawing's device units, which libemf2svg writes, shifted
  // by the bounds' top left corner.
  double frame_left = 0, frame_top = 0, frame_width = 0, frame_height = 0;
};

constexpr std::uint32_t kEmrHeader = 1;
constexpr std::uint32_t kEmrEof = 14;
constexpr std::uint32_t kEmfSignature = 0x464D4520;  // " EMF"

std::variant<EmfPlan, std::string> CheckEmf(std::string_view b) {
  constexpr std::size_t kHeaderSize = 88;
  if (b.size() < kHeaderSize || Le32(b, 0) != kEmrHeader || Le32(b, 40) != kEmfSignature) {
    return InvalidMetafileMessage();
  }
  const std::size_t declared = Le32(b, 48);
  if (Le32(b, 4) < kHeaderSize || Le32(b, 4) > declared || declared > b.size()) {
    return InvalidMetafileMessage();
  }
  // The frame is in hundredths of a millimetre, both corners inside it.
  const std::int64_t width = ToPixels(std::int64_t{SignedLe32(b, 32)} - SignedLe32(b, 24), 2540);
  const std::int64_t height = ToPixels(std::int64_t{SignedLe32(b, 36)} - SignedLe32(b, 28), 2540);
  if (auto problem = CheckFrame(width, height)) return *problem;

  EmfPlan plan{static_cast<int>(width), static_cast<int>(height), 0};
  const double device_x = Le32(b, 72), device_y = Le32(b, 76);
  const double mm_x = Le32(b, 80), mm_y = Le32(b, 84);
  if (device_x <= 0 || device_y <= 0 || mm_x <= 0 || mm_y <= 0) return InvalidMetafileMessage();
  const double per_x = device_x / (mm_x * 100), per_y = device_y / (mm_y * 100);
  plan.frame_left = SignedLe32(b, 24) * per_x - SignedLe32(b, 8);
  plan.frame_top = SignedLe32(b, 28) * per_y - SignedLe32(b, 12);
  plan.frame_width = (static_cast<double>(SignedLe32(b, 32)) - SignedLe32(b, 24)) * per_x;
  plan.frame_height = (static_cast<double>(SignedLe32(b, 36)) - SignedLe32(b, 28)) * per_y;
  if (!(plan.frame_width > 0) || !(plan.frame_height > 0)) return InvalidMetafileMessage();

  std::size_t at = 0;
  for (std::int64_t records = 0; at + 8 <= declared; ++records) {
    const std::uint32_t type = Le32(b, at);
    const std::uint32_t size = Le32(b, at + 4);
    if (size < 8 || size % 4 != 0 || size > declared - at || records >= kMaxMetafileRecords) {
      return InvalidMetafileMessage();
    }
    at += size;
    if (type == kEmrEof) {
      plan.bytes = at;
      return plan;
    }
  }
  return InvalidMetafileMessage();  // cut off before its end record
}

struct WmfPlan {
  int width = 0;  // 0: the size libwmf estimates for a file without placeable bounds
  int height = 0;
  bool mapped = false;  // the placeable bounds in libwmf's device units below
  double left = 0, top = 0, right = 0, bottom = 0;
  std::size_t bytes = 0;
  // The one drawing record, when it is a bitmap that may fill the window exactly.
  std::size_t bitmap_at = 0, bitmap_size = 0;
};

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::uint16_t kSetMapMode = 0x0103;
constexpr std::uint16_t kStretchDib = 0x0F43;
constexpr std::uint16_t kMapIsotropic = 7;
constexpr std::uint16_t kMapAnisotropic = 8;
constexpr std::uint16_t kSetWindowOrg = 0x020B;
constexpr std::uint16_t kSetWindowExt = 0x020C;
constexpr std::uint16_t kSetViewportOrg = 0x020D;
constexpr std::uint16_t kSetViewportExt = 0x020E;
// libwmf maps the window onto a viewport of this many device units unless the file sets one.
constexpr double kLibwmfViewport = 1024;

std::variant<WmfPlan, std::string> CheckWmf(std::string_view b) {
  WmfPlan plan;
  std::size_t at = 0;
  std::int64_t left = 0, top = 0, right = 0, bottom = 0;
  const bool placeable = b.size() >= 22 && Le32(b, 0) == kPlaceableKey;
  if (placeable) {
    left = SignedLe16(b, 6), top = SignedLe16(b, 8), right = SignedLe16(b, 10),
    bottom = SignedLe16(b, 12);
    const std::uint16_t inch = Le16(b, 14);
    if (inch == 0) return InvalidMetafileMessage();
    const std::int64_t width = ToPixels(right - left, inch);
    const std::int64_t height = ToPixels(bottom - top, inch);
    if (auto problem = CheckFrame(width, height)) return *problem;
    plan.width = static_cast<int>(width);
    plan.height = static_cast<int>(height);
    at = 22;
  }
  if (b.size() < at + 18) return InvalidMetafileMessage();
  const std::uint16_t type = Le16(b, at);
  const std::uint16_t version = Le16(b, at + 4);
  const std::uint64_t max_record = Le32(b, at + 12);  // in 16-bit words
  if ((type != 1 && type != 2) || Le16(b, at + 2) != 9 || (version != 0x100 && version != 0x300) ||
      max_record * 2 > b.size()) {
    return InvalidMetafileMessage();
  }
  at += 18;

  bool scaled_mode = false;
  int drawings = 0;
  std::optional<std::pair<double, double>> window_org, window_ext, viewport_org, viewport_ext;
  auto take = [&](std::optional<std::pair<double, double>>& slot, std::size_t params) {
    if (!slot)
      slot =
          std::pair<double, double>(SignedLe16(b, params + 2), SignedLe16(b, params));  // y first
  };
  for (std::int64_t records = 0; at + 6 <= b.size(); ++records) {
    const std::uint64_t size = std::uint64_t{Le32(b, at)} * 2;
    const std::uint16_t function = Le16(b, at + 4);
    if (size < 6 || size > b.size() - at || records >= kMaxMetafileRecords) {
      return InvalidMetafileMessage();
    }
    if (function == 0) {
      plan.bytes = at + static_cast<std::size_t>(size);
      break;
    }
    const bool setting = function == kSetMapMode || function == kSetWindowOrg ||
                         function == kSetWindowExt || function == kSetViewportOrg ||
                         function == kSetViewportExt;
    if (!setting) {
      ++drawings;
      if (function == kStretchDib) {
        plan.bitmap_at = at;
        plan.bitmap_size = static_cast<std::size_t>(size);
      }
    }
    if (function == kSetMapMode && size >= 8) {
      const std::uint16_t mode = Le16(b, at + 6);
      scaled_mode = mode == kMapIsotropic || mode == kMapAnisotropic;
    }
    if (size >= 10) {
      if (function == kSetWindowOrg) take(window_org, at + 6);
      if (function == kSetWindowExt) take(window_ext, at + 6);
      if (function == kSetViewportOrg) take(viewport_org, at + 6);
      if (function == kSetViewportExt) take(viewport_ext, at + 6);
    }
    at += static_cast<std::size_t>(size);
  }
  if (plan.bytes == 0) return InvalidMetafileMessage();  // cut off before its end record
  const std::pair<double, double> whole(plan.width, plan.height);
  if (drawings != 1 || !placeable || !scaled_mode || !window_ext || *window_ext != whole ||
      window_org.value_or(std::pair<double, double>(0, 0)) != std::pair<double, double>(0, 0) ||
      viewport_org || viewport_ext) {
    plan.bitmap_size = 0;
  }

  // libwmf maps a placeable file's window onto its viewport only in the scaled map modes;
  // otherwise the picture shows what the records draw.
  if (placeable && scaled_mode && window_ext && window_ext->first != 0 && window_ext->second != 0) {
    const auto org = window_org.value_or(std::pair<double, double>(0, 0));
    const auto vorg = viewport_org.value_or(std::pair<double, double>(0, 0));
    const auto vext =
        viewport_ext.value_or(std::pair<double, double>(kLibwmfViewport, kLibwmfViewport));
    auto x = [&](double v) {
      return (v - org.first) * vext.first / window_ext->first + vorg.first;
    };
    auto y = [&](double v) {
      return (v - org.second) * vext.second / window_ext->second + vorg.second;
    };
    plan.mapped = true;
    plan.left = x(static_cast<double>(left));
    plan.right = x(static_cast<double>(right));
    plan.top = y(static_cast<double>(top));
    plan.bottom = y(static_cast<double>(bottom));
  }
  return plan;
}

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

std::string EmfToSvg(std::string bytes) {
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
