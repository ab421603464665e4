// The short record of a step, the form most steps of a run take, with its reading: inline,
// as it is written for every line of a watched run. step_history.cpp holds the rest of the
// record's form, and takes records back.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "logic/program/same_bits.h"

namespace ombrix::step_record {

// One step of the history is one record of the log, as small as the step allows. Most
// steps move the main program, write a variable or two and at most push or pop one loop
// record of its stack, nothing else: their record is the head byte, where the main
// program stood (PutLine), the writes (PutWrite), and for a pop the record popped
// (PutLoopRecord); such a step takes a few bytes. Any other step's head has kMore, and a
// byte of MoreFlag and the counts (Count) follow it; then where the main program stood;
// the cursors and the mouse-click program's line when kept; its writes; its stack ops, a
// byte each; its pixels; the old scale and colour when kept; and the loop records it took away or
// changed (PutLoopRecord). What the loop records hold in bytes follows from the records:
// the interpreter counts it again as it puts them back.
enum HeadFlag : std::uint8_t {
  kLineAsNow = 0,      // the main program stood where it stands
  kLineOneBefore = 1,  // on the line before
  kLineNear = 2,       // elsewhere, within a signed byte of here: the distance follows
  kLineFar = 3,        // further away: the line follows
  kLineBits = 3,
  kMouseStep = 4,  // a mouse-click run, not a main-program step
  kMore = 8,
};
// Without kMore the head counts the writes in bits 4 and 5, and tells the stack op in
// bits 6 and 7: 0 for none, else 1 + its StackChange (a push or a pop).
inline constexpr unsigned kWritesShift = 4;
inline constexpr unsigned kOpShift = 6;
enum MoreFlag : std::uint8_t {
  kCursorKept = 1,
  kColourKept = 2,
  kScaleKept = 4,
  kMouseLineKept = 8,
  kWideCounts = 16,  // the counts take four bytes each, not one
};

inline unsigned char* PutBytes(unsigned char* out, const void* data, std::size_t size) {
  std::memcpy(out, data, size);
  return out + size;
}

inline void GetBytes(const unsigned char*& at, void* data, std::size_t size) {
  if (size > 0) std::memcpy(data, at, size);
  at += size;
}

// Where the main program stood before the step, `now` standing where it stands: the
// line form, and at `out` (room for four bytes) what it needs.
inline constexpr std::size_t kMaxLineBytes = sizeof(std::int32_t);
inline unsigned char* PutLine(unsigned char* out, std::int32_t before, std::int32_t now,
                              unsigned& form) {
  const std::int64_t distance = std::int64_t{before} - now;
  if (distance == -1 || distance == 0) {
    form = distance == 0 ? kLineAsNow : kLineOneBefore;
    return out;
  }
  if (distance >= INT8_MIN && distance <= INT8_MAX) {
    form = kLineNear;
    *out = static_cast<unsigned char>(static_cast<std::int8_t>(distance));
    return out + 1;
  }
  form = kLineFar;
  return PutBytes(out, &before, sizeof before);
}
inline std::int32_t GetLine(const unsigned char*& at, unsigned form, std::int32_t now) {
  switch (form & kLineBits) {
    case kLineOneBefore:
      return now - 1;
    case kLineNear:
      return static_cast<std::int32_t>(now + static_cast<std::int8_t>(*at++));
    case kLineFar: {
      std::int32_t before = 0;
      GetBytes(at, &before, sizeof before);
      return before;
    }
    default:
      return now;
  }
}

// A variable the step changed: its index, a byte with the form of each half of its old
// value (HalfForm; the real half in the low two bits), and the halves kept. A counter
// that went up by one keeps nothing: its old value is the new one less one, and taking
// one off gives those bits again. Both halves are written and the pointer moves past
// those kept, so the way through does not depend on the values; there is room for
// kMaxWriteBytes. The forms are 0 when the step wrote the bits it found.
enum HalfForm : unsigned { kHalfSame = 0, kHalfKept = 1, kHalfOneLess = 2 };
static_assert(kTableCapacity <= 256, "a variable index is kept in one byte");
inline constexpr std::size_t kMaxWriteBytes = 2 + sizeof(TComplex);
inline unsigned HalfFormOf(double old, double now) {
  if (SameBits(old, now)) return kHalfSame;
  return SameBits(old, now - 1) ? kHalfOneLess : kHalfKept;
}
[[gnu::always_inline]] inline unsigned char* PutWrite(unsigned char* out, int variable,
                                                      TComplex old, TComplex now, unsigned& forms) {
  const unsigned re = HalfFormOf(old.Re, now.Re), im = HalfFormOf(old.Im, now.Im);
  forms = re | im << 2;
  out[0] = static_cast<unsigned char>(variable);
  out[1] = static_cast<unsigned char>(forms);
  std::memcpy(out + 2, &old.Re, sizeof old.Re);
  std::memcpy(out + 2 + (re == kHalfKept ? sizeof old.Re : 0), &old.Im, sizeof old.Im);
  return out + 2 + (re == kHalfKept ? sizeof old.Re : 0) + (im == kHalfKept ? sizeof old.Im : 0);
}
inline double GetHalf(const unsigned char*& at, unsigned form, double now) {
  switch (form & 3u) {
    case kHalfKept:
      GetBytes(at, &now, sizeof now);
      return now;
    case kHalfOneLess:
      return now - 1;
    default:
      return now;
  }
}

// The writes a short record keeps at most, and the bytes it takes at most.
inline constexpr std::size_t kMaxShortWrites = 2;
inline constexpr std::size_t kMaxShortBytes = 1 + kMaxLineBytes + kMaxShortWrites * kMaxWriteBytes;
static_assert(kMaxShortBytes <= StepLog::kMaxPacked);

}  // namespace ombrix::step_record

namespace ombrix {

inline void StepHistory::Begin(bool keep, bool mouse) {
  logging_ = keep && canvas_ != nullptr;
  if (logging_) Open(mouse);
}

inline void StepHistory::End(bool failed, std::vector<int>& changed) {
  changed.clear();
  for (const int j : Written()) {
    if (!SameBits(first_old_[static_cast<std::size_t>(j)], variables_.CurrentValue(j))) {
      changed.push_back(j);
    }
  }
  if (changed.size() > 1) std::sort(changed.begin(), changed.end());
  if (logging_) {
    logging_ = false;
    if (!failed) Keep();
    canvas_->Record(nullptr);
  }
  ForgetWrites();
}

inline bool StepHistory::ChainShort() {
  unsigned char* const out = pending_ops_.empty() && ShortStep()
                                 ? log_.ReserveInOpenBlock(step_record::kMaxShortBytes)
                                 : nullptr;
  if (out == nullptr) return false;
  PutShort<false>(out);
  return true;
}

// A main-program step that moved the main line, wrote at most step_record::kMaxShortWrites
// variables, pushed or popped at most one loop record of the main program and changed nothing else.
// A pixel log that overflowed has entries whenever the log has blocks (a short record
// needs them), and KeepLong sees it, as it sees a record too large to keep.
inline bool StepHistory::ShortStep() const {
  const Before& b = pending_;
  return pending_ops_.size() <= 1 && pending_pixels_.empty() &&
         written_count_ <= step_record::kMaxShortWrites && (b.cursor[0] | b.cursor[1]) == 0 &&
         b.line[1] == state_.CurrentLine[1] && drawing_.ScaleChanges() == pending_scale_changes_ &&
         drawing_.DrawColour() == pending_colour_ && (pending_ops_.empty() || ShortOp());
}

// Written straight into the log's open block, at `out` (room for ShortBytes). Every
// part is written and those the step does not need are written over: the way through
// does not depend on what the step changed. The step's writes are forgotten, and the
// step after it begins where it ended.
template <bool with_op>
inline void StepHistory::PutShort(unsigned char* const out) {
  unsigned line = 0;
  unsigned char* at = step_record::PutLine(out + 1, pending_.line[0], state_.CurrentLine[0], line);
  unsigned writes = 0;
  for (const int j : Written()) {
    const auto index = static_cast<std::size_t>(j);
    written_[index] = false;
    unsigned forms = 0;
    unsigned char* const next =
        step_record::PutWrite(at, j, first_old_[index], variables_.CurrentValue(j), forms);
    const bool changed = forms != 0;
    at = changed ? next : at;
    writes += changed ? 1 : 0;
  }
  written_count_ = 0;
  unsigned op = 0;
  if (with_op && !pending_ops_.empty()) {
    const auto kind = static_cast<StackChange>(pending_ops_[0] & 3u);
    op = 1 + static_cast<unsigned>(kind);
    if (kind == StackChange::Pop) {
      at = step_record::PutBytes(at, pending_records_.data(), pending_records_.size());
    }
  }
  *out = static_cast<unsigned char>(line | writes << step_record::kWritesShift |
                                    op << step_record::kOpShift);
  log_.Commit(static_cast<std::size_t>(at - out));
  pending_.line = state_.CurrentLine;
  pending_.cursor = state_.ArgumentCursor;
}

}  // namespace ombrix
