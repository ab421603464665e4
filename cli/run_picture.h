// The picture of "ombrix-cli run" and its files: the canvas the program draws on (400 x 400
// pixels, or the picture "--picture" loads) and what "--png", "--svg" and "--pdf" write at
// the end. The desktop tool draws with Qt (run_picture_qt.cpp); the tool built for node
// (web/) has no picture files.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "logic/complex/messages.h"
#include "logic/program/canvas.h"
#include "logic/program/drawing_record.h"

namespace ombrix::cli {

struct PictureOutputs {
  std::optional<std::string> png;                            // UTF-8, as given
  std::vector<std::pair<std::string, std::string>> vectors;  // "--svg" or "--pdf", the file
};

class RunPicture {
 public:
  virtual ~RunPicture() = default;
  virtual Canvas& canvas() = 0;
  // Where the drawing commands are kept for the vector outputs; null where none are.
  virtual DrawingRecord* commands() = 0;
  // "--picture FILE", as "Bild öffnen": false (after the message) when it is refused.
  [[nodiscard]] virtual bool Load(const std::string& path, MessageBoxes& boxes) = 0;
  // The PNG first, then the vector pictures in order; false after the message when one
  // cannot be written.
  [[nodiscard]] virtual bool Write(const PictureOutputs& outputs, MessageBoxes& boxes) = 0;
};

std::unique_ptr<RunPicture> MakeRunPicture();

}  // namespace ombrix::cli
