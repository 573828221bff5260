#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "core/queue/event_filter.h"
#include "core/queue/items_stack.h"
#include "core/queue/recording_view.h"

namespace tw {
namespace {

using Lines = std::vector<std::string>;
using test::InlineDispatcher;
using test::RecordingView;

struct FilterCase {
  const char* filters;  // row-caption text, as the settings hand it over
  const char* item1;
  const char* item2;
  int eventNum;
  bool delivered;
};

// Runs one event through a batch with the given filters; true when it reached the list.
bool delivered(const FilterCase& c, bool dirFilter, PathStyle style) {
  TItemsStack stack;
  if (dirFilter) {
    stack.setDirFilters(c.filters);
  } else {
    stack.setExtFilters(c.filters);
  }
  stack.addItem(c.item1, c.item2, c.eventNum);
  InlineDispatcher ui;
  RecordingView view;
  EXPECT_TRUE(stack.wakeUp(ui, view, style));
  return std::any_of(view.log.begin(), view.log.end(),
                     [](const std::string& l) { return l.starts_with("list "); });
}

TEST(DispatchFilters, ExcludedPathsWindowsStyle) {
  const FilterCase cases[] = {
      {"C:\\Windows\\\r\n", "C:\\Windows\\System32\\x.dll", "", 2, false},
      {"C:\\Windows\\\r\n", "C:\\Windows", "", 14, false},  // the appended backslash matches
      {"C:\\Windows\\\r\n", "C:\\WindowsApps\\y.dll", "", 2, true},
      {"C:\\Temp\r\n", "C:\\Temporary\\z.txt", "", 2, false},  // no final backslash: a plain prefix
      {"c:\\temp\\\r\n", "C:\\TEMP\\a.txt", "", 2, false},     // ASCII case does not matter
      {"C:\\\xC3\xA9t\xC3\xA9\\\r\n", "C:\\\xC3\x89T\xC3\x89\\a.txt", "", 2, true},  // é is not É
      {"\r\n", "C:\\anything", "", 1, false},  // an empty entry drops every event
      {"\r\n", "", "", 0, false},
      {"C:\\Excluded\\\r\n", "C:\\Excluded\\a.txt", "C:\\Kept\\a.txt", 13, false},
      {"C:\\Excluded\\\r\n", "C:\\Kept\\a.txt", "C:\\Excluded\\a.txt", 13, true},  // item2 is not tested
      {"D:\\Cache\\\r\nC:\\Temp\\\r\n", "C:\\Temp\\b", "", 2, false},
      {"", "C:\\Temp\\b", "", 2, true},  // present but empty: filters nothing
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.filters) + " / " + c.item1);
    EXPECT_EQ(delivered(c, true, PathStyle::Windows), c.delivered);
  }
}

TEST(DispatchFilters, ExtensionsWindowsStyle) {
  const FilterCase cases[] = {
      {".txt\r\n", "C:\\a.TXT", "", 2, true},
      {".txt\r\n", "C:\\a.doc", "", 2, false},
      {".txt\r\n", "C:\\dir", "", 9, true},              // not a file event
      {".txt\r\n", "C:\\a.doc", "C:\\a.txt", 13, true},  // passes through item2
      {".txt\r\n", "C:\\b", "", 18, false},              // no extension
      {".txt\r\n", "C:\\a.doc", "", 1, true},            // attributes are not tested
      {".txt\r\n", "C:\\a.doc", "", 3, false},
      {".txt\r\n", "C:\\a.doc", "", 42, true},        // out of range: not a file event
      {"txt\r\n", "C:\\a.txt", "", 2, false},         // an entry without its dot never matches
      {"\r\n", "C:\\a.txt", "", 2, true},             // empty entry: item2 has no extension
      {"\r\n", "C:\\a.txt", "C:\\b.doc", 13, false},  // both have extensions
      {"\r\n", "C:\\noext", "C:\\b.doc", 13, true},
      {".txt\r\n", "C:\\dir.txt\\file", "", 2, false},  // the dot must follow the last separator
      {".txt\r\n", "C:.txt", "", 2, true},
      {".txt\r\n", "C:\\x\\C:", "", 2, false},
      {".gz\r\n", "C:\\a.tar.gz", "", 2, true},
      {".tar.gz\r\n", "C:\\a.tar.gz", "", 2, false},  // only from the last dot
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.filters) + " / " + c.item1 + " / " + c.item2);
    EXPECT_EQ(delivered(c, false, PathStyle::Windows), c.delivered);
  }
}

TEST(DispatchFilters, PosixStyle) {
  const FilterCase dirCases[] = {
      {"/proc/\r\n", "/proc/1/stat", "", 1, false},
      {"/tmp/\r\n", "/tmp", "", 14, false},
      {"/tmp/\r\n", "/tmpfiles/x", "", 2, true},
      {"/Data/\r\n", "/data/x", "", 2, false},  // ASCII case folded, as everywhere
  };
  for (const auto& c : dirCases) EXPECT_EQ(delivered(c, true, PathStyle::Posix), c.delivered) << c.item1;
  const FilterCase extCases[] = {
      {".txt\r\n", "/home/u/a.txt", "", 2, true},
      {".txt\r\n", "/home/u.txt/a", "", 2, false},
      {".txt\r\n", "/home/u/c:a.txt", "", 2, true},  // a colon is an ordinary character
      {".d\r\n", "/etc/x.d\\y", "", 2, false},       // a backslash too: the extension is ".d\y"
  };
  for (const auto& c : extCases) EXPECT_EQ(delivered(c, false, PathStyle::Posix), c.delivered) << c.item1;
}

TEST(DispatchLoop, BatchOrderTreeBeforeListAndBarPositions) {
  TItemsStack stack;
  stack.setExtFilters(".txt\r\n");
  stack.addItem("C:\\a.txt", "", 2);    // 0: tree + list
  stack.addItem("C:\\b.doc", "", 2);    // 1: dropped
  stack.addItem("C:\\x", "", 1);        // 2: list only
  stack.addItem("C:\\d", "C:\\e", 12);  // 3: tree + list
  stack.addItem("", "", 0);             // 4: list only
  stack.addItem("C:\\f.txt", "", 42);   // 5: list only, out of range
  InlineDispatcher ui;
  RecordingView view;
  ASSERT_TRUE(stack.wakeUp(ui, view, PathStyle::Windows));
  const Lines expected = {
      "show 6",
      "tree C:\\a.txt||2",
      "list C:\\a.txt||2",
      "pos 0",
      "list C:\\x||1",
      "pos 2",
      "tree C:\\d|C:\\e|12",
      "list C:\\d|C:\\e|12",
      "pos 3",
      "list ||0",
      "pos 4",
      "list C:\\f.txt||42",
      "pos 5",
      "hide",
  };
  EXPECT_EQ(view.log, expected);
  EXPECT_FALSE(stack.hasItems());
  EXPECT_FALSE(stack.wakeUp(ui, view, PathStyle::Windows)) << "nothing left to take";
}

TEST(DispatchLoop, TreeKindsExactly) {
  const std::vector<int> treeKinds = {2, 3, 9, 12, 13, 14, 16, 18};
  for (int n = -1; n <= 19; ++n) {
    const bool expected = std::find(treeKinds.begin(), treeKinds.end(), n) != treeKinds.end();
    EXPECT_EQ(isTreeEvent(n), expected) << n;
  }
}

TEST(DispatchLoop, BatchWithEveryEventDroppedStillShowsAndHides) {
  TItemsStack stack;
  stack.setDirFilters("\r\n");
  for (int i = 0; i < 5; ++i) stack.addItem("C:\\a" + std::to_string(i), "", 2);
  InlineDispatcher ui;
  RecordingView view;
  ASSERT_TRUE(stack.wakeUp(ui, view, PathStyle::Windows));
  EXPECT_EQ(view.log, (Lines{"show 5", "hide"}));
}

TEST(DispatchLoop, LargeBatchDeliveredInFullInFewCalls) {
  constexpr int kEvents = 40'000;
  TItemsStack stack;
  for (int i = 0; i < kEvents; ++i) stack.addItem("C:\\f" + std::to_string(i), "", 1);
  InlineDispatcher ui;
  RecordingView view;
  ASSERT_TRUE(stack.wakeUp(ui, view, PathStyle::Windows));
  ASSERT_EQ(view.log.size(), 2u + 2u * kEvents);
  EXPECT_EQ(view.log.front(), "show 40000");
  EXPECT_EQ(view.log[view.log.size() - 2], "pos 39999");
  EXPECT_EQ(view.log.back(), "hide");
  EXPECT_LT(ui.calls, kEvents / 8) << "consecutive events share synchronised calls";
}

TEST(DispatchLoop, AFailingStepEndsTheBatchButTheBarIsHidden) {
  TItemsStack stack;
  for (int i = 0; i < 4; ++i) stack.addItem("C:\\f" + std::to_string(i), "", 1);
  InlineDispatcher ui;
  RecordingView view;
  view.failOnListItem = 2;
  EXPECT_THROW(stack.wakeUp(ui, view, PathStyle::Windows), std::runtime_error);
  EXPECT_EQ(view.log, (Lines{"show 4", "list C:\\f0||1", "pos 0", "list C:\\f1||1", "pos 1", "hide"}));
  // The queue goes on: the next batch is delivered normally.
  stack.addItem("C:\\next", "", 1);
  view.log.clear();
  EXPECT_TRUE(stack.wakeUp(ui, view, PathStyle::Windows));
  EXPECT_EQ(view.log, (Lines{"show 1", "list C:\\next||1", "pos 0", "hide"}));
}

TEST(DispatchLoop, PauseHoldsEventsUntilResume) {
  TItemsStack stack;
  InlineDispatcher ui;
  RecordingView view;
  stack.setPause(true);
  stack.addItem("C:\\1", "", 1);
  stack.addItem("C:\\2", "", 1);
  stack.addItem("C:\\3", "", 1);
  EXPECT_FALSE(stack.wakeUp(ui, view, PathStyle::Windows));
  EXPECT_TRUE(view.log.empty()) << "nothing taken and the bar stays hidden while paused";
  stack.setPause(false);
  EXPECT_TRUE(stack.wakeUp(ui, view, PathStyle::Windows));
  EXPECT_EQ(view.log, (Lines{"show 3", "list C:\\1||1", "pos 0", "list C:\\2||1", "pos 1", "list C:\\3||1",
                             "pos 2", "hide"}));
}

TEST(DispatchLoop, NothingTakenOnceTerminated) {
  TItemsStack stack;
  stack.addItem("C:\\late", "", 1);
  stack.terminate();
  InlineDispatcher ui;
  RecordingView view;
  EXPECT_FALSE(stack.wakeUp(ui, view, PathStyle::Windows));
  EXPECT_TRUE(view.log.empty());
}

// A view that holds the delivery of its first list row until the test lets it go.
class HeldView : public RecordingView {
 public:
  void addListItem(const std::string& item1, const std::string& item2, int eventNum) override {
    {
      std::unique_lock guard(lock);
      if (!entered) {
        entered = true;
        changed.notify_all();
        changed.wait_for(guard, std::chrono::seconds(10), [&] { return released; });
      }
    }
    RecordingView::addListItem(item1, item2, eventNum);
  }
  bool waitUntilEntered() {
    std::unique_lock guard(lock);
    return changed.wait_for(guard, std::chrono::seconds(10), [&] { return entered; });
  }
  void release() {
    std::lock_guard guard(lock);
    released = true;
    changed.notify_all();
  }
  bool isReleased() {
    std::lock_guard guard(lock);
    return released;
  }

 private:
  std::mutex lock;
  std::condition_variable changed;
  bool entered = false;
  bool released = false;
};

// Events keep arriving while a batch is delivered: adding one never waits for the delivery, and
// what arrives meanwhile is the next batch, not part of the one being delivered.
TEST(DispatchLoop, AddsDoNotWaitForADelivery) {
  TItemsStack stack;
  stack.addItem("C:\\first", "", 1);
  stack.addItem("C:\\second", "", 1);
  HeldView view;
  std::thread delivery([&] {
    InlineDispatcher ui;
    stack.wakeUp(ui, view, PathStyle::Windows);
  });
  ASSERT_TRUE(view.waitUntilEntered());
  for (int i = 0; i < 1000; ++i) stack.addItem("C:\\late" + std::to_string(i), "", 1);
  const bool addedWhileHeld = !view.isReleased();
  const bool queued = stack.hasItems();
  view.release();
  delivery.join();
  EXPECT_TRUE(addedWhileHeld) << "addItem waited for the batch being delivered";
  EXPECT_TRUE(queued);
  EXPECT_EQ(view.log, (Lines{"show 2", "list C:\\first||1", "pos 0", "list C:\\second||1", "pos 1", "hide"}));
  std::vector<TItemObj> next;
  EXPECT_EQ(stack.takeAll(next), 1000u);
  EXPECT_EQ(next.front().getItem1(), "C:\\late0");
}

// The real thread: a batch a second, delivered through a user-interface thread of the test's.
TEST(DispatchThread, DeliversOnTheUiThreadAndEndsAfterTerminate) {
  QueuedUiDispatcher ui;
  std::thread uiThread([&] { ui.exec(); });
  RecordingView view;
  auto stack = std::make_shared<TItemsStack>();
  std::weak_ptr<TItemsStack> watch = stack;
  TItemsStack::start(stack, ui, view, PathStyle::Windows);
  stack->addItem("C:\\one", "", 1);
  stack->addItem("C:\\two", "", 1);

  // Wait for the first batch (one wake-up interval, plus slack).
  for (int i = 0; i < 300; ++i) {
    bool done = false;
    ui.synchronize([&] { done = !view.log.empty() && view.log.back() == "hide"; });
    if (done) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::vector<std::string> log;
  ui.synchronize([&] { log = view.log; });
  EXPECT_EQ(log, (Lines{"show 2", "list C:\\one||1", "pos 0", "list C:\\two||1", "pos 1", "hide"}));
  for (auto id : view.threads) EXPECT_EQ(id, uiThread.get_id());

  stack->addItem("C:\\never", "", 1);  // queued after the last wake-up before termination
  stack->terminate();
  EXPECT_TRUE(stack->waitForEnd(std::chrono::seconds(3)));
  stack.reset();
  // The thread lets go of the queue just after it signals its end.
  for (int i = 0; i < 200 && !watch.expired(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(watch.expired()) << "the queue is freed once its thread has ended";
  ui.quit();
  uiThread.join();
  for (const auto& line : view.log) EXPECT_EQ(line.find("never"), std::string::npos);
}

}  // namespace
}  // namespace tw
