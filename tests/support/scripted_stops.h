#pragma once

#include <condition_variable>
#include <mutex>

#include "platform/stop_signals.h"

namespace tw::test {

// Stop requests a test makes: request() is one more request; next() waits for a request, a
// wake() or the deadline, as the process's own stop signals do. Thread-safe.
class ScriptedStops : public StopSignals {
 public:
  void request() {
    std::lock_guard guard(lock);
    ++requests;
    changed.notify_all();
  }

  Event next(std::optional<std::chrono::steady_clock::time_point> deadline) override {
    std::unique_lock guard(lock);
    const auto ready = [&] { return requests > 0 || woken; };
    if (deadline) {
      if (!changed.wait_until(guard, *deadline, ready)) return Event::TimedOut;
    } else {
      changed.wait(guard, ready);
    }
    if (requests > 0) {
      --requests;
      return Event::Stop;
    }
    woken = false;
    return Event::Woken;
  }

  void wake() override {
    std::lock_guard guard(lock);
    woken = true;
    changed.notify_all();
  }

 private:
  std::mutex lock;
  std::condition_variable changed;
  int requests = 0;
  bool woken = false;
};

}  // namespace tw::test
