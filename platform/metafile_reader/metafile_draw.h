// Drawing a metafile to pixels, which only the reader process does: the libraries it uses
// (libemf2svg and Qt SVG for EMF, libwmf for WMF) are not hardened against hostile files.
#pragma once

#include <QImage>
#include <string_view>

#include "platform/metafile_protocol.h"

namespace ombrix::metafile_detail {

struct Drawing {
  ReaderAnswer answer;
  QImage picture;  // with kPicture: RGB32, on white, at the size the file's frame gives
};

// `request` as the reader receives it: the request byte, then the file. The file is
// checked again here, as in the window's process.
Drawing DrawMetafile(std::string_view request);

}  // namespace ombrix::metafile_detail
