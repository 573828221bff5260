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

// A random recording delivered in batches to a tree and a list that share a cache: with the
// lookups in the background, every node and row gets the icon that plain lookups give it when
// the events come one by one (also the nodes that a removal in the middle of a batch showed
// before their icons came).
TEST(FolderIconLookups, ViewsGetTheSameIconsInTheBackground) {
  struct Run {
    std::vector<int> nodeIcons;
    std::vector<int> rowIcons;
  };
  const auto record = [](bool background) {
    BackgroundPlatform platform(background);
    std::mt19937 random(7);
    const char* names[] = {"a", "b", "c", "d", "e"};
    const auto somePath = [&](int depth) {
      std::string path;
      for (int i = 0; i < depth; ++i) path += std::string("/") + names[random() % 5];
      return path;
    };
    for (int i = 0; i < 300; ++i)
      platform.objectIcons[somePath(1 + static_cast<int>(random() % 4)) + "/"] = 20 + i;
    platform.objectIcons["/usr/"] = 9;
    TextPool pool;
    FolderIconCache cache(platform, platform, 1h);
    CaptureTree tree(platform, &platform, PathStyle::Posix, &pool, &cache);
    CaptureList list(platform, &platform, PathStyle::Posix, &pool, &cache);
    // What a view shows: each node's icon when it is announced, and again when it changes.
    struct Shown : CaptureTreeObserver {
      explicit Shown(const CaptureTree& tree) : tree(tree) {}
      void nodesAboutToBeInserted(NodeId, int, int) override {}
      void nodesInserted(NodeId parent, int first, int last) override {
        for (int r = first; r <= last; ++r) take(tree.child(parent, r));
      }
      // A new row comes with what is under it.
      void take(NodeId node) {
        icons[node] = tree.icon(node);
        for (int r = 0; r < tree.childCount(node); ++r) take(tree.child(node, r));
      }
      void nodesChanged(const std::vector<NodeId>& nodes) override {
        for (const NodeId n : nodes) icons[n] = tree.icon(n);
      }
      void nodesAboutToBeRemoved(NodeId, int, int) override {}
      void nodesRemoved(NodeId, int, int) override {}
      void treeAboutToBeCleared() override {}
      void treeCleared() override {}
      const CaptureTree& tree;
      std::map<NodeId, int> icons;
    } shown(tree);
    tree.setObserver(&shown);
    const EventKind events[] = {EventKind::FileCreated,       EventKind::FolderCreated,
                                EventKind::FolderNeedsRescan, EventKind::FolderDeleted,
                                EventKind::FolderRenamed,     EventKind::FileDeleted,
                                EventKind::Attributes};
    for (int batch = 0; batch < 30; ++batch) {
      if (background) {
        tree.beginBatch();
        list.beginBatch();
      }
      for (int i = 0; i < 200; ++i) {
        const EventKind event = events[random() % std::size(events)];
        const std::string path = somePath(2 + static_cast<int>(random() % 4));
        if (event != EventKind::Attributes) tree.add(test::changeOf(path, path + "x", event));
        list.add(test::changeOf(path, "", event));
      }
      if (background) {
        list.endBatch();
        tree.endBatch();
      }
    }
    Run run;
    tree.forEachNode([&](NodeId node, int) {
      run.nodeIcons.push_back(tree.icon(node));
      EXPECT_EQ(shown.icons[node], tree.icon(node)) << "the view shows an old icon of " << node;
    });
    for (int row = 0; row < list.rowCount(); ++row) run.rowIcons.push_back(list.folderIcon(row));
    return run;
  };
  const Run plain = record(false);
  const Run background = record(true);
  EXPECT_EQ(background.nodeIcons, plain.nodeIcons);
  EXPECT_EQ(background.rowIcons, plain.rowIcons);
  EXPECT_GT(
      std::count_if(plain.nodeIcons.begin(), plain.nodeIcons.end(), [](int icon) { return icon >= 20; }), 10);
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
