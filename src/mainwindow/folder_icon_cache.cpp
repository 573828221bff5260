#include "mainwindow/folder_icon_cache.h"

#include <utility>

#include "util/functions.h"

namespace tw {

TFolderIconCache::TFolderIconCache(Platform& platform, std::chrono::milliseconds window, Now now)
    : platform(platform), window(window), now(std::move(now)), currentSince(this->now()) {}

int TFolderIconCache::folderIcon(std::string_view path) {
  const Clock::time_point at = now();
  if (at - currentSince >= window) {
    previous.swap(current);
    current.clear();
    currentSince = at;
  }
  if (const auto it = current.find(path); it != current.end()) return it->second.icon;
  if (const auto it = previous.find(path); it != previous.end() && at - it->second.askedAt < window) {
    const Entry kept = it->second;
    current.emplace(path, kept);
    return kept.icon;
  }
  const int icon = getFolderIconIndex(platform, path);
  current.emplace(path, Entry{icon, at});
  return icon;
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
