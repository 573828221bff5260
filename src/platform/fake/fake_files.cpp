#include "platform/fake/fake_files.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "core/settings/ini_text.h"

namespace tw {

Status FakeFiles::writeFileAtomically(std::string_view path, std::string_view bytes) {
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

Files::ReadResult FakeFiles::readFileContent(std::string_view path,
                                             const std::function<void(std::string_view)>& sink) {
  if (unreadableFiles.contains(path)) return ReadResult::Unreadable;
  // An in-memory INI file is a file too (the recorder checks that a named settings file can be
  // read before it reads its keys).
  std::optional<std::string> content = storedText(path);
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

bool FakeFiles::fileExists(std::string_view path) {
  if (unreadableFiles.contains(path) || fakeFiles.contains(path) || storedText(path)) return true;
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(std::filesystem::path{std::string(path)}, ec);
}

std::string FakeFiles::toReportEncoding(std::string_view utf8) {
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

std::optional<std::string> FakeFiles::storedText(std::string_view path) const {
  return profiles != nullptr ? profiles->profileText(path) : std::nullopt;
}

// The profile store.

std::optional<std::string> FakeProfileStore::profileText(std::string_view path) const {
  std::lock_guard guard(lock);
  auto it = profileFiles.find(path);
  if (it == profileFiles.end()) return std::nullopt;
  return it->second;
}

void FakeProfileStore::setProfileText(std::string_view path, std::string text) {
  std::lock_guard guard(lock);
  profileFiles.insert_or_assign(std::string(path), std::move(text));
}

int FakeProfileStore::profileFlushes() const {
  std::lock_guard guard(lock);
  return flushes;
}

std::string FakeProfileStore::readString(std::string_view path, std::string_view section,
                                         std::string_view key, std::string_view defaultValue) {
  const auto text = profileText(path);
  if (!text) return std::string(defaultValue);
  return iniReadValue(*text, section, key).value_or(std::string(defaultValue));
}

Status FakeProfileStore::writeString(std::string_view path, std::string_view section, std::string_view key,
                                     std::string_view value) {
  if (files != nullptr) {
    if (auto refused = files->refuseWrites.find(path); refused != files->refuseWrites.end())
      return Status::failure(refused->second);
  }
  if (const std::string bad = iniCheckEntry(section, key, value); !bad.empty()) {
    return Status::failure("Cannot write " + std::string(path) + ": " + bad);
  }
  std::lock_guard guard(lock);
  std::string& text = profileFiles[std::string(path)];
  text = iniWriteValue(text, section, key, value);
  return {};
}

void FakeProfileStore::flush(std::string_view) {
  std::lock_guard guard(lock);
  ++flushes;
}

}  // namespace tw
