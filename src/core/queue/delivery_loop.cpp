#include "core/queue/delivery_loop.h"

#include <algorithm>

namespace tw {

DeliveryLoop::DeliveryLoop(ChangeQueue& queue, const ChangeFilter& filter, BatchOutlet& outlet,
                           WakeSignal& wake, std::chrono::milliseconds interval, std::size_t maxOutstanding)
    : queue(queue),
      filter(filter),
      outlet(outlet),
      wake(wake),
      interval(interval),
      maxOutstanding(std::max<std::size_t>(1, maxOutstanding)) {}

DeliveryLoop::Next DeliveryLoop::step(TimePoint now) {
  if (done) return {true, std::nullopt};
  if (abandoned.load()) {
    done = true;
    return {true, std::nullopt};
  }
  // The user interface has all it may hold: wait until it has applied a batch.
  if (outstanding.load() >= maxOutstanding) return {};
  if (finishing.load()) {
    std::vector<Change> taken = queue.takeEvenIfPaused();
    if (taken.empty()) {
      done = true;
      outlet.deliveryFinished();
      return {true, std::nullopt};
    }
    handOn(std::move(taken));
    return {false, now};
  }
  if (!queue.hasTakeable()) return {};
  if (lastTake && now < *lastTake + interval) return {false, *lastTake + interval};
  std::vector<Change> taken = queue.take();
  if (taken.empty()) return {};  // paused since the look above
  lastTake = now;
  handOn(std::move(taken));
  return {};
}

void DeliveryLoop::handOn(std::vector<Change> taken) {
  // Filtering happens here, on the delivery thread: never on the monitor's path, never on the
  // user-interface thread.
  FilteredBatch batch;
  batch.size = taken.size();
  batch.changes.reserve(taken.size());
  batch.indexes.reserve(taken.size());
  for (std::size_t i = 0; i < taken.size(); ++i) {
    if (!filter.passes(taken[i])) continue;
    batch.changes.push_back(std::move(taken[i]));
    batch.indexes.push_back(static_cast<std::uint32_t>(i));
  }
  dropped.fetch_add(taken.size() - batch.changes.size());
  outstanding.fetch_add(1);
  outlet.deliver(std::move(batch));
}

void DeliveryLoop::run(const std::function<TimePoint()>& now) {
  for (;;) {
    // Read before the step looks, so that a signal given meanwhile is not missed.
    const std::uint64_t seen = wake.count();
    const Next next = step(now());
    if (next.finished) return;
    if (next.at) {
      // The deadline is on the loop's clock; the wait is on the steady clock.
      const auto left = *next.at - now();
      if (left <= Clock::duration::zero()) continue;
      wake.waitAfter(seen, Clock::now() + left);
    } else {
      wake.waitAfter(seen, std::nullopt);
    }
  }
}

void DeliveryLoop::finish() {
  finishing.store(true);
  wake.signal();
}

void DeliveryLoop::abandon() {
  abandoned.store(true);
  wake.signal();
}

void DeliveryLoop::batchApplied() {
  outstanding.fetch_sub(1);
  wake.signal();
}

}  // namespace tw
