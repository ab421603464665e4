#include "platform/metafile_check.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "platform/metafile.h"

namespace ombrix::metafile_detail {

std::uint16_t Le16(std::string_view b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                    static_cast<unsigned char>(b[at + 1]) << 8);
}
std::uint32_t Le32(std::string_view b, std::size_t at) {
  return static_cast<std::uint32_t>(Le16(b, at)) | static_cast<std::uint32_t>(Le16(b, at + 2))
                                                       << 16;
}

namespace {

std::int16_t SignedLe16(std::string_view b, std::size_t at) {
  return static_cast<std::int16_t>(Le16(b, at));
}
std::int32_t SignedLe32(std::string_view b, std::size_t at) {
  return static_cast<std::int32_t>(Le32(b, at));
}

// Pixels at 96 dpi for a length in units of which `per_inch` make an inch, rounded as
// Windows' MulDiv rounds.
std::int64_t ToPixels(std::int64_t length, std::int64_t per_inch) {
  const std::int64_t scaled = std::abs(length) * 96;
  return (scaled + per_inch / 2) / per_inch;
}

}  // namespace

}  // namespace ombrix::metafile_detail

namespace ombrix {

std::string InvalidMetafileMessage() { return "Metadatei ist ung\xFCltig"; }

}  // namespace ombrix

namespace ombrix::metafile_detail {

std::string TooLargeMessage() {
  return "Metadatei ist zu gro\xDF (h\366chstens " + std::to_string(kMaxMetafileSide) + " \xD7 " +
         std::to_string(kMaxMetafileSide) + " Bildpunkte)";
}

std::optional<std::string> CheckFrame(std::int64_t width, std::int64_t height) {
  if (width <= 0 || height <= 0) return InvalidMetafileMessage();
  if (width > kMaxMetafileSide || height > kMaxMetafileSide ||
      width * height > kMaxMetafilePixels) {
    return TooLargeMessage();
  }
  return std::nullopt;
}

// ------------------------------------------------------------------------------ EMF

namespace {

constexpr std::uint32_t kEmrHeader = 1;
constexpr std::uint32_t kEmrEof = 14;
constexpr std::uint32_t kEmfSignature = 0x464D4520;  // " EMF"

}  // namespace

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

// ------------------------------------------------------------------------------ WMF

namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::uint16_t kSetMapMode = 0x0103;
constexpr std::uint16_t kStretchDib = 0x0F43;
constexpr std::uint16_t kSetWindowOrg = 0x020B;
constexpr std::uint16_t kSetWindowExt = 0x020C;
constexpr std::uint16_t kSetViewportOrg = 0x020D;
constexpr std::uint16_t kSetViewportExt = 0x020E;

// The map modes, numbered as the records hold them.
enum MapMode : std::uint16_t {
  kMapText = 1,
  kMapLoMetric = 2,
  kMapHiMetric = 3,
  kMapLoEnglish = 4,
  kMapHiEnglish = 5,
  kMapTwips = 6,
  kMapIsotropic = 7,
  kMapAnisotropic = 8,
};
// libwmf maps the window onto a viewport of this many device units unless the file sets one.
constexpr double kLibwmfViewport = 1024;

using Pair = std::pair<double, double>;  // x, y

struct Placeable {
  double left = 0, top = 0, right = 0, bottom = 0;
  std::uint16_t per_inch = 0;
};

// The first value the file gives each setting of the logical-to-device mapping.
struct WmfMapping {
  std::optional<std::uint16_t> mode;
  std::optional<Pair> window_org, window_ext, viewport_org, viewport_ext;
};

struct WmfRecords {
  std::size_t bytes = 0;
  int drawings = 0;
  std::size_t bitmap_at = 0, bitmap_size = 0;  // the last bitmap record
  WmfMapping mapping;
};

// The placeable header, if the file has one: the frame in logical units.
std::variant<std::optional<Placeable>, std::string> ReadPlaceable(std::string_view b) {
  if (b.size() < 22 || Le32(b, 0) != kPlaceableKey) return std::optional<Placeable>();
  Placeable frame{static_cast<double>(SignedLe16(b, 6)), static_cast<double>(SignedLe16(b, 8)),
                  static_cast<double>(SignedLe16(b, 10)), static_cast<double>(SignedLe16(b, 12)),
                  Le16(b, 14)};
  if (frame.per_inch == 0) return InvalidMetafileMessage();
  return std::optional<Placeable>(frame);
}

bool IsWmfHeader(std::string_view b, std::size_t at) {
  if (b.size() < at + 18) return false;
  const std::uint16_t type = Le16(b, at);
  const std::uint16_t version = Le16(b, at + 4);
  const std::uint64_t max_record = Le32(b, at + 12);  // in 16-bit words
  return (type == 1 || type == 2) && Le16(b, at + 2) == 9 &&
         (version == 0x100 || version == 0x300) && max_record * 2 <= b.size();
}

void NoteMapping(std::string_view b, std::size_t at, std::uint64_t size, WmfMapping& mapping) {
  const std::uint16_t function = Le16(b, at + 4);
  if (function == kSetMapMode && size >= 8 && !mapping.mode) mapping.mode = Le16(b, at + 6);
  if (size < 10) return;
  auto take = [&](std::optional<Pair>& slot) {
    if (!slot) slot = Pair(SignedLe16(b, at + 8), SignedLe16(b, at + 6));  // y first
  };
  if (function == kSetWindowOrg) take(mapping.window_org);
  if (function == kSetWindowExt) take(mapping.window_ext);
  if (function == kSetViewportOrg) take(mapping.viewport_org);
  if (function == kSetViewportExt) take(mapping.viewport_ext);
}

// Follows the chain of records from `at` to the end record.
std::variant<WmfRecords, std::string> ScanWmfRecords(std::string_view b, std::size_t at) {
  WmfRecords found;
  for (std::int64_t records = 0; at + 6 <= b.size(); ++records) {
    const std::uint64_t size = std::uint64_t{Le32(b, at)} * 2;
    const std::uint16_t function = Le16(b, at + 4);
    if (size < 6 || size > b.size() - at || records >= kMaxMetafileRecords) {
      return InvalidMetafileMessage();
    }
    if (function == 0) {
      found.bytes = at + static_cast<std::size_t>(size);
      return found;
    }
    const bool setting = function == kSetMapMode || function == kSetWindowOrg ||
                         function == kSetWindowExt || function == kSetViewportOrg ||
                         function == kSetViewportExt;
    if (setting) {
      NoteMapping(b, at, size, found.mapping);
    } else {
      ++found.drawings;
      if (function == kStretchDib) {
        found.bitmap_at = at;
        found.bitmap_size = static_cast<std::size_t>(size);
      }
    }
    at += static_cast<std::size_t>(size);
  }
  return InvalidMetafileMessage();  // cut off before its end record
}

bool IsScaled(const WmfMapping& mapping) {
  return mapping.mode == kMapIsotropic || mapping.mode == kMapAnisotropic;
}

// A placeable file whose one drawing is a bitmap on a window of exactly the picture's size,
// as this program writes them.
bool HoldsOneWholeBitmap(const WmfRecords& found, const WmfPlan& plan) {
  const WmfMapping& m = found.mapping;
  return found.drawings == 1 && found.bitmap_size != 0 && IsScaled(m) && m.window_ext &&
         *m.window_ext == Pair(plan.width, plan.height) &&
         m.window_org.value_or(Pair(0, 0)) == Pair(0, 0) && !m.viewport_org && !m.viewport_ext;
}

// libwmf's device units for one logical unit along an axis, as its player computes them;
// nothing when the file leaves the scale open.
std::optional<double> DeviceScale(const WmfMapping& m, bool x,
                                  const std::optional<Placeable>& frame) {
  auto along = [x](const Pair& p) { return x ? p.first : p.second; };
  double points = 0;  // per logical unit, in the fixed modes
  switch (m.mode.value_or(0)) {
    case kMapText:
      points = 1;
      break;
    case kMapLoMetric:
      points = 72 * 0.1 / 25.4;
      break;
    case kMapHiMetric:
      points = 72 * 0.01 / 25.4;
      break;
    case kMapLoEnglish:
      points = 0.72;
      break;
    case kMapHiEnglish:
      points = 0.072;
      break;
    case kMapTwips:
      points = 0.05;
      break;
    case kMapIsotropic:
    case kMapAnisotropic: {
      if (!m.window_ext || along(*m.window_ext) == 0) return std::nullopt;
      const double viewport = m.viewport_ext ? along(*m.viewport_ext) : kLibwmfViewport;
      if (viewport == 0) return std::nullopt;
      return viewport / along(*m.window_ext);
    }
    default:  // the units of the placeable header, which is libwmf's own mode for such files
      if (!frame) return m.mode ? std::nullopt : std::optional<double>(1);
      points = 72.0 / frame->per_inch;
  }
  return m.window_ext && along(*m.window_ext) < 0 ? -points : points;
}

// The frame (the placeable bounds, else the window) in libwmf's device units.
bool MapFrame(const WmfMapping& m, const std::optional<Placeable>& frame, WmfPlan& plan) {
  Placeable logical;
  if (frame) {
    logical = *frame;
  } else if (m.window_ext) {
    const Pair org = m.window_org.value_or(Pair(0, 0));
    logical = {org.first, org.second, org.first + m.window_ext->first,
               org.second + m.window_ext->second, 0};
  } else {
    return false;
  }
  const std::optional<double> sx = DeviceScale(m, true, frame);
  const std::optional<double> sy = DeviceScale(m, false, frame);
  if (!sx || !sy) return false;
  // A viewport origin moves the drawing, not the frame.
  const Pair org = m.window_org.value_or(Pair(0, 0));
  const double x1 = (logical.left - org.first) * *sx, x2 = (logical.right - org.first) * *sx;
  const double y1 = (logical.top - org.second) * *sy, y2 = (logical.bottom - org.second) * *sy;
  plan.left = std::min(x1, x2), plan.right = std::max(x1, x2);
  plan.top = std::min(y1, y2), plan.bottom = std::max(y1, y2);
  plan.mapped = plan.right > plan.left && plan.bottom > plan.top;
  return plan.mapped;
}

// A file without placeable bounds has no size of its own: libwmf's estimate for its frame.
[[nodiscard]] std::optional<std::string> EstimateSize(WmfPlan& plan) {
  const double w = plan.right - plan.left, h = plan.bottom - plan.top;
  const double per_inch = w * h < 1024.0 * 1024.0 ? 72 : 1440;
  const double width = std::floor(w * 96 / per_inch), height = std::floor(h * 96 / per_inch);
  if (!(width <= kMaxMetafileSide) || !(height <= kMaxMetafileSide)) return TooLargeMessage();
  if (auto problem =
          CheckFrame(static_cast<std::int64_t>(width), static_cast<std::int64_t>(height)))
    return problem;
  plan.width = static_cast<int>(width);
  plan.height = static_cast<int>(height);
  return std::nullopt;
}

}  // namespace

std::variant<WmfPlan, std::string> CheckWmf(std::string_view b) {
  const auto placeable = ReadPlaceable(b);
  if (const auto* problem = std::get_if<std::string>(&placeable)) return *problem;
  const std::optional<Placeable>& frame = std::get<std::optional<Placeable>>(placeable);
  WmfPlan plan;
  if (frame) {
    const std::int64_t width =
        ToPixels(static_cast<std::int64_t>(frame->right - frame->left), frame->per_inch);
    const std::int64_t height =
        ToPixels(static_cast<std::int64_t>(frame->bottom - frame->top), frame->per_inch);
    if (auto problem = CheckFrame(width, height)) return *problem;
    plan.width = static_cast<int>(width);
    plan.height = static_cast<int>(height);
  }
  const std::size_t header = frame ? 22 : 0;
  if (!IsWmfHeader(b, header)) return InvalidMetafileMessage();
  const auto scanned = ScanWmfRecords(b, header + 18);
  if (const auto* problem = std::get_if<std::string>(&scanned)) return *problem;
  const WmfRecords& found = std::get<WmfRecords>(scanned);
  plan.bytes = found.bytes;
  if (frame && HoldsOneWholeBitmap(found, plan)) {
    plan.bitmap_at = found.bitmap_at;
    plan.bitmap_size = found.bitmap_size;
  }
  // Without a frame libwmf fits the drawing's own bounding box into the picture.
  if (MapFrame(found.mapping, frame, plan) && !frame) {
    if (auto problem = EstimateSize(plan)) return *problem;
  }
  return plan;
}

}  // namespace ombrix::metafile_detail
