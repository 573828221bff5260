#include "core/queue/ui_dispatcher.h"

#include <stdexcept>

namespace tw {

namespace {
const char* const kStopped = "The user interface has stopped; the step was not run.";
}

QueuedUiDispatcher::~QueuedUiDispatcher() { quit(); }

void QueuedUiDispatcher::synchronize(std::function<void()> step) {
  auto call = std::make_shared<Call>();
  call->step = std::move(step);
  {
    std::unique_lock guard(lock);
    if (uiThread == std::this_thread::get_id()) {
      guard.unlock();
      call->step();
      return;
    }
    if (quitting) throw std::runtime_error(kStopped);
    pending.push_back(call);
    posted.notify_all();
    ran.wait(guard, [&] { return call->done; });
  }
  if (call->error) std::rethrow_exception(call->error);
}

void QueuedUiDispatcher::runOne(const std::shared_ptr<Call>& call) {
  try {
    call->step();
  } catch (...) {
    call->error = std::current_exception();
  }
  std::lock_guard guard(lock);
  call->done = true;
  ran.notify_all();
}

std::size_t QueuedUiDispatcher::processPending() {
  std::deque<std::shared_ptr<Call>> batch;
  {
    std::lock_guard guard(lock);
    batch.swap(pending);
    uiThread = std::this_thread::get_id();
  }
  for (const auto& call : batch) runOne(call);
  std::lock_guard guard(lock);
  uiThread = {};
  return batch.size();
}

void QueuedUiDispatcher::exec() {
  std::unique_lock guard(lock);
  uiThread = std::this_thread::get_id();
  while (true) {
    posted.wait(guard, [&] { return quitting || !pending.empty(); });
    if (quitting) break;
    auto call = pending.front();
    pending.pop_front();
    guard.unlock();
    runOne(call);
    guard.lock();
  }
  uiThread = {};
}

void QueuedUiDispatcher::quit() {
  std::lock_guard guard(lock);
  quitting = true;
  for (const auto& call : pending) {
    call->error = std::make_exception_ptr(std::runtime_error(kStopped));
    call->done = true;
  }
  pending.clear();
  posted.notify_all();
  ran.notify_all();
}

std::size_t QueuedUiDispatcher::waiting() {
  std::lock_guard guard(lock);
  return pending.size();
}

}  // namespace tw
