#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "core/events/change.h"
#include "core/queue/change_filter.h"
#include "core/queue/change_queue.h"
#include "core/queue/wake_signal.h"

namespace tw {

// One batch as the delivery thread hands it on: the changes that passed the filter, in order,
// each with its index in the batch as taken (so dropped changes make the index jump), and the
// size of the batch as taken (the progress bar's maximum).
struct FilteredBatch {
  std::vector<Change> changes;
  std::vector<std::uint32_t> indexes;  // one per change
  std::size_t size = 0;
};

// Where the delivery thread hands batches. Both methods are called on the delivery thread and
// must not wait for the user interface: they post.
class BatchOutlet {
 public:
  virtual ~BatchOutlet() = default;
  virtual void deliver(FilteredBatch batch) = 0;
  // Called once, after the last batch: the recording has delivered everything.
  virtual void deliveryFinished() = 0;
};

// The delivery ("queue") thread: takes what the queue holds at most once per interval, filters
// it and hands it to the outlet as one batch, without waiting for the user interface; at most
// `maxOutstanding` batches are handed on and not yet applied (batchApplied), so a slow user
// interface slows the taking while the queue keeps what the system said.
//
// Schedule: a change that arrives after a quiet spell is taken at once, or when the interval
// since the last take has passed; so the first change goes out no later than one interval after
// it arrived, and the last change of a burst at most one interval after the burst. While
// nothing is takeable (empty, or paused) the thread sleeps until something is appended or the
// queue resumes: no periodic wake-up. Once finish() is asked, everything queued is delivered,
// paused or not, without waiting for the interval, and then the loop ends.
//
// Threads: step() and run() on the delivery thread (or a test's thread, one step at a time);
// finish(), abandon() and batchApplied() from any thread. The recording owns the loop, the
// queue, the filter and the outlet, and keeps them alive until the thread has ended.
class DeliveryLoop {
 public:
  using Clock = std::chrono::steady_clock;
  using TimePoint = Clock::time_point;

  DeliveryLoop(ChangeQueue& queue, const ChangeFilter& filter, BatchOutlet& outlet, WakeSignal& wake,
               std::chrono::milliseconds interval, std::size_t maxOutstanding);
  DeliveryLoop(const DeliveryLoop&) = delete;
  DeliveryLoop& operator=(const DeliveryLoop&) = delete;

  // What the loop does after a step.
  struct Next {
    bool finished = false;
    // When to step again at the latest (none: only when signalled: an append, a resume, an
    // applied batch, finish or abandon).
    std::optional<TimePoint> at;
  };

  // One step at `now`: takes and hands on a batch when one is due. Never waits.
  Next step(TimePoint now);

  // The thread: steps until finished, sleeping between steps on the wake signal. `now` is the
  // clock the steps are given (the steady clock but in tests).
  void run(const std::function<TimePoint()>& now);

  // Asks the loop to deliver everything queued and then end (the monitor has stopped). Any thread.
  void finish();
  // Asks the loop to end at its next step without delivering what is left. Any thread.
  void abandon();
  // One handed-on batch has been applied by the user interface. Any thread.
  void batchApplied();

  // Changes the filter dropped so far. Any thread.
  std::uint64_t filteredOut() const { return dropped.load(); }
  std::size_t outstandingBatches() const { return outstanding.load(); }
  bool isFinished() const { return done; }

 private:
  void handOn(std::vector<Change> taken);

  ChangeQueue& queue;
  const ChangeFilter& filter;
  BatchOutlet& outlet;
  WakeSignal& wake;
  const std::chrono::milliseconds interval;
  const std::size_t maxOutstanding;

  std::atomic<bool> finishing{false};
  std::atomic<bool> abandoned{false};
  std::atomic<std::size_t> outstanding{0};
  std::atomic<std::uint64_t> dropped{0};
  // The delivery thread's own.
  std::optional<TimePoint> lastTake;
  bool done = false;
};

}  // namespace tw
