#include "platform/metafile_reader/metafile_draw.h"

#include <dlfcn.h>
#include <emf2svg.h>
#include <libwmf/api.h>
#include <libwmf/gd.h>

#include <QPainter>
#include <QSvgRenderer>
#include <QXmlStreamReader>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/metafile_check.h"
#include "platform/metafile_uemf.h"

namespace ombrix::metafile_detail {

namespace {

Drawing Refused(ReaderAnswer answer) { return {answer, QImage()}; }

QImage WhitePicture(int width, int height) {
  QImage picture(width, height, QImage::Format_RGB32);
  if (!picture.isNull()) picture.fill(Qt::white);
  return picture;
}

// ------------------------------------------------------------------------------ EMF

void PutLe32(std::string& b, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) b[at + i] = static_cast<char>(value >> (8 * i));
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

// The SVG document for the records, empty when libemf2svg refuses them.
QByteArray EmfToSvg(std::string_view emf) {
  std::string bytes = WithDefaultObjects(emf);
  generatorOptions options{};
  char no_namespace[] = "";
  options.nameSpace = no_namespace;
  options.svgDelimiter = true;
  options.emfplus = false;  // the plain EMF records every EMF+ file also carries
  char* svg = nullptr;
  std::size_t svg_length = 0;
  const int ok = emf2svg(bytes.data(), bytes.size(), &svg, &svg_length, &options);
  QByteArray document;
  if (ok && svg != nullptr) document = QByteArray(svg, static_cast<qsizetype>(svg_length));
  std::free(svg);
  return document;
}

// libemf2svg stops writing where it cannot follow the records (a path left open ends the
// document inside an element); such a picture was not read whole.
bool IsWholeDocument(const QByteArray& svg) {
  QXmlStreamReader xml(svg);
  while (!xml.atEnd()) xml.readNext();
  return !xml.hasError();
}

Drawing DrawEmf(std::string_view bytes) {
  const auto checked = CheckEmf(bytes);
  if (!std::holds_alternative<EmfPlan>(checked)) return Refused(ReaderAnswer::kInvalid);
  const EmfPlan plan = std::get<EmfPlan>(checked);
  const QByteArray svg = EmfToSvg(bytes.substr(0, plan.bytes));
  if (svg.isEmpty()) return Refused(ReaderAnswer::kInvalid);
  if (!IsWholeDocument(svg)) return Refused(ReaderAnswer::kIncomplete);
  QSvgRenderer renderer(svg);
  if (!renderer.isValid()) return Refused(ReaderAnswer::kInvalid);
  QImage picture = WhitePicture(plan.width, plan.height);
  if (picture.isNull()) return Refused(ReaderAnswer::kTooCostly);
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
  painter.end();
  return {ReaderAnswer::kPicture, picture};
}

// ------------------------------------------------------------------------------ WMF

// libuemf exports a wmf_free as well; libwmf works only while its own is the one found,
// which the order of the libraries on the link line decides.
bool LibwmfOwnsItsFreeFunction() {
  Dl_info info{};
  return dladdr(reinterpret_cast<void*>(&wmf_free), &info) != 0 && info.dli_fname != nullptr &&
         std::strstr(info.dli_fname, "libwmf") != nullptr;
}

// 0xAARRGGBB values, top row first, as an opaque picture.
QImage FromPixels(const void* pixels, int width, int height) {
  QImage picture = WhitePicture(width, height);
  if (picture.isNull()) return picture;
  const auto* from = static_cast<const char*>(pixels);
  for (int y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
    for (int x = 0; x < width; ++x) {
      std::uint32_t pixel;
      std::memcpy(&pixel, from + (static_cast<std::size_t>(y) * width + x) * 4, 4);
      line[x] = 0xFF000000u | (pixel & 0xFFFFFFu);  // gd keeps a 7-bit transparency on top
    }
  }
  return picture;
}

// What libwmf draws of the records, through its gd device.
Drawing WmfToPixels(std::string bytes, const WmfPlan& plan) {
  wmfAPI* api = nullptr;
  wmfAPI_Options options{};
  options.function = wmf_gd_function;
  const unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR;
  if (wmf_api_create(&api, flags, &options) != wmf_E_None) return Refused(ReaderAnswer::kInvalid);
  auto* data = reinterpret_cast<unsigned char*>(bytes.data());
  wmfD_Rect box{};
  if (wmf_mem_open(api, data, static_cast<long>(bytes.size())) != wmf_E_None ||
      wmf_scan(api, 0, &box) != wmf_E_None) {
    return Refused(ReaderAnswer::kInvalid);
  }
  int width = plan.width;
  int height = plan.height;
  if (width == 0) {
    unsigned int w = 0, h = 0;
    if (wmf_display_size(api, &w, &h, 96, 96) != wmf_E_None) return Refused(ReaderAnswer::kInvalid);
    if (CheckFrame(w, h)) return Refused(ReaderAnswer::kInvalid);
    width = static_cast<int>(w);
    height = static_cast<int>(h);
  }
  if (plan.mapped) {
    box.TL.x = static_cast<float>(plan.left);
    box.TL.y = static_cast<float>(plan.top);
    box.BR.x = static_cast<float>(plan.right);
    box.BR.y = static_cast<float>(plan.bottom);
  }
  if (!(box.BR.x > box.TL.x) || !(box.BR.y > box.TL.y)) return Refused(ReaderAnswer::kInvalid);
  wmf_gd_t* device = WMF_GD_GetData(api);
  device->type = wmf_gd_image;
  device->width = static_cast<unsigned int>(width);
  device->height = static_cast<unsigned int>(height);
  device->bbox = box;
  if (wmf_play(api, 0, &box) != wmf_E_None || device->gd_image == nullptr) {
    return Refused(ReaderAnswer::kInvalid);
  }
  const int* pixels = wmf_gd_image_pixels(device->gd_image);
  if (pixels == nullptr) return Refused(ReaderAnswer::kInvalid);
  QImage picture = FromPixels(pixels, width, height);
  if (picture.isNull()) return Refused(ReaderAnswer::kTooCostly);
  return {ReaderAnswer::kPicture, picture};
}

Drawing DrawWmf(std::string_view bytes) {
  if (!LibwmfOwnsItsFreeFunction()) return Refused(ReaderAnswer::kInvalid);
  const auto checked = CheckWmf(bytes);
  if (!std::holds_alternative<WmfPlan>(checked)) return Refused(ReaderAnswer::kInvalid);
  const WmfPlan plan = std::get<WmfPlan>(checked);
  const std::string_view records = bytes.substr(0, plan.bytes);
  if (plan.bitmap_size != 0) {
    std::string pixels;
    if (ReadWholeBitmapRecord(records.substr(plan.bitmap_at, plan.bitmap_size), plan.width,
                              plan.height, pixels)) {
      QImage picture = FromPixels(pixels.data(), plan.width, plan.height);
      if (picture.isNull()) return Refused(ReaderAnswer::kTooCostly);
      return {ReaderAnswer::kPicture, picture};
    }
  }
  return WmfToPixels(std::string(records), plan);
}

}  // namespace

Drawing DrawMetafile(std::string_view request) {
  if (request.empty()) return Refused(ReaderAnswer::kInvalid);
  const std::string_view file = request.substr(1);
  if (request[0] == kEmfRequest) return DrawEmf(file);
  if (request[0] == kWmfRequest) return DrawWmf(file);
  return Refused(ReaderAnswer::kInvalid);
}

}  // namespace ombrix::metafile_detail
