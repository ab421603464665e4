// Image1: shows the picture the programs draw on and reports the mouse in picture
// pixels. Over it, never into it, it paints the handles of the points that controls
// put on the picture.
#pragma once

#include <QImage>
#include <QPoint>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "platform/qimage_canvas.h"

namespace ombrix {

// A point of a control, in picture pixels, with its variable's name beside it.
struct PictureHandle {
  QPoint at;
  QString label;
};
inline constexpr int kHandleRadius = 5;

class PictureBox final : public QWidget {
 public:
  explicit PictureBox(const QImageCanvas& canvas, QWidget* parent = nullptr);

  // Asked at every paint, so that the handles follow the scale the programs set.
  std::function<std::vector<PictureHandle>()> Handles;
  // Shows `picture` instead of the canvas until ShowCanvas, while a program draws anew.
  void ShowCopy(const QImage& picture);
  void ShowCanvas();
  bool ShowsCopy() const { return copy_.has_value(); }

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
  std::optional<QImage> copy_;
};

}  // namespace ombrix
