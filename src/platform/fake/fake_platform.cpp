#include "platform/fake/fake_platform.h"

#include "util/path_style.h"

namespace tw {

std::optional<std::string> FakePlatform::fileSystemName(std::string_view root) {
  if (fileSystemThrows) throw std::runtime_error("volume query raised an error");
  auto it = fileSystems.find(root);
  if (it == fileSystems.end()) return std::nullopt;
  return it->second;
}

std::optional<DiskSpace> FakePlatform::diskSpace(std::string_view path) {
  if (diskSpaceThrows) throw std::runtime_error("disk space query raised an error");
  auto it = spaces.find(path);
  if (it == spaces.end()) return std::nullopt;
  return it->second;
}

int FakePlatform::fileTypeIconIndex(std::string_view name) {
  const auto sep = name.find_last_of(style == PathStyle::Windows ? "\\:" : "/");
  const std::string_view last = sep == std::string_view::npos ? name : name.substr(sep + 1);
  const auto dot = last.rfind('.');
  if (dot == std::string_view::npos) return unknownTypeIcon;
  std::string ext(last.substr(dot));
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  auto it = typeIcons.find(ext);
  return it == typeIcons.end() ? unknownTypeIcon : it->second;
}

int FakePlatform::pathIconIndex(std::string_view path) {
  auto it = pathIcons.find(path);
  return it == pathIcons.end() ? 0 : it->second;
}

std::string FakePlatform::iconName(int index) { return index > 0 ? "icon-" + std::to_string(index) : ""; }

void FakePlatform::shellOpen(std::string_view target) {
  std::lock_guard guard(recordLock);
  openedTargets.emplace_back(target);
}

std::vector<std::string> FakePlatform::opened() const {
  std::lock_guard guard(recordLock);
  return openedTargets;
}

}  // namespace tw
