#include "core/queue/event_filter.h"

#include <algorithm>

#include "core/events/event_kinds.h"

namespace tw {

std::string_view pathExtension(std::string_view path, PathStyle style) {
  const auto dot = path.rfind('.');
  if (dot == std::string_view::npos) return {};
  const auto folderEnd = path.find_last_of(style == PathStyle::Windows ? std::string_view("\\:") : "/");
  if (folderEnd != std::string_view::npos && folderEnd > dot) return {};
  return path.substr(dot);
}

bool isExcludedPath(std::string_view item1, const std::optional<std::vector<std::string>>& dirFilters,
                    PathStyle style) {
  if (!dirFilters || dirFilters->empty()) return false;
  const std::string path = withTrailingSeparator(item1, style);
  return std::any_of(dirFilters->begin(), dirFilters->end(),
                     [&](const std::string& entry) { return startsWithIgnoreAsciiCase(path, entry); });
}

bool passesExtensionFilter(std::string_view item1, std::string_view item2, int eventNum,
                           const std::optional<std::vector<std::string>>& extFilters, PathStyle style) {
  if (!extFilters || extFilters->empty() || isNotFileEvent(eventNum)) return true;
  const std::string_view ext1 = pathExtension(item1, style);
  const std::string_view ext2 = pathExtension(item2, style);
  return std::any_of(extFilters->begin(), extFilters->end(), [&](const std::string& entry) {
    return equalsIgnoreAsciiCase(entry, ext1) || equalsIgnoreAsciiCase(entry, ext2);
  });
}

bool isTreeEvent(int eventNum) {
  switch (eventNum) {
    case evCreate:
    case evDelete:
    case evMkDir:
    case evRenameFolder:
    case evRenameItem:
    case evRmDir:
    case evUpdateDir:
    case evUpdateItem:
      return true;
    default:
      return false;
  }
}

}  // namespace tw
