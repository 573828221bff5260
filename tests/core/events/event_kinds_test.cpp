#include "core/events/event_kinds.h"

#include <gtest/gtest.h>

#include <vector>

namespace tw {
namespace {

struct KindRow {
  int num;
  const char* name;
  bool fileEvent;
};

// The whole table of event kinds: number, display name, file event.
const KindRow kTable[] = {
    {0, "Association", false},
    {1, "Attributes", false},
    {2, "Create", true},
    {3, "Delete", true},
    {4, "Adding Drive", false},
    {5, "Explorer Drive Added", false},
    {6, "Drive removed", false},
    {7, "Adding Media", false},
    {8, "Media removed", false},
    {9, "New Directory", false},
    {10, "Network Share", false},
    {11, "Network UnShare", false},
    {12, "Rename Folder", false},
    {13, "Rename File", true},
    {14, "Delete Directory", false},
    {15, "Server Disconnect", false},
    {16, "Update Directory", false},
    {17, "Update Image", false},
    {18, "Update File", true},
};

TEST(EventKinds, TableOfNamesAndFileEvents) {
  ASSERT_EQ(eventNames().size(), 19u);
  for (const KindRow& row : kTable) {
    SCOPED_TRACE(row.num);
    EXPECT_EQ(eventNames()[static_cast<std::size_t>(row.num)], row.name);
    EXPECT_EQ(getEventName(row.num), row.name);
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

}  // namespace
}  // namespace tw
