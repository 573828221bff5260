#include "core/queue/event_filter.h"

#include "core/events/event_kinds.h"

namespace tw {

std::string_view pathExtension(std::string_view path, PathStyle style) {
  const auto dot = path.rfind('.');
  if (dot == std::string_view::npos) return {};
  const auto folderEnd = path.find_last_of(style == PathStyle::Windows ? std::string_view("\\:") : "/");
  if (folderEnd != std::string_view::npos && folderEnd > dot) return {};
  return path.substr(dot);
}

bool isTreeEvent(int eventNum) {
  const std::optional<EventKind> kind = eventKindOf(eventNum);
  if (!kind) return false;
  switch (*kind) {
    case EventKind::FileCreated:
    case EventKind::FileDeleted:
    case EventKind::FolderCreated:
    case EventKind::FolderRenamed:
    case EventKind::FileRenamed:
    case EventKind::FolderDeleted:
    case EventKind::FolderNeedsRescan:
    case EventKind::FileUpdated:
      return true;
    default:
      return false;
  }
}

}  // namespace tw
