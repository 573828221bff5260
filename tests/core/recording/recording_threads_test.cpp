// The recording controller with its own threads: the monitor and delivery threads against the
// scripted watching, the test's thread as the user-interface thread. The delivery interval is
// tiny, so no test waits for it; tests wait only for the threads' work, with a time limit.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "core/recording/posted_work_loop.h"
#include "core/recording/recording_controller.h"
#include "platform/fake/fake_change_watching.h"
#include "platform/fake/fake_platform.h"
#include "support/changes.h"
#include "support/recording_support.h"

namespace tw {
namespace {

using namespace std::chrono_literals;
using test::creations;
using State = RecordingState;

constexpr auto kLimit = 20s;

// Waits, without running posted work, until `done` holds; false after kLimit.
bool eventually(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + kLimit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

DeliverySchedule threadedSchedule() {
  DeliverySchedule schedule;
  schedule.interval = 1ms;
  schedule.maxOutstandingBatches = 2;
  return schedule;
}

class ThreadedRecording : public ::testing::Test {
 protected:
  ThreadedRecording() { platform.driveTable = {{"/", DriveType::Fixed}}; }
  bool runUntil(const std::function<bool()>& done) { return ui.runUntil(done, kLimit); }

  FakePlatform platform{PathStyle::Posix};
  FakeChangeWatching fake;
  test::ObservedWatching watching{fake};
  PostedWorkLoop ui;
  test::ListenerLog listener;
  CaptureViews views{platform, nullptr, PathStyle::Posix};
  RecordingController controller{
      RecordingServices{watching, platform, platform, ui, listener, &views, PathStyle::Posix},
      threadedSchedule()};
};

TEST_F(ThreadedRecording, DeliversOnTheUserInterfaceThreadAndJoinsItsThreads) {
  constexpr int kChanges = 20'000;
  CaptureOptions options;
  options.cleanOnStop = false;
  controller.record(options);
  ASSERT_TRUE(fake.waitForWatches(1, kLimit));
  ASSERT_TRUE(runUntil([&] { return listener.log.size() >= 2; }));  // the watch has started
  for (int i = 0; i < kChanges; i += 500) ASSERT_TRUE(fake.send(creations("/f", 500, i)));
  ASSERT_TRUE(runUntil([&] { return listener.delivered.size() == kChanges; }));
  controller.stop();
  ASSERT_TRUE(runUntil([&] { return controller.state() == State::Idle; }));

  for (int i = 0; i < kChanges; ++i)
    ASSERT_EQ(listener.delivered[static_cast<std::size_t>(i)].path, "/f" + std::to_string(i));
  for (const auto id : listener.threads) EXPECT_EQ(id, std::this_thread::get_id());
  const auto lives = watching.lives();
  ASSERT_EQ(lives.size(), 1u);
  EXPECT_NE(lives[0].created, std::this_thread::get_id()) << "made on the monitor thread";
  EXPECT_EQ(lives[0].destroyed, lives[0].created);
  EXPECT_EQ(lives[0].waitedOn, std::set<std::thread::id>{lives[0].created});
  const auto prepared = watching.preparedThreads();
  EXPECT_EQ(prepared.size(), 2u) << "the monitor and the delivery thread";
  EXPECT_EQ(prepared.count(lives[0].created), 1u);
  EXPECT_EQ(prepared.count(std::this_thread::get_id()), 0u);
  EXPECT_EQ(views.list().rowCount(), kChanges);
  EXPECT_EQ(fake.liveWatchers(), 0);
}

// A user interface that runs nothing: the monitor keeps reading (it never waits for a delivery),
// the delivery thread stops after its outstanding batches, and nothing is lost once the user
// interface runs again.
TEST_F(ThreadedRecording, AUserInterfaceThatTakesNothingHoldsTheDeliveryNotTheMonitor) {
  controller.record(CaptureOptions());
  ASSERT_TRUE(fake.waitForWatches(1, kLimit));
  int sent = 0;
  for (int round = 0; round < 20; ++round, sent += 1000) ASSERT_TRUE(fake.send(creations("/f", 1000, sent)));
  ASSERT_TRUE(eventually([&] { return controller.changesRead() == static_cast<std::uint64_t>(sent); }));
  ASSERT_TRUE(eventually([&] { return ui.waiting() >= 2; }));
  std::this_thread::yield();
  // Posted so far: the start of the watch and at most two batches.
  EXPECT_LE(ui.waiting(), 3u);
  EXPECT_EQ(controller.changesDelivered(), 0u);
  ASSERT_TRUE(runUntil([&] { return listener.delivered.size() == static_cast<std::size_t>(sent); }));
  for (int i = 0; i < sent; ++i)
    ASSERT_EQ(listener.delivered[static_cast<std::size_t>(i)].path, "/f" + std::to_string(i));
  controller.stop();
  ASSERT_TRUE(runUntil([&] { return controller.state() == State::Idle; }));
}

// Stop while the user interface is behind and the recording is paused: everything read before
// the stop is delivered before Idle.
TEST_F(ThreadedRecording, StopWhilePausedAndBehindLosesNothing) {
  controller.record(CaptureOptions());
  ASSERT_TRUE(fake.waitForWatches(1, kLimit));
  ASSERT_TRUE(fake.send(creations("/a", 3000)));
  ASSERT_TRUE(eventually([&] { return controller.changesRead() == 3000; }));
  controller.pause();
  ASSERT_TRUE(fake.send(creations("/b", 3000)));
  ASSERT_TRUE(eventually([&] { return controller.changesRead() == 6000; }));
  ASSERT_TRUE(fake.send(creations("/c", 10)));  // maybe not read before the stop: the last wait takes it
  controller.stop();
  ASSERT_TRUE(runUntil([&] { return controller.state() == State::Idle; }));
  EXPECT_EQ(listener.delivered.size(), 6010u);
  EXPECT_EQ(controller.changesUndelivered(), 0u);
}

// A watching whose watch takes long to set up, until the test lets it go.
class SlowWatching : public ChangeWatching {
 public:
  explicit SlowWatching(ChangeWatching& inner) : inner(inner) {}
  std::unique_ptr<ChangeWatcher> watch(const WatchRequest& request) override {
    std::unique_lock guard(lock);
    entered = true;
    changed.notify_all();
    changed.wait(guard, [&] { return released; });
    return inner.watch(request);
  }
  bool waitUntilEntered() {
    std::unique_lock guard(lock);
    return changed.wait_for(guard, kLimit, [&] { return entered; });
  }
  void release() {
    std::lock_guard guard(lock);
    released = true;
    changed.notify_all();
  }

 private:
  ChangeWatching& inner;
  std::mutex lock;
  std::condition_variable changed;
  bool entered = false;
  bool released = false;
};

TEST_F(ThreadedRecording, AStopDuringTheSetupIsHonouredOnceTheWatcherExists) {
  SlowWatching slow(watching);
  RecordingController recording(
      RecordingServices{slow, platform, platform, ui, listener, &views, PathStyle::Posix},
      threadedSchedule());
  recording.record(CaptureOptions());
  ASSERT_TRUE(slow.waitUntilEntered());
  recording.stop();
  slow.release();
  ASSERT_TRUE(runUntil([&] { return recording.state() == State::Idle; }));
  EXPECT_EQ(fake.liveWatchers(), 0);
  ASSERT_EQ(watching.lives().size(), 1u);
  EXPECT_EQ(watching.lives()[0].destroyed, watching.lives()[0].created);
}

TEST_F(ThreadedRecording, AnErrorInAWaitEndsTheRecording) {
  controller.record(CaptureOptions());
  ASSERT_TRUE(fake.waitForWatches(1, kLimit));
  ASSERT_TRUE(fake.send(creations("/x", 5)));
  ASSERT_TRUE(eventually([&] { return controller.changesRead() == 5; }));
  ASSERT_TRUE(fake.failNextWait("the watch went away"));
  ASSERT_TRUE(runUntil([&] { return controller.state() == State::Idle; }));
  EXPECT_EQ(listener.delivered.size(), 5u);
  EXPECT_EQ(listener.log.back(), "failed the watch went away");
}

TEST_F(ThreadedRecording, ManyStartStopCyclesLeaveNothingBehind) {
  for (int i = 0; i < 100; ++i) {
    const std::size_t watchesBefore = fake.requests().size();
    controller.record(CaptureOptions());
    if (i % 2 == 0) {
      // Every other cycle waits for the watch; the others stop during the setup.
      ASSERT_TRUE(fake.waitForWatches(watchesBefore + 1, kLimit));
      fake.send(creations("/c", 3));
    }
    controller.stop();
    ASSERT_TRUE(runUntil([&] { return controller.state() == State::Idle; })) << i;
  }
  EXPECT_EQ(fake.liveWatchers(), 0);
  for (const auto& life : watching.lives()) EXPECT_EQ(life.destroyed, life.created);
}

// The controller goes while its recording runs and the user interface is behind: it ends its
// threads without waiting for the user interface, and the work it had posted does nothing.
TEST_F(ThreadedRecording, DestroyingTheControllerEndsTheRecordingAndItsPostedWork) {
  auto doomed = std::make_unique<RecordingController>(
      RecordingServices{watching, platform, platform, ui, listener, &views, PathStyle::Posix},
      threadedSchedule());
  doomed->record(CaptureOptions());
  ASSERT_TRUE(fake.waitForWatches(1, kLimit));
  ASSERT_TRUE(fake.send(creations("/d", 5000)));
  ASSERT_TRUE(eventually([&] { return ui.waiting() >= 2; }));
  doomed.reset();
  EXPECT_EQ(fake.liveWatchers(), 0);
  ui.runPending();
  EXPECT_TRUE(listener.delivered.empty());
  EXPECT_EQ(views.list().rowCount(), 0);
}

}  // namespace
}  // namespace tw
