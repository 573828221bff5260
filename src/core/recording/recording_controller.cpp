#include "core/recording/recording_controller.h"

#include <algorithm>
#include <exception>
#include <span>
#include <thread>
#include <utility>

#include "core/report/export_report.h"

namespace tw {

namespace {

// How many changes are filed between two looks at the clock while a batch is applied.
constexpr std::size_t kChangesBetweenClockReads = 32;

}  // namespace

// One item of the user-interface thread's work: a batch to apply, or the end of the recording.
struct RecordingController::UiItem {
  FilteredBatch batch;
  bool end = false;
  bool started = false;
  bool viewsEnded = false;  // the views have announced the batch
  bool finished = false;    // the listener has been told its end too
  std::size_t next = 0;     // the first change of the batch not applied yet
};

// One recording: its queue, filter and loops, what its threads post, and the threads.
struct RecordingController::Recording : public BatchOutlet, public MonitorEvents {
  Recording(RecordingController& owner, std::uint64_t number, const CaptureOptions& options)
      : number(number),
        options(options),
        pathStyle(owner.services.pathStyle),
        ui(owner.services.ui),
        anchor(owner.anchor),
        queue(&wake),
        monitor(owner.services.watching, owner.services.drives, options, queue, *this),
        delivery(queue, filter, *this, wake, owner.schedule.interval, owner.schedule.maxOutstandingBatches) {}

  ~Recording() override {
    // Without delivering the rest: a recording still running when its controller goes.
    monitor.requestStop();
    delivery.abandon();
    joinThreads();
  }

  // Runs `work` on the user-interface thread, unless the controller is gone by then.
  void post(std::function<void(RecordingController&)> work) {
    ui.post([weak = anchor, work = std::move(work)] {
      if (const auto alive = weak.lock()) work(*alive->controller);
    });
  }

  // BatchOutlet, on the delivery thread. The batch travels in a shared pointer because posted
  // work must be copyable.
  void deliver(FilteredBatch batch) override {
    auto shared = std::make_shared<FilteredBatch>(std::move(batch));
    post([n = number, shared](RecordingController& c) { c.receiveBatch(n, std::move(*shared)); });
  }
  void deliveryFinished() override {
    post([n = number](RecordingController& c) { c.receiveEnd(n); });
  }

  // MonitorEvents, on the monitor thread.
  void watchStarted(std::vector<std::string> roots) override {
    post([n = number, roots = std::move(roots)](RecordingController& c) { c.receiveWatchStarted(n, roots); });
  }
  void noticesReceived(std::vector<WatchNotice> notices) override {
    post(
        [n = number, notices = std::move(notices)](RecordingController& c) { c.receiveNotices(n, notices); });
  }
  void monitorFailed(std::string message) override {
    post(
        [n = number, message = std::move(message)](RecordingController& c) { c.receiveFailure(n, message); });
  }
  void monitorEnded() override { delivery.finish(); }

  void startThreads(ChangeWatching& watching,
                    const std::function<DeliverySchedule::Clock::time_point()>& clock) {
    monitorThread = std::jthread([this] {
      try {
        monitor.run();
      } catch (const std::exception& e) {
        // Only the reporting itself can fail here (the loop reports its own errors); the
        // delivery still has to end.
        threadFailed(e.what());
      } catch (...) {
        threadFailed("The monitor thread failed for an unknown reason.");
      }
    });
    deliveryThread = std::jthread([this, &watching, clock] {
      try {
        watching.prepareThread();
        buildFilter();
        delivery.run(clock);
      } catch (const std::exception& e) {
        threadFailed(e.what());
      } catch (...) {
        threadFailed("The delivery thread failed for an unknown reason.");
      }
    });
  }

  // A thread ended by an error the loops could not report: the recording ends without the rest
  // of its changes, and says why.
  void threadFailed(const std::string& message) {
    monitor.requestStop();
    delivery.abandon();
    try {
      monitorFailed(message);
      deliveryFinished();
    } catch (...) {
      // Posting failed too (no memory left): nothing more can be told.
    }
  }

  // Built from the options snapshot when the recording starts, on the delivery thread (the
  // thread that uses it), so that long lists do not hold up the user interface.
  void buildFilter() { filter = ChangeFilter(options.excludedFolders, options.extensions, pathStyle); }

  void joinThreads() {
    monitorThread = std::jthread();
    deliveryThread = std::jthread();
  }

  const std::uint64_t number;
  const CaptureOptions options;
  const PathStyle pathStyle;
  UiThread& ui;
  const std::weak_ptr<Anchor> anchor;
  WakeSignal wake;
  ChangeQueue queue;
  ChangeFilter filter;  // the delivery thread's, once built
  MonitorLoop monitor;
  DeliveryLoop delivery;
  std::atomic<std::uint64_t> delivered{0};
  // The user-interface thread's.
  std::deque<UiItem> items;
  std::string failure;
  // Last, so that they are joined before anything they use goes.
  std::jthread monitorThread;
  std::jthread deliveryThread;
};

RecordingController::RecordingController(RecordingServices services, DeliverySchedule schedule)
    : services(services), schedule(std::move(schedule)), anchor(std::make_shared<Anchor>(Anchor{this})) {
  if (!this->schedule.clock) this->schedule.clock = [] { return DeliverySchedule::Clock::now(); };
}

RecordingController::~RecordingController() {
  anchor.reset();
  std::unique_ptr<Recording> ending;
  {
    std::lock_guard guard(recordingLock);
    ending = std::move(recording);
  }
}

bool RecordingController::isCurrent(std::uint64_t number) const {
  return recording && recording->number == number && current != RecordingState::Idle;
}

void RecordingController::setState(RecordingState state) {
  current = state;
  services.listener.stateChanged(state);
}

void RecordingController::record(const CaptureOptions& options) {
  if (current != RecordingState::Idle) return;
  auto fresh = std::make_unique<Recording>(*this, ++recordings, options);
  std::unique_ptr<Recording> previous;
  {
    std::lock_guard guard(recordingLock);
    previous = std::move(recording);
    recording = std::move(fresh);
  }
  previous.reset();
  pumpPosted = false;
  setState(RecordingState::Recording);
  if (schedule.ownThreads) {
    recording->startThreads(services.watching, schedule.clock);
  } else {
    recording->buildFilter();
  }
}

void RecordingController::stop() {
  if (current != RecordingState::Recording && current != RecordingState::Paused) return;
  setState(RecordingState::Stopping);
  recording->monitor.requestStop();
}

void RecordingController::pause() {
  if (current != RecordingState::Recording) return;
  recording->queue.setPaused(true);
  setState(RecordingState::Paused);
}

void RecordingController::resume() {
  if (current != RecordingState::Paused) return;
  recording->queue.setPaused(false);
  setState(RecordingState::Recording);
}

void RecordingController::clean() {
  if (services.views != nullptr) services.views->clear();
}

Status RecordingController::exportReport(std::string_view caption, std::string_view path) {
  if (services.views == nullptr)
    return Status::failure("This recording keeps no tree and no list to export.");
  std::string error;
  if (!exportReportFile(services.files, path, caption, *services.views, &error)) {
    return Status::failure(error.empty() ? "Cannot write " + std::string(path) : error);
  }
  return {};
}

std::uint64_t RecordingController::changesRead() const {
  std::lock_guard guard(recordingLock);
  return recording ? recording->queue.appendedCount() : 0;
}

std::uint64_t RecordingController::changesFilteredOut() const {
  std::lock_guard guard(recordingLock);
  return recording ? recording->delivery.filteredOut() : 0;
}

std::uint64_t RecordingController::changesDelivered() const {
  std::lock_guard guard(recordingLock);
  return recording ? recording->delivered.load() : 0;
}

std::uint64_t RecordingController::changesUndelivered() const {
  std::lock_guard guard(recordingLock);
  if (!recording) return 0;
  // Read last, so that it is never behind the other two.
  const std::uint64_t done = recording->delivered.load() + recording->delivery.filteredOut();
  const std::uint64_t read = recording->queue.appendedCount();
  return read > done ? read - done : 0;
}

MonitorLoop* RecordingController::monitorLoop() {
  return current != RecordingState::Idle && recording ? &recording->monitor : nullptr;
}

DeliveryLoop* RecordingController::deliveryLoop() {
  return current != RecordingState::Idle && recording ? &recording->delivery : nullptr;
}

void RecordingController::receiveWatchStarted(std::uint64_t number, const std::vector<std::string>& roots) {
  if (isCurrent(number)) services.listener.watchStarted(roots);
}

void RecordingController::receiveNotices(std::uint64_t number, const std::vector<WatchNotice>& notices) {
  if (!isCurrent(number)) return;
  for (const WatchNotice& notice : notices) services.listener.noticeReceived(notice);
}

void RecordingController::receiveFailure(std::uint64_t number, const std::string& message) {
  if (isCurrent(number)) endWithFailure(message);
}

void RecordingController::endWithFailure(const std::string& message) {
  if (recording->failure.empty()) recording->failure = message;
  if (current == RecordingState::Recording || current == RecordingState::Paused) {
    setState(RecordingState::Stopping);
    recording->monitor.requestStop();
  }
}

void RecordingController::receiveBatch(std::uint64_t number, FilteredBatch batch) {
  if (!isCurrent(number)) return;
  recording->items.push_back(UiItem{std::move(batch), false, false, false, false, 0});
  schedulePump();
}

void RecordingController::receiveEnd(std::uint64_t number) {
  if (!isCurrent(number)) return;
  recording->items.push_back(UiItem{{}, true, false, false, false, 0});
  schedulePump();
}

void RecordingController::schedulePump() {
  if (pumpPosted) return;
  pumpPosted = true;
  services.ui.post([weak = std::weak_ptr<Anchor>(anchor)] {
    if (const auto alive = weak.lock()) alive->controller->pump();
  });
}

void RecordingController::pump() {
  pumpPosted = false;
  if (!recording || current == RecordingState::Idle) return;
  // A listener that runs a nested event loop (a modal dialog) may bring this step back while it
  // is under way: the items stay in order for the next one.
  if (pumping) {
    schedulePump();
    return;
  }
  pumping = true;
  const auto started = std::chrono::steady_clock::now();
  const auto timeIsUp = [&] { return std::chrono::steady_clock::now() - started >= schedule.uiStepBudget; };
  std::deque<UiItem>& items = recording->items;
  bool ended = false;
  while (!items.empty()) {
    UiItem& item = items.front();
    if (item.end) {
      items.pop_front();
      ended = true;
      break;
    }
    bool complete = false;
    try {
      complete = applySome(item, timeIsUp);
    } catch (const std::exception& e) {
      applyFailed(item, e.what());
      complete = true;
    } catch (...) {
      applyFailed(item, "The views could not take a change.");
      complete = true;
    }
    if (!complete) break;  // the rest of the batch in the next step
    items.pop_front();
    recording->delivery.batchApplied();
    if (timeIsUp()) break;
  }
  pumping = false;
  if (ended) {
    finishRecording();
  } else if (!items.empty()) {
    schedulePump();
  }
}

bool RecordingController::applySome(UiItem& item, const std::function<bool()>& timeIsUp) {
  CaptureViews* views = services.views;
  RecordingListener& listener = services.listener;
  const std::vector<Change>& changes = item.batch.changes;
  if (!item.started) {
    item.started = true;
    if (views != nullptr) views->beginBatch();
    listener.batchStarted(item.batch.size);
  }
  // In groups, so that the clock is read now and then and the listener's work (printing, in
  // the recorder) counts towards the step too.
  const std::size_t from = item.next;
  while (item.next < changes.size()) {
    const std::size_t group = item.next;
    const std::size_t end = std::min(changes.size(), group + kChangesBetweenClockReads);
    if (views != nullptr) {
      for (std::size_t i = group; i < end; ++i) views->add(changes[i]);
    }
    listener.changesDelivered(std::span<const Change>(changes).subspan(group, end - group));
    item.next = end;
    recording->delivered.fetch_add(end - group);
    if (timeIsUp()) break;
  }
  if (item.next > from) listener.batchProgress(item.batch.indexes[item.next - 1]);
  if (item.next < changes.size()) return false;
  // The batch's end takes steps of its own where the adding, or the views' announcement, used
  // up the step: each relays out the view shown (the new rows; the progress bar gone), and
  // both after a full step would keep the window from its input and paints for three steps.
  if (!item.viewsEnded) {
    if (item.next > from && timeIsUp()) return false;
    item.viewsEnded = true;
    if (views != nullptr) views->endBatch();
    if (timeIsUp()) return false;
  }
  item.finished = true;
  listener.batchFinished();
  return true;
}

void RecordingController::applyFailed(UiItem& item, const std::string& message) {
  // The batch is wound up (the bar hidden, the views told) and the rest of it dropped; the
  // recording ends, delivering what follows, and the error reaches the user.
  if (item.started && !item.finished) {
    try {
      if (services.views != nullptr && !item.viewsEnded) services.views->endBatch();
      services.listener.batchFinished();
    } catch (...) {
      // The error that ends the recording is already being reported.
    }
  }
  endWithFailure(message);
}

void RecordingController::finishRecording() {
  recording->joinThreads();
  const bool clean = recording->options.cleanOnStop;
  const std::string failure = recording->failure;
  if (clean && services.views != nullptr) services.views->clear();
  setState(RecordingState::Idle);
  if (!failure.empty()) services.listener.recordingFailed(failure);
}

}  // namespace tw
