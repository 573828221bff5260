#include "core/model/path_parts.h"

namespace tw {

std::vector<std::string_view> splitPathSegments(std::string_view path, PathStyle style) {
  std::vector<std::string_view> segments;
  splitPathSegments(path, style, segments);
  return segments;
}

void splitPathSegments(std::string_view path, PathStyle style, std::vector<std::string_view>& segments) {
  segments.clear();
  std::size_t start = 0;
  std::size_t i = 0;
  if (style == PathStyle::Posix) {
    if (!path.empty() && path[0] == '/') {
      segments.emplace_back(path.substr(0, 1));
      start = i = 1;
    }
    for (; i < path.size(); ++i) {
      if (path[i] == '/') {
        segments.push_back(path.substr(start, i - start));
        start = i + 1;
      }
    }
  } else {
    // The same cut as turning every '\' into a line break and splitting the text into lines.
    while (i < path.size()) {
      const char c = path[i];
      if (c == '\\' || c == '\r' || c == '\n') {
        segments.push_back(path.substr(start, i - start));
        i += (c == '\r' && i + 1 < path.size() && path[i + 1] == '\n') ? 2 : 1;
        start = i;
      } else {
        ++i;
      }
    }
  }
  if (start < path.size()) segments.push_back(path.substr(start));
}

std::string_view lastSegment(std::string_view path, PathStyle style) {
  const auto at = path.rfind(pathSeparator(style));
  return at == std::string_view::npos ? path : path.substr(at + 1);
}

namespace {

std::size_t lastFolderEnd(std::string_view path, PathStyle style) {
  return style == PathStyle::Windows ? path.find_last_of("\\:") : path.rfind('/');
}

}  // namespace

std::string_view fileNamePart(std::string_view path, PathStyle style) {
  const auto at = lastFolderEnd(path, style);
  return at == std::string_view::npos ? path : path.substr(at + 1);
}

std::string_view folderPart(std::string_view path, PathStyle style) {
  const auto at = lastFolderEnd(path, style);
  return at == std::string_view::npos ? std::string_view() : path.substr(0, at + 1);
}

}  // namespace tw
