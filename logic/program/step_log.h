// The records of the steps a step back undoes, newest last, within a bound of bytes. Most
// steps' records are small: they are packed into an open block, each followed by its size
// in one byte, and a full block goes into a HistoryRing as one record. A step so pays one
// byte of framing and a few instructions, and the ring frames, and lets fall away, whole
// blocks: when room runs out the oldest steps go a block at a time. A record too large
// for a block is a block of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <initializer_list>
#include <vector>

#include "logic/program/history_ring.h"

namespace ombrix {

class StepLog {
 public:
  explicit StepLog(std::size_t limit);

  // The largest record packed into a block: its size has to fit the byte after it.
  static constexpr std::size_t kMaxPacked = 254;
  // Blocks take at most this many bytes, and an eighth of the bound (none under a small
  // one), so that a full log still holds most of its bound when a block falls away.
  static constexpr std::size_t kBlockBytes = 4096;

  // A lower bound lets the oldest blocks fall away.
  void SetLimit(std::size_t limit);
  std::size_t Limit() const { return limit_; }
  std::size_t Bytes() const { return ring_.Bytes() + filled_; }  // never above Limit
  std::size_t Steps() const { return ring_steps_ + filled_steps_; }
  std::uint64_t Dropped() const { return ring_.Dropped(); }  // blocks that fell away
  void Clear();

  // Room for a record of at most `most` bytes (at most kMaxPacked) in the open block, to
  // be written there and then ended by Commit with its size; null when blocks are too
  // small for it under this bound (Add takes it then).
  unsigned char* Reserve(std::size_t most) {
    if (filled_ + most >= room_) [[unlikely]]
      return ReserveInNewBlock(most);
    return block_.data() + filled_;
  }
  // The same without closing the open block: null when it has no room for the record.
  unsigned char* ReserveInOpenBlock(std::size_t most) {
    return filled_ + most < room_ ? block_.data() + filled_ : nullptr;
  }
  void Commit(std::size_t size) {
    block_[filled_ + size] = static_cast<unsigned char>(size);
    filled_ += size + 1;
    ++filled_steps_;
  }

  // A record of any size, from its pieces in order; false when it would not fit even
  // into an empty log (the caller forgets the log then).
  struct Piece {
    const void* data;
    std::size_t size;
  };
  [[nodiscard]] bool Add(std::initializer_list<Piece> pieces);

  // The newest record moves to `record`; false when there is none.
  [[nodiscard]] bool TakeNewest(std::vector<unsigned char>& record);

 private:
  // The byte after a block that is one record of any size (a packed block ends with its
  // last record's size; the count of a block's records tells which it is).
  static constexpr unsigned char kWholeBlock = 0xFF;
  static_assert(kMaxPacked < kWholeBlock);

  static std::size_t BlockFor(std::size_t limit);
  unsigned char* ReserveInNewBlock(std::size_t most);
  bool CloseBlock();
  void CountDropped();

  std::size_t limit_;
  std::size_t block_bytes_;           // what a block may take under this bound
  HistoryRing ring_;                  // the closed blocks, under the bound less a block
  std::vector<unsigned char> block_;  // the open block
  std::size_t room_ = 0;              // what of it records may fill: block_bytes_ once it exists
  std::size_t filled_ = 0;
  std::size_t filled_steps_ = 0;
  std::deque<std::uint32_t> block_steps_;  // the records of each closed block, oldest first
  std::size_t ring_steps_ = 0;
  std::uint64_t dropped_seen_ = 0;  // the ring's dropped blocks taken off block_steps_
};

}  // namespace ombrix
