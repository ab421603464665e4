#include "logic/program/step_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ombrix {
namespace {

using Bytes = std::vector<unsigned char>;

// Record n of a row: `size` bytes that tell which record it is.
Bytes RecordBytes(std::size_t n, std::size_t size) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(n * 31 + i * 7);
  return bytes;
}

// Appends as the debugger does: a small record through Reserve and Commit when the log
// has room for it there, any record through Add (in two pieces); false when refused.
bool Append(StepLog& log, const Bytes& record, bool reserve) {
  if (reserve && record.size() <= StepLog::kMaxPacked) {
    if (unsigned char* at = log.Reserve(record.size())) {
      std::copy(record.begin(), record.end(), at);
      log.Commit(record.size());
      return true;
    }
  }
  const std::size_t half = record.size() / 2;
  return log.Add({{record.data(), half}, {record.data() + half, record.size() - half}});
}

// The records from the newest back; the log is empty afterwards.
std::vector<Bytes> TakeAll(StepLog& log) {
  std::vector<Bytes> records;
  Bytes record;
  while (log.TakeNewest(record)) records.push_back(record);
  return records;
}

// What the log must give back: the newest `kept` of `appended`, newest first.
std::vector<Bytes> Newest(const std::vector<Bytes>& appended, std::size_t kept) {
  return {appended.rbegin(), appended.rbegin() + static_cast<std::ptrdiff_t>(kept)};
}

// The newest records that fill half the bound, each with the most framing a record
// takes: a log whose oldest blocks fell away still holds at least these.
std::size_t AtLeastKept(const std::vector<Bytes>& appended, std::size_t limit) {
  std::size_t bytes = 0, count = 0;
  for (auto it = appended.rbegin(); it != appended.rend(); ++it, ++count) {
    bytes += it->size() + 1 + HistoryRing::kFrameBytes;
    if (bytes > limit / 2) break;
  }
  return count;
}

struct Row {
  const char* name;
  std::size_t limit;
  std::vector<std::size_t> sizes;
};

std::vector<std::size_t> Sizes(std::size_t count, std::size_t most, std::size_t least = 0) {
  std::vector<std::size_t> sizes;
  for (std::size_t i = 0; i < count; ++i) sizes.push_back(least + (i * 7919) % (most - least + 1));
  return sizes;
}

TEST(StepLogTest, GivesBackTheNewestRecordsNewestFirstWithinItsBound) {
  std::vector<std::size_t> mixed = Sizes(3000, 60);
  for (std::size_t i = 0; i < mixed.size(); i += 37) mixed[i] = 255 + i;  // blocks of their own
  const std::vector<Row> rows = {
      {"nothing appended", 4096, {}},
      {"small records that all fit", std::size_t{1} << 20, Sizes(2000, 40)},
      {"small records whose oldest blocks fall away", 4096, Sizes(5000, 60)},
      {"records too large to pack among small ones", std::size_t{1} << 16, mixed},
      {"the largest packed record and the smallest one of its own",
       8192,
       {StepLog::kMaxPacked, StepLog::kMaxPacked + 1, 0, StepLog::kMaxPacked, 1}},
      {"a bound too small for blocks", 100, Sizes(300, 20)},
      {"empty records", 4096, std::vector<std::size_t>(3000, 0)},
  };
  for (const Row& row : rows) {
    for (const bool reserve : {false, true}) {
      SCOPED_TRACE(std::string(row.name) + (reserve ? ", reserved" : ", added"));
      StepLog log(row.limit);
      std::vector<Bytes> appended;
      for (std::size_t n = 0; n < row.sizes.size(); ++n) {
        appended.push_back(RecordBytes(n, row.sizes[n]));
        ASSERT_TRUE(Append(log, appended.back(), reserve)) << "record " << n;
        ASSERT_LE(log.Bytes(), row.limit);
      }
      const std::size_t kept = log.Steps();
      EXPECT_LE(kept, appended.size());
      EXPECT_GE(kept, AtLeastKept(appended, row.limit));
      EXPECT_EQ(log.Dropped() > 0, kept < appended.size());
      EXPECT_EQ(TakeAll(log), Newest(appended, kept));
      EXPECT_EQ(log.Bytes(), 0u);
      EXPECT_EQ(log.Steps(), 0u);
    }
  }
}

// Taking records back opens their block again; records appended then follow the ones
// left, and a lower bound lets the oldest fall away.
TEST(StepLogTest, TakesBackAppendsAgainAndFollowsALowerBound) {
  struct Step {
    const char* name;
    std::size_t append;  // records of Sizes(append, 80)
    std::size_t take;    // then taken back, each checked
    std::size_t limit;   // then the bound (0: unchanged)
  };
  const std::vector<Step> steps = {
      {"fill a few blocks", 600, 0, 0},
      {"take back into the second newest block", 150, 150 + 90, 0},
      {"a lower bound while that block is open", 0, 0, 200},
      {"append under it", 500, 1, 0},
      {"a higher bound", 400, 1, std::size_t{1} << 20},
      {"append under that", 200, 0, 0},
  };
  StepLog log(std::size_t{1} << 16);
  std::vector<Bytes> appended;  // the model: the log holds the newest log.Steps() of these
  std::size_t n = 0;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    for (const std::size_t size : Sizes(step.append, 80)) {
      appended.push_back(RecordBytes(n++, size));
      ASSERT_TRUE(Append(log, appended.back(), n % 3 != 0));
    }
    appended.erase(appended.begin(), appended.end() - static_cast<std::ptrdiff_t>(log.Steps()));
    for (std::size_t i = 0; i < step.take; ++i) {
      Bytes record;
      ASSERT_TRUE(log.TakeNewest(record));
      ASSERT_EQ(record, appended.back()) << "taken back " << i;
      appended.pop_back();
    }
    if (step.limit > 0) {
      log.SetLimit(step.limit);
      EXPECT_EQ(log.Limit(), step.limit);
      appended.erase(appended.begin(), appended.end() - static_cast<std::ptrdiff_t>(log.Steps()));
    }
    ASSERT_LE(log.Bytes(), log.Limit());
    ASSERT_EQ(log.Steps(), appended.size());
  }
  EXPECT_EQ(TakeAll(log), Newest(appended, appended.size()));
}

// A record larger than the bound is refused (the caller forgets the log then); under a
// bound too small for blocks every record is a block of its own.
TEST(StepLogTest, RefusesARecordLargerThanItsBound) {
  const struct {
    const char* name;
    std::size_t limit;
    std::size_t size;
    bool blocks;
  } rows[] = {
      {"a bound with blocks", 4096, 4096, true},
      {"a bound too small for blocks", 64, 60, false},
      {"no bound at all", 0, 0, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    StepLog log(row.limit);
    EXPECT_EQ(log.Reserve(1) != nullptr, row.blocks);
    if (row.limit > 0) {
      EXPECT_TRUE(Append(log, RecordBytes(0, 1), false));
    }
    EXPECT_FALSE(Append(log, RecordBytes(1, row.size), false));
    EXPECT_LE(log.Bytes(), row.limit);
  }
}

}  // namespace
}  // namespace ombrix
