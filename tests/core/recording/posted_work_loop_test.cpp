// The user-interface thread of the headless recorder and of the tests.
#include "core/recording/posted_work_loop.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace tw {
namespace {

using namespace std::chrono_literals;

TEST(PostedWorkLoop, RunsWorkInPostingOrderOnTheRunningThread) {
  PostedWorkLoop loop;
  std::vector<std::pair<int, int>> ran;  // (poster, sequence), written on the loop's thread only
  std::vector<std::thread::id> threads;
  std::thread runner([&] { loop.run(); });
  std::vector<std::thread> posters;
  for (int p = 0; p < 4; ++p) {
    posters.emplace_back([&, p] {
      for (int i = 0; i < 500; ++i) {
        loop.post([&, p, i] {
          ran.emplace_back(p, i);
          threads.push_back(std::this_thread::get_id());
        });
      }
    });
  }
  for (auto& poster : posters) poster.join();
  const std::thread::id runnerId = runner.get_id();
  loop.quit();  // after the work posted before it
  runner.join();
  ASSERT_EQ(ran.size(), 2000u);
  std::vector<int> next(4, 0);
  for (const auto& [poster, sequence] : ran) {
    EXPECT_EQ(sequence, next[static_cast<std::size_t>(poster)]++) << "one poster's work keeps its order";
  }
  for (const auto id : threads) EXPECT_EQ(id, runnerId);
}

TEST(PostedWorkLoop, PostingNeverWaitsForTheLoop) {
  PostedWorkLoop loop;  // nobody runs it
  int ran = 0;
  std::thread poster([&] {
    for (int i = 0; i < 1000; ++i) loop.post([&] { ++ran; });
  });
  poster.join();
  EXPECT_EQ(loop.waiting(), 1000u);
  EXPECT_EQ(ran, 0);
  EXPECT_EQ(loop.runPending(), 1000u);
  EXPECT_EQ(ran, 1000);
}

TEST(PostedWorkLoop, RunPendingAlsoRunsWhatTheWorkPosts) {
  PostedWorkLoop loop;
  std::vector<int> order;
  loop.post([&] {
    order.push_back(1);
    loop.post([&] { order.push_back(3); });
  });
  loop.post([&] { order.push_back(2); });
  EXPECT_EQ(loop.runPending(), 3u);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(PostedWorkLoop, RunUntilWaitsForWorkFromOtherThreads) {
  PostedWorkLoop loop;
  bool done = false;
  std::thread poster([&] { loop.post([&] { done = true; }); });
  EXPECT_TRUE(loop.runUntil([&] { return done; }, 20s));
  poster.join();
  EXPECT_FALSE(loop.runUntil([] { return false; }, 10ms)) << "gives up after its time";
}

}  // namespace
}  // namespace tw
