// The scripted change notification that the monitor's tests drive.

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "platform/fake/fake_platform.h"

namespace tw {
namespace {

using namespace std::chrono_literals;

TEST(FakeNotify, ParsingListedPathsAndCountingLists) {
  FakePlatform platform;
  platform.parseablePaths = {"C:\\", "D:\\"};
  ItemIdList c = platform.parseDisplayName("C:\\");
  ItemIdList e = platform.parseDisplayName("E:\\");
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(e, nullptr);
  EXPECT_EQ(platform.pathFromIdList(c), "C:\\");
  EXPECT_EQ(platform.pathFromIdList(nullptr), "");
  EXPECT_EQ(platform.idListsAllocated(), 1);
  EXPECT_EQ(platform.idListsFreed(), 0);
  platform.freeIdList(c);
  platform.freeIdList(nullptr);
  EXPECT_EQ(platform.idListsFreed(), 1);
  EXPECT_EQ(platform.notifyCalls(), (std::vector<std::string>{"parse C:\\", "parse E:\\", "free C:\\"}));
  EXPECT_TRUE(platform.getShellMalloc());
  platform.shellMallocFails = true;
  EXPECT_FALSE(platform.getShellMalloc());
}

TEST(FakeNotify, RegistrationsAreRecordedAndCanFail) {
  FakePlatform platform;
  platform.parseablePaths = {"C:\\"};
  auto window = platform.createNotifyWindow([](const ThreadMessage&) {});
  ItemIdList c = platform.parseDisplayName("C:\\");
  const std::uint32_t id = platform.changeNotifyRegister(*window, 0x1003, 0x2F, 1026, NotifyEntry{c, -1});
  ASSERT_NE(id, 0u);
  platform.registerFails = true;
  EXPECT_EQ(platform.changeNotifyRegister(*window, 0x1003, 0x2F, 1026, NotifyEntry{c, -1}), 0u);
  platform.changeNotifyDeregister(id);
  platform.freeIdList(c);

  const auto records = platform.registrations();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].id, id);
  EXPECT_EQ(records[0].threadId, platform.currentThreadId());
  EXPECT_EQ(records[0].sourceFlags, 0x1003);
  EXPECT_EQ(records[0].events, 0x2F);
  EXPECT_EQ(records[0].message, 1026u);
  EXPECT_EQ(records[0].path, "C:\\");
  EXPECT_EQ(records[0].fRecursive, -1);
  EXPECT_FALSE(records[0].active);
  const auto calls = platform.notifyCalls();
  const auto pos = [&](const std::string& call) {
    return std::find(calls.begin(), calls.end(), call) - calls.begin();
  };
  EXPECT_LT(pos("deregister " + std::to_string(id)), pos("free C:\\"));
  EXPECT_FALSE(platform.injectShellNotify(id, 2, "C:\\x")) << "a deregistered id delivers nothing";
}

// A monitor thread on the fake: registers C:\ and pulls messages until getMessage ends.
TEST(FakeNotify, InjectedMessagesReachTheWindowThreadInOrder) {
  FakePlatform platform;
  platform.parseablePaths = {"C:\\"};
  struct Seen {
    std::uint32_t message;
    std::intptr_t lParam;
    std::string item1, item2;
    bool forWindow;
  };
  std::vector<Seen> seen;
  std::vector<std::int32_t> results;
  std::thread monitor([&] {
    platform.setCurrentThreadPriorityHighest();
    auto window = platform.createNotifyWindow([&](const ThreadMessage& msg) {
      const auto* items = reinterpret_cast<const ItemIdList*>(msg.wParam);
      seen.push_back({msg.message, msg.lParam, platform.pathFromIdList(items ? items[0] : nullptr),
                      platform.pathFromIdList(items ? items[1] : nullptr), true});
    });
    ItemIdList c = platform.parseDisplayName("C:\\");
    const auto id = platform.changeNotifyRegister(*window, 0x1003, -1, 1026, NotifyEntry{c, -1});
    ThreadMessage msg;
    for (;;) {
      const std::int32_t r = window->getMessage(msg);
      results.push_back(r);
      if (r <= 0) break;
      if (msg.forWindow) {
        window->dispatchMessage(msg);
      } else {
        seen.push_back({msg.message, msg.lParam, "", "", false});
      }
    }
    platform.changeNotifyDeregister(id);
    platform.freeIdList(c);
  });
  ASSERT_TRUE(platform.waitForRegistrations(1, 5s));
  const auto reg = platform.registrations()[0];
  EXPECT_TRUE(platform.injectShellNotify(reg.id, 0x80000001u, "C:\\a.txt", "C:\\b.txt"));
  EXPECT_TRUE(platform.injectShellNotify(reg.id, 0x2, "C:\\new.txt"));
  EXPECT_TRUE(platform.injectWindowMessage(reg.threadId, 0x0401, 0, 5));
  EXPECT_TRUE(platform.postThreadMessage(reg.threadId, 1025, 0, 0));
  EXPECT_TRUE(platform.injectGetMessageResult(reg.threadId, -1));
  monitor.join();

  EXPECT_EQ(results, (std::vector<std::int32_t>{1, 1, 1, 1, -1}));
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].message, 1026u);
  EXPECT_EQ(static_cast<std::uint32_t>(seen[0].lParam), 0x80000001u);
  EXPECT_EQ(seen[0].item1, "C:\\a.txt");
  EXPECT_EQ(seen[0].item2, "C:\\b.txt");
  EXPECT_EQ(seen[1].item1, "C:\\new.txt");
  EXPECT_EQ(seen[1].item2, "") << "no second item";
  EXPECT_EQ(seen[2].message, 0x0401u);
  EXPECT_EQ(seen[2].lParam, 5);
  EXPECT_EQ(seen[3].message, 1025u);
  EXPECT_FALSE(seen[3].forWindow);
  EXPECT_EQ(platform.priorityRaises(), 1);
  EXPECT_EQ(platform.idListsAllocated(), platform.idListsFreed());
  EXPECT_EQ(platform.liveWindows(), 0);
  EXPECT_FALSE(platform.postThreadMessage(reg.threadId, 1025, 0, 0)) << "its window is gone";
}

TEST(FakeNotify, GetMessageCanBeToldToReturnZero) {
  FakePlatform platform;
  std::promise<std::uint64_t> id;
  std::int32_t result = 7;
  std::thread monitor([&] {
    auto window = platform.createNotifyWindow({});
    id.set_value(platform.currentThreadId());
    ThreadMessage msg;
    result = window->getMessage(msg);
  });
  const std::uint64_t thread = id.get_future().get();
  EXPECT_TRUE(platform.injectGetMessageResult(thread, 0));
  monitor.join();
  EXPECT_EQ(result, 0);
}

TEST(FakeNotify, AThreadWithoutWindowCannotBePostedTo) {
  FakePlatform platform;
  EXPECT_FALSE(platform.postThreadMessage(platform.currentThreadId(), 1025, 0, 0));
  std::uint64_t other = 0;
  std::thread([&] { other = platform.currentThreadId(); }).join();
  EXPECT_NE(other, platform.currentThreadId());
  EXPECT_FALSE(platform.postThreadMessage(other, 1025, 0, 0));
  EXPECT_FALSE(platform.injectWindowMessage(other, 1026, 0, 0));
  EXPECT_FALSE(platform.waitForWindow(10ms));
}

}  // namespace
}  // namespace tw
