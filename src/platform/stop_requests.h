#pragma once

#include <chrono>
#include <optional>

namespace tw {

// How a command-line program learns that it is asked to stop: SIGINT and SIGTERM on Linux,
// Ctrl+C, Ctrl+Break and closing the console on Windows.

// Call first in main(), before any thread starts: from then on a stop request no longer ends
// the process but waits for waitForStopRequest.
void prepareStopRequests();

// Waits until a stop is requested or `timeout` has passed (none: no limit). True when a stop
// was requested. Called from one thread.
bool waitForStopRequest(std::optional<std::chrono::milliseconds> timeout);

// Asks this process to stop, as the user would; wakes waitForStopRequest. Any thread.
void requestStop();

// True when standard error is a terminal.
bool stderrIsTerminal();

}  // namespace tw
