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

void PictureBox::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QImage& image = canvas_.Image();
  // A smaller loaded picture leaves the rest of the box in the window's colour.
  if (image.width() < width() || image.height() < height())
    painter.fillRect(event->rect(), palette().window());
  painter.drawImage(event->rect().topLeft(), image, event->rect());
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
