#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

namespace tw::linuxfs {

// One raw change as a kernel notifier reports it, before the registration applies its root and
// its mask. Paths are full paths, as the object had them when the change happened.
struct RawChange {
  enum Kind {
    Created,     // created, or moved in from a place the source does not see
    Deleted,     // deleted, or moved out of what the source sees
    Renamed,     // path -> path2
    Attributes,  // mode, owner, times, extended attributes
    Modified,    // data written (the file may still be open)
    Closed,      // a file opened for writing was closed
    Lost,        // the kernel queue overflowed, or a change could not be placed: changes were lost
  };
  RawChange(Kind kind, bool isDir, std::string path, std::string path2 = {}, std::int32_t pid = 0,
            std::string reason = {})
      : kind(kind),
        isDir(isDir),
        path(std::move(path)),
        path2(std::move(path2)),
        pid(pid),
        reason(std::move(reason)) {}

  Kind kind = Created;
  bool isDir = false;
  std::string path;
  std::string path2;
  std::int32_t pid = 0;  // the process that made the change, 0 when unknown
  // Lost: what was lost and why, and what the user can do, as one sentence.
  std::string reason;
};

// What a change source reports to.
class ChangeSink {
 public:
  virtual ~ChangeSink() = default;
  virtual void change(RawChange&& change) = 0;
  // Something the user should know that is no change (folders that cannot be watched, the
  // progress of a long set-up): one sentence.
  virtual void notice(std::string message) = 0;
  // The source has just read the kernel's queue at `moment`: the changes it reports from now on
  // were read by then. For a source that reads more than once per wake-up, so that a change that
  // came after the wake-up is not stamped with an earlier time than it happened.
  virtual void readAgainAt(std::chrono::system_clock::time_point moment) { (void)moment; }
};

// One kernel notifier watching one folder (recursively or not) for one watched root. Created,
// read and destroyed on the thread that waits on the watcher.
class ChangeSource {
 public:
  virtual ~ChangeSource() = default;
  // The descriptor the waiting thread polls for readability.
  virtual int fd() const = 0;
  // Reads and decodes every change the kernel has queued, without blocking.
  virtual void readAvailable(ChangeSink& sink) = 0;
  // After a wake (a stop is the one that matters): reads every change the kernel had queued by
  // now, also what a reading thread of the source has not handed on yet. Called whether or not
  // fd() is readable; a source that reads the kernel directly has nothing more to do.
  virtual void catchUp(ChangeSink& sink) { (void)sink; }
  // A source whose set-up goes on while changes flow (the recursive inotify watch adds its
  // watches a slice at a time): true while there is set-up left; continueSetup does a slice of
  // about `budget` and reports what a new folder's scan finds. `progress` says how far it got.
  virtual bool setupPending() const { return false; }
  virtual void continueSetup(ChangeSink& sink, std::chrono::milliseconds budget) {
    (void)sink;
    (void)budget;
  }
  virtual std::string setupProgress() const { return {}; }
  // For a root that came back after it went: what it holds now was made while it was not
  // watched, so it is reported as created (and not again when its creation events are read).
  virtual void reportExisting(ChangeSink& sink) = 0;
  // Whether the watcher may let changes gather for a moment before the next read (cheaper
  // under a burst); a source whose kernel queue is small relative to the burst says no.
  virtual bool mayGather() const { return true; }
  // True once the watched folder is gone (deleted or its file system unmounted): the source
  // reports nothing more and need not be polled.
  virtual bool ended() const = 0;
  virtual const char* kind() const = 0;
  // How many folders the source knows now.
  virtual std::size_t foldersKnown() const = 0;
};

// Recursive inotify: a watch per folder, not crossing into other mounts, its kernel queue
// drained into memory by a thread of its own; `memoryLimit` bounds what that holds (0: the
// default, about two million events). Null when inotify cannot start; `error` then says why.
std::unique_ptr<ChangeSource> startInotifySource(const std::string& root, bool recursive, ChangeSink& sink,
                                                 std::string& error, std::size_t memoryLimit = 0);

// fanotify with a filesystem mark, directory handles with names and paired renames. Null when
// the process may not use it or the file system does not support it; `error` then says why.
std::unique_ptr<ChangeSource> startFanotifySource(const std::string& root, std::string& error);

}  // namespace tw::linuxfs
