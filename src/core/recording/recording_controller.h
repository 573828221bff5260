#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "core/model/capture_views.h"
#include "core/queue/delivery_loop.h"
#include "core/recording/capture_options.h"
#include "core/recording/monitor_loop.h"
#include "core/recording/recording_listener.h"
#include "core/recording/ui_thread.h"
#include "core/text/result.h"
#include "platform/change_watching.h"
#include "platform/drives.h"
#include "platform/files.h"

namespace tw {

// What a recording works with. The front end owns every part and keeps it alive as long as the
// controller.
struct RecordingServices {
  ChangeWatching& watching;
  Drives& drives;
  Files& files;  // for the export report
  UiThread& ui;
  RecordingListener& listener;
  // The tree and the list the changes are filed into; none: a front end that keeps no views
  // (the headless recorder without a report).
  CaptureViews* views = nullptr;
  PathStyle pathStyle = nativePathStyle();  // how the filter splits paths
};

// How delivery is paced. The defaults are the program's; tests inject a clock and step the loops
// themselves.
struct DeliverySchedule {
  using Clock = std::chrono::steady_clock;
  std::chrono::milliseconds interval{1000};  // a batch at most this often
  // Batches handed to the user-interface thread and not yet applied; the delivery thread waits
  // beyond that, so a slow user interface slows the taking instead of growing memory.
  std::size_t maxOutstandingBatches = 2;
  // One step of applying batches on the user-interface thread lasts about this long; the rest
  // of a batch follows in the next step, so that the user interface stays responsive.
  std::chrono::milliseconds uiStepBudget{15};
  std::function<Clock::time_point()> clock;  // empty: the steady clock
  // False: the controller starts no thread; the owner drives monitorLoop() and deliveryLoop()
  // step by step on its own thread (tests).
  bool ownThreads = true;
};

// The one object a front end talks to: records, pauses, resumes, stops, cleans and exports.
// A recording has a monitor thread (MonitorLoop: the watch and its waits), a delivery thread
// (DeliveryLoop: takes from the queue once an interval, filters, hands batches on) and the
// user-interface thread, where the controller applies each batch to the views in steps of about
// uiStepBudget and tells the listener. The order of the changes, the tree, the list and the
// batch progress end exactly as delivering one change at a time would leave them.
//
// Stop loses nothing: every change read from the system before the stop is delivered, paused
// or not, before the state becomes Idle; then the views are cleaned when the options say so.
// An error in the watch ends the recording the same way and is then told to the listener.
//
// Threads: every method runs on the user-interface thread, but the counters, which any thread
// may read. Owns the recording's threads (joined before the state becomes Idle, and on
// destruction); work it posts to the user-interface thread does nothing once the controller is
// gone. Destroying the controller during a recording ends it without delivering the rest.
class RecordingController {
 public:
  RecordingController(RecordingServices services, DeliverySchedule schedule = {});
  ~RecordingController();
  RecordingController(const RecordingController&) = delete;
  RecordingController& operator=(const RecordingController&) = delete;

  RecordingState state() const { return current; }

  // Starts a recording with a snapshot of the options (Idle only; ignored otherwise).
  void record(const CaptureOptions& options);
  // Asks the recording to end (Recording or Paused; ignored otherwise): Stopping until what was
  // read is delivered, then Idle.
  void stop();
  // Holds delivery (Recording only); changes are still read and kept.
  void pause();
  // Delivers what the pause kept, together, and goes on (Paused only).
  void resume();
  // Empties the tree and the list; a recording goes on.
  void clean();
  // Writes the report of the views to `path`; `caption` is the main window's caption.
  Status exportReport(std::string_view caption, std::string_view path);

  CaptureViews* views() { return services.views; }

  // The counts of the latest recording. Any thread.
  std::uint64_t changesRead() const;
  std::uint64_t changesFilteredOut() const;
  std::uint64_t changesDelivered() const;
  // Read and neither delivered nor dropped by the filter (yet).
  std::uint64_t changesUndelivered() const;

  // The loops of the recording running now (null when Idle), for an owner that drives them
  // itself (DeliverySchedule::ownThreads false).
  MonitorLoop* monitorLoop();
  DeliveryLoop* deliveryLoop();

 private:
  struct Recording;
  struct UiItem;
  struct Anchor {
    RecordingController* controller;
  };

  // Posted by the recording's threads; run on the user-interface thread.
  void receiveBatch(std::uint64_t number, FilteredBatch batch);
  void receiveEnd(std::uint64_t number);
  void receiveWatchStarted(std::uint64_t number, const std::vector<std::string>& roots);
  void receiveNotices(std::uint64_t number, const std::vector<WatchNotice>& notices);
  void receiveFailure(std::uint64_t number, const std::string& message);
  void schedulePump();
  void pump();
  // Applies changes of `item` until it is done or the step's time is up; true when it is done.
  bool applySome(UiItem& item, const std::function<bool()>& timeIsUp);
  void applyFailed(UiItem& item, const std::string& message);
  // Ends the recording because of an error, which the listener hears once it is Idle.
  void endWithFailure(const std::string& message);
  void finishRecording();
  void setState(RecordingState state);
  bool isCurrent(std::uint64_t number) const;

  RecordingServices services;
  DeliverySchedule schedule;
  RecordingState current = RecordingState::Idle;
  std::shared_ptr<Anchor> anchor;  // posted work holds it weakly
  std::uint64_t recordings = 0;    // the number of the latest recording
  bool pumpPosted = false;
  bool pumping = false;

  // The latest recording (kept after it ended, for its counts); replaced under the lock, which
  // the counters take.
  mutable std::mutex recordingLock;
  std::unique_ptr<Recording> recording;
};

}  // namespace tw
