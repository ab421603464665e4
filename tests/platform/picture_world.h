// A run that draws on a real picture with the record beside it, as the window and the
// command-line tool have them; and exports rasterised back at the picture's size, to be
// compared with its pixels.
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QtPdf/QPdfDocument>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "logic/app/runtime.h"
#include "logic/complex/num_text.h"
#include "platform/picture_export.h"
#include "platform/qimage_canvas.h"
#include "tests/support/recording.h"
#include "tests/support/tables.h"

namespace ombrix::testing {

struct PictureWorld {
  PictureWorld() {
    runtime.Interp().RecordDrawing(&record.commands);
    AddVariable(project.variables, "k", {});
  }
  QImageCanvas canvas;
  PictureRecord record;
  RecordingMessageBoxes boxes;
  Runtime runtime{{canvas, boxes}};
  ProjectContent& project = runtime.Project();
  DrawingState& drawing = runtime.Drawing();
  RunControl& run = runtime.Run();

  // "Starten" to the program's end; false when it did not get there.
  bool Run(std::vector<std::string> lines) {
    project.programs[MainProgram] = std::move(lines);
    run.Start();
    return run.StepMain({100000000, std::nullopt}) == RunOutcome::Ended;
  }
  const QImage& Pixels() const { return canvas.Image(); }
};

inline QImage OnWhite(const QImage& image, QSize size) {
  QImage out(size, QImage::Format_RGB32);
  out.fill(Qt::white);
  QPainter painter(&out);
  painter.drawImage(QRect(QPoint(0, 0), size), image);
  return out;
}

inline QImage RenderSvg(const QByteArray& svg, QSize size) {
  QImage out(size, QImage::Format_RGB32);
  out.fill(Qt::white);
  QSvgRenderer renderer(svg);
  QPainter painter(&out);
  renderer.render(&painter, QRectF(QPointF(0, 0), size));
  return out;
}

inline QImage RenderPdf(const QByteArray& pdf, QSize size) {
  QByteArray bytes = pdf;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QPdfDocument document;
  document.load(&buffer);
  if (document.pageCount() != 1) return {};
  return OnWhite(document.render(0, size), size);
}

inline int ChannelDistance(QRgb a, QRgb b) {
  return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                   std::abs(qBlue(a) - qBlue(b))});
}

// Colours closer than this pass for the same; a shape's anti-aliased edge is a mix.
inline constexpr int kSameColour = 160;

// Whether a colour near `colour` lies in `image` at (x, y) or a pixel next to it.
inline bool NearBy(const QImage& image, int x, int y, QRgb colour) {
  for (int v = std::max(0, y - 1); v <= std::min(image.height() - 1, y + 1); ++v) {
    for (int u = std::max(0, x - 1); u <= std::min(image.width() - 1, x + 1); ++u) {
      if (ChannelDistance(image.pixel(u, v), colour) <= kSameColour) return true;
    }
  }
  return false;
}

// The pixels where `rendered` is not `picture`, leaving anti-aliasing aside: a pixel
// counts when its two colours differ clearly (a black pixel left white, a white one
// painted black) and one of them is found nowhere about the same place in the other
// picture. So a shape may fall on the next pixel along its edge, as an anti-aliased edge
// and a stair-stepped one do, but one that is missing or moved further shows.
inline int Mismatches(const QImage& picture, const QImage& rendered) {
  if (picture.size() != rendered.size()) return picture.width() * picture.height() + 1;
  int count = 0;
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      const QRgb a = picture.pixel(x, y), b = rendered.pixel(x, y);
      if (ChannelDistance(a, b) <= kSameColour) continue;
      if (!NearBy(rendered, x, y, a) || !NearBy(picture, x, y, b)) ++count;
    }
  }
  return count;
}

}  // namespace ombrix::testing
