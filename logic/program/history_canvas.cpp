#include "logic/program/history_canvas.h"

#include <algorithm>
#include <utility>

namespace ombrix {

void HistoryCanvas::SetPixel(int x, int y, Colour colour) {
  if (log_ != nullptr && x >= 0 && y >= 0 && x < picture_.Width() && y < picture_.Height()) {
    const Colour old = picture_.Pixel(x, y);
    if (old != (colour & 0xFFFFFFu)) {
      Log(static_cast<std::uint32_t>(y) * static_cast<std::uint32_t>(picture_.Width()) +
              static_cast<std::uint32_t>(x),
          old);
    }
  }
  picture_.SetPixel(x, y, colour);
}

void HistoryCanvas::MoveTo(int x, int y) {
  pen_x_ = x;
  pen_y_ = y;
  picture_.MoveTo(x, y);
}

// A line stays within the rectangle of its two ends.
void HistoryCanvas::LineTo(int x, int y) {
  if (log_ != nullptr) {
    Before(std::min(pen_x_, x), std::min(pen_y_, y), std::int64_t{std::max(pen_x_, x)} + 1,
           std::int64_t{std::max(pen_y_, y)} + 1);
  }
  pen_x_ = x;
  pen_y_ = y;
  picture_.LineTo(x, y);
  if (log_ != nullptr) After();
}

void HistoryCanvas::FillRect(int left, int top, int right, int bottom) {
  if (log_ != nullptr) Before(left, top, right, bottom);
  picture_.FillRect(left, top, right, bottom);
  if (log_ != nullptr) After();
}

void HistoryCanvas::Ellipse(int left, int top, int right, int bottom) {
  if (log_ != nullptr) Before(left, top, right, bottom);
  picture_.Ellipse(left, top, right, bottom);
  if (log_ != nullptr) After();
}

void HistoryCanvas::Log(std::uint32_t index, Colour old) {
  if (log_->size() >= max_entries_) {
    overflowed_ = true;
    return;
  }
  log_->push_back({index, old});
}

void HistoryCanvas::Before(std::int64_t left, std::int64_t top, std::int64_t right,
                           std::int64_t bottom) {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  const std::int64_t width = picture_.Width(), height = picture_.Height();
  region_.left = static_cast<int>(std::clamp<std::int64_t>(left, 0, width));
  region_.right = static_cast<int>(std::clamp<std::int64_t>(right, 0, width));
  region_.top = static_cast<int>(std::clamp<std::int64_t>(top, 0, height));
  region_.bottom = static_cast<int>(std::clamp<std::int64_t>(bottom, 0, height));
  region_.colours.clear();
  for (int y = region_.top; y < region_.bottom; ++y) {
    for (int x = region_.left; x < region_.right; ++x)
      region_.colours.push_back(picture_.Pixel(x, y));
  }
}

void HistoryCanvas::After() {
  const auto width = static_cast<std::uint32_t>(picture_.Width());
  std::size_t i = 0;
  for (int y = region_.top; y < region_.bottom; ++y) {
    for (int x = region_.left; x < region_.right; ++x, ++i) {
      const Colour old = region_.colours[i];
      if (picture_.Pixel(x, y) != old) {
        Log(static_cast<std::uint32_t>(y) * width + static_cast<std::uint32_t>(x), old);
      }
    }
  }
}

void HistoryCanvas::Restore(std::span<const PixelChange> changes, int width) {
  Record(nullptr);
  const auto row = static_cast<std::uint32_t>(width);
  for (auto change = changes.rbegin(); change != changes.rend(); ++change) {
    SetPixel(static_cast<int>(change->index % row), static_cast<int>(change->index / row),
             change->old_colour);
  }
}

}  // namespace ombrix
