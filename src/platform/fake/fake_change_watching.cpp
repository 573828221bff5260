#include "platform/fake/fake_change_watching.h"

#include <algorithm>
#include <stdexcept>

namespace tw {

class FakeChangeWatching::Watcher : public ChangeWatcher {
 public:
  Watcher(FakeChangeWatching& owner, WatchRequest request) : owner(owner), request(std::move(request)) {}
  ~Watcher() override {
    std::lock_guard guard(owner.lock);
    if (owner.live == this) {
      owner.live = nullptr;
      owner.pending = Pending{};
    }
    --owner.watchers;
    owner.changed.notify_all();
  }

  void wait(ChangeBatch& out) override {
    std::unique_lock guard(owner.lock);
    owner.changed.wait(guard, [&] {
      const Pending& p = owner.pending;
      return p.woken || !p.changes.empty() || !p.notices.empty() || !p.failure.empty();
    });
    Pending& p = owner.pending;
    p.woken = false;
    ++owner.returned;
    owner.changed.notify_all();
    if (!p.failure.empty()) {
      const std::string message = std::move(p.failure);
      p.failure.clear();
      throw std::runtime_error(message);
    }
    for (Change& change : p.changes) {
      const bool loss = change.kind == EventKind::FolderNeedsRescan;
      const auto number = static_cast<std::size_t>(eventNumber(change.kind));
      if (loss || number >= request.kinds.size() || request.kinds.test(number)) {
        out.changes.push_back(std::move(change));
      }
    }
    p.changes.clear();
    for (WatchNotice& n : p.notices) out.notices.push_back(std::move(n));
    p.notices.clear();
  }

  void wake() override {
    std::lock_guard guard(owner.lock);
    if (owner.live == this) owner.pending.woken = true;
    owner.changed.notify_all();
  }

  std::vector<std::string> watchedRoots() const override {
    std::vector<std::string> roots;
    std::lock_guard guard(owner.lock);
    for (const std::string& root : request.roots) {
      if (!owner.refusedRoots.contains(root)) roots.push_back(root);
    }
    return roots;
  }

 private:
  FakeChangeWatching& owner;
  WatchRequest request;
};

std::unique_ptr<ChangeWatcher> FakeChangeWatching::watch(const WatchRequest& request) {
  auto watcher = std::make_unique<Watcher>(*this, request);
  std::lock_guard guard(lock);
  asked.push_back(request);
  ++watchers;
  live = watcher.get();
  pending = Pending{};
  for (const std::string& root : request.roots) {
    if (auto refused = refusedRoots.find(root); refused != refusedRoots.end()) {
      pending.notices.push_back({root, refused->second});
    }
  }
  changed.notify_all();
  return watcher;
}

void FakeChangeWatching::prepareThread() {
  std::lock_guard guard(lock);
  ++prepared;
}

std::vector<WatchRequest> FakeChangeWatching::requests() const {
  std::lock_guard guard(lock);
  return asked;
}

int FakeChangeWatching::liveWatchers() const {
  std::lock_guard guard(lock);
  return watchers;
}

int FakeChangeWatching::preparedThreads() const {
  std::lock_guard guard(lock);
  return prepared;
}

bool FakeChangeWatching::waitForWatches(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock guard(lock);
  return changed.wait_for(guard, timeout, [&] { return asked.size() >= count; });
}

bool FakeChangeWatching::waitForNoWatcher(std::chrono::milliseconds timeout) const {
  std::unique_lock guard(lock);
  return changed.wait_for(guard, timeout, [&] { return watchers == 0; });
}

bool FakeChangeWatching::send(Change change) {
  std::lock_guard guard(lock);
  if (live == nullptr) return false;
  pending.changes.push_back(std::move(change));
  changed.notify_all();
  return true;
}

bool FakeChangeWatching::send(std::vector<Change> changes) {
  std::lock_guard guard(lock);
  if (live == nullptr) return false;
  for (Change& change : changes) pending.changes.push_back(std::move(change));
  changed.notify_all();
  return true;
}

bool FakeChangeWatching::notice(WatchNotice notice) {
  std::lock_guard guard(lock);
  if (live == nullptr) return false;
  pending.notices.push_back(std::move(notice));
  changed.notify_all();
  return true;
}

bool FakeChangeWatching::failNextWait(std::string message) {
  std::lock_guard guard(lock);
  if (live == nullptr) return false;
  pending.failure = std::move(message);
  changed.notify_all();
  return true;
}

int FakeChangeWatching::waitsReturned() const {
  std::lock_guard guard(lock);
  return returned;
}

}  // namespace tw
