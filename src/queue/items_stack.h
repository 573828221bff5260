#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "queue/item_obj.h"

namespace tw {

// The hand-over of captured events from the monitor thread to the queue thread.
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
  void addItem(std::string item1, std::string item2, int eventNum);

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

 private:
  mutable std::mutex itemLock;
  std::vector<TItemObj> itemList;  // guarded by itemLock
  std::atomic<bool> paused{false};
  Filters dirFiltersList;
  Filters extFiltersList;
};

}  // namespace tw
