// The drawing surface the graphics commands draw on. Coordinates are pixels, (0, 0)
// top-left; right and bottom edges of rectangles and ellipses are exclusive; a line
// leaves out its end pixel; anything outside the picture is clipped silently.
#pragma once

#include <cstdint>

namespace ombrix {

using Colour = std::uint32_t;  // 0xRRGGBB
inline constexpr Colour kBlack = 0x000000;
inline constexpr Colour kWhite = 0xFFFFFF;
inline constexpr Colour kBlue = 0x0000FF;

class Canvas {
 public:
  virtual ~Canvas() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void SetPixel(int x, int y, Colour colour) = 0;
  virtual void SetPenColour(Colour colour) = 0;
  virtual void MoveTo(int x, int y) = 0;
  virtual void LineTo(int x, int y) = 0;
  virtual void SetBrushSolid(bool solid) = 0;  // the brush colour stays white
  virtual void FillRect(int left, int top, int right, int bottom) = 0;
  virtual void Ellipse(int left, int top, int right, int bottom) = 0;
  // Whether Pixel reads the picture back; a step back needs the old colours. A canvas
  // that only passes its calls on (a trace, a file writer) cannot.
  virtual bool CanReadBack() const { return false; }
  // The colour of a pixel inside the picture (only asked when CanReadBack).
  virtual Colour Pixel(int /*x*/, int /*y*/) const { return kWhite; }
};

// Keeps nothing: the picture of a run whose pixels nobody sees.
class BlankCanvas : public Canvas {
 public:
  explicit BlankCanvas(int width = 400, int height = 400) : width_(width), height_(height) {}
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void SetPixel(int, int, Colour) override {}
  void SetPenColour(Colour) override {}
  void MoveTo(int, int) override {}
  void LineTo(int, int) override {}
  void SetBrushSolid(bool) override {}
  void FillRect(int, int, int, int) override {}
  void Ellipse(int, int, int, int) override {}

 private:
  int width_;
  int height_;
};

}  // namespace ombrix
