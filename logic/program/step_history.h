// The history of a watched run: what each step changed, one undo record per step in a
// bounded StepLog, and taking the newest back. The records are as small as a step allows
// (most steps of a drawing loop take a few bytes); the encoder and the decoder of that form
// live side by side in step_history.cpp.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "logic/program/drawing_state.h"
#include "logic/program/history_canvas.h"
#include "logic/program/interpreter.h"
#include "logic/program/step_log.h"

namespace ombrix {

// The whole history of step back, in bytes, unless a front end chooses another bound.
inline constexpr std::size_t kDefaultHistoryBytes = std::size_t{64} << 20;  // 64 MiB

class StepHistory final : public ChangeObserver {
 public:
  // Without `canvas` nothing is kept; the variables a step changed are told all the same.
  StepHistory(const VariableTable& variables, const InterpreterState& state,
              const DrawingState& drawing, HistoryCanvas* canvas);

  void SetLimit(std::size_t bytes) { log_.SetLimit(bytes); }
  std::size_t Bytes() const { return log_.Bytes(); }
  std::size_t Steps() const { return log_.Steps(); }
  // Empties the history: it begins again on the picture as it is now.
  void Forget();
  // Older steps could not be kept (the log tells of those it dropped), or the picture's
  // size changed since the history began (which forgets it).
  bool Lost() const { return lost_ || log_.Dropped() > 0; }
  bool PictureResized();

  // A step is about to run. Its changes are told through the ChangeObserver; with `keep`
  // (on, and a main program running) they go into the history, as a mouse-click run's
  // when `mouse`.
  void Begin(bool keep, bool mouse);
  // The step has run: it goes into the history unless it `failed`. `changed` takes the
  // variables whose values it changed, in order.
  void End(bool failed, std::vector<int>& changed);
  // In a batch of main-program steps, before each line after the first: the step before
  // ends and this line's begins, as End and Begin would, but the changed variables are
  // left to the batch's last step, the only one that tells them. Steps that are not kept
  // take ChainUnkept; most kept steps take ChainShort, which calls nothing, and where it
  // answers false ChainAside does it. Inline, and apart, as they run for every line.
  bool Keeping() const { return logging_; }
  void ChainUnkept() { ForgetWrites(); }
  bool ChainShort();
  [[gnu::noinline]] void ChainAside();

  // What the newest step changed, taken out of the history.
  struct Undo {
    StepUndo state;  // for the interpreter
    std::vector<HistoryCanvas::PixelChange> pixels;
    std::optional<PlaneScale> scale;
    std::optional<Colour> colour;
    bool mouse = false;  // a mouse-click run, not a main-program step
  };
  // False when the history holds no step.
  bool TakeNewest(Undo& undo);
  // The picture's width when the pixels were kept.
  int Width() const { return width_; }

  // Only the value before a variable's first write counts: the step's record keeps it
  // when the step ended with other bits.
  void BeforeWrite(int variable) override {
    const auto j = static_cast<std::size_t>(variable);
    if (written_[j]) return;
    written_[j] = true;
    first_old_[j] = variables_.CurrentValue(variable);
    written_list_[written_count_++] = variable;
  }
  void BeforePush(int k) override {
    if (logging_) Log(OpByte(StackChange::Push, k));
  }
  void BeforePop(int k) override { KeepTop(StackChange::Pop, k); }
  void BeforeTopChange(int k) override { KeepTop(StackChange::TopChange, k); }

 private:
  // What the step began with.
  struct Before {
    std::array<std::int32_t, 2> line{};
    std::array<std::int32_t, 2> cursor{};
    bool mouse = false;
  };
  // What a long record's head holds besides the counts and the line: which of the step's
  // states before it are kept.
  enum Count : std::uint8_t { kWrites, kOps, kPixels, kRecords, kCounts };
  struct LongHead {
    std::array<std::uint32_t, kCounts> counts{};
    bool wide = false;
    bool cursor = false;
    bool scale = false;
    bool colour = false;
    bool mouse_line = false;
  };

  // A change to a loop stack, kept in the log as one byte (kind | slot << 2).
  static unsigned char OpByte(StackChange kind, int slot) {
    return static_cast<unsigned char>(static_cast<unsigned>(kind) |
                                      (static_cast<unsigned>(slot) << 2));
  }
  void KeepTop(StackChange kind, int k);
  void Log(unsigned char op) {
    if (pending_ops_.size() >= log_.Limit()) {
      overflow_ = true;
      return;
    }
    pending_ops_.push_back(op);
  }
  std::span<const int> Written() const { return {written_list_.data(), written_count_}; }
  void ForgetWrites() {
    for (const int j : Written()) written_[static_cast<std::size_t>(j)] = false;
    written_count_ = 0;
  }

  // The encoder. The step about to run: what it begins with, its logs emptied.
  void Open(bool mouse);
  // The step just run goes into the log, in its short record when it has one.
  void Keep();
  [[gnu::always_inline]] bool ShortStep() const;
  bool ShortOp() const;
  // What a short record of this step takes at most.
  std::size_t ShortBytes() const;
  // With `with_op`, the step may have a stack op (Keep, which Open follows); without, it
  // has none, and the way needs no call.
  template <bool with_op>
  [[gnu::always_inline]] void PutShort(unsigned char* out);
  [[gnu::noinline]] void KeepLong();
  LongHead LongHeadOfStep() const;
  unsigned char* PutLongHead(unsigned char* start, const LongHead& head);

  // The decoder, the other way.
  const unsigned char* GetHead(const unsigned char* at, LongHead& head, unsigned& short_op,
                               Undo& undo);
  const unsigned char* GetWrites(const unsigned char* at, std::uint32_t count, Undo& undo);
  const unsigned char* GetStackChanges(const unsigned char* at, const LongHead& head,
                                       unsigned short_op, Undo& undo);

  const VariableTable& variables_;
  const InterpreterState& state_;
  const DrawingState& drawing_;
  HistoryCanvas* canvas_;
  StepLog log_{kDefaultHistoryBytes};
  bool lost_ = false;
  int width_ = 0, height_ = 0;
  // The step being run, in buffers that keep their room from step to step.
  bool logging_ = false;   // its changes go to the history
  bool overflow_ = false;  // they would not fit
  Before pending_;
  PlaneScale pending_scale_{};
  std::uint64_t pending_scale_changes_ = 0;     // DrawingState::ScaleChanges then
  Colour pending_colour_ = kBlack;              // DrawingState::DrawColour then
  std::vector<unsigned char> pending_ops_;      // OpByte each
  std::vector<unsigned char> pending_records_;  // as the log keeps them
  std::size_t pending_record_count_ = 0;
  std::vector<HistoryCanvas::PixelChange> pending_pixels_;
  // The variables it wrote, each with its value before the first write.
  std::array<bool, kTableCapacity> written_{};
  std::array<TComplex, kTableCapacity> first_old_{};
  std::array<int, kTableCapacity> written_list_{};  // the first written_count_, in order
  std::size_t written_count_ = 0;
  std::vector<unsigned char> scratch_;  // a long record's parts before and after its pixels
  std::vector<unsigned char> taken_;    // the record a step back took
};

}  // namespace ombrix

#include "logic/program/step_history_inl.h"  // IWYU pragma: export
