#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/queue/batch_view.h"
#include "core/queue/item_obj.h"
#include "core/queue/ui_dispatcher.h"
#include "core/text/path_style.h"

namespace tw {

class Platform;

// The hand-over of captured events from the monitor thread to the queue thread, and the queue
// thread itself: once a second it takes everything queued, filters it and delivers the
// survivors to the main window.
//
// Threads: addItem is called on the monitor thread; takeAll and hasItems on the queue thread;
// setPause on the user-interface thread at any time; the filter setters on the user-interface
// thread before the queue thread starts (starting the thread orders those writes before the
// queue thread's reads). The queue owns every event from addItem until takeAll hands it to the
// caller's batch.
class TItemsStack {
 public:
  using Filters = std::optional<std::vector<std::string>>;

  TItemsStack() = default;
  TItemsStack(const TItemsStack&) = delete;
  TItemsStack& operator=(const TItemsStack&) = delete;
  virtual ~TItemsStack() = default;

  // Appends one event. Tests nothing (pause, filters, event range); only takes the lock for the
  // append, which is never held while a batch is delivered.
  // `processId` and `processName` say which process made the change, where known.
  void addItem(std::string item1, std::string item2, int eventNum, std::int32_t processId = 0,
               std::string processName = {});

  void setPause(bool b) { paused.store(b); }
  bool getPause() const { return paused.load(); }

  // Replace the filter list with the lines of `str` (see splitLines). An empty text leaves a
  // present, empty list, which filters nothing, as an absent one does.
  void setDirFilters(std::string_view str);
  void setExtFilters(std::string_view str);
  const Filters& getDirFilters() const { return dirFiltersList; }
  const Filters& getExtFilters() const { return extFiltersList; }

  // Moves every queued event, oldest first, into `batch` (appended after what it holds) and
  // leaves the queue empty, as one step under the lock. Returns the number moved.
  std::size_t takeAll(std::vector<TItemObj>& batch);

  // True when events are waiting to be taken.
  bool hasItems() const;
  // How many events have been appended since the queue was made.
  std::uint64_t addedCount() const { return added.load(std::memory_order_relaxed); }

  // The thread. ------------------------------------------------------------------------------

  // How long the thread sleeps between two wake-ups.
  static constexpr std::chrono::milliseconds kWakeInterval{1000};

  // Starts the queue thread. The thread keeps `self` alive until its body returns, so the
  // queue frees itself when its thread ends once every other owner has let it go. `ui` and
  // `view` must outlive the thread (waitForEnd tells when it has ended).
  static void start(const std::shared_ptr<TItemsStack>& self, UiDispatcher& ui, BatchView& view,
                    PathStyle style, std::function<void()> onThreadStart = {});

  // Asks the thread to end: it ends at its next wake-up (at the latest kWakeInterval later),
  // after delivering a batch under way to its end, and without taking another one. Events still
  // queued then are dropped.
  void terminate();
  bool isTerminated() const { return terminated.load(); }

  // Waits until the thread body has returned; true when it has within `timeout`.
  bool waitForEnd(std::chrono::milliseconds timeout) const;

  // One wake-up of the thread, without the sleep: unless the queue is empty, paused or asked to
  // terminate, takes every queued event and delivers the batch. Returns true when a batch was
  // taken. The thread body is this step in a loop; tests drive it directly.
  bool wakeUp(UiDispatcher& ui, BatchView& view, PathStyle style);

  // Delivers one batch: shows the bar, hands every event that passes the filters to the tree
  // (for the kinds that change it) and to the list, then hides the bar; the bar is hidden again
  // whatever ends the batch. Events are grouped into few synchronised calls, each of which
  // gives the user-interface thread back after about a frame.
  void deliverBatch(const std::vector<TItemObj>& batch, UiDispatcher& ui, BatchView& view,
                    PathStyle style) const;

 private:
  void execute(UiDispatcher& ui, BatchView& view, PathStyle style);

  mutable std::mutex itemLock;
  std::vector<TItemObj> itemList;  // guarded by itemLock
  std::atomic<bool> paused{false};
  std::atomic<std::uint64_t> added{0};
  Filters dirFiltersList;
  Filters extFiltersList;

  std::atomic<bool> terminated{false};
  mutable std::mutex stateLock;
  mutable std::condition_variable stateChanged;  // terminate requested, or the body ended
  bool ended = false;                            // guarded by stateLock
};

}  // namespace tw
