#include "core/model/folder_icon_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "core/events/event_kinds.h"
#include "core/model/capture_list.h"
#include "core/model/capture_tree.h"
#include "core/model/capture_views.h"
#include "platform/fake/fake_platform.h"
#include "support/changes.h"

namespace tw {
namespace {

using namespace std::chrono_literals;

// A scripted platform that counts the disk lookups, and a clock the test moves.
struct CountingPlatform : FakePlatform {
  explicit CountingPlatform(PathStyle style = PathStyle::Posix) : FakePlatform(style) { systemDir = "/usr"; }
  int pathIcon(std::string_view path) override {
    ++lookups;
    return FakePlatform::pathIcon(path);
  }
  int lookups = 0;
  // From now on /a/ has `icon` on disk; 0: it is gone.
  void setIconOfA(int icon) {
    if (icon != 0) {
      objectIcons["/a/"] = icon;
    } else {
      objectIcons.erase("/a/");
    }
  }
};

struct ManualClock {
  FolderIconCache::Clock::time_point now{};
  FolderIconCache::Now source() {
    return [this] { return now; };
  }
};

// The cache's answer for one path, held by `pool`.
int answerOf(FolderIconCache& cache, TextPool& pool, const std::string& path) {
  return cache.folderIcon(pool, pool.intern(path));
}

// A cache over the scripted disk, with the clock the test moves and the pool of the paths asked.
struct CacheOnDisk {
  explicit CacheOnDisk(std::chrono::milliseconds window, PathStyle style = PathStyle::Posix)
      : platform(style), cache(platform, platform, window, clock.source()) {}
  CountingPlatform platform;
  ManualClock clock;
  FolderIconCache cache;
  TextPool pool;
};

TEST(FolderIconCache, AnswersAreKeptForTheWindowOnly) {
  CacheOnDisk disk(1000ms);
  auto& [platform, clock, cache, pool] = disk;
  platform.objectIcons = {{"/a/", 5}, {"/b/", 6}};

  // Each step: time since the start, the path asked, what the disk holds then, the answer and
  // the number of disk lookups so far.
  struct Step {
    std::chrono::milliseconds at;
    const char* path;
    int onDisk;  // the icon /a/ has on disk from this step on; 0: gone
    int answer;
    int lookups;
  } steps[] = {
      {0ms, "/a/", 5, 5, 1},    {10ms, "/a/", 5, 5, 1},    // kept
      {20ms, "/b/", 5, 6, 2},   {500ms, "/a/", 0, 5, 2},   // deleted on disk, but the answer is 500 ms old
      {999ms, "/a/", 0, 5, 2},  {1000ms, "/a/", 0, 0, 3},  // a window later the disk is asked again: gone
      {1500ms, "/a/", 7, 0, 3},                            // created again; the answer "gone" is kept too
      {1900ms, "/b/", 7, 6, 4},                            // /b/ was last asked 1880 ms ago
      {2001ms, "/a/", 7, 7, 5}, {2500ms, "/a/", 7, 7, 5}, {2999ms, "/a/", 0, 7, 5},  // asked 998 ms ago
      {3001ms, "/a/", 0, 0, 6}, {9000ms, "/a/", 8, 8, 7},  // a long pause: nothing old survives
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(testing::Message() << "at " << s.at.count() << " ms, " << s.path);
    clock.now = FolderIconCache::Clock::time_point(s.at);
    platform.setIconOfA(s.onDisk);
    EXPECT_EQ(answerOf(cache, pool, s.path), s.answer);
    EXPECT_EQ(platform.lookups, s.lookups);
  }
}

// The answers are kept by the pool's ids: the ids of a cleared pool, or of another pool, mean
// other texts, so nothing kept is used for them.
TEST(FolderIconCache, AnswersOfAClearedOrAnotherPoolAreNotUsed) {
  CacheOnDisk disk(1000ms);
  auto& [platform, clock, cache, pool] = disk;
  platform.objectIcons = {{"/a/", 5}, {"/b/", 6}};
  EXPECT_EQ(answerOf(cache, pool, "/a/"), 5);
  EXPECT_EQ(answerOf(cache, pool, "/b/"), 6);
  EXPECT_EQ(answerOf(cache, pool, "/a/"), 5);
  EXPECT_EQ(platform.lookups, 2);
  pool.clear();
  platform.objectIcons["/b/"] = 7;
  EXPECT_EQ(answerOf(cache, pool, "/b/"), 7);  // the id /a/ had, with /a/'s answer kept
  EXPECT_EQ(platform.lookups, 3);
  TextPool other;
  platform.objectIcons["/b/"] = 8;
  EXPECT_EQ(answerOf(cache, other, "/b/"), 8);
  EXPECT_EQ(platform.lookups, 4);
}

// A change the views file ends the answers for the paths it names and for everything below
// them, at once and whatever the window; a plain file's changes end none but that of its folder
// when it is the file that gives the folder its icon. Both path styles.
TEST(FolderIconCache, ChangesEndTheAnswersOfThePathsTheyNameAndBelow) {
  struct Case {
    PathStyle style;
    Change change;
    bool folder;                          // the watcher says the object is a folder
    std::vector<std::string> askedAgain;  // of the paths kept (see below)
    std::optional<Change> then = {};      // a second change, noted after the first
  };
  const std::vector<std::string> posix = {"/a/", "/a/b/", "/a/b2/", "/c/"};
  const std::vector<std::string> windows = {"C:\\a\\", "C:\\a\\b\\", "C:\\a\\b2\\", "D:\\"};
  using test::change;
  const Case cases[] = {
      {PathStyle::Posix, change(EventKind::FileUpdated, "/a/b/x.txt"), false, {}},
      {PathStyle::Posix, change(EventKind::FileCreated, "/a/b/desktop.ini"), false, {"/a/b/"}},
      {PathStyle::Posix, change(EventKind::FileCreated, "/a/b"), true, {"/a/b/"}},
      {PathStyle::Posix, change(EventKind::FolderCreated, "/a/b/c"), false, {}},
      {PathStyle::Posix, change(EventKind::FolderCreated, "/a"), false, {"/a/"}},  // not what is below
      {PathStyle::Posix,
       change(EventKind::FolderDeleted, "/a"),
       false,
       {"/a/", "/a/b/", "/a/b2/"},
       change(EventKind::FolderCreated, "/a")},  // the deletion still counts
      {PathStyle::Posix, change(EventKind::FileDeleted, "/a"), true, {"/a/", "/a/b/", "/a/b2/"}},
      {PathStyle::Posix, change(EventKind::FolderDeleted, "/a/b"), false, {"/a/b/"}},  // not /a/b2/
      {PathStyle::Posix, change(EventKind::FolderRenamed, "/x", "/a"), false, {"/a/", "/a/b/", "/a/b2/"}},
      {PathStyle::Posix, change(EventKind::Attributes, "/c"), false, {"/c/"}},
      {PathStyle::Posix, change(EventKind::Attributes, "/a"), false, {"/a/"}},
      {PathStyle::Posix, change(EventKind::FolderNeedsRescan, "/a/"), false, {"/a/", "/a/b/", "/a/b2/"}},
      {PathStyle::Posix, change(EventKind::DriveRemoved, "/"), false, posix},
      {PathStyle::Posix, change(EventKind::Association, ""), false, {}},
      {PathStyle::Windows, change(EventKind::FolderDeleted, "c:\\A\\B"), false, {"C:\\a\\b\\"}},
      {PathStyle::Windows, change(EventKind::FileUpdated, "C:\\a\\b\\DESKTOP.INI"), false, {"C:\\a\\b\\"}},
      {PathStyle::Windows, change(EventKind::FileRenamed, "C:\\a\\x.txt", "C:\\a\\y.txt"), false, {}},
      {PathStyle::Windows, change(EventKind::DriveRemoved, "D:\\"), false, {"D:\\"}},
      {PathStyle::Windows,
       change(EventKind::MediaInserted, "C:"),
       false,
       {windows[0], windows[1], windows[2]}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << eventNumber(c.change.kind) << " " << c.change.path << " "
                                    << c.change.newPath);
    const std::vector<std::string>& kept = c.style == PathStyle::Posix ? posix : windows;
    CacheOnDisk disk(60s, c.style);
    auto& [platform, clock, cache, pool] = disk;
    for (std::size_t i = 0; i < kept.size(); ++i) platform.objectIcons[kept[i]] = static_cast<int>(i) + 10;
    const auto ask = [&](const std::string& path) { return answerOf(cache, pool, path); };
    for (const std::string& path : kept) ask(path);
    ASSERT_EQ(platform.lookups, static_cast<int>(kept.size()));
    for (const std::string& path : kept) platform.objectIcons[path] += 100;  // what a fresh look sees
    clock.now += 30s;
    Change change = c.change;
    change.folder = c.folder;
    cache.noteChange(change);
    if (c.then) cache.noteChange(*c.then);
    for (const std::string& path : kept) {
      const bool again = std::find(c.askedAgain.begin(), c.askedAgain.end(), path) != c.askedAgain.end();
      EXPECT_EQ(ask(path), platform.objectIcons[path] - (again ? 0 : 100)) << path;
    }
    EXPECT_EQ(platform.lookups, static_cast<int>(kept.size() + c.askedAgain.size()));
  }
}

// While the changes filed are history (a recording being opened) every answer holds whatever
// its age and whatever changes are filed; once they are not, the window and the changes decide
// again.
TEST(FolderIconCache, WhileTheChangesAreHistoryEveryAnswerHolds) {
  CacheOnDisk disk(1000ms);
  auto& [platform, clock, cache, pool] = disk;
  platform.objectIcons = {{"/a/", 5}};
  const auto ask = [&] { return answerOf(cache, pool, "/a/"); };
  cache.setChangesAreHistory(true);
  EXPECT_EQ(ask(), 5);
  platform.objectIcons.clear();
  cache.noteChange(test::change(EventKind::FolderDeleted, "/a"));
  clock.now += 1h;
  EXPECT_EQ(ask(), 5);
  EXPECT_EQ(platform.lookups, 1);
  cache.setChangesAreHistory(false);
  EXPECT_EQ(ask(), 0);  // an hour old
  platform.objectIcons = {{"/a/", 6}};
  cache.noteChange(test::change(EventKind::FolderCreated, "/a"));
  EXPECT_EQ(ask(), 6);
  EXPECT_EQ(platform.lookups, 3);
}

// The changes noted are bounded: past kMostChangedPaths every answer is forgotten and the
// noting starts over.
TEST(FolderIconCache, TheChangesNotedAreBounded) {
  CacheOnDisk disk(60s);
  auto& [platform, clock, cache, pool] = disk;
  platform.objectIcons = {{"/a/", 5}};
  EXPECT_EQ(answerOf(cache, pool, "/a/"), 5);
  const std::size_t empty = cache.bytesUsed();
  std::size_t most = 0;
  for (std::size_t i = 0; i < FolderIconCache::kMostChangedPaths + 10; ++i) {
    cache.noteChange(test::change(EventKind::FolderCreated, "/z/" + std::to_string(i)));
    if (i == FolderIconCache::kMostChangedPaths - 1) most = cache.bytesUsed();
  }
  EXPECT_LT(cache.bytesUsed(), empty + (most - empty) / 100);
  EXPECT_EQ(platform.lookups, 1);
  EXPECT_EQ(answerOf(cache, pool, "/a/"), 5);
  EXPECT_EQ(platform.lookups, 2);
}

TEST(FolderIconCache, SystemFolderIconIsAskedOnceUnlessItFailed) {
  CacheOnDisk disk(1000ms);
  auto& [platform, clock, cache, pool] = disk;
  EXPECT_EQ(cache.systemFolderIcon(), 0);  // a failed query is not kept
  EXPECT_EQ(platform.lookups, 1);
  platform.objectIcons = {{"/usr/", 4}};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(cache.systemFolderIcon(), 4);
  EXPECT_EQ(platform.lookups, 2);
  clock.now += 1h;
  EXPECT_EQ(cache.systemFolderIcon(), 4);
  EXPECT_EQ(platform.lookups, 2);
  cache.clear();
  EXPECT_EQ(cache.systemFolderIcon(), 4);
  EXPECT_EQ(platform.lookups, 3);
}

TEST(FolderIconCache, ClearForgetsEveryAnswer) {
  CacheOnDisk disk(1000ms);
  auto& [platform, clock, cache, pool] = disk;
  platform.objectIcons = {{"/a/", 5}};
  EXPECT_EQ(answerOf(cache, pool, "/a/"), 5);
  platform.objectIcons.clear();
  EXPECT_EQ(answerOf(cache, pool, "/a/"), 5);
  EXPECT_GT(cache.bytesUsed(), 0u);
  cache.clear();
  EXPECT_EQ(answerOf(cache, pool, "/a/"), 0);
}

// The tree and the list ask the disk only for the icons read (a view reads the nodes and rows
// it shows), each once; when they share a cache, a folder both show is asked once, and its
// answer follows the disk once the window has passed.
TEST(FolderIconCache, TheViewsAskOnlyForWhatIsReadAndShareTheAnswers) {
  CacheOnDisk disk(1000ms);
  auto& [platform, clock, cache, pool] = disk;  // views that share a cache share their texts too
  platform.objectIcons = {{"/home/", 3}, {"/home/u/", 4}, {"/usr/", 9}};
  for (int i = 0; i < 50; ++i) platform.objectIcons["/home/u/d" + std::to_string(i) + "/"] = 100 + i;
  platform.typeIcons = {{".txt", 7}};
  CaptureTree tree(platform, &platform, PathStyle::Posix, &pool, &cache);
  CaptureList list(platform, &platform, PathStyle::Posix, &pool, &cache);
  const auto deliver = [&](const std::string& path, EventKind event) {
    tree.add(test::changeOf(path, "", event));
    list.add(test::changeOf(path, "", event));
  };
  tree.beginBatch();
  list.beginBatch();
  for (int i = 0; i < 1000; ++i)
    deliver("/home/u/d" + std::to_string(i % 50) + "/f" + std::to_string(i) + ".txt", EventKind::FileCreated);
  tree.endBatch();
  list.endBatch();
  EXPECT_EQ(platform.lookups, 0);  // nothing read yet
  EXPECT_EQ(list.icon(7), 7);      // the file type's, from its name
  EXPECT_EQ(list.folderIcon(7), 107);
  EXPECT_EQ(list.folderIcon(57), 107);  // the same folder, kept
  EXPECT_EQ(platform.lookups, 1);
  const NodeId home = tree.find("home", tree.find("/", kNoNode));
  const NodeId u = tree.find("u", home);
  EXPECT_EQ(tree.icon(home), 3);
  EXPECT_EQ(tree.icon(u), 4);
  EXPECT_EQ(tree.icon(tree.find("d7", u)), 107);  // the list's answer: the same path
  EXPECT_EQ(platform.lookups, 3);
  for (int row = 0; row < list.rowCount(); ++row) ASSERT_EQ(list.folderIcon(row), 100 + row % 50);
  EXPECT_EQ(platform.lookups, 52);
  for (int i = 0; i < 100; ++i) deliver("/home/u/d7/f7.txt", EventKind::FileUpdated);
  for (int row = 0; row < list.rowCount(); ++row)
    ASSERT_EQ(list.folderIcon(row), row < 1000 ? 100 + row % 50 : 107);
  EXPECT_EQ(platform.lookups, 52);  // each row asks once, and the answers hold
  deliver("/home/u/x",
          EventKind::FolderDeleted);  // the system folder's icon for the treated node and the row
  EXPECT_EQ(list.icon(list.rowCount() - 1), 9);
  EXPECT_EQ(platform.lookups, 53);  // /usr/ (the treated node's own path is not asked)
  // /home/u/d7/ goes; a new row sees it once the answer is a window old.
  platform.objectIcons.erase("/home/u/d7/");
  deliver("/home/u/d7/b.txt", EventKind::FileCreated);
  EXPECT_EQ(list.folderIcon(list.rowCount() - 1), 107);
  clock.now += 1001ms;
  deliver("/home/u/d7/c.txt", EventKind::FileCreated);
  EXPECT_EQ(list.folderIcon(list.rowCount() - 1), 0);
  EXPECT_EQ(list.folderIcon(7), 107);  // a row keeps the icon it was first read with
}

// The views note every change they file: a list row's folder icon follows a folder's deletion
// at once, and rows in folders no change names cost no disk lookup however many come.
TEST(FolderIconCache, TheViewsNoteTheChangesTheyFile) {
  CountingPlatform platform;
  platform.objectIcons = {{"/home/", 3}, {"/home/u/", 4}, {"/usr/", 9}};
  CaptureViews views(platform, &platform, PathStyle::Posix);
  const auto rowFolderIcon = [&](const char* path, EventKind kind) {
    views.beginBatch();
    views.add(test::change(kind, path));
    views.endBatch();
    return views.list().folderIcon(views.list().rowCount() - 1);
  };
  EXPECT_EQ(rowFolderIcon("/home/u/a.txt", EventKind::FileCreated), 4);
  const int lookups = platform.lookups;
  platform.objectIcons.erase("/home/u/");  // not told: the answer holds
  for (int i = 0; i < 50; ++i) EXPECT_EQ(rowFolderIcon("/home/u/a.txt", EventKind::FileUpdated), 4);
  EXPECT_EQ(platform.lookups, lookups);
  EXPECT_EQ(rowFolderIcon("/home/u", EventKind::FolderDeleted), 3);
  EXPECT_EQ(rowFolderIcon("/home/u/b.txt", EventKind::FileDeleted), 0);
}

}  // namespace
}  // namespace tw
