#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/queue/batch_view.h"
#include "core/queue/items_stack.h"
#include "core/queue/ui_dispatcher.h"
#include "core/recording/capture_options.h"
#include "core/recording/monitor_controls.h"
#include "core/recording/shell_notifier.h"
#include "platform/platform.h"

namespace tw {

inline constexpr std::uint32_t WM_USER = 0x0400;
inline constexpr std::uint32_t WM_STOPMONITOR = WM_USER + 1;  // 1025: posted by stop()
inline constexpr std::uint32_t WM_SHELLNOTIFY = WM_USER + 2;  // 1026: one change
// Interrupt level, shell level and recursive interrupt notifications.
inline constexpr std::int32_t kNotifySourceFlags = 0x1003;

// Everything a recording works with. The referenced objects must outlive the recording's
// threads (waitForEnd tells when they have ended).
struct MonitorContext {
  Platform platform;
  UiDispatcher& ui;
  MonitorControls& controls;
  CaptureOptions options;  // the snapshot of the capture options taken when the recording starts
  BatchView& view;
};

// The thread that runs one recording: it sets the buttons to the recording state, creates the
// hidden window and the queue thread, reads the capture choices, registers one recursive
// subscription per chosen drive and runs the message loop until stopped; then it undoes it all.
//
// Threads: start, setPause and stop are called on the user-interface thread; everything else
// runs on the monitor thread. The monitor keeps itself alive while its thread runs, so a
// caller's reference never dangles.
class TShellMonitor : public std::enable_shared_from_this<TShellMonitor> {
 public:
  explicit TShellMonitor(MonitorContext context);
  ~TShellMonitor();
  TShellMonitor(const TShellMonitor&) = delete;
  TShellMonitor& operator=(const TShellMonitor&) = delete;

  // Creates a monitor and starts its thread at the highest priority the platform allows.
  static std::shared_ptr<TShellMonitor> start(MonitorContext context);

  // Pauses (true) or resumes (false) the recording; nothing happens before the queue exists
  // or once it has been asked to terminate.
  void setPause(bool b);
  // Asks the recording to end and returns at once. A stop asked for before the monitor's
  // message queue exists is remembered and honoured as soon as it does.
  void stop();

  // Waits until the monitor thread and its queue thread have ended; true when they have
  // within `timeout`.
  bool waitForEnd(std::chrono::milliseconds timeout) const;
  bool hasEnded() const;

  // How many drives the recording registered; -1 while it is still setting up.
  int registeredCount() const { return registeredDrives.load(); }
  // True while the queue holds events not yet taken for delivery.
  bool hasQueuedEvents() const;
  // How many notifications became queued events so far.
  std::uint64_t capturedCount() const;

  // The thread body; start() runs it on a new thread. Tests may run it on a thread of theirs.
  void Execute();

 private:
  void handleNotify(const ThreadMessage& msg);
  std::string getItemPath(const ThreadMessage& msg, int position);
  void setUp();
  void runMessageLoop();
  void stopSequence();

  MonitorContext ctx;
  std::unique_ptr<NotifyWindow> FWndHandle;
  std::vector<std::unique_ptr<TShellNotifierObj>> NotifyList;
  ThreadMessage Msg;

  // The queue, shared with setPause under one lock so that a pause never reaches a queue that
  // has been asked to terminate.
  mutable std::mutex stackLock;
  std::shared_ptr<TItemsStack> ItemsStack;  // guarded by stackLock
  std::weak_ptr<TItemsStack> queueWatch;    // guarded by stackLock: to wait for the queue thread's end

  std::atomic<std::uint64_t> threadId{0};
  std::atomic<bool> stopRequested{false};
  std::atomic<int> registeredDrives{-1};

  mutable std::mutex endLock;
  mutable std::condition_variable endChanged;
  bool ended = false;  // guarded by endLock
};

}  // namespace tw
