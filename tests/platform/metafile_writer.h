// Small EMF and WMF files written record by record, so that a test knows exactly what a
// picture asks for: where its frame lies, which objects are selected, what is drawn.
// Both writers count in pixels of a 96 dpi reference device.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

namespace ombrix::testing {

// A file of tests/platform/data (made by an independent drawing program); empty if missing.
inline QByteArray Fixture(const char* name) {
  QFile file(QStringLiteral(OMBRIX_SOURCE_DIR "/tests/platform/data/") + QLatin1String(name));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

// Colours as the records hold them: 0x00BBGGRR.
constexpr std::uint32_t ColorRef(int r, int g, int b) {
  return static_cast<std::uint32_t>(r) | static_cast<std::uint32_t>(g) << 8 |
         static_cast<std::uint32_t>(b) << 16;
}

inline void AppendLe(QByteArray& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.append(static_cast<char>(value >> (8 * i)));
}

// Record types and stock objects of the enhanced format.
enum EmrType : std::uint32_t {
  kEmrHeader = 1,
  kEmrPolyline = 4,
  kEmrEof = 14,
  kEmrSelectObject = 37,
  kEmrCreatePen = 38,
  kEmrCreateBrushIndirect = 39,
  kEmrEllipse = 42,
  kEmrRectangle = 43,
  kEmrIntersectClipRect = 30,
  kEmrSaveDc = 33,
  kEmrRestoreDc = 34,
  kEmrExtCreatePen = 95,
  kEmrStretchDiBits = 81,
};
constexpr std::uint32_t kStockWhiteBrush = 0x80000000;
constexpr std::uint32_t kStockBlackPen = 0x80000007;
constexpr std::uint32_t kStockNullPen = 0x80000008;

class EmfWriter {
 public:
  // A frame from (left, top) to (right, bottom) pixels; the bounds are the same rectangle.
  EmfWriter(int left, int top, int right, int bottom)
      : left_(left),
        top_(top),
        right_(right),
        bottom_(bottom),
        bounds_{left, top, right - 1, bottom - 1} {}

  // The bounds a drawing program records: the pixels drawn, both corners inside.
  EmfWriter& Bounds(int left, int top, int right, int bottom) {
    bounds_[0] = left, bounds_[1] = top, bounds_[2] = right, bounds_[3] = bottom;
    return *this;
  }

  // One record of 32-bit parameters.
  EmfWriter& Record(std::uint32_t type, std::initializer_list<std::int32_t> params) {
    return Raw(type, std::vector<std::int32_t>(params));
  }
  // One record of 32-bit parameters followed by `data` (a multiple of four bytes long).
  EmfWriter& Raw(std::uint32_t type, const std::vector<std::int32_t>& params,
                 const QByteArray& data = QByteArray()) {
    AppendLe(records_, type, 4);
    AppendLe(records_, static_cast<std::uint32_t>(8 + 4 * params.size() + data.size()), 4);
    for (std::int32_t p : params) AppendLe(records_, static_cast<std::uint32_t>(p), 4);
    records_ += data;
    ++count_;
    return *this;
  }
  EmfWriter& Rectangle(int l, int t, int r, int b) { return Record(kEmrRectangle, {l, t, r, b}); }
  EmfWriter& Ellipse(int l, int t, int r, int b) { return Record(kEmrEllipse, {l, t, r, b}); }
  EmfWriter& Polyline(std::initializer_list<std::pair<int, int>> points);
  // A pen of `style` (0 solid, 1 dash) and `width` pixels in slot `handle`.
  EmfWriter& CreatePen(int handle, int style, int width, std::uint32_t colour) {
    return Record(kEmrCreatePen, {handle, style, width, 0, static_cast<std::int32_t>(colour)});
  }
  // A solid (style 0) or hollow (style 1) brush in slot `handle`.
  EmfWriter& CreateBrush(int handle, int style, std::uint32_t colour) {
    return Record(kEmrCreateBrushIndirect, {handle, style, static_cast<std::int32_t>(colour), 0});
  }
  EmfWriter& Select(std::uint32_t handle) {
    return Record(kEmrSelectObject, {static_cast<std::int32_t>(handle)});
  }

  QByteArray Bytes() const;

 private:
  int left_, top_, right_, bottom_;
  int bounds_[4];
  QByteArray records_;
  int count_ = 0;
};

inline EmfWriter& EmfWriter::Polyline(std::initializer_list<std::pair<int, int>> points) {
  int l = points.begin()->first, t = points.begin()->second, r = l, b = t;
  for (const auto& [x, y] : points) {
    l = std::min(l, x), r = std::max(r, x), t = std::min(t, y), b = std::max(b, y);
  }
  std::vector<std::int32_t> params = {l, t, r, b, static_cast<std::int32_t>(points.size())};
  for (const auto& [x, y] : points) params.insert(params.end(), {x, y});
  return Raw(kEmrPolyline, params);
}

inline QByteArray EmfWriter::Bytes() const {
  // A 960 x 960 pixel reference device of 254 mm: 96 dpi, so a frame of n pixels is
  // n * 2540 / 96 hundredths of a millimetre.
  auto hundredths = [](int pixels) { return static_cast<std::uint32_t>(pixels * 2540 / 96); };
  constexpr int kHeaderSize = 88;
  const std::uint32_t total = kHeaderSize + static_cast<std::uint32_t>(records_.size()) + 20;
  QByteArray out;
  AppendLe(out, kEmrHeader, 4);
  AppendLe(out, kHeaderSize, 4);
  for (int v : bounds_) AppendLe(out, static_cast<std::uint32_t>(v), 4);
  for (int v : {left_, top_, right_, bottom_}) AppendLe(out, hundredths(v), 4);
  AppendLe(out, 0x464D4520, 4);  // " EMF"
  AppendLe(out, 0x10000, 4);
  AppendLe(out, total, 4);
  AppendLe(out, static_cast<std::uint32_t>(count_ + 2), 4);
  AppendLe(out, 8, 2);  // handles
  AppendLe(out, 0, 2);
  for (int i = 0; i < 3; ++i) AppendLe(out, 0, 4);  // no description, no palette
  for (std::uint32_t v : {960u, 960u, 254u, 254u}) AppendLe(out, v, 4);
  out += records_;
  for (std::uint32_t v : {std::uint32_t{kEmrEof}, 20u, 0u, 16u, 20u}) AppendLe(out, v, 4);
  return out;
}

// Record functions of the 16-bit format.
enum WmrFunction : std::uint16_t {
  kWmrSetMapMode = 0x0103,
  kWmrSetWindowOrg = 0x020B,
  kWmrSetWindowExt = 0x020C,
  kWmrSelectObject = 0x012D,
  kWmrCreatePenIndirect = 0x02FA,
  kWmrCreateBrushIndirect = 0x02FC,
  kWmrRectangle = 0x041B,
  kWmrEllipse = 0x0418,
  kWmrPolyline = 0x0325,
};

class WmfWriter {
 public:
  // Without placeable bounds.
  WmfWriter() = default;
  // Placeable bounds from (left, top) to (right, bottom) in units of which `per_inch` make
  // an inch.
  WmfWriter(int left, int top, int right, int bottom, int per_inch)
      : placeable_(true),
        left_(left),
        top_(top),
        right_(right),
        bottom_(bottom),
        per_inch_(per_inch) {}

  // One record of 16-bit parameters, in the order the file holds them.
  WmfWriter& Record(std::uint16_t function, std::initializer_list<int> params) {
    AppendLe(records_, static_cast<std::uint32_t>(3 + params.size()), 4);
    AppendLe(records_, function, 2);
    for (int p : params) AppendLe(records_, static_cast<std::uint32_t>(p), 2);
    max_words_ = std::max<std::uint32_t>(max_words_, static_cast<std::uint32_t>(3 + params.size()));
    return *this;
  }
  // The records hold y before x, bottom before top.
  WmfWriter& Rectangle(int l, int t, int r, int b) { return Record(kWmrRectangle, {b, r, t, l}); }
  WmfWriter& Ellipse(int l, int t, int r, int b) { return Record(kWmrEllipse, {b, r, t, l}); }
  WmfWriter& WindowOrg(int x, int y) { return Record(kWmrSetWindowOrg, {y, x}); }
  WmfWriter& WindowExt(int x, int y) { return Record(kWmrSetWindowExt, {y, x}); }
  WmfWriter& MapMode(int mode) { return Record(kWmrSetMapMode, {mode}); }
  WmfWriter& CreatePen(int style, int width, std::uint32_t colour) {
    ++objects_;
    return Record(kWmrCreatePenIndirect, {style, width, 0, static_cast<int>(colour & 0xFFFF),
                                          static_cast<int>(colour >> 16)});
  }
  WmfWriter& CreateBrush(int style, std::uint32_t colour) {
    ++objects_;
    return Record(kWmrCreateBrushIndirect,
                  {style, static_cast<int>(colour & 0xFFFF), static_cast<int>(colour >> 16), 0});
  }
  WmfWriter& Select(int handle) { return Record(kWmrSelectObject, {handle}); }

  QByteArray Bytes() const {
    QByteArray out;
    if (placeable_) {
      AppendLe(out, 0x9AC6CDD7, 4);
      AppendLe(out, 0, 2);
      for (int v : {left_, top_, right_, bottom_, per_inch_}) {
        AppendLe(out, static_cast<std::uint32_t>(v), 2);
      }
      AppendLe(out, 0, 4);
      std::uint16_t sum = 0;
      for (int i = 0; i < 20; i += 2) {
        sum ^= static_cast<std::uint16_t>(static_cast<unsigned char>(out[i]) |
                                          static_cast<unsigned char>(out[i + 1]) << 8);
      }
      AppendLe(out, sum, 2);
    }
    const auto words = static_cast<std::uint32_t>((18 + records_.size() + 6) / 2);
    for (std::uint32_t v : {1u, 9u, 0x300u}) AppendLe(out, v, 2);
    AppendLe(out, words, 4);
    AppendLe(out, static_cast<std::uint32_t>(objects_), 2);
    AppendLe(out, max_words_, 4);
    AppendLe(out, 0, 2);
    out += records_;
    AppendLe(out, 3, 4);
    AppendLe(out, 0, 2);
    return out;
  }

 private:
  bool placeable_ = false;
  int left_ = 0, top_ = 0, right_ = 0, bottom_ = 0, per_inch_ = 96;
  QByteArray records_;
  std::uint32_t max_words_ = 3;
  int objects_ = 0;
};

// A picture no reader draws within its time: 200 000 ellipses, each filling a picture of
// 4000 x 4000 pixels. For the reader's bounds and the window's waiting for it.
inline QByteArray ManyLargeEllipses() {
  WmfWriter wmf(0, 0, 4000, 4000, 96);
  wmf.CreateBrush(0, ColorRef(0, 0, 255)).Select(0);
  for (int i = 0; i < 200000; ++i) wmf.Ellipse(-i % 50, 0, 4000, 4000 + i % 50);
  return wmf.Bytes();
}

}  // namespace ombrix::testing
