#include "mainwindow/folder_icon_cache.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "mainwindow/text_pool.h"
#include "util/functions.h"

namespace tw {

TFolderIconCache::TFolderIconCache(Platform& platform, std::chrono::milliseconds window, Now now)
    : platform(platform), window(window), now(std::move(now)), currentSince(this->now()) {}

TFolderIconCache::Clock::time_point TFolderIconCache::tick() {
  const Clock::time_point at = now();
  if (at - currentSince >= window) {
    previous.swap(current);
    current.clear();
    currentSince = at;
  }
  return at;
}

const TFolderIconCache::Entry* TFolderIconCache::kept(std::string_view path, Clock::time_point at) {
  const std::uint64_t hash = TTextPool::hashExact(path);
  if (const Entry* entry = current.find(path, hash)) return entry;
  if (const Entry* entry = previous.find(path, hash); entry != nullptr && at - entry->askedAt < window) {
    return &current.add(path, hash, *entry);
  }
  return nullptr;
}

int TFolderIconCache::folderIcon(std::string_view path) {
  const Clock::time_point at = tick();
  if (const Entry* entry = kept(path, at)) return entry->icon;
  const int icon = getFolderIconIndex(platform, path);
  current.add(path, TTextPool::hashExact(path), Entry{icon, at});
  return icon;
}

std::vector<int> TFolderIconCache::folderIcons(const std::vector<std::string_view>& paths) {
  const Clock::time_point at = tick();
  std::vector<int> result(paths.size(), 0);
  std::vector<std::size_t> missing;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (const Entry* entry = kept(paths[i], at)) {
      result[i] = entry->icon;
    } else {
      missing.push_back(i);
    }
  }
  if (missing.empty()) return result;
  std::sort(missing.begin(), missing.end(), [&](std::size_t a, std::size_t b) { return paths[a] < paths[b]; });
  std::vector<std::string_view> ask;
  for (const std::size_t i : missing) {
    if (ask.empty() || ask.back() != paths[i]) ask.push_back(paths[i]);
  }
  std::vector<int> answers;
  try {
    answers = platform.pathIconIndexes(ask);
  } catch (const std::exception&) {
    answers.clear();  // every answer 0, as a failed query gives
  }
  answers.resize(ask.size(), 0);
  std::size_t next = 0;
  for (const std::size_t i : missing) {
    if (paths[i] != ask[next]) ++next;
    result[i] = answers[next];
  }
  for (std::size_t j = 0; j < ask.size(); ++j) current.add(ask[j], TTextPool::hashExact(ask[j]), Entry{answers[j], at});
  return result;
}

int TFolderIconCache::systemFolderIcon() {
  if (systemIcon == 0) systemIcon = getFolderIconIndex(platform, getWindowsDir(platform));
  return systemIcon;
}

void TFolderIconCache::clear() {
  Generation().swap(current);
  Generation().swap(previous);
  currentSince = now();
  systemIcon = 0;
}

std::size_t TFolderIconCache::bytesUsed() const { return current.bytesUsed() + previous.bytesUsed(); }

const TFolderIconCache::Entry* TFolderIconCache::Generation::find(std::string_view path, std::uint64_t hash) const {
  if (table.empty()) return nullptr;
  const std::size_t mask = table.size() - 1;
  for (std::size_t slot = hash & mask; table[slot] != kFree; slot = (slot + 1) & mask) {
    const Item& item = items[table[slot]];
    if (item.hash == hash && std::string_view(chars).substr(item.offset, item.size) == path) return &item.entry;
  }
  return nullptr;
}

const TFolderIconCache::Entry& TFolderIconCache::Generation::add(std::string_view path, std::uint64_t hash,
                                                                 const Entry& entry) {
  if ((items.size() + 1) * 2 > table.size()) grow();
  const std::size_t mask = table.size() - 1;
  std::size_t slot = hash & mask;
  while (table[slot] != kFree) slot = (slot + 1) & mask;
  table[slot] = static_cast<std::uint32_t>(items.size());
  items.push_back(Item{chars.size(), path.size(), hash, entry});
  chars.append(path);
  return items.back().entry;
}

void TFolderIconCache::Generation::grow() {
  std::vector<std::uint32_t> bigger(std::max<std::size_t>(64, table.size() * 2), kFree);
  const std::size_t mask = bigger.size() - 1;
  for (std::size_t i = 0; i < items.size(); ++i) {
    std::size_t slot = items[i].hash & mask;
    while (bigger[slot] != kFree) slot = (slot + 1) & mask;
    bigger[slot] = static_cast<std::uint32_t>(i);
  }
  table.swap(bigger);
}

void TFolderIconCache::Generation::clear() {
  // A generation usually holds about as much as the one before: storage of that size is kept,
  // much more (after a burst) is given back.
  const std::size_t held = items.size();
  if (items.capacity() > 4 * held + 1024) {
    std::string().swap(chars);
    std::vector<Item>().swap(items);
    std::vector<std::uint32_t>().swap(table);
    return;
  }
  chars.clear();
  items.clear();
  std::fill(table.begin(), table.end(), kFree);
}

void TFolderIconCache::Generation::swap(Generation& other) noexcept {
  chars.swap(other.chars);
  items.swap(other.items);
  table.swap(other.table);
}

std::size_t TFolderIconCache::Generation::bytesUsed() const {
  return chars.capacity() + items.capacity() * sizeof(Item) + table.capacity() * sizeof(std::uint32_t);
}

}  // namespace tw
