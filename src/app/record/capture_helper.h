#pragma once

#include <chrono>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "core/events/event_kinds.h"
#include "platform/change_watching.h"

namespace tw::record {

// tarnwatch-record --capture-helper: the privileged end of the desktop program's whole-drive
// capture. Started as root (through pkexec) on behalf of a user who may not be trusted, so it
// takes nothing but the folders to watch and the kinds of change, writes nothing but the helper
// stream (platform/linux/capture_helper_stream.h) to standard output, reads no file of settings
// and no variable of the environment, and ends when standard input ends (the program closed
// its end or died) or standard output breaks.

struct CaptureHelperOptions {
  std::vector<std::string> folders;      // --drive PATH, repeatable, at least one
  EventKindSet kinds = allEventKinds();  // --kinds MASK: bit n set for event number n
};

// The most folders and the longest path the helper takes: a drive list is short, a path is at
// most PATH_MAX; more is refused rather than handed to the kernel.
inline constexpr std::size_t kMostHelperFolders = 64;
inline constexpr std::size_t kLongestHelperPath = 4096;

// Whether a command line asks for the helper (its first argument is --capture-helper).
bool isCaptureHelperCommand(const std::vector<std::string>& args);

// Reads the helper's command line (without the program name; the first argument is
// --capture-helper). Anything but --drive and --kinds is refused, and so is a folder that is not
// an existing folder named by its absolute path without links, "." or ".." (the path is watched
// as it is written, so it must be the folder's one true name). On refusal returns none and says
// why in `error`.
std::optional<CaptureHelperOptions> parseCaptureHelperArgs(const std::vector<std::string>& args,
                                                           std::string& error);

// Runs the helper until `in` ends, `out` breaks or is not read for `longestStall`, a stop signal comes
// (SIGINT, SIGTERM, SIGHUP, blocked by prepareProcessStopSignals) or the watch fails. Messages go to `err`.
// Returns the exit code: 0 when ended by its program or a signal, 1 when the watch failed or nothing could be
// watched. Thread: main; it starts one thread of its own that waits for `in` to end.
int runCaptureHelper(const CaptureHelperOptions& options, ChangeWatching& watching, int in, int out,
                     std::ostream& err, std::chrono::milliseconds longestStall = std::chrono::seconds(30));

}  // namespace tw::record
