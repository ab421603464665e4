// Arbitrary bytes as a project file: the load must end with a project or an error, and
// whatever it accepts must save to bytes that load again. (The side file of controls has
// a target of its own, fuzz_controls.)
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "logic/complex/num_text.h"
#include "logic/program/program_text.h"
#include "logic/project/project_file.h"

namespace {

class SilentBoxes : public ombrix::MessageBoxes {
 public:
  void Show(ombrix::MessageKind, const std::string&, const std::string&) override {}
  bool Confirm(const std::string&) override { return true; }
};

}  // namespace

namespace {

void LoadSaveLoad(std::string_view bytes) {
  ombrix::ProjectContent project;
  if (ombrix::LoadProjectFromBytes(project, bytes, "fuzz.omp")) return;

  SilentBoxes boxes;
  for (int slot : {ombrix::MainProgram, ombrix::MouseHandlerProgram}) {
    ombrix::VectorEditorLines editor;
    ombrix::LoadProgramIntoEditor(project.programs[static_cast<std::size_t>(slot)], slot, editor,
                                  boxes);
    ombrix::ProgramText stored;
    ombrix::StoreEditorIntoProgram(editor, stored);
  }

  std::string saved;
  // A start value that would not read back is refused; nothing else may be.
  if (ombrix::ProjectToBytes(project, saved)) return;
  ombrix::ProjectContent again;
  if (ombrix::LoadProjectFromBytes(again, saved)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // Under both regional settings.
  for (char separator : {',', '.'}) {
    ombrix::SetDecimalSeparator(separator);
    LoadSaveLoad(bytes);
  }
  return 0;
}
