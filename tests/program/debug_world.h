// A world for the tests of watching a run: the interpreter draws through the history's
// canvas onto a picture of pixels, and the whole run state can be taken as one value to
// compare a stepped-back run with a fresh one.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "logic/app/runtime.h"
#include "logic/program/run_debug.h"
#include "tests/support/recording.h"
#include "tests/support/tables.h"

namespace ombrix::testing {

// Pixels in memory. Figures are drawn simply but stay within their rectangles, as the
// Canvas interface promises.
class PixelCanvas final : public Canvas {
 public:
  explicit PixelCanvas(int width = 400, int height = 400)
      : pixels(static_cast<std::size_t>(width * height), kWhite), width_(width), height_(height) {}
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void SetPixel(int x, int y, Colour c) override {
    ++calls;
    Put(x, y, c);
  }
  void SetPenColour(Colour c) override {
    ++calls;
    pen_ = c;
  }
  void MoveTo(int x, int y) override {
    ++calls;
    x_ = x;
    y_ = y;
  }
  void LineTo(int x, int y) override {
    ++calls;
    const std::int64_t dx = std::int64_t{x} - x_, dy = std::int64_t{y} - y_;
    const std::int64_t n = std::min<std::int64_t>(std::max(std::llabs(dx), std::llabs(dy)), 4000);
    for (std::int64_t t = 0; t < n; ++t) {
      Put(static_cast<int>(x_ + dx * t / n), static_cast<int>(y_ + dy * t / n), pen_);
    }
    x_ = x;
    y_ = y;
  }
  void SetBrushSolid(bool solid) override {
    ++calls;
    solid_ = solid;
  }
  void FillRect(int l, int t, int r, int b) override {
    ++calls;
    Fill(l, t, r, b, kWhite);
  }
  // The outline of the rectangle in the pen colour, the inside white when solid; an empty
  // rectangle draws nothing.
  void Ellipse(int l, int t, int r, int b) override {
    ++calls;
    if (r <= l || b <= t) return;
    if (solid_) Fill(l + 1, t + 1, r - 1, b - 1, kWhite);
    for (int x = std::max(l, 0); x < std::min(r, width_); ++x) {
      Put(x, t, pen_);
      Put(x, b - 1, pen_);
    }
    for (int y = std::max(t, 0); y < std::min(b, height_); ++y) {
      Put(l, y, pen_);
      Put(r - 1, y, pen_);
    }
  }
  bool CanReadBack() const override { return readable; }
  Colour Pixel(int x, int y) const override {
    return pixels[static_cast<std::size_t>(y * width_ + x)];
  }

  std::vector<Colour> pixels;
  long calls = 0;
  bool readable = true;

 private:
  void Put(int x, int y, Colour c) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_) {
      pixels[static_cast<std::size_t>(y * width_ + x)] = c & 0xFFFFFFu;
    }
  }
  void Fill(int l, int t, int r, int b, Colour c) {
    for (int y = std::max(t, 0); y < std::min(b, height_); ++y) {
      for (int x = std::max(l, 0); x < std::min(r, width_); ++x) Put(x, y, c);
    }
  }
  int width_, height_;
  Colour pen_ = kBlack;
  bool solid_ = true;
  int x_ = 0, y_ = 0;
};

// Everything a step back restores, as one comparable value.
struct RunSnapshot {
  std::vector<std::uint64_t> value_bits;
  std::array<std::int32_t, 2> line{}, cursor{};
  std::vector<std::string> stacks;
  std::array<std::size_t, 2> block_bytes{};
  std::array<double, 4> scale{};
  Colour colour = kBlack;
  std::vector<Colour> pixels;
  bool operator==(const RunSnapshot&) const = default;
};

struct DebugWorld {
  PixelCanvas picture;
  RecordingMessageBoxes boxes;
  Runtime runtime{{picture, boxes}};
  ProjectContent& project = runtime.Project();
  DrawingState& drawing = runtime.Drawing();
  HistoryCanvas& canvas = runtime.History();
  RunFlags& flags = runtime.Flags();
  InterpreterState& state = runtime.State();
  Interpreter& interpreter = runtime.Interp();
  RunControl& run = runtime.Run();
  RunDebugger& debugger = runtime.Debugger();

  int AddVariable(const std::string& name, TComplex start = {}) {
    return testing::AddVariable(project.variables, name, start);
  }
  TComplex Value(const std::string& lowered) const {
    return project.variables.CurrentValue(project.variables.FindVariable(lowered));
  }
  void Program(std::vector<std::string> lines, int slot = MainProgram) {
    project.programs[static_cast<std::size_t>(slot)] = std::move(lines);
  }
  // The line that runs next, 1-based as the window shows it.
  std::int32_t Next() const { return state.CurrentLine[MainProgram] + 1; }

  RunSnapshot Snapshot() const {
    RunSnapshot s;
    for (int j = 0; j < kTableCapacity; ++j) {
      const TComplex v = project.variables.CurrentValue(j);
      std::uint64_t re = 0, im = 0;
      std::memcpy(&re, &v.Re, sizeof re);
      std::memcpy(&im, &v.Im, sizeof im);
      s.value_bits.push_back(re);
      s.value_bits.push_back(im);
    }
    s.line = state.CurrentLine;
    s.cursor = state.ArgumentCursor;
    for (const auto& stack : state.BlockStack) {
      std::string text;
      for (const BlockRecord& r : stack) {
        text += std::to_string(static_cast<int>(r.kind)) + " " + std::to_string(r.start_line) +
                " " + std::to_string(r.variable_index) + " " + std::to_string(r.remaining_count) +
                " " + r.condition + " " + std::to_string(r.end_value) + " " +
                std::to_string(r.step) + ";";
      }
      s.stacks.push_back(text);
    }
    s.block_bytes = state.block_bytes;
    s.scale = {drawing.ReMin(), drawing.ReMax(), drawing.ImMin(), drawing.ImMax()};
    s.colour = drawing.DrawColour();
    s.pixels = picture.pixels;
    return s;
  }
};

}  // namespace ombrix::testing
