// The picture of "ombrix-cli run" and its files: the canvas the program draws on (400 x 400
// pixels, or the picture "--picture" loads) and what "--png", "--svg" and "--pdf" write at
// the end. The tool with Qt draws with it (run_picture_qt.cpp); the tool without Qt and
// the one built for node (web/) keep no pixels.
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

// The picture of a run; `files`: the run reads or writes picture files. Null where this
// tool cannot give that picture (the command is then handed over).
std::unique_ptr<RunPicture> MakeRunPicture(bool files);

// A picture that keeps nothing and refuses files with a message, for a run whose pixels
// nobody sees: every drawing call still reaches it (and the trace).
std::unique_ptr<RunPicture> MakeBlankRunPicture();

}  // namespace ombrix::cli
