#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "core/report/recording_file.h"
#include "platform/change_watching.h"

namespace tw::record {

// Change watching that reads a recording back: the events of a file in the jsonl form, as if
// the system reported them. A watch hands out the events of the file in order, a block of
// lines per wait (so a stop is heard between two blocks and the file is never held whole),
// keeping to the request's kinds (the roots are not looked at); a line that is not an event, or
// longer than kMaxLineBytes, comes as a notice with its line number and is skipped; a read error
// is thrown from the wait. "time", when a line has it, is the change's time; else the time of
// reading. Once the file is read to its end, `exhausted` is called, and later waits return only
// when woken.
//
// Threads: as ChangeWatching says; `exhausted` is called on the thread that waits.
class ReplayWatching : public ChangeWatching {
 public:
  static constexpr std::size_t kMaxLineBytes = RecordingFile::kMaxLineBytes;

  ReplayWatching(std::string file, std::function<void()> exhausted)
      : file(std::move(file)), exhausted(std::move(exhausted)) {}
  // Throws std::runtime_error when the file cannot be read.
  std::unique_ptr<ChangeWatcher> watch(const WatchRequest& request) override;

 private:
  std::string file;
  std::function<void()> exhausted;
};

}  // namespace tw::record
