// "--svg OUT" and "--pdf OUT" of "ombrix-cli run": the picture at the end of the run as
// shapes, as "Bild exportieren" in the window writes it.
#pragma once

#include <QGuiApplication>
#include <QImage>
#include <optional>
#include <string>
#include <vector>

#include "logic/complex/messages.h"
#include "platform/picture_export.h"

namespace ombrix::cli {

// A GUI application while it lives, if none runs yet: painting text and writing SVG need
// fonts, which the tool without a window otherwise lacks.
class GuiForFonts {
 public:
  GuiForFonts();

 private:
  std::optional<QGuiApplication> application_;
};

struct VectorOutput {
  VectorFormat format;
  std::string path;  // UTF-8, as given
};

// Takes "--svg" or "--pdf" with its value into `outputs`; false for any other option.
bool TakeVectorOption(const std::string& name, const std::string& value,
                      std::vector<VectorOutput>& outputs);

// Writes every output; false after the first that cannot be written, shown as an error box.
[[nodiscard]] bool WriteVectorOutputs(const std::vector<VectorOutput>& outputs,
                                      const QImage& pixels, const PictureRecord& record,
                                      MessageBoxes& boxes);

}  // namespace ombrix::cli
