// The picture of a run that writes no picture file: it keeps no pixels.
#include <memory>
#include <string>

#include "cli/run_picture.h"
#include "logic/program/canvas.h"

namespace ombrix::cli {

namespace {

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
