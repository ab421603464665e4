#include <uemf.h>
#include <uemf_safe.h>
#include <uwmf.h>

#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/metafile.h"
#include "platform/metafile_uemf.h"

namespace ombrix {

namespace {

// The picture as a bottom-up 24-bit DIB, as both formats' bitmap records hold it.
struct Dib {
  char* pixels = nullptr;
  std::uint32_t bytes = 0;
  PU_BITMAPINFO info = nullptr;
  ~Dib() {
    std::free(pixels);
    std::free(info);
  }
};

bool MakeDib(const QImage& image, Dib& dib) {
  const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
  PU_RGBQUAD table = nullptr;
  int colours = 0;
  if (RGBA_to_DIB(&dib.pixels, &dib.bytes, &table, &colours,
                  reinterpret_cast<const char*>(rgba.constBits()), rgba.width(), rgba.height(),
                  static_cast<int>(rgba.bytesPerLine()), U_BCBM_COLOR24, 0,
                  U_ROW_ORDER_INVERT) != 0) {
    return false;
  }
  std::free(table);
  const U_BITMAPINFOHEADER header = bitmapinfoheader_set(
      rgba.width(), rgba.height(), 1, U_BCBM_COLOR24, U_BI_RGB, dib.bytes, 3780, 3780, 0, 0);
  dib.info = bitmapinfo_set(header, nullptr);
  return dib.info != nullptr;
}

// libuemf's own wmf_free would be found as libwmf's function of that name, so the track
// is released here.
void FreeWmfTrack(WMFTRACK* track) {
  if (track == nullptr) return;
  if (track->fp != nullptr) std::fclose(track->fp);
  std::free(track->buf);
  std::free(track);
}

QByteArray ReadBack(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

QByteArray EncodeEmf(const QImage& image, const Dib& dib, const QString& path) {
  const int w = image.width();
  const int h = image.height();
  EMFTRACK* track = nullptr;
  EMFHANDLES* handles = nullptr;
  const QByteArray name = path.toLocal8Bit();
  if (emf_start(name.constData(), 1 << 16, 1 << 16, &track) != 0) return {};
  if (emf_htable_create(16, 16, &handles) != 0) {
    emf_free(&track);
    return {};
  }
  // A reference device of 96 dpi, so the frame gives back the picture's size in pixels.
  const U_RECTL bounds = rectl_set(point32_set(0, 0), point32_set(w - 1, h - 1));
  const U_RECTL frame = rectl_set(
      point32_set(0, 0), point32_set(static_cast<std::int32_t>(std::lround(w * 2540.0 / 96)),
                                     static_cast<std::int32_t>(std::lround(h * 2540.0 / 96))));
  const U_SIZEL device = sizel_set(1920, 1080);
  const U_SIZEL millimetres = sizel_set(508, 286);
  bool ok = emf_append(reinterpret_cast<U_ENHMETARECORD*>(U_EMRHEADER_set(
                           bounds, frame, nullptr, 0, nullptr, device, millimetres, 0)),
                       track, U_REC_FREE) == 0;
  ok = ok && emf_append(reinterpret_cast<U_ENHMETARECORD*>(U_EMRSTRETCHDIBITS_set(
                            bounds, point32_set(0, 0), point32_set(w, h), point32_set(0, 0),
                            point32_set(w, h), U_DIB_RGB_COLORS, U_SRCCOPY, dib.info, dib.bytes,
                            dib.pixels)),
                        track, U_REC_FREE) == 0;
  ok = ok && emf_append(reinterpret_cast<U_ENHMETARECORD*>(U_EMREOF_set(0, nullptr, track)), track,
                        U_REC_FREE) == 0;
  ok = ok && emf_finish(track, handles) == 0;
  emf_free(&track);
  emf_htable_free(&handles);
  return ok ? ReadBack(path) : QByteArray();
}

QByteArray EncodeWmf(const QImage& image, const Dib& dib, const QString& path) {
  const auto w = static_cast<std::int16_t>(image.width());
  const auto h = static_cast<std::int16_t>(image.height());
  WMFTRACK* track = nullptr;
  WMFHANDLES* handles = nullptr;
  const QByteArray name = path.toLocal8Bit();
  if (wmf_start(name.constData(), 1 << 16, 1 << 16, &track) != 0) return {};
  if (wmf_htable_create(16, 16, &handles) != 0) {
    FreeWmfTrack(track);
    return {};
  }
  U_PAIRF* inches = U_PAIRF_set(static_cast<float>(w) / 96, static_cast<float>(h) / 96);
  bool ok = wmf_header_append(reinterpret_cast<U_METARECORD*>(U_WMRHEADER_set(inches, 96)), track,
                              U_REC_FREE) == 0;
  std::free(inches);
  // Scaled, so that a reader maps the window onto the placeable bounds.
  ok = ok && wmf_append(reinterpret_cast<U_METARECORD*>(U_WMRSETMAPMODE_set(U_MM_ANISOTROPIC)),
                        track, U_REC_FREE) == 0;
  ok = ok && wmf_append(reinterpret_cast<U_METARECORD*>(U_WMRSETWINDOWORG_set(point16_set(0, 0))),
                        track, U_REC_FREE) == 0;
  ok = ok && wmf_append(reinterpret_cast<U_METARECORD*>(U_WMRSETWINDOWEXT_set(point16_set(w, h))),
                        track, U_REC_FREE) == 0;
  ok = ok &&
       wmf_append(reinterpret_cast<U_METARECORD*>(U_WMRSTRETCHDIB_set(
                      point16_set(0, 0), point16_set(w, h), point16_set(0, 0), point16_set(w, h),
                      U_DIB_RGB_COLORS, U_SRCCOPY, dib.info, dib.bytes, dib.pixels)),
                  track, U_REC_FREE) == 0;
  ok = ok && wmf_append(reinterpret_cast<U_METARECORD*>(U_WMREOF_set()), track, U_REC_FREE) == 0;
  ok = ok && wmf_finish(track) == 0;
  FreeWmfTrack(track);
  wmf_htable_free(&handles);
  return ok ? ReadBack(path) : QByteArray();
}

}  // namespace

QByteArray EncodeMetafile(const QImage& image, MetafileFormat format) {
  if (image.isNull() || image.width() > kMaxMetafileSide || image.height() > kMaxMetafileSide ||
      std::int64_t{image.width()} * image.height() > kMaxMetafilePixels) {
    return {};
  }
  Dib dib;
  if (!MakeDib(image, dib)) return {};
  // libuemf writes to a named file; the caller puts the bytes in place whole.
  QTemporaryDir dir;
  if (!dir.isValid()) return {};
  const QString path = dir.filePath(QStringLiteral("picture"));
  return format == MetafileFormat::Emf ? EncodeEmf(image, dib, path) : EncodeWmf(image, dib, path);
}

namespace metafile_detail {

bool ReadWholeBitmapRecord(std::string_view record, int width, int height, std::string& pixels) {
  constexpr std::size_t kStretchDibHeader = 28;  // size, function, rop, usage, 8 coordinates
  if (record.size() < kStretchDibHeader + 40) return false;
  U_POINT16 dest{}, dest_size{}, source{}, source_size{};
  std::uint16_t usage = 0;
  std::uint32_t rop = 0;
  const char* dib = nullptr;
  if (U_WMRSTRETCHDIB_get(record.data(), &dest, &dest_size, &source, &source_size, &usage, &rop,
                          &dib) <= 0 ||
      dib == nullptr) {
    return false;
  }
  const char* end = record.data() + record.size();
  if (dib < record.data() || dib >= end || !bitmapinfo_safe(dib, end)) return false;
  const char* px = nullptr;
  const U_RGBQUAD* table = nullptr;
  std::uint32_t colours = 0;
  std::int32_t w = 0, h = 0, bits = 0, invert = 0;
  if (wget_DIB_params(dib, &px, &table, &colours, &w, &h, &bits, &invert) != 0) return false;
  if (rop != U_SRCCOPY || usage != U_DIB_RGB_COLORS || dest.x != 0 || dest.y != 0 ||
      source.x != 0 || source.y != 0 || w != width || h != height || source_size.x != w ||
      source_size.y != h || dest_size.x != w || dest_size.y != h || (bits != 24 && bits != 32)) {
    return false;
  }
  const std::size_t row =
      (static_cast<std::size_t>(w) * static_cast<std::size_t>(bits) + 31) / 32 * 4;
  if (px < dib || px > end ||
      static_cast<std::size_t>(end - px) < row * static_cast<std::size_t>(h)) {
    return false;
  }
  char* rgba = nullptr;
  if (DIB_to_RGBA(px, table, static_cast<int>(colours), &rgba, w, h,
                  static_cast<std::uint32_t>(bits), 0, invert ? 0 : 1) != 0 ||
      rgba == nullptr) {
    return false;
  }
  const std::size_t count = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
  pixels.reserve(pixels.size() + count * 4);
  for (std::size_t i = 0; i < count; ++i) {
    const auto* p = reinterpret_cast<const unsigned char*>(rgba + i * 4);
    const std::uint32_t value =
        0xFF000000u | std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
    pixels.append(reinterpret_cast<const char*>(&value), 4);
  }
  std::free(rgba);
  return true;
}

}  // namespace metafile_detail

}  // namespace ombrix
