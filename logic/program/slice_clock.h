// The time bound of one slice of the main program. Reading the clock costs as much as a
// cheap line, so it is read once per a number of lines, and that number follows the
// measured cost of the lines: it grows while they are cheap, never so far that the
// next reading would fall beyond half of what is left of the budget or more than an
// eighth of it after the last one, and it drops to one as soon as a line takes long (such a line
// asks its interrupt, which tells the slice clock through LineIsLong).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace ombrix {

class SliceClock {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  explicit SliceClock(Clock clock = &std::chrono::steady_clock::now) : clock_(std::move(clock)) {}

  void SetClock(Clock clock) { clock_ = std::move(clock); }
  // A new slice of at most `budget`; none: no time bound, the clock is never read.
  void Begin(std::optional<std::chrono::nanoseconds> budget);
  // After each line of the slice: true once its budget is spent.
  bool Spent() {
    if (!timed_ || --countdown_ > 0) return false;
    return Read();
  }
  // The line now running takes long: the clock is read right after it.
  void LineIsLong() {
    if (loan_ != nullptr) {
      // The lines counted on the loan so far are the clock's again; the loan ends with
      // the line now running.
      countdown_ -= lent_ - *loan_;
      lent_ = *loan_ = 1;
    }
    period_ -= countdown_ - 1;
    countdown_ = 1;
  }

  // A caller that ends many lines in a row may count them itself instead of asking Spent
  // after each: it is lent at most `Lendable()` of the countdown in `left`, which it counts
  // down by one per line ended (LineIsLong cuts the loan to the line running), and it
  // settles the loan before it asks the clock anything else. Settle takes the lines counted
  // as Spent would have, but for `unasked` of the last ones, and answers what Spent would
  // have answered after the last line asked.
  std::int64_t Lendable() const { return timed_ ? countdown_ : kNoBound; }
  void Lend(std::int64_t& left) {
    if (!timed_) return;  // nothing to count against
    loan_ = &left;
    lent_ = left;
  }
  bool Settle(std::int64_t unasked);
  static constexpr std::int64_t kNoBound = INT64_MAX;

  std::int64_t Readings() const { return readings_; }  // all slices, Begin's included
  std::int64_t Stride() const { return period_; }      // lines until the next reading

  // The most lines between two readings, however cheap they are: a line that turns dear
  // without asking its interrupt is seen within this many lines.
  static constexpr std::int64_t kMaxStride = 256;

 private:
  bool Read();

  Clock clock_;
  bool timed_ = false;
  std::chrono::nanoseconds budget_{};
  std::chrono::steady_clock::time_point start_{};
  std::chrono::steady_clock::time_point last_{};
  std::int64_t period_ = 1;     // lines from the last reading to the next
  std::int64_t countdown_ = 1;  // lines left until the next reading
  std::int64_t readings_ = 0;
  std::int64_t* loan_ = nullptr;  // the borrower's count of lines left, while lent
  std::int64_t lent_ = 0;         // what `loan_` counted from
};

}  // namespace ombrix
