// The recording controller with its loops driven one step at a time on the test's thread, which
// also plays the user-interface thread: the injected clock decides when a batch is due, nothing
// sleeps.
#include "core/recording/recording_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <tuple>
#include <utility>
#include <vector>

#include "core/recording/posted_work_loop.h"
#include "core/report/export_report.h"
#include "platform/fake/fake_change_watching.h"
#include "platform/fake/fake_platform.h"
#include "support/changes.h"
#include "support/recording_support.h"
#include "support/temp_dir.h"

namespace tw {
namespace {

using namespace std::chrono_literals;
using test::change;
using test::creations;
using Lines = std::vector<std::string>;
using State = RecordingState;

DeliverySchedule steppedSchedule() {
  DeliverySchedule schedule;
  schedule.ownThreads = false;
  schedule.interval = 1s;
  schedule.maxOutstandingBatches = 2;
  return schedule;
}

CaptureOptions keepViews() {
  CaptureOptions options;
  options.cleanOnStop = false;
  return options;
}

// Steps every loop of `controller`, and the user-interface work with `runUi`, until the
// recording is Idle or `rounds` have passed; returns its state then.
template <typename RunUi>
State stepToIdle(RecordingController& controller, DeliveryLoop::TimePoint now, RunUi runUi,
                 int rounds = 1000) {
  for (int i = 0; i < rounds && controller.state() != State::Idle; ++i) {
    if (MonitorLoop* monitor = controller.monitorLoop()) monitor->step();
    if (DeliveryLoop* delivery = controller.deliveryLoop()) delivery->step(now);
    runUi();
  }
  return controller.state();
}

class SteppedRecording : public ::testing::Test {
 protected:
  SteppedRecording() {
    platform.driveTable = {
        {"C:\\", DriveType::Fixed}, {"D:\\", DriveType::CdRom}, {"E:\\", DriveType::Removable}};
  }

  // Starts a recording and sets its watch up (the monitor's first step).
  void record(const CaptureOptions& options = keepViews()) {
    controller.record(options);
    ASSERT_NE(controller.monitorLoop(), nullptr);
    controller.monitorLoop()->step();
  }
  // Changes the system reports, read by one wait of the monitor.
  void arrive(std::vector<Change> changes) {
    ASSERT_TRUE(fake.send(std::move(changes)));
    ASSERT_TRUE(controller.monitorLoop()->step());
  }
  // The clock moves on, the delivery loop steps once, the user-interface thread runs its work.
  void deliver(std::chrono::milliseconds later = 1000ms) {
    now += later;
    if (DeliveryLoop* delivery = controller.deliveryLoop()) delivery->step(now);
    ui.runPending();
  }
  // Every loop stepped until the recording is Idle.
  void runToIdle() {
    ASSERT_EQ(stepToIdle(
                  controller, now, [&] { ui.runPending(); }, 100'000),
              State::Idle);
  }

  FakePlatform platform{PathStyle::Windows};
  FakeChangeWatching fake;
  test::ObservedWatching watching{fake};
  PostedWorkLoop ui;
  test::ListenerLog listener;
  CaptureViews views{platform, nullptr, PathStyle::Windows};
  RecordingController controller{
      RecordingServices{watching, platform, platform, ui, listener, &views, PathStyle::Windows},
      steppedSchedule()};
  DeliveryLoop::TimePoint now = DeliveryLoop::TimePoint() + 1000h;
};

TEST_F(SteppedRecording, RecordsDeliversAndStops) {
  CaptureOptions options;  // cleanOnStop by default
  record(options);
  ASSERT_EQ(fake.requests().size(), 1u);
  EXPECT_EQ(fake.requests()[0].roots, (Lines{"C:\\", "E:\\"})) << "fixed and removable drives";
  EXPECT_EQ(fake.requests()[0].kinds, allEventKinds());
  ui.runPending();
  EXPECT_EQ(listener.log, (Lines{"state Recording", "watch C:\\ E:\\"}));

  arrive({change(EventKind::FileRenamed, "C:\\docs\\a.txt", "C:\\docs\\b.txt"),
          change(EventKind::FileCreated, "E:\\new.txt"), change(EventKind::Association, "")});
  ASSERT_TRUE(fake.notice({"E:\\", "changes were lost"}));
  ASSERT_TRUE(controller.monitorLoop()->step());
  deliver();
  EXPECT_EQ(listener.deliveredPaths(), (Lines{"C:\\docs\\a.txt", "E:\\new.txt", ""}));
  EXPECT_EQ(listener.delivered[0].newPath, "C:\\docs\\b.txt");
  EXPECT_EQ(views.list().rowCount(), 3);
  EXPECT_GT(views.tree().nodeCount(), 0u);
  EXPECT_EQ(controller.changesDelivered(), 3u);

  controller.stop();
  EXPECT_EQ(controller.state(), State::Stopping);
  runToIdle();
  EXPECT_EQ(listener.log, (Lines{"state Recording", "watch C:\\ E:\\", "notice E:\\|changes were lost",
                                 "start 3", "pos 2", "finish", "state Stopping", "state Idle"}));
  EXPECT_EQ(fake.liveWatchers(), 0);
  const auto lives = watching.lives();
  ASSERT_EQ(lives.size(), 1u);
  EXPECT_EQ(lives[0].destroyed, lives[0].created) << "destroyed on the thread that made it";
  EXPECT_EQ(lives[0].waitedOn, std::set<std::thread::id>{lives[0].created});
  EXPECT_EQ(watching.preparedThreads().count(lives[0].created), 1u) << "the monitor thread is prepared";
  EXPECT_EQ(views.list().rowCount(), 0) << "cleaned on stop";
  EXPECT_EQ(views.tree().nodeCount(), 0u);
}

TEST_F(SteppedRecording, DriveAndKindChoices) {
  platform.driveTable.push_back({"F:\\", DriveType::Fixed});
  CaptureOptions options = keepViews();
  options.skippedDrives = {"e:\\"};  // the case of the letter does not matter; F:\ is not listed: watched
  options.kinds =
      EventKindSet().set(eventNumber(EventKind::FileCreated)).set(eventNumber(EventKind::FolderCreated));
  record(options);
  ASSERT_EQ(fake.requests().size(), 1u);
  EXPECT_EQ(fake.requests()[0].roots, (Lines{"C:\\", "F:\\"}));
  EXPECT_EQ(fake.requests()[0].kinds, options.kinds);
  arrive({change(EventKind::FileDeleted, "C:\\gone.txt"), change(EventKind::FileCreated, "C:\\new.txt"),
          change(EventKind::FolderCreated, "F:\\dir")});
  deliver();
  EXPECT_EQ(listener.deliveredPaths(), (Lines{"C:\\new.txt", "F:\\dir"}));
  controller.stop();
  runToIdle();
  EXPECT_EQ(views.list().rowCount(), 2) << "kept without clean on stop";
}

TEST_F(SteppedRecording, NoKindChosenCapturesNothing) {
  CaptureOptions options = keepViews();
  options.kinds = EventKindSet();
  record(options);
  EXPECT_TRUE(fake.requests()[0].kinds.none());
  arrive({change(EventKind::FileCreated, "C:\\a"), change(EventKind::Attributes, "C:\\b")});
  deliver();
  EXPECT_TRUE(listener.delivered.empty());
  controller.stop();
  runToIdle();
}

TEST_F(SteppedRecording, FiltersComeFromTheOptions) {
  CaptureOptions options = keepViews();
  options.excludedFolders = {"C:\\Windows\\"};
  options.extensions = {".txt"};
  record(options);
  arrive({change(EventKind::FileCreated, "C:\\Windows\\x.txt"), change(EventKind::FileCreated, "C:\\a.doc"),
          change(EventKind::FileCreated, "C:\\a.txt")});
  deliver();
  EXPECT_EQ(listener.deliveredPaths(), Lines{"C:\\a.txt"});
  EXPECT_EQ(controller.changesFilteredOut(), 2u);
  controller.stop();
  runToIdle();
}

// The batch as the user sees it: the bar's maximum is the batch as taken, its position the
// batch index of the last delivered change, hidden after the batch.
TEST_F(SteppedRecording, BatchProgressOrderAndPositions) {
  CaptureOptions options = keepViews();
  options.extensions = {".txt"};
  record(options);
  arrive({change(EventKind::FileCreated, "C:\\a.txt"),         // 0
          change(EventKind::FileCreated, "C:\\b.doc"),         // 1: dropped
          change(EventKind::Attributes, "C:\\x"),              // 2
          change(EventKind::FolderRenamed, "C:\\d", "C:\\e"),  // 3
          change(EventKind::Association, ""),                  // 4
          change(EventKind::FileDeleted, "C:\\f.doc")});       // 5: dropped
  deliver();
  EXPECT_EQ(listener.withoutBatches(), (Lines{"state Recording", "watch C:\\ E:\\"}));
  EXPECT_EQ(Lines(listener.log.begin() + 2, listener.log.end()), (Lines{"start 6", "pos 4", "finish"}));
  EXPECT_EQ(listener.deliveredPaths(), (Lines{"C:\\a.txt", "C:\\x", "C:\\d", ""}));
  EXPECT_EQ(views.list().rowCount(), 4);
  controller.stop();
  runToIdle();
}

TEST_F(SteppedRecording, ABatchWithEveryChangeDroppedStillStartsAndFinishes) {
  CaptureOptions options = keepViews();
  options.excludedFolders = {""};
  record(options);
  arrive(creations("C:\\a", 5));
  deliver();
  EXPECT_EQ(Lines(listener.log.begin() + 2, listener.log.end()), (Lines{"start 5", "finish"}));
  controller.stop();
  runToIdle();
}

TEST_F(SteppedRecording, ALargeBatchIsAppliedInManyShortSteps) {
  constexpr int kChanges = 40'000;
  record();
  arrive(creations("C:\\f", kChanges));
  deliver();
  EXPECT_EQ(listener.delivered.size(), static_cast<std::size_t>(kChanges));
  EXPECT_EQ(views.list().rowCount(), kChanges);
  const auto first = std::find(listener.log.begin(), listener.log.end(), "start 40000");
  ASSERT_NE(first, listener.log.end());
  EXPECT_EQ(std::count(listener.log.begin(), listener.log.end(), "finish"), 1);
  EXPECT_EQ(listener.log[listener.log.size() - 2], "pos 39999");
  EXPECT_LT(listener.deliveryCalls, kChanges / 8) << "consecutive changes share a step";
  controller.stop();
  runToIdle();
}

TEST_F(SteppedRecording, ALargeBatchGivesTheUserInterfaceBackBetweenSteps) {
  constexpr int kChanges = 40'000;
  DeliverySchedule schedule = steppedSchedule();
  schedule.uiStepBudget = 0ms;  // a step as short as it can be: one group of changes
  RecordingController quick(
      RecordingServices{watching, platform, platform, ui, listener, &views, PathStyle::Windows}, schedule);
  quick.record(keepViews());
  quick.monitorLoop()->step();
  ASSERT_TRUE(fake.send(creations("C:\\f", kChanges)));
  quick.monitorLoop()->step();
  quick.deliveryLoop()->step(now);
  const std::size_t ranSteps = ui.runPending();
  EXPECT_GT(ranSteps, static_cast<std::size_t>(kChanges / 64)) << "applied in many posted steps";
  EXPECT_EQ(listener.delivered.size(), static_cast<std::size_t>(kChanges));
  EXPECT_EQ(listener.log.back(), "finish");
  quick.stop();
  EXPECT_EQ(stepToIdle(quick, now, [&] { ui.runPending(); }), State::Idle);
}

// A batch's end takes steps of its own when the adding used up the step: the views announce the
// new rows in one, the listener hears the batch's end (the bar hidden) in the next, so that the
// window gets its input and paints between them. A step with time left does it all at once.
TEST_F(SteppedRecording, ABatchEndsInStepsOfItsOwnWhenTheAddingUsedTheStep) {
  // The user-interface thread, one posted step at a time.
  struct OneByOne : UiThread {
    void post(std::function<void()> step) override { steps.push_back(std::move(step)); }
    bool runOne() {
      if (steps.empty()) return false;
      std::function<void()> step = std::move(steps.front());
      steps.pop_front();
      step();
      return true;
    }
    std::deque<std::function<void()>> steps;
  };
  for (const std::chrono::milliseconds budget : {0ms, std::chrono::milliseconds(1h)}) {
    SCOPED_TRACE(testing::Message() << "a step of " << budget.count() << " ms");
    OneByOne steps;
    test::ListenerLog heard;
    CaptureViews shown{platform, nullptr, PathStyle::Windows};
    DeliverySchedule schedule = steppedSchedule();
    schedule.uiStepBudget = budget;
    RecordingController stepped(
        RecordingServices{watching, platform, platform, steps, heard, &shown, PathStyle::Windows}, schedule);
    stepped.record(keepViews());
    stepped.monitorLoop()->step();
    ASSERT_TRUE(fake.send(creations("C:\\f", 10)));  // one group of changes
    stepped.monitorLoop()->step();
    stepped.deliveryLoop()->step(now);
    // What each step leaves: the rows the views show, whether the listener heard of the changes
    // (the bar moved), and whether it heard the batch's end.
    using Left = std::tuple<int, bool, bool>;
    std::vector<Left> after;
    while (steps.runOne()) {
      const auto heardOf = [&](const char* line) {
        return std::find(heard.log.begin(), heard.log.end(), line) != heard.log.end();
      };
      const Left left{shown.list().rowCount(), heardOf("pos 9"), heardOf("finish")};
      if (after.empty() || after.back() != left) after.push_back(left);
    }
    const std::vector<Left> expected =
        budget == 0ms
            ? std::vector<Left>{{0, false, false}, {0, true, false}, {10, true, false}, {10, true, true}}
            : std::vector<Left>{{0, false, false}, {10, true, true}};
    EXPECT_EQ(after, expected);
    stepped.stop();
    EXPECT_EQ(stepToIdle(stepped, now, [&] { steps.runOne(); }), State::Idle);
  }
}

TEST_F(SteppedRecording, PauseHoldsChangesAndTheStateFollows) {
  record();
  controller.pause();
  EXPECT_EQ(controller.state(), State::Paused);
  arrive(creations("C:\\", 2));
  deliver(1s);
  deliver(5s);
  EXPECT_TRUE(listener.delivered.empty()) << "nothing delivered while paused";
  arrive(creations("C:\\late", 1));
  controller.resume();
  EXPECT_EQ(controller.state(), State::Recording);
  deliver(0ms);
  EXPECT_EQ(listener.deliveredPaths(), (Lines{"C:\\0", "C:\\1", "C:\\late0"}));
  EXPECT_EQ(std::count(listener.log.begin(), listener.log.end(), "start 3"), 1)
      << "one batch after the resume";

  controller.pause();
  controller.stop();
  runToIdle();
  controller.resume();  // after the stop: reaches nothing
  controller.pause();
  EXPECT_EQ(controller.state(), State::Idle);
  EXPECT_EQ(listener.states, (std::vector<State>{State::Recording, State::Paused, State::Recording,
                                                 State::Paused, State::Stopping, State::Idle}));
}

// A change held by a pause keeps the moment it happened: the tree stamps a deletion with the
// change's time, not with the time of the resume that delivered it.
TEST_F(SteppedRecording, ChangesHeldByAPauseKeepTheirTime) {
  record();
  controller.pause();
  const auto happened = std::chrono::system_clock::now() - std::chrono::hours(1);
  Change created = change(EventKind::FileCreated, "C:\\gone.txt");
  Change deleted = change(EventKind::FileDeleted, "C:\\gone.txt");
  created.time = happened;
  deleted.time = happened + 1s;
  arrive({created, deleted});
  deliver(5s);
  controller.resume();
  deliver(0ms);
  const CaptureTree& tree = views.tree();
  const NodeId drive = tree.child(kNoNode, 0);
  ASSERT_EQ(tree.childCount(drive), 1);
  EXPECT_EQ(tree.deletedAt(tree.child(drive, 0)), std::optional(happened + 1s));
  controller.stop();
  runToIdle();
}

// Stop loses nothing: what the system has queued and the monitor not read yet, what waits in the
// queue, what has been handed to the user interface and not applied, and what a pause holds.
TEST_F(SteppedRecording, StopLosesNothing) {
  struct Case {
    const char* name;
    bool paused;
    bool handedOn;  // a batch handed to the user interface, not applied when the stop comes
    bool unread;    // changes the system holds that the monitor has not read
  };
  for (const Case c : {Case{"queued", false, false, false}, Case{"in flight", false, true, false},
                       Case{"unread", false, false, true}, Case{"paused", true, false, false},
                       Case{"everything at once", true, true, true}}) {
    SCOPED_TRACE(c.name);
    listener = test::ListenerLog();
    record();
    ui.runPending();
    Lines expected;
    int next = 0;
    const auto more = [&](int count) {
      std::vector<Change> changes = creations("C:\\f", count, next);
      for (const auto& ch : changes) expected.push_back(ch.path);
      next += count;
      return changes;
    };
    arrive(more(3));
    deliver();  // the first batch is out and applied
    if (c.handedOn) {
      arrive(more(2));
      now += 1s;
      controller.deliveryLoop()->step(now);  // handed on; the user interface has not run it
    }
    if (c.paused) controller.pause();
    arrive(more(4));  // in the queue
    if (c.unread) {
      ASSERT_TRUE(fake.send(more(5)));
    }
    controller.stop();
    runToIdle();
    EXPECT_EQ(listener.deliveredPaths(), expected);
    EXPECT_EQ(controller.changesUndelivered(), 0u);
    EXPECT_EQ(views.list().rowCount(), static_cast<int>(expected.size()));
    controller.clean();
  }
}

TEST_F(SteppedRecording, AStopBeforeTheWatcherExistsIsHonoured) {
  controller.record(keepViews());
  controller.stop();
  runToIdle();
  EXPECT_TRUE(fake.requests().empty()) << "no watch is started";
  EXPECT_EQ(listener.log, (Lines{"state Recording", "state Stopping", "state Idle"}));
}

TEST_F(SteppedRecording, AnErrorInTheSetupEndsTheRecordingAndReachesTheListener) {
  watching.refuseWatches("Cannot watch C:\\: access denied");
  controller.record(keepViews());
  controller.monitorLoop()->step();
  runToIdle();
  EXPECT_EQ(listener.log, (Lines{"state Recording", "state Stopping", "state Idle",
                                 "failed Cannot watch C:\\: access denied"}));
}

TEST_F(SteppedRecording, AnErrorInAWaitEndsTheRecordingAfterDeliveringWhatWasRead) {
  record();
  arrive(creations("C:\\read", 2));
  ASSERT_TRUE(fake.failNextWait("The kernel's queue cannot be read: Bad file descriptor"));
  EXPECT_FALSE(controller.monitorLoop()->step());
  runToIdle();
  EXPECT_EQ(listener.deliveredPaths(), (Lines{"C:\\read0", "C:\\read1"}));
  EXPECT_EQ(listener.log.back(), "failed The kernel's queue cannot be read: Bad file descriptor");
  EXPECT_EQ(fake.liveWatchers(), 0);
}

TEST_F(SteppedRecording, AViewThatFailsEndsItsBatchAndTheRecordingAndTheRestIsDelivered) {
  record();
  listener.failAfter = 2;
  arrive(creations("C:\\a", 4));
  ASSERT_TRUE(fake.send(creations("C:\\b", 2)));  // read once the failure has stopped the recording
  deliver();
  runToIdle();
  const Lines expected = {
      "state Recording", "watch C:\\ E:\\", "start 4", "finish",     "state Stopping",
      "start 2",         "pos 1",           "finish",  "state Idle", "failed the view cannot take more"};
  EXPECT_EQ(listener.log, expected) << "the bar is hidden after the failed batch; the next goes on";
  EXPECT_EQ(listener.deliveredPaths(), (Lines{"C:\\a0", "C:\\a1", "C:\\b0", "C:\\b1"}));
}

TEST_F(SteppedRecording, NoDriveToWatchStillRecordsUntilStopped) {
  platform.driveTable.clear();
  record();
  ui.runPending();
  EXPECT_EQ(listener.log, (Lines{"state Recording", "watch"}));
  EXPECT_EQ(controller.state(), State::Recording);
  controller.stop();
  runToIdle();
}

TEST_F(SteppedRecording, CleanDuringARecordingAndLaterChangesFillAgain) {
  record();
  arrive(creations("C:\\one", 1));
  deliver();
  EXPECT_EQ(views.list().rowCount(), 1);
  controller.clean();
  EXPECT_EQ(views.list().rowCount(), 0);
  EXPECT_EQ(views.tree().nodeCount(), 0u);
  arrive(creations("C:\\two", 1));
  deliver();
  EXPECT_EQ(views.list().rowCount(), 1);
  EXPECT_EQ(views.presentation().cellText(views.list(), 0, ListColumn::From), "two0");
  EXPECT_EQ(controller.state(), State::Recording);
  controller.stop();
  runToIdle();
}

TEST_F(SteppedRecording, ExportWritesTheReportOfTheViews) {
  test::TempDir tmp;
  record();
  arrive(creations("C:\\f", 2));
  deliver();
  const std::string file = tmp.file("report.txt");
  ASSERT_TRUE(controller.exportReport("Tarnwatch v1.0 - TESTBOX", file).ok());
  EXPECT_EQ(test::readFile(file), buildExportReport("Tarnwatch v1.0 - TESTBOX", views, platform) + "\r\n");
  platform.refuseWrites[tmp.file("refused.txt")] = "Cannot write refused.txt: No space left on device";
  const Status refused = controller.exportReport("caption", tmp.file("refused.txt"));
  EXPECT_FALSE(refused.ok());
  EXPECT_EQ(refused.error(), "Cannot write refused.txt: No space left on device");
  controller.stop();
  runToIdle();
}

TEST(RecordingWithoutViews, DeliversToTheListenerAndExportsNothing) {
  FakePlatform platform(PathStyle::Posix);
  platform.driveTable = {{"/", DriveType::Fixed}};
  FakeChangeWatching watching;
  PostedWorkLoop ui;
  test::ListenerLog listener;
  RecordingController controller(
      RecordingServices{watching, platform, platform, ui, listener, nullptr, PathStyle::Posix},
      steppedSchedule());
  controller.record(CaptureOptions());
  controller.monitorLoop()->step();
  ASSERT_TRUE(watching.send(creations("/a", 3)));
  controller.monitorLoop()->step();
  controller.stop();
  EXPECT_EQ(stepToIdle(
                controller, DeliveryLoop::TimePoint(), [&] { ui.runPending(); }, 100),
            State::Idle);
  EXPECT_EQ(listener.deliveredPaths(), (Lines{"/a0", "/a1", "/a2"}));
  EXPECT_FALSE(controller.exportReport("caption", "/tmp/never-written").ok());
}

}  // namespace
}  // namespace tw
