// The records of a bounded history, newest last, in one buffer of bytes that keeps its
// room: appending a record allocates nothing (the buffer is the bound, taken once), and
// when a new record does not fit, the oldest
// ones fall away. Each record is framed by its size at both ends, so the oldest can be
// dropped from the front and the newest read and taken back from the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

namespace ombrix {

class HistoryRing {
 public:
  explicit HistoryRing(std::size_t limit) : limit_(limit) {}

  // A lower bound drops the oldest records that no longer fit.
  void SetLimit(std::size_t limit);
  std::size_t Limit() const { return limit_; }
  std::size_t Bytes() const { return used_; }  // the kept records with their frames
  std::size_t Records() const { return records_; }
  std::uint64_t Dropped() const { return dropped_; }  // oldest records that fell away
  void Clear();

  // What a record of `payload` bytes takes, frames included.
  static constexpr std::size_t kFrameBytes = 2 * sizeof(std::uint32_t);

  // One record is appended as Begin, its pieces in order by Put (`payload` bytes in all),
  // then End. Begin makes room, the oldest records falling away; false, with nothing
  // changed, when the record would not fit even into an empty history (or is 4 GiB).
  // Inline for the steps of a run, which mostly fit beside the kept ones.
  bool Begin(std::size_t payload) {
    if (capacity_ != limit_ || payload > UINT32_MAX || used_ + payload + kFrameBytes > capacity_) {
      return BeginMakingRoom(payload);
    }
    begun_ = head_;
    const auto frame = static_cast<std::uint32_t>(payload);
    Put(&frame, sizeof frame);
    return true;
  }
  void Put(const void* data, std::size_t bytes) {
    Copy(head_, data, bytes);
    head_ += bytes;
  }
  void End() {
    const auto frame = static_cast<std::uint32_t>(head_ - begun_ - sizeof(std::uint32_t));
    Put(&frame, sizeof frame);
    used_ += static_cast<std::size_t>(head_ - begun_);
    ++records_;
  }

  // A whole record of one piece, as Begin, Put and End would append it; in one copy when
  // it fits before the end of the room.
  [[nodiscard]] bool Add(const void* data, std::size_t payload) {
    const std::size_t size = payload + kFrameBytes;
    if (capacity_ == limit_ && payload <= UINT32_MAX && used_ + size <= capacity_) {
      const std::size_t start = Physical(head_);
      if (size <= capacity_ - start) {
        std::byte* at = buffer_.get() + start;
        const auto frame = static_cast<std::uint32_t>(payload);
        std::memcpy(at, &frame, sizeof frame);
        if (payload > 0) std::memcpy(at + sizeof frame, data, payload);
        std::memcpy(at + sizeof frame + payload, &frame, sizeof frame);
        head_ += size;
        used_ += size;
        ++records_;
        return true;
      }
    }
    if (!Begin(payload)) return false;
    Put(data, payload);
    End();
    return true;
  }

  // The newest record: its payload's size, bytes of it read from `offset`, and taking it
  // back.
  std::size_t NewestSize() const;
  void ReadNewest(std::size_t offset, void* out, std::size_t bytes) const;
  void DropNewest();

 private:
  // Where offset `at` (from tail_ to head_) lies in the buffer, without a division.
  std::size_t Physical(std::uint64_t at) const {
    const auto p = static_cast<std::size_t>(at - base_);
    return p >= capacity_ ? p - capacity_ : p;
  }
  // Inline for the pieces of a step, which mostly lie in one run of the buffer.
  void Copy(std::uint64_t at, const void* data, std::size_t bytes) {
    const std::size_t start = Physical(at);
    if (bytes <= capacity_ - start) {
      if (bytes > 0) std::memcpy(buffer_.get() + start, data, bytes);
      return;
    }
    CopyWrapped(start, data, bytes);
  }
  void Read(std::uint64_t at, void* out, std::size_t bytes) const {
    const std::size_t start = Physical(at);
    if (bytes <= capacity_ - start) {
      if (bytes > 0) std::memcpy(out, buffer_.get() + start, bytes);
      return;
    }
    ReadWrapped(start, out, bytes);
  }
  void CopyWrapped(std::size_t start, const void* data, std::size_t bytes);
  void ReadWrapped(std::size_t start, void* out, std::size_t bytes) const;
  std::uint32_t SizeAt(std::uint64_t at) const {
    std::uint32_t size = 0;
    Read(at, &size, sizeof size);
    return size;
  }
  bool BeginMakingRoom(std::size_t payload);
  void DropOldest();
  void Resize(std::size_t capacity);

  // Room the system gives as it is first written, in large pages where it offers them:
  // a history of 64 MiB costs a few dozen page faults instead of thousands.
  class Room {
   public:
    Room() = default;
    explicit Room(std::size_t bytes);
    ~Room();
    Room(Room&& other) noexcept { *this = std::move(other); }
    Room& operator=(Room&& other) noexcept;
    std::byte* get() const { return data_; }

   private:
    std::byte* data_ = nullptr;
    void* mapped_ = nullptr;
    std::size_t mapped_bytes_ = 0;
  };

  std::size_t limit_;
  Room buffer_;
  std::size_t capacity_ = 0;
  // Offsets that only grow; the byte at offset o lies at (o - base_) % capacity_, and
  // tail_ - base_ stays below capacity_.
  std::uint64_t base_ = 0;
  std::uint64_t tail_ = 0;
  std::uint64_t head_ = 0;
  std::uint64_t begun_ = 0;  // where the record being appended begins
  std::size_t used_ = 0;
  std::size_t records_ = 0;
  std::uint64_t dropped_ = 0;
};

}  // namespace ombrix
