#pragma once

#include <memory>

#include "platform/change_watching.h"
#include "platform/platform.h"

namespace tw {

// Change watching over the platform's shell notification interface (a hidden window per
// watch, one recursive registration per root, its messages turned into change records), until
// the platform layers give change watching of their own.
//
// Threads: as ChangeWatching says; the watcher's window belongs to the thread that calls watch().
class ShellNotifyWatching : public ChangeWatching {
 public:
  explicit ShellNotifyWatching(ShellNotify& notify) : notify(notify) {}
  std::unique_ptr<ChangeWatcher> watch(const WatchRequest& request) override;
  void prepareThread() override { notify.setCurrentThreadPriorityHighest(); }

 private:
  ShellNotify& notify;
};

}  // namespace tw
