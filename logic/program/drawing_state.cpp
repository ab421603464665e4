#include "logic/program/drawing_state.h"

#include "logic/program/plane_mapping.h"

namespace ombrix {

namespace {

constexpr int kDefaultSize = 400;

}  // namespace

int DrawingState::Width() const { return picture_ != nullptr ? picture_->Width() : kDefaultSize; }

int DrawingState::Height() const { return picture_ != nullptr ? picture_->Height() : kDefaultSize; }

void DrawingState::SetScale(double re_min, double re_max, double im_min, double im_max) {
  re_min_ = re_min;
  re_max_ = re_max;
  im_min_ = im_min;
  im_max_ = im_max;
  ++scale_changes_;
}

void DrawingState::SetMousePosition(int x, int y) {
  mouse_ = TComplex{PixelToPlaneRe(x), PixelToPlaneIm(y)};
}

std::int32_t DrawingState::PlaneToPixelX(double re) const {
  return ExtendedMapping::ToPixel(re_min_, re, re_min_, re_max_, Width());
}

std::int32_t DrawingState::PlaneToPixelY(double im) const {
  return ExtendedMapping::ToPixel(im, im_max_, im_min_, im_max_, Height());
}

std::int32_t DrawingState::LengthToPixelsX(double d) const {
  return ExtendedMapping::LengthToPixels(d, re_min_, re_max_, Width());
}

std::int32_t DrawingState::LengthToPixelsY(double d) const {
  return ExtendedMapping::LengthToPixels(-d, im_min_, im_max_, Height());
}

double DrawingState::PixelToPlaneRe(double x) const {
  return ExtendedMapping::FromLeft(re_min_, re_max_, x, Width());
}

double DrawingState::PixelToPlaneIm(double y) const {
  return ExtendedMapping::FromTop(im_min_, im_max_, y, Height());
}

}  // namespace ombrix
