#include "core/queue/ui_dispatcher.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <vector>

namespace tw {
namespace {

// The dispatcher's "user-interface thread" is a thread the test owns.
class UiThread {
 public:
  UiThread() : thread([this] { dispatcher.exec(); }) {}
  ~UiThread() {
    dispatcher.quit();
    thread.join();
  }
  QueuedUiDispatcher dispatcher;

 private:
  std::thread thread;
};

TEST(UiDispatcher, RunsStepsOnTheUiThreadInOrderAndWaits) {
  UiThread ui;
  std::thread::id stepThread;
  std::vector<int> order;
  for (int i = 0; i < 100; ++i) {
    ui.dispatcher.synchronize([&, i] {
      stepThread = std::this_thread::get_id();
      order.push_back(i);  // only the UI thread writes, and the caller waits
    });
    ASSERT_EQ(order.size(), static_cast<std::size_t>(i) + 1);
  }
  EXPECT_NE(stepThread, std::this_thread::get_id());
  EXPECT_EQ(order.front(), 0);
  EXPECT_EQ(order.back(), 99);
}

TEST(UiDispatcher, ExceptionsComeBackToTheCaller) {
  UiThread ui;
  EXPECT_THROW(ui.dispatcher.synchronize([] { throw std::logic_error("step failed"); }), std::logic_error);
  try {
    ui.dispatcher.synchronize([] { throw std::runtime_error("disk full"); });
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "disk full");
  }
  // The UI thread is still serving after a failed step.
  int value = 0;
  ui.dispatcher.synchronize([&] { value = 5; });
  EXPECT_EQ(value, 5);
}

TEST(UiDispatcher, CallFromTheUiThreadRunsAtOnce) {
  UiThread ui;
  int depth = 0;
  ui.dispatcher.synchronize([&] {
    ui.dispatcher.synchronize([&] { depth = 2; });  // would deadlock if queued
  });
  EXPECT_EQ(depth, 2);
}

TEST(UiDispatcher, ManyCallersAllServed) {
  UiThread ui;
  long total = 0;
  std::vector<std::thread> callers;
  for (int t = 0; t < 4; ++t) {
    callers.emplace_back([&] {
      for (int i = 0; i < 500; ++i) ui.dispatcher.synchronize([&] { ++total; });
    });
  }
  for (auto& c : callers) c.join();
  EXPECT_EQ(total, 2000);
}

TEST(UiDispatcher, QuitReleasesWaitingAndLaterCallers) {
  QueuedUiDispatcher dispatcher;  // nobody runs exec(): a caller would wait for ever
  std::thread caller([&] { EXPECT_THROW(dispatcher.synchronize([] {}), std::runtime_error); });
  while (dispatcher.waiting() == 0) std::this_thread::yield();  // the caller now waits for its step
  dispatcher.quit();
  caller.join();
  EXPECT_THROW(dispatcher.synchronize([] {}), std::runtime_error);
}

TEST(UiDispatcher, ProcessPendingRunsPostedSteps) {
  QueuedUiDispatcher dispatcher;
  int ran = 0;
  std::thread caller([&] { dispatcher.synchronize([&] { ran = 1; }); });
  std::size_t processed = 0;
  while (processed == 0) processed = dispatcher.processPending();
  caller.join();
  EXPECT_EQ(processed, 1u);
  EXPECT_EQ(ran, 1);
}

}  // namespace
}  // namespace tw
