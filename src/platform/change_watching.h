#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/events/change.h"
#include "core/events/event_kinds.h"

namespace tw {

// What to watch: folders, each with everything below it, and the kinds of change to report.
struct WatchRequest {
  std::vector<std::string> roots;  // each ends in the path separator
  EventKindSet kinds = allEventKinds();
};

// Something the user should know about a watch that is no single change: a root that could
// not be watched or stopped being watched, changes that were lost, progress of a long set-up.
struct WatchNotice {
  std::string root;     // the watched root it concerns; empty for the watch as a whole
  std::string message;  // one sentence for the user: what happened, why, and what to do
  bool operator==(const WatchNotice&) const = default;
};

// What one wait brings.
struct ChangeBatch {
  std::vector<Change> changes;  // in the order they happened
  std::vector<WatchNotice> notices;
  bool empty() const { return changes.empty() && notices.empty(); }
  void clear() {
    changes.clear();
    notices.clear();
  }
};

// A running watch of some roots. The platform's own mechanism stays behind it (on Windows the
// shell's change notifications, a hidden window and its message loop; on Linux fanotify or
// inotify); what comes out is plain Change records.
//
// Loss is never silent: changes that could not be told one by one come as FolderNeedsRescan on
// the root (whatever the chosen kinds) with a notice; a root that goes away comes as
// DriveRemoved (an unmounted drive) or FolderDeleted / FolderRenamed on the root, with a notice.
//
// Threads: created by ChangeWatching::watch on the thread that waits on it (the monitor
// thread), used and destroyed there; only wake() may be called from any other thread.
class ChangeWatcher {
 public:
  virtual ~ChangeWatcher() = default;
  // Blocks until changes or notices are available or wake() is called, then appends to `out`
  // everything available without waiting further. Returns with nothing only when woken. Throws
  // std::runtime_error with a readable message when the watch as a whole fails.
  virtual void wait(ChangeBatch& out) = 0;
  // Makes a wait that runs now, or the next one, return at once. Any thread.
  virtual void wake() = 0;
  // The roots being watched now: without those that could not be watched or went away.
  virtual std::vector<std::string> watchedRoots() const = 0;
};

// Starts watches.
//
// Threads: watch() on the thread that will wait on the watcher; prepareThread() on the thread
// it prepares.
class ChangeWatching {
 public:
  virtual ~ChangeWatching() = default;
  // Starts watching on the calling thread. A root that cannot be watched is left out and named,
  // with its reason, in a notice of the first wait. Never null.
  virtual std::unique_ptr<ChangeWatcher> watch(const WatchRequest& request) = 0;
  // Gives the calling thread (the monitor or the delivery thread) the highest priority below
  // time-critical that the process may set; does nothing where it may not.
  virtual void prepareThread() {}
  // The kinds of change this system's mechanism can ever report; a kind outside it is still
  // chosen, stored and filtered like any other, it just never comes. The settings windows grey
  // the others out. Any thread; the answer never changes.
  virtual EventKindSet producibleKinds() const { return allEventKinds(); }
};

}  // namespace tw
