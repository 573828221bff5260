// The delivery thread's loop, one step at a time with an injected clock (no sleeping), and its
// thin loop on a thread.
#include "core/queue/delivery_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "support/changes.h"

namespace tw {
namespace {

using namespace std::chrono_literals;
using test::change;
using test::creations;
using test::pathsOf;
using Paths = std::vector<std::string>;
using TimePoint = DeliveryLoop::TimePoint;

// Keeps what the loop hands on; applies nothing until told.
class HeldOutlet : public BatchOutlet {
 public:
  void deliver(FilteredBatch batch) override { batches.push_back(std::move(batch)); }
  void deliveryFinished() override { ++finished; }
  std::vector<FilteredBatch> batches;
  int finished = 0;

  std::vector<std::string> allPaths() const {
    std::vector<std::string> paths;
    for (const auto& b : batches)
      for (const auto& c : b.changes) paths.push_back(c.path);
    return paths;
  }
};

// A queue, a filter and a loop with a one-second interval, driven by the test.
class DeliveryLoopTest : public ::testing::Test {
 protected:
  explicit DeliveryLoopTest(std::size_t maxOutstanding = 100)
      : loop(queue, filter, outlet, wake, 1s, maxOutstanding) {}

  void arrive(std::vector<Change> changes) { queue.append(changes); }
  // A step at t0 + `at`.
  DeliveryLoop::Next stepAt(std::chrono::milliseconds at) { return loop.step(t0 + at); }

  const TimePoint t0 = TimePoint() + 1000h;
  WakeSignal wake;
  ChangeQueue queue{&wake};
  ChangeFilter filter;
  HeldOutlet outlet;
  DeliveryLoop loop;
};

TEST_F(DeliveryLoopTest, AFirstChangeAfterAQuietSpellGoesOutAtOnce) {
  EXPECT_EQ(stepAt(0ms).at, std::nullopt) << "nothing queued: no deadline, no periodic wake-up";
  EXPECT_TRUE(outlet.batches.empty());
  arrive({change(EventKind::FileCreated, "C:\\a")});
  const auto next = stepAt(5ms);
  ASSERT_EQ(outlet.batches.size(), 1u);
  EXPECT_EQ(outlet.batches[0].size, 1u);
  EXPECT_EQ(next.at, std::nullopt) << "the queue is empty again";
  EXPECT_FALSE(next.finished);
}

TEST_F(DeliveryLoopTest, AtMostOneBatchPerInterval) {
  arrive(creations("C:\\a", 1));
  stepAt(0ms);
  ASSERT_EQ(outlet.batches.size(), 1u);
  arrive(creations("C:\\b", 2));
  const auto next = stepAt(200ms);
  EXPECT_EQ(outlet.batches.size(), 1u) << "taken again before the interval";
  ASSERT_TRUE(next.at.has_value());
  EXPECT_EQ(*next.at, t0 + 1000ms) << "one interval after the last take";
  stepAt(999ms);
  EXPECT_EQ(outlet.batches.size(), 1u);
  arrive(creations("C:\\c", 1));
  stepAt(1000ms);
  ASSERT_EQ(outlet.batches.size(), 2u);
  EXPECT_EQ(pathsOf(outlet.batches[1].changes), (Paths{"C:\\b0", "C:\\b1", "C:\\c0"}));
}

// A burst of one change every 50 ms for five seconds, the loop stepped whenever it would wake:
// a batch at most once a second, none later than a second after its first change arrived, and
// the last change out within 1.2 seconds of the end of the burst.
TEST_F(DeliveryLoopTest, ABurstIsDeliveredOnceASecondAndItsLastChangeSoon) {
  std::optional<TimePoint> wakeAt;
  std::vector<TimePoint> takes;
  std::vector<TimePoint> arrivals;
  const auto stepNow = [&](TimePoint now) {
    const std::size_t before = outlet.batches.size();
    wakeAt = loop.step(now).at;
    if (outlet.batches.size() > before) takes.push_back(now);
  };
  for (int ms = 0; ms <= 5000; ms += 10) {
    const TimePoint now = t0 + std::chrono::milliseconds(ms);
    if (wakeAt && *wakeAt <= now) stepNow(now);
    if (ms % 50 == 0) {
      arrive(creations("C:\\f", 1, ms));
      arrivals.push_back(now);
      stepNow(now);  // an append wakes the loop
    }
  }
  for (int ms = 5010; wakeAt && ms <= 8000; ms += 10) {
    const TimePoint now = t0 + std::chrono::milliseconds(ms);
    if (*wakeAt <= now) stepNow(now);
  }
  ASSERT_GE(takes.size(), 5u);
  for (std::size_t i = 1; i < takes.size(); ++i) EXPECT_GE(takes[i] - takes[i - 1], 1000ms);
  EXPECT_LE(takes.back() - arrivals.back(), 1200ms);
  EXPECT_EQ(outlet.allPaths().size(), arrivals.size()) << "every change delivered once";
  EXPECT_TRUE(queue.size() == 0);
  // The first change of each batch waited at most one interval.
  std::size_t arrival = 0;
  for (std::size_t b = 0; b < outlet.batches.size(); ++b) {
    EXPECT_LE(takes[b] - arrivals[arrival], 1000ms) << "batch " << b;
    arrival += outlet.batches[b].changes.size();
  }
}

TEST_F(DeliveryLoopTest, PauseHoldsChangesUntilTheResumeThenOneBatch) {
  queue.setPaused(true);
  arrive(creations("C:\\", 3));
  EXPECT_EQ(stepAt(0ms).at, std::nullopt);
  EXPECT_EQ(stepAt(5000ms).at, std::nullopt);
  EXPECT_TRUE(outlet.batches.empty()) << "nothing taken while paused";
  arrive(creations("C:\\late", 1));
  queue.setPaused(false);
  stepAt(5001ms);
  ASSERT_EQ(outlet.batches.size(), 1u);
  EXPECT_EQ(pathsOf(outlet.batches[0].changes), (Paths{"C:\\0", "C:\\1", "C:\\2", "C:\\late0"}));
}

TEST_F(DeliveryLoopTest, FinishDeliversEverythingPausedOrNotWithoutWaitingForTheInterval) {
  arrive(creations("C:\\a", 1));
  stepAt(0ms);
  arrive(creations("C:\\b", 2));
  queue.setPaused(true);
  loop.finish();
  const auto next = stepAt(1ms);
  EXPECT_FALSE(next.finished);
  ASSERT_EQ(outlet.batches.size(), 2u);
  EXPECT_EQ(pathsOf(outlet.batches[1].changes), (Paths{"C:\\b0", "C:\\b1"}));
  EXPECT_EQ(outlet.finished, 0);
  EXPECT_TRUE(stepAt(1ms).finished);
  EXPECT_EQ(outlet.finished, 1) << "told once, after the last batch";
  EXPECT_TRUE(stepAt(2ms).finished);
  EXPECT_EQ(outlet.finished, 1);
}

TEST_F(DeliveryLoopTest, AbandonEndsWithoutDelivering) {
  arrive(creations("C:\\a", 1));
  loop.abandon();
  EXPECT_TRUE(stepAt(0ms).finished);
  EXPECT_TRUE(outlet.batches.empty());
  EXPECT_EQ(outlet.finished, 0);
}

TEST(DeliveryLoop, FilteredBatchesKeepTheirSizeAndIndexes) {
  const TimePoint t0 = TimePoint() + 1000h;
  WakeSignal wake;
  ChangeQueue queue(&wake);
  const ChangeFilter filter({}, {".txt"}, PathStyle::Windows);
  HeldOutlet outlet;
  DeliveryLoop loop(queue, filter, outlet, wake, 1s, 100);
  const auto arrive = [&](std::vector<Change> changes) { queue.append(changes); };
  const auto stepAt = [&](std::chrono::milliseconds at) { return loop.step(t0 + at); };
  arrive({change(EventKind::FileCreated, "C:\\a.txt"), change(EventKind::FileCreated, "C:\\b.doc"),
          change(EventKind::Attributes, "C:\\x"), change(EventKind::FolderRenamed, "C:\\d", "C:\\e")});
  stepAt(0ms);
  ASSERT_EQ(outlet.batches.size(), 1u);
  EXPECT_EQ(outlet.batches[0].size, 4u);
  EXPECT_EQ(pathsOf(outlet.batches[0].changes), (Paths{"C:\\a.txt", "C:\\x", "C:\\d"}));
  EXPECT_EQ(outlet.batches[0].indexes, (std::vector<std::uint32_t>{0, 2, 3}));
  EXPECT_EQ(loop.filteredOut(), 1u);

  arrive({change(EventKind::FileCreated, "C:\\c.doc")});
  stepAt(1000ms);
  ASSERT_EQ(outlet.batches.size(), 2u);
  EXPECT_EQ(outlet.batches[1].size, 1u) << "a batch in which every change was dropped is handed on";
  EXPECT_TRUE(outlet.batches[1].changes.empty());
}

class BoundedDeliveryLoopTest : public DeliveryLoopTest {
 protected:
  BoundedDeliveryLoopTest() : DeliveryLoopTest(2) {}
};

// A user interface that applies nothing stops the taking after two batches; the queue keeps
// what arrives; once batches are applied, everything follows, in order, nothing lost.
TEST_F(BoundedDeliveryLoopTest, AUserInterfaceThatTakesNothingStopsTheTaking) {
  int next = 0;
  for (int second = 0; second < 10; ++second) {
    arrive(creations("C:\\f", 100, next));
    next += 100;
    stepAt(std::chrono::seconds(second));
  }
  EXPECT_EQ(outlet.batches.size(), 2u);
  EXPECT_EQ(loop.outstandingBatches(), 2u);
  EXPECT_EQ(queue.size(), 800u) << "kept, not dropped";
  const std::uint64_t seen = wake.count();
  loop.batchApplied();
  EXPECT_GT(wake.count(), seen) << "an applied batch wakes the loop";
  stepAt(10s);
  EXPECT_EQ(outlet.batches.size(), 3u);
  EXPECT_EQ(stepAt(10s).at, std::nullopt);
  loop.batchApplied();
  loop.batchApplied();
  loop.finish();
  while (!stepAt(11s).finished) {
  }
  const std::vector<std::string> paths = outlet.allPaths();
  ASSERT_EQ(paths.size(), 1000u);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(paths[static_cast<std::size_t>(i)], "C:\\f" + std::to_string(i));
}

// The thin loop on a thread of its own: a producer appends while batches are applied on another
// thread as they come; the loop sleeps on the wake signal and ends after finish.
TEST(DeliveryLoopThreaded, RunDeliversEverythingInOrderAndEnds) {
  constexpr int kChanges = 100'000;
  WakeSignal wake;
  ChangeQueue queue(&wake);
  ChangeFilter filter;
  struct ApplyingOutlet : BatchOutlet {
    DeliveryLoop* loop = nullptr;
    std::mutex lock;
    std::vector<std::string> paths;
    std::size_t largestSize = 0;
    std::atomic<int> finished{0};
    void deliver(FilteredBatch batch) override {
      {
        std::lock_guard guard(lock);
        largestSize = std::max(largestSize, batch.size);
        for (auto& c : batch.changes) paths.push_back(std::move(c.path));
      }
      loop->batchApplied();
    }
    void deliveryFinished() override { ++finished; }
  } outlet;
  DeliveryLoop loop(queue, filter, outlet, wake, 0ms, 2);
  outlet.loop = &loop;
  std::thread delivery([&] { loop.run([] { return DeliveryLoop::Clock::now(); }); });
  std::thread producer([&] {
    for (int next = 0; next < kChanges; next += 250) {
      std::vector<Change> batch = creations("", 250, next);
      queue.append(batch);
    }
  });
  producer.join();
  loop.finish();
  delivery.join();
  EXPECT_EQ(outlet.finished.load(), 1);
  ASSERT_EQ(outlet.paths.size(), static_cast<std::size_t>(kChanges));
  for (int i = 0; i < kChanges; ++i) ASSERT_EQ(outlet.paths[static_cast<std::size_t>(i)], std::to_string(i));
}

}  // namespace
}  // namespace tw
