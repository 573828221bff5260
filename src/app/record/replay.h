#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/change_watching.h"

namespace tw::record {

// Change watching that reads a recording back: the events of a file in the jsonl form, as if
// the system reported them. A watch hands out every event of the file in its first wait, in
// order, keeping to the request's kinds (the roots are not looked at); a line that is not an
// event comes as a notice with its line number and is skipped. "time", when a line has it, is the
// change's time; else the time of reading. After the first wait, `exhausted` is called, and
// later waits return only when woken.
//
// Threads: as ChangeWatching says; `exhausted` is called on the thread that waits.
class ReplayWatching : public ChangeWatching {
 public:
  ReplayWatching(std::string file, std::function<void()> exhausted)
      : file(std::move(file)), exhausted(std::move(exhausted)) {}
  // Throws std::runtime_error when the file cannot be read.
  std::unique_ptr<ChangeWatcher> watch(const WatchRequest& request) override;

 private:
  std::string file;
  std::function<void()> exhausted;
};

}  // namespace tw::record
