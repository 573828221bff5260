#include "platform/icon_registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace tw {
namespace {

TEST(IconRegistry, OneIndexPerNameFromOneUp) {
  IconRegistry icons;
  EXPECT_EQ(icons.intern(""), 0) << "no name is no icon";
  EXPECT_EQ(icons.intern("folder"), 1);
  EXPECT_EQ(icons.intern("text-plain"), 2);
  EXPECT_EQ(icons.intern("folder"), 1);
  EXPECT_EQ(icons.name(1), "folder");
  EXPECT_EQ(icons.name(2), "text-plain");
  for (int outside : {0, -1, 3, 1 << 30}) EXPECT_EQ(icons.name(outside), "") << outside;
}

// Threads intern the same names in different orders while others look indexes up: every name
// ends with exactly one index, the indexes are 1..N without gaps, and each thread saw the same
// index for a name as every other thread.
TEST(IconRegistryThreaded, ConcurrentInternsAgree) {
  constexpr int kNames = 2000;
  constexpr int kThreads = 4;
  std::vector<std::string> names;
  for (int i = 0; i < kNames; ++i)
    names.push_back("icon-" + std::to_string(i) + ";generic-" + std::to_string(i % 7));
  IconRegistry icons;
  std::vector<std::vector<int>> seen(kThreads, std::vector<int>(kNames, 0));
  std::vector<std::string> lookupErrors(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      std::vector<int> order(kNames);
      for (int i = 0; i < kNames; ++i) order[static_cast<std::size_t>(i)] = i;
      std::shuffle(order.begin(), order.end(), std::mt19937(static_cast<unsigned>(t) + 1));
      for (const int i : order) {
        const int index = icons.intern(names[static_cast<std::size_t>(i)]);
        seen[static_cast<std::size_t>(t)][static_cast<std::size_t>(i)] = index;
        // A lookup of an index just handed out gives its name, while others still add names.
        if (icons.name(index) != names[static_cast<std::size_t>(i)] &&
            lookupErrors[static_cast<std::size_t>(t)].empty()) {
          lookupErrors[static_cast<std::size_t>(t)] = names[static_cast<std::size_t>(i)];
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(lookupErrors[static_cast<std::size_t>(t)], "");
    EXPECT_EQ(seen[static_cast<std::size_t>(t)], seen[0]) << "thread " << t;
  }
  const std::set<int> indexes(seen[0].begin(), seen[0].end());
  ASSERT_EQ(indexes.size(), static_cast<std::size_t>(kNames));
  EXPECT_EQ(*indexes.begin(), 1);
  EXPECT_EQ(*indexes.rbegin(), kNames);
  for (int i = 0; i < kNames; ++i)
    EXPECT_EQ(icons.name(seen[0][static_cast<std::size_t>(i)]), names[static_cast<std::size_t>(i)]);
}

}  // namespace
}  // namespace tw
