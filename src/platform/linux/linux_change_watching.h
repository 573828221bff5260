#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/change_watching.h"
#include "platform/drives.h"
#include "platform/linux/change_source.h"

namespace tw {

namespace linuxfs {

// The short names of processes (/proc/PID/comm), read when a change is read from the kernel so
// that a process that ends right after its change still has its name, and kept for a second so
// that a burst from one process reads its name once. Used by one watcher's thread only.
class ProcessNames {
 public:
  explicit ProcessNames(std::string procRoot = "/proc") : procRoot(std::move(procRoot)) {}
  // The name of `pid`; empty when unknown or gone.
  const std::string& nameOf(std::int32_t pid, std::chrono::steady_clock::time_point now);

 private:
  struct Known {
    std::string name;
    std::chrono::steady_clock::time_point readAt;
  };
  std::string procRoot;
  std::unordered_map<std::int32_t, Known> names;
};

// One watched root: its kernel source and the mapping of the source's raw changes to change
// records. Keeps only paths under its root and kinds in its request, pairs a write with its
// close, and reports a file held open and written at most once a second.
//
// Thread: the watcher's thread only.
class WatchedRoot : public ChangeSink {
 public:
  using Clock = std::chrono::steady_clock;

  WatchedRoot(std::string root, EventKindSet kinds) : root(std::move(root)), kinds(kinds) {}

  // Where the changes and notices of the next reads go, and the moment the changes carry.
  void setTarget(ChangeBatch* target, std::chrono::system_clock::time_point readAt);
  void change(RawChange&& change) override;
  void notice(std::string message) override;
  void readAgainAt(std::chrono::system_clock::time_point moment) override;
  // A written file not closed within a second after its last report is reported now.
  void flushDue(Clock::time_point now);
  // When flushDue has something to do next; max() when nothing is waiting.
  Clock::time_point nextDue() const;
  // Reports one change of a kind when the request asks for it (drive events come from the
  // watcher's look at the mount table).
  void reportIfWanted(EventKind kind, const std::string& path);

  const std::string root;                // without a final separator, except "/"
  std::unique_ptr<ChangeSource> source;  // null while the root is gone
  // Gone with its drive (watched again when a drive is mounted there), rather than removed or
  // moved away (watched again when a folder is at its path again).
  bool unmounted = false;

 private:
  bool covers(const std::string& path) const;
  bool wants(EventKind kind) const;
  void report(EventKind kind, bool folder, const std::string& path, const std::string& newPath,
              std::int32_t pid);

  EventKindSet kinds;
  ChangeBatch* target = nullptr;
  std::chrono::system_clock::time_point readAt;
  struct Written {
    Clock::time_point due;
    std::int32_t pid = 0;
  };
  std::unordered_map<std::string, Written> written;  // files written since their last report
};

}  // namespace linuxfs

// Change watching on Linux: one fanotify filesystem mark per root when the process may use
// fanotify (root), else recursive inotify; drives mounted and unmounted come from the mount
// table.
//
// Threads: watch() and prepareThread() on the thread that waits; the setters before watch().
class LinuxChangeWatching : public ChangeWatching {
 public:
  // `drives` tells which mounted file systems are drives (for the drive events).
  explicit LinuxChangeWatching(Drives& drives) : drives(drives) {}

  std::unique_ptr<ChangeWatcher> watch(const WatchRequest& request) override;
  void prepareThread() override;
  // Neither fanotify nor inotify knows of file-type associations, drives added by the shell,
  // media, network shares, servers or images: 0, 5, 7, 8, 10, 11, 15 and 17 never come.
  EventKindSet producibleKinds() const override;

  // Watches use recursive inotify even where fanotify could start.
  void setForceInotify(bool force) { forceInotify = force; }
  // The most an inotify watch holds in memory beyond the kernel's queue (0: its default). Tests
  // make it small, so that a flood overflows the kernel's queue.
  void setInotifyMemoryLimit(std::size_t bytes) { inotifyMemoryLimit = bytes; }

 private:
  Drives& drives;
  std::atomic<bool> forceInotify{false};
  std::atomic<std::size_t> inotifyMemoryLimit{0};
};

// What a Linux watcher runs on for each root it watches (as the root was asked): the kernel
// mechanism ("fanotify" or "inotify") and how many folders it knows so far (fanotify learns them
// as events name them; inotify has a watch on each). For the tests and the recorder's messages.
struct WatchMechanism {
  std::string root;
  std::string kind;
  std::size_t foldersKnown = 0;
};
std::vector<WatchMechanism> watchMechanisms(const ChangeWatcher& watcher);

}  // namespace tw
