// The queue between the monitor thread and the delivery thread.
#include "core/queue/change_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/changes.h"

namespace tw {
namespace {

using test::change;
using test::pathsOf;
using Paths = std::vector<std::string>;

TEST(ChangeQueue, QueuesEveryChangeUncheckedInArrivalOrder) {
  ChangeQueue queue;
  EXPECT_FALSE(queue.hasTakeable());
  std::vector<Change> first = {change(EventKind::FileCreated, ""),  // both paths empty
                               change(EventKind::FileRenamed, "C:\\y", "C:\\z")};
  queue.append(first);
  EXPECT_TRUE(first.empty()) << "the batch is moved into the queue";
  std::vector<Change> second = {change(EventKind::Association, "")};
  queue.append(second);
  EXPECT_EQ(queue.size(), 3u);
  EXPECT_EQ(queue.appendedCount(), 3u);

  const std::vector<Change> taken = queue.take();
  ASSERT_EQ(taken.size(), 3u);
  EXPECT_EQ(taken[0].path, "");
  EXPECT_EQ(taken[1].newPath, "C:\\z");
  EXPECT_EQ(taken[2].kind, EventKind::Association);
  EXPECT_FALSE(queue.hasTakeable());
  EXPECT_TRUE(queue.take().empty()) << "a second take finds nothing";
  EXPECT_EQ(queue.appendedCount(), 3u);
}

TEST(ChangeQueue, PauseHoldsTakingButNotAppending) {
  WakeSignal wake;
  ChangeQueue queue(&wake);
  queue.setPaused(true);
  EXPECT_TRUE(queue.paused());
  std::vector<Change> batch = test::creations("C:\\p", 3);
  const std::uint64_t before = wake.count();
  queue.append(batch);
  EXPECT_GT(wake.count(), before) << "an append wakes the delivery thread, paused or not";
  EXPECT_FALSE(queue.hasTakeable());
  EXPECT_TRUE(queue.take().empty());
  EXPECT_EQ(queue.size(), 3u);

  const std::uint64_t paused = wake.count();
  queue.setPaused(false);
  EXPECT_GT(wake.count(), paused) << "a resume wakes it too";
  EXPECT_EQ(pathsOf(queue.take()), (Paths{"C:\\p0", "C:\\p1", "C:\\p2"}));
}

TEST(ChangeQueue, WhatAStoppingRecordingTakesEvenIfPaused) {
  ChangeQueue queue;
  std::vector<Change> batch = test::creations("C:\\held", 2);
  queue.append(batch);
  queue.setPaused(true);
  EXPECT_EQ(pathsOf(queue.takeEvenIfPaused()), (Paths{"C:\\held0", "C:\\held1"}));
  EXPECT_EQ(queue.size(), 0u);
}

// One thread appends a million changes in batches of varying size while another takes in a
// loop: every change is taken exactly once, in the order appended, and takes race the producer.
TEST(ChangeQueueThreaded, MillionChangesTakenExactlyOnceInOrder) {
  constexpr int kChanges = 1'000'000;
  ChangeQueue queue;
  std::atomic<bool> producerDone{false};
  std::thread producer([&] {
    int next = 0;
    for (int size = 1; next < kChanges; size = size % 97 + 1) {
      std::vector<Change> batch;
      for (int i = 0; i < size && next < kChanges; ++i, ++next) {
        Change c;
        c.kind = static_cast<EventKind>(next % kEventCount);
        c.path = std::to_string(next);
        batch.push_back(std::move(c));
      }
      queue.append(batch);
    }
    producerDone.store(true);
  });

  int expected = 0;
  int takesWhileAppending = 0;  // takes that raced the producer, not one take after it ended
  bool inOrder = true;
  for (;;) {
    const bool finished = producerDone.load();
    const std::vector<Change> taken = queue.take();
    if (!taken.empty() && !finished) ++takesWhileAppending;
    for (const Change& c : taken) {
      if (c.path != std::to_string(expected) || eventNumber(c.kind) != expected % kEventCount)
        inOrder = false;
      ++expected;
    }
    if (finished && queue.size() == 0) break;
  }
  producer.join();

  EXPECT_TRUE(inOrder);
  EXPECT_EQ(expected, kChanges);
  EXPECT_EQ(queue.appendedCount(), static_cast<std::uint64_t>(kChanges));
  EXPECT_GT(takesWhileAppending, 1);
}

}  // namespace
}  // namespace tw
