#include "core/recording/posted_work_loop.h"

namespace tw {

void PostedWorkLoop::post(std::function<void()> item) {
  {
    std::lock_guard guard(lock);
    work.push_back(std::move(item));
  }
  posted.notify_all();
}

void PostedWorkLoop::run() {
  std::unique_lock guard(lock);
  for (;;) {
    posted.wait(guard, [&] { return quitting || abandoning || !work.empty(); });
    if (abandoning) {
      work.clear();
      break;
    }
    if (work.empty()) break;  // quitting, and everything posted before has run
    std::function<void()> next = std::move(work.front());
    work.pop_front();
    guard.unlock();
    next();
    guard.lock();
  }
  quitting = false;
  abandoning = false;
}

void PostedWorkLoop::quit() {
  {
    std::lock_guard guard(lock);
    quitting = true;
  }
  posted.notify_all();
}

void PostedWorkLoop::quitNow() {
  {
    std::lock_guard guard(lock);
    abandoning = true;
  }
  posted.notify_all();
}

std::size_t PostedWorkLoop::runPending() {
  std::size_t ran = 0;
  for (;;) {
    std::function<void()> next;
    {
      std::lock_guard guard(lock);
      if (work.empty()) return ran;
      next = std::move(work.front());
      work.pop_front();
    }
    next();
    ++ran;
  }
}

bool PostedWorkLoop::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    runPending();
    if (done()) return true;
    std::unique_lock guard(lock);
    if (!posted.wait_until(guard, deadline, [&] { return !work.empty(); })) {
      guard.unlock();
      return done();
    }
  }
}

std::size_t PostedWorkLoop::waiting() const {
  std::lock_guard guard(lock);
  return work.size();
}

}  // namespace tw
