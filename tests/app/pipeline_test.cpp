// A recording through the real Linux change watching on a temporary folder: the monitor loop
// waits on the real watcher, the delivery loop is stepped with an injected clock and the test's
// thread is the user-interface thread, so nothing waits for the delivery interval.
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "app/record/recorder.h"
#include "core/recording/posted_work_loop.h"
#include "core/recording/recording_controller.h"
#include "platform/linux/linux_platform.h"
#include "support/recording_support.h"
#include "support/temp_dir.h"

namespace tw {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

DeliverySchedule steppedSchedule() {
  DeliverySchedule schedule;
  schedule.ownThreads = false;
  return schedule;
}

class Pipeline : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (!GetParam() && geteuid() != 0) GTEST_SKIP() << "fanotify needs root";
    real.setForceInotify(GetParam());
    fs::create_directory(root);
  }

  void start(const CaptureOptions& options) {
    controller.record(options);
    controller.monitorLoop()->step();  // the watch
    ui.runPending();
    ASSERT_EQ(listener.log, (Lines{"state Recording", "watch " + root.string() + "/"}));
  }
  // Reads from the real watcher until `count` changes have been read.
  void readUntil(std::uint64_t count) {
    while (controller.changesRead() < count) ASSERT_TRUE(controller.monitorLoop()->step());
  }
  // Reads and delivers until a change on `path` has been delivered.
  void deliverUntil(const std::string& path) {
    const auto seen = [&] {
      const Lines paths = listener.deliveredPaths();
      return std::find(paths.begin(), paths.end(), path) != paths.end();
    };
    while (!seen()) {
      ASSERT_TRUE(controller.monitorLoop()->step());
      now += 1s;
      controller.deliveryLoop()->step(now);
      ui.runPending();
    }
  }
  void stop() {
    controller.stop();
    for (int i = 0; i < 1000 && controller.state() != RecordingState::Idle; ++i) {
      if (MonitorLoop* monitor = controller.monitorLoop()) monitor->step();
      if (DeliveryLoop* delivery = controller.deliveryLoop()) delivery->step(now);
      ui.runPending();
    }
    ASSERT_EQ(controller.state(), RecordingState::Idle);
  }
  std::string path(const std::string& name) const { return (root / name).string(); }

  test::TempDir tmp;
  fs::path root = tmp.path() / "watched";
  LinuxPlatform real;
  record::FolderDrives folders{real, PathStyle::Posix, {root.string()}};
  PostedWorkLoop ui;
  test::ListenerLog listener;
  CaptureViews views{real, nullptr, PathStyle::Posix};
  RecordingController controller{
      RecordingServices{real.parts().watching, folders, real, ui, listener, &views, PathStyle::Posix},
      steppedSchedule()};
  DeliveryLoop::TimePoint now = DeliveryLoop::TimePoint() + 1000h;
};

TEST_P(Pipeline, PauseHoldsChangesThenDeliversThemTogetherInOrder) {
  start(CaptureOptions());
  controller.pause();
  fs::create_directory(path("one"));
  fs::create_directory(path("two"));
  fs::create_directory(path("three"));
  readUntil(3);
  now += 10s;
  controller.deliveryLoop()->step(now);
  ui.runPending();
  EXPECT_TRUE(listener.delivered.empty()) << "nothing is delivered while paused";
  controller.resume();
  controller.deliveryLoop()->step(now);
  ui.runPending();
  EXPECT_EQ(listener.deliveredPaths(), (Lines{path("one"), path("two"), path("three")}));
  for (const Change& change : listener.delivered) EXPECT_EQ(change.kind, EventKind::FolderCreated);
  EXPECT_EQ(std::count(listener.log.begin(), listener.log.end(), "start 3"), 1)
      << "one batch after the resume";
  stop();
}

TEST_P(Pipeline, FiltersAndCleanOnStop) {
  fs::create_directory(path("skip"));
  CaptureOptions options;
  options.excludedFolders = {path("skip") + "/"};
  options.extensions = {".txt"};
  options.cleanOnStop = true;
  start(options);
  std::ofstream(path("skip/in-excluded.txt")) << "x";
  std::ofstream(path("kept.TXT")) << "x";
  std::ofstream(path("dropped.doc")) << "x";
  fs::create_directory(path("folder"));
  deliverUntil(path("folder"));
  const Lines paths = listener.deliveredPaths();
  for (const auto& p : paths) {
    EXPECT_EQ(p.find("skip"), std::string::npos) << p;
    EXPECT_EQ(p.find("dropped.doc"), std::string::npos) << p;
  }
  EXPECT_NE(std::find(paths.begin(), paths.end(), path("kept.TXT")), paths.end())
      << testing::PrintToString(paths);
  EXPECT_GT(views.list().rowCount(), 0);
  stop();
  EXPECT_EQ(views.list().rowCount(), 0) << "cleaned on stop";
  EXPECT_EQ(views.tree().nodeCount(), 0u);
}

// Changes the system has queued when the stop comes are delivered: the last wait takes them.
TEST_P(Pipeline, StopDeliversWhatTheSystemHadQueued) {
  start(CaptureOptions());
  for (int i = 0; i < 50; ++i) fs::create_directory(path("d" + std::to_string(i)));
  stop();
  Lines expected;
  for (int i = 0; i < 50; ++i) expected.push_back(path("d" + std::to_string(i)));
  Lines folders;
  for (const Change& change : listener.delivered) {
    if (change.kind == EventKind::FolderCreated) folders.push_back(change.path);
  }
  EXPECT_EQ(folders, expected);
}

INSTANTIATE_TEST_SUITE_P(Modes, Pipeline, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "inotify" : "fanotify"; });

}  // namespace
}  // namespace tw
