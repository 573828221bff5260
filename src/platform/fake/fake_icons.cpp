#include "platform/fake/fake_icons.h"

#include "core/settings/extensions.h"

namespace tw {

int FakeIcons::fileTypeIcon(std::string_view name) {
  const auto sep = name.find_last_of(namesStyle == PathStyle::Windows ? "\\:" : "/");
  const std::string_view last = sep == std::string_view::npos ? name : name.substr(sep + 1);
  const auto dot = last.rfind('.');
  if (dot == std::string_view::npos) return unknownTypeIcon;
  std::string ext(last.substr(dot));
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  auto it = typeIcons.find(ext);
  return it == typeIcons.end() ? unknownTypeIcon : it->second;
}

int FakeIcons::pathIcon(std::string_view path) {
  auto it = objectIcons.find(path);
  return it == objectIcons.end() ? 0 : it->second;
}

std::string FakeIcons::iconName(int index) { return index > 0 ? "icon-" + std::to_string(index) : ""; }

std::string FakeIcons::fileTypeDescription(std::string_view name) {
  const auto dot = name.rfind('.');
  if (dot != std::string_view::npos) {
    std::string ext(name.substr(dot));
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (auto it = typeDescriptions.find(ext); it != typeDescriptions.end()) return it->second;
  }
  return genericFileTypeDescription(name);
}

}  // namespace tw
