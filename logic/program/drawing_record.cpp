#include "logic/program/drawing_record.h"

#include "logic/complex/fault.h"

namespace ombrix {

namespace {

// Passes drawing calls on until there were too many, then drops them.
class BoundedCanvas final : public Canvas {
 public:
  BoundedCanvas(Canvas& target, std::size_t max_calls) : target_(target), left_(max_calls) {}
  bool Exceeded() const { return exceeded_; }

  int Width() const override { return target_.Width(); }
  int Height() const override { return target_.Height(); }
  void SetPixel(int x, int y, Colour colour) override {
    if (Take()) target_.SetPixel(x, y, colour);
  }
  void SetPenColour(Colour colour) override { target_.SetPenColour(colour); }
  void MoveTo(int x, int y) override { target_.MoveTo(x, y); }
  void LineTo(int x, int y) override {
    if (Take()) target_.LineTo(x, y);
  }
  void SetBrushSolid(bool solid) override { target_.SetBrushSolid(solid); }
  void FillRect(int left, int top, int right, int bottom) override {
    if (Take()) target_.FillRect(left, top, right, bottom);
  }
  void Ellipse(int left, int top, int right, int bottom) override {
    if (Take()) target_.Ellipse(left, top, right, bottom);
  }

 private:
  bool Take() {
    if (left_ == 0) {
      exceeded_ = true;
      return false;
    }
    --left_;
    return true;
  }

  Canvas& target_;
  std::size_t left_;
  bool exceeded_ = false;
};

}  // namespace

void DrawingRecord::Restart(bool on_picture) {
  entries_.clear();  // the room stays: a program that clears every frame reuses it
  colour_ = kBlack;
  overflowed_ = false;
  on_picture_ = on_picture;
}

void DrawingRecord::Append(Command command, const TComplex* a, const DrawingState& drawing) {
  const std::array<double, 4> scale = {drawing.ReMin(), drawing.ReMax(), drawing.ImMin(),
                                       drawing.ImMax()};
  const bool new_scale = entries_.empty() || scale != scale_;
  const bool new_colour = drawing.DrawColour() != colour_;
  if (entries_.size() + (new_scale ? 1 : 0) + (new_colour ? 1 : 0) + 1 > kMaxEntries) {
    overflowed_ = true;
    entries_.clear();
    entries_.shrink_to_fit();
    return;
  }
  if (new_scale) {
    entries_.push_back({Command::SetzeSkala, scale});
    scale_ = scale;
  }
  if (new_colour) {
    colour_ = drawing.DrawColour();
    entries_.push_back({Command::SetzeFarbe, {static_cast<double>(colour_)}});
  }
  Entry entry{command, {}};
  const int arguments = CommandArgumentCount(static_cast<int>(command));
  for (std::size_t i = 0; static_cast<int>(i) < arguments && i < 2; ++i) {
    entry.values[2 * i] = a[i].Re;
    entry.values[2 * i + 1] = a[i].Im;
  }
  entries_.push_back(entry);
}

bool DrawingRecord::Replay(Canvas& canvas, std::size_t max_calls) const {
  if (overflowed_) return false;
  BoundedCanvas bounded(canvas, max_calls);
  DrawingState drawing;
  drawing.AttachPicture(&canvas);
  try {
    for (const Entry& entry : entries_) {
      const std::array<double, 4>& v = entry.values;
      if (entry.command == Command::SetzeSkala) {
        drawing.SetScale(v[0], v[1], v[2], v[3]);
        continue;
      }
      if (entry.command == Command::SetzeFarbe) {  // as the command itself does it
        drawing.SetDrawColour(static_cast<Colour>(v[0]));
        bounded.SetPenColour(drawing.DrawColour());
        continue;
      }
      const TComplex arguments[2] = {{v[0], v[1]}, {v[2], v[3]}};
      // A command that refuses its arguments now would not draw what the pixels show.
      if (PerformCommand(static_cast<int>(entry.command), arguments, drawing, bounded) ||
          bounded.Exceeded()) {
        return false;
      }
    }
  } catch (const Fault&) {
    return false;
  }
  return true;
}

}  // namespace ombrix
