#include "ui/picture_box.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

namespace ombrix {

namespace {

// Pixel coordinates, rounded down: (-0.5, 3.9) is pixel (-1, 3) just left of the picture.
int PixelOf(double v) { return static_cast<int>(std::floor(v)); }

}  // namespace

PictureBox::PictureBox(const QImageCanvas& canvas, QWidget* parent)
    : QWidget(parent), canvas_(canvas) {
  setObjectName(QStringLiteral("Image1"));
  setCursor(Qt::CrossCursor);
  setFixedSize(400, 400);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
}

void PictureBox::ShowCopy(const QImage& picture) {
  copy_ = picture;
  update();
}

void PictureBox::ShowCanvas() {
  if (!copy_) return;
  copy_.reset();
  update();
}

void PictureBox::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QImage& image = copy_ ? *copy_ : canvas_.Image();
  // A smaller loaded picture leaves the rest of the box in the window's colour.
  if (image.width() < width() || image.height() < height())
    painter.fillRect(event->rect(), palette().window());
  painter.drawImage(event->rect().topLeft(), image, event->rect());
  if (!Handles) return;
  const std::vector<PictureHandle> handles = Handles();
  if (handles.empty()) return;
  painter.setRenderHint(QPainter::Antialiasing);
  for (const PictureHandle& handle : handles) {
    // Dark ring on a light disc: visible on a white picture and on a black set alike.
    painter.setPen(QPen(QColor(20, 60, 160), 2));
    painter.setBrush(QColor(255, 220, 80));
    painter.drawEllipse(QPointF(handle.at), kHandleRadius, kHandleRadius);
    const QPoint text_at = handle.at + QPoint(kHandleRadius + 3, -kHandleRadius - 2);
    painter.setPen(Qt::white);
    painter.drawText(text_at + QPoint(1, 1), handle.label);
    painter.setPen(QColor(20, 60, 160));
    painter.drawText(text_at, handle.label);
  }
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
  if (OnMouseDown)
    OnMouseDown(event->button(), PixelOf(event->position().x()), PixelOf(event->position().y()));
}

void PictureBox::mouseMoveEvent(QMouseEvent* event) {
  if (OnMouseMove) OnMouseMove(PixelOf(event->position().x()), PixelOf(event->position().y()));
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
  if (OnMouseUp)
    OnMouseUp(event->button(), PixelOf(event->position().x()), PixelOf(event->position().y()));
}

}  // namespace ombrix
