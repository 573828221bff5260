#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "core/events/change.h"
#include "core/queue/wake_signal.h"

namespace tw {

// The hand-over of changes from the monitor thread to the delivery thread. There is no limit on
// what it holds: it is the record of what the system said, and nothing read is ever dropped.
//
// Threads: append() on the monitor thread; take() and takeEvenIfPaused() on the delivery
// thread; setPaused() on the user-interface thread at any time; the queries from any thread. One
// lock guards the changes, held for one whole batch per call and never while a batch is
// filtered or delivered. Owned by the recording; `wake` (when given) must outlive it.
class ChangeQueue {
 public:
  // `wake` is signalled whenever something may have become takeable: after an append and on a
  // resume.
  explicit ChangeQueue(WakeSignal* wake = nullptr) : wake(wake) {}
  ChangeQueue(const ChangeQueue&) = delete;
  ChangeQueue& operator=(const ChangeQueue&) = delete;

  // Appends every change of `changes`, in order, under one lock, and leaves `changes` empty.
  // Tests nothing (pause, kind, paths) and never waits for a delivery.
  void append(std::vector<Change>& changes);

  // Moves every queued change out, oldest first, as one step; nothing while paused.
  std::vector<Change> take();
  // The same, paused or not: what a stopping recording still has to deliver.
  std::vector<Change> takeEvenIfPaused();

  // While paused, take() gives nothing; appends go on.
  void setPaused(bool paused);
  bool paused() const { return isPaused.load(); }

  // True when take() would give something now.
  bool hasTakeable() const;
  std::size_t size() const;
  // How many changes have been appended since the queue was made.
  std::uint64_t appendedCount() const { return appended.load(); }

 private:
  WakeSignal* wake;
  mutable std::mutex lock;
  std::vector<Change> changes;  // guarded by lock
  std::atomic<bool> isPaused{false};
  std::atomic<std::uint64_t> appended{0};
};

}  // namespace tw
