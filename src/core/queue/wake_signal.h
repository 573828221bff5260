#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>

namespace tw {

// A wake-up call between threads without lost wake-ups: the waiting thread reads count() before
// it looks at what it waits for, and waitAfter() returns at once when signal() was called since.
//
// Threads: signal() and count() from any thread; waitAfter() from the one thread that waits.
// Owned by the delivery loop, whose thread is the one that waits.
class WakeSignal {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  std::uint64_t count() const {
    std::lock_guard guard(lock);
    return signalCount;
  }

  void signal() {
    {
      std::lock_guard guard(lock);
      ++signalCount;
    }
    changed.notify_all();
  }

  // Waits until signal() has been called since `seen` was read, or until `deadline` (none: no
  // limit). Returns at once when either holds already.
  void waitAfter(std::uint64_t seen, std::optional<TimePoint> deadline) {
    std::unique_lock guard(lock);
    if (deadline) {
      changed.wait_until(guard, *deadline, [&] { return signalCount != seen; });
    } else {
      changed.wait(guard, [&] { return signalCount != seen; });
    }
  }

 private:
  mutable std::mutex lock;
  std::condition_variable changed;
  std::uint64_t signalCount = 0;  // guarded by lock
};

}  // namespace tw
