#include "core/queue/change_queue.h"

namespace tw {

void ChangeQueue::append(std::vector<Change>& batch) {
  if (batch.empty()) return;
  const std::size_t count = batch.size();
  {
    std::lock_guard guard(lock);
    if (changes.empty()) {
      changes.swap(batch);
    } else {
      changes.reserve(changes.size() + count);
      for (Change& change : batch) changes.push_back(std::move(change));
    }
    // Counted under the lock, so that a take never sees more changes than were counted.
    appended.fetch_add(count);
  }
  batch.clear();
  if (wake != nullptr) wake->signal();
}

std::vector<Change> ChangeQueue::take() {
  if (isPaused.load()) return {};
  return takeEvenIfPaused();
}

std::vector<Change> ChangeQueue::takeEvenIfPaused() {
  std::vector<Change> taken;
  std::lock_guard guard(lock);
  taken.swap(changes);
  return taken;
}

void ChangeQueue::setPaused(bool paused) {
  isPaused.store(paused);
  if (!paused && wake != nullptr) wake->signal();
}

bool ChangeQueue::hasTakeable() const {
  if (isPaused.load()) return false;
  std::lock_guard guard(lock);
  return !changes.empty();
}

std::size_t ChangeQueue::size() const {
  std::lock_guard guard(lock);
  return changes.size();
}

}  // namespace tw
