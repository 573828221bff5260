#include "platform/fake/fake_platform.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "core/settings/extensions.h"
#include "core/settings/ini_text.h"

namespace tw {

Result<std::string> FakePlatform::computerName() {
  if (!hostName) return Result<std::string>::failure("no computer name");
  return *hostName;
}

Result<std::string> FakePlatform::systemFolder() {
  if (systemDir.empty()) return Result<std::string>::failure("no system folder");
  return systemDir;
}

Result<std::string> FakePlatform::systemDriveRoot() {
  if (!systemRoot) return Result<std::string>::failure("no system drive");
  return *systemRoot;
}

Result<std::string> FakePlatform::fileSystemName(std::string_view root) {
  auto it = fileSystems.find(root);
  if (it == fileSystems.end() || !it->second)
    return Result<std::string>::failure("no volume at " + std::string(root));
  return *it->second;
}

Result<DiskSpace> FakePlatform::diskSpace(std::string_view path) {
  auto it = spaces.find(path);
  if (it == spaces.end()) return Result<DiskSpace>::failure("no volume at " + std::string(path));
  return it->second;
}

int FakePlatform::fileTypeIcon(std::string_view name) {
  const auto sep = name.find_last_of(style == PathStyle::Windows ? "\\:" : "/");
  const std::string_view last = sep == std::string_view::npos ? name : name.substr(sep + 1);
  const auto dot = last.rfind('.');
  if (dot == std::string_view::npos) return unknownTypeIcon;
  std::string ext(last.substr(dot));
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  auto it = typeIcons.find(ext);
  return it == typeIcons.end() ? unknownTypeIcon : it->second;
}

int FakePlatform::pathIcon(std::string_view path) {
  auto it = objectIcons.find(path);
  return it == objectIcons.end() ? 0 : it->second;
}

std::string FakePlatform::iconName(int index) { return index > 0 ? "icon-" + std::to_string(index) : ""; }

void FakePlatform::open(std::string_view target) {
  std::lock_guard guard(recordLock);
  openedTargets.emplace_back(target);
}

Status FakePlatform::writeFileAtomically(std::string_view path, std::string_view bytes) {
  if (auto refused = refuseWrites.find(path); refused != refuseWrites.end())
    return Status::failure(refused->second);
  const std::filesystem::path target{std::string(path)};
  std::filesystem::path temp = target;
  temp += ".tmp-fake";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
      std::error_code ignored;
      std::filesystem::remove(temp, ignored);
      return Status::failure("Cannot write " + std::string(path));
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, target, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    return Status::failure("Cannot replace " + std::string(path));
  }
  return {};
}

Files::ReadResult FakePlatform::readFileContent(std::string_view path,
                                                const std::function<void(std::string_view)>& sink) {
  if (unreadableFiles.contains(path)) return ReadResult::Unreadable;
  // An in-memory INI file is a file too (the recorder checks that a named settings file can be
  // read before it reads its keys).
  std::optional<std::string> content = profileText(path);
  if (auto it = fakeFiles.find(path); !content && it != fakeFiles.end()) content = it->second;
  if (content) {
    // Two chunks when there is more than one byte, so that callers must join chunks.
    const std::string_view bytes = *content;
    const std::size_t half = bytes.size() / 2;
    if (half > 0) sink(bytes.substr(0, half));
    if (bytes.size() > half) sink(bytes.substr(half));
    return ReadResult::Done;
  }
  std::error_code ec;
  const std::filesystem::path real{std::string(path)};
  if (path.empty() || !std::filesystem::is_regular_file(real, ec)) return ReadResult::Missing;
  std::ifstream in(real, std::ios::binary);
  if (!in) return ReadResult::Unreadable;
  char buffer[4096];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    sink(std::string_view(buffer, static_cast<std::size_t>(in.gcount())));
  }
  return in.bad() ? ReadResult::Unreadable : ReadResult::Done;
}

bool FakePlatform::fileExists(std::string_view path) {
  if (unreadableFiles.contains(path) || fakeFiles.contains(path) || profileText(path)) return true;
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

std::string FakePlatform::readString(std::string_view path, std::string_view section, std::string_view key,
                                     std::string_view defaultValue) {
  const auto text = profileText(path);
  if (!text) return std::string(defaultValue);
  return iniReadValue(*text, section, key).value_or(std::string(defaultValue));
}

Status FakePlatform::writeString(std::string_view path, std::string_view section, std::string_view key,
                                 std::string_view value) {
  if (auto refused = refuseWrites.find(path); refused != refuseWrites.end())
    return Status::failure(refused->second);
  if (const std::string bad = iniCheckEntry(section, key, value); !bad.empty()) {
    return Status::failure("Cannot write " + std::string(path) + ": " + bad);
  }
  std::lock_guard guard(recordLock);
  std::string& text = profileFiles[std::string(path)];
  text = iniWriteValue(text, section, key, value);
  return {};
}

void FakePlatform::flush(std::string_view) {
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
