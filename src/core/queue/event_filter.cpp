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

}  // namespace tw
