#include "logic/program/history_ring.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace ombrix {
namespace {

// A record of `size` bytes, all of them `fill` (a record tells by its bytes which it is).
struct Record {
  std::size_t size;
  char fill;
};

bool Append(HistoryRing& ring, const Record& record, bool whole = false) {
  const std::string bytes(record.size, record.fill);
  if (whole) return ring.Add(bytes.data(), bytes.size());
  if (!ring.Begin(record.size)) return false;
  // In two pieces, as a step puts its head and then its logs.
  ring.Put(bytes.data(), record.size / 2);
  ring.Put(bytes.data() + record.size / 2, record.size - record.size / 2);
  ring.End();
  return true;
}

// The records from the newest back, each read from the end and taken back.
std::vector<std::string> TakeAll(HistoryRing& ring) {
  std::vector<std::string> records;
  while (ring.Records() > 0) {
    std::string bytes(ring.NewestSize(), '\0');
    ring.ReadNewest(0, bytes.data(), bytes.size());
    records.push_back(bytes);
    ring.DropNewest();
  }
  return records;
}

// A plain model: the newest records whose bytes fit under the bound.
std::vector<std::string> Expected(const std::vector<Record>& appended, std::size_t limit) {
  std::deque<std::string> kept;
  std::size_t used = 0;
  for (const Record& r : appended) {
    if (r.size + HistoryRing::kFrameBytes > limit) {
      kept.clear();  // the caller forgets the history: it is not appended
      used = 0;
      continue;
    }
    kept.emplace_back(r.size, r.fill);
    used += r.size + HistoryRing::kFrameBytes;
    while (used > limit) {
      used -= kept.front().size() + HistoryRing::kFrameBytes;
      kept.pop_front();
    }
  }
  return {kept.rbegin(), kept.rend()};
}

TEST(HistoryRingTest, KeepsTheNewestRecordsThatFitAndReadsThemBackNewestFirst) {
  struct Row {
    const char* name;
    std::size_t limit;
    std::vector<Record> records;
  };
  std::vector<Record> many_small, mixed, growing;
  for (int i = 0; i < 5000; ++i) many_small.push_back({24, static_cast<char>('a' + i % 26)});
  for (int i = 0; i < 3000; ++i) {
    mixed.push_back({static_cast<std::size_t>(1 + (i * 7919) % 3000), static_cast<char>(i)});
  }
  for (int i = 0; i < 400; ++i) growing.push_back({static_cast<std::size_t>(i * 40), 'g'});
  const std::vector<Row> rows = {
      {"nothing appended", 4096, {}},
      {"all fit", 1 << 20, {{10, 'a'}, {0, 'b'}, {300, 'c'}}},
      {"the oldest fall away", 1000, many_small},
      {"records that wrap round the end", 10000, mixed},
      {"growing past the first room", 1 << 20, growing},
      {"a record larger than the bound", 100, {{10, 'a'}, {90, 'b'}, {20, 'c'}}},
      {"an empty record in a tiny bound", HistoryRing::kFrameBytes, {{0, 'a'}, {1, 'b'}, {0, 'c'}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    HistoryRing ring(row.limit);
    bool whole = false;  // every other record in one piece
    for (const Record& r : row.records) {
      if (!Append(ring, r, whole = !whole)) ring.Clear();
      ASSERT_LE(ring.Bytes(), row.limit);
    }
    const std::vector<std::string> expected = Expected(row.records, row.limit);
    EXPECT_EQ(ring.Records(), expected.size());
    EXPECT_EQ(TakeAll(ring), expected);
    EXPECT_EQ(ring.Bytes(), 0u);
  }
}

// Taking records back and appending again, a lower bound, and reading inside a record.
TEST(HistoryRingTest, TakesBackAppendsAgainAndFollowsANewBound) {
  HistoryRing ring(1 << 16);
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(Append(ring, {100, static_cast<char>(i)}));
  ring.DropNewest();
  ring.DropNewest();
  ASSERT_TRUE(Append(ring, {5, 'z'}));
  EXPECT_EQ(ring.Records(), 99u);
  char at_three = 0;
  ring.ReadNewest(3, &at_three, 1);
  EXPECT_EQ(at_three, 'z');
  EXPECT_EQ(ring.Dropped(), 0u);

  ring.SetLimit(10 * (100 + HistoryRing::kFrameBytes));
  EXPECT_LE(ring.Bytes(), ring.Limit());
  EXPECT_EQ(ring.Records(), 10u);
  EXPECT_EQ(ring.Dropped(), 89u);
  const std::vector<std::string> kept = TakeAll(ring);
  ASSERT_EQ(kept.size(), 10u);
  EXPECT_EQ(kept.front(), std::string(5, 'z'));
  EXPECT_EQ(kept.back(), std::string(100, static_cast<char>(89)));
}

}  // namespace
}  // namespace ombrix
