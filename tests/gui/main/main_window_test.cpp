// The main window, offscreen: its layout, its commands and a recording through the real Linux
// platform on a temporary folder, with the settings window and the dialogs played by the test.
#include <unistd.h>

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QThread>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/record/recorder.h"
#include "core/events/event_kinds.h"
#include "core/report/export_report.h"
#include "core/report/main_caption.h"
#include "gui/main/about_box.h"
#include "gui/main/main_window.h"
#include "gui/main/qt_ui_dispatcher.h"
#include "platform/fake/fake_platform.h"
#include "platform/linux/linux_platform.h"
#include "support/fake_dialogs.h"
#include "support/fake_settings_controls.h"
#include "support/temp_dir.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

// Runs the event loop until `done` holds or `ms` have passed.
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

class FakeSettingsWindow : public SettingsWindowLink {
 public:
  test::FakeSettingsControls controls;
  std::vector<bool> recordModes;
  int shown = 0;
  SettingsControls& settingsControls() override { return controls; }
  void setRecordMode(bool b) override { recordModes.push_back(b); }
  void showSettings() override { ++shown; }
};

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest()
      : folders(real, PathStyle::Posix, {tmp.path().string()}),
        platform(real.parts().withDrives(folders)),
        dispatcher(qApp),
        window(platform, dialogs, dispatcher) {
    for (int n = 0; n < kEventCount; ++n)
      settings.controls.events.rows.push_back({getEventName(n), "", 0, true});
    window.setSettingsWindow(&settings);
    window.setAboutBox([this] { ++aboutShown; });
    window.exitProcess = [this](int code) { exitCodes.push_back(code); };
  }
  ~MainWindowTest() override {
    stopRecording();
    dispatcher.shutdown();
  }

  void stopRecording() {
    if (auto monitor = window.shellMonitor()) {
      monitor->stop();
      EXPECT_TRUE(waitUntil([&] { return monitor->hasEnded(); }));
    }
  }
  // Starts a recording from the Record button and waits until it watches the folder.
  std::shared_ptr<TShellMonitor> record() {
    window.onRecord();
    auto monitor = window.shellMonitor();
    EXPECT_NE(monitor, nullptr);
    if (monitor == nullptr) return nullptr;
    EXPECT_TRUE(waitUntil([&] { return monitor->registeredCount() >= 0; }));
    EXPECT_EQ(monitor->registeredCount(), 1);
    return monitor;
  }
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

  test::TempDir tmp;
  LinuxPlatform real;
  record::FolderDrives folders;
  Platform platform;
  test::FakeDialogs dialogs;
  FakeSettingsWindow settings;
  QtUiDispatcher dispatcher;
  MainWindow window;
  int aboutShown = 0;
  std::vector<int> exitCodes;
};

TEST_F(MainWindowTest, DesignedControlsAndCaption) {
  EXPECT_TRUE(window.windowTitle().startsWith("Tarnwatch v1.0 - "));
  EXPECT_EQ(window.windowTitle(), QString::fromStdString(mainWindowCaption(real)));
  EXPECT_EQ(window.statusLabel->text(), "idle.");
  EXPECT_EQ(window.recordButton->caption(), "Record");
  EXPECT_EQ(window.recordButton->imageIndex(), kImgRecord);
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

  window.showBatchProgress(10);
  EXPECT_EQ(window.treeView->height(), 258);
  EXPECT_EQ(window.listView->height(), 258);
  EXPECT_EQ(window.progressBar->geometry(), QRect(4, 338, 627, 9));
  window.hideBatchProgress();
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
  window.showBatchProgress(1);
  window.addDirectoryFile("/srv/a.txt", "", evCreate);
  window.addListItem("/srv/a.txt", "", evCreate);
  window.hideBatchProgress();
  window.onShowTree();
  EXPECT_FALSE(window.treeButton->isEnabled());
  EXPECT_TRUE(window.listView->isHidden());
  // Both views were filled while hidden.
  EXPECT_EQ(window.listModel().rowCount(), 1);
  EXPECT_GT(window.treeModel().rowCount(), 0);
}

TEST_F(MainWindowTest, AutomaticCaptureStartsOnceOnTheFirstShowOnly) {
  settings.controls.autoCapture.setChecked(true);
  settings.controls.tray.setChecked(true);
  window.trayAvailable = [] { return true; };
  window.show();
  auto first = window.shellMonitor();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(window.statusLabel->text(), "Live Capture.");
  EXPECT_EQ(settings.recordModes, std::vector<bool>{true});
  ASSERT_TRUE(waitUntil([&] { return window.recordButton->imageIndex() == kImgStop; }));

  // Closed to the notification area and restored: no second recording.
  window.close();
  EXPECT_TRUE(window.isHidden());
  EXPECT_TRUE(window.trayIcon->isVisible());
  window.onTrayActivated();
  EXPECT_TRUE(window.isVisible());
  EXPECT_FALSE(window.trayIcon->isVisible());
  EXPECT_EQ(window.shellMonitor(), first);
  EXPECT_EQ(settings.recordModes, std::vector<bool>{true});
}

TEST_F(MainWindowTest, NoAutomaticCaptureWhenUnchecked) {
  window.show();
  EXPECT_EQ(window.shellMonitor(), nullptr);
  EXPECT_EQ(window.statusLabel->text(), "idle.");
}

TEST_F(MainWindowTest, ARecordingFillsBothViewsWithTheirColours) {
  window.show();
  auto monitor = record();
  ASSERT_NE(monitor, nullptr);
  EXPECT_EQ(window.recordButton->caption(), "Stop");
  EXPECT_FALSE(window.pauseButton->isHidden());
  QAbstractItemModelTester treeTester(&window.treeModel(),
                                      QAbstractItemModelTester::FailureReportingMode::Fatal);
  QAbstractItemModelTester listTester(&window.listModel(),
                                      QAbstractItemModelTester::FailureReportingMode::Fatal);

  std::ofstream(tmp.path() / "made.txt") << "x";
  fs::rename(tmp.path() / "made.txt", tmp.path() / "moved.txt");
  fs::create_directory(tmp.path() / "sub");
  fs::remove(tmp.path() / "moved.txt");

  ASSERT_TRUE(waitUntil([&] { return listRowWith(2, QString::fromStdString(getEventName(evDelete))) >= 0; }))
      << "rows: " << window.listModel().rowCount();
  const auto colourOf = [&](int event) {
    const int row = listRowWith(2, QString::fromStdString(getEventName(event)));
    EXPECT_GE(row, 0) << getEventName(event);
    return row < 0 ? QColor()
                   : window.listModel().index(row, 0).data(Qt::ForegroundRole).value<QBrush>().color();
  };
  EXPECT_EQ(colourOf(evCreate), QColor(0, 0x80, 0));
  EXPECT_EQ(colourOf(evRenameItem), QColor(0, 0, 0xFF));
  EXPECT_EQ(colourOf(evDelete), QColor(0xFF, 0, 0));
  EXPECT_EQ(colourOf(evMkDir), QColor(0, 0x80, 0));

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
  stopRecording();
}

TEST_F(MainWindowTest, PauseResumeAndStopWhilePaused) {
  settings.controls.autoclean.setChecked(false);
  window.show();
  auto monitor = record();
  ASSERT_NE(monitor, nullptr);
  ASSERT_TRUE(waitUntil([&] { return window.recordButton->imageIndex() == kImgStop; }));
  EXPECT_EQ(window.pauseButton->caption(), "Pause");
  EXPECT_EQ(window.pauseButton->imageIndex(), kImgPause);

  window.onPause();
  ASSERT_TRUE(waitUntil([&] { return window.pauseButton->imageIndex() == kImgResume; }));
  EXPECT_EQ(window.pauseButton->caption(), "Resume");
  EXPECT_EQ(window.statusLabel->text(), "Live Capture.");
  std::ofstream(tmp.path() / "held.txt") << "x";
  QThread::msleep(1500);
  QCoreApplication::processEvents();
  EXPECT_EQ(listRowWith(0, "held.txt"), -1) << "delivered while paused";

  window.onPause();
  ASSERT_TRUE(waitUntil([&] { return window.pauseButton->imageIndex() == kImgPause; }));
  ASSERT_TRUE(waitUntil([&] { return listRowWith(0, "held.txt") >= 0; }));

  // Stop while paused: the next recording's Pause button still shows "Resume".
  window.onPause();
  ASSERT_TRUE(waitUntil([&] { return window.pauseButton->imageIndex() == kImgResume; }));
  window.onRecord();
  EXPECT_EQ(window.statusLabel->text(), "idle.");
  ASSERT_TRUE(waitUntil([&] { return monitor->hasEnded(); }));
  EXPECT_EQ(window.recordButton->imageIndex(), kImgRecord);
  EXPECT_EQ(window.recordButton->caption(), "Record");
  EXPECT_TRUE(window.pauseButton->isHidden());
  EXPECT_EQ(settings.recordModes, (std::vector<bool>{true, false}));
  EXPECT_GT(window.listModel().rowCount(), 0) << "cleaned without cautoclean";

  auto second = record();
  ASSERT_NE(second, nullptr);
  ASSERT_TRUE(waitUntil([&] { return window.recordButton->imageIndex() == kImgStop; }));
  EXPECT_EQ(window.pauseButton->caption(), "Resume");
  window.onPause();
  ASSERT_TRUE(waitUntil([&] { return window.pauseButton->caption() == "Pause"; }));
  stopRecording();
}

TEST_F(MainWindowTest, StopWithAutomaticCleanEmptiesTheViews) {
  window.show();
  auto monitor = record();
  ASSERT_NE(monitor, nullptr);
  std::ofstream(tmp.path() / "a.txt") << "x";
  ASSERT_TRUE(waitUntil([&] { return window.listModel().rowCount() > 0; }));
  window.onRecord();
  ASSERT_TRUE(waitUntil([&] { return monitor->hasEnded(); }));
  EXPECT_EQ(window.listModel().rowCount(), 0);
  EXPECT_EQ(window.treeModel().rowCount(), 0);
}

TEST_F(MainWindowTest, CleanDuringARecordingAndLaterEventsFillAgain) {
  window.show();
  auto monitor = record();
  ASSERT_NE(monitor, nullptr);
  QAbstractItemModelTester treeTester(&window.treeModel(),
                                      QAbstractItemModelTester::FailureReportingMode::Fatal);
  std::ofstream(tmp.path() / "one.txt") << "x";
  ASSERT_TRUE(waitUntil([&] { return window.listModel().rowCount() > 0; }));
  window.onClean();
  EXPECT_EQ(window.listModel().rowCount(), 0);
  EXPECT_EQ(window.treeModel().rowCount(), 0);
  std::ofstream(tmp.path() / "two.txt") << "x";
  ASSERT_TRUE(waitUntil([&] { return listRowWith(0, "two.txt") >= 0; }));
  EXPECT_EQ(listRowWith(0, "one.txt"), -1);
  EXPECT_GT(window.treeModel().rowCount(), 0);
  EXPECT_FALSE(monitor->hasEnded());
  stopRecording();
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
    SCOPED_TRACE(testing::Message() << "cTray " << c.tray << ", tray available " << c.trayAvailable);
    MainWindow w(platform, dialogs, dispatcher);
    w.setSettingsWindow(&settings);
    settings.controls.tray.setChecked(c.tray);
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
  window.showBatchProgress(2);
  const std::string file = root() + "data.bin";
  std::ofstream(file) << "abc";
  window.addDirectoryFile(file, "", evCreate);
  window.addListItem(file, "", evCreate);
  window.hideBatchProgress();

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
  EXPECT_NE(text.find("data.bin\t-\t" + getEventName(evCreate) + "\t" + root() + "\t\r\n"),
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
  MainWindow lonely(platform, dialogs, dispatcher);  // no settings window: Record cannot start
  emit lonely.recordButton->clicked();
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].kind, "message");
  EXPECT_EQ(dialogs.shown[0].title, "Tarnwatch");
  EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Error);
  EXPECT_FALSE(dialogs.shown[0].text.isEmpty());
  EXPECT_EQ(lonely.shellMonitor(), nullptr);
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
    EXPECT_EQ(buttons[i]->caption(), captions[i]);
    EXPECT_EQ(buttons[i]->geometry(), QRect(lefts[i], 80, 84, 24));
    EXPECT_EQ(buttons[i]->imageIndex(), images[i]);
  }
  emit about.webAddress->clicked();
  emit about.facebookButton->clicked();
  emit about.twitterButton->clicked();
  emit about.googlePlusButton->clicked();
  EXPECT_EQ(platform.opened(), (std::vector<std::string>{std::string(kMakerWebPage), kMakerFacebookPage,
                                                         kMakerTwitterPage, kMakerGooglePlusPage}));
}

TEST(QtUiDispatcher, RunsStepsOnTheUserInterfaceThreadAndFailsThemAfterShutdown) {
  QtUiDispatcher dispatcher(qApp);
  std::thread::id ranOn;
  bool threw = false;
  std::thread worker([&] {
    dispatcher.synchronize([&] { ranOn = std::this_thread::get_id(); });
    try {
      dispatcher.synchronize([] { throw std::runtime_error("boom"); });
    } catch (const std::runtime_error& e) {
      threw = std::string(e.what()) == "boom";
    }
  });
  ASSERT_TRUE(waitUntil([&] { return threw; }));
  worker.join();
  EXPECT_EQ(ranOn, std::this_thread::get_id());

  // A worker waiting when the event loop is over is released with an error.
  std::atomic<bool> released{false};
  std::thread late([&] {
    try {
      dispatcher.synchronize([] {});
    } catch (const std::runtime_error&) {
      released = true;
    }
  });
  QThread::msleep(50);
  dispatcher.shutdown();
  late.join();
  EXPECT_TRUE(released);
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
