// The drawing commands since the picture was last cleared or loaded, in plane coordinates
// with the scale and the colour each ran under, so that an export can draw them again as
// shapes instead of pixels. Bounded: past kMaxEntries the list gives up and says so, and
// then costs a run one test per command.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "logic/program/canvas.h"
#include "logic/program/drawing_state.h"
#include "logic/program/interpreter.h"

namespace ombrix {

class DrawingRecord {
 public:
  // 40 bytes each: the list holds at most about 1.3 MB with the vector's spare room.
  static constexpr std::size_t kMaxEntries = 20000;

  struct Entry {
    // A drawing command, or SetzeSkala for the scale of the commands after it, or
    // SetzeFarbe for their colour.
    Command command = Command::SetzeSkala;
    // The arguments' parts in order (a0.Re, a0.Im, a1.Re, a1.Im); for the scale ReMin,
    // ReMax, ImMin, ImMax; for the colour its RGB value first.
    std::array<double, 4> values{};
  };

  // The picture was cleared white, or took over a loaded picture (`on_picture`): the list
  // starts afresh on it.
  void Restart(bool on_picture);
  // Command `number` has just run with `arguments` under `drawing`'s scale.
  void Add(int number, const TComplex* arguments, const DrawingState& drawing) {
    if (number == static_cast<int>(Command::LoescheBild)) {
      Restart(false);
    } else if (!overflowed_ && number != static_cast<int>(Command::SetzeSkala) &&
               number != static_cast<int>(Command::SetzeFarbe)) {
      Append(static_cast<Command>(number), arguments, drawing);
    }
  }

  // Every command since the start is in the list (false once it was too long).
  bool Complete() const { return !overflowed_; }
  // The commands were drawn over a loaded picture rather than on white.
  bool OnPicture() const { return on_picture_; }
  const std::vector<Entry>& Entries() const { return entries_; }

  // Draws the list again on `canvas`, through the same commands and the mapping onto the
  // canvas's size. False once the commands made more than `max_calls` drawing calls
  // (pixels, lines, rectangles, ellipses), when the list is not complete, or when a
  // command faults or refuses; what was drawn until then stays.
  [[nodiscard]] bool Replay(Canvas& canvas, std::size_t max_calls) const;

 private:
  void Append(Command command, const TComplex* arguments, const DrawingState& drawing);

  std::vector<Entry> entries_;
  std::array<double, 4> scale_{};  // of the last scale entry
  Colour colour_ = kBlack;         // of the last colour entry, or black
  bool overflowed_ = false;
  bool on_picture_ = false;
};

}  // namespace ombrix
