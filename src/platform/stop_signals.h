#pragma once

#include <chrono>
#include <optional>

namespace tw {

// How a command-line program learns that it is asked to stop, each time it is asked: on POSIX
// systems SIGINT, SIGTERM, SIGHUP and SIGPIPE sent to the process; on Windows Ctrl+C,
// Ctrl+Break and closing the console (there only the first request is told apart).
//
// Threads: next() from the one thread that waits for requests; wake() from any thread.
class StopSignals {
 public:
  enum class Event {
    Stop,      // a stop was requested
    Woken,     // wake() was called
    TimedOut,  // the deadline passed
  };
  virtual ~StopSignals() = default;
  // Waits for the next stop request, a wake() or the deadline (none: no limit).
  virtual Event next(std::optional<std::chrono::steady_clock::time_point> deadline) = 0;
  // Makes next() return Woken, now or at its next call.
  virtual void wake() = 0;
};

// Call first in main(), before any thread starts: from then on the stop requests no longer end
// the process but wait for processStopSignals().next(). On POSIX systems a write beyond the
// file-size limit then fails with an error instead of ending the process, and so does a write to
// a pipe that nobody reads any more.
void prepareProcessStopSignals();

// The process's stop requests; alive until the process exits.
StopSignals& processStopSignals();

}  // namespace tw
