// Folder icons asked by text id and in the background: the answers are those of the plain
// lookups, whichever thread asks and in whatever order the views finish their lookups.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/events/event_kinds.h"
#include "core/model/capture_list.h"
#include "core/model/capture_tree.h"
#include "core/model/folder_icon_cache.h"
#include "platform/fake/fake_platform.h"
#include "support/changes.h"

namespace tw {
namespace {

using namespace std::chrono_literals;

// A scripted platform that may be asked from any thread (its icons are fixed before the
// first lookup) and notes who asked.
struct BackgroundPlatform : FakePlatform {
  explicit BackgroundPlatform(bool anyThread = true) : FakePlatform(PathStyle::Posix), anyThread(anyThread) {
    systemDir = "/usr";
  }
  bool lookupsOnAnyThread() const override { return anyThread; }
  int pathIcon(std::string_view path) override {
    {
      const std::lock_guard<std::mutex> hold(lock);
      threads.insert(std::this_thread::get_id());
    }
    ++calls;  // after the thread is noted, so that a test that sees a call sees its thread
    if (slow) std::this_thread::sleep_for(50us);
    return FakePlatform::pathIcon(path);
  }
  bool anyThread;
  bool slow = false;
  std::atomic<int> calls{0};
  std::mutex lock;
  std::set<std::thread::id> threads;
};

TEST(FolderIconLookups, ByIdFollowTheWindowAndForgetAClearedPool) {
  BackgroundPlatform platform(false);
  platform.objectIcons = {{"/a/", 5}, {"/b/", 6}};
  FolderIconCache::Clock::time_point now{};
  FolderIconCache cache(platform, platform, 1000ms, [&] { return now; });
  TextPool pool;
  const TextId a = pool.intern("/a/");
  const TextId b = pool.intern("/b/");
  const auto ask = [&](std::vector<TextId> ids) { return cache.finish(*cache.start(pool, ids)); };

  EXPECT_EQ(ask({a, b, a}), (std::vector<int>{5, 6, 5}));
  EXPECT_EQ(platform.calls, 2);  // the same path once
  platform.objectIcons.erase("/a/");
  now += 999ms;
  EXPECT_EQ(ask({a}), std::vector<int>{5});  // kept for the window
  EXPECT_EQ(platform.calls, 2);
  now += 1ms;
  EXPECT_EQ(ask({b, a}), (std::vector<int>{6, 0}));  // a window later: asked again
  EXPECT_EQ(platform.calls, 4);
  // Answers by path and by id are kept apart.
  EXPECT_EQ(cache.folderIcon("/b/"), 6);
  EXPECT_EQ(platform.calls, 5);

  // Ids of a cleared pool, or of another pool, mean other texts: nothing kept is used.
  pool.clear();
  const TextId b2 = pool.intern("/b/");
  platform.objectIcons["/b/"] = 7;
  EXPECT_EQ(ask({b2}), std::vector<int>{7});
  EXPECT_EQ(platform.calls, 6);
  TextPool other;
  const TextId otherB = other.intern("/b/");
  platform.objectIcons["/b/"] = 8;
  EXPECT_EQ(cache.finish(*cache.start(other, {otherB})), std::vector<int>{8});
  EXPECT_EQ(platform.calls, 7);
}

TEST(FolderIconLookups, InTheBackgroundGiveWhatIsOnDisk) {
  BackgroundPlatform platform;
  std::vector<std::string> paths;
  for (int i = 0; i < 400; ++i) {
    paths.push_back("/d" + std::to_string(i % 37) + "/s" + std::to_string(i) + "/");
    if (i % 3 != 0) platform.objectIcons[paths.back()] = 10 + i;
  }
  platform.slow = true;
  FolderIconCache cache(platform, platform);
  TextPool pool;
  std::vector<std::pair<std::shared_ptr<FolderIconCache::Lookup>, std::vector<std::size_t>>> started;
  std::mt19937 random(3);
  for (int group = 0; group < 40; ++group) {
    std::vector<std::size_t> which;
    std::vector<TextId> ids;
    for (int k = 0; k < 25; ++k) {
      which.push_back(random() % paths.size());
      ids.push_back(pool.intern(paths[which.back()]));
    }
    started.emplace_back(cache.start(pool, ids), which);
  }
  // Some lookups begin on the lookup thread while this one goes on.
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (platform.calls == 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
  // Finished out of order; a few dropped unfinished.
  std::shuffle(started.begin(), started.end(), random);
  for (std::size_t g = 0; g + 5 < started.size(); ++g) {
    const std::vector<int> answers = cache.finish(*started[g].first);
    ASSERT_EQ(answers.size(), started[g].second.size());
    for (std::size_t k = 0; k < answers.size(); ++k) {
      const std::size_t i = started[g].second[k];
      EXPECT_EQ(answers[k], i % 3 != 0 ? 10 + static_cast<int>(i) : 0) << paths[i];
    }
  }
  const std::lock_guard<std::mutex> hold(platform.lock);
  EXPECT_TRUE(std::any_of(platform.threads.begin(), platform.threads.end(), [](std::thread::id id) {
    return id != std::this_thread::get_id();
  })) << "every lookup ran on the test's thread";
}

// Views cleared, and a cache destroyed, while lookups are under way.
TEST(FolderIconLookups, ClearAndDestroyWithLookupsUnderWay) {
  BackgroundPlatform platform;
  for (int i = 0; i < 100; ++i) platform.objectIcons["/f" + std::to_string(i) + "/"] = i + 1;
  platform.slow = true;
  for (int round = 0; round < 20; ++round) {
    TextPool pool;
    FolderIconCache cache(platform, platform);
    CaptureTree tree(platform, &platform, PathStyle::Posix, &pool, &cache);
    CaptureList list(platform, &platform, PathStyle::Posix, &pool, &cache);
    tree.beginBatch();
    list.beginBatch();
    for (int i = 0; i < 300; ++i) {
      const std::string path = "/f" + std::to_string((i * 7 + round) % 100) + "/n" + std::to_string(i) + "/x";
      tree.add(test::changeOf(path, "", EventKind::FolderCreated));
      list.add(test::changeOf(path, "", EventKind::FolderCreated));
    }
    if (round % 2 == 0) {
      tree.clear();
      list.clear();
      EXPECT_EQ(tree.nodeCount(), 0u);
      EXPECT_EQ(list.rowCount(), 0);
    }
    list.endBatch();
    tree.endBatch();
    if (round % 2 == 1) {
      ASSERT_EQ(list.rowCount(), 300);
      EXPECT_EQ(list.folderIcon(0), 0);  // /f<n>/n0/ is not on disk
    }
  }
}

}  // namespace
}  // namespace tw
