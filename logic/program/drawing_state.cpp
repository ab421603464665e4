#include "logic/program/drawing_state.h"

#include <cfloat>
#include <cmath>
#include <limits>

#include "logic/complex/fault.h"

namespace ombrix {

namespace {

constexpr int kDefaultSize = 400;

// Truncation toward zero to 32 bits; values beyond the range saturate.
std::int32_t Truncate(long double x) {
  if (std::isnan(x)) return 0;
  if (x >= 2147483647.0L) return std::numeric_limits<std::int32_t>::max();
  if (x <= -2147483648.0L) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(x);
}

// A divisor of 0 faults as the floating-point unit would.
long double Divided(long double a, long double b) {
  if (b == 0.0L) throw Fault(a == 0.0L ? kFaultInvalidOperation : kFaultDivisionByZero);
  return a / b;
}

// Storing an extended value that no double can hold is an overflow.
double ToDouble(long double x) {
  if (std::isfinite(x) && std::fabs(x) > static_cast<long double>(DBL_MAX))
    throw Fault(kFaultOverflow);
  return static_cast<double>(x);
}

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
  const long double span = static_cast<long double>(re_max_) - re_min_;
  return Truncate(Divided(static_cast<long double>(re) - re_min_, span) * Width() + 0.5L);
}

std::int32_t DrawingState::PlaneToPixelY(double im) const {
  const long double span = static_cast<long double>(im_max_) - im_min_;
  return Truncate(Divided(static_cast<long double>(im_max_) - im, span) * Height() + 0.5L);
}

std::int32_t DrawingState::LengthToPixelsX(double d) const {
  const long double span = static_cast<long double>(re_max_) - re_min_;
  return Truncate(Divided(static_cast<long double>(d), span) * Width() + 0.5L);
}

std::int32_t DrawingState::LengthToPixelsY(double d) const {
  const long double span = static_cast<long double>(im_max_) - im_min_;
  return Truncate(Divided(-static_cast<long double>(d), span) * Height() + 0.5L);
}

double DrawingState::PixelToPlaneRe(double x) const {
  const long double span = static_cast<long double>(re_max_) - re_min_;
  return ToDouble(re_min_ + Divided(span * x, Width()));
}

double DrawingState::PixelToPlaneIm(double y) const {
  const long double span = static_cast<long double>(im_max_) - im_min_;
  return ToDouble(im_min_ + (1.0L - Divided(y, Height())) * span);
}

}  // namespace ombrix
