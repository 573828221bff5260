#include "core/events/event_kinds.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace tw {
namespace {

struct KindRow {
  int num;
  const char* name;
  std::uint32_t bit;
  bool fileEvent;
};

// The whole table of event kinds: number, display name, shell bit, file event.
const KindRow kTable[] = {
    {0, "Association", 0x08000000, false},
    {1, "Attributes", 0x00000800, false},
    {2, "Create", 0x00000002, true},
    {3, "Delete", 0x00000004, true},
    {4, "Adding Drive", 0x00000100, false},
    {5, "Explorer Drive Added", 0x00010000, false},
    {6, "Drive removed", 0x00000080, false},
    {7, "Adding Media", 0x00000020, false},
    {8, "Media removed", 0x00000040, false},
    {9, "New Directory", 0x00000008, false},
    {10, "Network Share", 0x00000200, false},
    {11, "Network UnShare", 0x00000400, false},
    {12, "Rename Folder", 0x00020000, false},
    {13, "Rename File", 0x00000001, true},
    {14, "Delete Directory", 0x00000010, false},
    {15, "Server Disconnect", 0x00004000, false},
    {16, "Update Directory", 0x00001000, false},
    {17, "Update Image", 0x00008000, false},
    {18, "Update File", 0x00002000, true},
};

TEST(EventKinds, TableOfNamesBitsAndFileEvents) {
  ASSERT_EQ(eventNames().size(), 19u);
  for (const KindRow& row : kTable) {
    SCOPED_TRACE(row.num);
    EXPECT_EQ(eventNames()[static_cast<std::size_t>(row.num)], row.name);
    EXPECT_EQ(getEventName(row.num), row.name);
    EXPECT_EQ(eventBit(row.num), row.bit);
    EXPECT_EQ(eventNumFromBit(row.bit), row.num);
    EXPECT_EQ(isNotFileEvent(row.num), !row.fileEvent);
  }
}

TEST(EventKinds, NamesTextIsNineteenCrLfLinesWithoutFinalBreak) {
  EXPECT_EQ(kEventNamesText.substr(kEventNamesText.size() - 11), "Update File");
  std::size_t breaks = 0;
  for (std::size_t i = 0; i + 1 < kEventNamesText.size(); ++i) {
    if (kEventNamesText[i] == '\r') {
      EXPECT_EQ(kEventNamesText[i + 1], '\n');
      ++breaks;
    }
  }
  EXPECT_EQ(breaks, 18u);
}

TEST(EventKinds, BlankEntryOrMissingNumberReadsUnknown) {
  const std::vector<std::string> names = {"Association", "", " \t\r", "  Create  "};
  EXPECT_EQ(getEventName(0, names), "Association");
  EXPECT_EQ(getEventName(1, names), "Unknown");
  EXPECT_EQ(getEventName(2, names), "Unknown");
  EXPECT_EQ(getEventName(3, names), "  Create  ");  // returned as stored, untrimmed
  EXPECT_EQ(getEventName(4, names), "Unknown");
  EXPECT_EQ(getEventName(-1), "Unknown");
  EXPECT_EQ(getEventName(19), "Unknown");
}

TEST(EventKinds, BitToNumberComparesTheWholeValue) {
  struct Case {
    std::uint32_t value;
    std::optional<int> num;
  } cases[] = {
      {0x80000002u & ~kShcneInterrupt, 2},  // create with the interrupt bit, once cleared
      {0x00000002, 2},
      {0x00000006, std::nullopt},  // create together with delete
      {0x00040000, std::nullopt},  // free space has no number
      {0x04000000, std::nullopt},  // extended event
      {0x80000000u, std::nullopt},
      {0, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(eventNumFromBit(c.value), c.num);
  }
}

TEST(EventKinds, MasksFromNumbers) {
  const std::vector<int> createAndMkdir = {2, 9};
  EXPECT_EQ(eventMask(createAndMkdir), 0x00000002u | 0x00000008u);
  EXPECT_EQ(eventMask({}), 0u);
  std::vector<int> all;
  for (int n = 0; n < kEventCount; ++n) all.push_back(n);
  EXPECT_EQ(eventMask(all), 0x0003FFFFu | 0x08000000u);
  const std::vector<int> outOfRange = {-1, 19, 100};
  EXPECT_EQ(eventMask(outOfRange), 0u);
}

TEST(EventKinds, BitsAreDistinctSingleBits) {
  std::set<std::uint32_t> seen;
  for (std::uint32_t bit : kEventBits) {
    EXPECT_EQ(bit & (bit - 1), 0u) << bit;
    EXPECT_TRUE(seen.insert(bit).second) << bit;
  }
}

}  // namespace
}  // namespace tw
