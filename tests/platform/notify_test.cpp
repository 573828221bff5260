// End-to-end tests of the Linux change notification on real temporary folders, in both
// modes: fanotify (when running as root) and inotify forced.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "core/events/event_kinds.h"
#include "platform/linux/linux_platform.h"
#include "support/temp_dir.h"

namespace tw {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::uint32_t kShellNotify = 1026;
constexpr std::uint32_t kStop = 1025;
constexpr std::uint32_t kDeregister = 0x0500;  // wParam: the registration id
constexpr std::uint32_t kAllEvents = 0x0803FFFF;

struct Event {
  int num = -1;
  std::string path1, path2;
  std::uint32_t message = 0;
  std::chrono::steady_clock::time_point at;
  std::int32_t pid = 0;
  bool operator==(const Event& o) const { return num == o.num && path1 == o.path1 && path2 == o.path2; }
  bool operator<(const Event& o) const {
    return std::tie(num, path1, path2) < std::tie(o.num, o.path1, o.path2);
  }
};

std::ostream& operator<<(std::ostream& out, const Event& e) {
  return out << "{" << e.num << " " << getEventName(e.num) << ", '" << e.path1 << "', '" << e.path2 << "'}";
}

Event ev(int num, std::string p1, std::string p2 = {}) {
  return Event{num, std::move(p1), std::move(p2), 0, {}};
}

std::string realPath(const fs::path& p) { return fs::canonical(p).string(); }

enum class Mode { Fanotify, Inotify };

std::string modeName(const testing::TestParamInfo<Mode>& info) {
  return info.param == Mode::Fanotify ? "fanotify" : "inotify";
}

// A monitor-like thread: creates the hidden window, registers the given folders, and records
// every WM_SHELLNOTIFY it dispatches, until it is sent kStop.
class Recorder {
 public:
  struct Root {
    std::string path;
    std::uint32_t mask = kAllEvents;
    std::uint32_t message = kShellNotify;
  };

  Recorder(LinuxPlatform& platform, std::vector<Root> roots) : platform(platform) {
    std::promise<void> ready;
    auto started = ready.get_future();
    thread = std::thread([this, roots, &ready] { run(roots, ready); });
    started.get();
  }
  ~Recorder() { stop(); }

  void stop() {
    if (!thread.joinable()) return;
    platform.postThreadMessage(threadId, kStop, 0, 0);
    thread.join();
  }

  // Waits until `done` holds for the events so far (at most 10 s), then until nothing more
  // arrives for a short while, and returns them all.
  std::vector<Event> waitFor(const std::function<bool(const std::vector<Event>&)>& done) {
    std::unique_lock guard(lock);
    changed.wait_for(guard, 10s, [&] { return done(events); });
    for (std::size_t seen = events.size();;) {
      changed.wait_for(guard, 400ms);
      if (events.size() == seen) break;
      seen = events.size();
    }
    return events;
  }
  std::vector<Event> waitForCount(std::size_t n) {
    return waitFor([n](const std::vector<Event>& e) { return e.size() >= n; });
  }
  std::vector<Event> snapshot() {
    std::lock_guard guard(lock);
    return events;
  }
  void clear() {
    std::lock_guard guard(lock);
    events.clear();
  }
  void deregister(std::uint32_t id) {
    platform.postThreadMessage(threadId, kDeregister, id, 0);
    std::unique_lock guard(lock);
    changed.wait_for(guard, 10s, [&] { return deregistered.count(id) != 0; });
  }

  std::vector<std::uint32_t> ids;
  std::uint64_t threadId = 0;
  int getMessageResult = 1;

 private:
  void run(const std::vector<Root>& roots, std::promise<void>& ready) {
    auto window = platform.createNotifyWindow([this](const ThreadMessage& msg) { record(msg); });
    windowPtr = window.get();
    for (const Root& root : roots) {
      ItemIdList pidl = platform.parseDisplayName(root.path);
      pidls.push_back(pidl);
      ids.push_back(pidl
                        ? platform.changeNotifyRegister(*window, 0x1003, static_cast<std::int32_t>(root.mask),
                                                        root.message, NotifyEntry{pidl, -1})
                        : 0);
    }
    threadId = platform.currentThreadId();
    ready.set_value();
    ThreadMessage msg;
    for (;;) {
      getMessageResult = window->getMessage(msg);
      if (getMessageResult <= 0 || msg.message == kStop) break;
      if (!msg.forWindow && msg.message == kDeregister) {
        platform.changeNotifyDeregister(static_cast<std::uint32_t>(msg.wParam));
        std::lock_guard guard(lock);
        deregistered.insert(static_cast<std::uint32_t>(msg.wParam));
        changed.notify_all();
        continue;
      }
      window->dispatchMessage(msg);
    }
    for (std::size_t i = ids.size(); i-- > 0;) {
      if (ids[i] != 0) platform.changeNotifyDeregister(ids[i]);
    }
    for (ItemIdList pidl : pidls) platform.freeIdList(pidl);
  }

  void record(const ThreadMessage& msg) {
    const auto* items = reinterpret_cast<const ItemIdList*>(msg.wParam);
    Event e;
    e.message = msg.message;
    e.num = eventNumFromBit(static_cast<std::uint32_t>(msg.lParam) & ~kShcneInterrupt).value_or(-1);
    e.path1 = platform.pathFromIdList(items[0]);
    e.path2 = platform.pathFromIdList(items[1]);
    e.at = std::chrono::steady_clock::now();
    e.pid = LinuxPlatform::messageProcessId(*windowPtr);
    std::lock_guard guard(lock);
    events.push_back(std::move(e));
    changed.notify_all();
  }

  LinuxPlatform& platform;
  std::thread thread;
  std::vector<ItemIdList> pidls;
  NotifyWindow* windowPtr = nullptr;  // the recorder thread's window, used on that thread only
  std::mutex lock;
  std::condition_variable changed;
  std::vector<Event> events;
  std::set<std::uint32_t> deregistered;
};

void writeFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}
void appendFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::app);
  out << content;
}

class Notify : public testing::TestWithParam<Mode> {
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

  // Starts recording `root` (after `setup` has run) and checks the mode really in use.
  std::unique_ptr<Recorder> record(std::uint32_t mask = kAllEvents) {
    auto recorder = std::make_unique<Recorder>(platform, std::vector<Recorder::Root>{{root, mask}});
    EXPECT_NE(recorder->ids[0], 0u) << platform.lastNotifyError();
    const std::string kind = platform.notifySourceKind(recorder->ids[0]);
    if (GetParam() == Mode::Fanotify && kind != "fanotify") {
      ADD_FAILURE() << "fanotify did not start as root: " << platform.lastNotifyError();
    }
    if (GetParam() == Mode::Inotify) {
      EXPECT_EQ(kind, "inotify");
    }
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
  std::uint32_t mask;
  std::function<void(Notify&)> before;
  std::function<void(Notify&)> act;
  std::function<std::vector<Event>(Notify&)> expected;
  bool ordered = true;
};

const std::uint32_t kCreates = eventBit(evCreate) | eventBit(evMkDir);

std::vector<Case> cases() {
  const auto nothing = [](Notify&) {};
  return {
      {"CreateAndWriteFile", kAllEvents, nothing, [](Notify& t) { writeFile(t.at("a.txt"), "hello"); },
       [](Notify& t) {
         return std::vector{ev(evCreate, t.at("a.txt")), ev(evUpdateItem, t.at("a.txt"))};
       }},
      {"WriteAndCloseExistingFile", kAllEvents, [](Notify& t) { writeFile(t.at("a.txt"), "1"); },
       [](Notify& t) { appendFile(t.at("a.txt"), "more"); },
       [](Notify& t) { return std::vector{ev(evUpdateItem, t.at("a.txt"))}; }},
      {"ChmodIsAttributes", kAllEvents, [](Notify& t) { writeFile(t.at("a.txt"), "1"); },
       [](Notify& t) { ::chmod(t.at("a.txt").c_str(), 0600); },
       [](Notify& t) { return std::vector{ev(evAttributes, t.at("a.txt"))}; }},
      {"TouchIsAttributes", kAllEvents, [](Notify& t) { writeFile(t.at("a.txt"), "1"); },
       [](Notify& t) { ::utimes(t.at("a.txt").c_str(), nullptr); },
       [](Notify& t) { return std::vector{ev(evAttributes, t.at("a.txt"))}; }},
      {"RenameFile", kAllEvents, [](Notify& t) { writeFile(t.at("a.txt"), "1"); },
       [](Notify& t) { fs::rename(t.at("a.txt"), t.at("b.txt")); },
       [](Notify& t) { return std::vector{ev(evRenameItem, t.at("a.txt"), t.at("b.txt"))}; }},
      {"RenameFolder", kAllEvents,
       [](Notify& t) {
         fs::create_directories(t.at("d/sub"));
         writeFile(t.at("d/sub/f"), "1");
       },
       [](Notify& t) { fs::rename(t.at("d"), t.at("e")); },
       [](Notify& t) { return std::vector{ev(evRenameFolder, t.at("d"), t.at("e"))}; }},
      {"DeleteFile", kAllEvents, [](Notify& t) { writeFile(t.at("a.txt"), "1"); },
       [](Notify& t) { fs::remove(t.at("a.txt")); },
       [](Notify& t) { return std::vector{ev(evDelete, t.at("a.txt"))}; }},
      {"DeleteFolderWithSubtree", kAllEvents,
       [](Notify& t) {
         fs::create_directories(t.at("d/x/y"));
         writeFile(t.at("d/f1"), "1");
         writeFile(t.at("d/x/f2"), "2");
         writeFile(t.at("d/x/y/f3"), "3");
       },
       [](Notify& t) { fs::remove_all(t.at("d")); },
       [](Notify& t) {
         return std::vector{ev(evDelete, t.at("d/f1")),     ev(evDelete, t.at("d/x/f2")),
                            ev(evDelete, t.at("d/x/y/f3")), ev(evRmDir, t.at("d/x/y")),
                            ev(evRmDir, t.at("d/x")),       ev(evRmDir, t.at("d"))};
       },
       false},
      {"MoveInFileAndFolder", kAllEvents,
       [](Notify& t) {
         writeFile(t.outside + "/in.txt", "1");
         fs::create_directories(t.outside + "/dir/inner");
         writeFile(t.outside + "/dir/inner/old", "1");
       },
       [](Notify& t) {
         fs::rename(t.outside + "/in.txt", t.at("in.txt"));
         fs::rename(t.outside + "/dir", t.at("dir"));
         // The folder that came in is watched from then on, down to its subfolders.
         std::this_thread::sleep_for(300ms);
         writeFile(t.at("dir/inner/new"), "x");
       },
       [](Notify& t) {
         return std::vector{ev(evCreate, t.at("in.txt")), ev(evMkDir, t.at("dir")),
                            ev(evCreate, t.at("dir/inner/new")), ev(evUpdateItem, t.at("dir/inner/new"))};
       }},
      {"MoveOutFileAndFolder", kAllEvents,
       [](Notify& t) {
         writeFile(t.at("out.txt"), "1");
         fs::create_directories(t.at("dir/inner"));
       },
       [](Notify& t) {
         fs::rename(t.at("out.txt"), t.outside + "/out.txt");
         fs::rename(t.at("dir"), t.outside + "/dir");
         // What happens to it outside is no longer reported.
         std::this_thread::sleep_for(300ms);
         writeFile(t.outside + "/dir/inner/later", "x");
       },
       [](Notify& t) {
         return std::vector{ev(evDelete, t.at("out.txt")), ev(evRmDir, t.at("dir"))};
       }},
      {"FolderCreatedWithContentAtOnce", kCreates, nothing,
       [](Notify& t) {
         fs::create_directory(t.at("n"));
         writeFile(t.at("n/a"), "");
         writeFile(t.at("n/b"), "");
         fs::create_directory(t.at("n/m"));
         writeFile(t.at("n/m/c"), "");
       },
       [](Notify& t) {
         return std::vector{ev(evMkDir, t.at("n")), ev(evCreate, t.at("n/a")), ev(evCreate, t.at("n/b")),
                            ev(evMkDir, t.at("n/m")), ev(evCreate, t.at("n/m/c"))};
       },
       false},
      {"FileRenamedIntoJustRenamedFolder", kAllEvents & ~eventBit(evUpdateItem),
       [](Notify& t) {
         fs::create_directory(t.at("d"));
         writeFile(t.at("f"), "1");
       },
       [](Notify& t) {
         writeFile(t.at("d/g"), "");
         fs::rename(t.at("d"), t.at("e"));
         fs::rename(t.at("f"), t.at("e/f"));
         fs::rename(t.at("e/g"), t.at("e/h"));
       },
       [](Notify& t) {
         return std::vector{ev(evCreate, t.at("d/g")), ev(evRenameFolder, t.at("d"), t.at("e")),
                            ev(evRenameItem, t.at("f"), t.at("e/f")),
                            ev(evRenameItem, t.at("e/g"), t.at("e/h"))};
       }},
      {"KindsOutsideTheMaskAreNotDelivered", eventBit(evDelete) | eventBit(evRmDir), nothing,
       [](Notify& t) {
         writeFile(t.at("a"), "1");
         ::chmod(t.at("a").c_str(), 0600);
         fs::rename(t.at("a"), t.at("b"));
         fs::create_directory(t.at("d"));
         fs::remove(t.at("b"));
         fs::remove(t.at("d"));
       },
       // fanotify merges the removal of "d" into its pending creation, ahead of the delete.
       [](Notify& t) {
         return std::vector{ev(evDelete, t.at("b")), ev(evRmDir, t.at("d"))};
       },
       false},
  };
}

TEST_P(Notify, ChangesOnDisk) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    fs::remove_all(root);
    fs::remove_all(outside);
    fs::create_directory(root);
    fs::create_directory(outside);
    c.before(*this);
    auto recorder = record(c.mask);
    c.act(*this);
    std::vector<Event> want = c.expected(*this);
    std::vector<Event> got = recorder->waitForCount(want.size());
    recorder->stop();
    if (!c.ordered) {
      std::sort(want.begin(), want.end());
      std::sort(got.begin(), got.end());
    }
    EXPECT_EQ(got, want);
  }
}

TEST_P(Notify, TwoRegistrationsOnOneWindow) {
  fs::create_directories(at("a"));
  fs::create_directories(at("b"));
  Recorder recorder(platform, {{at("a"), kCreates, kShellNotify}, {at("b"), kCreates, kShellNotify + 7}});
  ASSERT_NE(recorder.ids[0], 0u);
  ASSERT_NE(recorder.ids[1], 0u);
  EXPECT_NE(recorder.ids[0], recorder.ids[1]);
  writeFile(at("a/1"), "");
  writeFile(at("b/2"), "");
  writeFile(root + "/neither", "");
  const auto got = recorder.waitForCount(2);
  ASSERT_EQ(got.size(), 2u);
  std::map<std::string, std::uint32_t> messageOf;
  for (const Event& e : got) messageOf[e.path1] = e.message;
  EXPECT_EQ(messageOf[at("a/1")], kShellNotify);
  EXPECT_EQ(messageOf[at("b/2")], kShellNotify + 7);
}

TEST_P(Notify, DeregistrationStopsDelivery) {
  auto recorder = record(kCreates);
  writeFile(at("before"), "");
  const auto before = recorder->waitForCount(1);
  ASSERT_EQ(before, std::vector{ev(evCreate, at("before"))});
  // fanotify says which process made the change; inotify cannot.
  EXPECT_EQ(before[0].pid, GetParam() == Mode::Fanotify ? static_cast<std::int32_t>(getpid()) : 0);
  recorder->deregister(recorder->ids[0]);
  recorder->clear();
  writeFile(at("after"), "");
  std::this_thread::sleep_for(500ms);
  EXPECT_TRUE(recorder->snapshot().empty());
  // The id is gone: a second deregistration is harmless.
  recorder->deregister(recorder->ids[0]);
  recorder->ids[0] = 0;
}

TEST_P(Notify, AFileHeldOpenIsReportedAtMostOnceASecond) {
  writeFile(at("log"), "");
  auto recorder = record(eventBit(evUpdateItem));
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
  const auto afterClose = recorder->waitForCount(1);
  EXPECT_EQ(afterClose, std::vector{ev(evUpdateItem, at("log"))});
}

bool run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

TEST_P(Notify, DrivesMountedAndUnmounted) {
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
  const auto added = watcher->waitFor([](const std::vector<Event>& e) {
    return std::any_of(e.begin(), e.end(), [](const Event& x) { return x.num == evDriveAdd; });
  });
  EXPECT_EQ(std::count(added.begin(), added.end(), ev(evDriveAdd, drive)), 1)
      << testing::PrintToString(added);
  watcher->stop();

  // Watch the new drive itself, then take it away while recording.
  Recorder both(platform, {{root, kAllEvents & ~eventBit(evUpdateItem)},
                           {drive, kAllEvents & ~eventBit(evUpdateItem)}});
  ASSERT_NE(both.ids[1], 0u) << platform.lastNotifyError();
  writeFile(drive + "/on-drive", "x");
  EXPECT_EQ(both.waitForCount(1), std::vector{ev(evCreate, drive + "/on-drive")});
  both.clear();
  ASSERT_TRUE(run("umount " + drive)) << "the recording must not keep the drive busy";
  guard.mounted = false;
  const auto removed = both.waitFor([](const std::vector<Event>& e) {
    return std::any_of(e.begin(), e.end(), [](const Event& x) { return x.num == evDriveRemoved; });
  });
  EXPECT_EQ(std::count(removed.begin(), removed.end(), ev(evDriveRemoved, drive)), 1)
      << testing::PrintToString(removed);
  // The recording goes on for the rest.
  both.clear();
  writeFile(at("still-here"), "");
  EXPECT_EQ(both.waitForCount(1), std::vector{ev(evCreate, at("still-here"))});
}

// The watch of the tree at the start leaves out folders of other file systems mounted inside
// it (they are drives of their own), and still watches every folder of its own one.
TEST_P(Notify, AFileSystemMountedInsideIsNotWatchedFromTheStart) {
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
  EXPECT_EQ(watcher->waitForCount(1), std::vector{ev(evCreate, at("plain/deep/here"))});
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(watcher->waitForCount(1), std::vector{ev(evCreate, at("plain/deep/here"))});
}

INSTANTIATE_TEST_SUITE_P(Modes, Notify, testing::Values(Mode::Fanotify, Mode::Inotify), modeName);

TEST(NotifyItems, ParseNormalisesAndRejectsMissingPaths) {
  LinuxPlatform platform;
  test::TempDir tmp;
  const std::string dir = realPath(tmp.path());
  const struct {
    std::string input;
    std::string path;  // empty: no item
  } table[] = {
      {dir, dir}, {dir + "/", dir}, {dir + "//", dir}, {"/", "/"}, {dir + "/missing", ""},
      {"", ""},   {"relative", ""},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.input);
    ItemIdList pidl = platform.parseDisplayName(row.input);
    EXPECT_EQ(pidl != nullptr, !row.path.empty());
    EXPECT_EQ(platform.pathFromIdList(pidl), row.path);
    platform.freeIdList(pidl);
  }
  EXPECT_EQ(platform.pathFromIdList(nullptr), "");
  EXPECT_TRUE(platform.getShellMalloc());
}

TEST(NotifyThreads, PostedMessagesWakeGetMessageAndComeBackNotForTheWindow) {
  LinuxPlatform platform;
  std::promise<std::uint64_t> idPromise;
  std::promise<void> goOn;
  auto idFuture = idPromise.get_future();
  std::vector<ThreadMessage> got;
  std::vector<int> results;
  std::thread monitor([&] {
    auto window =
        platform.createNotifyWindow([](const ThreadMessage&) { FAIL() << "nothing is for the window"; });
    idPromise.set_value(platform.currentThreadId());
    ThreadMessage msg;
    for (int i = 0; i < 2; ++i) {
      results.push_back(window->getMessage(msg));
      got.push_back(msg);
      window->dispatchMessage(msg);
    }
    results.push_back(window->getMessage(msg));  // WM_QUIT
    goOn.get_future().wait();
  });
  const std::uint64_t id = idFuture.get();
  EXPECT_NE(id, platform.currentThreadId());
  std::this_thread::sleep_for(100ms);  // the monitor is blocked in getMessage by now
  EXPECT_TRUE(platform.postThreadMessage(id, 1025, 0, 0));
  EXPECT_TRUE(platform.postThreadMessage(id, 0x0500, 42, -7));
  EXPECT_TRUE(platform.postThreadMessage(id, 0x0012, 0, 0));
  goOn.set_value();
  monitor.join();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].message, 1025u);
  EXPECT_FALSE(got[0].forWindow);
  EXPECT_EQ(got[1].message, 0x0500u);
  EXPECT_EQ(got[1].wParam, 42u);
  EXPECT_EQ(got[1].lParam, -7);
  EXPECT_EQ(results, (std::vector<int>{1, 1, 0}));
  // The monitor's window is gone with its thread: nothing can be posted there any more.
  EXPECT_FALSE(platform.postThreadMessage(id, 1025, 0, 0));
}

TEST(NotifyThreads, AThreadWithoutWindowCannotBePostedTo) {
  LinuxPlatform platform;
  EXPECT_FALSE(platform.postThreadMessage(platform.currentThreadId(), 1025, 0, 0));
  std::uint64_t other = 0;
  std::thread([&] { other = platform.currentThreadId(); }).join();
  EXPECT_FALSE(platform.postThreadMessage(other, 1025, 0, 0));
  EXPECT_FALSE(platform.postThreadMessage(0, 1025, 0, 0));
  // Raising the priority never fails loudly, allowed or not.
  platform.setCurrentThreadPriorityHighest();
}

std::size_t readNumber(const char* path) {
  std::ifstream in(path);
  std::size_t n = 0;
  in >> n;
  return n;
}

TEST(NotifyOverflow, AnOverflowedInotifyQueueIsReportedOnTheRoot) {
  const std::size_t limit = readNumber("/proc/sys/fs/inotify/max_queued_events");
  if (limit == 0 || limit > 200'000)
    GTEST_SKIP() << "inotify queue limit " << limit << " is too large to flood";
  LinuxPlatform platform;
  platform.setForceInotify(true);
  test::TempDir tmp;
  const std::string root = realPath(tmp.path());
  std::vector<Event> seen;
  auto window = platform.createNotifyWindow([&](const ThreadMessage& msg) {
    const auto* items = reinterpret_cast<const ItemIdList*>(msg.wParam);
    seen.push_back(ev(eventNumFromBit(static_cast<std::uint32_t>(msg.lParam)).value_or(-1),
                      platform.pathFromIdList(items[0])));
  });
  ItemIdList pidl = platform.parseDisplayName(root);
  // Update Directory is not even asked for: an overflow is reported regardless.
  const std::uint32_t id = platform.changeNotifyRegister(*window, 0x1003, static_cast<std::int32_t>(kCreates),
                                                         kShellNotify, NotifyEntry{pidl, -1});
  ASSERT_NE(id, 0u);
  // The loop is not reading: each file gives a create and a close, so this floods the queue.
  for (std::size_t i = 0; i < limit / 2 + 200; ++i) {
    const int fd = ::open((root + "/f" + std::to_string(i)).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
  }
  ThreadMessage msg;
  bool overflowSeen = false;
  std::size_t creates = 0;
  while (!overflowSeen && window->getMessage(msg) > 0) {
    window->dispatchMessage(msg);
    if (seen.back().num == evUpdateDir) {
      overflowSeen = true;
      EXPECT_EQ(seen.back().path1, root);
    } else {
      ++creates;
    }
  }
  EXPECT_TRUE(overflowSeen);
  EXPECT_GT(creates, 0u);
  EXPECT_LT(creates, limit / 2 + 200) << "some creates were lost, which is what the overflow says";
  platform.changeNotifyDeregister(id);
  platform.freeIdList(pidl);
}

}  // namespace
}  // namespace tw
