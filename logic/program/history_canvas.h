// The picture as the interpreter draws on it while a run is watched: every call goes on to
// the picture; while a step is recorded, the old colour of every pixel the step changes is
// kept, so that a step back can put it back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "logic/program/canvas.h"

namespace ombrix {

// Needs a picture that can read its pixels back (Canvas::CanReadBack) for the history.
class HistoryCanvas final : public Canvas {
 public:
  explicit HistoryCanvas(Canvas& picture) : picture_(picture) {}

  int Width() const override { return picture_.Width(); }
  int Height() const override { return picture_.Height(); }
  void SetPixel(int x, int y, Colour colour) override;
  void SetPenColour(Colour colour) override { picture_.SetPenColour(colour); }
  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void SetBrushSolid(bool solid) override { picture_.SetBrushSolid(solid); }
  void FillRect(int left, int top, int right, int bottom) override;
  void Ellipse(int left, int top, int right, int bottom) override;
  bool CanReadBack() const override { return picture_.CanReadBack(); }
  Colour Pixel(int x, int y) const override { return picture_.Pixel(x, y); }

  // One changed pixel: its index y * width + x and its colour before the step.
  struct PixelChange {
    std::uint32_t index = 0;
    Colour old_colour = 0;
  };
  // Recording on: changes go to `log` (appended) until it is set to null. Beyond
  // `max_entries` nothing more is kept and Overflowed tells so.
  void Record(std::vector<PixelChange>* log, std::size_t max_entries = SIZE_MAX) {
    log_ = log;
    max_entries_ = max_entries;
    overflowed_ = false;
  }
  bool Overflowed() const { return overflowed_; }
  // Recording off, and the colours of `changes` put back, newest first: a pixel changed
  // twice gets its colour from before the first change. `width` is the picture's width
  // when they were kept.
  void Restore(std::span<const PixelChange> changes, int width);

 private:
  // The pixels of the rectangle (clipped) before a figure, compared after it.
  void Before(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom);
  void After();
  void Log(std::uint32_t index, Colour old);

  Canvas& picture_;
  std::vector<PixelChange>* log_ = nullptr;
  std::size_t max_entries_ = SIZE_MAX;
  bool overflowed_ = false;
  int pen_x_ = 0;
  int pen_y_ = 0;
  struct Region {
    int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
    std::vector<Colour> colours;
  } region_;
};

}  // namespace ombrix
