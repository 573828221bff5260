#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace tw {

// Runs a step on the user-interface thread and waits for it. Any exception the step throws is
// rethrown in the calling thread. Called from worker threads (monitor, queue); a call made on
// the user-interface thread itself runs the step at once.
class UiDispatcher {
 public:
  virtual ~UiDispatcher() = default;
  virtual void synchronize(std::function<void()> step) = 0;
};

// A dispatcher whose "user-interface thread" is whichever thread runs exec() (the headless
// recorder's main thread, or a thread a test owns). Steps posted by other threads wait in a
// queue until that thread runs them, in the order posted.
//
// After quit() no further step runs: callers waiting for a step, and later callers, get a
// std::runtime_error instead of waiting forever.
class QueuedUiDispatcher : public UiDispatcher {
 public:
  QueuedUiDispatcher() = default;
  QueuedUiDispatcher(const QueuedUiDispatcher&) = delete;
  QueuedUiDispatcher& operator=(const QueuedUiDispatcher&) = delete;
  ~QueuedUiDispatcher() override;

  void synchronize(std::function<void()> step) override;

  // Runs posted steps on the calling thread until quit() is called.
  void exec();
  // Runs the steps posted so far on the calling thread and returns how many ran.
  std::size_t processPending();
  // Ends exec() and fails every step that has not run.
  void quit();
  // How many posted steps wait to be run.
  std::size_t waiting();

 private:
  struct Call {
    std::function<void()> step;
    std::exception_ptr error;
    bool done = false;
  };
  void runOne(const std::shared_ptr<Call>& call);

  std::mutex lock;
  std::condition_variable posted;  // a step was posted, or quit
  std::condition_variable ran;     // a step finished, or quit
  std::deque<std::shared_ptr<Call>> pending;
  bool quitting = false;
  std::thread::id uiThread;  // set while a thread is running steps
};

}  // namespace tw
