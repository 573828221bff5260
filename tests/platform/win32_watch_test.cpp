// The shell's change notifications under Windows, in process: a watch of a folder hears what
// SHChangeNotify announces for paths below it, through the hidden window and its message loop,
// and gives it out as change records.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "platform/win32/win32_change_watching.h"
#include "platform/win32/win32_platform.h"
#include "support/temp_dir.h"

namespace tw {
namespace {

using namespace std::chrono_literals;

struct Seen {
  EventKind kind;
  std::string path, newPath;
  bool operator==(const Seen&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Seen& s) {
  return out << "{" << eventNumber(s.kind) << ", " << s.path << ", " << s.newPath << "}";
}

// A watching thread of the test's: starts the watch, waits and records until stopped.
class Watching {
 public:
  explicit Watching(WatchRequest request) {
    thread = std::thread([this, request] {
      Win32ChangeWatching watching;
      watching.prepareThread();
      auto watcher = watching.watch(request);
      {
        std::lock_guard guard(lock);
        watched = watcher->watchedRoots();
        live = watcher.get();
        ready = true;
      }
      changed.notify_all();
      ChangeBatch batch;
      while (!stopping) {
        batch.clear();
        watcher->wait(batch);
        std::lock_guard guard(lock);
        for (const Change& c : batch.changes) seen.push_back({c.kind, c.path, c.newPath});
        for (const WatchNotice& n : batch.notices) notices.push_back(n);
        changed.notify_all();
      }
      std::lock_guard guard(lock);
      live = nullptr;
    });
    std::unique_lock guard(lock);
    changed.wait(guard, [&] { return ready; });
  }
  ~Watching() { stop(); }

  void stop() {
    if (!thread.joinable()) return;
    stopping = true;
    {
      std::lock_guard guard(lock);
      if (live != nullptr) live->wake();
    }
    thread.join();
  }

  std::vector<Seen> waitForCount(std::size_t n) {
    std::unique_lock guard(lock);
    changed.wait_for(guard, 5s, [&] { return seen.size() >= n; });
    return seen;
  }

  std::vector<std::string> watched;
  std::vector<WatchNotice> notices;
  std::vector<Seen> seen;
  std::mutex lock;

 private:
  std::condition_variable changed;
  std::thread thread;
  ChangeWatcher* live = nullptr;
  bool ready = false;
  std::atomic<bool> stopping{false};
};

TEST(Win32Watch, AnnouncedChangesArriveAsChangeRecords) {
  test::TempDir tmp;
  const std::string root = tmp.path().string();
  Watching watching(WatchRequest{{root + "\\"}, allEventKinds()});
  ASSERT_EQ(watching.watched, std::vector<std::string>{root + "\\"});
  const std::string a = root + "\\a.txt", b = root + "\\b.txt", dir = root + "\\sub";
  Win32Platform::announceChange(0x00000002, a);     // create
  Win32Platform::announceChange(0x00000001, a, b);  // rename
  Win32Platform::announceChange(0x00000004, b);     // delete
  Win32Platform::announceChange(0x00000008, dir);   // folder created
  Win32Platform::announceChange(0x00000010, dir);   // folder removed
  const std::vector<Seen> expected = {{EventKind::FileCreated, a, ""},
                                      {EventKind::FileRenamed, a, b},
                                      {EventKind::FileDeleted, b, ""},
                                      {EventKind::FolderCreated, dir, ""},
                                      {EventKind::FolderDeleted, dir, ""}};
  EXPECT_EQ(watching.waitForCount(expected.size()), expected);

  watching.stop();
  // Deregistered: nothing more arrives.
  Win32Platform::announceChange(0x00000002, root + "\\late.txt");
  std::this_thread::sleep_for(300ms);
  std::lock_guard guard(watching.lock);
  EXPECT_EQ(watching.seen, expected);
}

// Only the chosen kinds are registered, so the others never arrive.
TEST(Win32Watch, KindsLeftOutAreNotReported) {
  test::TempDir tmp;
  const std::string root = tmp.path().string();
  EventKindSet deletesOnly;
  deletesOnly.set(static_cast<std::size_t>(eventNumber(EventKind::FileDeleted)));
  Watching watching(WatchRequest{{root + "\\"}, deletesOnly});
  Win32Platform::announceChange(0x00000002, root + "\\made.txt");
  Win32Platform::announceChange(0x00000004, root + "\\gone.txt");
  EXPECT_EQ(watching.waitForCount(1), (std::vector<Seen>{{EventKind::FileDeleted, root + "\\gone.txt", ""}}));
}

// A root that cannot be watched is left out and named with the reason; a wake ends a wait that
// has nothing to give.
TEST(Win32Watch, ARootThatCannotBeParsedIsNamed) {
  test::TempDir tmp;
  const std::string root = tmp.path().string();
  const std::string missing = "Q:\\no\\such\\folder\\";
  Watching watching(WatchRequest{{missing, root + "\\"}, allEventKinds()});
  EXPECT_EQ(watching.watched, std::vector<std::string>{root + "\\"});
  Win32Platform::announceChange(0x00000002, root + "\\seen.txt");
  ASSERT_EQ(watching.waitForCount(1).size(), 1u);
  watching.stop();
  ASSERT_EQ(watching.notices.size(), 1u);
  EXPECT_EQ(watching.notices[0].root, missing);
  EXPECT_NE(watching.notices[0].message.find("Cannot watch " + missing), std::string::npos);
}

// The shell's bits and the kinds, both ways; a value that is no single kind's bit has no kind.
TEST(Win32Watch, ShellEventBitsAndKinds) {
  for (int n = 0; n < kEventCount; ++n) {
    const EventKind kind = *eventKindOf(n);
    const std::uint32_t bit = win32::shellEventBit(kind);
    EXPECT_EQ(bit & (bit - 1), 0u) << "one bit per kind";
    EXPECT_EQ(win32::kindOfShellEvent(bit), kind);
  }
  // The shell's bit of each kind, by event number.
  const std::uint32_t bits[kEventCount] = {
      0x08000000u, 0x00000800u, 0x00000002u, 0x00000004u, 0x00000100u, 0x00010000u, 0x00000080u,
      0x00000020u, 0x00000040u, 0x00000008u, 0x00000200u, 0x00000400u, 0x00020000u, 0x00000001u,
      0x00000010u, 0x00004000u, 0x00001000u, 0x00008000u, 0x00002000u,
  };
  for (int n = 0; n < kEventCount; ++n) EXPECT_EQ(win32::shellEventBit(*eventKindOf(n)), bits[n]) << n;
  EXPECT_EQ(win32::kindOfShellEvent(0), std::nullopt);
  EXPECT_EQ(win32::kindOfShellEvent(0x00000006), std::nullopt);  // two kinds at once
  EXPECT_EQ(win32::kindOfShellEvent(0x00040000), std::nullopt);  // a bit without a kind
  EXPECT_EQ(win32::shellEventMask(allEventKinds()), 0x0803FFFFu);
  EXPECT_EQ(win32::shellEventMask(EventKindSet()), 0u);
}

}  // namespace
}  // namespace tw
