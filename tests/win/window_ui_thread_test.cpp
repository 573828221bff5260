// The user-interface thread of the Windows program: work posted to it runs in order, and a run
// of queued work stops at its budget, leaving the rest for after input and painting.
#include "win/main/window_ui_thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "support/ui_driver.h"

namespace tw::win {
namespace {

using namespace std::chrono_literals;
using namespace tw::win::test;

TEST(WindowUiThread, ARunStopsAtItsBudgetAndTheRestFollowsInOrder) {
  WindowUiThread::Clock::time_point now{};
  WindowUiThread ui([&] { return now; });
  std::vector<int> ran;
  for (int i = 0; i < 6; ++i) {
    ui.post([&, i] {
      ran.push_back(i);
      now += 10ms;  // each step takes two thirds of the budget
    });
  }
  ui.runQueued();  // as its window's message does
  EXPECT_EQ(ran, (std::vector<int>{0, 1}));
  ASSERT_TRUE(pumpUntil([&] { return ran.size() == 6; }));
  EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3, 4, 5}));
  // Quick steps all run in one go.
  ran.clear();
  for (int i = 0; i < 50; ++i) ui.post([&, i] { ran.push_back(i); });
  ui.runQueued();
  EXPECT_EQ(ran.size(), 50u);
}

}  // namespace
}  // namespace tw::win
