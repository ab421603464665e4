#include "logic/program/history_ring.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace ombrix {

namespace {

constexpr std::size_t kLargePage = std::size_t{2} << 20;

}  // namespace

HistoryRing::Room::Room(std::size_t bytes) {
  if (bytes == 0) return;
  // A large page needs an aligned start: the mapping is a page larger, and starts there.
  const bool large = bytes >= kLargePage;
  mapped_bytes_ = bytes + (large ? kLargePage : 0);
  mapped_ = mmap(nullptr, mapped_bytes_, PROT_READ | PROT_WRITE,
                 MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (mapped_ == MAP_FAILED) {
    mapped_ = nullptr;
    mapped_bytes_ = 0;
    throw std::bad_alloc();
  }
  data_ = static_cast<std::byte*>(mapped_);
  if (large) {
    const auto address = reinterpret_cast<std::uintptr_t>(mapped_);
    data_ += (kLargePage - address % kLargePage) % kLargePage;
#ifdef MADV_HUGEPAGE
    madvise(data_, bytes, MADV_HUGEPAGE);  // a hint: may be refused
#endif
  }
}

HistoryRing::Room::~Room() {
  if (mapped_ != nullptr) munmap(mapped_, mapped_bytes_);
}

HistoryRing::Room& HistoryRing::Room::operator=(Room&& other) noexcept {
  if (this != &other) {
    if (mapped_ != nullptr) munmap(mapped_, mapped_bytes_);
    data_ = std::exchange(other.data_, nullptr);
    mapped_ = std::exchange(other.mapped_, nullptr);
    mapped_bytes_ = std::exchange(other.mapped_bytes_, 0);
  }
  return *this;
}

void HistoryRing::Clear() {
  base_ = tail_ = head_ = begun_ = 0;
  used_ = 0;
  records_ = 0;
  dropped_ = 0;
}

void HistoryRing::SetLimit(std::size_t limit) {
  limit_ = limit;
  while (used_ > limit_) DropOldest();
  if (capacity_ > limit_) Resize(limit_);
}

void HistoryRing::CopyWrapped(std::size_t start, const void* data, std::size_t bytes) {
  const auto* from = static_cast<const std::byte*>(data);
  const std::size_t first = capacity_ - start;
  std::memcpy(buffer_.get() + start, from, first);
  std::memcpy(buffer_.get(), from + first, bytes - first);
}

void HistoryRing::ReadWrapped(std::size_t start, void* out, std::size_t bytes) const {
  auto* to = static_cast<std::byte*>(out);
  const std::size_t first = capacity_ - start;
  std::memcpy(to, buffer_.get() + start, first);
  std::memcpy(to + first, buffer_.get(), bytes - first);
}

void HistoryRing::DropOldest() {
  const std::uint64_t size = std::uint64_t{SizeAt(tail_)} + kFrameBytes;
  tail_ += size;
  if (tail_ - base_ >= capacity_) base_ += capacity_;
  used_ -= static_cast<std::size_t>(size);
  --records_;
  ++dropped_;
}

// The kept bytes move to the start of a buffer of the new size (which holds them).
void HistoryRing::Resize(std::size_t capacity) {
  Room buffer(capacity);
  if (used_ > 0) Read(tail_, buffer.get(), used_);
  buffer_ = std::move(buffer);
  capacity_ = capacity;
  head_ = used_;
  tail_ = base_ = 0;
}

bool HistoryRing::BeginMakingRoom(std::size_t payload) {
  if (payload > limit_ || limit_ - payload < kFrameBytes || payload > UINT32_MAX) return false;
  const std::size_t size = payload + kFrameBytes;
  // The whole bound at once: the system gives the pages as they are first written, so
  // room not yet needed costs nothing, and the kept records never have to move.
  if (capacity_ < limit_) Resize(limit_);
  while (used_ + size > capacity_) DropOldest();
  begun_ = head_;
  const auto frame = static_cast<std::uint32_t>(payload);
  Put(&frame, sizeof frame);
  return true;
}

std::size_t HistoryRing::NewestSize() const { return SizeAt(head_ - sizeof(std::uint32_t)); }

void HistoryRing::ReadNewest(std::size_t offset, void* out, std::size_t bytes) const {
  const std::uint64_t start = head_ - sizeof(std::uint32_t) - NewestSize();
  Read(start + offset, out, bytes);
}

void HistoryRing::DropNewest() {
  const std::uint64_t size = NewestSize() + kFrameBytes;
  head_ -= size;
  used_ -= static_cast<std::size_t>(size);
  --records_;
}

}  // namespace ombrix
