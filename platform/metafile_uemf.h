// The parts of the metafile support that use libuemf, kept apart from libwmf's headers
// (both libraries declare a C function wmf_free).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ombrix::metafile_detail {

// The pixels of a WMF bitmap record (U_WMR_STRETCHDIB) that copies a whole uncompressed
// 24- or 32-bit bitmap of `width` x `height` onto the window at (0, 0): true, with one
// 0xAARRGGBB value per pixel, top row first, appended to `pixels`. libwmf resamples
// bitmaps, so such a picture (the form this program writes) is read here pixel for pixel.
[[nodiscard]] bool ReadWholeBitmapRecord(std::string_view record, int width, int height,
                                         std::string& pixels);

}  // namespace ombrix::metafile_detail
