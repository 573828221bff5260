// Whole-drive capture in the desktop program that runs as a user: the main window's recording
// through the capture helper, started by a stand-in for pkexec, with a change in a temporary
// folder shown in both views; a cancelled authentication (the stand-in exits 126) with its
// message and the inotify fallback still recording; a helper that dies, reported in the error box.
//
// As root the test runs itself again as "nobody", with a setuid-root copy of the stand-in, so
// that the program really is unprivileged and the helper really is root. As another user it
// runs as that user, the helper then as that user too.
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "app/record/recorder.h"
#include "gui/main/dialogs.h"
#include "gui/main/main_window.h"
#include "platform/linux/helper_change_watching.h"
#include "platform/linux/linux_platform.h"
#include "support/temp_dir.h"

namespace tw {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kAsUserVariable = "TARNWATCH_TEST_AS_USER";
constexpr const char* kElevateVariable = "TARNWATCH_TEST_ELEVATE";

void runPosted(int rounds = 20) {
  for (int i = 0; i < rounds; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// Notes the messages the window shows; answers every question with no.
class MessageLog : public Dialogs {
 public:
  struct Shown {
    std::string text;
    MessageIcon icon;
  };
  std::vector<Shown> shown;
  void message(QWidget*, const QString&, const QString& text, MessageIcon icon) override {
    shown.push_back({text.toStdString(), icon});
  }
  bool askYesNo(QWidget*, const QString&, const QString& text) override {
    shown.push_back({text.toStdString(), MessageIcon::Question});
    return false;
  }
  bool askTask(QWidget*, const QString&, const QString& instruction, const QString&) override {
    shown.push_back({instruction.toStdString(), MessageIcon::Question});
    return false;
  }
  std::optional<QString> saveFileName(QWidget*, const QString&) override { return std::nullopt; }
  QString browseForFolder(QWidget*, const QString&, const QString&, bool) override { return {}; }
};

class FixedSettings : public SettingsWindowLink {
 public:
  CaptureOptions options;
  const CaptureOptions& captureOptions() override { return options; }
  void setRecordMode(bool) override {}
  void showSettings() override {}
};

DeliverySchedule steppedSchedule() {
  DeliverySchedule schedule;
  schedule.ownThreads = false;
  schedule.interval = 1s;
  return schedule;
}

// As root: runs this test again in a child as "nobody" and says whether it passed there.
// Returns false (with the child's output in `log`) when it did not pass or was skipped.
bool passesAsNobody(const std::string& elevate, std::string& log) {
  const std::string name =
      std::string(::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name()) + "." +
      ::testing::UnitTest::GetInstance()->current_test_info()->name();
  test::TempDir output;
  ::chmod(output.path().c_str(), 0777);
  const std::string outFile = output.file("out.txt");
  std::string filter = "--gtest_filter=" + name;
  std::string self = fs::read_symlink("/proc/self/exe").string();
  std::vector<std::string> env = {std::string(kAsUserVariable) + "=1",
                                  std::string(kElevateVariable) + "=" + elevate, "QT_QPA_PLATFORM=offscreen",
                                  "PATH=/usr/bin:/bin", "HOME=/nonexistent"};
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  char* argv[] = {self.data(), filter.data(), nullptr};
  const int fd = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(fd, 1);
    ::dup2(fd, 2);
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(120);
    ::execve(argv[0], argv, envp.data());
    ::_exit(121);
  }
  ::close(fd);
  int status = 0;
  ::waitpid(pid, &status, 0);
  log = test::readFile(outFile);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
         log.find("[  PASSED  ] 1 test") != std::string::npos &&
         log.find("[  SKIPPED ]") == std::string::npos;
}

// A setuid-root copy of the stand-in for pkexec in a folder of root's, gone with the object.
class SetuidStandIn {
 public:
  SetuidStandIn() {
    ::chmod(dir.path().c_str(), 0755);
    path = dir.file("pkexec");
    fs::copy_file(ELEVATE_STAND_IN, path);
    ::chown(path.c_str(), 0, 0);
    ::chmod(path.c_str(), 04755);
  }
  test::TempDir dir;
  std::string path;
};

// The user's side: the main window over the real Linux platform, its drives the temporary
// folder, its change watching the capture helper with inotify as the fallback.
class HelperWindow {
 public:
  explicit HelperWindow(const std::string& elevate)
      : folders(real, PathStyle::Posix, {watched.path().string()}),
        watching({TARNWATCH_RECORD, elevate}, inotify),
        platform(Platform{real.parts().environment, folders, real, real, real, real, watching}),
        window(platform, dialogs, steppedSchedule()),
        treeTester(&window.treeModel(), QAbstractItemModelTester::FailureReportingMode::Warning),
        listTester(&window.listModel(), QAbstractItemModelTester::FailureReportingMode::Warning) {
    inotify.setForceInotify(true);
    window.setSettingsWindow(&settings);
    window.setAboutBox([] {});
  }
  ~HelperWindow() {
    if (window.recording().state() != RecordingState::Idle) window.recording().stop();
    for (int i = 0; i < 1000 && window.recording().state() != RecordingState::Idle; ++i) {
      if (MonitorLoop* monitor = window.recording().monitorLoop()) monitor->step();
      if (DeliveryLoop* delivery = window.recording().deliveryLoop()) delivery->step(now);
      runPosted(1);
    }
  }

  void record() {
    window.show();
    window.onRecord();
    ASSERT_NE(window.recording().monitorLoop(), nullptr);
    window.recording().monitorLoop()->step();
    runPosted();
  }
  // Waits (one wait of the monitor at a time) and delivers until `done` holds.
  // A wait that brings nothing more blocks; a guard stops the recording after a generous time
  // so that a fault fails the test instead of hanging it.
  bool stepUntil(const std::function<bool()>& done, int waits = 200) {
    MonitorLoop* guarded = window.recording().monitorLoop();
    std::mutex lock;
    std::condition_variable_any over;
    std::jthread guard([&](std::stop_token stop) {
      std::unique_lock held(lock);
      over.wait_for(held, stop, 20s, [] { return false; });
      if (!stop.stop_requested() && guarded != nullptr) guarded->requestStop();
    });
    bool watching = true;
    for (int i = 0; i < waits && !done(); ++i) {
      // Once the watch is over, only the delivery of what it read is left to step.
      MonitorLoop* monitor = window.recording().monitorLoop();
      if (watching && monitor != nullptr) watching = monitor->step();
      now += 1s;
      if (DeliveryLoop* delivery = window.recording().deliveryLoop()) delivery->step(now);
      runPosted();
    }
    return done();
  }
  std::string tips() const { return window.statusLabel->toolTip().toStdString(); }
  // Whether a row of the list names the file `name` (in a cell of its own).
  bool listShows(const std::string& name) {
    auto& model = window.listModel();
    for (int r = 0; r < model.rowCount(); ++r)
      for (int c = 0; c < model.columnCount(); ++c)
        if (model.index(r, c).data().toString() == QString::fromStdString(name)) return true;
    return false;
  }
  bool treeShows(const std::string& name) {
    std::vector<QModelIndex> open{QModelIndex()};
    while (!open.empty()) {
      const QModelIndex parent = open.back();
      open.pop_back();
      for (int r = 0; r < window.treeModel().rowCount(parent); ++r) {
        const QModelIndex index = window.treeModel().index(r, 0, parent);
        if (index.data().toString().toStdString().find(name) != std::string::npos) return true;
        open.push_back(index);
      }
    }
    return false;
  }

  test::TempDir watched;
  LinuxPlatform real;
  record::FolderDrives folders;
  LinuxChangeWatching inotify{real};
  HelperChangeWatching watching;
  Platform platform;
  MessageLog dialogs;
  FixedSettings settings;
  MainWindow window;
  QAbstractItemModelTester treeTester;
  QAbstractItemModelTester listTester;
  DeliveryLoop::TimePoint now = DeliveryLoop::TimePoint() + 1000h;
};

// The uid of the capture helper this process started, from /proc; -1 when there is none.
int helperUid() {
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string status = test::readFile(entry.path().string() + "/status");
    if (status.find("\nPPid:\t" + std::to_string(::getpid()) + "\n") == std::string::npos) continue;
    const std::string cmdline = test::readFile(entry.path().string() + "/cmdline");
    if (cmdline.find("--capture-helper") == std::string::npos) continue;
    const auto uid = status.find("\nUid:\t");
    if (uid != std::string::npos) return std::stoi(status.substr(uid + 6));
  }
  return -1;
}

// Runs the rest of the test as an unprivileged user: true when this process is that run.
bool unprivileged(std::string& elevate) {
  if (::geteuid() != 0) {
    const char* given = std::getenv(kElevateVariable);
    elevate = given != nullptr ? given : ELEVATE_STAND_IN;
    return true;
  }
  SetuidStandIn standIn;
  std::string log;
  EXPECT_TRUE(passesAsNobody(standIn.path, log)) << log;
  return false;
}

TEST(CaptureHelperWindow, AChangeReachesTheViewsThroughTheHelperOfAnUnprivilegedProgram) {
  std::string elevate;
  if (!unprivileged(elevate)) return;
  HelperWindow w(elevate);
  w.record();
  ASSERT_TRUE(w.stepUntil([&] { return w.tips().find("runs in the capture helper") != std::string::npos; }))
      << w.tips();
  if (std::getenv(kElevateVariable) != nullptr) {
    EXPECT_EQ(helperUid(), 0) << "the stand-in runs the helper as root";
  }
  std::ofstream(w.watched.file("made after Record.txt")) << "x";
  EXPECT_TRUE(w.stepUntil(
      [&] { return w.listShows("made after Record.txt") && w.treeShows("made after Record.txt"); }));
  EXPECT_TRUE(w.dialogs.shown.empty());
}

TEST(CaptureHelperWindow, ACancelledAuthenticationSaysSoAndInotifyRecords) {
  std::string elevate;
  if (!unprivileged(elevate)) return;
  test::TempDir scripts;
  const std::string cancel = scripts.write("pkexec", "#!/bin/sh\nexit 126\n");
  ::chmod(cancel.c_str(), 0755);
  HelperWindow w(cancel);
  w.record();
  ASSERT_TRUE(w.stepUntil([&] { return w.tips().find("inotify") != std::string::npos; })) << w.tips();
  EXPECT_NE(w.tips().find("Whole-drive capture was not authorised"), std::string::npos) << w.tips();
  std::ofstream(w.watched.file("after the cancel.txt")) << "x";
  EXPECT_TRUE(w.stepUntil([&] { return w.listShows("after the cancel.txt"); }));
  EXPECT_TRUE(w.dialogs.shown.empty()) << "a cancel is a notice, not an error";
}

TEST(CaptureHelperWindow, AHelperThatDiesIsReportedInTheErrorBox) {
  std::string elevate;
  if (!unprivileged(elevate)) return;
  test::TempDir scripts;
  // The helper runs as the user here, so that the test may kill it.
  const std::string dies =
      scripts.write("pkexec", "#!/bin/sh\necho $$ > '" + scripts.file("pid") + "'\nexec \"$@\"\n");
  ::chmod(dies.c_str(), 0755);
  HelperWindow w(dies);
  w.record();
  ASSERT_TRUE(w.stepUntil([&] { return w.tips().find("runs in the capture helper") != std::string::npos; }));
  ::kill(std::stoi(test::readFile(scripts.file("pid"))), SIGKILL);
  ASSERT_TRUE(w.stepUntil([&] { return w.window.recording().state() == RecordingState::Idle; }));
  ASSERT_EQ(w.dialogs.shown.size(), 1u);
  EXPECT_EQ(w.dialogs.shown[0].icon, MessageIcon::Error);
  const std::string& text = w.dialogs.shown[0].text;
  EXPECT_NE(text.find("The capture helper ended (killed by signal 9"), std::string::npos) << text;
}

}  // namespace
}  // namespace tw
