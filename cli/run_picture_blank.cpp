// The picture of a run that writes no picture file: it keeps no pixels.
#include <memory>
#include <string>

#include "cli/run_picture.h"

namespace ombrix::cli {

namespace {

// Counts nothing and keeps nothing: the calls go to the trace, if any.
class BlankCanvas final : public Canvas {
 public:
  int Width() const override { return 400; }
  int Height() const override { return 400; }
  void SetPixel(int, int, Colour) override {}
  void SetPenColour(Colour) override {}
  void MoveTo(int, int) override {}
  void LineTo(int, int) override {}
  void SetBrushSolid(bool) override {}
  void FillRect(int, int, int, int) override {}
  void Ellipse(int, int, int, int) override {}
};

const char* const kNoPictureFiles =
    "Bilddateien liest und schreibt ombrix-cli in dieser Ausgabe nicht (--picture, --png, "
    "--svg, --pdf).";

class BlankRunPicture final : public RunPicture {
 public:
  Canvas& canvas() override { return canvas_; }
  DrawingRecord* commands() override { return nullptr; }
  bool Load(const std::string&, MessageBoxes& boxes) override {
    boxes.Show(MessageKind::Error, kNoPictureFiles);
    return false;
  }
  bool Write(const PictureOutputs& outputs, MessageBoxes& boxes) override {
    if (!outputs.png && outputs.vectors.empty()) return true;
    boxes.Show(MessageKind::Error, kNoPictureFiles);
    return false;
  }

 private:
  BlankCanvas canvas_;
};

}  // namespace

std::unique_ptr<RunPicture> MakeBlankRunPicture() { return std::make_unique<BlankRunPicture>(); }

}  // namespace ombrix::cli
