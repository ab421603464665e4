// The visible rectangle of the complex plane, the mouse position, and the mapping
// between plane points and pixels.
#pragma once

#include <cstdint>

#include "logic/evaluator/evaluate.h"
#include "logic/program/canvas.h"

namespace ombrix {

// The visible rectangle: ReMin, ReMax, ImMin, ImMax.
struct PlaneScale {
  double re_min = -5, re_max = 5, im_min = -5, im_max = 5;
};

class DrawingState : public DrawingView {
 public:
  double ReMin() const override { return re_min_; }
  double ReMax() const override { return re_max_; }
  double ImMin() const override { return im_min_; }
  double ImMax() const override { return im_max_; }
  TComplex MousePosition() const override { return mouse_; }
  // The picture's size, read at every use; 400 x 400 while no picture is attached.
  int Width() const override;
  int Height() const override;
  std::uint64_t ScaleCount() const override { return scale_changes_; }

  static constexpr double TickSpacingRe = 1.0;
  static constexpr double TickSpacingIm = 1.0;
  // The colour of "ZeichnePunkt", "ZeichneLinie" and "ZeichneKreis": black until
  // "SetzeFarbe" sets another, and again at every start.
  Colour DrawColour() const { return draw_colour_; }
  void SetDrawColour(Colour colour) { draw_colour_ = colour; }

  // The picture whose size W and H are (not owned; may be null).
  void AttachPicture(const Canvas* picture) { picture_ = picture; }
  // Only "SetzeSkala" calls this, after checking re_min < re_max and im_min < im_max.
  void SetScale(double re_min, double re_max, double im_min, double im_max);
  // How often the scale was set: while the count stays, so does the scale.
  std::uint64_t ScaleChanges() const { return scale_changes_; }
  // The scale as a step back keeps it, and putting a kept one back.
  PlaneScale Scale() const { return {re_min_, re_max_, im_min_, im_max_}; }
  void RestoreScale(const PlaneScale& scale) {
    SetScale(scale.re_min, scale.re_max, scale.im_min, scale.im_max);
  }
  // Mouse at pixel (x, y): MousePosition = (PixelToPlaneRe(x), PixelToPlaneIm(y)), uncut.
  void SetMousePosition(int x, int y);

  // Rounded with +0.5 and truncated toward zero in extended precision; results beyond
  // the 32-bit range saturate.
  std::int32_t PlaneToPixelX(double re) const;
  std::int32_t PlaneToPixelY(double im) const;
  std::int32_t LengthToPixelsX(double d) const;
  std::int32_t LengthToPixelsY(double d) const;
  double PixelToPlaneRe(double x) const;
  double PixelToPlaneIm(double y) const;

 private:
  double re_min_ = -5, re_max_ = 5, im_min_ = -5, im_max_ = 5;
  std::uint64_t scale_changes_ = 0;
  TComplex mouse_{1.0, 2.0};
  Colour draw_colour_ = kBlack;
  const Canvas* picture_ = nullptr;
};

}  // namespace ombrix
