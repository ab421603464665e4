#include "cli/run_export.h"

#include <QString>
#include <optional>

namespace ombrix::cli {

GuiForFonts::GuiForFonts() {
  if (QCoreApplication::instance() != nullptr) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "ombrix-cli";
  static char* argv[] = {name, nullptr};
  application_.emplace(argc, argv);
}

bool TakeVectorOption(const std::string& name, const std::string& value,
                      std::vector<VectorOutput>& outputs) {
  if (name == "--svg") {
    outputs.push_back({VectorFormat::Svg, value});
  } else if (name == "--pdf") {
    outputs.push_back({VectorFormat::Pdf, value});
  } else {
    return false;
  }
  return true;
}

bool WriteVectorOutputs(const std::vector<VectorOutput>& outputs, const QImage& pixels,
                        const PictureRecord& record, MessageBoxes& boxes) {
  if (outputs.empty()) return true;
  const GuiForFonts fonts;
  for (const VectorOutput& output : outputs) {
    const QString path =
        QString::fromUtf8(output.path.data(), static_cast<qsizetype>(output.path.size()));
    if (const std::optional<std::string> problem =
            WriteVectorPicture(pixels, record, path, output.format)) {
      boxes.Show(MessageKind::Error, *problem);
      return false;
    }
  }
  return true;
}

}  // namespace ombrix::cli
