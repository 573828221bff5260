#include "core/queue/items_stack.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace tw {
namespace {

using Lines = std::vector<std::string>;

TEST(ItemObj, KeepsWhatItWasMadeWith) {
  const TItemObj item("C:\\docs\\a.txt", "C:\\docs\\b.txt", 13);
  EXPECT_EQ(item.getItem1(), "C:\\docs\\a.txt");
  EXPECT_EQ(item.getItem2(), "C:\\docs\\b.txt");
  EXPECT_EQ(item.getEventNum(), 13);
}

TEST(ItemsStack, QueuesEveryEventUncheckedInArrivalOrder) {
  TItemsStack stack;
  EXPECT_FALSE(stack.hasItems());
  stack.addItem("", "", 2);             // both paths empty
  stack.addItem("C:\\x", "", 42);       // number out of range
  stack.addItem("C:\\y", "C:\\z", -1);  // negative number
  stack.setPause(true);
  stack.addItem("C:\\p", "", 3);  // appended while paused
  EXPECT_TRUE(stack.hasItems());

  std::vector<TItemObj> batch;
  EXPECT_EQ(stack.takeAll(batch), 4u);
  ASSERT_EQ(batch.size(), 4u);
  EXPECT_EQ(batch[0].getItem1(), "");
  EXPECT_EQ(batch[1].getEventNum(), 42);
  EXPECT_EQ(batch[2].getItem2(), "C:\\z");
  EXPECT_EQ(batch[2].getEventNum(), -1);
  EXPECT_EQ(batch[3].getItem1(), "C:\\p");
  EXPECT_FALSE(stack.hasItems());

  // A second take finds nothing; a non-empty batch is appended to, not replaced.
  EXPECT_EQ(stack.takeAll(batch), 0u);
  stack.addItem("C:\\q", "", 9);
  EXPECT_EQ(stack.takeAll(batch), 1u);
  ASSERT_EQ(batch.size(), 5u);
  EXPECT_EQ(batch[4].getItem1(), "C:\\q");
}

TEST(ItemsStack, PauseFlag) {
  TItemsStack stack;
  EXPECT_FALSE(stack.getPause());
  stack.setPause(true);
  EXPECT_TRUE(stack.getPause());
  stack.setPause(false);
  EXPECT_FALSE(stack.getPause());
}

TEST(ItemsStack, FilterListsSplitAtEveryKindOfLineBreak) {
  struct Case {
    const char* text;
    Lines lines;
  } cases[] = {
      {"C:\\Temp\\\r\nD:\\Cache\\\r\n", {"C:\\Temp\\", "D:\\Cache\\"}},
      {".txt\r\n\r\n.log", {".txt", "", ".log"}},
      {".txt\n.log", {".txt", ".log"}},
      {".txt\r.log\r", {".txt", ".log"}},
      {"\n", {""}},
      {" .a \r\n.a\r\n", {" .a ", ".a"}},  // neither trimmed nor de-duplicated
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    TItemsStack stack;
    stack.setDirFilters(c.text);
    stack.setExtFilters(c.text);
    ASSERT_TRUE(stack.getDirFilters().has_value());
    EXPECT_EQ(*stack.getDirFilters(), c.lines);
    EXPECT_EQ(*stack.getExtFilters(), c.lines);
  }
}

TEST(ItemsStack, FilterListsAbsentUntilSetAndReplacedWhole) {
  TItemsStack stack;
  EXPECT_FALSE(stack.getDirFilters().has_value());
  EXPECT_FALSE(stack.getExtFilters().has_value());
  stack.setDirFilters("");
  ASSERT_TRUE(stack.getDirFilters().has_value());
  EXPECT_TRUE(stack.getDirFilters()->empty());
  EXPECT_FALSE(stack.getExtFilters().has_value());
  stack.setExtFilters(".a\r\n.b\r\n");
  stack.setExtFilters(".c\r\n");
  EXPECT_EQ(*stack.getExtFilters(), Lines{".c"});
}

// One thread appends a million events while another takes all in a loop: every event is taken
// exactly once, in the order appended.
TEST(ItemsStackThreaded, MillionEventsTakenExactlyOnceInOrder) {
  constexpr int kEvents = 1'000'000;
  TItemsStack stack;
  std::atomic<bool> producerDone{false};

  std::thread producer([&] {
    for (int i = 0; i < kEvents; ++i) stack.addItem(std::to_string(i), std::string(), i % 19);
    producerDone.store(true);
  });

  std::vector<TItemObj> batch;
  int expected = 0;
  int batchesWhileAdding = 0;  // takes that raced the producer, not one take after it ended
  bool inOrder = true;
  while (true) {
    const bool finished = producerDone.load();
    batch.clear();
    if (stack.takeAll(batch) > 0 && !finished) ++batchesWhileAdding;
    for (const TItemObj& item : batch) {
      if (item.getItem1() != std::to_string(expected) || item.getEventNum() != expected % 19) inOrder = false;
      ++expected;
    }
    if (finished && !stack.hasItems()) break;
  }
  producer.join();

  EXPECT_TRUE(inOrder);
  EXPECT_EQ(expected, kEvents);
  EXPECT_GT(batchesWhileAdding, 1);
  EXPECT_FALSE(stack.hasItems());
}

}  // namespace
}  // namespace tw
