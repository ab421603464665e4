#include "logic/program/step_log.h"

#include <algorithm>

namespace ombrix {

// A block a ring of the bound less that block still holds beside its frame: under a small
// bound every record is a block of its own.
std::size_t StepLog::BlockFor(std::size_t limit) {
  return limit < 128 ? 0 : std::min(kBlockBytes, limit / 8);
}

StepLog::StepLog(std::size_t limit)
    : limit_(limit), block_bytes_(BlockFor(limit)), ring_(limit - block_bytes_) {}

void StepLog::Clear() {
  ring_.Clear();
  filled_ = 0;
  filled_steps_ = 0;
  block_steps_.clear();
  ring_steps_ = 0;
  dropped_seen_ = 0;
}

void StepLog::SetLimit(std::size_t limit) {
  // The open block fits the ring it was made for (or came from); closed, it falls away
  // with the others when the new bound is lower.
  if (!CloseBlock()) Clear();
  limit_ = limit;
  block_bytes_ = BlockFor(limit);
  room_ = block_.size() >= block_bytes_ ? block_bytes_ : 0;
  ring_.SetLimit(limit - block_bytes_);
  CountDropped();
}

void StepLog::CountDropped() {
  for (; dropped_seen_ < ring_.Dropped(); ++dropped_seen_) {
    ring_steps_ -= block_steps_.front();
    block_steps_.pop_front();
  }
}

bool StepLog::CloseBlock() {
  if (filled_ == 0) return true;
  if (!ring_.Add(block_.data(), filled_)) return false;
  block_steps_.push_back(static_cast<std::uint32_t>(filled_steps_));
  ring_steps_ += filled_steps_;
  filled_ = 0;
  filled_steps_ = 0;
  CountDropped();
  return true;
}

unsigned char* StepLog::ReserveInNewBlock(std::size_t most) {
  if (!CloseBlock() || most >= block_bytes_) return nullptr;
  if (block_.size() < block_bytes_) block_.resize(block_bytes_);
  room_ = block_bytes_;
  return block_.data();
}

bool StepLog::Add(std::initializer_list<Piece> pieces) {
  std::size_t size = 0;
  for (const Piece& piece : pieces) size += piece.size;
  if (size <= kMaxPacked && size < block_bytes_) {
    unsigned char* at = Reserve(size);
    if (at != nullptr) {
      for (const Piece& piece : pieces) {
        if (piece.size > 0) std::memcpy(at, piece.data, piece.size);
        at += piece.size;
      }
      Commit(size);
      return true;
    }
  }
  // A block of its own: the record, then the byte every block ends with.
  const std::size_t payload = size + 1;
  const std::size_t ring_limit = ring_.Limit();
  if (size >= UINT32_MAX || payload > ring_limit ||
      ring_limit - payload < HistoryRing::kFrameBytes) {
    return false;
  }
  if (!CloseBlock() || !ring_.Begin(payload)) return false;
  for (const Piece& piece : pieces) ring_.Put(piece.data, piece.size);
  ring_.Put(&kWholeBlock, 1);
  ring_.End();
  block_steps_.push_back(1);
  ++ring_steps_;
  CountDropped();
  return true;
}

bool StepLog::TakeNewest(std::vector<unsigned char>& record) {
  if (filled_ == 0) {
    if (ring_.Records() == 0) return false;
    const std::size_t size = ring_.NewestSize();
    const std::uint32_t steps = block_steps_.back();
    block_steps_.pop_back();
    ring_steps_ -= steps;
    if (steps == 1) {
      // The record is all of the block but the byte after it.
      record.resize(size - 1);
      ring_.ReadNewest(0, record.data(), size - 1);
      ring_.DropNewest();
      return true;
    }
    // The newest block is opened again: its records go back one by one.
    if (block_.size() < size) block_.resize(size);
    ring_.ReadNewest(0, block_.data(), size);
    ring_.DropNewest();
    filled_ = size;
    filled_steps_ = steps;
  }
  const std::size_t size = block_[filled_ - 1];
  record.assign(block_.data() + filled_ - 1 - size, block_.data() + filled_ - 1);
  filled_ -= size + 1;
  --filled_steps_;
  return true;
}

}  // namespace ombrix
