#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/queue/change_queue.h"
#include "core/recording/capture_options.h"
#include "platform/change_watching.h"
#include "platform/drives.h"

namespace tw {

// What the monitor loop tells the recording. Called on the monitor thread; implementations post
// to the user-interface thread and never wait for it.
class MonitorEvents {
 public:
  virtual ~MonitorEvents() = default;
  // The watch is set up: the roots watched (without those that could not be).
  virtual void watchStarted(std::vector<std::string> roots) = 0;
  virtual void noticesReceived(std::vector<WatchNotice> notices) = 0;
  // The setup or a wait failed; the loop ends.
  virtual void monitorFailed(std::string message) = 0;
  // The loop is over and the watcher destroyed: everything it read is in the queue.
  virtual void monitorEnded() = 0;
};

// The roots a recording watches: the fixed and removable drives, without those the user
// unticked (compared without ASCII case).
std::vector<std::string> rootsToWatch(Drives& drives, const CaptureOptions& options);

// The monitor thread of one recording: prepares the thread, starts the watch of the chosen
// drives for the chosen kinds, then waits on the watcher and hands each batch of changes to the
// queue under one lock, and its notices on. A stop wakes the watcher; the loop then waits once
// more to take what the system had already queued, and destroys the watcher on the same thread.
// A stop asked before the watcher exists is honoured: the watch is not started, or is woken as
// soon as it exists. An error in the setup or in a wait ends the loop; it is reported, never
// thrown out of step().
//
// Threads: step() and run() on the monitor thread (or a test's thread, one step at a time); the
// watcher is created, waited on and destroyed there. requestStop() from any thread. The
// recording owns the loop and keeps the watching, drives, queue and events alive until the
// thread has ended.
class MonitorLoop {
 public:
  MonitorLoop(ChangeWatching& watching, Drives& drives, CaptureOptions options, ChangeQueue& queue,
              MonitorEvents& events);
  ~MonitorLoop();
  MonitorLoop(const MonitorLoop&) = delete;
  MonitorLoop& operator=(const MonitorLoop&) = delete;

  // One step: the first sets the watch up, each later one waits once. False once the loop is
  // over (the watcher destroyed, monitorEnded told).
  bool step();
  // The thread: steps until the loop is over.
  void run();
  // Asks the loop to end. Any thread.
  void requestStop();

 private:
  enum class Stage { Setup, Watching, Over };
  void setUp();
  void waitOnce();
  void handOver(ChangeBatch& batch);
  void end(const std::string& failure);

  ChangeWatching& watching;
  Drives& drives;
  const CaptureOptions options;
  ChangeQueue& queue;
  MonitorEvents& events;
  Stage stage = Stage::Setup;  // the monitor thread's
  ChangeBatch batch;           // the monitor thread's, reused from wait to wait

  // The watcher and the stop request, shared with requestStop.
  std::mutex lock;
  std::unique_ptr<ChangeWatcher> watcher;  // guarded by lock while it is set or reset
  bool stopRequested = false;              // guarded by lock
};

}  // namespace tw
