#include "logic/program/slice_clock.h"

#include <algorithm>

namespace ombrix {

void SliceClock::Begin(std::optional<std::chrono::nanoseconds> budget) {
  timed_ = budget.has_value();
  loan_ = nullptr;
  period_ = 1;
  countdown_ = 1;
  if (!timed_) return;
  budget_ = *budget;
  start_ = last_ = clock_();
  ++readings_;
}

bool SliceClock::Settle(std::int64_t unasked) {
  if (loan_ == nullptr) return false;
  const std::int64_t counted = lent_ - *loan_;
  loan_ = nullptr;
  const std::int64_t asked = std::max<std::int64_t>(counted - unasked, 0);
  if (!timed_ || asked == 0) return false;
  // Lent no more than the countdown: only the last line asked can reach the reading.
  countdown_ -= asked;
  return countdown_ <= 0 && Read();
}

bool SliceClock::Read() {
  const auto now = clock_();
  ++readings_;
  const auto elapsed = now - start_;
  if (elapsed >= budget_) return true;
  // Each slice begins with one line per reading and at most doubles the stride per
  // reading, so a cost that changes between slices or within one is soon seen.
  const std::int64_t per_line = std::max<std::int64_t>((now - last_).count() / period_, 0);
  last_ = now;
  // Half of what is left: lines that grow dearer within a stride still end in time.
  const std::int64_t room = std::min((budget_ - elapsed).count() / 2, budget_.count() / 8);
  const std::int64_t fits = per_line > 0 ? room / per_line : kMaxStride;
  period_ = std::clamp<std::int64_t>(fits, 1, std::min(2 * period_, kMaxStride));
  countdown_ = period_;
  return false;
}

}  // namespace ombrix
