#include "core/recording/shell_monitor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <thread>

#include "core/queue/recording_view.h"
#include "platform/fake/fake_platform.h"

namespace tw {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

// Drives that cannot be listed: the recording's set-up fails.
class BrokenDrives : public Drives {
 public:
  std::vector<DriveInfo> drives() override { throw std::runtime_error("the drive list is gone"); }
  Result<std::string> fileSystemName(std::string_view) override { return std::string(); }
  Result<DiskSpace> diskSpace(std::string_view) override { return DiskSpace{}; }
};

// The capture options of a recording, as a test sets them: every kind, no clean on stop.
CaptureOptions testOptions() {
  CaptureOptions options;
  options.cleanOnStop = false;
  return options;
}

EventKindSet kindsFrom(const std::vector<bool>& checks) {
  EventKindSet kinds;
  for (std::size_t n = 0; n < checks.size(); ++n) kinds.set(n, checks[n]);
  return kinds;
}

class FakeControls : public MonitorControls {
 public:
  Lines log;
  void setRecordImage(int i) override { log.push_back("record image " + std::to_string(i)); }
  void setRecordCaption(const std::string& c) override { log.push_back("record " + c); }
  void setPauseVisible(bool v) override { log.push_back(v ? "pause shown" : "pause hidden"); }
  void setPauseCaption(const std::string& c) override { log.push_back("pause " + c); }
  void setPauseImage(int i) override { log.push_back("pause image " + std::to_string(i)); }
  void clearTree() override { log.push_back("clear tree"); }
  void clearList() override { log.push_back("clear list"); }
  void showError(const std::string& message) override { log.push_back("error " + message); }
};

// A recording against the fake platform, with a user-interface thread of the test's.
class MonitorTest : public ::testing::Test {
 protected:
  MonitorTest() : uiThread([this] { ui.exec(); }) {
    platform.driveTable = {
        {"C:\\", DriveType::Fixed}, {"D:\\", DriveType::CdRom}, {"E:\\", DriveType::Removable}};
    platform.parseablePaths = {"C:\\", "E:\\"};
  }
  ~MonitorTest() override {
    ui.quit();
    uiThread.join();
  }

  MonitorContext context() { return MonitorContext{platform.parts(), ui, controls, choices, view}; }

  // Reads what the UI thread owns, on the UI thread.
  template <typename T>
  T onUi(const T& value) {
    T copy;
    ui.synchronize([&] { copy = value; });
    return copy;
  }

  // Waits until the view has seen a whole batch (the bar hidden again).
  bool waitForBatch(std::size_t hides = 1) {
    for (int i = 0; i < 400; ++i) {
      const Lines log = onUi(view.log);
      if (static_cast<std::size_t>(std::count(log.begin(), log.end(), "hide")) >= hides) return true;
      std::this_thread::sleep_for(10ms);
    }
    return false;
  }

  // The tree and list steps delivered so far, without the progress bar's.
  Lines delivered() {
    Lines steps;
    for (const auto& line : onUi(view.log)) {
      if (line.starts_with("tree ") || line.starts_with("list ")) steps.push_back(line);
    }
    return steps;
  }
  bool waitForDelivered(std::size_t listRows) {
    for (int i = 0; i < 400; ++i) {
      const Lines steps = delivered();
      if (static_cast<std::size_t>(std::count_if(steps.begin(), steps.end(), [](const std::string& l) {
            return l.starts_with("list ");
          })) >= listRows) {
        return true;
      }
      std::this_thread::sleep_for(10ms);
    }
    return false;
  }

  FakePlatform platform{PathStyle::Windows};
  QueuedUiDispatcher ui;
  FakeControls controls;
  CaptureOptions choices = testOptions();
  test::RecordingView view;
  std::thread uiThread;
};

TEST(ShellNotifier, ParseRegisterAndDestroyInOrder) {
  FakePlatform platform;
  platform.parseablePaths = {"C:\\"};
  {
    TShellNotifierObj unparsed(platform, "Q:\\", true);
    EXPECT_FALSE(unparsed.getStatusParse());
    EXPECT_TRUE(unparsed.getStatusAlloc());
    EXPECT_EQ(unparsed.getNotifider().pidl, nullptr);
    EXPECT_EQ(unparsed.getNotifider().fRecursive, 0);
  }
  EXPECT_EQ(platform.notifyCalls(), (Lines{"parse Q:\\"})) << "destroying it calls nothing";

  {
    TShellNotifierObj sub(platform, "C:\\", true);
    TShellNotifierObj flat(platform, "C:\\", false);
    EXPECT_NE(sub.getNotifider().pidl, nullptr);
    EXPECT_EQ(sub.getNotifider().fRecursive, -1);
    EXPECT_EQ(flat.getNotifider().fRecursive, 0);
    sub.setNotifierHandle(7);
    flat.setNotifierHandle(0);  // a registration that failed
  }
  const Lines calls = platform.notifyCalls();
  EXPECT_NE(std::find(calls.begin(), calls.end(), "deregister 7"), calls.end());
  const auto deregister = std::find(calls.begin(), calls.end(), "deregister 7");
  const auto freeSub = std::find(deregister, calls.end(), "free C:\\");
  EXPECT_NE(freeSub, calls.end()) << "the registration ends before its list is freed";
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "free C:\\"), 2);
  EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                          [](const std::string& c) { return c.starts_with("deregister"); }),
            1)
      << "a registration that returned 0 is not ended";
  EXPECT_EQ(platform.idListsAllocated(), platform.idListsFreed());
}

TEST(ShellNotifier, NoAllocatorAtCreationStillFreesTheList) {
  FakePlatform platform;
  platform.parseablePaths = {"C:\\"};
  platform.shellMallocFails = true;
  {
    TShellNotifierObj notifier(platform, "C:\\", true);
    EXPECT_FALSE(notifier.getStatusAlloc());
    EXPECT_TRUE(notifier.getStatusParse());
  }
  EXPECT_EQ(platform.idListsFreed(), 1) << "the list must not leak";
}

TEST(ShellNotifier, EventMasks) {
  FakePlatform platform;
  TShellNotifierObj n(platform, "C:\\", true);
  EXPECT_EQ(n.getEventsMon(), 0) << "a new object watches nothing";
  n.setAllEvents(true);
  EXPECT_EQ(static_cast<std::uint32_t>(n.getEventsMon()), 0x0803FFFFu);
  n.setEventsMon(false, 13);
  EXPECT_EQ(static_cast<std::uint32_t>(n.getEventsMon()), 0x0803FFFEu);
  n.setEventsMon(false, 19);
  n.setEventsMon(false, 65535);
  EXPECT_EQ(static_cast<std::uint32_t>(n.getEventsMon()), 0x0803FFFEu) << "numbers above 18 are ignored";
  n.setAllEvents(false);
  n.setEventsMon(true, 2);
  n.setEventsMon(true, 9);
  EXPECT_EQ(n.getEventsMon(), 0x0000000A);
}

TEST_F(MonitorTest, RecordsDeliversAndStops) {
  choices.cleanOnStop = true;
  auto monitor = TShellMonitor::start(context());
  ASSERT_TRUE(platform.waitForRegistrations(2, 5s));
  const auto regs = platform.registrations();
  ASSERT_EQ(regs.size(), 2u);
  EXPECT_EQ(regs[0].path, "C:\\");
  EXPECT_EQ(regs[1].path, "E:\\");
  for (const auto& r : regs) {
    EXPECT_EQ(r.sourceFlags, 0x1003);
    EXPECT_EQ(static_cast<std::uint32_t>(r.events), 0x0803FFFFu);
    EXPECT_EQ(r.message, 1026u);
    EXPECT_EQ(r.fRecursive, -1);
  }
  // The monitor and the queue thread each raise their priority as they start.
  for (int i = 0; i < 200 && platform.priorityRaises() < 2; ++i) std::this_thread::sleep_for(5ms);
  EXPECT_GE(platform.priorityRaises(), 2);
  EXPECT_EQ(onUi(controls.log), (Lines{"record image 11", "record Stop", "pause shown"}));

  ASSERT_TRUE(platform.injectShellNotify(regs[0].id, 0x80000001u, "C:\\docs\\a.txt", "C:\\docs\\b.txt"));
  ASSERT_TRUE(platform.injectShellNotify(regs[1].id, 0x00000002u, "E:\\new.txt"));
  ASSERT_TRUE(platform.injectShellNotify(regs[0].id, 0x08000000u, "", ""));          // association: no items
  ASSERT_TRUE(platform.injectShellNotify(regs[0].id, 0x00000006u, "C:\\two-bits"));  // no event number
  ASSERT_TRUE(platform.injectShellNotify(regs[0].id, 0x00040000u, "C:\\free-space"));
  // The five notifications may straddle a wake-up of the queue thread: compare what was
  // delivered, whatever the batches.
  ASSERT_TRUE(waitForDelivered(3));
  EXPECT_EQ(delivered(),
            (Lines{"tree C:\\docs\\a.txt|C:\\docs\\b.txt|13", "list C:\\docs\\a.txt|C:\\docs\\b.txt|13",
                   "tree E:\\new.txt||2", "list E:\\new.txt||2", "list ||0"}));

  monitor->stop();
  ASSERT_TRUE(monitor->waitForEnd(5s));
  const Lines calls = platform.notifyCalls();
  const Lines tail(calls.end() - 4, calls.end());
  EXPECT_EQ(tail, (Lines{"deregister 2", "free E:\\", "deregister 1", "free C:\\"})) << "last notifier first";
  EXPECT_EQ(platform.liveWindows(), 0);
  EXPECT_EQ(onUi(controls.log), (Lines{"record image 11", "record Stop", "pause shown", "record image 8",
                                       "record Record", "pause hidden", "clear tree", "clear list"}));
}

TEST_F(MonitorTest, DriveAndEventChoices) {
  platform.driveTable.push_back({"F:\\", DriveType::Fixed});
  platform.parseablePaths.insert("F:\\");
  choices.skippedDrives = {"e:\\"};  // unticked, in other case; C:\ and F:\ are watched
  choices.kinds.reset();
  choices.kinds.set(2).set(9);
  auto monitor = TShellMonitor::start(context());
  ASSERT_TRUE(platform.waitForRegistrations(2, 5s));
  monitor->stop();
  ASSERT_TRUE(monitor->waitForEnd(5s));
  const auto regs = platform.registrations();
  ASSERT_EQ(regs.size(), 2u);
  EXPECT_EQ(regs[0].path, "C:\\");
  EXPECT_EQ(regs[1].path, "F:\\");
  EXPECT_EQ(regs[0].events, 0x0000000A);
  EXPECT_EQ(onUi(controls.log).back(), "pause hidden") << "no clean when clean-on-stop is off";
}

TEST_F(MonitorTest, EventKindsMakeTheMask) {
  struct Case {
    std::vector<bool> rows;
    std::uint32_t mask;
  } cases[] = {
      {std::vector<bool>(kEventCount, true), 0x0803FFFFu},  // every kind
      {std::vector<bool>(kEventCount, false), 0u},          // every kind off: nothing
      {{true, false, true, true, true, true, true, true, true, true, true, true, true, true, true, true, true,
        true, true},
       0x0803FFFFu & ~0x00000800u},  // one kind off: its bit alone is cleared
  };
  for (const auto& c : cases) {
    FakePlatform local(PathStyle::Windows);
    local.driveTable = {{"C:\\", DriveType::Fixed}};
    local.parseablePaths = {"C:\\"};
    choices.kinds = kindsFrom(c.rows);
    auto monitor = TShellMonitor::start(MonitorContext{local.parts(), ui, controls, choices, view});
    ASSERT_TRUE(local.waitForRegistrations(1, 5s));
    monitor->stop();
    ASSERT_TRUE(monitor->waitForEnd(5s));
    EXPECT_EQ(static_cast<std::uint32_t>(local.registrations()[0].events), c.mask);
  }
}

TEST_F(MonitorTest, FiltersReachTheQueueOnlyWhenListed) {
  choices.excludedFolders = {"C:\\Windows\\"};
  choices.extensions = {".txt"};
  auto monitor = TShellMonitor::start(context());
  ASSERT_TRUE(platform.waitForRegistrations(2, 5s));
  const auto id = platform.registrations()[0].id;
  platform.injectShellNotify(id, 0x2, "C:\\Windows\\x.txt");  // excluded folder
  platform.injectShellNotify(id, 0x2, "C:\\a.doc");           // extension not kept
  platform.injectShellNotify(id, 0x2, "C:\\a.txt");
  ASSERT_TRUE(waitForDelivered(1));
  monitor->stop();
  ASSERT_TRUE(monitor->waitForEnd(5s));
  EXPECT_EQ(delivered(), (Lines{"tree C:\\a.txt||2", "list C:\\a.txt||2"}));
}

TEST_F(MonitorTest, PauseHoldsEventsAndButtonsFollow) {
  auto monitor = TShellMonitor::start(context());
  ASSERT_TRUE(platform.waitForRegistrations(2, 5s));
  const auto id = platform.registrations()[0].id;
  monitor->setPause(true);
  platform.injectShellNotify(id, 0x2, "C:\\1");
  platform.injectShellNotify(id, 0x2, "C:\\2");
  std::this_thread::sleep_for(1500ms);
  EXPECT_TRUE(onUi(view.log).empty()) << "nothing delivered while paused";
  monitor->setPause(false);
  ASSERT_TRUE(waitForBatch());
  EXPECT_EQ(onUi(view.log).front(), "show 2");
  monitor->setPause(true);
  monitor->stop();
  ASSERT_TRUE(monitor->waitForEnd(5s));
  monitor->setPause(false);  // after the stop: reaches nothing
  EXPECT_EQ(onUi(controls.log), (Lines{"record image 11", "record Stop", "pause shown", "pause Resume",
                                       "pause image 6", "pause Pause", "pause image 7", "pause Resume",
                                       "pause image 6", "record image 8", "record Record", "pause hidden"}));
}

TEST_F(MonitorTest, StopBeforeTheMessageQueueExistsIsHonoured) {
  // The UI thread is held up, so the monitor cannot get past its first step while stop() runs.
  std::mutex gate;
  std::unique_lock hold(gate);
  ui.synchronize([] {});
  std::thread blocker([&] { ui.synchronize([&] { std::lock_guard wait(gate); }); });
  std::this_thread::sleep_for(50ms);
  auto monitor = TShellMonitor::start(context());
  monitor->stop();          // no message queue yet: remembered
  monitor->setPause(true);  // no queue yet: nothing happens
  hold.unlock();
  blocker.join();
  ASSERT_TRUE(monitor->waitForEnd(5s));
  EXPECT_EQ(onUi(controls.log), (Lines{"record image 11", "record Stop", "pause shown", "record image 8",
                                       "record Record", "pause hidden"}));
  EXPECT_EQ(platform.liveWindows(), 0);
}

TEST_F(MonitorTest, SetupErrorRunsTheWholeStopSequenceAndIsShown) {
  BrokenDrives broken;
  auto monitor =
      TShellMonitor::start(MonitorContext{platform.parts().withDrives(broken), ui, controls, choices, view});
  ASSERT_TRUE(monitor->waitForEnd(5s)) << "the queue thread ends too";
  EXPECT_TRUE(platform.registrations().empty());
  EXPECT_EQ(platform.liveWindows(), 0);
  EXPECT_EQ(onUi(controls.log), (Lines{"record image 11", "record Stop", "pause shown", "record image 8",
                                       "record Record", "pause hidden", "error the drive list is gone"}));
}

TEST_F(MonitorTest, MessageLoopEndsOnQuitOrErrorAndStopsCleanly) {
  for (std::int32_t result : {0, -1}) {
    FakePlatform local(PathStyle::Windows);
    local.driveTable = {{"C:\\", DriveType::Fixed}};
    local.parseablePaths = {"C:\\"};
    auto monitor = TShellMonitor::start(MonitorContext{local.parts(), ui, controls, choices, view});
    ASSERT_TRUE(local.waitForRegistrations(1, 5s));
    ASSERT_TRUE(local.injectGetMessageResult(local.registrations()[0].threadId, result));
    ASSERT_TRUE(monitor->waitForEnd(5s)) << result;
    EXPECT_FALSE(local.registrations()[0].active);
    EXPECT_EQ(local.idListsAllocated(), local.idListsFreed());
  }
}

TEST_F(MonitorTest, NoDriveToWatchStillRecordsUntilStopped) {
  platform.parseablePaths.clear();  // every drive gone since it was listed
  auto monitor = TShellMonitor::start(context());
  std::uint64_t thread = 0;
  ASSERT_TRUE(platform.waitForWindow(5s, &thread));
  std::this_thread::sleep_for(100ms);
  EXPECT_FALSE(monitor->hasEnded());
  EXPECT_TRUE(platform.registrations().empty());
  monitor->stop();
  ASSERT_TRUE(monitor->waitForEnd(5s));
}

TEST_F(MonitorTest, ManyStartStopCyclesLeaveNothingBehind) {
  for (int i = 0; i < 100; ++i) {
    auto monitor = TShellMonitor::start(context());
    if (i % 2 == 0) {
      // Every other cycle waits for the registrations; the others stop during setup.
      ASSERT_TRUE(platform.waitForRegistrations(static_cast<std::size_t>(2 * (i / 2 + 1)), 5s));
    }
    monitor->stop();
    ASSERT_TRUE(monitor->waitForEnd(5s)) << i;
  }
  EXPECT_EQ(platform.liveWindows(), 0);
  EXPECT_EQ(platform.idListsAllocated(), platform.idListsFreed());
  for (const auto& r : platform.registrations()) EXPECT_FALSE(r.active);
}

}  // namespace
}  // namespace tw
