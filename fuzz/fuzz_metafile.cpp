// Metafile reading on arbitrary bytes: the first byte picks EMF or WMF, the rest is the
// file. Every input must end in a picture within the limits or a German reason.
#include <QGuiApplication>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <variant>

#include "platform/metafile.h"

namespace {

QGuiApplication* application = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // Metafile text needs fonts, which need an application; no display is wanted.
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  application = new QGuiApplication(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const auto format =
      (data[0] & 1) != 0 ? ombrix::MetafileFormat::Wmf : ombrix::MetafileFormat::Emf;
  const QByteArray bytes(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
  const auto result = ombrix::DecodeMetafile(bytes, format);
  if (const auto* image = std::get_if<QImage>(&result)) {
    if (image->isNull() || image->width() > ombrix::kMaxMetafileSide ||
        image->height() > ombrix::kMaxMetafileSide ||
        static_cast<std::int64_t>(image->width()) * image->height() > ombrix::kMaxMetafilePixels)
      std::abort();
  } else if (std::get<std::string>(result).empty()) {
    std::abort();
  }
  return 0;
}
