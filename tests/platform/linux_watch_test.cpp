// End-to-end tests of the Linux change watching on real temporary folders, in both modes:
// fanotify (when running as root) and inotify forced.

#include "platform/linux/linux_change_watching.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <thread>

#include "core/text/numbers.h"
#include "platform/linux/linux_platform.h"
#include "support/temp_dir.h"

namespace tw {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A change as the tests compare it: its kind and its two paths (the rest is checked where it
// matters).
struct Event {
  EventKind kind = EventKind::Association;
  std::string path, newPath;
  std::chrono::steady_clock::time_point at;
  std::int32_t pid = 0;
  std::string process;
  std::chrono::system_clock::time_point time;  // as the change says
  bool operator==(const Event& o) const { return kind == o.kind && path == o.path && newPath == o.newPath; }
  bool operator<(const Event& o) const {
    return std::tie(kind, path, newPath) < std::tie(o.kind, o.path, o.newPath);
  }
};
using Events = std::vector<Event>;

std::ostream& operator<<(std::ostream& out, const Event& e) {
  return out << "{" << getEventName(eventNumber(e.kind)) << ", '" << e.path << "', '" << e.newPath << "'}";
}

Event ev(EventKind kind, std::string path, std::string newPath = {}) {
  return Event{kind, std::move(path), std::move(newPath), {}, 0, {}, {}};
}

EventKindSet kindsOf(std::initializer_list<EventKind> kinds) {
  EventKindSet set;
  for (const EventKind k : kinds) set.set(static_cast<std::size_t>(eventNumber(k)));
  return set;
}

EventKindSet allBut(EventKind kind) {
  return allEventKinds().reset(static_cast<std::size_t>(eventNumber(kind)));
}

std::string realPath(const fs::path& p) { return fs::canonical(p).string(); }

bool run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

enum class Mode { Fanotify, Inotify };

std::string modeName(const testing::TestParamInfo<Mode>& info) {
  return info.param == Mode::Fanotify ? "fanotify" : "inotify";
}

// A monitor-like thread: starts a watch of the given roots on its own thread and records every
// change and notice its waits bring, until it is stopped (a wake, then the watcher ends).
class Recorder {
 public:
  Recorder(ChangeWatching& watching, WatchRequest request) {
    std::promise<void> ready;
    auto started = ready.get_future();
    thread = std::thread([this, &watching, request, &ready] { run(watching, request, ready); });
    started.get();
  }
  ~Recorder() { stop(); }

  void stop() {
    if (!thread.joinable()) return;
    {
      // Under the lock that the thread holds to destroy the watcher: a wait that returned just
      // before may end the thread's loop on its own.
      std::lock_guard guard(lock);
      stopping = true;
      if (watcher) watcher->wake();
    }
    thread.join();
  }

  // Waits until `done` holds for the changes so far (at most 10 s), then until nothing more
  // arrives for a short while, and returns them all.
  Events waitFor(const std::function<bool(const Events&)>& done) {
    std::unique_lock guard(lock);
    changed.wait_for(guard, 10s, [&] { return done(events); });
    for (std::size_t seen = events.size();;) {
      changed.wait_for(guard, 400ms);
      if (events.size() == seen) break;
      seen = events.size();
    }
    return events;
  }
  Events waitForCount(std::size_t n) {
    return waitFor([n](const Events& e) { return e.size() >= n; });
  }
  Events snapshot() {
    std::lock_guard guard(lock);
    return events;
  }
  std::vector<WatchNotice> noticesSoFar() {
    std::lock_guard guard(lock);
    return notices;
  }
  // Waits until the recursive inotify set-up of every root is through (it says so in a notice
  // that names the mechanism); fanotify has no set-up.
  void waitForSetup(std::size_t roots) {
    std::unique_lock guard(lock);
    changed.wait_for(guard, 10s, [&] {
      return std::count_if(notices.begin(), notices.end(), [](const WatchNotice& n) {
               return n.message.ends_with("(inotify).");
             }) >= static_cast<std::ptrdiff_t>(roots);
    });
  }
  void clear() {
    std::lock_guard guard(lock);
    events.clear();
  }

  // Set on the recorder's thread before the constructor returns.
  std::vector<std::string> watched;
  std::vector<WatchMechanism> mechanisms;
  int emptyWaits = 0;
  int lossesAnnounced = 0;  // rescans announced, kept out of the events

 private:
  void run(ChangeWatching& watching, const WatchRequest& request, std::promise<void>& ready) {
    watcher = watching.watch(request);
    watched = watcher->watchedRoots();
    mechanisms = watchMechanisms(*watcher);
    ready.set_value();
    ChangeBatch batch;
    while (!stopping) {
      batch.clear();
      watcher->wait(batch);
      if (batch.empty()) ++emptyWaits;
      const auto now = std::chrono::steady_clock::now();
      std::lock_guard guard(lock);
      for (Change& c : batch.changes) {
        // A loss elsewhere on a busy file system (other tests run beside this one) may be
        // announced on the root too: counted apart, it is no change of the test's.
        if (c.kind == EventKind::FolderNeedsRescan) {
          ++lossesAnnounced;
          continue;
        }
        events.push_back(
            Event{c.kind, std::move(c.path), std::move(c.newPath), now, c.pid, std::move(c.process), c.time});
      }
      for (WatchNotice& n : batch.notices) notices.push_back(std::move(n));
      changed.notify_all();
    }
    std::lock_guard guard(lock);
    watcher.reset();
  }

  std::thread thread;
  std::unique_ptr<ChangeWatcher> watcher;  // made and destroyed on the recorder's thread
  std::atomic<bool> stopping{false};
  std::mutex lock;
  std::condition_variable changed;
  Events events;
  std::vector<WatchNotice> notices;
};

void writeFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}
void appendFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::app);
  out << content;
}

class WatchTest : public testing::TestWithParam<Mode> {
 public:
  void SetUp() override {
    if (GetParam() == Mode::Fanotify) {
      if (geteuid() != 0) {
        GTEST_SKIP() << "fanotify filesystem marks need root (CAP_SYS_ADMIN)";
      }
    } else {
      platform.setForceInotify(true);
    }
    root = realPath(tmp.path()) + "/w";
    outside = realPath(tmp.path()) + "/outside";
    fs::create_directory(root);
    fs::create_directory(outside);
  }

  // Starts recording `roots` (default: `root`) and checks the mechanism really in use.
  std::unique_ptr<Recorder> record(EventKindSet kinds = allEventKinds(),
                                   std::vector<std::string> roots = {}) {
    if (roots.empty()) roots = {root + "/"};
    auto recorder = std::make_unique<Recorder>(platform.parts().watching, WatchRequest{roots, kinds});
    EXPECT_EQ(recorder->watched, roots) << testing::PrintToString(recorder->noticesSoFar().size());
    for (const WatchMechanism& m : recorder->mechanisms) {
      EXPECT_EQ(m.kind, GetParam() == Mode::Fanotify ? "fanotify" : "inotify") << m.root;
    }
    if (GetParam() == Mode::Inotify) recorder->waitForSetup(roots.size());
    return recorder;
  }

  std::string at(const std::string& rel) const { return root + "/" + rel; }

  LinuxPlatform platform;
  test::TempDir tmp;
  std::string root;
  std::string outside;
};

// One change made while recording, and exactly the events it must give (in any order when
// `ordered` is false, since the order of a tree removal depends on the directory order).
struct Case {
  const char* name;
  EventKindSet kinds;
  std::function<void(WatchTest&)> before;
  std::function<void(WatchTest&)> act;
  std::function<std::vector<Event>(WatchTest&)> expected;
  bool ordered = true;
};

const EventKindSet kCreates = kindsOf({EventKind::FileCreated, EventKind::FolderCreated});

std::vector<Case> cases() {
  const auto nothing = [](WatchTest&) {};
  return {
      {"CreateAndWriteFile", allEventKinds(), nothing,
       [](WatchTest& t) { writeFile(t.at("a.txt"), "hello"); },
       [](WatchTest& t) {
         return Events{ev(EventKind::FileCreated, t.at("a.txt")), ev(EventKind::FileUpdated, t.at("a.txt"))};
       }},
      {"WriteAndCloseExistingFile", allEventKinds(), [](WatchTest& t) { writeFile(t.at("a.txt"), "1"); },
       [](WatchTest& t) { appendFile(t.at("a.txt"), "more"); },
       [](WatchTest& t) { return Events{ev(EventKind::FileUpdated, t.at("a.txt"))}; }},
      {"ChmodIsAttributes", allEventKinds(), [](WatchTest& t) { writeFile(t.at("a.txt"), "1"); },
       [](WatchTest& t) { ::chmod(t.at("a.txt").c_str(), 0600); },
       [](WatchTest& t) { return Events{ev(EventKind::Attributes, t.at("a.txt"))}; }},
      {"TouchIsAttributes", allEventKinds(), [](WatchTest& t) { writeFile(t.at("a.txt"), "1"); },
       [](WatchTest& t) { ::utimes(t.at("a.txt").c_str(), nullptr); },
       [](WatchTest& t) { return Events{ev(EventKind::Attributes, t.at("a.txt"))}; }},
      {"RenameFile", allEventKinds(), [](WatchTest& t) { writeFile(t.at("a.txt"), "1"); },
       [](WatchTest& t) { fs::rename(t.at("a.txt"), t.at("b.txt")); },
       [](WatchTest& t) { return Events{ev(EventKind::FileRenamed, t.at("a.txt"), t.at("b.txt"))}; }},
      {"RenameFolder", allEventKinds(),
       [](WatchTest& t) {
         fs::create_directories(t.at("d/sub"));
         writeFile(t.at("d/sub/f"), "1");
       },
       [](WatchTest& t) { fs::rename(t.at("d"), t.at("e")); },
       [](WatchTest& t) { return Events{ev(EventKind::FolderRenamed, t.at("d"), t.at("e"))}; }},
      {"DeleteFile", allEventKinds(), [](WatchTest& t) { writeFile(t.at("a.txt"), "1"); },
       [](WatchTest& t) { fs::remove(t.at("a.txt")); },
       [](WatchTest& t) { return Events{ev(EventKind::FileDeleted, t.at("a.txt"))}; }},
      {"DeleteFolderWithSubtree", allEventKinds(),
       [](WatchTest& t) {
         fs::create_directories(t.at("d/x/y"));
         writeFile(t.at("d/f1"), "1");
         writeFile(t.at("d/x/f2"), "2");
         writeFile(t.at("d/x/y/f3"), "3");
       },
       [](WatchTest& t) { fs::remove_all(t.at("d")); },
       [](WatchTest& t) {
         return Events{
             ev(EventKind::FileDeleted, t.at("d/f1")),     ev(EventKind::FileDeleted, t.at("d/x/f2")),
             ev(EventKind::FileDeleted, t.at("d/x/y/f3")), ev(EventKind::FolderDeleted, t.at("d/x/y")),
             ev(EventKind::FolderDeleted, t.at("d/x")),    ev(EventKind::FolderDeleted, t.at("d"))};
       },
       false},
      {"MoveInFileAndFolder", allEventKinds(),
       [](WatchTest& t) {
         writeFile(t.outside + "/in.txt", "1");
         fs::create_directories(t.outside + "/dir/inner");
         writeFile(t.outside + "/dir/inner/old", "1");
       },
       [](WatchTest& t) {
         fs::rename(t.outside + "/in.txt", t.at("in.txt"));
         fs::rename(t.outside + "/dir", t.at("dir"));
         // The folder that came in is watched from then on, down to its subfolders.
         std::this_thread::sleep_for(300ms);
         writeFile(t.at("dir/inner/new"), "x");
       },
       [](WatchTest& t) {
         return Events{ev(EventKind::FileCreated, t.at("in.txt")), ev(EventKind::FolderCreated, t.at("dir")),
                       ev(EventKind::FileCreated, t.at("dir/inner/new")),
                       ev(EventKind::FileUpdated, t.at("dir/inner/new"))};
       }},
      {"MoveOutFileAndFolder", allEventKinds(),
       [](WatchTest& t) {
         writeFile(t.at("out.txt"), "1");
         fs::create_directories(t.at("dir/inner"));
       },
       [](WatchTest& t) {
         fs::rename(t.at("out.txt"), t.outside + "/out.txt");
         fs::rename(t.at("dir"), t.outside + "/dir");
         // What happens to it outside is no longer reported.
         std::this_thread::sleep_for(300ms);
         writeFile(t.outside + "/dir/inner/later", "x");
       },
       [](WatchTest& t) {
         return Events{ev(EventKind::FileDeleted, t.at("out.txt")),
                       ev(EventKind::FolderDeleted, t.at("dir"))};
       }},
      {"FolderCreatedWithContentAtOnce", kCreates, nothing,
       [](WatchTest& t) {
         fs::create_directory(t.at("n"));
         writeFile(t.at("n/a"), "");
         writeFile(t.at("n/b"), "");
         fs::create_directory(t.at("n/m"));
         writeFile(t.at("n/m/c"), "");
       },
       [](WatchTest& t) {
         return Events{ev(EventKind::FolderCreated, t.at("n")), ev(EventKind::FileCreated, t.at("n/a")),
                       ev(EventKind::FileCreated, t.at("n/b")), ev(EventKind::FolderCreated, t.at("n/m")),
                       ev(EventKind::FileCreated, t.at("n/m/c"))};
       },
       false},
      {"FileRenamedIntoJustRenamedFolder", allBut(EventKind::FileUpdated),
       [](WatchTest& t) {
         fs::create_directory(t.at("d"));
         writeFile(t.at("f"), "1");
       },
       [](WatchTest& t) {
         writeFile(t.at("d/g"), "");
         fs::rename(t.at("d"), t.at("e"));
         fs::rename(t.at("f"), t.at("e/f"));
         fs::rename(t.at("e/g"), t.at("e/h"));
       },
       [](WatchTest& t) {
         return Events{ev(EventKind::FileCreated, t.at("d/g")),
                       ev(EventKind::FolderRenamed, t.at("d"), t.at("e")),
                       ev(EventKind::FileRenamed, t.at("f"), t.at("e/f")),
                       ev(EventKind::FileRenamed, t.at("e/g"), t.at("e/h"))};
       }},
      // An event of a folder itself is reported on the folder's own path.
      {"ChmodFolderIsAttributesOfThatFolder", allEventKinds(),
       [](WatchTest& t) { fs::create_directory(t.at("d")); },
       [](WatchTest& t) { ::chmod(t.at("d").c_str(), 0700); },
       [](WatchTest& t) { return Events{ev(EventKind::Attributes, t.at("d"))}; }},
      {"KindsOutsideTheMaskAreNotDelivered", kindsOf({EventKind::FileDeleted, EventKind::FolderDeleted}),
       [](WatchTest& t) { fs::create_directory(t.at("d")); },
       [](WatchTest& t) {
         writeFile(t.at("a"), "1");
         ::chmod(t.at("a").c_str(), 0600);
         fs::rename(t.at("a"), t.at("b"));
         ::chmod(t.at("d").c_str(), 0700);
         fs::remove(t.at("b"));
         fs::remove(t.at("d"));
       },
       // fanotify merges the removal of "d" into its pending attribute change; the order of the
       // two removals is not asserted.
       [](WatchTest& t) {
         return Events{ev(EventKind::FileDeleted, t.at("b")), ev(EventKind::FolderDeleted, t.at("d"))};
       },
       false},
  };
}

TEST_P(WatchTest, ChangesOnDisk) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    fs::remove_all(root);
    fs::remove_all(outside);
    fs::create_directory(root);
    fs::create_directory(outside);
    c.before(*this);
    auto recorder = record(c.kinds);
    c.act(*this);
    Events want = c.expected(*this);
    Events got = recorder->waitForCount(want.size());
    recorder->stop();
    if (!c.ordered) {
      std::sort(want.begin(), want.end());
      std::sort(got.begin(), got.end());
    }
    EXPECT_EQ(got, want);
  }
}

// Every change carries who made it where the kernel says so (fanotify; inotify never does), with
// the name read while the change was read, and the moment it was read.
TEST_P(WatchTest, ChangesCarryTheirProcessAndTime) {
  auto recorder = record(kCreates);
  const auto before = std::chrono::system_clock::now();
  writeFile(at("made"), "");
  const Events got = recorder->waitForCount(1);
  ASSERT_EQ(got, Events{ev(EventKind::FileCreated, at("made"))});
  EXPECT_GE(got[0].time, before);
  EXPECT_LE(got[0].time, std::chrono::system_clock::now());
  if (GetParam() == Mode::Fanotify) {
    EXPECT_EQ(got[0].pid, static_cast<std::int32_t>(getpid()));
    std::ifstream comm("/proc/self/comm");
    std::string name;
    std::getline(comm, name);
    EXPECT_EQ(got[0].process, name);
  } else {
    EXPECT_EQ(got[0].pid, 0);
    EXPECT_EQ(got[0].process, "");
  }
}

// Folders removed while something still holds them open, read late: their handles still open,
// at a path marked deleted. Their changes are placed where they were, not taken for changes
// outside the root.
TEST_P(WatchTest, FoldersRemovedWhileHeldOpenAreReportedWhereTheyWere) {
  fs::create_directories(at("d/x"));
  writeFile(at("d/f1"), "1");
  writeFile(at("d/x/f2"), "2");
  auto watcher = platform.parts().watching.watch({{root + "/"}, allEventKinds()});
  std::atomic<bool> reading{true};
  std::thread waker([&] {
    while (reading) {
      std::this_thread::sleep_for(100ms);
      watcher->wake();
    }
  });
  // inotify first watches the folders that are there; fanotify has nothing to set up.
  for (bool setUp = GetParam() == Mode::Fanotify; !setUp;) {
    ChangeBatch batch;
    watcher->wait(batch);
    for (const WatchNotice& n : batch.notices) setUp = setUp || n.message.ends_with("(inotify).");
  }
  const int x = ::open(at("d/x").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const int d = ::open(at("d").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  // fanotify: more changes inside than one read takes (long names, each file made and removed,
  // merged by the kernel into one event), so that the folder's removal comes in a later read
  // than the changes made in it. inotify's queue would overflow: it has no handles to mistake.
  const int busyFiles = GetParam() == Mode::Fanotify ? 30000 : 0;
  const std::string busyName = at("d/x/" + std::string(200, 'b'));
  for (int i = 0; i < busyFiles; ++i) {
    const std::string busy = busyName + std::to_string(i);
    ::close(::open(busy.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
    ::unlink(busy.c_str());
  }
  fs::remove_all(at("d"));
  // Read until a whole second brings nothing: a wait may also end empty while events wait in the
  // kernel's queue for the one that places them.
  Events got;
  for (int quiet = 0; quiet < 10;) {
    ChangeBatch batch;
    watcher->wait(batch);
    quiet = batch.changes.empty() ? quiet + 1 : 0;
    for (const Change& c : batch.changes)
      if (!c.path.starts_with(busyName) && c.kind != EventKind::FolderNeedsRescan)
        got.push_back(ev(c.kind, c.path, c.newPath));
  }
  reading = false;
  waker.join();
  ::close(x);
  ::close(d);
  Events want{ev(EventKind::FileDeleted, at("d/f1")), ev(EventKind::FileDeleted, at("d/x/f2")),
              ev(EventKind::FolderDeleted, at("d/x")), ev(EventKind::FolderDeleted, at("d"))};
  std::sort(got.begin(), got.end());
  std::sort(want.begin(), want.end());
  EXPECT_EQ(got, want);
}

// Short-lived folders read late: made, filled, emptied and removed 300 times before the watcher
// reads anything. The kernel merges each folder's creation and removal into one event queued
// ahead of the events of its content; every operation still arrives, with its path, and each
// folder's removal after its content's. inotify cannot see inside a folder before its watch
// exists: what it misses there is announced, never lost in silence.
TEST_P(WatchTest, ShortLivedFoldersReadLateLoseNothingInSilence) {
  const WatchRequest request{{root + "/"}, allBut(EventKind::FileUpdated)};
  auto watcher = platform.parts().watching.watch(request);
  constexpr int kFolders = 300;
  for (int i = 0; i < kFolders; ++i) {
    const std::string dir = at("d" + std::to_string(i));
    ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
    writeFile(dir + "/f", "");
    fs::remove(dir + "/f");
    ASSERT_EQ(::rmdir(dir.c_str()), 0);
  }
  // Now read until the watcher has had nothing to give for half a second.
  std::atomic<bool> reading{true};
  std::thread waker([&] {
    while (reading) {
      std::this_thread::sleep_for(250ms);
      watcher->wake();
    }
  });
  Events got;
  bool lossAnnounced = false;
  for (int quiet = 0; quiet < 2;) {
    ChangeBatch batch;
    watcher->wait(batch);
    quiet = batch.changes.empty() ? quiet + 1 : 0;
    for (const Change& c : batch.changes) {
      // A loss elsewhere on a busy file system may be announced on the root too; it is no
      // change of this test's.
      if (c.kind == EventKind::FolderNeedsRescan) {
        lossAnnounced = true;
        continue;
      }
      got.push_back(ev(c.kind, c.path, c.newPath));
    }
  }
  reading = false;
  waker.join();
  if (GetParam() == Mode::Inotify && got.size() < 4 * kFolders) {
    EXPECT_TRUE(lossAnnounced) << got.size() << " of " << 4 * kFolders << " changes and no loss announced";
    return;
  }
  ASSERT_EQ(got.size(), 4u * kFolders) << testing::PrintToString(got);
  for (int i = 0; i < kFolders; ++i) {
    const std::string dir = at("d" + std::to_string(i));
    const auto pos = [&](const Event& e) { return std::find(got.begin(), got.end(), e) - got.begin(); };
    const auto made = pos(ev(EventKind::FolderCreated, dir));
    const auto file = pos(ev(EventKind::FileCreated, dir + "/f"));
    const auto fileGone = pos(ev(EventKind::FileDeleted, dir + "/f"));
    const auto gone = pos(ev(EventKind::FolderDeleted, dir));
    ASSERT_LT(gone, static_cast<std::ptrdiff_t>(got.size())) << dir;
    EXPECT_LT(made, file) << dir;
    EXPECT_LT(file, fileGone) << dir;
    EXPECT_LT(fileGone, gone) << dir;
  }
}

// A watched root that goes (removed, or moved away) is reported as removed, with a notice; what
// happens to a moved root at its new place is not reported at its old path; a folder made at its
// path again is watched from then on.
TEST_P(WatchTest, AWatchedRootThatGoesIsReportedAndWatchedAgainWhenItComesBack) {
  const struct {
    const char* name;
    bool move;
  } ways[] = {{"removed", false}, {"moved away", true}};
  for (const auto& way : ways) {
    SCOPED_TRACE(way.name);
    fs::remove_all(root);
    fs::remove_all(outside);
    fs::create_directory(root);
    fs::create_directory(outside);
    auto recorder = record(allBut(EventKind::FileUpdated));
    writeFile(at("before"), "");
    ASSERT_EQ(recorder->waitForCount(1), Events{ev(EventKind::FileCreated, at("before"))});
    recorder->clear();
    if (way.move) {
      fs::rename(root, outside + "/moved");
    } else {
      fs::remove_all(root);
    }
    const Events gone = recorder->waitFor([&](const Events& e) {
      return std::find(e.begin(), e.end(), ev(EventKind::FolderDeleted, root)) != e.end();
    });
    EXPECT_EQ(gone.back(), ev(EventKind::FolderDeleted, root)) << testing::PrintToString(gone);
    const auto notices = recorder->noticesSoFar();
    EXPECT_TRUE(std::any_of(notices.begin(), notices.end(), [&](const WatchNotice& n) {
      return n.message.find(root + " was " + way.name) != std::string::npos;
    })) << "the user is told";
    recorder->clear();
    if (way.move) writeFile(outside + "/moved/later", "");  // no longer at the watched path
    fs::create_directory(root);
    writeFile(at("after"), "");
    const Events back = recorder->waitFor([&](const Events& e) {
      return std::find(e.begin(), e.end(), ev(EventKind::FileCreated, at("after"))) != e.end();
    });
    EXPECT_EQ(back, (Events{ev(EventKind::FolderCreated, root), ev(EventKind::FileCreated, at("after"))}));
  }
}

// The start walks nothing: on a tree of thousands of folders the first changes flow at once, in
// order and with their paths, also in deep folders that existed before (fanotify learns each
// folder as an event names it). The inotify watch adds its watches while changes flow, says how
// far it got, and sees the root's changes before it is through.
TEST_P(WatchTest, StartsAtOnceOnALargeTreeAndTheFirstChangesCarryTheirPaths) {
  // In memory where the test may mount, so that making the tree is quick.
  struct Unmount {
    std::string point;
    bool mounted = false;
    ~Unmount() {
      if (mounted) run("umount -l " + point);
    }
  } guard{root};
  guard.mounted = geteuid() == 0 && run("mount -t tmpfs tarnwatch-test " + root);
  const int kFanout = guard.mounted ? 6 : 4;  // 6 + 36 + 216 + 1,296 + 7,776 folders (4: 1,364)
  std::vector<std::string> level{root};
  std::size_t folders = 1;
  for (int depth = 0; depth < 5; ++depth) {
    std::vector<std::string> next;
    for (const std::string& dir : level) {
      for (int i = 0; i < kFanout; ++i) {
        next.push_back(dir + "/d" + std::to_string(i));
        ASSERT_EQ(::mkdir(next.back().c_str(), 0755), 0);
      }
    }
    folders += next.size();
    level = std::move(next);
  }
  const std::string deep = level[level.size() / 2];
  Recorder recorder(platform.parts().watching, WatchRequest{{root + "/"}, kCreates});
  ASSERT_EQ(recorder.mechanisms.size(), 1u);
  if (GetParam() == Mode::Fanotify) {
    EXPECT_EQ(recorder.mechanisms[0].foldersKnown, 1u) << "the start walked the tree";
    writeFile(deep + "/first", "");
    writeFile(at("second"), "");
    writeFile(level.front() + "/third", "");
    EXPECT_EQ(recorder.waitForCount(3),
              (Events{ev(EventKind::FileCreated, deep + "/first"), ev(EventKind::FileCreated, at("second")),
                      ev(EventKind::FileCreated, level.front() + "/third")}));
    return;
  }
  writeFile(at("early"), "");
  ASSERT_EQ(recorder.waitForCount(1), Events{ev(EventKind::FileCreated, at("early"))});
  recorder.waitForSetup(1);
  const auto notices = recorder.noticesSoFar();
  ASSERT_FALSE(notices.empty());
  const std::string done =
      withThousandsSeparators(folders) + " folders watched under " + root + " (inotify).";
  EXPECT_EQ(notices.back().message, done);
  EXPECT_GE(notices.size(), 1u);
  writeFile(deep + "/later", "");
  EXPECT_EQ(recorder.waitForCount(2).back(), ev(EventKind::FileCreated, deep + "/later"));
}

TEST_P(WatchTest, TwoRootsInOneWatch) {
  fs::create_directories(at("a"));
  fs::create_directories(at("b"));
  auto recorder = record(kCreates, {at("a") + "/", at("b") + "/"});
  writeFile(at("a/1"), "");
  writeFile(at("b/2"), "");
  writeFile(root + "/neither", "");
  Events got = recorder->waitForCount(2);
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, (Events{ev(EventKind::FileCreated, at("a/1")), ev(EventKind::FileCreated, at("b/2"))}));
}

// A root that cannot be watched is left out with a notice that names it and says why; the
// others are watched.
TEST_P(WatchTest, ARootThatCannotBeWatchedIsNamedWithItsReason) {
  const std::string missing = at("missing") + "/";
  auto recorder = record(kCreates, {root + "/"});
  recorder->stop();
  Recorder both(platform.parts().watching, WatchRequest{{missing, root + "/", "relative/"}, kCreates});
  EXPECT_EQ(both.watched, std::vector<std::string>{root + "/"});
  writeFile(at("still"), "");
  EXPECT_EQ(both.waitForCount(1), Events{ev(EventKind::FileCreated, at("still"))});
  std::vector<WatchNotice> notices = both.noticesSoFar();
  std::erase_if(notices, [&](const WatchNotice& n) { return n.root == root + "/"; });  // progress
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_EQ(notices[0].root, missing);
  EXPECT_NE(notices[0].message.find(missing), std::string::npos) << notices[0].message;
  EXPECT_NE(notices[0].message.find("No such file"), std::string::npos) << notices[0].message;
  EXPECT_EQ(notices[1].root, "relative/");
}

// A wake ends a wait that has nothing to give at once, and the watcher ends without a change
// reaching anyone afterwards.
TEST_P(WatchTest, AWakeEndsAWaitAndNothingComesAfterTheWatchEnds) {
  auto recorder = record(kCreates);
  writeFile(at("before"), "");
  ASSERT_EQ(recorder->waitForCount(1), Events{ev(EventKind::FileCreated, at("before"))});
  recorder->stop();  // joins: the wait returned on the wake alone
  recorder->clear();
  writeFile(at("after"), "");
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(recorder->snapshot().empty());
}

TEST_P(WatchTest, AFileHeldOpenIsReportedAtMostOnceASecond) {
  writeFile(at("log"), "");
  auto recorder = record(kindsOf({EventKind::FileUpdated}));
  {
    std::ofstream out(at("log"), std::ios::app);
    const auto end = std::chrono::steady_clock::now() + 2500ms;
    while (std::chrono::steady_clock::now() < end) {
      out << "line\n" << std::flush;
      std::this_thread::sleep_for(50ms);
    }
    const auto whileOpen = recorder->snapshot();
    EXPECT_GE(whileOpen.size(), 1u) << "a file held open is reported without waiting for its close";
    EXPECT_LE(whileOpen.size(), 3u) << "2.5 s of writes, at most once a second";
    for (std::size_t i = 1; i < whileOpen.size(); ++i) {
      EXPECT_GE(whileOpen[i].at - whileOpen[i - 1].at, 900ms);
    }
    recorder->clear();
  }
  // The close reports the writes made since the last report.
  EXPECT_EQ(recorder->waitForCount(1), Events{ev(EventKind::FileUpdated, at("log"))});
}

TEST_P(WatchTest, DrivesMountedAndUnmounted) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a loop device needs root";
  if (!run("command -v mkfs.ext2") || !run("command -v mount")) {
    GTEST_SKIP() << "mkfs.ext2 (e2fsprogs) and mount are needed to make a test drive";
  }
  const std::string image = realPath(tmp.path()) + "/disk.img";
  const std::string drive = at("drive");
  fs::create_directory(drive);
  {
    std::ofstream(image).close();
    fs::resize_file(image, 8u << 20);
  }
  ASSERT_TRUE(run("mkfs.ext2 -q -F " + image));
  struct Unmount {
    std::string point;
    bool mounted = false;
    ~Unmount() {
      if (mounted) run("umount -l " + point);
    }
  } guard{drive};

  auto watcher = record();
  if (!run("mount -o loop " + image + " " + drive)) GTEST_SKIP() << "this machine cannot mount a loop device";
  guard.mounted = true;
  const auto added = watcher->waitFor([](const Events& e) {
    return std::any_of(e.begin(), e.end(), [](const Event& x) { return x.kind == EventKind::DriveAdded; });
  });
  EXPECT_EQ(std::count(added.begin(), added.end(), ev(EventKind::DriveAdded, drive)), 1)
      << testing::PrintToString(added);
  watcher->stop();

  // Watch the new drive itself, then take it away while recording.
  auto both = record(allBut(EventKind::FileUpdated), {root + "/", drive + "/"});
  writeFile(drive + "/on-drive", "x");
  EXPECT_EQ(both->waitForCount(1), Events{ev(EventKind::FileCreated, drive + "/on-drive")});
  both->clear();
  ASSERT_TRUE(run("umount " + drive)) << "the recording must not keep the drive busy";
  guard.mounted = false;
  const auto removed = both->waitFor([](const Events& e) {
    return std::any_of(e.begin(), e.end(), [](const Event& x) { return x.kind == EventKind::DriveRemoved; });
  });
  EXPECT_EQ(std::count(removed.begin(), removed.end(), ev(EventKind::DriveRemoved, drive)), 1)
      << testing::PrintToString(removed);
  // The recording goes on for the rest.
  both->clear();
  writeFile(at("still-here"), "");
  EXPECT_EQ(both->waitForCount(1), Events{ev(EventKind::FileCreated, at("still-here"))});
}

// The watch of the tree at the start leaves out folders of other file systems mounted inside
// it (they are drives of their own), and still watches every folder of its own one.
TEST_P(WatchTest, AFileSystemMountedInsideIsNotWatchedFromTheStart) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting needs root";
  fs::create_directories(at("plain/deep"));
  fs::create_directories(at("mnt"));
  if (!run("mount -t tmpfs tarnwatch-test " + at("mnt"))) GTEST_SKIP() << "this machine cannot mount a tmpfs";
  struct Unmount {
    std::string point;
    ~Unmount() { run("umount -l " + point); }
  } guard{at("mnt")};
  fs::create_directories(at("mnt/sub"));

  auto watcher = record(kCreates);
  writeFile(at("mnt/sub/elsewhere"), "");
  writeFile(at("mnt/there"), "");
  writeFile(at("plain/deep/here"), "");
  EXPECT_EQ(watcher->waitForCount(1), Events{ev(EventKind::FileCreated, at("plain/deep/here"))});
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(watcher->waitForCount(1), Events{ev(EventKind::FileCreated, at("plain/deep/here"))});
}

INSTANTIATE_TEST_SUITE_P(Modes, WatchTest, testing::Values(Mode::Fanotify, Mode::Inotify), modeName);

std::size_t readNumber(const char* path) {
  std::ifstream in(path);
  std::size_t n = 0;
  in >> n;
  return n;
}

// An overflowed inotify queue is announced on the root with its cause and its fix, and what
// appeared meanwhile is reported as it is found: every file exactly once in all.
// Sets a file under /proc/sys for its scope and puts the old value back. Tests in other
// processes may set the same file at the same time (ctest runs them in parallel): each holds a
// lock from reading the old value to putting it back, or the second would take the first's
// lowered value for the old one and leave it behind.
class ProcSetting {
 public:
  ProcSetting(std::string file, std::size_t value)
      : path(std::move(file)), lock(lockFor(path)), old(readNumber(path.c_str())) {
    std::ofstream out(path);
    set = old != 0 && static_cast<bool>(out << value << std::flush);
  }
  ~ProcSetting() {
    if (set) std::ofstream(path) << old;
    if (lock >= 0) ::close(lock);  // closing releases the lock
  }
  ProcSetting(const ProcSetting&) = delete;
  ProcSetting& operator=(const ProcSetting&) = delete;
  const std::string path;
  const int lock;
  const std::size_t old;
  bool set = false;

 private:
  static int lockFor(const std::string& setting) {
    std::string name = "/tmp/tarnwatch-test-" + std::filesystem::path(setting).filename().string();
    name += ".lock";
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) {
      while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
    return fd;
  }
};

// What a watch with a small kernel queue (1,024 events) reported of a flood of files made
// before anyone waited on it.
struct Flood {
  bool skipped = false;
  std::string why;
  std::size_t files = 0;
  std::size_t overflows = 0;
  std::map<std::string, int> created;
  bool limitNamed = false;  // a notice names the setting to raise
};

Flood floodASmallQueue(std::size_t memoryLimit) {
  Flood flood;
  LinuxPlatform platform;
  platform.setForceInotify(true);
  platform.setInotifyMemoryLimit(memoryLimit);
  test::TempDir tmp;
  const std::string root = realPath(tmp.path());
  // A small queue, for this watch alone: the kernel gives each inotify instance the limit in
  // force when it is made, so the setting is put back right after the start.
  std::unique_ptr<ChangeWatcher> watcher;
  std::size_t limit = 0;
  {
    ProcSetting small("/proc/sys/fs/inotify/max_queued_events", 1024);
    limit = small.set ? 1024 : small.old;
    // "Update Directory" is not even asked for: an overflow is reported regardless.
    watcher = platform.parts().watching.watch(WatchRequest{{root + "/"}, kCreates});
  }
  if (limit == 0 || limit > 200'000) {
    flood.skipped = true;
    flood.why = "inotify queue limit ";  // in steps: GCC 12 warns falsely on a + b + c here
    flood.why += std::to_string(limit);
    flood.why += " is too large to flood";
    return flood;
  }
  EXPECT_EQ(watcher->watchedRoots(), std::vector<std::string>{root + "/"});
  // Nobody waits yet: each file gives a create and a close, more than the queue holds.
  flood.files = limit / 2 + 200;
  for (std::size_t i = 0; i < flood.files; ++i) {
    const int fd = ::open((root + "/f" + std::to_string(i)).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    EXPECT_GE(fd, 0);
    ::close(fd);
  }
  std::atomic<bool> reading{true};
  std::thread waker([&] {
    while (reading) {
      std::this_thread::sleep_for(250ms);
      watcher->wake();
    }
  });
  for (int quiet = 0; quiet < 2;) {
    ChangeBatch batch;
    watcher->wait(batch);
    quiet = batch.changes.empty() ? quiet + 1 : 0;
    for (const Change& c : batch.changes) {
      if (c.kind == EventKind::FolderNeedsRescan) {
        ++flood.overflows;
        EXPECT_EQ(c.path, root);
      } else {
        EXPECT_EQ(c.kind, EventKind::FileCreated);
        ++flood.created[c.path];
      }
    }
    for (const WatchNotice& n : batch.notices)
      flood.limitNamed =
          flood.limitNamed || n.message.find("fs.inotify.max_queued_events") != std::string::npos;
  }
  reading = false;
  waker.join();
  return flood;
}

// Every file of the flood was reported, and none twice.
void expectEveryFileOnce(const Flood& flood) {
  EXPECT_EQ(flood.created.size(), flood.files);
  EXPECT_TRUE(std::all_of(flood.created.begin(), flood.created.end(), [](const auto& c) {
    return c.second == 1;
  })) << "a file reported twice";
}

// When the events cannot leave the kernel's queue in time (here the watch may hold only one
// read in memory), the overflow is announced with the setting to raise, and the rescan reports
// every file that appeared, once.
TEST(WatchOverflow, AnOverflowedInotifyQueueIsAnnouncedAndWhatAppearedIsReported) {
  const Flood flood = floodASmallQueue(1);
  if (flood.skipped) GTEST_SKIP() << flood.why;
  EXPECT_GE(flood.overflows, 1u);
  expectEveryFileOnce(flood);
  EXPECT_TRUE(flood.limitNamed) << "the overflow's notice names the limit to raise";
}

// The watch's own thread drains the kernel's queue as it fills, so the same flood overflows
// nothing while the thread that handles the events is not there to read.
TEST(WatchOverflow, ASmallInotifyQueueIsDrainedWhileNobodyHandlesTheEvents) {
  const Flood flood = floodASmallQueue(0);
  if (flood.skipped) GTEST_SKIP() << flood.why;
  EXPECT_EQ(flood.overflows, 0u);
  expectEveryFileOnce(flood);
}

// Whether this process holds CAP_SYS_NICE, the right to raise a thread's priority (root has it).
bool mayRaisePriorities() {
  std::ifstream status("/proc/self/status");
  constexpr unsigned kSysNice = 23;
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("CapEff:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) >> kSysNice) & 1u;
  }
  return false;
}

// The threads of this process that run at a real-time priority.
int realTimeThreads() {
  int count = 0;
  for (const auto& task : fs::directory_iterator("/proc/self/task")) {
    const pid_t thread = static_cast<pid_t>(std::stol(task.path().filename().string()));
    if (::sched_getscheduler(thread) == SCHED_FIFO) ++count;
  }
  return count;
}

// The thread that empties an inotify queue runs at a real-time priority where it may, so that an
// ordinary thread's slice does not keep it waiting while a small queue overflows; it is the only
// one (the threads that handle the events stay ordinary), and it goes when the watch ends.
TEST(WatchOverflow, TheQueuesDrainAloneRunsAtARealTimePriorityWherePermitted) {
  if (!mayRaisePriorities()) GTEST_SKIP() << "a real-time priority needs the right to raise priorities";
  LinuxPlatform platform;
  platform.setForceInotify(true);
  test::TempDir tmp;
  const std::string root = realPath(tmp.path());
  EXPECT_EQ(realTimeThreads(), 0);
  {
    const std::unique_ptr<ChangeWatcher> watcher =
        platform.parts().watching.watch(WatchRequest{{root + "/"}, kCreates});
    ASSERT_EQ(watcher->watchedRoots(), std::vector<std::string>{root + "/"});
    // The drain sets its own priority as it starts.
    for (int tries = 0; tries < 200 && realTimeThreads() == 0; ++tries) std::this_thread::sleep_for(5ms);
    EXPECT_EQ(realTimeThreads(), 1);
  }
  EXPECT_EQ(realTimeThreads(), 0);
}

// A watch that runs out of inotify watches says so, with the limit to raise, and announces the
// loss on the root. The limit is lowered in a user namespace of the test's own, so that nothing
// else on the machine is touched.
TEST(WatchLimit, RunningOutOfWatchesIsAnnouncedWithTheLimitToRaise) {
  test::TempDir tmp;
  const std::string root = realPath(tmp.path());
  for (int i = 0; i < 20; ++i) fs::create_directories(root + "/d" + std::to_string(i) + "/sub");
  int report[2];
  ASSERT_EQ(::pipe(report), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(report[0]);
    const auto say = [&](const std::string& text) {
      [[maybe_unused]] const ssize_t n = ::write(report[1], text.data(), text.size());
      ::_exit(0);
    };
    if (::unshare(CLONE_NEWUSER) != 0) say("skip: no user namespaces here");
    std::ofstream("/proc/self/setgroups") << "deny";
    std::ofstream("/proc/self/uid_map") << "0 " << ::getuid() << " 1";
    if (!(std::ofstream("/proc/sys/user/max_inotify_watches") << 8))
      say("skip: the namespace's limit cannot be set");
    LinuxPlatform platform;
    platform.setForceInotify(true);
    auto watcher = platform.parts().watching.watch(WatchRequest{{root + "/"}, allEventKinds()});
    std::string seen;
    for (int waits = 0; waits < 100 && seen.find("|rescan") == std::string::npos; ++waits) {
      ChangeBatch batch;
      watcher->wait(batch);
      for (const Change& c : batch.changes) {
        if (c.kind == EventKind::FolderNeedsRescan && c.path == root) seen += "|rescan";
      }
      for (const WatchNotice& n : batch.notices) seen += "|" + n.message;
    }
    say(seen);
  }
  ::close(report[1]);
  std::string seen;
  char buffer[4096];
  for (ssize_t n; (n = ::read(report[0], buffer, sizeof buffer)) > 0;)
    seen.append(buffer, static_cast<std::size_t>(n));
  ::close(report[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (seen.starts_with("skip: ")) GTEST_SKIP() << seen.substr(6);
  EXPECT_NE(seen.find("|rescan"), std::string::npos) << seen;
  EXPECT_NE(seen.find("fs.inotify.max_user_watches = 8"), std::string::npos) << seen;
  EXPECT_NE(seen.find("are not seen"), std::string::npos) << seen;
}

}  // namespace
}  // namespace tw
