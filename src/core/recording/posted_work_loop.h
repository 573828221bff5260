#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "core/recording/ui_thread.h"

namespace tw {

// The user-interface thread of a program without a toolkit (the headless recorder) and of the
// tests: whichever thread calls run() or runPending() runs the posted work, in the order posted.
//
// Threads: post() and quit() from any thread; run() and runPending() on the one thread that acts
// as the user-interface thread. Work still queued when the loop is destroyed is dropped.
class PostedWorkLoop : public UiThread {
 public:
  void post(std::function<void()> work) override;

  // Runs posted work until quit() is called; the work posted before the quit runs first.
  void run();
  // Ends run() once the work posted so far has run. Any thread.
  void quit();
  // Ends run() as soon as the work under way has run; what is still queued is dropped. Any thread.
  void quitNow();
  // Runs the work posted so far (and what that work posts meanwhile) without waiting; returns
  // how many items ran.
  std::size_t runPending();
  // Waits up to `timeout` for posted work and runs it, until `done` holds; true when it does.
  bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  std::size_t waiting() const;

 private:
  mutable std::mutex lock;
  std::condition_variable posted;
  std::deque<std::function<void()>> work;  // guarded by lock
  bool quitting = false;                   // guarded by lock
  bool abandoning = false;                 // guarded by lock
};

}  // namespace tw
