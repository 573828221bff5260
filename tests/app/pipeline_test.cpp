// A recording through the real Linux platform on a temporary folder: the monitor, the queue
// thread and the views' steps, with a user-interface thread of the test's.
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/record/recorder.h"
#include "core/queue/recording_view.h"
#include "core/recording/shell_monitor.h"
#include "platform/linux/linux_platform.h"
#include "support/temp_dir.h"

namespace tw {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

class Controls : public MonitorControls {
 public:
  Lines log;
  void setRecordImage(int) override {}
  void setRecordCaption(const std::string&) override {}
  void setPauseVisible(bool) override {}
  void setPauseCaption(const std::string& c) override { log.push_back("pause " + c); }
  void setPauseImage(int) override {}
  void clearTree() override { log.push_back("clear tree"); }
  void clearList() override { log.push_back("clear list"); }
  void showError(const std::string& m) override { log.push_back("error " + m); }
};

class Pipeline : public ::testing::TestWithParam<bool> {
 protected:
  Pipeline() : uiThread([this] { ui.exec(); }) {}
  ~Pipeline() override {
    ui.quit();
    uiThread.join();
  }
  void SetUp() override {
    if (!GetParam() && geteuid() != 0) GTEST_SKIP() << "fanotify needs root";
    real.setForceInotify(GetParam());
    fs::create_directory(root);
  }

  std::shared_ptr<TShellMonitor> start() {
    auto monitor =
        TShellMonitor::start(MonitorContext{real.parts().withDrives(folders), ui, controls, settings, view});
    while (monitor->registeredCount() < 0) std::this_thread::sleep_for(5ms);
    EXPECT_EQ(monitor->registeredCount(), 1);
    return monitor;
  }
  Lines listRows() {
    Lines rows;
    ui.synchronize([&] {
      for (const auto& line : view.log) {
        if (line.starts_with("list ")) rows.push_back(line.substr(5));
      }
    });
    return rows;
  }
  bool waitForRows(std::size_t count, std::chrono::milliseconds timeout = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      if (listRows().size() >= count) return true;
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }
  std::string path(const std::string& name) const { return (root / name).string(); }

  test::TempDir tmp;
  fs::path root = tmp.path() / "watched";
  LinuxPlatform real;
  record::FolderDrives folders{real, PathStyle::Posix, {root.string()}};
  QueuedUiDispatcher ui;
  Controls controls;
  CaptureOptions settings;  // every kind, no filter, clean on stop
  test::RecordingView view;
  std::thread uiThread;
};

TEST_P(Pipeline, PauseHoldsEventsThenDeliversThemTogetherInOrder) {
  auto monitor = start();
  ui.synchronize([&] { monitor->setPause(true); });
  fs::create_directory(path("one"));
  fs::create_directory(path("two"));
  fs::create_directory(path("three"));
  std::this_thread::sleep_for(1500ms);
  EXPECT_TRUE(listRows().empty()) << "nothing is delivered while paused";
  ui.synchronize([&] { monitor->setPause(false); });
  ASSERT_TRUE(waitForRows(3));
  EXPECT_EQ(listRows(), (Lines{path("one") + "||9", path("two") + "||9", path("three") + "||9"}));
  Lines log;
  ui.synchronize([&] { log = view.log; });
  EXPECT_EQ(std::count(log.begin(), log.end(), "show 3"), 1) << "one batch after the resume";
  monitor->stop();
  ASSERT_TRUE(monitor->waitForEnd(10s));
}

TEST_P(Pipeline, FiltersAndCleanOnStop) {
  fs::create_directory(path("skip"));
  settings.excludedFolders = {path("skip") + "/"};
  settings.extensions = {".txt"};
  settings.cleanOnStop = true;
  auto monitor = start();
  std::ofstream(path("skip/in-excluded.txt")) << "x";
  std::ofstream(path("kept.TXT")) << "x";
  std::ofstream(path("dropped.doc")) << "x";
  fs::create_directory(path("folder"));
  ASSERT_TRUE(waitForRows(3));
  std::this_thread::sleep_for(1200ms);  // one more wake-up: nothing else may come
  const Lines rows = listRows();
  for (const auto& row : rows) {
    EXPECT_EQ(row.find("skip"), std::string::npos) << row;
    EXPECT_EQ(row.find("dropped.doc"), std::string::npos) << row;
  }
  EXPECT_NE(std::find(rows.begin(), rows.end(), path("kept.TXT") + "||2"), rows.end())
      << testing::PrintToString(rows);
  EXPECT_NE(std::find(rows.begin(), rows.end(), path("folder") + "||9"), rows.end())
      << testing::PrintToString(rows);
  monitor->stop();
  ASSERT_TRUE(monitor->waitForEnd(10s));
  Lines log;
  ui.synchronize([&] { log = controls.log; });
  EXPECT_EQ(log, (Lines{"clear tree", "clear list"}));
}

INSTANTIATE_TEST_SUITE_P(Modes, Pipeline, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "inotify" : "fanotify"; });

}  // namespace
}  // namespace tw
