#include "mainwindow/folder_icon_cache.h"

#include <algorithm>
#include <exception>
#include <utility>

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
  if (const auto it = current.find(path); it != current.end()) return &it->second;
  if (const auto it = previous.find(path); it != previous.end() && at - it->second.askedAt < window) {
    return &current.emplace(path, it->second).first->second;
  }
  return nullptr;
}

int TFolderIconCache::folderIcon(std::string_view path) {
  const Clock::time_point at = tick();
  if (const Entry* entry = kept(path, at)) return entry->icon;
  const int icon = getFolderIconIndex(platform, path);
  current.emplace(path, Entry{icon, at});
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
  for (std::size_t j = 0; j < ask.size(); ++j) current.emplace(ask[j], Entry{answers[j], at});
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

std::size_t TFolderIconCache::bytesUsed() const {
  std::size_t bytes = 0;
  for (const Generation* generation : {&current, &previous}) {
    bytes += generation->bucket_count() * sizeof(void*);
    for (const auto& [path, entry] : *generation) {
      bytes += sizeof(std::pair<const std::string, Entry>) + 2 * sizeof(void*);
      if (path.capacity() > 15) bytes += path.capacity() + 1;
    }
  }
  return bytes;
}

}  // namespace tw
