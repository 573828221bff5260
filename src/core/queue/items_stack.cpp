#include "core/queue/items_stack.h"

#include <thread>

#include "core/queue/event_filter.h"
#include "core/text/text_lines.h"

namespace tw {

void TItemsStack::addItem(std::string item1, std::string item2, int eventNum, std::int32_t processId,
                          std::string processName) {
  {
    std::lock_guard lock(itemLock);
    itemList.emplace_back(std::move(item1), std::move(item2), eventNum, processId, std::move(processName));
  }
  added.fetch_add(1, std::memory_order_relaxed);
}

void TItemsStack::setDirFilters(std::string_view str) { dirFiltersList = splitLines(str); }

void TItemsStack::setExtFilters(std::string_view str) { extFiltersList = splitLines(str); }

std::size_t TItemsStack::takeAll(std::vector<TItemObj>& batch) {
  std::vector<TItemObj> taken;
  {
    std::lock_guard lock(itemLock);
    taken.swap(itemList);
  }
  // The queue's old storage is moved out under the lock in O(1); the copy into the caller's
  // batch happens without holding it, so addItem never waits for it.
  const std::size_t count = taken.size();
  if (batch.empty()) {
    batch.swap(taken);
  } else {
    batch.reserve(batch.size() + count);
    for (auto& item : taken) batch.push_back(std::move(item));
  }
  return count;
}

bool TItemsStack::hasItems() const {
  std::lock_guard lock(itemLock);
  return !itemList.empty();
}

}  // namespace tw

namespace tw {

namespace {

// A synchronised call gives the user-interface thread back after about this long.
constexpr auto kStepBudget = std::chrono::milliseconds(15);

}  // namespace

void TItemsStack::start(const std::shared_ptr<TItemsStack>& self, UiDispatcher& ui, BatchView& view,
                        PathStyle style, std::function<void()> onThreadStart) {
  std::thread([self = self, &ui, &view, style, onThreadStart = std::move(onThreadStart)]() mutable {
    try {
      if (onThreadStart) onThreadStart();
      self->execute(ui, view, style);
    } catch (...) {
      // execute() contains every error of a batch; nothing else can throw, and a thread entry
      // point must not let anything escape.
    }
    // Release the queued events, the batch and the filters with the queue, then signal the end.
    TItemsStack* queue = self.get();
    {
      std::lock_guard guard(queue->itemLock);
      queue->itemList.clear();
    }
    std::shared_ptr<TItemsStack> keepUntilSignalled = std::move(self);
    {
      std::lock_guard guard(queue->stateLock);
      queue->ended = true;
      queue->stateChanged.notify_all();
    }
  }).detach();
}

void TItemsStack::terminate() {
  terminated.store(true);
  std::lock_guard guard(stateLock);
  stateChanged.notify_all();
}

bool TItemsStack::waitForEnd(std::chrono::milliseconds timeout) const {
  std::unique_lock guard(stateLock);
  return stateChanged.wait_for(guard, timeout, [&] { return ended; });
}

void TItemsStack::execute(UiDispatcher& ui, BatchView& view, PathStyle style) {
  while (!terminated.load()) {
    {
      // The full interval, unless termination is asked for: then the thread ends sooner.
      std::unique_lock guard(stateLock);
      stateChanged.wait_for(guard, kWakeInterval, [&] { return terminated.load(); });
    }
    try {
      wakeUp(ui, view, style);
    } catch (...) {
      // A batch that failed has been wound up by deliverBatch; the next wake-up goes on.
    }
  }
}

bool TItemsStack::wakeUp(UiDispatcher& ui, BatchView& view, PathStyle style) {
  if (!hasItems() || getPause() || terminated.load()) return false;
  std::vector<TItemObj> batch;
  takeAll(batch);
  deliverBatch(batch, ui, view, style);
  return true;
}

void TItemsStack::deliverBatch(const std::vector<TItemObj>& batch, UiDispatcher& ui, BatchView& view,
                               PathStyle style) const {
  // Filtering happens here, on the queue thread; the user-interface steps only deliver.
  std::vector<int> survivors;
  survivors.reserve(batch.size());
  for (std::size_t i = 0; i < batch.size(); ++i) {
    const TItemObj& item = batch[i];
    if (isExcludedPath(item.getItem1(), dirFiltersList, style)) continue;
    if (!passesExtensionFilter(item.getItem1(), item.getItem2(), item.getEventNum(), extFiltersList, style))
      continue;
    survivors.push_back(static_cast<int>(i));
  }

  const int count = static_cast<int>(batch.size());
  ui.synchronize([&] { view.showBatchProgress(count); });
  try {
    std::size_t next = 0;
    while (next < survivors.size()) {
      ui.synchronize([&] {
        const auto started = std::chrono::steady_clock::now();
        int inStep = 0;
        while (next < survivors.size()) {
          const int i = survivors[next];
          const TItemObj& item = batch[static_cast<std::size_t>(i)];
          view.setEventProcess(item.getProcessId(), item.getProcessName());
          if (isTreeEvent(item.getEventNum())) {
            view.addDirectoryFile(item.getItem1(), item.getItem2(), item.getEventNum());
          }
          view.addListItem(item.getItem1(), item.getItem2(), item.getEventNum());
          view.setBatchPosition(i);
          ++next;
          if (++inStep % 32 == 0 && std::chrono::steady_clock::now() - started >= kStepBudget) break;
        }
      });
    }
  } catch (...) {
    ui.synchronize([&] { view.hideBatchProgress(); });
    throw;
  }
  ui.synchronize([&] { view.hideBatchProgress(); });
}

}  // namespace tw
