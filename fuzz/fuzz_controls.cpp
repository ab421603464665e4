// Arbitrary bytes as the side file of controls: reading ends with the controls or a
// reason, and whatever it takes is written to a text that reads back to the same controls
// and the same text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "logic/project/controls_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  ombrix::ControlSet set;
  if (ombrix::ControlsFromText(bytes, set)) return 0;
  if (set.controls.size() > ombrix::kMaxControls) __builtin_trap();
  const std::string written = ombrix::ControlsToText(set);
  ombrix::ControlSet again;
  if (ombrix::ControlsFromText(written, again) || ombrix::ControlsToText(again) != written ||
      again.controls.size() != set.controls.size()) {
    __builtin_trap();
  }
  for (std::size_t n = 0; n < set.controls.size(); ++n) {
    if (again.controls[n].variable != set.controls[n].variable) __builtin_trap();
  }
  return 0;
}
