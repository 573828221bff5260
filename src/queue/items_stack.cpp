#include "queue/items_stack.h"

#include "util/text_lines.h"

namespace tw {

void TItemsStack::addItem(std::string item1, std::string item2, int eventNum) {
  std::lock_guard lock(itemLock);
  itemList.emplace_back(std::move(item1), std::move(item2), eventNum);
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
