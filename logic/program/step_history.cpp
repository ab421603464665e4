#include "logic/program/step_history.h"

#include <algorithm>
#include <cstring>

#include "logic/program/same_bits.h"

namespace ombrix {

using namespace step_record;

namespace {

// A loop record as the log keeps it: its kind; a byte of LoopField that tells which
// fields follow (those that are not 0) and whether the condition's size takes four
// bytes or one; those fields; the size; and the condition's bytes.
enum LoopField : std::uint8_t {
  kStartLine = 1,
  kVariable = 2,
  kRemaining = 4,
  kEndValue = 8,
  kStep = 16,
  kLongCondition = 32,
};
constexpr std::size_t kMaxLoopRecordBytes = 2 + 3 * 4 + 2 * 8 + 4;
unsigned char* PutLoopRecord(unsigned char* out, const BlockRecord& r) {
  const std::size_t size = r.condition.size();
  const bool long_condition = size >= 0xFF;
  *out++ = static_cast<unsigned char>(r.kind);
  unsigned char& fields = *out++;
  fields = static_cast<unsigned char>(
      (r.start_line != 0 ? +kStartLine : 0) | (r.variable_index != 0 ? +kVariable : 0) |
      (r.remaining_count != 0 ? +kRemaining : 0) | (!SameBits(r.end_value, 0.0) ? +kEndValue : 0) |
      (!SameBits(r.step, 0.0) ? +kStep : 0) | (long_condition ? +kLongCondition : 0));
  if ((fields & kStartLine) != 0) out = PutBytes(out, &r.start_line, sizeof r.start_line);
  if ((fields & kVariable) != 0) out = PutBytes(out, &r.variable_index, sizeof r.variable_index);
  if ((fields & kRemaining) != 0) out = PutBytes(out, &r.remaining_count, sizeof r.remaining_count);
  if ((fields & kEndValue) != 0) out = PutBytes(out, &r.end_value, sizeof r.end_value);
  if ((fields & kStep) != 0) out = PutBytes(out, &r.step, sizeof r.step);
  if (long_condition) {
    const auto wide = static_cast<std::uint32_t>(size);
    out = PutBytes(out, &wide, sizeof wide);
  } else {
    *out++ = static_cast<unsigned char>(size);
  }
  return size > 0 ? PutBytes(out, r.condition.data(), size) : out;
}
BlockRecord GetLoopRecord(const unsigned char*& at) {
  BlockRecord r;
  r.kind = static_cast<BlockKind>(*at++);
  const unsigned fields = *at++;
  if ((fields & kStartLine) != 0) GetBytes(at, &r.start_line, sizeof r.start_line);
  if ((fields & kVariable) != 0) GetBytes(at, &r.variable_index, sizeof r.variable_index);
  if ((fields & kRemaining) != 0) GetBytes(at, &r.remaining_count, sizeof r.remaining_count);
  if ((fields & kEndValue) != 0) GetBytes(at, &r.end_value, sizeof r.end_value);
  if ((fields & kStep) != 0) GetBytes(at, &r.step, sizeof r.step);
  std::uint32_t size = 0;
  if ((fields & kLongCondition) != 0) {
    GetBytes(at, &size, sizeof size);
  } else {
    size = *at++;
  }
  r.condition.assign(reinterpret_cast<const char*>(at), size);
  at += size;
  return r;
}

}  // namespace

StepHistory::StepHistory(const VariableTable& variables, const InterpreterState& state,
                         const DrawingState& drawing, HistoryCanvas* canvas)
    : variables_(variables), state_(state), drawing_(drawing), canvas_(canvas) {
  Forget();
}

void StepHistory::Forget() {
  log_.Clear();
  lost_ = false;
  if (canvas_ != nullptr) {
    width_ = canvas_->Width();
    height_ = canvas_->Height();
  }
}

bool StepHistory::PictureResized() {
  if (canvas_->Width() == width_ && canvas_->Height() == height_) return false;
  Forget();
  lost_ = true;
  return true;
}

void StepHistory::KeepTop(StackChange kind, int k) {
  if (!logging_) return;
  Log(OpByte(kind, k));
  const BlockRecord& top = state_.BlockStack[static_cast<std::size_t>(k)].back();
  const std::size_t kept = pending_records_.size();
  const std::size_t most = kMaxLoopRecordBytes + top.condition.size();
  if (kept + most > log_.Limit()) {
    overflow_ = true;
    return;
  }
  pending_records_.resize(kept + most);
  const unsigned char* end = PutLoopRecord(pending_records_.data() + kept, top);
  pending_records_.resize(static_cast<std::size_t>(end - pending_records_.data()));
  ++pending_record_count_;
}

// --- A step's changes, into the log ---

void StepHistory::ChainAside() {
  Keep();
  ForgetWrites();
  Open(false);
}

void StepHistory::Open(bool mouse) {
  pending_.line = state_.CurrentLine;
  pending_.cursor = state_.ArgumentCursor;
  pending_.mouse = mouse;
  pending_scale_ = drawing_.Scale();
  pending_scale_changes_ = drawing_.ScaleChanges();
  pending_colour_ = drawing_.DrawColour();
  overflow_ = false;
  pending_ops_.clear();
  pending_record_count_ = 0;
  pending_records_.clear();
  pending_pixels_.clear();
  canvas_->Record(&pending_pixels_, log_.Limit() / sizeof(HistoryCanvas::PixelChange));
}

void StepHistory::Keep() {
  unsigned char* const out = pending_.mouse || !ShortStep() ? nullptr : log_.Reserve(ShortBytes());
  if (out != nullptr) {
    PutShort<true>(out);
  } else {
    KeepLong();
  }
}

std::size_t StepHistory::ShortBytes() const {
  return pending_ops_.empty() ? kMaxShortBytes : kMaxShortBytes + pending_records_.size();
}

// The stack op of a short record: a push, or a pop with its record kept.
bool StepHistory::ShortOp() const {
  const unsigned char op = pending_ops_[0];
  return (op == OpByte(StackChange::Push, MainProgram) ||
          (op == OpByte(StackChange::Pop, MainProgram) && !overflow_)) &&
         ShortBytes() <= StepLog::kMaxPacked;
}

StepHistory::LongHead StepHistory::LongHeadOfStep() const {
  std::uint32_t writes = 0;
  for (const int j : Written()) {
    if (!SameBits(first_old_[static_cast<std::size_t>(j)], variables_.CurrentValue(j))) ++writes;
  }
  LongHead h;
  h.counts = {writes, static_cast<std::uint32_t>(pending_ops_.size()),
              static_cast<std::uint32_t>(pending_pixels_.size()),
              static_cast<std::uint32_t>(pending_record_count_)};
  h.wide = *std::max_element(h.counts.begin(), h.counts.end()) > 0xFF;
  h.cursor = pending_.cursor[0] != 0 || pending_.cursor[1] != 0;
  h.scale = !SameBits(pending_scale_, drawing_.Scale());
  h.colour = pending_colour_ != drawing_.DrawColour();
  h.mouse_line = pending_.line[1] != state_.CurrentLine[1];
  return h;
}

// Packed straight into the log's open block when the record is small enough, else put
// together beside it, its pixels taken from where they are.
unsigned char* StepHistory::PutLongHead(unsigned char* const start, const LongHead& h) {
  const Before& b = pending_;
  unsigned char* out = start + 2;
  for (const std::uint32_t count : h.counts) {
    if (h.wide) {
      out = PutBytes(out, &count, sizeof count);
    } else {
      *out++ = static_cast<unsigned char>(count);
    }
  }
  unsigned line = 0;
  out = PutLine(out, b.line[0], state_.CurrentLine[0], line);
  start[0] = static_cast<unsigned char>(line | (b.mouse ? +kMouseStep : 0) | kMore);
  start[1] = static_cast<unsigned char>(
      (h.cursor ? +kCursorKept : 0) | (h.scale ? +kScaleKept : 0) | (h.colour ? +kColourKept : 0) |
      (h.mouse_line ? +kMouseLineKept : 0) | (h.wide ? +kWideCounts : 0));
  if (h.cursor) out = PutBytes(out, b.cursor.data(), sizeof b.cursor);
  if (h.mouse_line) out = PutBytes(out, &b.line[1], sizeof b.line[1]);
  for (const int j : Written()) {
    const TComplex old = first_old_[static_cast<std::size_t>(j)];
    const TComplex value = variables_.CurrentValue(j);
    unsigned forms = 0;
    if (!SameBits(old, value)) out = PutWrite(out, j, old, value, forms);
  }
  if (!pending_ops_.empty()) out = PutBytes(out, pending_ops_.data(), pending_ops_.size());
  return out;
}

void StepHistory::KeepLong() {
  if (!pending_pixels_.empty() && (canvas_->Width() != width_ || canvas_->Height() != height_)) {
    Forget();  // pixels are kept by their index in a picture of one size
  }
  if (overflow_ || canvas_->Overflowed()) {
    // Too large for the history: neither it nor the steps before it can be undone.
    Forget();
    lost_ = true;
    return;
  }
  const LongHead h = LongHeadOfStep();
  const Before& b = pending_;
  const std::size_t head_most = 2 + kCounts * sizeof(std::uint32_t) + kMaxLineBytes +
                                sizeof b.cursor + sizeof b.line[1] +
                                written_count_ * kMaxWriteBytes + pending_ops_.size();
  const std::size_t pixel_bytes = pending_pixels_.size() * sizeof(HistoryCanvas::PixelChange);
  const std::size_t tail_most = sizeof(PlaneScale) + sizeof(Colour) + pending_records_.size();
  const auto put_tail = [&](unsigned char* out) {
    if (h.scale) out = PutBytes(out, &pending_scale_, sizeof pending_scale_);
    if (h.colour) out = PutBytes(out, &pending_colour_, sizeof pending_colour_);
    if (!pending_records_.empty()) {
      out = PutBytes(out, pending_records_.data(), pending_records_.size());
    }
    return out;
  };
  const std::size_t most = head_most + pixel_bytes + tail_most;
  if (unsigned char* const start = most <= StepLog::kMaxPacked ? log_.Reserve(most) : nullptr) {
    unsigned char* out = PutLongHead(start, h);
    if (pixel_bytes > 0) out = PutBytes(out, pending_pixels_.data(), pixel_bytes);
    log_.Commit(static_cast<std::size_t>(put_tail(out) - start));
    return;
  }
  if (scratch_.size() < head_most + tail_most) scratch_.resize(head_most + tail_most);
  unsigned char* const head = scratch_.data();
  unsigned char* const tail = head + head_most;
  const unsigned char* const head_end = PutLongHead(head, h);
  const unsigned char* const tail_end = put_tail(tail);
  if (!log_.Add({{head, static_cast<std::size_t>(head_end - head)},
                 {pending_pixels_.data(), pixel_bytes},
                 {tail, static_cast<std::size_t>(tail_end - tail)}})) {
    // Too large for the history: neither it nor the steps before it can be undone.
    Forget();
    lost_ = true;
  }
}

// --- The newest record, out of the log ---

bool StepHistory::TakeNewest(Undo& undo) {
  if (!log_.TakeNewest(taken_)) return false;
  undo = Undo{};
  LongHead head;
  unsigned short_op = 0;
  const unsigned char* at = GetHead(taken_.data(), head, short_op, undo);
  at = GetWrites(at, head.counts[kWrites], undo);
  at = GetStackChanges(at, head, short_op, undo);
  return true;
}

// The head, the counts and where both programs stood; `at` moves past them.
const unsigned char* StepHistory::GetHead(const unsigned char* at, LongHead& head,
                                          unsigned& short_op, Undo& undo) {
  const std::uint8_t first = *at++;
  const bool more = (first & kMore) != 0;
  const std::uint8_t flags = more ? *at++ : 0;
  head.wide = (flags & kWideCounts) != 0;
  head.cursor = (flags & kCursorKept) != 0;
  head.scale = (flags & kScaleKept) != 0;
  head.colour = (flags & kColourKept) != 0;
  head.mouse_line = (flags & kMouseLineKept) != 0;
  undo.mouse = (first & kMouseStep) != 0;
  if (!more) {
    head.counts[kWrites] = (first >> kWritesShift) & 3u;
    short_op = first >> kOpShift;
  } else {
    for (std::uint32_t& count : head.counts) {
      if (head.wide) {
        GetBytes(at, &count, sizeof count);
      } else {
        count = *at++;
      }
    }
  }
  StepUndo& state = undo.state;
  state.line = {GetLine(at, first, state_.CurrentLine[0]), state_.CurrentLine[1]};
  if (head.cursor) GetBytes(at, state.cursor.data(), sizeof state.cursor);
  if (head.mouse_line) GetBytes(at, &state.line[1], sizeof state.line[1]);
  return at;
}

// A step changes each variable once, as a whole: the writes come back in any order.
const unsigned char* StepHistory::GetWrites(const unsigned char* at, std::uint32_t count,
                                            Undo& undo) {
  for (std::uint32_t i = 0; i < count; ++i) {
    const int variable = *at++;
    const unsigned halves = *at++;  // the forms of the two halves
    const TComplex now = variables_.CurrentValue(variable);
    const double re = GetHalf(at, halves, now.Re);
    const double im = GetHalf(at, halves >> 2, now.Im);
    undo.state.values.push_back({variable, {re, im}});
  }
  return at;
}

// The stack ops, the pixels, the scale, the colour and the loop records; each op that took a record
// away or changed it gets that record, in the order they were made.
const unsigned char* StepHistory::GetStackChanges(const unsigned char* at, const LongHead& head,
                                                  unsigned short_op, Undo& undo) {
  std::vector<StepUndo::Stack>& stacks = undo.state.stacks;
  if (short_op != 0) {
    const auto kind = static_cast<StackChange>(short_op - 1);
    stacks.push_back({kind, MainProgram, {}});
    if (kind == StackChange::Pop) stacks.back().record = GetLoopRecord(at);
  }
  for (std::uint32_t i = 0; i < head.counts[kOps]; ++i) {
    const unsigned op = *at++;
    stacks.push_back({static_cast<StackChange>(op & 3u), static_cast<int>((op >> 2) & 1u), {}});
  }
  undo.pixels.resize(head.counts[kPixels]);
  GetBytes(at, undo.pixels.data(), undo.pixels.size() * sizeof(HistoryCanvas::PixelChange));
  if (head.scale) {
    PlaneScale scale;
    GetBytes(at, &scale, sizeof scale);
    undo.scale = scale;
  }
  if (head.colour) GetBytes(at, &undo.colour.emplace(), sizeof(Colour));
  for (StepUndo::Stack& stack : stacks) {
    if (short_op == 0 && stack.change != StackChange::Push) stack.record = GetLoopRecord(at);
  }
  return at;
}

}  // namespace ombrix
