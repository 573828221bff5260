#include "platform/fake/fake_platform.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "settings/extensions.h"
#include "settings/ini_text.h"

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

std::string FakePlatform::writeFileAtomically(std::string_view path, std::string_view bytes) {
  if (auto refused = refuseWrites.find(path); refused != refuseWrites.end()) return refused->second;
  const std::filesystem::path target{std::string(path)};
  std::filesystem::path temp = target;
  temp += ".tmp-fake";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
      std::error_code ignored;
      std::filesystem::remove(temp, ignored);
      return "Cannot write " + std::string(path);
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, target, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    return "Cannot replace " + std::string(path);
  }
  return {};
}

Platform::FileRead FakePlatform::readFileContent(std::string_view path,
                                                 const std::function<void(std::string_view)>& sink) {
  if (unreadableFiles.contains(path)) return FileRead::Unreadable;
  if (auto it = fakeFiles.find(path); it != fakeFiles.end()) {
    // Two chunks when there is more than one byte, so that callers must join chunks.
    const std::string_view content = it->second;
    const std::size_t half = content.size() / 2;
    if (half > 0) sink(content.substr(0, half));
    if (content.size() > half) sink(content.substr(half));
    return FileRead::Done;
  }
  std::error_code ec;
  const std::filesystem::path real{std::string(path)};
  if (path.empty() || !std::filesystem::is_regular_file(real, ec)) return FileRead::Missing;
  std::ifstream in(real, std::ios::binary);
  if (!in) return FileRead::Unreadable;
  char buffer[4096];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    sink(std::string_view(buffer, static_cast<std::size_t>(in.gcount())));
  }
  return in.bad() ? FileRead::Unreadable : FileRead::Done;
}

bool FakePlatform::fileExists(std::string_view path) {
  if (unreadableFiles.contains(path) || fakeFiles.contains(path)) return true;
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(std::filesystem::path{std::string(path)}, ec);
}

std::string FakePlatform::toReportEncoding(std::string_view utf8) {
  std::string text(utf8);
  if (ansiReport) {
    std::string out;
    for (const char ch : text) {
      const auto c = static_cast<unsigned char>(ch);
      if (c < 0x80) {
        out.push_back(ch);
      } else if (c >= 0xC0) {
        out.push_back('?');  // one default character for each encoded character
      }
    }
    return out;
  }
  return text;
}

// Settings.

std::optional<std::string> FakePlatform::profileText(std::string_view path) const {
  std::lock_guard guard(recordLock);
  auto it = profileFiles.find(path);
  if (it == profileFiles.end()) return std::nullopt;
  return it->second;
}

void FakePlatform::setProfileText(std::string_view path, std::string text) {
  std::lock_guard guard(recordLock);
  profileFiles.insert_or_assign(std::string(path), std::move(text));
}

int FakePlatform::profileFlushes() const {
  std::lock_guard guard(recordLock);
  return flushes;
}

std::string FakePlatform::readProfileString(std::string_view path, std::string_view section,
                                            std::string_view key, std::string_view defaultValue) {
  const auto text = profileText(path);
  if (!text) return std::string(defaultValue);
  return iniReadValue(*text, section, key).value_or(std::string(defaultValue));
}

std::string FakePlatform::writeProfileString(std::string_view path, std::string_view section,
                                             std::string_view key, std::string_view value) {
  if (auto refused = refuseWrites.find(path); refused != refuseWrites.end()) return refused->second;
  if (const std::string bad = iniCheckEntry(section, key, value); !bad.empty()) {
    return "Cannot write " + std::string(path) + ": " + bad;
  }
  std::lock_guard guard(recordLock);
  std::string& text = profileFiles[std::string(path)];
  text = iniWriteValue(text, section, key, value);
  return {};
}

void FakePlatform::flushProfile(std::string_view) {
  std::lock_guard guard(recordLock);
  ++flushes;
}

std::string FakePlatform::fileTypeDescription(std::string_view name) {
  const auto dot = name.rfind('.');
  if (dot != std::string_view::npos) {
    std::string ext(name.substr(dot));
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (auto it = typeDescriptions.find(ext); it != typeDescriptions.end()) return it->second;
  }
  return genericFileTypeDescription(name);
}

std::vector<std::string> FakePlatform::opened() const {
  std::lock_guard guard(recordLock);
  return openedTargets;
}

}  // namespace tw
