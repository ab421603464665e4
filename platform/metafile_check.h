// The checks a metafile passes before any library reads it: size, header, the chain of
// records and the frame, and what the frame means in the reading libraries' units. Both
// the window's process and the reading child run them on the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace ombrix::metafile_detail {

std::uint16_t Le16(std::string_view b, std::size_t at);
std::uint32_t Le32(std::string_view b, std::size_t at);

// "Metadatei ist zu groß (höchstens 10000 × 10000 Bildpunkte)"
std::string TooLargeMessage();

// A picture of width x height pixels within the limits: nothing; else the reason.
[[nodiscard]] std::optional<std::string> CheckFrame(std::int64_t width, std::int64_t height);

struct EmfPlan {
  int width = 0;
  int height = 0;
  std::size_t bytes = 0;  // the records up to and with the end-of-file record
  // Where the frame lies in the drawing's device units, which libemf2svg writes, shifted
  // by the bounds' top left corner.
  double frame_left = 0, frame_top = 0, frame_width = 0, frame_height = 0;
};

std::variant<EmfPlan, std::string> CheckEmf(std::string_view b);

struct WmfPlan {
  int width = 0;  // 0: the size libwmf estimates for a file without a frame
  int height = 0;
  bool mapped = false;  // the frame in libwmf's device units below
  double left = 0, top = 0, right = 0, bottom = 0;
  std::size_t bytes = 0;
  // The one drawing record, when it is a bitmap that may fill the window exactly.
  std::size_t bitmap_at = 0, bitmap_size = 0;
};

std::variant<WmfPlan, std::string> CheckWmf(std::string_view b);

}  // namespace ombrix::metafile_detail
