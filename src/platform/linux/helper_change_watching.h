#pragma once

#include <memory>
#include <string>

#include "platform/change_watching.h"

namespace tw {

// How the desktop program starts its capture helper.
struct CaptureHelperCommand {
  // The absolute path of tarnwatch-record (installed beside the program).
  std::string helper;
  // What runs it as root: "pkexec" (looked up on PATH) or a path. Empty: the helper is started as
  // it is. Tests give a stand-in script.
  std::string elevate = "pkexec";
};

// Whole-drive capture for a program that runs as a user: each watch starts
// `elevate helper --capture-helper --drive ROOT... --kinds MASK` and reads the changes the helper
// streams over a pipe (platform/linux/capture_helper_stream.h).
//
// Once the helper watches, a notice says so (the user then knows the authentication went
// through). When the helper cannot be had (the elevating command is missing, or it exits 126 or 127: the
// user cancelled or is not authorised) the watch says so in one notice and goes on with
// `fallback` (recursive inotify, with its progress). A helper that ends on its own after it
// started fails the watch with its exit status and its last line of standard error. The helper
// ends when the watcher goes (its standard input closes).
//
// Threads: as ChangeWatching; the watcher reads the helper's pipes in wait(), on the thread that
// waits, like the other Linux watchers read their kernel queues. `fallback` outlives this object.
class HelperChangeWatching : public ChangeWatching {
 public:
  HelperChangeWatching(CaptureHelperCommand command, ChangeWatching& fallback)
      : command(std::move(command)), fallback(fallback) {}

  std::unique_ptr<ChangeWatcher> watch(const WatchRequest& request) override;
  void prepareThread() override { fallback.prepareThread(); }

 private:
  CaptureHelperCommand command;
  ChangeWatching& fallback;
};

// The process id of the helper a watcher of HelperChangeWatching started (the elevating command
// execs it, so it is the helper's), 0 when there is none (never started, ended, or fallen back).
// For the tests.
int captureHelperPid(const ChangeWatcher& watcher);

}  // namespace tw
