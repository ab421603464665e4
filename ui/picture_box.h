// Image1: shows the picture the programs draw on and reports the mouse in picture
// pixels. It paints nothing of its own.
#pragma once

#include <QWidget>
#include <functional>

#include "platform/qimage_canvas.h"

namespace ombrix {

class PictureBox final : public QWidget {
 public:
  explicit PictureBox(const QImageCanvas& canvas, QWidget* parent = nullptr);

  std::function<void(Qt::MouseButton, int, int)> OnMouseDown;
  std::function<void(int, int)> OnMouseMove;
  std::function<void(Qt::MouseButton, int, int)> OnMouseUp;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  const QImageCanvas& canvas_;
};

}  // namespace ombrix
