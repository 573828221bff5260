#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/change_watching.h"

namespace tw {

// A change watching that tests script: a test sends changes and notices from any thread, and
// the watcher's wait hands them out as a real one would, keeping to the request's kinds (a
// FolderNeedsRescan always passes, as loss is never filtered).
//
// Threads: every method may be called from any thread; set the script fields before a watch
// starts.
class FakeChangeWatching : public ChangeWatching {
 public:
  // Roots that cannot be watched, with the reason the notice gives.
  std::map<std::string, std::string> refusedRoots;

  std::unique_ptr<ChangeWatcher> watch(const WatchRequest& request) override;
  void prepareThread() override;
  // What producibleKinds() answers; set it before a window asks.
  EventKindSet producible = allEventKinds();
  EventKindSet producibleKinds() const override { return producible; }

  // What watch() was asked, in call order.
  std::vector<WatchRequest> requests() const;
  // How many watchers exist now, and how many threads were prepared so far.
  int liveWatchers() const;
  int preparedThreads() const;
  // Waits until `count` watches have started (and may have ended again); false on timeout.
  bool waitForWatches(std::size_t count, std::chrono::milliseconds timeout) const;
  // Waits until no watcher is left; false on timeout.
  bool waitForNoWatcher(std::chrono::milliseconds timeout) const;

  // The live watcher's next wait hands these out (false when no watcher is live); `send`, not
  // `emit`, which Qt takes for itself. A change of a
  // kind the request left out is dropped, as the system would not report it.
  bool send(Change change);
  bool send(std::vector<Change> changes);
  bool notice(WatchNotice notice);
  // The live watcher's next wait throws std::runtime_error with this message.
  bool failNextWait(std::string message);
  // How many waits of the live watcher have returned so far.
  int waitsReturned() const;

 private:
  class Watcher;
  struct Pending {
    std::deque<Change> changes;
    std::deque<WatchNotice> notices;
    std::string failure;
    bool woken = false;
  };
  friend class Watcher;

  mutable std::mutex lock;
  mutable std::condition_variable changed;
  std::vector<WatchRequest> asked;
  Watcher* live = nullptr;  // guarded by lock
  Pending pending;          // for the live watcher; guarded by lock
  int watchers = 0;
  int prepared = 0;
  int returned = 0;
};

}  // namespace tw
