// The main window, offscreen: its layout, its commands and recordings delivered step by step
// (the scripted change watching, the delivery loop stepped with an injected clock), with the
// settings window and the dialogs played by the test. The platform is the real Linux one, so
// that exported digests and icons are real.

#include <unistd.h>

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "app/record/recorder.h"
#include "core/events/event_kinds.h"
#include "core/report/export_report.h"
#include "core/report/main_caption.h"
#include "core/settings/exclusions.h"
#include "core/ui/texts.h"
#include "gui/main/about_box.h"
#include "gui/main/main_window.h"
#include "gui/main/qt_ui_thread.h"
#include "platform/fake/fake_change_watching.h"
#include "platform/fake/fake_platform.h"
#include "platform/linux/linux_platform.h"
#include "support/changes.h"
#include "support/fake_dialogs.h"
#include "support/temp_dir.h"

namespace tw {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::change;

// Runs the event loop until `done` holds or `ms` have passed (for the threads of the
// QtUiThread test; the window's own tests step their recordings).
bool waitUntil(const std::function<bool()>& done, int ms = 10000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  return true;
}

// Runs what has been posted to the event loop, round after round, without waiting.
void runPosted(int rounds = 20) {
  for (int i = 0; i < rounds; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

class FakeSettingsWindow : public SettingsWindowLink {
 public:
  CaptureOptions options;
  std::vector<bool> recordModes;
  int shown = 0;
  const CaptureOptions& captureOptions() override { return options; }
  void setRecordMode(bool b) override { recordModes.push_back(b); }
  void showSettings() override { ++shown; }
  // Saved as a settings window saves them: what the test's config.ini would hold.
  std::vector<CaptureOptions> saved;
  void saveOptions(const CaptureOptions& o) override {
    saved.push_back(o);
    options = o;
  }
};

DeliverySchedule steppedSchedule(std::chrono::milliseconds uiStepBudget = 15ms) {
  DeliverySchedule schedule;
  schedule.ownThreads = false;
  schedule.interval = 1s;
  schedule.uiStepBudget = uiStepBudget;
  return schedule;
}

// The real platform, but for the change watching (the test's script) and the shell (which
// records what it was asked to open instead of starting programs).
Platform withWatching(const Platform& p, ChangeWatching& watching, Shell& shell) {
  return Platform{p.environment, p.drives, p.icons, p.files, p.profiles, shell, watching};
}

class MainWindowTest : public ::testing::Test {
 protected:
  explicit MainWindowTest(std::chrono::milliseconds uiStepBudget = 15ms)
      : folders(real, PathStyle::Posix, {tmp.path().string()}),
        platform(withWatching(real.parts().withDrives(folders), watching, shell)),
        window(platform, dialogs, steppedSchedule(uiStepBudget)) {
    window.setSettingsWindow(&settings);
    window.setAboutBox([this] { ++aboutShown; });
    window.exitProcess = [this](int code) { exitCodes.push_back(code); };
  }
  ~MainWindowTest() override {
    if (window.recording().state() != RecordingState::Idle) {
      window.recording().stop();
      runToIdle();
    }
  }

  RecordingController& recording() { return window.recording(); }
  // Starts a recording from the Record button and sets its watch up.
  void record() {
    window.onRecord();
    ASSERT_NE(recording().monitorLoop(), nullptr);
    recording().monitorLoop()->step();
    runPosted();
  }
  // Changes the system reports, read by one wait of the monitor.
  void arrive(std::vector<Change> changes) {
    ASSERT_TRUE(watching.send(std::move(changes)));
    ASSERT_TRUE(recording().monitorLoop()->step());
  }
  // A second later: the delivery loop steps, the event loop applies what it posted.
  void deliver() {
    now += 1s;
    if (DeliveryLoop* delivery = recording().deliveryLoop()) delivery->step(now);
    runPosted();
  }
  void runToIdle() {
    for (int i = 0; i < 10'000 && recording().state() != RecordingState::Idle; ++i) {
      if (MonitorLoop* monitor = recording().monitorLoop()) monitor->step();
      if (DeliveryLoop* delivery = recording().deliveryLoop()) delivery->step(now);
      runPosted(1);
    }
    EXPECT_EQ(recording().state(), RecordingState::Idle);
  }
  Change created(const std::string& name) { return change(EventKind::FileCreated, root() + name); }

  std::vector<QString> listColumn(int column) {
    std::vector<QString> cells;
    auto& model = window.listModel();
    for (int r = 0; r < model.rowCount(); ++r) cells.push_back(model.index(r, column).data().toString());
    return cells;
  }
  int listRowWith(int column, const QString& text) {
    auto& model = window.listModel();
    for (int r = 0; r < model.rowCount(); ++r)
      if (model.index(r, column).data().toString() == text) return r;
    return -1;
  }
  std::string root() const { return tmp.path().string() + "/"; }
  int imageOf(const ToolButton* button) const { return button->imageIndex(); }
  static int image(MainImage which) { return static_cast<int>(which); }

  test::TempDir tmp;
  LinuxPlatform real;
  record::FolderDrives folders;
  FakeChangeWatching watching;
  FakeShell shell;
  Platform platform;
  test::FakeDialogs dialogs;
  FakeSettingsWindow settings;
  MainWindow window;
  DeliveryLoop::TimePoint now = DeliveryLoop::TimePoint() + 1000h;
  int aboutShown = 0;
  std::vector<int> exitCodes;
};

TEST_F(MainWindowTest, DesignedControlsAndCaption) {
  EXPECT_TRUE(window.windowTitle().startsWith("Tarnwatch v1.0 - "));
  EXPECT_EQ(window.windowTitle(), QString::fromStdString(mainWindowCaption(real)));
  EXPECT_EQ(window.statusLabel->text(), "idle.");
  EXPECT_EQ(withoutAccessMarks(window.recordButton->caption()), "Record");
  EXPECT_EQ(window.recordButton->imageIndex(), image(MainImage::Record));
  EXPECT_TRUE(window.pauseButton->isHidden());
  EXPECT_FALSE(window.treeButton->isEnabled());
  EXPECT_TRUE(window.listButton->isEnabled());
  EXPECT_TRUE(window.listView->isHidden());
  EXPECT_TRUE(window.progressBar->isHidden());
  EXPECT_EQ(window.images->count(), 15);
  const QStringList items = {window.likeUsAction->text(), window.aboutAction->text(),
                             window.exitAction->text()};
  EXPECT_EQ(items, (QStringList{"Like us !", "About", "Exit Program"}));
  EXPECT_TRUE(window.helpMenu->actions().at(2)->isSeparator());
  EXPECT_EQ(window.listModel().headerData(3, Qt::Horizontal).toString(), "Work Path");
}

TEST_F(MainWindowTest, LayoutAtTheDesignedSize) {
  window.resize(635, 351);
  window.show();
  ASSERT_TRUE(waitUntil([&] { return window.isVisible(); }));
  window.resize(635, 351);
  window.processResize();
  EXPECT_EQ(window.viewBar->geometry(), QRect(4, 35, 627, 37));
  EXPECT_EQ(window.treeView->geometry(), QRect(4, 76, 627, 271));
  EXPECT_EQ(window.listView->geometry(), QRect(4, 76, 627, 271));
  EXPECT_EQ(window.helpButton->x(), 588);
  EXPECT_EQ(window.settingsButton->x(), 557);
  EXPECT_EQ(window.pauseButton->x(), 97);
  EXPECT_EQ(window.saveButton->x(), 4 + 81 + 4 + 81 + 4 + 31 + 4);
  EXPECT_EQ(window.statusLabel->x() + window.statusLabel->width(), 627 - 8);

  window.batchStarted(10);
  EXPECT_EQ(window.treeView->height(), 258);
  EXPECT_EQ(window.listView->height(), 258);
  EXPECT_EQ(window.progressBar->geometry(), QRect(4, 338, 627, 9));
  window.batchFinished();
  EXPECT_EQ(window.treeView->height(), 271);
  EXPECT_EQ(window.progressBar->position(), 0);

  // Any size keeps the margins.
  window.resize(900, 500);
  window.processResize();
  EXPECT_EQ(window.treeView->geometry(), QRect(4, 76, 892, 500 - 31 - 37 - 12));
  EXPECT_EQ(window.helpButton->x(), 900 - 43 - 4);
}

TEST_F(MainWindowTest, TheViewButtonsSwitchOnlyVisibility) {
  window.show();
  window.onShowList();
  EXPECT_FALSE(window.listButton->isEnabled());
  EXPECT_TRUE(window.treeButton->isEnabled());
  EXPECT_TRUE(window.treeView->isHidden());
  EXPECT_FALSE(window.listView->isHidden());
  record();
  arrive({created("a.txt")});
  deliver();
  window.onShowTree();
  EXPECT_FALSE(window.treeButton->isEnabled());
  EXPECT_TRUE(window.listView->isHidden());
  // Both views were filled while hidden.
  EXPECT_EQ(window.listModel().rowCount(), 1);
  EXPECT_GT(window.treeModel().rowCount(), 0);
}

TEST_F(MainWindowTest, AutomaticCaptureStartsOnceOnTheFirstShowOnly) {
  settings.options.autoCapture = true;
  settings.options.minimizeToTray = true;
  window.trayAvailable = [] { return true; };
  window.show();
  EXPECT_EQ(recording().state(), RecordingState::Recording);
  EXPECT_EQ(window.statusLabel->text(), "Live Capture.");
  EXPECT_EQ(settings.recordModes, std::vector<bool>{true});
  EXPECT_EQ(window.recordButton->imageIndex(), image(MainImage::Stop));

  // Closed to the notification area and restored: the recording goes on.
  window.close();
  EXPECT_TRUE(window.isHidden());
  EXPECT_TRUE(window.trayIcon->isVisible());
  window.onTrayActivated();
  EXPECT_TRUE(window.isVisible());
  EXPECT_FALSE(window.trayIcon->isVisible());
  EXPECT_EQ(recording().state(), RecordingState::Recording);
  EXPECT_EQ(settings.recordModes, std::vector<bool>{true});

  // Stopped, then hidden and restored again: a later show never starts a recording.
  window.onRecord();
  runToIdle();
  window.close();
  window.onTrayActivated();
  EXPECT_EQ(recording().state(), RecordingState::Idle);
  EXPECT_EQ(settings.recordModes, (std::vector<bool>{true, false}));
  EXPECT_TRUE(watching.requests().size() <= 1u);
}

TEST_F(MainWindowTest, NoAutomaticCaptureWhenUnchecked) {
  window.show();
  EXPECT_EQ(recording().state(), RecordingState::Idle);
  EXPECT_EQ(window.statusLabel->text(), "idle.");
}

TEST_F(MainWindowTest, ARecordingFillsBothViewsWithTheirColours) {
  window.show();
  record();
  EXPECT_EQ(withoutAccessMarks(window.recordButton->caption()), "Stop");
  EXPECT_FALSE(window.pauseButton->isHidden());
  QAbstractItemModelTester treeTester(&window.treeModel(),
                                      QAbstractItemModelTester::FailureReportingMode::Fatal);
  QAbstractItemModelTester listTester(&window.listModel(),
                                      QAbstractItemModelTester::FailureReportingMode::Fatal);

  arrive({created("made.txt"), change(EventKind::FileRenamed, root() + "made.txt", root() + "moved.txt"),
          change(EventKind::FolderCreated, root() + "sub"),
          change(EventKind::FileDeleted, root() + "moved.txt")});
  deliver();
  ASSERT_EQ(window.listModel().rowCount(), 4);
  const auto colourOf = [&](EventKind event) {
    const int row = listRowWith(2, QString::fromStdString(getEventName(eventNumber(event))));
    EXPECT_GE(row, 0) << getEventName(eventNumber(event));
    return row < 0 ? QColor()
                   : window.listModel().index(row, 0).data(Qt::ForegroundRole).value<QBrush>().color();
  };
  EXPECT_EQ(colourOf(EventKind::FileCreated), QColor(0, 0x80, 0));
  EXPECT_EQ(colourOf(EventKind::FileRenamed), QColor(0, 0, 0xFF));
  EXPECT_EQ(colourOf(EventKind::FileDeleted), QColor(0xFF, 0, 0));
  EXPECT_EQ(colourOf(EventKind::FolderCreated), QColor(0, 0x80, 0));

  // The tree holds the folder's path down to the files; the deleted file is red, and every
  // node is expanded.
  CaptureTreeModel& tree = window.treeModel();
  ASSERT_GT(tree.rowCount(), 0);
  int expandedLevels = 0;
  bool redFile = false;
  bool blueRename = false;
  QString seen;
  for (int row = 0; row < tree.rowCount(); ++row) {
    const QModelIndex node = tree.index(row);
    if (tree.nodeHasChildren(node)) {
      EXPECT_TRUE(window.treeView->isExpanded(node)) << node.data().toString().toStdString();
      expandedLevels = std::max(expandedLevels, tree.level(node) + 1);
    }
    seen += node.data().toString() + " | ";
    const QColor colour = node.data(Qt::ForegroundRole).value<QBrush>().color();
    const QString text = node.data().toString();
    // A deleted file carries the time of its deletion: "(hh:mm:ss) moved.txt".
    if (text.startsWith("(") && text.endsWith(") moved.txt")) redFile = colour == QColor(0xFF, 0, 0);
    if (text == "made.txt -> moved.txt") blueRename = colour == QColor(0, 0, 0xFF);
  }
  EXPECT_GT(expandedLevels, 0);
  EXPECT_TRUE(redFile) << seen.toStdString();
  EXPECT_TRUE(blueRename) << seen.toStdString();
}

TEST_F(MainWindowTest, PauseResumeAndStopWhilePaused) {
  settings.options.cleanOnStop = false;
  window.show();
  record();
  EXPECT_EQ(window.recordButton->imageIndex(), image(MainImage::Stop));
  EXPECT_EQ(withoutAccessMarks(window.pauseButton->caption()), "Pause");
  EXPECT_EQ(window.pauseButton->imageIndex(), image(MainImage::Pause));

  window.onPause();
  EXPECT_EQ(window.pauseButton->imageIndex(), image(MainImage::Resume));
  EXPECT_EQ(withoutAccessMarks(window.pauseButton->caption()), "Resume");
  EXPECT_EQ(window.statusLabel->text(), "Live Capture.");
  arrive({created("held.txt")});
  deliver();
  deliver();
  EXPECT_EQ(listRowWith(0, "held.txt"), -1) << "delivered while paused";

  window.onPause();
  EXPECT_EQ(window.pauseButton->imageIndex(), image(MainImage::Pause));
  EXPECT_EQ(withoutAccessMarks(window.pauseButton->caption()), "Pause");
  deliver();
  EXPECT_GE(listRowWith(0, "held.txt"), 0);

  // Stop while paused: "idle." at once, the buttons back when what was read is delivered.
  window.onPause();
  arrive({created("during-pause.txt")});
  window.onRecord();
  EXPECT_EQ(window.statusLabel->text(), "idle.");
  EXPECT_EQ(settings.recordModes, (std::vector<bool>{true, false})) << "unlocked at the click";
  runToIdle();
  EXPECT_EQ(window.recordButton->imageIndex(), image(MainImage::Record));
  EXPECT_EQ(withoutAccessMarks(window.recordButton->caption()), "Record");
  EXPECT_TRUE(window.pauseButton->isHidden());
  EXPECT_GE(listRowWith(0, "during-pause.txt"), 0) << "what the pause held is delivered at the stop";
  EXPECT_GT(window.listModel().rowCount(), 0) << "cleaned without clean-on-stop";

  // The next recording starts unpaused, and its Pause button says so.
  record();
  EXPECT_EQ(withoutAccessMarks(window.pauseButton->caption()), "Pause");
  EXPECT_EQ(window.pauseButton->imageIndex(), image(MainImage::Pause));
  window.onPause();
  EXPECT_EQ(recording().state(), RecordingState::Paused);
  EXPECT_EQ(withoutAccessMarks(window.pauseButton->caption()), "Resume");
}

TEST_F(MainWindowTest, StopWithAutomaticCleanEmptiesTheViews) {
  window.show();
  record();
  arrive({created("a.txt")});
  deliver();
  ASSERT_GT(window.listModel().rowCount(), 0);
  window.onRecord();
  runToIdle();
  EXPECT_EQ(window.listModel().rowCount(), 0);
  EXPECT_EQ(window.treeModel().rowCount(), 0);
}

TEST_F(MainWindowTest, CleanDuringARecordingAndLaterEventsFillAgain) {
  window.show();
  record();
  QAbstractItemModelTester treeTester(&window.treeModel(),
                                      QAbstractItemModelTester::FailureReportingMode::Fatal);
  arrive({created("one.txt")});
  deliver();
  ASSERT_GT(window.listModel().rowCount(), 0);
  window.onClean();
  EXPECT_EQ(window.listModel().rowCount(), 0);
  EXPECT_EQ(window.treeModel().rowCount(), 0);
  arrive({created("two.txt")});
  deliver();
  EXPECT_GE(listRowWith(0, "two.txt"), 0);
  EXPECT_EQ(listRowWith(0, "one.txt"), -1);
  EXPECT_GT(window.treeModel().rowCount(), 0);
  EXPECT_EQ(recording().state(), RecordingState::Recording);
}

// A batch larger than one step of the user interface: the bar shows it while it is applied.
class MainWindowBatchTest : public MainWindowTest {
 protected:
  MainWindowBatchTest() : MainWindowTest(0ms) {}
};

TEST_F(MainWindowBatchTest, TheProgressBarShowsABatchWhileItIsApplied) {
  settings.options.extensions = {".txt"};
  window.show();
  record();
  std::vector<Change> changes;
  for (int i = 0; i < 200; ++i)
    changes.push_back(created("f" + std::to_string(i) + (i == 198 ? ".doc" : ".txt")));
  arrive(std::move(changes));
  now += 1s;
  recording().deliveryLoop()->step(now);
  runPosted(2);  // the batch arrives, and its first step runs
  EXPECT_FALSE(window.progressBar->isHidden());
  EXPECT_EQ(window.progressBar->max(), 200);
  EXPECT_LT(window.listModel().rowCount(), 199) << "rows reach the views when the batch ends";
  runPosted(100);
  EXPECT_TRUE(window.progressBar->isHidden());
  EXPECT_EQ(window.progressBar->position(), 0);
  EXPECT_EQ(window.listModel().rowCount(), 199);
  EXPECT_TRUE(window.treeView->isExpanded(window.treeModel().index(0, 0)));
}

TEST_F(MainWindowTest, AnErrorThatEndsARecordingReachesTheErrorBoxAfterTheStop) {
  window.show();
  record();
  arrive({created("read.txt")});
  ASSERT_TRUE(watching.failNextWait("The watch of /tmp ended: the file system was unmounted"));
  runToIdle();
  EXPECT_EQ(withoutAccessMarks(window.recordButton->caption()), "Record");
  EXPECT_EQ(window.statusLabel->text(), "idle.");
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].kind, "message");
  EXPECT_EQ(dialogs.shown[0].title, "Tarnwatch");
  EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Error);
  EXPECT_EQ(dialogs.shown[0].text, "The watch of /tmp ended: the file system was unmounted");
  EXPECT_EQ(settings.recordModes, (std::vector<bool>{true, false}));
}

TEST_F(MainWindowTest, NoticesOfTheWatchAreShownOnTheStatusText) {
  window.show();
  record();
  ASSERT_TRUE(watching.notice({root(), "Changes were lost: the kernel's queue overflowed."}));
  recording().monitorLoop()->step();
  runPosted();
  EXPECT_EQ(window.statusLabel->toolTip().toStdString(),
            root() + ": Changes were lost: the kernel's queue overflowed.");
  EXPECT_EQ(window.statusLabel->text(), "Live Capture.");
  EXPECT_TRUE(dialogs.shown.empty()) << "no dialog interrupts the recording";
}

TEST_F(MainWindowTest, ClosingWithAndWithoutTheNotificationArea) {
  struct Case {
    bool tray;
    bool trayAvailable;
    bool hidden;
    bool minimized;
    bool accepted;
  };
  for (const Case c : {Case{false, true, false, false, true}, Case{true, true, true, false, false},
                       Case{true, false, false, true, false}}) {
    SCOPED_TRACE(testing::Message() << "minimize to tray " << c.tray << ", tray available "
                                    << c.trayAvailable);
    MainWindow w(platform, dialogs, steppedSchedule());
    w.setSettingsWindow(&settings);
    settings.options.minimizeToTray = c.tray;
    w.trayAvailable = [&] { return c.trayAvailable; };
    w.show();
    QCloseEvent close;
    QCoreApplication::sendEvent(&w, &close);
    EXPECT_EQ(close.isAccepted(), c.accepted);
    EXPECT_EQ(w.isHidden(), c.hidden);
    EXPECT_EQ(w.trayIcon->isVisible(), c.hidden);
    EXPECT_EQ(w.isMinimized() || (w.windowState() & Qt::WindowMinimized), c.minimized);
    if (c.hidden) {
      EXPECT_EQ(w.lastBalloonTitle, "Working in background");
      EXPECT_EQ(w.lastBalloonText,
                "Tarnwatch is still running in background. Click on this icon to restore application.");
    }
  }
  EXPECT_TRUE(dialogs.shown.empty()) << "closing asks nothing";
}

TEST_F(MainWindowTest, ExitProgramAsksAndEndsOnlyOnYes) {
  window.show();
  dialogs.yesNo = {false};
  window.onExitProgram();
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].kind, "task");
  EXPECT_EQ(dialogs.shown[0].title, window.windowTitle());
  EXPECT_EQ(dialogs.shown[0].text,
            "Close Program\nThis action will close the process and all its background tasks. Are you sure?");
  EXPECT_TRUE(exitCodes.empty());
  EXPECT_TRUE(window.isVisible());
  dialogs.yesNo = {true};
  window.onExitProgram();
  EXPECT_EQ(exitCodes, std::vector<int>{0});
}

TEST_F(MainWindowTest, HelpMenuAndSettings) {
  window.onAbout();
  EXPECT_EQ(aboutShown, 1);
  window.onSettings();
  EXPECT_EQ(settings.shown, 1);
}

TEST_F(MainWindowTest, ExportWritesTheReportAndTellsTheOutcome) {
  const std::string file = root() + "data.bin";
  std::ofstream(file) << "abc";
  record();
  arrive({change(EventKind::FileCreated, file)});
  deliver();

  const QString report = QString::fromStdString((tmp.path() / "report.txt").string());
  dialogs.saveNames = {report};
  window.onExport();
  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(dialogs.shown[0].kind, "save");
  EXPECT_EQ(dialogs.shown[0].title, "txt");
  EXPECT_EQ(dialogs.shown[1].title, "Exportation");
  EXPECT_EQ(dialogs.shown[1].text, "Data successfully exported to \r\n" + report);
  EXPECT_EQ(dialogs.shown[1].icon, MessageIcon::Information);
  const std::string text = test::readFile(report.toStdString());
  const std::string expected =
      buildExportReport(window.windowTitle().toStdString(), window.captureViews(), real);
  EXPECT_EQ(text, expected + "\r\n");
  EXPECT_TRUE(text.starts_with("Generated by " + window.windowTitle().toStdString() + "\r\n"));
  EXPECT_NE(text.find("data.bin - [MD5:900150983cd24fb0d6963f7d28e17f72]\r\n"), std::string::npos);
  EXPECT_NE(text.find("data.bin\t-\t" + getEventName(eventNumber(EventKind::FileCreated)) + "\t" + root() +
                      "\t\r\n"),
            std::string::npos);

  // A place that cannot be written: the failure message.
  dialogs.shown.clear();
  dialogs.saveNames = {QString::fromStdString(root() + "missing/dir/report.txt")};
  window.onExport();
  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(dialogs.shown[1].title, "Exportation");
  EXPECT_EQ(dialogs.shown[1].text,
            "We were not able to export data to the location you chose. Are you sure you have access to this "
            "location from your administrator?");
  EXPECT_EQ(dialogs.shown[1].icon, MessageIcon::Error);

  // Cancel, and a blank name: nothing written, nothing said.
  dialogs.shown.clear();
  dialogs.saveNames = {std::nullopt, QString("  ")};
  window.onExport();
  window.onExport();
  EXPECT_EQ(dialogs.shown.size(), 2u);
  EXPECT_FALSE(fs::exists(tmp.path() / "  "));
}

TEST_F(MainWindowTest, AnErrorInACommandReachesTheGeneralErrorBox) {
  // A click runs its command guarded: an exception becomes a message, the window goes on.
  MainWindow lonely(platform, dialogs,
                    steppedSchedule());  // no settings window: Record cannot start
  Q_EMIT lonely.recordButton->clicked();
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].kind, "message");
  EXPECT_EQ(dialogs.shown[0].title, "Tarnwatch");
  EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Error);
  EXPECT_FALSE(dialogs.shown[0].text.isEmpty());
  EXPECT_EQ(lonely.recording().state(), RecordingState::Idle);
}

// The tree keeps a node the user folded folded across a batch that adds under it, while new
// nodes elsewhere open as before.
TEST_F(MainWindowTest, AFoldedNodeStaysFoldedAcrossABatch) {
  window.show();
  record();
  QAbstractItemModelTester tester(&window.treeModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
  arrive({created("sub/a.txt")});
  deliver();
  CaptureTreeModel& tree = window.treeModel();
  const auto rowNamed = [&](const QString& name) {
    for (int r = 0; r < tree.rowCount(); ++r)
      if (tree.index(r).data().toString() == name) return tree.index(r);
    return QModelIndex();
  };
  const QModelIndex sub = rowNamed("sub");
  ASSERT_TRUE(sub.isValid());
  window.treeView->collapse(sub);
  arrive({created("sub/b.txt"), created("other/c.txt")});
  deliver();
  EXPECT_FALSE(window.treeView->isExpanded(rowNamed("sub")));
  EXPECT_FALSE(rowNamed("b.txt").isValid()) << "what arrived under the folded node stays hidden";
  EXPECT_TRUE(rowNamed("c.txt").isValid()) << "new nodes elsewhere open";
  EXPECT_TRUE(window.treeView->isExpanded(rowNamed("other")));
  window.treeView->expand(rowNamed("sub"));
  EXPECT_TRUE(rowNamed("b.txt").isValid());
}

// The context menu of a tree node and of a list row: open the folder, copy the path, and the two
// exclusions, which save the options and are locked while a recording runs.
TEST_F(MainWindowTest, ContextMenuOpensCopiesAndExcludes) {
  settings.options.cleanOnStop = false;
  window.show();
  record();
  arrive({created("sub/a.txt"), change(EventKind::FolderCreated, root() + "dir")});
  deliver();
  CaptureTreeModel& tree = window.treeModel();
  QModelIndex file;
  for (int r = 0; r < tree.rowCount(); ++r)
    if (tree.index(r).data().toString() == "a.txt") file = tree.index(r);
  ASSERT_TRUE(file.isValid());
  std::optional<PathTarget> target = window.targetOf(file);
  ASSERT_TRUE(target);
  EXPECT_EQ(target->path, root() + "sub/a.txt");
  EXPECT_EQ(target->openedFolder, root() + "sub/");

  // While recording the exclusions are locked, and say why.
  window.prepareRowMenu(*target);
  EXPECT_TRUE(window.openFolderAction->isEnabled());
  EXPECT_EQ(window.openFolderAction->text(), "&Open Containing Folder");
  EXPECT_FALSE(window.excludeFolderAction->isEnabled());
  EXPECT_EQ(window.excludeFolderAction->toolTip().toStdString(), kSettingsLockedReason);
  EXPECT_EQ(window.excludeExtensionAction->toolTip().toStdString(), kSettingsLockedReason);
  window.excludeFolderAction->trigger();
  EXPECT_TRUE(settings.saved.empty());

  window.openFolderAction->trigger();
  EXPECT_EQ(shell.opened(), std::vector<std::string>{root() + "sub/"});
  window.copyPathAction->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), root() + "sub/a.txt");

  window.recording().stop();
  runToIdle();
  ASSERT_EQ(window.listModel().rowCount(), 2) << "the views were kept";
  window.prepareRowMenu(*target);
  EXPECT_TRUE(window.excludeFolderAction->isEnabled());
  EXPECT_EQ(window.excludeFolderAction->toolTip(), "Exclude This Folder") << "no reason: the caption";
  // An empty extension list keeps every extension: none can be left out.
  EXPECT_FALSE(window.excludeExtensionAction->isEnabled());
  EXPECT_EQ(window.excludeExtensionAction->toolTip().toStdString(),
            extensionExclusionReason(ExtensionExclusion::EveryKept));
  window.excludeFolderAction->trigger();
  ASSERT_EQ(settings.saved.size(), 1u);
  EXPECT_EQ(settings.saved[0].excludedFolders, std::vector<std::string>{root() + "sub/"});
  window.prepareRowMenu(*target);
  EXPECT_FALSE(window.excludeFolderAction->isEnabled()) << "listed already";

  settings.options.extensions = {".TXT", ".doc"};
  window.prepareRowMenu(*target);
  ASSERT_TRUE(window.excludeExtensionAction->isEnabled());
  window.excludeExtensionAction->trigger();
  ASSERT_EQ(settings.saved.size(), 2u);
  EXPECT_EQ(settings.saved[1].extensions, std::vector<std::string>{".doc"});

  // The list's folder row names the folder itself.
  const int dirRow = listRowWith(2, "New Directory");
  ASSERT_GE(dirRow, 0);
  target = window.targetOf(window.listModel().index(dirRow, 0));
  ASSERT_TRUE(target);
  EXPECT_TRUE(target->folder);
  window.prepareRowMenu(*target);
  EXPECT_EQ(window.openFolderAction->text(), "&Open Folder");
  EXPECT_FALSE(window.excludeExtensionAction->isEnabled());
  window.excludeFolderAction->trigger();
  ASSERT_EQ(settings.saved.size(), 3u);
  EXPECT_EQ(settings.saved[2].excludedFolders, (std::vector<std::string>{root() + "sub/", root() + "dir/"}));
}

// The keyboard reaches every command: the window's keys, the access keys of the captions, and
// Tab through the buttons, which Enter and Space click.
TEST_F(MainWindowTest, KeyboardCommands) {
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

  QTest::keyClick(&window, Qt::Key_Pause);
  EXPECT_EQ(recording().state(), RecordingState::Idle) << "Pause does nothing while idle";
  QTest::keyClick(&window, Qt::Key_F5);
  ASSERT_EQ(recording().state(), RecordingState::Recording);
  recording().monitorLoop()->step();
  runPosted();
  QTest::keyClick(&window, Qt::Key_Pause);
  EXPECT_EQ(recording().state(), RecordingState::Paused);
  QTest::keyClick(&window, Qt::Key_Pause);
  EXPECT_EQ(recording().state(), RecordingState::Recording);
  arrive({created("k.txt")});
  deliver();
  ASSERT_GT(window.listModel().rowCount(), 0);
  QTest::keyClick(&window, Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier);
  runPosted();
  EXPECT_EQ(window.listModel().rowCount(), 0) << "Ctrl+Shift+Del cleans";
  QTest::keyClick(&window, Qt::Key_E, Qt::ControlModifier);
  ASSERT_FALSE(dialogs.shown.empty());
  EXPECT_EQ(dialogs.shown.back().kind, "save") << "Ctrl+E exports";
  QTest::keyClick(&window, Qt::Key_F5);
  runToIdle();

  // Access keys: Alt+L and Alt+T switch the views, Alt+R records.
  QTest::keyClick(&window, Qt::Key_L, Qt::AltModifier);
  EXPECT_TRUE(window.treeView->isHidden());
  QTest::keyClick(&window, Qt::Key_T, Qt::AltModifier);
  EXPECT_TRUE(window.listView->isHidden());
  QTest::keyClick(&window, Qt::Key_R, Qt::AltModifier);
  EXPECT_EQ(recording().state(), RecordingState::Recording);
  window.recording().stop();
  runToIdle();

  // Tab order: the toolbar, the view bar, the view; the disabled Tree button and the hidden
  // Pause button are passed over.
  window.recordButton->setFocus(Qt::TabFocusReason);
  std::vector<QWidget*> visited{QApplication::focusWidget()};
  for (int i = 0; i < 6; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited.push_back(QApplication::focusWidget());
  }
  EXPECT_EQ(visited, (std::vector<QWidget*>{window.recordButton, window.settingsButton, window.helpButton,
                                            window.listButton, window.cleanButton, window.saveButton,
                                            window.treeView}));

  // Enter and Space click a focused button; the focused view-bar button shows a focus frame.
  const QImage unfocused = window.listButton->grab().toImage();
  window.listButton->setFocus(Qt::TabFocusReason);
  const QImage focused = window.listButton->grab().toImage();
  EXPECT_NE(focused.pixel(kFocusFrameInset, kFocusFrameInset),
            unfocused.pixel(kFocusFrameInset, kFocusFrameInset));
  QTest::keyClick(window.listButton, Qt::Key_Space);
  EXPECT_TRUE(window.treeView->isHidden());
  window.treeButton->setFocus(Qt::TabFocusReason);
  QTest::keyClick(window.treeButton, Qt::Key_Return);
  EXPECT_TRUE(window.listView->isHidden());
  window.settingsButton->setFocus(Qt::TabFocusReason);
  QTest::keyClick(window.settingsButton, Qt::Key_Return);
  EXPECT_EQ(settings.shown, 1);
}

TEST(AboutBox, DesignAndAddresses) {
  FakePlatform platform;
  AboutBox about(platform.parts().shell);
  EXPECT_EQ(about.windowTitle(), "About");
  EXPECT_EQ(about.size(), QSize(297, 128));
  EXPECT_EQ(about.panel->geometry(), QRect(8, 8, 281, 113));
  EXPECT_EQ(about.programPicture->geometry(), QRect(8, 8, 64, 64));
  EXPECT_EQ(about.webAddress->pos(), QPoint(78, 47));
  EXPECT_EQ(about.webAddress->text().toStdString(), kMakerWebPage);
  const ToolButton* buttons[] = {about.facebookButton, about.twitterButton, about.googlePlusButton};
  const QString captions[] = {"Facebook", "Twitter", "Google+"};
  const int lefts[] = {8, 98, 188};
  const int images[] = {1, 2, 0};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(withoutAccessMarks(buttons[i]->caption()), captions[i]);
    EXPECT_EQ(buttons[i]->geometry(), QRect(lefts[i], 80, 84, 24));
    EXPECT_EQ(buttons[i]->imageIndex(), images[i]);
  }
  Q_EMIT about.webAddress->clicked();
  Q_EMIT about.facebookButton->clicked();
  Q_EMIT about.twitterButton->clicked();
  Q_EMIT about.googlePlusButton->clicked();
  EXPECT_EQ(platform.opened(), (std::vector<std::string>{std::string(kMakerWebPage), kMakerFacebookPage,
                                                         kMakerTwitterPage, kMakerGooglePlusPage}));
}

TEST(QtUiThread, RunsPostedWorkOnTheUserInterfaceThreadInOrder) {
  auto context = std::make_unique<QObject>();
  QtUiThread ui(context.get());
  std::vector<int> ran;  // written on the user-interface thread only
  std::vector<std::thread::id> threads;
  std::atomic<bool> posted{false};
  std::thread worker([&] {
    for (int i = 0; i < 100; ++i) {
      ui.post([&, i] {
        ran.push_back(i);
        threads.push_back(std::this_thread::get_id());
      });
    }
    posted = true;
  });
  ASSERT_TRUE(waitUntil([&] { return posted && ran.size() == 100; }));
  worker.join();
  for (int i = 0; i < 100; ++i) EXPECT_EQ(ran[static_cast<std::size_t>(i)], i);
  for (const auto id : threads) EXPECT_EQ(id, std::this_thread::get_id());

  // Work still queued when its context goes is dropped.
  bool late = false;
  ui.post([&] { late = true; });
  context.reset();
  runPosted();
  EXPECT_FALSE(late);
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

// The views' icons come from the icon theme that ships with the program's packages, whatever
// the platform plugin (offscreen here) says about search paths.
TEST(SystemIcons, IndexesBecomeThemeIconsOnce) {
  SystemIcons::chooseIconTheme();
  LinuxPlatform platform;
  SystemIcons icons(platform);
  test::TempDir tmp;
  std::ofstream(tmp.path() / "notes.txt") << "x";
  EXPECT_TRUE(icons.icon(0).isNull()) << "index 0 means no icon";
  for (const std::string& path :
       {tmp.path().string(), (tmp.path() / "notes.txt").string(), std::string("/")}) {
    const int index = platform.pathIcon(path);
    ASSERT_NE(index, 0) << path;
    const QIcon icon = icons.icon(index);
    EXPECT_FALSE(icon.isNull()) << path;
    EXPECT_FALSE(icon.pixmap(16, 16).isNull()) << path;
    EXPECT_FALSE(icon.name().isEmpty()) << path << ": a theme icon, not the style's fallback";
    EXPECT_EQ(icons.icon(index).cacheKey(), icon.cacheKey()) << "made once per index";
  }
}

}  // namespace
}  // namespace tw
